// Walking the frames of an ID3v2 tag. Internal to src/tags: shared by the
// reader (fields from sixteen slots) and the writer (frames carried over).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tags/buffered_file.h"
#include "tags/bytes.h"

namespace sys {
class File;
}

namespace tags {
struct TagInfo;
}

namespace tags::id3v2 {

// Header flags (ID3v2.3 section 3.1, ID3v2.4 section 3.1).
enum : uint8_t {
  kTagUnsynchronised = 0x80,
  kTagExtendedHeader = 0x40,
  kTagFooter = 0x10,
};

constexpr size_t kHeaderSize = 10;
// A slot keeps at most this many bytes of a frame's (decoded) data.
constexpr size_t kSlotDataSize = 500;
// Raw bytes read of a slot frame: enough for 500 bytes of content after a
// group byte, a data-length indicator and undoing unsynchronisation (which at
// most halves the data).
constexpr size_t kSlotRawLimit = 6 + 2 * kSlotDataSize;
// A compressed frame is inflated to at most this many bytes; one that holds
// more is not read (and, in a 2.3 tag, carried over as it is).
constexpr size_t kInflateLimit = 16 * 1024 * 1024;

// Frame ids of the sixteen slots: for versions 3 and 4, and for version 2.
extern const std::array<const char*, 16> kSlotIdsV3;
extern const std::array<const char*, 16> kSlotIdsV2;
// The slot (0-based) of a frame id in a tag of `version`, or nothing.
std::optional<int> SlotOf(std::string_view id, uint8_t version);

// Whether the reader takes a slot frame with this content (after FrameContent)
// into its slot: an encoding byte it knows, or no data at all, which reads as
// encoding 0. The writer relies on the same choice to tell which of several
// COMM or WXXX frames it replaces.
bool SlotTakes(ByteView content);

// COMM (`withLanguage`) or WXXX content whose content description is empty
// (also a UTF-16 one that holds only its byte order mark).
bool HasEmptyDescription(ByteView content, bool withLanguage);

// Of several COMM (or WXXX) frames that the slot takes, the one it keeps: the
// first whose description is empty, as the writer writes its own, else the
// last. So a saved tag reads back the frame written from the field, not an
// iTunNORM comment or another language's comment carried over after it.
class SlotChoice {
 public:
  // The next frame the slot takes; true when it becomes the one kept.
  bool Offer(bool emptyDescription) {
    if (settled_) return false;
    settled_ = emptyDescription;
    return true;
  }

 private:
  bool settled_ = false;
};

// The bytes after a tag header (frames, padding), read on demand from a file or
// held in memory (a tag whose unsynchronisation was undone as a whole).
class TagBody {
 public:
  TagBody(BufferedFile& file, int64_t fileOffset, int64_t size)
      : file_(&file), fileOffset_(fileOffset), size_(size) {}
  // With a read-ahead buffer of its own over a plain file of `fileSize` bytes.
  TagBody(sys::File& file, int64_t fileSize, int64_t fileOffset, int64_t size)
      : own_(std::make_unique<OwnReader>(file, fileSize)),
        file_(&own_->reader),
        fileOffset_(fileOffset),
        size_(size) {}
  explicit TagBody(Bytes bytes)
      : bytes_(std::move(bytes)), size_(static_cast<int64_t>(bytes_.size())) {}

  int64_t Size() const { return size_; }
  // Up to `count` bytes from `offset` (fewer at the end of the body), valid
  // until the next read of the body; false on a read error.
  bool View(int64_t offset, size_t count, ByteView* out);
  // The same bytes, copied.
  bool Read(int64_t offset, size_t count, Bytes* out);

 private:
  struct OwnReader {
    OwnReader(sys::File& file, int64_t size) : reader(file, size, storage) {}
    std::vector<uint8_t> storage;
    BufferedFile reader;
  };

  std::unique_ptr<OwnReader> own_;
  BufferedFile* file_ = nullptr;
  int64_t fileOffset_ = 0;
  Bytes bytes_;
  int64_t size_ = 0;
};

struct FrameRef {
  std::string id;                  // 3 characters in version 2, else 4
  std::array<uint8_t, 2> flags{};  // versions 3 and 4
  int64_t headerAt = 0;            // offsets within the body
  int64_t dataAt = 0;
  int64_t dataSize = 0;   // as the size field says (the chosen reading in 2.4)
  bool complete = false;  // the data lies wholly inside the body
};

// The body of the tag that `info` describes, `tagSize` bytes in all. It is
// read into memory when `inMemory` is asked for or when the whole tag was
// unsynchronised (versions 2 and 3), which is then undone. Nothing on a read
// error.
std::optional<TagBody> OpenBody(BufferedFile& file, const TagInfo& info, int64_t tagSize,
                                bool inMemory);
// The same on a plain file of `info.FileSize` bytes.
std::optional<TagBody> OpenBody(sys::File& file, const TagInfo& info, int64_t tagSize,
                                bool inMemory);

// Where the frames begin: after an extended header (header flag 0x40 in
// versions 3 and 4) when there is one. Nothing when that header is damaged
// beyond use.
std::optional<int64_t> FirstFrameOffset(TagBody& body, uint8_t version, uint8_t headerFlags);

// Calls `visit` for every frame from `start` until padding (an id not
// starting with a capital letter), the end of the body, a frame running past
// it, or a read error. `visit` returns false to stop early. False when a read
// error ended the walk.
bool WalkFrames(TagBody& body, int64_t start, uint8_t version,
                const std::function<bool(const FrameRef&)>& visit);

// Whether a frame's data is compressed (its content then needs all of it).
bool IsCompressed(uint8_t version, const std::array<uint8_t, 2>& flags);
bool IsEncrypted(uint8_t version, const std::array<uint8_t, 2>& flags);

// The content of a frame from its data as stored in the body: for version 4
// without the group byte and data-length indicator and with its own
// unsynchronisation undone (also when the tag header says every frame is
// unsynchronised); for version 3 without the decompressed size and the group
// byte; a compressed frame inflated (up to kInflateLimit bytes). Nothing for
// encrypted frames and for compressed ones that do not inflate.
std::optional<Bytes> FrameContent(uint8_t version, const std::array<uint8_t, 2>& flags,
                                  uint8_t headerFlags, ByteView data);
// The same as a view: into `data` when nothing is to be undone, else into
// `scratch`, which receives the resynchronised bytes.
std::optional<ByteView> FrameContent(uint8_t version, const std::array<uint8_t, 2>& flags,
                                     uint8_t headerFlags, ByteView data, Bytes& scratch);

}  // namespace tags::id3v2

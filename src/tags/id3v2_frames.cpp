#include "tags/id3v2_frames.h"

#include <algorithm>
#include <cstring>

#include "sys/sys.h"
#include "tags/id3v2.h"
#include "tags/id3v2_text.h"
#include "tags/inflate.h"

namespace tags::id3v2 {

const std::array<const char*, 16> kSlotIdsV3 = {
    "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM", "TCOM",
    "TENC", "TCOP", "TLAN", "WXXX", "TDRC", "TOPE", "TIT1", "TOAL",
};
const std::array<const char*, 16> kSlotIdsV2 = {
    "TT2", "TP1", "TAL", "TRK", "TYE", "TCO", "COM", "TCM",
    "TEN", "TCR", "TLA", "WXX", "TOR", "TOA", "TT1", "TOT",
};

namespace {

// Frame format flags, second flag byte (ID3v2.3 section 3.3.1, ID3v2.4 4.1.2).
enum : uint8_t {
  kV3Compressed = 0x80,
  kV3Encrypted = 0x40,
  kV3Grouped = 0x20,
  kV4Grouped = 0x40,
  kV4Compressed = 0x08,
  kV4Encrypted = 0x04,
  kV4Unsynchronised = 0x02,
  kV4DataLength = 0x01,
};

bool IsIdChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool LooksLikeFrameId(ByteView b) {
  return b.size() >= 4 && IsIdChar(b[0]) && IsIdChar(b[1]) && IsIdChar(b[2]) && IsIdChar(b[3]);
}

// Padding: zero bytes from `at` to the end of the body.
bool IsPaddingFrom(TagBody& body, int64_t at) {
  constexpr size_t kChunk = 4096;
  ByteView chunk;
  for (; at < body.Size(); at += static_cast<int64_t>(kChunk)) {
    if (!body.View(at, kChunk, &chunk)) return false;
    for (uint8_t b : chunk)
      if (b != 0) return false;
  }
  return true;
}

// In 2.4, where a frame's size is read as a synchsafe number, a frame "lands"
// well when it ends exactly at the end of the body, at the start of padding,
// or on another frame id.
bool LandsWell(TagBody& body, int64_t at) {
  if (at == body.Size()) return true;
  if (at > body.Size()) return false;
  ByteView next;
  if (!body.View(at, 4, &next) || next.empty()) return false;
  if (LooksLikeFrameId(next)) return true;
  return next[0] == 0 && IsPaddingFrom(body, at);
}

// Tolerance for 2.4 tags whose writers (iTunes among them) stored frame sizes
// as plain numbers: the plain reading is taken when the synchsafe one is not
// a synchsafe number at all, or lands badly where the plain one lands well.
int64_t ChooseV4FrameSize(TagBody& body, int64_t dataAt, ByteView sizeBytes) {
  const int64_t plain = *ReadBE32(sizeBytes, 0);
  const std::optional<uint32_t> synchsafe = ReadSyncSafe32(sizeBytes, 0);
  if (!synchsafe) return plain;
  if (*synchsafe == plain) return plain;
  if (LandsWell(body, dataAt + *synchsafe)) return *synchsafe;
  if (LandsWell(body, dataAt + plain)) return plain;
  return *synchsafe;
}

}  // namespace

namespace {

// Compared with a constant length, the ids compare as whole numbers.
template <size_t kIdSize>
std::optional<int> FindSlot(std::string_view id, const std::array<const char*, 16>& ids) {
  if (id.size() != kIdSize) return std::nullopt;
  for (size_t i = 0; i < ids.size(); ++i)
    if (std::memcmp(id.data(), ids[i], kIdSize) == 0) return static_cast<int>(i);
  return std::nullopt;
}

}  // namespace

std::optional<int> SlotOf(std::string_view id, uint8_t version) {
  return version <= 2 ? FindSlot<3>(id, kSlotIdsV2) : FindSlot<4>(id, kSlotIdsV3);
}

bool SlotTakes(ByteView content) { return content.empty() || content[0] <= kUtf8; }

bool HasEmptyDescription(ByteView content, bool withLanguage) {
  size_t at = withLanguage ? 4 : 1;
  if (content.size() <= at) return false;
  if (content[0] == kUtf16 || content[0] == kUtf16BE) {
    if (content.size() >= at + 2 && ((content[at] == 0xFF && content[at + 1] == 0xFE) ||
                                     (content[at] == 0xFE && content[at + 1] == 0xFF)))
      at += 2;
    return content.size() >= at + 2 && content[at] == 0 && content[at + 1] == 0;
  }
  return content[at] == 0;
}

bool TagBody::View(int64_t offset, size_t count, ByteView* out) {
  *out = ByteView();
  if (offset < 0 || offset >= size_) return true;
  const size_t n =
      static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - offset));
  if (!file_) {
    *out = ByteView(bytes_).subspan(static_cast<size_t>(offset), n);
    return true;
  }
  // The body lies inside the file, so a short view means the file shrank.
  if (!file_->View(fileOffset_ + offset, n, out) || out->size() < n) {
    *out = ByteView();
    return false;
  }
  return true;
}

bool TagBody::Read(int64_t offset, size_t count, Bytes* out) {
  ByteView view;
  const bool ok = View(offset, count, &view);
  out->assign(view.begin(), view.end());
  return ok;
}

namespace {

struct BodyExtent {
  int64_t size;
  bool wholeTagUnsynchronised;
};

BodyExtent ExtentOf(const TagInfo& info, int64_t tagSize) {
  const int64_t footer = (info.Flags & kTagFooter) ? 10 : 0;
  return {std::max<int64_t>(0, tagSize - static_cast<int64_t>(kHeaderSize) - footer),
          info.Version <= 3 && (info.Flags & kTagUnsynchronised)};
}

TagBody InMemory(Bytes bytes, const BodyExtent& extent) {
  if (extent.wholeTagUnsynchronised) bytes = Resynchronise(bytes);
  return TagBody(std::move(bytes));
}

}  // namespace

std::optional<TagBody> OpenBody(BufferedFile& file, const TagInfo& info, int64_t tagSize,
                                bool inMemory) {
  const BodyExtent extent = ExtentOf(info, tagSize);
  if (!inMemory && !extent.wholeTagUnsynchronised)
    return TagBody(file, static_cast<int64_t>(kHeaderSize), extent.size);
  Bytes bytes(static_cast<size_t>(extent.size));
  size_t got = 0;
  if (!file.CopyOut(static_cast<int64_t>(kHeaderSize), bytes.data(), bytes.size(), &got) ||
      got != bytes.size())
    return std::nullopt;
  return InMemory(std::move(bytes), extent);
}

std::optional<TagBody> OpenBody(sys::File& file, const TagInfo& info, int64_t tagSize,
                                bool inMemory) {
  const BodyExtent extent = ExtentOf(info, tagSize);
  if (!inMemory && !extent.wholeTagUnsynchronised)
    return TagBody(file, info.FileSize, static_cast<int64_t>(kHeaderSize), extent.size);
  Bytes bytes(static_cast<size_t>(extent.size));
  if (!file.ReadExactAt(static_cast<int64_t>(kHeaderSize), bytes.data(), bytes.size()))
    return std::nullopt;
  return InMemory(std::move(bytes), extent);
}

std::optional<int64_t> FirstFrameOffset(TagBody& body, uint8_t version, uint8_t headerFlags) {
  if (version < 3 || !(headerFlags & kTagExtendedHeader)) return 0;
  ByteView head;
  if (!body.View(0, 4, &head) || head.size() < 4) return std::nullopt;
  // 2.3: the size excludes its own 4 bytes; 2.4: a synchsafe size including them.
  std::optional<int64_t> total;
  if (version == 3) {
    total = int64_t{*ReadBE32(head, 0)} + 4;
  } else if (auto size = ReadSyncSafe32(head, 0)) {
    total = *size;
  }
  if (total && *total >= 6 && *total <= body.Size()) return *total;
  // Tolerance: some writers set the flag without writing the header; the
  // frames then begin right away.
  if (LooksLikeFrameId(head)) return 0;
  return std::nullopt;
}

bool WalkFrames(TagBody& body, int64_t start, uint8_t version,
                const std::function<bool(const FrameRef&)>& visit) {
  const size_t headerSize = version <= 2 ? 6 : 10;
  const size_t idSize = version <= 2 ? 3 : 4;
  int64_t at = start;
  ByteView header;
  FrameRef frame;
  while (at >= 0 && at < body.Size()) {
    if (!body.View(at, headerSize, &header)) return false;
    if (header.size() < headerSize) break;
    if (header[0] < 'A' || header[0] > 'Z') break;  // padding or the end of the frames
    frame.id.assign(reinterpret_cast<const char*>(header.data()), idSize);
    frame.headerAt = at;
    frame.dataAt = at + static_cast<int64_t>(headerSize);
    if (version <= 2) {
      frame.flags = {};
      frame.dataSize = *ReadBE24(header, 3);
    } else {
      frame.flags = {header[8], header[9]};
      // Copied: choosing a 2.4 size reads further, which ends the header's view.
      const std::array<uint8_t, 4> sizeBytes = {header[4], header[5], header[6], header[7]};
      frame.dataSize = version == 4 ? ChooseV4FrameSize(body, frame.dataAt, sizeBytes)
                                    : int64_t{*ReadBE32(sizeBytes, 0)};
    }
    frame.complete = frame.dataSize <= body.Size() - frame.dataAt;
    if (!visit(frame)) break;
    if (!frame.complete) break;
    at = frame.dataAt + frame.dataSize;
  }
  return true;
}

bool IsCompressed(uint8_t version, const std::array<uint8_t, 2>& flags) {
  if (version == 3) return (flags[1] & kV3Compressed) != 0;
  if (version == 4) return (flags[1] & kV4Compressed) != 0;
  return false;
}

bool IsEncrypted(uint8_t version, const std::array<uint8_t, 2>& flags) {
  if (version == 3) return (flags[1] & kV3Encrypted) != 0;
  if (version == 4) return (flags[1] & kV4Encrypted) != 0;
  return false;
}

namespace {

std::optional<ByteView> Inflated(ByteView data, Bytes& scratch) {
  std::optional<Bytes> out = Inflate(data, kInflateLimit);
  if (!out) return std::nullopt;
  scratch = std::move(*out);
  return ByteView(scratch);
}

}  // namespace

std::optional<ByteView> FrameContent(uint8_t version, const std::array<uint8_t, 2>& flags,
                                     uint8_t headerFlags, ByteView data, Bytes& scratch) {
  const uint8_t format = flags[1];
  if (IsEncrypted(version, flags)) return std::nullopt;
  if (version == 3) {
    // The additions follow the header in the order of their flags (2.3
    // section 3.3.1): decompressed size, then the group byte.
    size_t skip = 0;
    if (format & kV3Compressed) skip += 4;
    if (format & kV3Grouped) skip += 1;
    if ((format & kV3Compressed) && data.size() < skip) return std::nullopt;
    data = data.subspan(std::min(skip, data.size()));
    if (format & kV3Compressed) return Inflated(data, scratch);
    return data;
  }
  if (version == 4) {
    // The additions follow the header in the order of their flags (2.4
    // section 4.1.2): group byte, then the data-length indicator.
    size_t skip = 0;
    if (format & kV4Grouped) skip += 1;
    if (format & kV4DataLength) skip += 4;
    data = data.subspan(std::min(skip, data.size()));
    // Unsynchronisation was applied after compression: undone first.
    if ((format & kV4Unsynchronised) || (headerFlags & kTagUnsynchronised)) {
      scratch = Resynchronise(data);
      if (format & kV4Compressed) {
        const Bytes resynchronised = std::move(scratch);
        return Inflated(resynchronised, scratch);
      }
      return ByteView(scratch);
    }
    if (format & kV4Compressed) return Inflated(data, scratch);
    return data;
  }
  return data;
}

std::optional<Bytes> FrameContent(uint8_t version, const std::array<uint8_t, 2>& flags,
                                  uint8_t headerFlags, ByteView data) {
  Bytes scratch;
  const std::optional<ByteView> content = FrameContent(version, flags, headerFlags, data, scratch);
  if (!content) return std::nullopt;
  return Bytes(content->begin(), content->end());
}

}  // namespace tags::id3v2

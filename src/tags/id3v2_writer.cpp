#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "sys/sys.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_save_frames.h"
#include "tags/unicode_text.h"
#include "tags/write_access.h"

namespace tags {

using namespace id3v2;

namespace {

// A rebuilt tag is followed by padding so that later saves fit in place: at
// least kMinPadding bytes, for a large tag an eighth of its size, up to
// kMaxPadding.
constexpr int64_t kMinPadding = 4096;
constexpr int64_t kMaxPadding = 64 * 1024;
// name~, name~1 ... name~999: the temporary names tried before giving up.
constexpr int kTempNameAttempts = 1000;

// Sets NeedRewrite and PaddingSize; returns the new tag's total size. The new
// tag goes over the old one whenever it fits there, whatever the old size.
int64_t PrepareHeader(TagInfo& info, int64_t framesTotal) {
  const int64_t old = info.HasId3() ? TagTotalSize(info) : 0;
  info.NeedRewrite = old < framesTotal;
  info.PaddingSize = info.NeedRewrite
                         ? std::clamp<int64_t>(framesTotal / 8, kMinPadding, kMaxPadding)
                         : old - framesTotal;
  return framesTotal + info.PaddingSize;
}

// Tags are compared a block at a time (memcmp), then byte by byte inside the
// block that differs: most of a large tag (a picture, the padding) is equal.
constexpr size_t kCompareBlock = 4096;

// The offset of the first byte where `a` and `b` differ; `size` when none.
size_t FirstDifference(const uint8_t* a, const uint8_t* b, size_t size) {
  size_t at = 0;
  while (at < size) {
    const size_t n = std::min(kCompareBlock, size - at);
    if (std::memcmp(a + at, b + at, n) != 0) {
      while (a[at] == b[at]) ++at;
      return at;
    }
    at += n;
  }
  return size;
}

// One past the last byte where `a` and `b` differ, searched down to `from`,
// which holds a difference.
size_t DifferenceEnd(const uint8_t* a, const uint8_t* b, size_t from, size_t size) {
  size_t end = size;
  while (end > from) {
    const size_t n = std::min(kCompareBlock, end - from);
    if (std::memcmp(a + end - n, b + end - n, n) != 0) {
      while (a[end - 1] == b[end - 1]) --end;
      return end;
    }
    end -= n;
  }
  return from + 1;
}

// Writes `image` over the old tag area of the open file, which is exactly as
// long as the image.
bool WriteInPlace(sys::File& file, const std::string& fileName, const Bytes& image,
                  WriteAccess& access) {
  // Only the bytes that differ from the old tag area are written, in one
  // write: a large tag whose picture stays where it was is not written again,
  // and an interrupted write can damage no more than the changed range.
  Bytes old(image.size());
  if (!file.ReadExactAt(0, old.data(), old.size())) return false;
  const size_t from = FirstDifference(image.data(), old.data(), image.size());
  if (from == image.size()) return true;
  const size_t to = DifferenceEnd(image.data(), old.data(), from, image.size());
  access.Written();
  if (!file.Seek(static_cast<int64_t>(from)) || !file.Write(image.data() + from, to - from))
    return false;
  // The tag is in the file, and reaches the disk when the walk ends.
  sys::NoteWritten(fileName);
  return true;
}

// Creates a temporary file beside `fileName` under a name nobody uses: a file
// left by an earlier interruption may be the only copy of something, so it is
// never touched; the first one found is named in `notes`.
bool CreateTemporary(const std::string& fileName, sys::File& temp, std::string& tempName,
                     WriteNotes& notes) {
  for (int i = 0; i < kTempNameAttempts; ++i) {
    tempName = fileName + "~" + (i == 0 ? std::string() : std::to_string(i));
    if (temp.Open(tempName, sys::OpenMode::CreateNew)) return true;
    if (!sys::Exists(tempName)) return false;
    if (notes.leftover.empty()) notes.leftover = tempName;
  }
  return false;
}

// Whether the file ends in an ID3v1 block; false when that cannot be read.
bool EndsInId3v1(sys::File& file, int64_t size, bool* ends) {
  *ends = false;
  if (size < static_cast<int64_t>(ID3v1Tag::kBlockSize)) return true;
  char tag[3];
  size_t got = 0;
  if (!file.ReadAt(size - static_cast<int64_t>(ID3v1Tag::kBlockSize), tag, sizeof tag, &got))
    return false;
  *ends = got == sizeof tag && tag[0] == 'T' && tag[1] == 'A' && tag[2] == 'G';
  return true;
}

// Writes `image` (none: removal) followed by the file's content after its old
// tag into a temporary file, then puts that in the file's place in one atomic
// step. With `v1Block` the copy ends in that block instead of the file's old
// ID3v1 block, so that both tags change in the same step. Until that step the
// file is untouched, and it is taken only when the file under the name is
// still the one that was copied: a file another program put there meanwhile
// stays. On failure the temporary file is removed.
// `access` was taken for the file: the attributes go back on every way out,
// and after the replacement the new file under the name gets them.
bool RewriteViaTemp(const std::string& fileName, const Bytes* image,
                    const ID3v1Tag::Block* v1Block, WriteNotes& notes, WriteAccess& access) {
  TagInfo info;
  if (!access.Granted() || !ReadTagHeader(fileName, info)) return false;
  if (!image && !info.HasId3()) {
    sys::SetLastError(sys::kErrorInvalidParameter);  // no tag to remove
    return false;
  }

  sys::File source;
  if (!source.Open(fileName, sys::OpenMode::Read)) return false;
  int64_t size = 0;
  sys::FileIdentity copied;
  if (!source.Size(&size) || !source.Identity(&copied)) return false;
  info.FileSize = size;
  const int64_t skip = info.HasId3() ? TagTotalSize(info) : 0;
  int64_t end = size;
  if (v1Block) {
    bool hasV1 = false;
    if (!EndsInId3v1(source, size, &hasV1)) return false;
    if (hasV1) end = std::max(skip, size - static_cast<int64_t>(ID3v1Tag::kBlockSize));
  }

  sys::File temp;
  std::string tempName;
  if (!CreateTemporary(fileName, temp, tempName, notes)) return false;
  // The copy gets the file's owner and mode before its one flush, which
  // carries both to the disk before the copy takes the name.
  const bool written = source.Seek(skip) && (!image || temp.Write(image->data(), image->size())) &&
                       sys::CopyRange(source, temp, end - skip) &&
                       (!v1Block || temp.Write(v1Block->data(), v1Block->size())) &&
                       temp.TakeOwnerAndModeOf(fileName) && temp.Flush();
  const bool closed = written && temp.Close();
  source.Close();
  sys::FileIdentity now;
  bool replaced = false;
  if (closed && sys::IdentityOf(fileName, &now)) {
    if (now == copied) {
      replaced = sys::ReplaceFile(tempName, fileName);
    } else {
      // Changed or replaced since the copy began: the other program's file wins.
      sys::SetLastError(sys::kErrorSharingViolation);
    }
  }
  if (!replaced) {
    const sys::KeepLastError keep;
    temp.Close();
    sys::DeleteFile(tempName);
    return false;
  }
  access.Written();
  access.Replaced();
  if (!access.Restore()) notes.unfinished = sys::LastError();
  return true;
}

}  // namespace

bool ID3v2Tag::Save(const std::string& fileName, ID3v1Tag* alsoV1) {
  notes_.Clear();
  if (alsoV1) alsoV1->notes_.Clear();
  try {
    // The attributes go back on every way out, after the file was closed.
    WriteAccess access(fileName);
    if (!access.Granted()) return false;
    // One handle reads the old tag and writes a new one that fits in its
    // place, and the ID3v1 block with it.
    sys::File file;
    int64_t size = 0;
    if (!file.Open(fileName, sys::OpenMode::ReadWrite, &size)) return false;
    // A file that cannot be read is not written: a tag it may hold would be
    // taken for none, and a second tag put before it. Only a file too short
    // for a tag header has none for sure.
    TagInfo info;
    if (size >= static_cast<int64_t>(kHeaderSize) && !ReadTagHeaderFrom(file, size, info))
      return false;
    info.FileSize = size;
    // Nor is a tag whose frames cannot be read.
    TextWriting configured;
    configured.unicode = WriteUnicodeText;
    const std::optional<Bytes> frames =
        SavedFrames(file, info, *this, &dropped_, writing_ ? *writing_ : configured);
    if (!frames) return false;
    const int64_t framesTotal = static_cast<int64_t>(kHeaderSize + frames->size());
    const int64_t newTotal = PrepareHeader(info, framesTotal);
    if (newTotal - static_cast<int64_t>(kHeaderSize) >= kSyncSafeLimit) {
      sys::SetLastError(sys::kErrorFileTooLarge);  // more than an ID3v2 tag can hold
      return false;
    }

    // Header, frames, then zero padding up to the new total.
    Bytes image(static_cast<size_t>(newTotal), 0);
    std::memcpy(image.data(), "ID3\3\0\0", 6);
    PutSyncSafe32(image.data() + 6,
                  static_cast<uint32_t>(newTotal - static_cast<int64_t>(kHeaderSize)));
    std::copy(frames->begin(), frames->end(), image.begin() + static_cast<ptrdiff_t>(kHeaderSize));

    if (!info.NeedRewrite) {
      // In place, each tag in one write of its own, ID3v1 first.
      if (alsoV1 && !alsoV1->WriteBlock(file, fileName, size, access)) return false;
      if (!WriteInPlace(file, fileName, image, access)) return false;
      if (!file.Close() || !access.Restore()) notes_.unfinished = sys::LastError();
      return true;
    }
    file.Close();
    // Rebuilt: the new ID3v1 block goes into the same copy, so that an
    // interruption leaves both tags old or both new.
    if (!alsoV1) return RewriteViaTemp(fileName, &image, nullptr, notes_, access);
    const ID3v1Tag::Block block = alsoV1->Render();
    return RewriteViaTemp(fileName, &image, &block, notes_, access);
  } catch (const std::bad_alloc&) {
    sys::SetLastError(sys::kErrorNotEnoughMemory);
    return false;
  }
}

std::optional<std::vector<std::string>> ID3v2Tag::EightBitTexts(const std::string& fileName) {
  try {
    sys::File file;
    int64_t size = 0;
    if (!file.Open(fileName, sys::OpenMode::Read) || !file.Size(&size)) return std::nullopt;
    TagInfo info;
    if (size < static_cast<int64_t>(kHeaderSize)) return std::vector<std::string>();
    if (!ReadTagHeaderFrom(file, size, info)) return std::nullopt;
    info.FileSize = size;
    return id3v2::EightBitTexts(file, info);
  } catch (const std::bad_alloc&) {
    sys::SetLastError(sys::kErrorNotEnoughMemory);
    return std::nullopt;
  }
}

bool ID3v2Tag::Strip(const std::string& fileName) {
  notes_.Clear();
  bool done = false;
  try {
    // The attributes go back on every way out.
    WriteAccess access(fileName);
    done = RewriteViaTemp(fileName, nullptr, nullptr, notes_, access);
  } catch (const std::bad_alloc&) {
    sys::SetLastError(sys::kErrorNotEnoughMemory);
    return false;
  }
  if (done) present_ = false;
  return done;
}

}  // namespace tags

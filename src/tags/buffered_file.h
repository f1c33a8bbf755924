// A file open for reading, seen through a read-ahead buffer: the analysis of
// one file (ID3v2 frames, the ID3v1 block, the audio window) mostly asks for a
// few bytes close to where it last read, and each miss costs one positioned
// read of the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tags/bytes.h"

namespace sys {
class File;
}

namespace tags {

class BufferedFile {
 public:
  // Bytes read past the request on a miss: as much as the minimal analysis
  // reads at the start of a file, enough for a small tag and the audio window
  // after it.
  static constexpr size_t kReadAhead = 8192;

  // `file` and `storage` must outlive this object. `storage` only lends its
  // memory, so that a caller going through many files allocates it once.
  BufferedFile(sys::File& file, int64_t size, std::vector<uint8_t>& storage)
      : file_(&file), size_(size), storage_(&storage) {}
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  sys::File& File() { return *file_; }
  int64_t Size() const { return size_; }
  // Reads ahead stop at `end` from now on; a request itself is read whole.
  void LimitReadAhead(int64_t end) { readAheadEnd_ = end; }

  // The bytes [at, at + count), fewer where the file ends before; from the
  // buffer, which is first refilled from `at` on (kReadAhead bytes or
  // `count`, the larger) unless it holds them all. The view lasts until the
  // next call. False on a read error, and when the file is shorter than
  // Size() said.
  bool View(int64_t at, size_t count, ByteView* out) {
    // Most requests are small and held: that check stays inline.
    if (at >= bufferAt_ && at - bufferAt_ <= static_cast<int64_t>(filled_) && count > 0 &&
        count <= filled_ - static_cast<size_t>(at - bufferAt_)) {
      *out = ByteView(storage_->data() + (at - bufferAt_), count);
      return true;
    }
    return Refill(at, count, out);
  }
  // Copies the same bytes to `out` (`*got` of them), straight from the file
  // when the buffer does not hold them all, which leaves the buffer as it was.
  bool CopyOut(int64_t at, void* out, size_t count, size_t* got);
  // The same bytes when the buffer holds them all; nothing is read.
  std::optional<ByteView> Held(int64_t at, size_t count) const;

 private:
  // View for what the buffer does not simply hold.
  bool Refill(int64_t at, size_t count, ByteView* out);
  // The bytes the file has in [at, at + count).
  size_t Available(int64_t at, size_t count) const;
  bool Holds(int64_t at, size_t count) const;

  sys::File* file_;
  int64_t size_;
  std::vector<uint8_t>* storage_;
  int64_t readAheadEnd_ = INT64_MAX;
  int64_t bufferAt_ = 0;
  size_t filled_ = 0;  // 0: nothing read yet
};

}  // namespace tags

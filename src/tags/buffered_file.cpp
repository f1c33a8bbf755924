#include "tags/buffered_file.h"

#include <algorithm>
#include <cstring>

#include "sys/sys.h"

namespace tags {

size_t BufferedFile::Available(int64_t at, size_t count) const {
  if (at < 0 || at >= size_) return 0;
  return static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - at));
}

bool BufferedFile::Holds(int64_t at, size_t count) const {
  return count == 0 || (at >= bufferAt_ && at - bufferAt_ <= static_cast<int64_t>(filled_) &&
                        count <= filled_ - static_cast<size_t>(at - bufferAt_));
}

bool BufferedFile::Refill(int64_t at, size_t count, ByteView* out) {
  const size_t n = Available(at, count);
  if (!Holds(at, n)) {
    const int64_t ahead = std::clamp<int64_t>(readAheadEnd_ - at, 0, kReadAhead);
    const size_t want = std::max(n, Available(at, static_cast<size_t>(ahead)));
    if (storage_->size() < want) storage_->resize(want);
    filled_ = 0;
    size_t got = 0;
    if (!file_->ReadAt(at, storage_->data(), want, &got)) return false;
    bufferAt_ = at;
    filled_ = got;
    if (got < n) {
      sys::SetLastError(sys::kErrorHandleEof);
      return false;
    }
  }
  *out = n == 0 ? ByteView() : ByteView(storage_->data() + (at - bufferAt_), n);
  return true;
}

bool BufferedFile::CopyOut(int64_t at, void* out, size_t count, size_t* got) {
  const std::optional<ByteView> held = Held(at, count);
  if (!held) return file_->ReadAt(at, out, count, got);
  if (!held->empty()) std::memcpy(out, held->data(), held->size());
  *got = held->size();
  return true;
}

std::optional<ByteView> BufferedFile::Held(int64_t at, size_t count) const {
  const size_t n = Available(at, count);
  if (!Holds(at, n)) return std::nullopt;
  return n == 0 ? ByteView() : ByteView(storage_->data() + (at - bufferAt_), n);
}

}  // namespace tags

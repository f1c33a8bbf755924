#include "tags/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace tags {

namespace {

// zlib counts in uInt; longer input and output are handed over in pieces.
constexpr size_t kPiece = size_t{1} << 30;

class Inflater {
 public:
  explicit Inflater(ByteView input) : rest_(input) {}
  ~Inflater() {
    if (ready_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  bool Init() {
    ready_ = inflateInit(&stream_) == Z_OK;
    return ready_;
  }

  // One inflate call into `out`; `*produced` receives the bytes written.
  int Step(uint8_t* out, size_t room, size_t* produced) {
    if (stream_.avail_in == 0 && !rest_.empty()) {
      const size_t piece = std::min(rest_.size(), kPiece);
      // zlib's interface is not const-correct; it never writes to the input.
      stream_.next_in = const_cast<Bytef*>(rest_.data());
      stream_.avail_in = static_cast<uInt>(piece);
      rest_ = rest_.subspan(piece);
    }
    room = std::min(room, kPiece);
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(room);
    const int result = inflate(&stream_, Z_NO_FLUSH);
    *produced = room - stream_.avail_out;
    return result;
  }


 private:
  z_stream stream_{};
  ByteView rest_;
  bool ready_ = false;
};

// Inflates the first `limit` bytes of the stream into `out`, or when `out` is
// null into a scratch buffer, to count them. Returns how many there are.
std::optional<size_t> Run(ByteView compressed, size_t limit, uint8_t* out, bool* cut) {
  *cut = false;
  Inflater inflater(compressed);
  if (!inflater.Init()) return std::nullopt;

  std::array<uint8_t, 8192> scratch;
  size_t filled = 0;
  while (filled < limit) {
    uint8_t* to = out ? out + filled : scratch.data();
    const size_t room = out ? limit - filled : std::min(scratch.size(), limit - filled);
    size_t produced = 0;
    const int result = inflater.Step(to, room, &produced);
    filled += produced;
    if (result == Z_STREAM_END) return filled;
    // Z_BUF_ERROR with room left: the input ended inside the stream.
    if (result != Z_OK) return std::nullopt;
  }

  // `limit` bytes are out: one more byte, the stream's end or the end of the
  // input (Z_BUF_ERROR) tells whether the stream was cut.
  for (;;) {
    size_t produced = 0;
    const int result = inflater.Step(scratch.data(), 1, &produced);
    if (produced != 0 || result == Z_BUF_ERROR) {
      *cut = true;
      return filled;
    }
    if (result == Z_STREAM_END) return filled;
    if (result != Z_OK) return std::nullopt;
  }
}

}  // namespace

std::optional<Bytes> Inflate(ByteView compressed, size_t limit, bool* cut) {
  bool wasCut = false;
  if (cut) *cut = false;
  if (compressed.empty()) return std::nullopt;
  // Counted first, then inflated again into a buffer of the right size: the
  // stream's length is known only at its end, and a buffer grown on the way
  // would take up to twice the limit.
  const auto size = Run(compressed, limit, nullptr, &wasCut);
  if (!size) return std::nullopt;
  Bytes out(*size);
  bool ignored = false;
  if (*size != 0 && Run(compressed, *size, out.data(), &ignored) != size) return std::nullopt;
  if (cut) *cut = wasCut;
  return out;
}

}  // namespace tags

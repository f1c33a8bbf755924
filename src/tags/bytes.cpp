#include "tags/bytes.h"

namespace tags {

std::optional<uint32_t> ReadSyncSafe32(ByteView data, size_t offset) {
  if (offset > data.size() || data.size() - offset < 4) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t b = data[offset + i];
    if (b & 0x80) return std::nullopt;
    value = (value << 7) | b;
  }
  return value;
}

void PutBE32(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value >> 24);
  out[1] = static_cast<uint8_t>(value >> 16);
  out[2] = static_cast<uint8_t>(value >> 8);
  out[3] = static_cast<uint8_t>(value);
}

void PutSyncSafe32(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>((value >> 21) & 0x7F);
  out[1] = static_cast<uint8_t>((value >> 14) & 0x7F);
  out[2] = static_cast<uint8_t>((value >> 7) & 0x7F);
  out[3] = static_cast<uint8_t>(value & 0x7F);
}

Bytes Resynchronise(ByteView data) {
  Bytes out;
  out.reserve(data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    out.push_back(data[i]);
    if (data[i] == 0xFF && i + 1 < data.size() && data[i + 1] == 0x00) ++i;
  }
  return out;
}

}  // namespace tags

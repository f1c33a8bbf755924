// Byte helpers shared by the tag readers and writers. Every read is bounds
// checked as "bytes left >= n"; nothing here reads past the view it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tags {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// Big-endian unsigned numbers of 2, 3 or 4 bytes at `offset`; nothing when
// fewer bytes are left. Inline: frame headers are read with them.
inline std::optional<uint32_t> ReadBE(ByteView data, size_t offset, size_t width) {
  if (offset > data.size() || data.size() - offset < width) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) value = (value << 8) | data[offset + i];
  return value;
}
inline std::optional<uint32_t> ReadBE16(ByteView data, size_t offset) { return ReadBE(data, offset, 2); }
inline std::optional<uint32_t> ReadBE24(ByteView data, size_t offset) { return ReadBE(data, offset, 3); }
inline std::optional<uint32_t> ReadBE32(ByteView data, size_t offset) { return ReadBE(data, offset, 4); }

// A 4-byte "synchsafe" number (ID3v2.4 section 6.2): 7 bits per byte, most
// significant first. Nothing when fewer than 4 bytes are left or a byte has its
// top bit set (then it is not a synchsafe number at all).
std::optional<uint32_t> ReadSyncSafe32(ByteView data, size_t offset);

void PutBE32(uint8_t* out, uint32_t value);
// Writes the low 28 bits as a synchsafe number; the caller makes sure the
// value is below 2^28.
void PutSyncSafe32(uint8_t* out, uint32_t value);
constexpr uint32_t kSyncSafeLimit = 1u << 28;

// Undoes unsynchronisation (ID3v2.3 section 5, ID3v2.4 section 6.1): every
// 0xFF 0x00 pair becomes 0xFF.
Bytes Resynchronise(ByteView data);

}  // namespace tags

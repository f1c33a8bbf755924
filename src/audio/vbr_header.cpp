#include "audio/vbr_header.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace audio {
namespace {

// The part of a VBR header that is read: the Xing vendor text ends at 128.
constexpr size_t kVbrHeaderSpan = 128;
using HeaderBytes = std::array<uint8_t, kVbrHeaderSpan>;

int32_t BigEndian32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 |
                              uint32_t{p[2]} << 8 | uint32_t{p[3]});
}

// The header's bytes from `position` on, zero past the window's end.
HeaderBytes BytesAt(const uint8_t* window, size_t windowSize, size_t position) {
  HeaderBytes h{};
  if (position < windowSize) {
    const size_t available = std::min(kVbrHeaderSpan, windowSize - position);
    std::memcpy(h.data(), window + position, available);
  }
  return h;
}

}  // namespace

uint8_t VbrHeaderOffset(const FrameInfo& frame) {
  const bool mono = frame.ChannelMode == kMono;
  if (frame.Version == kMpeg1) return mono ? 21 : 36;
  return mono ? 13 : 21;
}

void ReadVbrHeader(const uint8_t* window, size_t windowSize, size_t frameStart,
                   const FrameInfo& frame, VBRData& vbr) {
  vbr.Clear();
  const HeaderBytes h = BytesAt(window, windowSize, frameStart + VbrHeaderOffset(frame));
  if (std::memcmp(h.data(), "Xing", 4) == 0 || std::memcmp(h.data(), "Info", 4) == 0) {
    // The flags word at 4 is not consulted: LAME and Xing encoders write all
    // four fields, and the counts are taken from their fixed places.
    vbr.Present = true;
    std::memcpy(vbr.Signature, h.data(), 4);
    vbr.FrameTotal = BigEndian32(&h[8]);
    vbr.ByteTotal = BigEndian32(&h[12]);
    vbr.Quality = h[119];
    vbr.Vendor.assign(reinterpret_cast<const char*>(&h[120]), 8);
    return;
  }
  const HeaderBytes v = BytesAt(window, windowSize, frameStart + kVbriHeaderOffset);
  if (std::memcmp(v.data(), "VBRI", 4) == 0) {
    // Fraunhofer layout: version (2), delay (2), quality (2), bytes (4), frames (4).
    vbr.Present = true;
    std::memcpy(vbr.Signature, "VBRI", 4);
    vbr.Quality = v[9];
    vbr.ByteTotal = BigEndian32(&v[10]);
    vbr.FrameTotal = BigEndian32(&v[14]);
  }
}

}  // namespace audio

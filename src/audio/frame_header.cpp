#include "audio/frame_header.h"

namespace audio {
namespace {

// [version code][layer code][bit-rate index], kbit/s. Rows from ISO/IEC 11172-3
// (MPEG 1) and ISO/IEC 13818-3 (MPEG 2, also used by MPEG 2.5); the reserved
// version and layer, free format (index 0) and index 15 are 0.
constexpr std::array<uint16_t, 16> kNone{};
constexpr std::array<uint16_t, 16> kV1L1{0,   32,  64,  96,  128, 160, 192, 224,
                                         256, 288, 320, 352, 384, 416, 448, 0};
constexpr std::array<uint16_t, 16> kV1L2{0,   32,  48,  56,  64,  80,  96,  112,
                                         128, 160, 192, 224, 256, 320, 384, 0};
constexpr std::array<uint16_t, 16> kV1L3{0,   32,  40,  48,  56,  64,  80,  96,
                                         112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<uint16_t, 16> kV2L1{0,   32,  48,  56,  64,  80,  96,  112,
                                         128, 144, 160, 176, 192, 224, 256, 0};
constexpr std::array<uint16_t, 16> kV2L23{0,  8,   16,  24,  32,  40,  48,  56,
                                          64, 80,  96,  112, 128, 144, 160, 0};

constexpr std::array<std::array<std::array<uint16_t, 16>, 4>, 4> kBitRateTable{{
    {{kNone, kV2L23, kV2L23, kV2L1}},  // MPEG 2.5
    {{kNone, kNone, kNone, kNone}},    // reserved
    {{kNone, kV2L23, kV2L23, kV2L1}},  // MPEG 2
    {{kNone, kV1L3, kV1L2, kV1L1}},    // MPEG 1
}};

constexpr std::array<std::array<uint16_t, 4>, 4> kSampleRateTable{{
    {{11025, 12000, 8000, 0}},
    {{0, 0, 0, 0}},
    {{22050, 24000, 16000, 0}},
    {{44100, 48000, 32000, 0}},
}};

constexpr std::array<const char*, 4> kVersionTexts{"MPEG 2.5", "MPEG ?", "MPEG 2", "MPEG 1"};
constexpr std::array<const char*, 4> kLayerTexts{"Layer ?", "Layer III", "Layer II", "Layer I"};
constexpr std::array<const char*, 5> kChannelModeTexts{"Stereo", "Joint Stereo", "Dual Channel",
                                                       "Mono", "Unknown"};

// Header field accessors (byte 1: version bits 4-3, layer bits 2-1; byte 2:
// bit-rate index bits 7-4, sample-rate index bits 3-2; byte 3: emphasis bits 1-0).
constexpr uint8_t VersionBits(const uint8_t* h) { return (h[1] >> 3) & 3; }
constexpr uint8_t LayerBits(const uint8_t* h) { return (h[1] >> 1) & 3; }
constexpr uint8_t BitRateBits(const uint8_t* h) { return h[2] >> 4; }
constexpr uint8_t SampleRateBits(const uint8_t* h) { return (h[2] >> 2) & 3; }
constexpr uint8_t EmphasisBits(const uint8_t* h) { return h[3] & 3; }

}  // namespace

bool CheckHeader(const uint8_t* h) {
  return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && VersionBits(h) != kMpegReserved &&
         LayerBits(h) != kLayerReserved && BitRateBits(h) != 15 && BitRateBits(h) != 0 &&
         SampleRateBits(h) != 3 && EmphasisBits(h) != 2;
}

void ParseHeader(const uint8_t* h, FrameInfo& frame) {
  frame.Header = {h[0], h[1], h[2], h[3]};
  frame.Version = VersionBits(h);
  frame.Layer = LayerBits(h);
  frame.HasCrc = (h[1] & 1) == 0;
  frame.BitRateIndex = BitRateBits(h);
  frame.SampleRateIndex = SampleRateBits(h);
  frame.Padded = (h[2] & 2) != 0;
  frame.PrivateFlag = (h[2] & 1) != 0;
  frame.ChannelMode = h[3] >> 6;
  frame.ModeExtension = (h[3] >> 4) & 3;
  frame.CopyrightFlag = (h[3] & 8) != 0;
  frame.OriginalFlag = (h[3] & 4) != 0;
  frame.Emphasis = EmphasisBits(h);
}

bool SameStream(const uint8_t* a, const uint8_t* b) {
  return VersionBits(a) == VersionBits(b) && LayerBits(a) == LayerBits(b) &&
         SampleRateBits(a) == SampleRateBits(b);
}

uint8_t FrameCoefficient(const FrameInfo& frame) {
  if (frame.Layer == kLayer1) return 48;
  if (frame.Layer == kLayer3 && frame.Version != kMpeg1) return 72;
  return 144;
}

uint8_t PaddingSlotSize(const FrameInfo& frame) {
  if (!frame.Padded) return 0;
  return frame.Layer == kLayer1 ? 4 : 1;
}

uint16_t TableBitRate(const FrameInfo& frame) {
  return kBitRateTable[frame.Version & 3][frame.Layer & 3][frame.BitRateIndex & 15];
}

uint16_t TableSampleRate(const FrameInfo& frame) {
  return kSampleRateTable[frame.Version & 3][frame.SampleRateIndex & 3];
}

uint16_t FrameLength(const FrameInfo& frame) {
  const uint32_t rate = TableSampleRate(frame);
  if (rate == 0) return 0;
  const uint32_t bitsPerSecond = TableBitRate(frame) * 1000u;
  // A Layer I frame is made of 4-byte slots (ISO/IEC 11172-3, 2.4.3.1): the
  // slot count is truncated before it is multiplied, so at 44.1 kHz the length
  // is a multiple of 4 rather than 48 x bit rate / sample rate truncated.
  if (frame.Layer == kLayer1) {
    return static_cast<uint16_t>((12 * bitsPerSecond / rate) * 4 + PaddingSlotSize(frame));
  }
  return static_cast<uint16_t>(FrameCoefficient(frame) * bitsPerSecond / rate +
                               PaddingSlotSize(frame));
}

const char* VersionText(const FrameInfo& frame) { return kVersionTexts[frame.Version & 3]; }

const char* LayerText(const FrameInfo& frame) { return kLayerTexts[frame.Layer & 3]; }

const char* ChannelModeText(const FrameInfo& frame) {
  return kChannelModeTexts[frame.ChannelMode < 4 ? frame.ChannelMode : 4];
}

}  // namespace audio

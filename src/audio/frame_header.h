// The four-byte header that opens every MPEG audio frame (MPEG 1, MPEG 2 and
// the MPEG 2.5 extension; Layers I, II and III) and what follows from it.
#pragma once

#include <array>
#include <cstdint>

namespace audio {

// Version codes as they stand in the header.
enum : uint8_t { kMpeg25 = 0, kMpegReserved = 1, kMpeg2 = 2, kMpeg1 = 3 };
// Layer codes as they stand in the header.
enum : uint8_t { kLayerReserved = 0, kLayer3 = 1, kLayer2 = 2, kLayer1 = 3 };
enum : uint8_t { kStereo = 0, kJointStereo = 1, kDualChannel = 2, kMono = 3 };

// The decoded first frame of a file. A default-constructed record is in the
// empty state: the look-ups below then give the placeholder texts and rates
// of 0, never the values of a real header.
struct FrameInfo {
  bool Present = false;  // confirmed by a successor header
  int32_t Offset = 0;    // of the header's first byte, within its search window
  uint16_t FrameBytes = 0;
  std::array<uint8_t, 4> Header{};
  uint8_t Version = kMpegReserved;
  uint8_t Layer = kLayerReserved;
  bool HasCrc = false;
  uint16_t BitRateIndex = 0;
  uint16_t SampleRateIndex = 3;
  bool Padded = false;
  bool PrivateFlag = false;
  uint8_t ChannelMode = 4;
  uint8_t ModeExtension = 4;
  bool CopyrightFlag = false;
  bool OriginalFlag = false;
  uint8_t Emphasis = 2;
};

// Longest MPEG 1 frame (Layer II, 384 kbit/s, 32 kHz, padded).
constexpr int kLongestMpeg1Frame = 1729;

// Whether four bytes are a header this system accepts: sync, no reserved
// version, layer, sample rate or emphasis, and no free-format or "bad" bit rate.
bool CheckHeader(const uint8_t* bytes);
// Fills Header and the fields from Version to Emphasis; leaves Present,
// Offset and FrameBytes alone.
void ParseHeader(const uint8_t* bytes, FrameInfo& frame);
// Whether two headers belong to one stream as a decoder sees it: the same
// version, layer and sample rate. The other fields may change from frame to
// frame (bit rate in VBR files, channel mode in joint stereo ones).
bool SameStream(const uint8_t* first, const uint8_t* second);

// Samples per frame divided by 8.
uint8_t FrameCoefficient(const FrameInfo& frame);
// 0 when not padded; 4 for Layer I, 1 for Layers II and III.
uint8_t PaddingSlotSize(const FrameInfo& frame);
uint16_t TableBitRate(const FrameInfo& frame);     // kbit/s, 0 when unknown
uint16_t TableSampleRate(const FrameInfo& frame);  // Hz, 0 when unknown
// Frame length in bytes, padding included; 0 when the rates are unknown.
uint16_t FrameLength(const FrameInfo& frame);

const char* VersionText(const FrameInfo& frame);
const char* LayerText(const FrameInfo& frame);
const char* ChannelModeText(const FrameInfo& frame);

}  // namespace audio

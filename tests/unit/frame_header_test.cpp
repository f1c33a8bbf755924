#include "audio/frame_header.h"

#include <gtest/gtest.h>

#include <string>

namespace audio {
namespace {

// Header bytes 1..3 from the fields, sync set and no CRC unless asked.
std::array<uint8_t, 4> Header(int version, int layer, int bitRateIndex, int sampleRateIndex,
                              bool padded = false, int channelMode = kJointStereo,
                              int emphasis = 0) {
  return {0xFF, static_cast<uint8_t>(0xE0 | version << 3 | layer << 1 | 1),
          static_cast<uint8_t>(bitRateIndex << 4 | sampleRateIndex << 2 | (padded ? 2 : 0)),
          static_cast<uint8_t>(channelMode << 6 | emphasis)};
}

FrameInfo Parsed(const std::array<uint8_t, 4>& bytes) {
  FrameInfo frame;
  ParseHeader(bytes.data(), frame);
  return frame;
}

TEST(FrameHeader, DecodesEveryFieldOfACommonHeader) {
  const std::array<uint8_t, 4> bytes{0xFF, 0xFB, 0x90, 0x64};
  ASSERT_TRUE(CheckHeader(bytes.data()));
  FrameInfo frame;
  frame.Offset = 77;
  ParseHeader(bytes.data(), frame);
  EXPECT_EQ(frame.Header, bytes);
  EXPECT_EQ(frame.Version, kMpeg1);
  EXPECT_EQ(frame.Layer, kLayer3);
  EXPECT_FALSE(frame.HasCrc);
  EXPECT_EQ(frame.BitRateIndex, 9);
  EXPECT_EQ(frame.SampleRateIndex, 0);
  EXPECT_FALSE(frame.Padded);
  EXPECT_FALSE(frame.PrivateFlag);
  EXPECT_EQ(frame.ChannelMode, kJointStereo);
  EXPECT_EQ(frame.ModeExtension, 2);
  EXPECT_FALSE(frame.CopyrightFlag);
  EXPECT_TRUE(frame.OriginalFlag);
  EXPECT_EQ(frame.Emphasis, 0);
  EXPECT_EQ(frame.Offset, 77) << "ParseHeader leaves the position alone";
  EXPECT_FALSE(frame.Present);
  EXPECT_EQ(TableBitRate(frame), 128);
  EXPECT_EQ(TableSampleRate(frame), 44100);
  EXPECT_EQ(FrameLength(frame), 417);
  EXPECT_STREQ(VersionText(frame), "MPEG 1");
  EXPECT_STREQ(LayerText(frame), "Layer III");
  EXPECT_STREQ(ChannelModeText(frame), "Joint Stereo");
}

TEST(FrameHeader, DecodesTheFlagBitsWhenAllAreSet) {
  // CRC present (protection bit 0), padded, private, mono, mode extension 3,
  // copyright, original, emphasis 50/15 ms.
  const FrameInfo frame = Parsed({0xFF, 0xFA, 0x93, 0xFD});
  EXPECT_TRUE(frame.HasCrc);
  EXPECT_TRUE(frame.Padded);
  EXPECT_TRUE(frame.PrivateFlag);
  EXPECT_EQ(frame.ChannelMode, kMono);
  EXPECT_EQ(frame.ModeExtension, 3);
  EXPECT_TRUE(frame.CopyrightFlag);
  EXPECT_TRUE(frame.OriginalFlag);
  EXPECT_EQ(frame.Emphasis, 1);
  EXPECT_EQ(FrameLength(frame), 418);
  EXPECT_STREQ(ChannelModeText(frame), "Mono");
}

struct LengthCase {
  const char* what;
  std::array<uint8_t, 4> header;
  uint16_t kbps;
  uint16_t hz;
  uint8_t coefficient;
  uint16_t length;
};

TEST(FrameHeader, FrameLengthsFollowTheStandard) {
  const LengthCase cases[] = {
      {"MPEG 1 L3 128k 44.1k", Header(kMpeg1, kLayer3, 9, 0), 128, 44100, 144, 417},
      {"MPEG 1 L3 128k 44.1k padded", Header(kMpeg1, kLayer3, 9, 0, true), 128, 44100, 144, 418},
      {"MPEG 1 L3 320k 48k", Header(kMpeg1, kLayer3, 14, 1), 320, 48000, 144, 960},
      {"longest MPEG 1 frame", Header(kMpeg1, kLayer2, 14, 2, true), 384, 32000, 144, 1729},
      {"longest accepted frame", Header(kMpeg25, kLayer2, 14, 2, true), 160, 8000, 144, 2881},
      {"MPEG 1 L1 448k 32k padded", Header(kMpeg1, kLayer1, 14, 2, true), 448, 32000, 48, 676},
      {"MPEG 2 L1 256k 24k", Header(kMpeg2, kLayer1, 14, 1), 256, 24000, 48, 512},
      {"MPEG 2 L3 64k 22.05k", Header(kMpeg2, kLayer3, 8, 0), 64, 22050, 72, 208},
      {"MPEG 2 L2 64k 22.05k", Header(kMpeg2, kLayer2, 8, 0), 64, 22050, 144, 417},
      {"MPEG 2.5 L3 8k 8k", Header(kMpeg25, kLayer3, 1, 2), 8, 8000, 72, 72},
      {"MPEG 2.5 L3 32k 11.025k padded", Header(kMpeg25, kLayer3, 4, 0, true), 32, 11025, 72, 209},
      // Layer I frames are whole 4-byte slots: 12 x 32000 / 44100 = 8.7 slots
      // -> 8 slots, 32 bytes (not 48 x 32000 / 44100 = 34).
      {"MPEG 1 L1 32k 44.1k", Header(kMpeg1, kLayer1, 1, 0), 32, 44100, 48, 32},
      {"MPEG 1 L1 416k 44.1k padded", Header(kMpeg1, kLayer1, 13, 0, true), 416, 44100, 48, 456},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(CheckHeader(c.header.data()));
    const FrameInfo frame = Parsed(c.header);
    EXPECT_EQ(TableBitRate(frame), c.kbps);
    EXPECT_EQ(TableSampleRate(frame), c.hz);
    EXPECT_EQ(FrameCoefficient(frame), c.coefficient);
    EXPECT_EQ(FrameLength(frame), c.length);
  }
}

TEST(FrameHeader, PaddingSlotIsFourBytesInLayerIOnly) {
  EXPECT_EQ(PaddingSlotSize(Parsed(Header(kMpeg1, kLayer1, 5, 0, true))), 4);
  EXPECT_EQ(PaddingSlotSize(Parsed(Header(kMpeg1, kLayer2, 5, 0, true))), 1);
  EXPECT_EQ(PaddingSlotSize(Parsed(Header(kMpeg2, kLayer3, 5, 0, true))), 1);
  EXPECT_EQ(PaddingSlotSize(Parsed(Header(kMpeg1, kLayer1, 5, 0, false))), 0);
}

TEST(FrameHeader, RefusesReservedAndUnmeasurableHeaders) {
  struct Refusal {
    const char* what;
    std::array<uint8_t, 4> header;
  };
  const Refusal refusals[] = {
      {"free format", Header(kMpeg1, kLayer3, 0, 0)},
      {"bit-rate index 15", Header(kMpeg1, kLayer3, 15, 0)},
      {"reserved version", Header(kMpegReserved, kLayer3, 9, 0)},
      {"reserved layer", Header(kMpeg1, kLayerReserved, 9, 0)},
      {"reserved sample rate", Header(kMpeg1, kLayer3, 9, 3)},
      {"reserved emphasis", Header(kMpeg1, kLayer3, 9, 0, false, kStereo, 2)},
      {"first byte not FF", {0xFE, 0xFB, 0x90, 0x64}},
  };
  for (const Refusal& r : refusals) {
    EXPECT_FALSE(CheckHeader(r.header.data())) << r.what;
  }
  for (int second = 0; second < 0xE0; ++second) {
    const uint8_t bytes[4] = {0xFF, static_cast<uint8_t>(second), 0x90, 0x64};
    EXPECT_FALSE(CheckHeader(bytes)) << "second byte " << second;
  }
}

TEST(FrameHeader, EveryAcceptedHeaderHasRatesAndABoundedLength) {
  // All 2^24 headers: an accepted one can always be measured, and no frame is
  // longer than the search window's margin allows for.
  int accepted = 0;
  uint16_t longest = 0;
  for (uint32_t rest = 0; rest < (1u << 24); ++rest) {
    const uint8_t bytes[4] = {0xFF, static_cast<uint8_t>(rest >> 16),
                              static_cast<uint8_t>(rest >> 8), static_cast<uint8_t>(rest)};
    if (!CheckHeader(bytes)) continue;
    ++accepted;
    FrameInfo frame;
    ParseHeader(bytes, frame);
    ASSERT_NE(TableBitRate(frame), 0) << rest;
    ASSERT_NE(TableSampleRate(frame), 0) << rest;
    ASSERT_GE(FrameLength(frame), 24) << rest;
    longest = std::max(longest, FrameLength(frame));
  }
  // 3 versions x 3 layers x 14 bit rates x 3 sample rates x 2 padding
  // x 2 CRC x 2 private x 64 (mode, extension, copyright, original) x 3 emphases.
  EXPECT_EQ(accepted, 3 * 3 * 14 * 3 * 2 * 2 * 2 * 64 * 3);
  EXPECT_EQ(longest, 2881);
}

TEST(FrameHeader, EmptyStateShowsPlaceholders) {
  const FrameInfo empty;
  EXPECT_STREQ(VersionText(empty), "MPEG ?");
  EXPECT_STREQ(LayerText(empty), "Layer ?");
  EXPECT_STREQ(ChannelModeText(empty), "Unknown");
  EXPECT_EQ(TableSampleRate(empty), 0);
  EXPECT_EQ(TableBitRate(empty), 0);
  EXPECT_EQ(FrameLength(empty), 0);
}

TEST(FrameHeader, TextsOfEveryCode) {
  const char* versions[] = {"MPEG 2.5", "MPEG ?", "MPEG 2", "MPEG 1"};
  const char* layers[] = {"Layer ?", "Layer III", "Layer II", "Layer I"};
  const char* modes[] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"};
  FrameInfo frame;
  for (uint8_t code = 0; code < 4; ++code) {
    frame.Version = code;
    frame.Layer = code;
    EXPECT_STREQ(VersionText(frame), versions[code]);
    EXPECT_STREQ(LayerText(frame), layers[code]);
  }
  for (uint8_t code = 0; code < 5; ++code) {
    frame.ChannelMode = code;
    EXPECT_STREQ(ChannelModeText(frame), modes[code]);
  }
}

}  // namespace
}  // namespace audio

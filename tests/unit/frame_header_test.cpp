#include "audio/frame_header.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace audio {
namespace {

// A header from its fields: sync set, no CRC.
std::array<uint8_t, 4> Header(int version, int layer, int bitRateIndex, int sampleRateIndex,
                              bool padded = false, int channelMode = kJointStereo,
                              int emphasis = 0) {
  return {0xFF, static_cast<uint8_t>(0xE0 | version << 3 | layer << 1 | 1),
          static_cast<uint8_t>(bitRateIndex << 4 | sampleRateIndex << 2 | (padded ? 2 : 0)),
          static_cast<uint8_t>(channelMode << 6 | emphasis)};
}

FrameInfo Parsed(const std::array<uint8_t, 4>& bytes) {
  FrameInfo frame;
  frame.Offset = 77;
  ParseHeader(bytes.data(), frame);
  return frame;
}

TEST(FrameHeader, DecodesEveryField) {
  const FrameInfo plain = Parsed({0xFF, 0xFB, 0x90, 0x64});
  EXPECT_EQ(plain.Header, (std::array<uint8_t, 4>{0xFF, 0xFB, 0x90, 0x64}));
  EXPECT_EQ(plain.Offset, 77) << "ParseHeader leaves the position alone";
  EXPECT_EQ(plain.Version, kMpeg1);
  EXPECT_EQ(plain.Layer, kLayer3);
  EXPECT_EQ(plain.BitRateIndex, 9);
  EXPECT_EQ(plain.SampleRateIndex, 0);
  EXPECT_EQ(plain.ChannelMode, kJointStereo);
  EXPECT_EQ(plain.ModeExtension, 2);
  EXPECT_TRUE(plain.OriginalFlag);
  EXPECT_FALSE(plain.HasCrc || plain.Padded || plain.PrivateFlag || plain.CopyrightFlag);
  EXPECT_EQ(plain.Emphasis, 0);
  EXPECT_STREQ(VersionText(plain), "MPEG 1");
  EXPECT_STREQ(LayerText(plain), "Layer III");
  EXPECT_STREQ(ChannelModeText(plain), "Joint Stereo");

  // CRC (protection bit 0), padded, private, mono, extension 3, copyright,
  // original, emphasis 50/15 ms.
  const FrameInfo flagged = Parsed({0xFF, 0xFA, 0x93, 0xFD});
  EXPECT_TRUE(flagged.HasCrc && flagged.Padded && flagged.PrivateFlag && flagged.CopyrightFlag &&
              flagged.OriginalFlag);
  EXPECT_EQ(flagged.ChannelMode, kMono);
  EXPECT_EQ(flagged.ModeExtension, 3);
  EXPECT_EQ(flagged.Emphasis, 1);
  EXPECT_STREQ(ChannelModeText(flagged), "Mono");
}

TEST(FrameHeader, FrameLengthsFollowTheStandard) {
  struct Case {
    const char* what;
    std::array<uint8_t, 4> header;
    uint16_t kbps, hz, length;
  };
  const Case cases[] = {
      {"MPEG 1 L3 128k 44.1k", Header(kMpeg1, kLayer3, 9, 0), 128, 44100, 417},
      {"MPEG 1 L3 128k 44.1k padded", Header(kMpeg1, kLayer3, 9, 0, true), 128, 44100, 418},
      {"longest MPEG 1 frame", Header(kMpeg1, kLayer2, 14, 2, true), 384, 32000, 1729},
      {"longest accepted frame", Header(kMpeg25, kLayer2, 14, 2, true), 160, 8000, 2881},
      {"MPEG 1 L1 448k 32k padded (4-byte slot)", Header(kMpeg1, kLayer1, 14, 2, true), 448, 32000,
       676},
      {"MPEG 2 L1 256k 24k", Header(kMpeg2, kLayer1, 14, 1), 256, 24000, 512},
      {"MPEG 2 L3 64k 22.05k (576 samples)", Header(kMpeg2, kLayer3, 8, 0), 64, 22050, 208},
      {"MPEG 2 L2 64k 22.05k (1152 samples)", Header(kMpeg2, kLayer2, 8, 0), 64, 22050, 417},
      {"MPEG 2.5 L3 32k 11.025k padded", Header(kMpeg25, kLayer3, 4, 0, true), 32, 11025, 209},
      // Layer I frames are whole 4-byte slots: 12 x 32000 / 44100 = 8.7 slots
      // -> 32 bytes, not 48 x 32000 / 44100 = 34.
      {"MPEG 1 L1 32k 44.1k", Header(kMpeg1, kLayer1, 1, 0), 32, 44100, 32},
      {"MPEG 1 L1 416k 44.1k padded", Header(kMpeg1, kLayer1, 13, 0, true), 416, 44100, 456},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(CheckHeader(c.header.data()));
    const FrameInfo frame = Parsed(c.header);
    EXPECT_EQ(TableBitRate(frame), c.kbps);
    EXPECT_EQ(TableSampleRate(frame), c.hz);
    EXPECT_EQ(FrameLength(frame), c.length);
  }
}

TEST(FrameHeader, RefusesReservedAndUnmeasurableHeaders) {
  const std::array<uint8_t, 4> refused[] = {
      Header(kMpeg1, kLayer3, 0, 0),                      // free format
      Header(kMpeg1, kLayer3, 15, 0),                     // bit-rate index 15
      Header(kMpegReserved, kLayer3, 9, 0),               // reserved version
      Header(kMpeg1, kLayerReserved, 9, 0),               // reserved layer
      Header(kMpeg1, kLayer3, 9, 3),                      // reserved sample rate
      Header(kMpeg1, kLayer3, 9, 0, false, kStereo, 2),  // reserved emphasis
      {0xFE, 0xFB, 0x90, 0x64},                           // no sync
  };
  for (const auto& header : refused) EXPECT_FALSE(CheckHeader(header.data())) << int(header[2]);
  for (int second = 0; second < 0xE0; ++second) {
    const uint8_t bytes[4] = {0xFF, static_cast<uint8_t>(second), 0x90, 0x64};
    EXPECT_FALSE(CheckHeader(bytes)) << "second byte " << second;
  }
}

TEST(FrameHeader, EveryAcceptedHeaderHasRatesAndABoundedLength) {
  // All 2^24 headers: one that is accepted can always be measured, and none is
  // longer than the longest frame the search allows for.
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
  // 3 versions x 3 layers x 14 bit rates x 3 sample rates x 2 padding x 2 CRC
  // x 2 private x 64 (mode, extension, copyright, original) x 3 emphases.
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

}  // namespace
}  // namespace audio

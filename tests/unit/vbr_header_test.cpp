#include "audio/vbr_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace audio {
namespace {

FrameInfo Frame(uint8_t version, uint8_t channelMode) {
  FrameInfo frame;
  const uint8_t bytes[4] = {0xFF, static_cast<uint8_t>(0xE0 | version << 3 | kLayer3 << 1 | 1),
                            0x90, static_cast<uint8_t>(channelMode << 6)};
  ParseHeader(bytes, frame);
  return frame;
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// A window with a Xing header stating 6699 frames and 4000000 bytes at `at`.
std::vector<uint8_t> XingWindow(size_t at, const char* signature = "Xing",
                                uint32_t flags = 0x0F) {
  std::vector<uint8_t> window(3458);
  std::memcpy(&window[at], signature, 4);
  Put32(window, at + 4, flags);
  Put32(window, at + 8, 0x00001A2B);
  Put32(window, at + 12, 0x003D0900);
  window[at + 119] = 78;
  std::memcpy(&window[at + 120], "LAME3.99", 8);
  return window;
}

TEST(VbrHeader, OffsetDependsOnVersionAndChannelMode) {
  struct Case {
    uint8_t version, mode, offset;
  };
  const Case cases[] = {
      {kMpeg1, kMono, 21},         {kMpeg1, kStereo, 36},        {kMpeg1, kJointStereo, 36},
      {kMpeg1, kDualChannel, 36},  {kMpeg2, kMono, 13},          {kMpeg2, kJointStereo, 21},
      {kMpeg25, kMono, 13},        {kMpeg25, kStereo, 21},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VbrHeaderOffset(Frame(c.version, c.mode)), c.offset)
        << "version " << int(c.version) << " mode " << int(c.mode);
  }
}

TEST(VbrHeader, ReadsTheXingFields) {
  const auto window = XingWindow(100 + 36);
  VBRData vbr;
  vbr.Vendor = "stale";
  ReadVbrHeader(window.data(), window.size(), 100 + 36, vbr);
  ASSERT_TRUE(vbr.Present);
  EXPECT_EQ(std::string(vbr.Signature, 4), "Xing");
  EXPECT_EQ(vbr.FrameTotal, 6699);
  EXPECT_EQ(vbr.ByteTotal, 4000000);
  EXPECT_EQ(vbr.Quality, 78);
  EXPECT_EQ(vbr.Vendor, "LAME3.99");
}

TEST(VbrHeader, CountsAreReadWhateverTheXingFlagsSay) {
  const auto window = XingWindow(36, "Xing", 0x01);  // "frames only"
  VBRData vbr;
  ReadVbrHeader(window.data(), window.size(), 36, vbr);
  EXPECT_EQ(vbr.ByteTotal, 4000000);
}

TEST(VbrHeader, ReadsTheVbriFields) {
  std::vector<uint8_t> window(3458);
  const size_t at = 36;
  std::memcpy(&window[at], "VBRI", 4);
  window[at + 5] = 1;     // version
  window[at + 8] = 0x12;  // quality word, high byte
  window[at + 9] = 75;
  Put32(window, at + 10, 6478737);
  Put32(window, at + 14, 8506);
  VBRData vbr;
  ReadVbrHeader(window.data(), window.size(), at, vbr);
  ASSERT_TRUE(vbr.Present);
  EXPECT_EQ(std::string(vbr.Signature, 4), "VBRI");
  EXPECT_EQ(vbr.Quality, 75);
  EXPECT_EQ(vbr.ByteTotal, 6478737);
  EXPECT_EQ(vbr.FrameTotal, 8506);
  EXPECT_TRUE(vbr.Vendor.empty());
}

TEST(VbrHeader, OtherMarkersAndOtherPlacesAreNotAHeader) {
  struct Case {
    const char* what;
    size_t written, looked;
    const char* signature;
  };
  const Case cases[] = {
      {"Xing at the mono offset of a stereo frame", 21, 36, "Xing"},
      {"lower case", 36, 36, "xing"},
      {"LAME's CBR marker", 36, 36, "Info"},
      {"VBRI one byte late", 37, 36, "VBRI"},
  };
  for (const Case& c : cases) {
    const auto window = XingWindow(c.written, c.signature);
    VBRData vbr;
    vbr.Present = true;
    vbr.FrameTotal = 5;
    ReadVbrHeader(window.data(), window.size(), c.looked, vbr);
    EXPECT_FALSE(vbr.Present) << c.what;
    EXPECT_EQ(vbr.FrameTotal, 0) << c.what << ": the record is cleared";
    EXPECT_EQ(std::string(vbr.Signature, 4), std::string(4, '\0')) << c.what;
  }
}

TEST(VbrHeader, HeaderCutByTheWindowEndReadsZeros) {
  // Only "Xing" and part of the frame count are inside the buffer; the rest
  // must read as zero, not as what lies beyond it.
  std::vector<uint8_t> window(50, 0xAA);
  std::memcpy(&window[40], "Xing", 4);
  VBRData vbr;
  ReadVbrHeader(window.data(), window.size(), 40, vbr);
  ASSERT_TRUE(vbr.Present);
  EXPECT_EQ(vbr.FrameTotal, static_cast<int32_t>(0xAAAA0000));
  EXPECT_EQ(vbr.ByteTotal, 0);
  EXPECT_EQ(vbr.Vendor, std::string(8, '\0'));
  ReadVbrHeader(window.data(), window.size(), 60, vbr);
  EXPECT_FALSE(vbr.Present);
}

}  // namespace
}  // namespace audio

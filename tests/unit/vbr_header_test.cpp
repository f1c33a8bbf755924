#include "audio/vbr_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace audio {
namespace {

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// A window with `signature` at `at`, laid out as a Xing header stating 6699
// frames and 4000000 bytes; its flags say "frames only".
std::vector<uint8_t> XingWindow(size_t at, const char* signature = "Xing") {
  std::vector<uint8_t> window(3458);
  std::memcpy(&window[at], signature, 4);
  Put32(window, at + 4, 0x01);
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
  const Case cases[] = {{kMpeg1, kMono, 21},        {kMpeg1, kStereo, 36},
                        {kMpeg1, kDualChannel, 36}, {kMpeg2, kMono, 13},
                        {kMpeg2, kJointStereo, 21}, {kMpeg25, kMono, 13}};
  for (const Case& c : cases) {
    FrameInfo frame;
    frame.Version = c.version;
    frame.ChannelMode = c.mode;
    EXPECT_EQ(VbrHeaderOffset(frame), c.offset) << int(c.version) << " " << int(c.mode);
  }
}

TEST(VbrHeader, ReadsTheXingFieldsWhateverItsFlagsSay) {
  const auto window = XingWindow(136);
  VBRData vbr;
  vbr.Vendor = "stale";
  ReadVbrHeader(window.data(), window.size(), 136, vbr);
  ASSERT_TRUE(vbr.Present);
  EXPECT_EQ(std::string(vbr.Signature, 4), "Xing");
  EXPECT_EQ(vbr.FrameTotal, 6699);
  EXPECT_EQ(vbr.ByteTotal, 4000000);
  EXPECT_EQ(vbr.Quality, 78);
  EXPECT_EQ(vbr.Vendor, "LAME3.99");
}

TEST(VbrHeader, ReadsTheVbriFields) {
  std::vector<uint8_t> window(3458);
  std::memcpy(&window[36], "VBRI", 4);
  window[36 + 8] = 0x12;  // quality word: only its low byte is taken
  window[36 + 9] = 75;
  Put32(window, 36 + 10, 6478737);
  Put32(window, 36 + 14, 8506);
  VBRData vbr;
  ReadVbrHeader(window.data(), window.size(), 36, vbr);
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
  }
}

TEST(VbrHeader, HeaderCutByTheWindowEndReadsZeros) {
  // "Xing" and half the frame count lie inside the buffer; what lies beyond
  // it must read as zero.
  std::vector<uint8_t> window(50, 0xAA);
  std::memcpy(&window[40], "Xing", 4);
  VBRData vbr;
  ReadVbrHeader(window.data(), window.size(), 40, vbr);
  ASSERT_TRUE(vbr.Present);
  EXPECT_EQ(vbr.FrameTotal, static_cast<int32_t>(0xAAAA0000));
  EXPECT_EQ(vbr.ByteTotal, 0);
  ReadVbrHeader(window.data(), window.size(), 60, vbr);
  EXPECT_FALSE(vbr.Present);
}

}  // namespace
}  // namespace audio

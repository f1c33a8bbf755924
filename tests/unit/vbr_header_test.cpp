#include "audio/vbr_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace audio {
namespace {

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

FrameInfo Frame(uint8_t version, uint8_t channelMode) {
  FrameInfo frame;
  frame.Version = version;
  frame.Layer = kLayer3;
  frame.ChannelMode = channelMode;
  return frame;
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

// A window with a VBRI header at `at` stating 8506 frames and 6478737 bytes.
std::vector<uint8_t> VbriWindow(size_t at) {
  std::vector<uint8_t> window(3458);
  std::memcpy(&window[at], "VBRI", 4);
  window[at + 8] = 0x12;  // quality word: only its low byte is taken
  window[at + 9] = 75;
  Put32(window, at + 10, 6478737);
  Put32(window, at + 14, 8506);
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
    EXPECT_EQ(VbrHeaderOffset(Frame(c.version, c.mode)), c.offset)
        << int(c.version) << " " << int(c.mode);
  }
}

TEST(VbrHeader, ReadsTheXingAndInfoFieldsWhateverTheFlagsSay) {
  for (const char* signature : {"Xing", "Info"}) {
    SCOPED_TRACE(signature);
    const auto window = XingWindow(100 + 36, signature);
    VBRData vbr;
    vbr.Vendor = "stale";
    ReadVbrHeader(window.data(), window.size(), 100, Frame(kMpeg1, kJointStereo), vbr);
    ASSERT_TRUE(vbr.Present);
    EXPECT_EQ(std::string(vbr.Signature, 4), signature);
    EXPECT_EQ(vbr.IsInfo(), std::string(signature) == "Info");
    EXPECT_EQ(vbr.FrameTotal, 6699);
    EXPECT_EQ(vbr.ByteTotal, 4000000);
    EXPECT_EQ(vbr.Quality, 78);
    EXPECT_EQ(vbr.Vendor, "LAME3.99");
  }
}

// Fraunhofer encoders put VBRI 32 bytes after the frame header in every
// version and channel mode, where a Xing header stands only in MPEG 1 stereo.
TEST(VbrHeader, VbriStandsAt36InEveryVersionAndMode) {
  const FrameInfo frames[] = {Frame(kMpeg1, kJointStereo), Frame(kMpeg1, kMono),
                              Frame(kMpeg2, kStereo), Frame(kMpeg2, kMono), Frame(kMpeg25, kMono)};
  for (const FrameInfo& frame : frames) {
    SCOPED_TRACE(std::string(VersionText(frame)) + " " + ChannelModeText(frame));
    const auto window = VbriWindow(500 + 36);
    VBRData vbr;
    ReadVbrHeader(window.data(), window.size(), 500, frame, vbr);
    ASSERT_TRUE(vbr.Present);
    EXPECT_EQ(std::string(vbr.Signature, 4), "VBRI");
    EXPECT_FALSE(vbr.IsInfo());
    EXPECT_EQ(vbr.Quality, 75);
    EXPECT_EQ(vbr.ByteTotal, 6478737);
    EXPECT_EQ(vbr.FrameTotal, 8506);
    EXPECT_TRUE(vbr.Vendor.empty());
    // At the Xing offset of a frame for which that is not 36, it is not one.
    if (VbrHeaderOffset(frame) != 36) {
      const auto misplaced = VbriWindow(500 + VbrHeaderOffset(frame));
      ReadVbrHeader(misplaced.data(), misplaced.size(), 500, frame, vbr);
      EXPECT_FALSE(vbr.Present);
    }
  }
}

TEST(VbrHeader, XingAtItsOffsetWinsOverVbri) {
  auto window = XingWindow(21);  // MPEG 1 mono
  const auto vbri = VbriWindow(36);
  std::copy(vbri.begin() + 36, vbri.begin() + 36 + 18, window.begin() + 36);
  // The VBRI bytes land inside the Xing header's fields past its counts.
  VBRData vbr;
  ReadVbrHeader(window.data(), window.size(), 0, Frame(kMpeg1, kMono), vbr);
  EXPECT_EQ(std::string(vbr.Signature, 4), "Xing");
  EXPECT_EQ(vbr.FrameTotal, 6699);
}

TEST(VbrHeader, OtherMarkersAndOtherPlacesAreNotAHeader) {
  struct Case {
    const char* what;
    size_t written;
    FrameInfo frame;
    const char* signature;
  };
  const Case cases[] = {
      {"Xing at the mono offset of a stereo frame", 21, Frame(kMpeg1, kStereo), "Xing"},
      {"Info at the stereo offset of a mono frame", 36, Frame(kMpeg1, kMono), "Info"},
      {"lower case", 36, Frame(kMpeg1, kStereo), "xing"},
      {"lower case Info", 36, Frame(kMpeg1, kStereo), "info"},
      {"VBRI one byte late", 37, Frame(kMpeg1, kStereo), "VBRI"},
  };
  for (const Case& c : cases) {
    const auto window = XingWindow(c.written, c.signature);
    VBRData vbr;
    vbr.Present = true;
    vbr.FrameTotal = 5;
    ReadVbrHeader(window.data(), window.size(), 0, c.frame, vbr);
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
  ReadVbrHeader(window.data(), window.size(), 4, Frame(kMpeg1, kStereo), vbr);
  ASSERT_TRUE(vbr.Present);
  EXPECT_EQ(vbr.FrameTotal, static_cast<int32_t>(0xAAAA0000));
  EXPECT_EQ(vbr.ByteTotal, 0);
  // A frame whose Xing and VBRI places both lie past the end.
  ReadVbrHeader(window.data(), window.size(), 24, Frame(kMpeg1, kStereo), vbr);
  EXPECT_FALSE(vbr.Present);
  // A VBRI header whose byte count the end cuts in half.
  std::vector<uint8_t> vbri(48, 0xAA);
  std::memcpy(&vbri[36], "VBRI", 4);
  ReadVbrHeader(vbri.data(), vbri.size(), 0, Frame(kMpeg2, kMono), vbr);
  ASSERT_TRUE(vbr.Present);
  EXPECT_EQ(vbr.ByteTotal, static_cast<int32_t>(0xAAAA0000));
  EXPECT_EQ(vbr.FrameTotal, 0);
}

}  // namespace
}  // namespace audio

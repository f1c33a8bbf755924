#include "audio/mpeg_audio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sys/sys.h"

namespace audio {
namespace {

namespace fs = std::filesystem;

constexpr uint8_t kCbr128[4] = {0xFF, 0xFB, 0x90, 0x64};  // MPEG 1 L3 128k 44.1k: 417 bytes
constexpr uint8_t kMpeg25[4] = {0xFF, 0xE3, 0x18, 0xC4};  // MPEG 2.5 L3 8k 8k mono: 72 bytes
constexpr uint8_t kLongest[4] = {0xFF, 0xE5, 0xEA, 0x00};  // MPEG 2.5 L2 160k 8k padded: 2881
constexpr uint8_t kCbr128At48k[4] = {0xFF, 0xFB, 0x94, 0x64};   // MPEG 1 L3 128k 48k
constexpr uint8_t kLayer2At128k[4] = {0xFF, 0xFD, 0x80, 0x64};  // MPEG 1 L2 128k 44.1k
constexpr uint8_t kPadded320Mono[4] = {0xFF, 0xFB, 0xE2, 0xC4};  // MPEG 1 L3 320k 44.1k padded
// MPEG 2.5 Layer I at 32 kbit/s, 8 kHz (192 bytes), and the same at 12 kHz.
constexpr uint8_t kChance[4] = {0xFF, 0xE7, 0x18, 0x00};
constexpr uint8_t kChanceFoe[4] = {0xFF, 0xE7, 0x14, 0x00};

class TempDir {
 public:
  TempDir() {
    for (int i = 0;; ++i) {
      path_ = fs::temp_directory_path() / ("tagwright-audio-" + std::to_string(std::rand()) +
                                           "-" + std::to_string(i));
      if (fs::create_directory(path_)) break;
    }
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// File content built piece by piece; gaps are zero.
struct Bytes {
  std::vector<uint8_t> data;

  Bytes& Put(size_t at, const void* bytes, size_t size) {
    if (data.size() < at + size) data.resize(at + size);
    std::memcpy(&data[at], bytes, size);
    return *this;
  }
  Bytes& Put(size_t at, const std::string& text) { return Put(at, text.data(), text.size()); }
  Bytes& Put32(size_t at, uint32_t value) {
    const uint8_t b[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                          uint8_t(value)};
    return Put(at, b, 4);
  }
  // A frame header and, `length` bytes later, its successor.
  Bytes& FramePair(size_t at, const uint8_t* header, size_t length) {
    return Put(at, header, 4).Put(at + length, header, 4);
  }
  Bytes& Resize(size_t size) {
    data.resize(size);
    return *this;
  }
  // An ID3v2.3 tag of `total` bytes at the start: a TIT2 frame, then padding.
  Bytes& Id3v2(size_t total) { return Id3v2At(0, total); }
  // An ID3v2 tag of `total` bytes at `at` (a footer flag adds 10 more bytes,
  // left zero): a TIT2 frame with `title`, then padding.
  Bytes& Id3v2At(size_t at, size_t total, const std::string& title = "Tagged",
                 uint8_t version = 3, uint8_t flags = 0) {
    const size_t body = total - 10;
    const uint8_t header[10] = {'I', 'D', '3', version, 0, flags, uint8_t(body >> 21 & 0x7F),
                                uint8_t(body >> 14 & 0x7F), uint8_t(body >> 7 & 0x7F),
                                uint8_t(body & 0x7F)};
    Put(at, header, 10).Put(at + 10, "TIT2").Put32(at + 14, uint32_t(title.size() + 1));
    Put(at + 18, std::string(3, '\0') + title);
    return Resize(std::max(data.size(), at + total + (flags & 0x10 ? 10 : 0)));
  }
  // An ID3v1 tag appended at the end.
  Bytes& Id3v1(const std::string& title) {
    std::string block = "TAG" + title;
    block.resize(128, '\0');
    block[127] = 17;
    return Put(data.size(), block);
  }
  // An APEv2 tag with one item appended at the end; its size field counts the
  // item and the footer, and a header before them when there is one.
  Bytes& ApeTag(bool withHeader, const std::string& value = "-4.08 dB") {
    const std::string key = "REPLAYGAIN_TRACK_GAIN";
    std::string item(8, '\0');
    item[0] = static_cast<char>(value.size());
    item += key + '\0' + value;
    const auto part = [&](bool isHeader) {
      std::string bytes = "APETAGEX";
      const uint32_t flags = (withHeader ? 0x80000000u : 0) | (isHeader ? 0x20000000u : 0);
      for (const uint32_t v : {2000u, uint32_t(item.size() + 32), 1u, flags})
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i));
      return bytes + std::string(8, '\0');
    };
    if (withHeader) Put(data.size(), part(true));
    return Put(data.size(), item + part(false));
  }
  // A Lyrics3 v2 block appended at the end; `sizeDigits` replaces its six-digit
  // size when given.
  Bytes& Lyrics3(const std::string& sizeDigits = "") {
    const std::string body = "LYRICSBEGININD0000210LYR00009[00:01]La";
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06zu", body.size());
    return Put(data.size(), body + (sizeDigits.empty() ? digits : sizeDigits) + "LYRICS200");
  }
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
  sys::File file;
  ASSERT_TRUE(file.Open(path, sys::OpenMode::CreateAlways));
  ASSERT_TRUE(file.Write(data.data(), data.size()));
  ASSERT_TRUE(file.Close());
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(in ? static_cast<size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// A 4,000,128-byte constant bit rate file: a frame pair at 0, zeros up to
// 4,000,000 bytes, an ID3v1 tag.
Bytes CbrFile() {
  Bytes b;
  b.FramePair(0, kCbr128, 417).Resize(4000000).Id3v1("Title");
  return b;
}

class MpegAudioTest : public ::testing::Test {
 protected:
  bool Analyze(const Bytes& bytes) {
    const std::string path = dir_.File("a.mp3");
    WriteFile(path, bytes.data);
    return audio_.Analyze(path);
  }
  void ExpectEmpty() const {
    EXPECT_FALSE(audio_.IsValid());
    EXPECT_STREQ(audio_.VersionText(), "MPEG ?");
    EXPECT_STREQ(audio_.LayerText(), "Layer ?");
    EXPECT_STREQ(audio_.ChannelModeText(), "Unknown");
    EXPECT_EQ(audio_.SampleRateHz() + audio_.BitRateKbps() + audio_.FrameCount(), 0);
    EXPECT_EQ(audio_.DurationSeconds(), 0.0);
    EXPECT_EQ(audio_.FileSize(), 0);
    EXPECT_FALSE(audio_.VbrInfo().Present);
    EXPECT_FALSE(audio_.ID3v1().Present());
    EXPECT_FALSE(audio_.ID3v2().Present());
  }

  TempDir dir_;
  MPEGaudio audio_;
};

TEST_F(MpegAudioTest, ConstantBitRateComesFromTheFileSize) {
  ExpectEmpty();
  ASSERT_TRUE(Analyze(CbrFile()));
  EXPECT_EQ(audio_.FileSize(), 4000128);
  EXPECT_EQ(audio_.AudioSize(), 4000000);
  EXPECT_EQ(audio_.FrameCount(), 9592);
  EXPECT_DOUBLE_EQ(audio_.DurationSeconds(), 250.0);
  EXPECT_EQ(audio_.BitRateKbps(), 128);
  EXPECT_EQ(audio_.SampleRateHz(), 44100);
  EXPECT_STREQ(audio_.ChannelModeText(), "Joint Stereo");
  EXPECT_EQ(audio_.FirstFrame().FrameBytes, 417);
  EXPECT_TRUE(audio_.IsValid());
  EXPECT_EQ(audio_.ID3v1().Title(), "Title");
}

TEST_F(MpegAudioTest, XingHeaderGivesBitRateFramesAndDuration) {
  Bytes b = CbrFile();
  b.Put(36, "Xing").Put32(44, 6699).Put32(48, 4000000);
  ASSERT_TRUE(Analyze(b));
  EXPECT_EQ(audio_.BitRateKbps(), 183);
  EXPECT_EQ(audio_.FrameCount(), 6699);
  EXPECT_NEAR(audio_.DurationSeconds(), 174.9943, 1e-4);
  EXPECT_TRUE(audio_.IsValid());
  // A frame count of 0: the bit rate and duration of the table and the size.
  b.Put32(44, 0);
  ASSERT_TRUE(Analyze(b));
  EXPECT_TRUE(audio_.VbrInfo().Present);
  EXPECT_EQ(audio_.FrameCount(), 0);
  EXPECT_EQ(audio_.BitRateKbps(), 128);
  EXPECT_DOUBLE_EQ(audio_.DurationSeconds(), 250.0);
}

// The counts are unsigned; a frame count with its top bit set (negative to a
// reader of signed numbers) is no count of any file: the estimate is that of
// a file without header. Below that the header is trusted.
TEST_F(MpegAudioTest, ImpossibleVbrCountsAreIgnored) {
  Bytes b = CbrFile();
  b.Put(36, "Xing").Put32(44, 0xFFFFFFF0u).Put32(48, 4000000);
  ASSERT_TRUE(Analyze(b));
  EXPECT_FALSE(audio_.VbrInfo().Present);
  EXPECT_EQ(audio_.FrameCount(), 9592);
  EXPECT_DOUBLE_EQ(audio_.DurationSeconds(), 250.0);
  EXPECT_EQ(audio_.BitRateKbps(), 128);
  b.Put32(44, 0x7FFFFFFFu);
  ASSERT_TRUE(Analyze(b));
  EXPECT_TRUE(audio_.VbrInfo().Present);
  EXPECT_EQ(audio_.FrameCount(), 0x7FFFFFFF);
  EXPECT_GT(audio_.DurationSeconds(), 0.0);
}

TEST_F(MpegAudioTest, VbrBitRateIsRoundedToEvenAndCutTo16Bits) {
  static constexpr uint8_t kPadded[4] = {0xFF, 0xFB, 0x92, 0x64};
  struct Case {
    uint32_t bytes;  // in 1000 frames
    const uint8_t* header;
    size_t length;
    uint16_t kbps;
    bool valid;
  };
  const Case cases[] = {
      {80000, kCbr128, 417, 24, true},        // 24.5 -> 24
      {240000, kCbr128, 417, 74, true},       // 73.5 -> 74
      {418000, kPadded, 418, 128, true},      // the padding slot is not counted
      {1466327, kCbr128, 417, 449, false},    // 449.06
      {1463000, kCbr128, 417, 448, true},     // 448.04
      {26200, kCbr128, 417, 8, true},         // 8.02
      {23000, kCbr128, 417, 7, false},        // 7.04
      {214413000, kCbr128, 417, 128, true},   // 65663.98 keeps its low 16 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    Bytes b;
    b.FramePair(0, c.header, c.length).Resize(400000);
    b.Put(36, "Xing").Put32(44, 1000).Put32(48, c.bytes);
    ASSERT_TRUE(Analyze(b));
    EXPECT_EQ(audio_.BitRateKbps(), c.kbps);
    EXPECT_EQ(audio_.IsValid(), c.valid);
  }
}

TEST_F(MpegAudioTest, LessThanATenthOfASecondIsNotValid) {
  // At 128 kbit/s 0.1 s are 1600 bytes; with a Xing header at 44.1 kHz, 3.83
  // frames. Exactly 0.1 s is valid whatever the floating-point unit.
  Bytes b;
  b.FramePair(0, kCbr128, 417).Resize(1599);
  ASSERT_TRUE(Analyze(b));
  EXPECT_TRUE(audio_.FirstFrame().Present);
  EXPECT_FALSE(audio_.IsValid());
  b.Resize(1600);
  ASSERT_TRUE(Analyze(b));
  EXPECT_TRUE(audio_.IsValid());
  b.Resize(400000).Put(36, "Xing").Put32(44, 3).Put32(48, 3 * 417);
  ASSERT_TRUE(Analyze(b));
  EXPECT_FALSE(audio_.IsValid());
  b.Put32(44, 4).Put32(48, 4 * 417);
  ASSERT_TRUE(Analyze(b));
  EXPECT_TRUE(audio_.IsValid());
}

TEST_F(MpegAudioTest, WhereTheFirstFrameIsFound) {
  struct Case {
    const char* what;
    Bytes file;
    int64_t position;  // -1: no frame
    const char* version;
  };
  const auto cases = {
      Case{"right after the ID3v2 tag", Bytes().Id3v2(4096).FramePair(4096, kCbr128, 417).Resize(
                                            50000), 4096, "MPEG 1"},
      // The second window (at 300 + 5000) holds nothing in these two.
      Case{"at the last position of the window",
           Bytes().Id3v2(300).FramePair(300 + 1729, kCbr128, 417).Resize(10300), 300 + 1729,
           "MPEG 1"},
      Case{"one past it", Bytes().Id3v2(300).FramePair(300 + 1730, kCbr128, 417).Resize(10300),
           -1, ""},
      Case{"after a header without successor",
           Bytes().Put(5, kMpeg25, 4).FramePair(100, kCbr128, 417).Resize(20000), 100, "MPEG 1"},
      // A decoder takes a header as a successor only when version, layer and
      // sample rate agree; bit rate, padding and channel mode may change.
      Case{"with a successor of another version",
           Bytes().Put(0, kCbr128, 4).Put(417, kMpeg25, 4).Resize(20000), -1, ""},
      Case{"with a successor of another sample rate",
           Bytes().Put(0, kCbr128, 4).Put(417, kCbr128At48k, 4).Resize(20000), -1, ""},
      Case{"with a successor of another layer",
           Bytes().Put(0, kCbr128, 4).Put(417, kLayer2At128k, 4).Resize(20000), -1, ""},
      Case{"with a successor of another bit rate, padding and mode",
           Bytes().Put(0, kCbr128, 4).Put(417, kPadded320Mono, 4).Resize(20000), 0, "MPEG 1"},
      // Free-format data holds chance syncs; the first here is followed by a
      // header of another sample rate, the real stream comes later.
      Case{"after a chance sync with a foreign successor",
           Bytes().Put(7, kChance, 4).Put(7 + 192, kChanceFoe, 4).FramePair(1500, kCbr128, 417)
               .Resize(20000), 1500, "MPEG 1"},
      Case{"successor past the window", Bytes().FramePair(1000, kLongest, 2881).Resize(5000), -1,
           ""},
      Case{"longest frame", Bytes().FramePair(500, kLongest, 2881).Resize(5000), 500, "MPEG 2.5"},
      // Junk fills the first window: the second starts halfway through what
      // follows the 30000-byte tag (at 34000), not at half the audio size
      // counted from the start of the file (4000, inside the tag).
      Case{"in the middle of the audio",
           Bytes().Id3v2(30000).FramePair(4005, kMpeg25, 72).FramePair(34005, kCbr128, 417)
               .Resize(38000), 34005, "MPEG 1"},
      // A file that ends inside the first window gets no second one.
      Case{"beyond the window of a short file",
           Bytes().Id3v2(100).FramePair(2100, kCbr128, 417).Resize(3557), -1, ""},
      Case{"a longer file, in its second window at 2200",
           Bytes().Id3v2(100).FramePair(2100, kCbr128, 417).FramePair(2205, kCbr128, 417)
               .Resize(4300), 2205, "MPEG 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Analyze(c.file));
    if (c.position < 0) {
      ExpectEmpty();
      continue;
    }
    ASSERT_TRUE(audio_.FirstFrame().Present);
    EXPECT_EQ(audio_.FirstFramePosition(), c.position);
    EXPECT_STREQ(audio_.VersionText(), c.version);
  }
  EXPECT_EQ(audio_.FirstFrame().Offset, 5) << "relative to the window";
}

// Fraunhofer encoders write VBRI 32 bytes after the frame header in every
// version and channel mode; only in MPEG 1 stereo is that the Xing place.
TEST_F(MpegAudioTest, VbriHeaderIsFoundAt36InEveryVersionAndMode) {
  struct Case {
    const char* what;
    std::array<uint8_t, 4> header;
    size_t length;
    uint32_t frames, bytes;
    uint16_t kbps;
    double seconds;
  };
  const Case cases[] = {
      {"MPEG 1 joint stereo", {0xFF, 0xFB, 0x90, 0x64}, 417, 8506, 6478737, 233, 222.1976},
      {"MPEG 1 mono", {0xFF, 0xFB, 0xA0, 0xC4}, 522, 40, 5000, 38, 1.0449},
      {"MPEG 2 mono 16 kHz", {0xFF, 0xF3, 0xB8, 0xC4}, 504, 32, 3456, 24, 1.152},
      {"MPEG 2 stereo 22.05 kHz", {0xFF, 0xF3, 0x80, 0x04}, 208, 100, 15000, 46, 2.6122},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes b;
    b.FramePair(0, c.header.data(), c.length).Resize(200000);
    b.Put(36, "VBRI").Put32(46, c.bytes).Put32(50, c.frames);
    ASSERT_TRUE(Analyze(b));
    EXPECT_EQ(std::string(audio_.VbrInfo().Signature, 4), "VBRI");
    EXPECT_EQ(audio_.FrameCount(), c.frames);
    EXPECT_EQ(audio_.BitRateKbps(), c.kbps);
    EXPECT_NEAR(audio_.DurationSeconds(), c.seconds, 1e-4);
    EXPECT_TRUE(audio_.IsValid());
    // A Xing header at the frame's own offset comes first.
    const size_t xing = VbrHeaderOffset(audio_.FirstFrame());
    b.Put(xing, "Xing").Put32(xing + 8, 7);
    ASSERT_TRUE(Analyze(b));
    EXPECT_EQ(std::string(audio_.VbrInfo().Signature, 4), "Xing");
    EXPECT_EQ(audio_.FrameCount(), 7);
  }
}

// LAME writes an Info header, laid out as Xing's, into constant bit rate
// files. Its frame count excludes its own frame and its byte count includes
// it: frames and duration come from it, the bit rate from the frame header.
TEST_F(MpegAudioTest, InfoHeaderGivesFramesAndDurationButNotTheBitRate) {
  Bytes b = CbrFile();
  b.Put(36, "Info").Put32(44, 116).Put32(48, 48900);
  ASSERT_TRUE(Analyze(b));
  EXPECT_TRUE(audio_.VbrInfo().IsInfo());
  EXPECT_EQ(std::string(audio_.VbrInfo().Signature, 4), "Info");
  EXPECT_EQ(audio_.FrameCount(), 116);
  EXPECT_NEAR(audio_.DurationSeconds(), 3.0302, 1e-4);
  EXPECT_EQ(audio_.BitRateKbps(), 128) << "48900 / 116 bytes a frame would make 129";
  EXPECT_TRUE(audio_.IsValid());
  // Mono: at 21, as Xing.
  static constexpr uint8_t kMono128[4] = {0xFF, 0xFB, 0x90, 0xC4};
  Bytes mono;
  mono.FramePair(0, kMono128, 417).Resize(100000).Put(21, "Info").Put32(29, 3).Put32(33, 1254);
  ASSERT_TRUE(Analyze(mono));
  EXPECT_TRUE(audio_.VbrInfo().IsInfo());
  EXPECT_EQ(audio_.FrameCount(), 3);
  EXPECT_FALSE(audio_.IsValid()) << "3 frames are less than 0.1 s";
  // A frame count of 0: the duration of the table bit rate and the size.
  b.Put32(44, 0);
  ASSERT_TRUE(Analyze(b));
  EXPECT_EQ(audio_.FrameCount(), 0);
  EXPECT_DOUBLE_EQ(audio_.DurationSeconds(), 250.0);
}

// Taggers that put a new tag in front of a file's old one leave tags in a
// row; the audio begins after the last of them, the first is the file's tag.
TEST_F(MpegAudioTest, TagsInARowBeforeTheAudioAreSkipped) {
  struct Case {
    const char* what;
    Bytes file;
    int64_t audioStart, firstFrame;
  };
  const auto cases = {
      Case{"two tags", Bytes().Id3v2(1000).Id3v2At(1000, 500, "Old").FramePair(1500, kCbr128, 417),
           1500, 1500},
      Case{"three tags, the audio beyond the first tag's window",
           Bytes().Id3v2(1000).Id3v2At(1000, 3000, "Old").Id3v2At(4000, 300, "Older", 4)
               .FramePair(4300, kCbr128, 417),
           4300, 4300},
      Case{"a second tag of version 2.4 with a footer",
           Bytes().Id3v2(1000).Id3v2At(1000, 400, "Old", 4, 0x10).FramePair(1410, kCbr128, 417),
           1410, 1410},
      Case{"a second tag of version 2.2",
           Bytes().Id3v2(1000).Id3v2At(1000, 400, "Old", 2).FramePair(1400, kCbr128, 417), 1400,
           1400},
      // Not tags in a row: the audio starts after the first tag, and the
      // frame search passes over what follows.
      Case{"a byte between the tags",
           Bytes().Id3v2(1000).Id3v2At(1001, 500, "Old").FramePair(1501, kCbr128, 417), 1000,
           1501},
      Case{"a second header of version 5",
           Bytes().Id3v2(1000).Id3v2At(1000, 500, "Old", 5).FramePair(1500, kCbr128, 417), 1000,
           1500},
      Case{"a second tag that would run past the end of the file",
           Bytes().Id3v2(1000).Id3v2At(1000, 500000, "Old").FramePair(1500, kCbr128, 417), 1000,
           1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = c.file;
    file.Resize(200000).Id3v1("Title");
    ASSERT_TRUE(Analyze(file));
    ASSERT_TRUE(audio_.IsValid());
    EXPECT_EQ(audio_.AudioStart(), c.audioStart);
    EXPECT_EQ(audio_.AudioSize(), 200000 - c.audioStart);
    EXPECT_EQ(audio_.FirstFramePosition(), c.firstFrame);
    EXPECT_EQ(audio_.ID3v2().TagSize(), 1000);
    EXPECT_EQ(audio_.ID3v2().Title(), "Tagged");
  }
}

// APEv2 tags and Lyrics3 v2 blocks stand between the audio and the ID3v1 tag
// (or at the very end); they count neither as frames nor as playing time.
TEST_F(MpegAudioTest, ApeAndLyrics3BlocksAreNoAudio) {
  const auto audio = [] { return Bytes().FramePair(0, kCbr128, 417).Resize(400000); };
  struct Case {
    const char* what;
    Bytes file;
    int64_t trailing;  // bytes; the rest up to the ID3v1 tag is audio
  };
  const auto cases = {
      Case{"APEv2 with header, then ID3v1", audio().ApeTag(true).Id3v1("Title"), 32 + 70},
      Case{"APEv2 without header, then ID3v1", audio().ApeTag(false).Id3v1("Title"), 70},
      Case{"APEv2 at the end", audio().ApeTag(true), 102},
      Case{"Lyrics3 v2, then ID3v1", audio().Lyrics3().Id3v1("Title"), 53},
      Case{"Lyrics3 v2 at the end", audio().Lyrics3(), 53},
      Case{"APEv2, Lyrics3 v2, ID3v1", audio().ApeTag(true).Lyrics3().Id3v1("Title"), 155},
      Case{"Lyrics3 v2, APEv2, ID3v1", audio().Lyrics3().ApeTag(false).Id3v1("Title"), 123},
      // Not such blocks.
      Case{"a byte after the APE tag", audio().ApeTag(true).Put(400102, "x").Id3v1("Title"), 0},
      Case{"Lyrics3 size that is not a number", audio().Lyrics3("00003x").Id3v1("Title"), 0},
      Case{"Lyrics3 size that misses LYRICSBEGIN", audio().Lyrics3("000037").Id3v1("Title"), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Analyze(c.file));
    ASSERT_TRUE(audio_.IsValid());
    EXPECT_EQ(audio_.TrailingBlocksSize(), c.trailing);
    const int64_t id3v1 = audio_.ID3v1().Present() ? 128 : 0;
    const auto size = static_cast<int64_t>(c.file.data.size());
    EXPECT_EQ(audio_.AudioSize(), size - id3v1 - c.trailing);
    if (c.trailing > 0) {
      EXPECT_EQ(audio_.AudioSize(), 400000);
      EXPECT_EQ(audio_.FrameCount(), 959);
      EXPECT_DOUBLE_EQ(audio_.DurationSeconds(), 25.0);
    }
  }
  // An APE footer whose size reaches back before the audio start: no tag.
  Bytes huge = Bytes().Id3v2(300).FramePair(300, kCbr128, 417).Resize(400300).ApeTag(false);
  huge.data[huge.data.size() - 17] = 0x01;  // the size field's high byte (little-endian)
  ASSERT_TRUE(Analyze(huge));
  EXPECT_EQ(audio_.TrailingBlocksSize(), 0);
}

// A save of either tag keeps the blocks the analysis passed over, where they
// were: the tags in a row after the first, the APE and Lyrics3 blocks.
TEST_F(MpegAudioTest, TagWritesKeepTheBlocksAroundTheAudio) {
  const std::string path = dir_.File("a.mp3");
  Bytes b = Bytes().Id3v2(200).Id3v2At(200, 500, "Old").FramePair(700, kCbr128, 417);
  b.Resize(300000).ApeTag(true).Lyrics3();
  const std::vector<uint8_t> blocks(b.data.end() - 155, b.data.end());
  const std::vector<uint8_t> second(b.data.begin() + 200, b.data.begin() + 700);
  WriteFile(path, b.data);
  ASSERT_TRUE(audio_.Analyze(path));
  const int64_t audioSize = audio_.AudioSize();
  audio_.ID3v1().SetTitle("New title");
  ASSERT_TRUE(audio_.ID3v1().Save(path));
  // Too long for the first tag's padding: the file is rebuilt.
  audio_.ID3v2().SetTitle(std::string(300, 'n'));
  ASSERT_TRUE(audio_.ID3v2().Save(path));

  const std::vector<uint8_t> after = ReadAll(path);
  ASSERT_TRUE(audio_.Analyze(path));
  ASSERT_TRUE(audio_.IsValid());
  EXPECT_EQ(audio_.ID3v1().Title(), "New title");
  EXPECT_EQ(audio_.ID3v2().Title(), std::string(300, 'n'));
  EXPECT_EQ(audio_.AudioSize(), audioSize);
  EXPECT_EQ(audio_.TrailingBlocksSize(), 155);
  ASSERT_GT(after.size(), 128u + 155u);
  EXPECT_EQ(std::vector<uint8_t>(after.end() - 128 - 155, after.end() - 128), blocks);
  const auto first = static_cast<size_t>(audio_.ID3v2().TagSize());
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + first, after.begin() + first + 500), second);
}

// Folders of thousands of files are analysed, so the number of reads counts:
// one open, a read of the start (which holds a small tag and the audio window
// after it), one more after a frame the tag reader skips, the ID3v1 block.
TEST_F(MpegAudioTest, FilesAreReadWithOneOpenAndFewReads) {
  const auto withPicture = [](size_t pictureSize) {
    Bytes b;
    // After the title frame (10 to 26), a picture the tag reader skips, then
    // the artist.
    b.Id3v2(10 + 17 + 10 + pictureSize + 12 + 1000);
    b.Put(27, "APIC").Put32(31, static_cast<uint32_t>(pictureSize));
    b.Put(37, std::string(pictureSize, '\xAA'));
    b.Put(37 + pictureSize, "TPE1").Put32(41 + pictureSize, 2);
    b.Put(47 + pictureSize, std::string("\0Z", 2));
    const size_t audio = b.data.size();
    return b.FramePair(audio, kCbr128, 417).Resize(audio + 200000).Id3v1("Title");
  };
  struct Case {
    const char* what;
    Bytes file;
    int operations;
    int64_t position;
  };
  const auto cases = {
      Case{"no ID3v2 tag", CbrFile(), 3, 0},
      Case{"small ID3v2 tag", Bytes().Id3v2(1000).FramePair(1000, kCbr128, 417).Resize(90000), 3,
           1000},
      Case{"ID3v2 tag of 50 KB", withPicture(50000), 4, 51049},
      Case{"ID3v2 tag of 500 KB", withPicture(500000), 4, 501049},
      Case{"window across the end of the first read",
           Bytes().Id3v2(6000).FramePair(6000, kCbr128, 417).Resize(90000), 4, 6000},
      Case{"file of 5000 bytes", Bytes().Id3v2(300).FramePair(300, kCbr128, 417).Resize(5000), 2,
           300},
      Case{"junk before the audio",
           Bytes().Id3v2(1000).FramePair(50000, kCbr128, 417).Resize(99000), 4, 50000},
      // The read of the file's end holds the ID3v1 tag and an APE footer
      // before it; one more looks for a block before the APE tag.
      Case{"APE tag before the ID3v1 tag",
           Bytes().Id3v2(1000).FramePair(1000, kCbr128, 417).Resize(90000).ApeTag(true)
               .Id3v1("Title"), 4, 1000},
      Case{"a second tag in a row", Bytes().Id3v2(1000).Id3v2At(1000, 5000, "Old")
                                        .FramePair(6000, kCbr128, 417).Resize(90000), 4, 6000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir_.File("a.mp3");
    WriteFile(path, c.file.data);
    sys::FailFileOperationsFrom(1000000);  // counting only
    ASSERT_TRUE(audio_.Analyze(path));
    EXPECT_EQ(sys::FileOperationCount(), c.operations);
    sys::FailFileOperationsFrom(0);
    EXPECT_EQ(audio_.FirstFramePosition(), c.position);
    EXPECT_EQ(audio_.ID3v2().Title(), audio_.ID3v2().Present() ? "Tagged" : "");
    EXPECT_EQ(audio_.ID3v2().Artist(), c.position > 50000 ? "Z" : "");
  }
}

TEST_F(MpegAudioTest, FileWithoutAudioShowsNoTags) {
  Bytes b;
  b.Id3v2(2048).Put(2048, std::string(5000, 'x')).Id3v1("Title");
  ASSERT_TRUE(Analyze(b)) << "no audio is not a read failure";
  ExpectEmpty();
}

TEST_F(MpegAudioTest, UnreadableFileFailsAndEmptiesTheObject) {
  ASSERT_TRUE(Analyze(CbrFile()));
  EXPECT_FALSE(audio_.Analyze(dir_.File("missing.mp3")));
  ExpectEmpty();
  Bytes tiny;  // shorter than an ID3v2 header: the tag cannot be read
  tiny.Put(0, kCbr128, 4);
  EXPECT_FALSE(Analyze(tiny));
  ExpectEmpty();
}

TEST_F(MpegAudioTest, ReadErrorIsReportedNotTakenForAFileWithoutAudio) {
  // The second file has reads of its own: a tag after the first, blocks
  // before the ID3v1 tag.
  Bytes blocks = Bytes().Id3v2(1000).Id3v2At(1000, 9000, "Old").FramePair(10000, kCbr128, 417);
  blocks.Resize(4010000).ApeTag(true).Lyrics3().Id3v1("Title");
  const std::pair<Bytes, int64_t> files[] = {{CbrFile(), 9592}, {blocks, 9592}};
  for (const auto& [file, frames] : files) {
    const std::string path = dir_.File("a.mp3");
    WriteFile(path, file.data);
    // Every file operation up to the Nth succeeds: the analysis either
    // succeeds in full or fails, never gives true for a half-read file.
    for (int n = 1;; ++n) {
      sys::FailFileOperationsFrom(n);
      const bool ok = audio_.Analyze(path);
      sys::FailFileOperationsFrom(0);
      if (ok) {
        EXPECT_EQ(audio_.FrameCount(), frames) << "operation " << n;
        break;
      }
      ExpectEmpty();
      ASSERT_LT(n, 100);
    }
  }
}

TEST_F(MpegAudioTest, FilesAbove4GiB) {
  const std::string path = dir_.File("big.mp3");
  const int64_t size = int64_t{5} << 30;
  const int64_t middle = size / 2;
  {
    sys::File file;
    ASSERT_TRUE(file.Open(path, sys::OpenMode::CreateAlways));
    ASSERT_TRUE(file.Write(std::string(4000, 'j').data(), 4000));
    if (!file.Seek(size) || !file.Truncate()) GTEST_SKIP() << "no sparse 5 GiB file here";
    ASSERT_TRUE(file.Seek(middle + 7) && file.Write(kCbr128, 4));
    ASSERT_TRUE(file.Seek(middle + 7 + 417) && file.Write(kCbr128, 4));
  }
  ASSERT_TRUE(audio_.Analyze(path));
  EXPECT_EQ(audio_.FileSize(), size);
  EXPECT_EQ(audio_.FirstFramePosition(), middle + 7);
  EXPECT_EQ(audio_.FrameCount(), 12874602);
  EXPECT_NEAR(audio_.DurationSeconds(), 335544.3196, 1e-3);
  EXPECT_TRUE(audio_.IsValid());
  sys::DeleteFile(path);
}

// ------------------------------------------------------------ real files

std::string CorpusDir() {
  std::string dir;
  if (const char* env = std::getenv("TAGWRIGHT_CORPUS")) {
    dir = env;
  } else if (const char* source = std::getenv("TAGWRIGHT_SOURCE_DIR")) {
    dir = std::string(source) + "/../shared/corpus";
  }
#ifdef _WIN32
  if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;  // a Linux path under Wine
#endif
  std::error_code error;
  return fs::is_directory(dir, error) ? dir : "";
}

// What every confirmed frame must satisfy against the file's own bytes.
void ExpectFrameMatchesFile(const MPEGaudio& audio, const std::vector<uint8_t>& file,
                            const std::string& what) {
  const FrameInfo& frame = audio.FirstFrame();
  if (!frame.Present) return;
  const auto at = static_cast<size_t>(audio.FirstFramePosition());
  ASSERT_EQ(audio.FileSize(), static_cast<int64_t>(file.size())) << what;
  EXPECT_GE(static_cast<int64_t>(at), audio.ID3v2().TagSize()) << what;
  // Past the end of the file the window reads as zero, so the successor's
  // last byte may be that fill; its first three (sync, bit rate) must be real.
  ASSERT_LE(at + frame.FrameBytes + 3, file.size()) << what << ": successor past the end";
  EXPECT_EQ(0, std::memcmp(&file[at], frame.Header.data(), 4)) << what;
  uint8_t successor[4] = {};
  std::memcpy(successor, &file[at + frame.FrameBytes],
              std::min<size_t>(4, file.size() - at - frame.FrameBytes));
  EXPECT_TRUE(CheckHeader(successor)) << what;
}

TEST(MpegAudioCorpus, EveryFileIsAnalysedSafely) {
  const std::string dir = CorpusDir();
  if (dir.empty()) GTEST_SKIP() << "corpus not found";
  TempDir temp;
  MPEGaudio audio;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().filename() == "CATALOG.md") continue;
    const std::string path = entry.path().string();
    const auto bytes = ReadAll(path);
    // Names reach the analysis as OEM text: a non-ASCII one is read as a copy.
    std::string name = path;
    if (std::any_of(path.begin(), path.end(), [](char c) { return c & 0x80; })) {
      name = temp.File("copy.mp3");
      WriteFile(name, bytes);
    }
    EXPECT_EQ(audio.Analyze(name), bytes.size() >= 10) << path;
    ExpectFrameMatchesFile(audio, bytes, path);
  }
}

TEST(MpegAudioCorpus, KnownFiles) {
  struct Known {
    const char* file;
    const char* version;
    uint16_t hz, kbps;
    int64_t frames;
    double seconds;  // 0: not checked
    const char* vbr;
  };
  const Known known[] = {
      // 206232 Xing frames of 576 samples at 22.05 kHz, in a file cut to 16 KiB.
      {"taglib/mpeg2.mp3", "MPEG 2", 22050, 25, 206232, 5387.285, "Xing"},
      {"taglib/lame_vbr.mp3", "MPEG 1", 44100, 70, 72243, 1887.164, "Xing"},
      {"mutagen/vbri.mp3", "MPEG 1", 44100, 233, 8506, 222.198, "VBRI"},
      {"mutagen/bad-xing.mp3", "MPEG 1", 44100, 48, 0, 0, "Xing"},
      {"tinytag/vbr_xing_header_short.mp3", "MPEG 2.5", 8000, 24, 2, 0.144, "Xing"},
      // A VBRI header in an MPEG 2 mono frame stands at 36, not at 13.
      {"scribbu/VBRI_16M.mp3", "MPEG 2", 16000, 27, 32, 1.152, "VBRI"},
  };
  const std::string dir = CorpusDir();
  if (dir.empty()) GTEST_SKIP() << "corpus not found";
  MPEGaudio audio;
  for (const Known& k : known) {
    SCOPED_TRACE(k.file);
    ASSERT_TRUE(audio.Analyze(dir + "/" + k.file));
    ASSERT_TRUE(audio.FirstFrame().Present);
    EXPECT_STREQ(audio.VersionText(), k.version);
    EXPECT_EQ(audio.SampleRateHz(), k.hz);
    EXPECT_EQ(audio.BitRateKbps(), k.kbps);
    EXPECT_EQ(audio.FrameCount(), k.frames);
    if (k.seconds > 0) {
      EXPECT_NEAR(audio.DurationSeconds(), k.seconds, 0.001);
    }
    EXPECT_EQ(std::string(audio.VbrInfo().Signature, std::strlen(k.vbr)), k.vbr);
    EXPECT_EQ(audio.VbrInfo().Present, *k.vbr != 0);
  }
}

TEST(MpegAudioCorpus, TruncatedAtEveryOffsetOfTheFirst8KiB) {
  const std::string dir = CorpusDir();
  const auto whole = ReadAll(dir + "/mutagen/vbri.mp3");  // ID3v2 tag, VBRI header
  if (whole.size() < 8192) GTEST_SKIP() << "sample file not found";
  TempDir temp;
  const std::string path = temp.File("cut.mp3");
  WriteFile(path, std::vector<uint8_t>(whole.begin(), whole.begin() + 8192));
  MPEGaudio audio;
  for (size_t length = 8192;; --length) {
    {
      // Closed before the analysis: on Windows a file open for writing
      // elsewhere is not opened for reading.
      sys::File file;
      ASSERT_TRUE(file.Open(path, sys::OpenMode::ReadWrite));
      ASSERT_TRUE(file.Seek(static_cast<int64_t>(length)) && file.Truncate() && file.Close());
    }
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
    ASSERT_EQ(audio.Analyze(path), length >= 10) << length;
    ExpectFrameMatchesFile(audio, cut, "length " + std::to_string(length));
    if (length == 0 || ::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace audio

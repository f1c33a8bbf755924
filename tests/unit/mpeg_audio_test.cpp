#include "audio/mpeg_audio.h"

#include <gtest/gtest.h>

#include <algorithm>
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

constexpr uint8_t kCbr128[4] = {0xFF, 0xFB, 0x90, 0x64};  // MPEG 1 L3 128k 44.1k, 417 bytes
constexpr uint8_t kCbr128Mono[4] = {0xFF, 0xFB, 0x90, 0xC4};
constexpr uint8_t kMpeg2Header[4] = {0xFF, 0xF3, 0x80, 0x44};  // MPEG 2 L3 64k 22.05k
constexpr uint8_t kMpeg25Header[4] = {0xFF, 0xE3, 0x18, 0xC4};  // MPEG 2.5 L3 8k 8k

class TempDir {
 public:
  TempDir() {
    const auto base = fs::temp_directory_path();
    for (int i = 0;; ++i) {
      path_ = base / ("tagwright-audio-" + std::to_string(std::rand()) + "-" + std::to_string(i));
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
    Put(at, header, 4);
    return Put(at + length, header, 4);
  }
  Bytes& Resize(size_t size) {
    data.resize(size);
    return *this;
  }
  // An ID3v2.3 tag of `total` bytes at the start: one TIT2 frame, then padding.
  Bytes& Id3v2(size_t total, const std::string& title = "Tagged") {
    const size_t body = total - 10;
    const uint8_t header[10] = {'I', 'D', '3', 3, 0, 0,
                                uint8_t(body >> 21 & 0x7F), uint8_t(body >> 14 & 0x7F),
                                uint8_t(body >> 7 & 0x7F), uint8_t(body & 0x7F)};
    Put(0, header, 10);
    Put(10, "TIT2");
    Put32(14, static_cast<uint32_t>(title.size() + 1));
    Put(18, std::string(2, '\0') + std::string(1, '\0') + title);
    return Resize(std::max(data.size(), total));
  }
  // An ID3v1 tag appended at the end.
  Bytes& Id3v1(const std::string& title) {
    std::string block = "TAG" + title;
    block.resize(128, '\0');
    block[127] = 17;
    return Put(data.size(), block);
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
    EXPECT_EQ(audio_.SampleRateHz(), 0);
    EXPECT_EQ(audio_.BitRateKbps(), 0);
    EXPECT_EQ(audio_.FrameCount(), 0);
    EXPECT_EQ(audio_.DurationSeconds(), 0.0);
    EXPECT_EQ(audio_.FileSize(), 0);
    EXPECT_FALSE(audio_.VbrInfo().Present);
    EXPECT_FALSE(audio_.ID3v1().Present());
    EXPECT_FALSE(audio_.ID3v2().Present());
  }

  TempDir dir_;
  MPEGaudio audio_;
};

TEST_F(MpegAudioTest, NewObjectIsEmpty) { ExpectEmpty(); }

TEST_F(MpegAudioTest, ConstantBitRateComesFromTheFileSize) {
  ASSERT_TRUE(Analyze(CbrFile()));
  EXPECT_EQ(audio_.FileSize(), 4000128);
  EXPECT_EQ(audio_.AudioSize(), 4000000);
  EXPECT_EQ(audio_.FrameCount(), 9592);
  EXPECT_DOUBLE_EQ(audio_.DurationSeconds(), 250.0);
  EXPECT_EQ(audio_.BitRateKbps(), 128);
  EXPECT_EQ(audio_.SampleRateHz(), 44100);
  EXPECT_STREQ(audio_.VersionText(), "MPEG 1");
  EXPECT_STREQ(audio_.LayerText(), "Layer III");
  EXPECT_STREQ(audio_.ChannelModeText(), "Joint Stereo");
  EXPECT_EQ(audio_.FirstFrame().FrameBytes, 417);
  EXPECT_EQ(audio_.FirstFramePosition(), 0);
  EXPECT_FALSE(audio_.VbrInfo().Present);
  EXPECT_TRUE(audio_.IsValid());
  EXPECT_TRUE(audio_.ID3v1().Present());
  EXPECT_EQ(audio_.ID3v1().Title(), "Title");
}

TEST_F(MpegAudioTest, XingHeaderGivesBitRateFramesAndDuration) {
  Bytes b = CbrFile();
  b.Put(36, "Xing").Put32(40, 0x0F).Put32(44, 6699).Put32(48, 4000000);
  ASSERT_TRUE(Analyze(b));
  EXPECT_TRUE(audio_.VbrInfo().Present);
  EXPECT_EQ(audio_.BitRateKbps(), 183);
  EXPECT_EQ(audio_.FrameCount(), 6699);
  EXPECT_NEAR(audio_.DurationSeconds(), 174.9943, 1e-4);
  EXPECT_TRUE(audio_.IsValid());
}

TEST_F(MpegAudioTest, XingWithoutFramesFallsBackToTheFileSize) {
  Bytes b = CbrFile();
  b.Put(36, "Xing").Put32(40, 0x0F).Put32(44, 0).Put32(48, 4000000);
  ASSERT_TRUE(Analyze(b));
  EXPECT_EQ(audio_.FrameCount(), 0);
  EXPECT_EQ(audio_.BitRateKbps(), 128);
  EXPECT_DOUBLE_EQ(audio_.DurationSeconds(), 250.0);
}

TEST_F(MpegAudioTest, VbrBitRateIsRoundedToEvenAndCutTo16Bits) {
  struct Case {
    uint32_t bytes, frames;
    const uint8_t* header;
    size_t length;
    uint16_t kbps;
    bool valid;
  };
  static constexpr uint8_t kPadded[4] = {0xFF, 0xFB, 0x92, 0x64};
  const Case cases[] = {
      {80 * 1000, 1000, kCbr128, 417, 24, true},    // 24.5 -> 24
      {240 * 1000, 1000, kCbr128, 417, 74, true},   // 73.5 -> 74
      {418 * 1000, 1000, kPadded, 418, 128, true},  // the padding slot is not counted
      {1466327, 1000, kCbr128, 417, 449, false},    // 449.06
      {1463000, 1000, kCbr128, 417, 448, true},     // 448.04
      {26200, 1000, kCbr128, 417, 8, true},         // 8.02
      {23000, 1000, kCbr128, 417, 7, false},        // 7.04
      {214413000, 1000, kCbr128, 417, 128, true},   // 65663.98 keeps its low 16 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytes << " bytes in " << c.frames << " frames");
    Bytes b;
    b.FramePair(0, c.header, c.length).Resize(400000);
    b.Put(36, "Xing").Put32(44, c.frames).Put32(48, c.bytes);
    ASSERT_TRUE(Analyze(b));
    EXPECT_EQ(audio_.BitRateKbps(), c.kbps);
    EXPECT_EQ(audio_.IsValid(), c.valid);
  }
}

TEST_F(MpegAudioTest, LessThanATenthOfASecondIsNotValid) {
  // At 128 kbit/s 0.1 s are 1600 bytes; with a Xing header at 44.1 kHz,
  // 0.1 s are 3.83 frames. Exactly 0.1 s is valid on every floating-point unit.
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

TEST_F(MpegAudioTest, AudioStartsAfterTheId3v2Tag) {
  Bytes b;
  b.Id3v2(4096).FramePair(4096, kCbr128Mono, 417).Resize(4096 + 41700);
  ASSERT_TRUE(Analyze(b));
  EXPECT_TRUE(audio_.ID3v2().Present());
  EXPECT_EQ(audio_.ID3v2().Title(), "Tagged");
  EXPECT_EQ(audio_.ID3v2().TagSize(), 4096);
  EXPECT_EQ(audio_.AudioSize(), 41700);
  EXPECT_EQ(audio_.FirstFrame().Offset, 0);
  EXPECT_EQ(audio_.FirstFramePosition(), 4096);
  EXPECT_EQ(audio_.FrameCount(), 100);
  EXPECT_STREQ(audio_.ChannelModeText(), "Mono");
}

TEST_F(MpegAudioTest, FirstWindowHoldsPositions0To1729) {
  for (size_t at : {size_t{0}, size_t{1}, size_t{1729}, size_t{1730}}) {
    SCOPED_TRACE(at);
    Bytes b;
    // The second window (at 300 + 5000) holds nothing.
    b.Id3v2(300).FramePair(300 + at, kCbr128, 417).Resize(300 + 10000);
    ASSERT_TRUE(Analyze(b));
    EXPECT_EQ(audio_.FirstFrame().Present, at <= 1729);
    if (at <= 1729) {
      EXPECT_EQ(audio_.FirstFrame().Offset, static_cast<int32_t>(at));
    }
  }
}

TEST_F(MpegAudioTest, SkipsAHeaderWithoutSuccessor) {
  Bytes b;
  b.Put(5, kMpeg2Header, 4).FramePair(100, kCbr128, 417).Resize(20000);
  ASSERT_TRUE(Analyze(b));
  EXPECT_EQ(audio_.FirstFrame().Offset, 100);
  EXPECT_STREQ(audio_.VersionText(), "MPEG 1");
}

TEST_F(MpegAudioTest, SuccessorNeedNotMatchTheCandidate) {
  Bytes b;
  b.Put(0, kCbr128, 4).Put(417, kMpeg25Header, 4).Resize(20000);
  ASSERT_TRUE(Analyze(b));
  EXPECT_EQ(audio_.FirstFrame().Offset, 0);
  EXPECT_STREQ(audio_.VersionText(), "MPEG 1");
}

TEST_F(MpegAudioTest, SuccessorMustLieInsideTheWindow) {
  // A 2881-byte frame at 1000 would need its successor at 3881, past the window.
  static constexpr uint8_t kLongest[4] = {0xFF, 0xE5, 0xEA, 0x00};  // MPEG 2.5 L2 160k 8k, padded
  Bytes b;
  b.FramePair(1000, kLongest, 2881).Resize(5000);
  ASSERT_TRUE(Analyze(b));
  EXPECT_FALSE(audio_.FirstFrame().Present);
  b.data.assign(5000, 0);
  b.FramePair(500, kLongest, 2881);
  ASSERT_TRUE(Analyze(b));
  EXPECT_EQ(audio_.FirstFrame().FrameBytes, 2881);
}

TEST_F(MpegAudioTest, SecondWindowIsTheMiddleOfTheAudio) {
  // 30000-byte tag, 8000 bytes of audio with junk at its start: the second
  // window begins at 30000 + 4000. A header pair inside the tag's padding (at
  // half the audio size from the file's start) must not be taken for audio.
  Bytes b;
  b.Id3v2(30000).FramePair(19005, kMpeg25Header, 72).Resize(38000);
  b.FramePair(34005, kCbr128, 417);
  ASSERT_TRUE(Analyze(b));
  ASSERT_TRUE(audio_.FirstFrame().Present);
  EXPECT_STREQ(audio_.VersionText(), "MPEG 1");
  EXPECT_EQ(audio_.FirstFrame().Offset, 5);
  EXPECT_EQ(audio_.FirstFramePosition(), 34005);
}

TEST_F(MpegAudioTest, NoSecondWindowWhenTheFirstWasNotFull) {
  // The pair at 2000 is beyond the first window's positions; the file ends
  // inside that window, so nothing else is read.
  Bytes b;
  b.Id3v2(100).FramePair(100 + 2000, kCbr128, 417).Resize(100 + 3457);
  ASSERT_TRUE(Analyze(b));
  EXPECT_FALSE(audio_.FirstFrame().Present);
  b.Resize(100 + 4200);  // now the first window is full and the middle is at 2200
  b.FramePair(100 + 2100, kCbr128, 417);
  ASSERT_TRUE(Analyze(b));
  EXPECT_EQ(audio_.FirstFramePosition(), 100 + 2100);
}

TEST_F(MpegAudioTest, FileWithoutAudioShowsNoTags) {
  Bytes b;
  b.Id3v2(2048).Put(2048, std::string(5000, 'x')).Id3v1("Title");
  ASSERT_TRUE(Analyze(b)) << "no audio is not a read failure";
  ExpectEmpty();
}

TEST_F(MpegAudioTest, UnreadableFileFailsAndEmptiesTheObject) {
  ASSERT_TRUE(Analyze(CbrFile()));
  ASSERT_TRUE(audio_.IsValid());
  EXPECT_FALSE(audio_.Analyze(dir_.File("missing.mp3")));
  ExpectEmpty();
  // Shorter than an ID3v2 header: the tag cannot be read.
  Bytes tiny;
  tiny.Put(0, kCbr128, 4);
  EXPECT_FALSE(Analyze(tiny));
  ExpectEmpty();
}

TEST_F(MpegAudioTest, ReadErrorIsReportedNotTakenForAFileWithoutAudio) {
  Bytes b = CbrFile();
  const std::string path = dir_.File("a.mp3");
  WriteFile(path, b.data);
  // Let every file operation through up to the Nth; the analysis must either
  // succeed in full or fail, never give true with a half-read file.
  for (int n = 1;; ++n) {
    sys::FailFileOperationsFrom(n);
    const bool ok = audio_.Analyze(path);
    sys::FailFileOperationsFrom(0);
    if (ok) {
      EXPECT_TRUE(audio_.IsValid()) << "operation " << n;
      EXPECT_EQ(audio_.FrameCount(), 9592);
      break;
    }
    ExpectEmpty();
    ASSERT_LT(n, 100);
  }
}

// A sparse 5 GiB file: positions and sizes must not be cut to 32 bits.
TEST_F(MpegAudioTest, FilesAbove2GiB) {
  const std::string path = dir_.File("big.mp3");
  const int64_t size = int64_t{5} << 30;
  const int64_t middle = size / 2;
  {
    sys::File file;
    ASSERT_TRUE(file.Open(path, sys::OpenMode::CreateAlways));
    ASSERT_TRUE(file.Write(std::string(4000, 'j').data(), 4000));  // junk, no frame
    if (!file.Seek(size) || !file.Truncate()) GTEST_SKIP() << "no sparse 5 GiB file here";
    ASSERT_TRUE(file.Seek(middle + 7));
    ASSERT_TRUE(file.Write(kCbr128, 4));
    ASSERT_TRUE(file.Seek(middle + 7 + 417));
    ASSERT_TRUE(file.Write(kCbr128, 4));
    ASSERT_TRUE(file.Close());
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
  return dir;
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  const std::string dir = CorpusDir();
  std::error_code error;
  if (dir.empty() || !fs::is_directory(dir, error)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir, error)) {
    if (entry.is_regular_file(error) && entry.path().filename() != "CATALOG.md") {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// What every confirmed frame must satisfy against the file's own bytes.
void ExpectFrameMatchesFile(const MPEGaudio& audio, const std::vector<uint8_t>& file,
                            const std::string& what) {
  const FrameInfo& frame = audio.FirstFrame();
  if (!frame.Present) return;
  const int64_t at = audio.FirstFramePosition();
  ASSERT_EQ(audio.FileSize(), static_cast<int64_t>(file.size())) << what;
  // The window past the end of the file reads as zero, so the successor's last
  // byte may be that fill; its first three (sync, bit rate) must be the file's.
  ASSERT_LE(at + frame.FrameBytes + 3, audio.FileSize()) << what << ": successor past the end";
  EXPECT_EQ(0, std::memcmp(&file[at], frame.Header.data(), 4)) << what;
  uint8_t successor[4] = {};
  std::memcpy(successor, &file[at + frame.FrameBytes],
              std::min<size_t>(4, file.size() - at - frame.FrameBytes));
  EXPECT_TRUE(CheckHeader(successor)) << what;
  EXPECT_GE(at, audio.ID3v2().TagSize()) << what;
}

TEST(MpegAudioCorpus, EveryFileIsAnalysedSafely) {
  const auto files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "corpus not found";
  TempDir dir;
  MPEGaudio audio;
  for (const std::string& path : files) {
    const auto bytes = ReadAll(path);
    // Names are handed to the analysis as OEM text: a non-ASCII name is
    // analysed under an ASCII one.
    std::string name = path;
    if (std::any_of(path.begin(), path.end(), [](char c) { return c & 0x80; })) {
      name = dir.File("copy.mp3");
      WriteFile(name, bytes);
    }
    const bool ok = audio.Analyze(name);
    EXPECT_EQ(ok, bytes.size() >= 10) << path;
    ExpectFrameMatchesFile(audio, bytes, path);
  }
}

TEST(MpegAudioCorpus, KnownFiles) {
  struct Known {
    const char* file;
    const char* version;
    uint16_t hz, kbps;
    int64_t frames;
    double seconds;
    const char* vbr;  // "" when none
  };
  const Known known[] = {
      // 206232 Xing frames of 576 samples at 22.05 kHz, in a file cut to 16 KiB.
      {"taglib/mpeg2.mp3", "MPEG 2", 22050, 25, 206232, 5387.285, "Xing"},
      {"taglib/lame_vbr.mp3", "MPEG 1", 44100, 70, 72243, 1887.164, "Xing"},
      {"mutagen/vbri.mp3", "MPEG 1", 44100, 233, 8506, 222.198, "VBRI"},
      {"mutagen/bad-xing.mp3", "MPEG 1", 44100, 48, 0, 0, "Xing"},
      {"tinytag/vbr_xing_header_short.mp3", "MPEG 2.5", 8000, 24, 2, 0.144, "Xing"},
      // VBRI of an MPEG 2 mono frame stands at 36, not at 13: read as CBR.
      {"scribbu/VBRI_16M.mp3", "MPEG 2", 16000, 112, 7, 0, ""},
  };
  const std::string dir = CorpusDir();
  std::error_code error;
  if (dir.empty() || !fs::is_directory(dir, error)) GTEST_SKIP() << "corpus not found";
  MPEGaudio audio;
  for (const Known& k : known) {
    const std::string path = dir + "/" + k.file;
    SCOPED_TRACE(k.file);
    ASSERT_TRUE(audio.Analyze(path));
    ASSERT_TRUE(audio.FirstFrame().Present);
    EXPECT_STREQ(audio.VersionText(), k.version);
    EXPECT_EQ(audio.SampleRateHz(), k.hz);
    if (k.kbps) {
      EXPECT_EQ(audio.BitRateKbps(), k.kbps);
    }
    EXPECT_EQ(audio.FrameCount(), k.frames);
    if (k.seconds > 0) {
      EXPECT_NEAR(audio.DurationSeconds(), k.seconds, 0.001);
    }
    EXPECT_EQ(std::string(audio.VbrInfo().Signature, std::strlen(k.vbr)), k.vbr);
    EXPECT_EQ(audio.VbrInfo().Present, *k.vbr != 0);
  }
}

TEST(MpegAudioCorpus, TruncatedAtEveryOffsetOfTheFirst8KiB) {
  const std::string source = CorpusDir() + "/mutagen/vbri.mp3";
  const auto whole = ReadAll(source);
  if (whole.size() < 8192) GTEST_SKIP() << "sample file not found";
  TempDir dir;
  const std::string path = dir.File("cut.mp3");
  WriteFile(path, std::vector<uint8_t>(whole.begin(), whole.begin() + 8192));
  sys::File file;
  ASSERT_TRUE(file.Open(path, sys::OpenMode::ReadWrite));
  MPEGaudio audio;
  // From the whole 8 KiB down to nothing, one byte less each time.
  for (size_t length = 8192;; --length) {
    ASSERT_TRUE(file.Seek(static_cast<int64_t>(length)) && file.Truncate());
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
    const bool ok = audio.Analyze(path);
    ASSERT_EQ(ok, length >= 10) << length;
    ExpectFrameMatchesFile(audio, cut, "length " + std::to_string(length));
    if (length == 0 || ::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace audio

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

constexpr uint8_t kCbr128[4] = {0xFF, 0xFB, 0x90, 0x64};  // MPEG 1 L3 128k 44.1k: 417 bytes
constexpr uint8_t kMpeg25[4] = {0xFF, 0xE3, 0x18, 0xC4};  // MPEG 2.5 L3 8k 8k mono: 72 bytes
constexpr uint8_t kLongest[4] = {0xFF, 0xE5, 0xEA, 0x00};  // MPEG 2.5 L2 160k 8k padded: 2881

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
  Bytes& Id3v2(size_t total) {
    const size_t body = total - 10;
    const uint8_t header[10] = {'I', 'D', '3', 3, 0, 0, uint8_t(body >> 21 & 0x7F),
                                uint8_t(body >> 14 & 0x7F), uint8_t(body >> 7 & 0x7F),
                                uint8_t(body & 0x7F)};
    Put(0, header, 10).Put(10, "TIT2").Put32(14, 7).Put(18, std::string(3, '\0') + "Tagged");
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
      Case{"with a successor of another kind",
           Bytes().Put(0, kCbr128, 4).Put(417, kMpeg25, 4).Resize(20000), 0, "MPEG 1"},
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
  const std::string path = dir_.File("a.mp3");
  WriteFile(path, CbrFile().data);
  // Every file operation up to the Nth succeeds: the analysis either
  // succeeds in full or fails, never gives true for a half-read file.
  for (int n = 1;; ++n) {
    sys::FailFileOperationsFrom(n);
    const bool ok = audio_.Analyze(path);
    sys::FailFileOperationsFrom(0);
    if (ok) {
      EXPECT_EQ(audio_.FrameCount(), 9592) << "operation " << n;
      break;
    }
    ExpectEmpty();
    ASSERT_LT(n, 100);
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
      // A VBRI header in an MPEG 2 mono frame stands at 36, not at 13: CBR.
      {"scribbu/VBRI_16M.mp3", "MPEG 2", 16000, 112, 7, 0, ""},
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

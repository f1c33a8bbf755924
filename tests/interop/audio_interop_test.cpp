// The analysis against ffprobe and mediainfo on files encoded by lame and
// twolame: version, layer, sample rate and channel mode agree; Xing frame
// counts equal the audio frames ffprobe counts; constant bit rate durations
// are within two frames of ffprobe's.
//
// ffprobe's frames are its packets (-count_packets): its count of decoded
// frames (-count_frames) is one less when lame's end padding fills a whole
// last frame, which the decoder then trims away.
//
// Then files with what real files carry around their audio: LAME's Info
// header (in every constant bit rate file lame writes), APEv2 tags and
// Lyrics3 v2 blocks at the end, an ID3v2 tag put in front of another; their
// durations against what ffmpeg decodes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "audio/mpeg_audio.h"

namespace {

namespace fs = std::filesystem;

bool Shell(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = popen((command + (output ? " 2>/dev/null" : " >/dev/null 2>&1")).c_str(), "r");
  if (!pipe) return false;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    if (output) output->append(buffer, got);
  }
  return pclose(pipe) == 0;
}

bool HaveTool(const char* name) { return Shell(std::string("command -v ") + name); }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

struct Encoding {
  std::string name;
  std::string command;  // {in} and {out} stand for the source and the result
  std::string source;
};
void PrintTo(const Encoding& e, std::ostream* out) { *out << e.command; }

// Sources: 3 s of a tone in one channel and noise in the other (so that joint
// stereo and VBR have something to work on), and a mono and a 22.05 kHz copy.
const char* const kSources[][2] = {
    {"stereo", "-f lavfi -i sine=frequency=440:duration=3 -f lavfi -i "
               "anoisesrc=d=3:c=pink:a=0.1 -filter_complex amerge=inputs=2 -ar 44100"},
    {"mono48", "-f lavfi -i sine=frequency=440:duration=3 -ac 1 -ar 48000"},
    {"stereo22", "-f lavfi -i sine=frequency=440:duration=3 -f lavfi -i "
                 "anoisesrc=d=3:c=pink:a=0.1 -filter_complex amerge=inputs=2 -ar 22050"},
};

std::vector<Encoding> Encodings() {
  const std::string lame = "lame --quiet ";
  std::vector<Encoding> list;
  for (int kbps : {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}) {
    // Joint stereo, but plain stereo at 192 and dual channel at 256.
    const char* mode = kbps == 192 ? "-m s " : kbps == 256 ? "-m d " : "";
    list.push_back({"cbr" + std::to_string(kbps),
                    lame + mode + "-b " + std::to_string(kbps) + " {in} {out}", "stereo"});
  }
  for (int quality = 0; quality <= 9; ++quality) {
    list.push_back({"vbr" + std::to_string(quality),
                    lame + (quality % 4 == 3 ? "-m m " : "") + "-V " + std::to_string(quality) +
                        " {in} {out}",
                    "stereo"});
  }
  const Encoding others[] = {
      {"abr128", lame + "--abr 128 {in} {out}", "stereo"},
      {"abr56mono", lame + "--abr 56 -m m {in} {out}", "stereo"},
      {"mpeg1-48k", lame + "-b 192 {in} {out}", "mono48"},
      {"mpeg1-32k", lame + "--resample 32 -b 48 {in} {out}", "stereo"},
      {"mpeg2-22k", lame + "--resample 22.05 -b 64 {in} {out}", "stereo"},
      {"mpeg2-24k-vbr", lame + "--resample 24 -V 4 {in} {out}", "stereo"},
      {"mpeg2-16k-mono", lame + "--resample 16 -b 32 -m m {in} {out}", "stereo"},
      {"mpeg25-11k", lame + "--resample 11.025 -b 32 {in} {out}", "stereo"},
      {"mpeg25-12k-vbr", lame + "--resample 12 -V 6 -m m {in} {out}", "stereo"},
      {"mpeg25-8k-mono", lame + "--resample 8 -b 16 -m m {in} {out}", "stereo"},
      // ID3v2 tags of several sizes (lame adds ID3v1), some beyond the window.
      {"tag-small", lame + "-b 128 --tt Small --ta Artist {in} {out}", "stereo"},
      {"tag-4k", lame + "-b 128 --tt Pad --add-id3v2 --pad-id3v2-size 4000 {in} {out}", "stereo"},
      {"tag-vbr-10k", lame + "-V 2 --tt Pad --add-id3v2 --pad-id3v2-size 10000 {in} {out}",
       "stereo"},
      {"tag-picture", lame + "-b 96 -m m --tt Picture --ti {dir}/picture.png {in} {out}",
       "stereo"},
      {"tag-id3v2-tool", lame + "-b 112 {in} {out} && id3v2 -t Tool -a Artist -T 3 {out}",
       "stereo"},
      {"layer2", "twolame --quiet -b 192 {in} {out}", "stereo"},
      {"layer2-mono48", "twolame --quiet -b 96 {in} {out}", "mono48"},
      {"layer2-joint", "twolame --quiet -m j -b 128 {in} {out}", "stereo"},
      {"layer2-mpeg2", "twolame --quiet -b 64 {in} {out}", "stereo22"},
  };
  list.insert(list.end(), std::begin(others), std::end(others));
  return list;
}

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  for (size_t at; (at = text.find(what)) != std::string::npos;) text.replace(at, what.size(), with);
  return text;
}

class AudioInterop : public ::testing::TestWithParam<Encoding> {
 protected:
  static void SetUpTestSuite() {
    for (const char* tool : {"lame", "twolame", "ffmpeg", "ffprobe", "mediainfo", "id3v2"}) {
      if (!HaveTool(tool)) {
        missing_ = tool;
        return;
      }
    }
    char pattern[] = "/tmp/tagwright-interop-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir_ = pattern;
    for (const auto& source : kSources) {
      Shell("ffmpeg -loglevel error -y " + std::string(source[1]) + " " +
          Quoted(dir_ + "/" + source[0] + ".wav"));
    }
    // An incompressible 256 x 256 picture: about 90 KB of tag.
    Shell("ffmpeg -loglevel error -y -f lavfi -i 'nullsrc=s=256x256,geq=random(1)*255:128:128' "
        "-frames 1 " + Quoted(dir_ + "/picture.png"));
  }
  static void TearDownTestSuite() {
    if (!dir_.empty()) {
      std::error_code ignored;
      fs::remove_all(dir_, ignored);
    }
  }

  static std::string missing_;
  static std::string dir_;
};

std::string AudioInterop::missing_;
std::string AudioInterop::dir_;

struct Probe {
  std::string codec;
  unsigned sampleRate = 0;
  int channels = 0;
  long frames = 0;  // audio frames, the Xing/Info frame not included
  double duration = 0;
  std::string version;  // mediainfo: "Version 1", "Version 2", "Version 2.5"
  std::string mode;     // mediainfo: "Joint stereo", "Dual mono" or empty
};

bool ProbeFile(const std::string& path, Probe* probe) {
  std::string text;
  if (!Shell("ffprobe -v error -count_packets -select_streams a:0 -show_entries "
           "stream=codec_name,sample_rate,channels,nb_read_packets:format=duration -of json " +
               Quoted(path),
           &text)) {
    return false;
  }
  const auto json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded() || json["streams"].empty()) return false;
  const auto& stream = json["streams"][0];
  probe->codec = stream.value("codec_name", "");
  probe->sampleRate = std::stoul(stream.value("sample_rate", "0"));
  probe->channels = stream.value("channels", 0);
  probe->frames = std::stol(stream.value("nb_read_packets", "0"));
  probe->duration = std::stod(json["format"].value("duration", "0"));
  text.clear();
  if (!Shell("mediainfo --Inform='Audio;%Format_Version%|%Format_Settings_Mode%' " + Quoted(path),
           &text)) {
    return false;
  }
  const size_t bar = text.find('|');
  if (bar == std::string::npos) return false;
  probe->version = text.substr(0, bar);
  probe->mode = text.substr(bar + 1, text.find_first_of("\r\n") - bar - 1);
  return true;
}

TEST_P(AudioInterop, AgreesWithFfprobeAndMediainfo) {
  if (!missing_.empty()) GTEST_SKIP() << missing_ << " is not installed";
  ASSERT_FALSE(dir_.empty());
  const Encoding& e = GetParam();
  const std::string out = dir_ + "/" + e.name + ".mp3";
  std::string command = Replace(e.command, "{in}", Quoted(dir_ + "/" + e.source + ".wav"));
  command = Replace(Replace(command, "{out}", Quoted(out)), "{dir}", dir_);
  ASSERT_TRUE(Shell(command)) << command;
  Probe peer;
  ASSERT_TRUE(ProbeFile(out, &peer)) << out;

  audio::MPEGaudio audio;
  ASSERT_TRUE(audio.Analyze(out));
  ASSERT_TRUE(audio.IsValid());

  const std::map<std::string, std::string> versions{
      {"Version 1", "MPEG 1"}, {"Version 2", "MPEG 2"}, {"Version 2.5", "MPEG 2.5"}};
  const std::map<std::string, std::string> layers{
      {"mp3", "Layer III"}, {"mp2", "Layer II"}, {"mp1", "Layer I"}};
  EXPECT_EQ(audio.VersionText(), versions.count(peer.version) ? versions.at(peer.version) : "?");
  EXPECT_EQ(audio.LayerText(), layers.count(peer.codec) ? layers.at(peer.codec) : "?");
  EXPECT_EQ(audio.SampleRateHz(), peer.sampleRate);
  std::string mode = peer.channels == 1             ? "Mono"
                     : peer.mode == "Joint stereo" ? "Joint Stereo"
                     : peer.mode == "Dual mono"    ? "Dual Channel"
                                                   : "Stereo";
  // twolame's joint stereo writes plain stereo frames where it codes no joint
  // bands, so its first frame and mediainfo's summary of the stream may name
  // the two stereo modes the other way round. The first frame's own mode bits
  // decide then.
  const std::string ours = audio.ChannelModeText();
  const bool bothStereo = (mode == "Stereo" || mode == "Joint Stereo") &&
                          (ours == "Stereo" || ours == "Joint Stereo");
  if (bothStereo && e.command.rfind("twolame", 0) == 0) {
    unsigned char header[4] = {};
    std::FILE* f = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    const bool read = std::fseek(f, static_cast<long>(audio.FirstFramePosition()), SEEK_SET) == 0 &&
                      std::fread(header, 1, 4, f) == 4;
    std::fclose(f);
    ASSERT_TRUE(read);
    mode = (header[3] >> 6) == 1 ? "Joint Stereo" : "Stereo";
  }
  EXPECT_EQ(audio.ChannelModeText(), mode);
  // lame writes the frames right after its tag.
  EXPECT_EQ(audio.FirstFramePosition(), audio.ID3v2().TagSize());

  const double frameSeconds =
      audio::FrameCoefficient(audio.FirstFrame()) * 8.0 / audio.SampleRateHz();
  if (audio.VbrInfo().Present) {
    EXPECT_EQ(audio.FrameCount(), peer.frames) << "Xing frame count";
    EXPECT_NEAR(audio.DurationSeconds(), peer.duration, frameSeconds);
  } else {
    EXPECT_NEAR(audio.DurationSeconds(), peer.duration, 2 * frameSeconds);
    EXPECT_NEAR(static_cast<double>(audio.FrameCount()), peer.frames, 2);
  }
  // lame gives ABR and VBR files a Xing header.
  const std::string name = e.name;
  if (name.find("vbr") != std::string::npos || name.find("abr") != std::string::npos) {
    EXPECT_TRUE(audio.VbrInfo().Present);
  }
}

INSTANTIATE_TEST_SUITE_P(Encoders, AudioInterop, ::testing::ValuesIn(Encodings()),
                         [](const ::testing::TestParamInfo<Encoding>& param) {
                           return Replace(Replace(param.param.name, "-", "_"), ".", "_");
                         });

// ---------------------------------------------- LAME's Info header; blocks around the audio

namespace blocks {

// Debian's python3, which has python3-mutagen, before any other on the path.
std::string Python() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

// Python that changes the file named by its first argument, run before the
// analysis. mutagen makes the APEv2 and ID3v2 tags; they are put in place by
// hand (mutagen appends an APEv2 tag after an ID3v1 tag).
const char kPrependTag[] =  // a mutagen-made ID3v2.3 tag in front of the file's own
    "import sys, io\n"
    "from mutagen.id3 import ID3, TIT2\n"
    "t = ID3(); t.add(TIT2(encoding=0, text='New'))\n"
    "b = io.BytesIO(); t.save(b, v2_version=3, padding=lambda info: 1500)\n"
    "old = open(sys.argv[1], 'rb').read()\n"
    "open(sys.argv[1], 'wb').write(b.getvalue() + old)\n";
const char kApeTag[] =  // about 6 KB of APEv2 tag (14 frames at 128 kbit/s) before any ID3v1 tag
    "import sys\n"
    "from mutagen.apev2 import APEv2\n"
    "alone = sys.argv[1] + '.ape'\n"
    "open(alone, 'wb').close()\n"
    "t = APEv2(); t['Title'] = 'APE'; t['Lyrics'] = 'la ' * 2000; t.save(alone)\n"
    "ape = open(alone, 'rb').read()\n"
    "d = open(sys.argv[1], 'rb').read()\n"
    "end = len(d) - 128 if d[-128:-125] == b'TAG' else len(d)\n"
    "open(sys.argv[1], 'wb').write(d[:end] + ape + d[end:])\n";
const char kLyrics3[] =  // a Lyrics3 v2 block of about 4 KB before the ID3v1 tag
    "import sys\n"
    "d = open(sys.argv[1], 'rb').read()\n"
    "assert d[-128:-125] == b'TAG'\n"
    "lyr = b'[00:01]' + b'la ' * 1300\n"
    "body = b'LYRICSBEGIN' + b'IND00002' + b'10' + b'LYR%05d' % len(lyr) + lyr\n"
    "open(sys.argv[1], 'wb').write(d[:-128] + body + b'%06d' % len(body) + b'LYRICS200' + "
    "d[-128:])\n";

struct Made {
  std::string name;
  std::string lame;                 // lame's options
  std::vector<const char*> python;  // scripts run on the result, in order
  bool info;                        // lame wrote an Info header
  bool trailing;                    // blocks stand after the audio
  bool tagsInARow;
};
void PrintTo(const Made& m, std::ostream* out) { *out << m.name; }

std::vector<Made> Files() {
  return {
      {"info", "-b 128", {}, true, false, false},
      {"info_mono_48k", "-b 64 -m m --resample 48", {}, true, false, false},
      {"info_mpeg2", "-b 64 --resample 22.05", {}, true, false, false},
      {"info_mpeg25_mono", "-b 32 -m m --resample 11.025", {}, true, false, false},
      {"ape", "-t -b 128", {kApeTag}, false, true, false},
      {"ape_before_id3v1", "-t -b 128 --tt T --id3v1-only", {kApeTag}, false, true, false},
      {"lyrics3_before_id3v1", "-t -b 128 --tt T --id3v1-only", {kLyrics3}, false, true, false},
      // The order of mutagen's sample file: APEv2, Lyrics3 v2, ID3v1.
      {"ape_and_lyrics3_before_id3v1", "-t -b 128 --tt T --id3v1-only", {kApeTag, kLyrics3},
       false, true, false},
      {"two_tags", "-t -b 128 --tt Old --add-id3v2 --pad-id3v2-size 3000", {kPrependTag}, false,
       false, true},
      {"two_tags_info_ape", "-b 128 --tt Old --add-id3v2", {kPrependTag, kApeTag}, true, true,
       true},
  };
}

class BlocksInterop : public ::testing::TestWithParam<Made> {
 protected:
  static void SetUpTestSuite() {
    for (const char* tool : {"lame", "ffmpeg", "ffprobe"}) {
      if (!HaveTool(tool)) {
        missing_ = tool;
        return;
      }
    }
    if (!Shell(Python() + " -c 'import mutagen'")) {
      missing_ = "python3-mutagen";
      return;
    }
    char pattern[] = "/tmp/tagwright-blocks-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir_ = pattern;
    Shell("ffmpeg -loglevel error -y " + std::string(kSources[0][1]) + " " +
          Quoted(dir_ + "/source.wav"));
  }
  static void TearDownTestSuite() {
    if (!dir_.empty()) {
      std::error_code ignored;
      fs::remove_all(dir_, ignored);
    }
  }

  static std::string missing_;
  static std::string dir_;
};

std::string BlocksInterop::missing_;
std::string BlocksInterop::dir_;

// Samples per channel that ffmpeg decodes, and the sample rate. `trimmed`:
// less the encoder delay and padding that LAME's header states, as players
// without gaps play it; else everything the decoder gives.
bool Decoded(const std::string& path, bool trimmed, long* samples, unsigned* rate) {
  std::string text;
  // Quiet: it says "Header missing" at a Lyrics3 block, which it skips.
  if (!Shell("ffmpeg -v quiet " + std::string(trimmed ? "" : "-flags2 skip_manual ") + "-i " +
                 Quoted(path) + " -f s16le -ac 1 - | wc -c",
             &text))
    return false;
  *samples = std::stol(text) / 2;
  text.clear();
  if (!Shell("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of "
             "default=noprint_wrappers=1:nokey=1 " + Quoted(path),
             &text))
    return false;
  *rate = static_cast<unsigned>(std::stoul(text));
  return *samples > 0 && *rate > 0;
}

TEST_P(BlocksInterop, DurationIsWithinTwoFramesOfWhatFfmpegDecodes) {
  if (!missing_.empty()) GTEST_SKIP() << missing_ << " is not installed";
  ASSERT_FALSE(dir_.empty());
  const Made& m = GetParam();
  const std::string out = dir_ + "/" + m.name + ".mp3";
  ASSERT_TRUE(Shell("lame --quiet " + m.lame + " " + Quoted(dir_ + "/source.wav") + " " +
                    Quoted(out)));
  for (const char* script : m.python) {
    const std::string file = dir_ + "/script.py";
    std::ofstream(file) << script;
    ASSERT_TRUE(Shell(Python() + " " + Quoted(file) + " " + Quoted(out))) << script;
  }
  long samples = 0, trimmed = 0;
  unsigned rate = 0;
  ASSERT_TRUE(Decoded(out, false, &samples, &rate));
  ASSERT_TRUE(Decoded(out, true, &trimmed, &rate));

  audio::MPEGaudio audio;
  ASSERT_TRUE(audio.Analyze(out));
  ASSERT_TRUE(audio.IsValid());
  EXPECT_EQ(audio.SampleRateHz(), rate);
  const double frameSeconds = audio::FrameCoefficient(audio.FirstFrame()) * 8.0 / rate;
  EXPECT_NEAR(audio.DurationSeconds(), static_cast<double>(samples) / rate, 2 * frameSeconds);
  // LAME's delay and padding (1105 samples and less than a frame) stay below
  // two frames of 1152 samples, not of 576: MPEG 2 and 2.5 Layer III files
  // with an Info or Xing header play up to four frames shorter than they are.
  if (audio.FirstFrame().Version == audio::kMpeg1) {
    EXPECT_NEAR(audio.DurationSeconds(), static_cast<double>(trimmed) / rate, 2 * frameSeconds);
  }

  EXPECT_EQ(audio.VbrInfo().IsInfo(), m.info);
  if (m.info) {
    // The Info header counts the audio frames, which ffprobe counts as packets.
    std::string text;
    ASSERT_TRUE(Shell("ffprobe -v error -count_packets -select_streams a:0 -show_entries "
                      "stream=nb_read_packets -of default=noprint_wrappers=1:nokey=1 " +
                          Quoted(out),
                      &text));
    EXPECT_EQ(audio.FrameCount(), std::stol(text));
    EXPECT_EQ(audio.BitRateKbps(), audio::TableBitRate(audio.FirstFrame()));
  }
  // Each block is several frames long, so counting it as audio would fail
  // the duration check above for the files without Info header.
  EXPECT_EQ(audio.TrailingBlocksSize() > 0, m.trailing);
  EXPECT_EQ(audio.ID3v1().Present(), m.lame.find("--tt") != std::string::npos);
  if (m.trailing && !m.info) {
    EXPECT_GT(audio.TrailingBlocksSize() * 8.0 / audio.BitRateKbps() / 1000, 4 * frameSeconds);
  }
  EXPECT_EQ(audio.AudioStart() > audio.ID3v2().TagSize(), m.tagsInARow);
  EXPECT_EQ(audio.FirstFramePosition(), audio.AudioStart()) << "lame writes no junk";
  if (m.tagsInARow) {
    EXPECT_EQ(audio.ID3v2().Title(), "New") << "the first tag is the file's tag";
  }
}

INSTANTIATE_TEST_SUITE_P(Lame, BlocksInterop, ::testing::ValuesIn(Files()),
                         [](const ::testing::TestParamInfo<Made>& param) {
                           return param.param.name;
                         });

}  // namespace blocks

}  // namespace

// The analysis against ffprobe and mediainfo on files encoded by lame and
// twolame: version, layer, sample rate and channel mode agree; Xing frame
// counts equal the audio frames ffprobe counts; constant bit rate durations
// are within two frames of ffprobe's.
//
// ffprobe's frames are its packets (-count_packets): its count of decoded
// frames (-count_frames) is one less when lame's end padding fills a whole
// last frame, which the decoder then trims away.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

}  // namespace

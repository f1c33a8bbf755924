// The analysis of one file: the input is a whole file.
//
// Properties:
// - every file of 10 bytes or more is analysed, and an object that analysed
//   other files before gives exactly what a fresh object gives;
// - a file without a confirmed frame leaves the object empty, tags included;
// - a confirmed first frame lies in the file, starts with a sync word, and so
//   does its successor at the frame's length;
// - the tags are the ones the tag objects read from the file on their own;
// - a file taken as valid has a bit rate of 8 to 448 kbit/s, a sample rate of
//   the MPEG tables, a duration of at least 0.1 s, and no negative frame count
//   or audio size.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/mpeg_audio.h"
#include "fuzz_support.h"
#include "tag_fields.h"

namespace {

audio::MPEGaudio& ReusedAnalysis() {
  static audio::MPEGaudio analysis;
  return analysis;
}

std::vector<std::string> Summary(const audio::MPEGaudio& a) {
  char duration[64];
  std::snprintf(duration, sizeof duration, "%.17g", a.DurationSeconds());
  const audio::FrameInfo& f = a.FirstFrame();
  const audio::VBRData& v = a.VbrInfo();
  std::vector<std::string> s = {
      a.IsValid() ? "valid" : "not valid",  std::to_string(a.FileSize()),
      std::to_string(a.AudioSize()),        f.Present ? "frame" : "no frame",
      std::to_string(a.FirstFramePosition()), std::to_string(f.FrameBytes),
      std::to_string(a.BitRateKbps()),      std::to_string(a.SampleRateHz()),
      std::to_string(a.FrameCount()),       duration,
      a.VersionText(),                      a.LayerText(),
      a.ChannelModeText(),                  v.Present ? "vbr" : "no vbr",
      std::string(v.Signature, 4),          std::to_string(v.FrameTotal),
      std::to_string(v.ByteTotal),          std::to_string(v.Quality),
      v.Vendor};
  for (const std::string& field : fuzz::FieldsOf(a.ID3v1())) s.push_back(field);
  for (const std::string& field : fuzz::FieldsOf(a.ID3v2())) s.push_back(field);
  return s;
}

bool IsSync(const uint8_t* data, size_t size, int64_t at) {
  return at >= 0 && static_cast<size_t>(at) + 1 < size && data[at] == 0xFF &&
         (data[at + 1] & 0xE0) == 0xE0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("input.mp3", data, size);
  // A file too short for an ID3v2 header counts as unreadable, as the tag
  // object says.
  audio::MPEGaudio fresh;
  const bool analysed = fresh.Analyze(path);
  FUZZ_CHECK(analysed == (size >= 10), "every file of 10 bytes or more is analysed");
  audio::MPEGaudio& reused = ReusedAnalysis();
  FUZZ_CHECK(reused.Analyze(path) == analysed, "a reused object analyses as a fresh one");
  FUZZ_CHECK_FIELDS(Summary(reused), Summary(fresh),
             "an object that analysed other files gives what a fresh one gives");

  if (!fresh.FirstFrame().Present) {
    FUZZ_CHECK(!fresh.IsValid(), "a file without a frame is not valid");
    FUZZ_CHECK(fuzz::FieldsOf(fresh.ID3v1()) == fuzz::FieldsOf(tags::ID3v1Tag()) &&
                   fuzz::FieldsOf(fresh.ID3v2()) == fuzz::FieldsOf(tags::ID3v2Tag()),
               "a file without a frame leaves the tags empty");
    return 0;
  }

  FUZZ_CHECK(fresh.FileSize() == static_cast<int64_t>(size), "the file size is the file's");
  const int64_t at = fresh.FirstFramePosition();
  const int64_t length = fresh.FirstFrame().FrameBytes;
  FUZZ_CHECK(length > 0 && at >= 0 && at + length + 4 <= static_cast<int64_t>(size),
             "the first frame and its successor's header lie in the file");
  FUZZ_CHECK(IsSync(data, size, at) && IsSync(data, size, at + length),
             "the first frame and its successor start with a sync word");

  tags::ID3v2Tag v2;
  tags::ID3v1Tag v1;
  FUZZ_CHECK(v1.Load(path), "the ID3v1 tag loads on its own");
  if (!v2.Load(path)) v2.Clear();
  FUZZ_CHECK_FIELDS(fuzz::FieldsOf(fresh.ID3v2()), fuzz::FieldsOf(v2),
             "the analysis reads the ID3v2 tag as the tag object does");
  FUZZ_CHECK_FIELDS(fuzz::FieldsOf(fresh.ID3v1()), fuzz::FieldsOf(v1),
             "the analysis reads the ID3v1 tag as the tag object does");
  FUZZ_CHECK(at >= fresh.ID3v2().TagSize(), "the first frame starts after the ID3v2 tag");

  if (!fresh.IsValid()) return 0;
  FUZZ_CHECK(fresh.BitRateKbps() >= 8 && fresh.BitRateKbps() <= 448,
             "a valid file has a bit rate of 8 to 448 kbit/s");
  static constexpr int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
  FUZZ_CHECK(std::find(std::begin(kRates), std::end(kRates), fresh.SampleRateHz()) !=
                 std::end(kRates),
             "a valid file has a sample rate of the MPEG tables");
  const double seconds = fresh.DurationSeconds();
  FUZZ_CHECK(std::isfinite(seconds) && seconds >= 0.1 - 1e-9,
             "a valid file lasts at least a tenth of a second");
  FUZZ_CHECK(fresh.FrameCount() >= 0, "a valid file has no negative frame count");
  FUZZ_CHECK(fresh.AudioSize() >= 0, "a valid file has no negative audio size");
  return 0;
}

// The tag template formatter: the input is a template, a title and a file
// name, separated by zero bytes, and then a few bytes for the counter and the
// tag order.
//
// Properties:
// - no expansion is longer than the template with every "%" replaced by the
//   longest value or the widest width a block may ask for (kMaxTemplateWidth);
// - a template whose "%" are all doubled gives itself back;
// - an inserted value is not expanded again: %2 gives the title as it is;
// - FindClampedWidth finds the blocks the formatter clamps: the template with
//   each width it reports written as kMaxTemplateWidth expands to the same
//   text, and then nothing is reported.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "audio/mpeg_audio.h"
#include "batch/template.h"
#include "fuzz_support.h"
#include "tags/codepage.h"
#include "test_host.h"

namespace {

// Two frames of MPEG 1 Layer III at 128 kbit/s, 44.1 kHz, then zeros: 0.1875 s.
audio::MPEGaudio& Analysis() {
  static audio::MPEGaudio* analysis = [] {
    static testhost::TestHost host;
    tags::TagCodePage.Kind = tags::CodePageKind::Oem;
    std::vector<uint8_t> file(3000, 0);
    const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
    std::memcpy(&file[0], header, 4);
    std::memcpy(&file[417], header, 4);
    const std::string path = fuzz::WriteScratchFile("audio.mp3", file.data(), file.size());
    auto* a = new audio::MPEGaudio;
    if (!a->Analyze(path) || !a->IsValid()) fuzz::Fail(__FILE__, __LINE__, "the sample analyses");
    std::filesystem::remove(path);
    a->ID3v2().SetArtist("Band");
    a->ID3v1().SetTitle("One");
    return a;
  }();
  return *analysis;
}

std::string Format(const std::string& tmpl, const std::string& fullName, bool preferV1,
                   int counter) {
  return batch::FormatTagTemplate(Analysis(), fullName, tmpl, preferV1, counter);
}

std::string DoubledPercents(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = fuzz::SplitAtZeros(data, size, 4);
  parts.resize(4);
  const std::string& tmpl = parts[0];
  const std::string& fullName = parts[2];
  int32_t counter = 0;
  std::memcpy(&counter, parts[3].data(), std::min<size_t>(parts[3].size(), sizeof counter));
  const bool preferV1 = parts[3].size() % 2 == 1;
  audio::MPEGaudio& analysis = Analysis();
  analysis.ID3v2().SetTitle(parts[1]);

  const std::string out = Format(tmpl, fullName, preferV1, counter);
  const size_t longestValue = std::max<size_t>({analysis.ID3v2().Title().size(), fullName.size(),
                                                analysis.ID3v2().Artist().size(), 64});
  const size_t percents = static_cast<size_t>(std::count(tmpl.begin(), tmpl.end(), '%'));
  FUZZ_CHECK(out.size() <= tmpl.size() +
                               percents * std::max<size_t>(longestValue, batch::kMaxTemplateWidth),
             "an expansion is no longer than the widest values and widths allow");

  FUZZ_CHECK(Format(DoubledPercents(tmpl), fullName, preferV1, counter) == tmpl,
             "a template with every % doubled gives itself back");
  FUZZ_CHECK(Format("%2", fullName, false, counter) == analysis.ID3v2().Title(),
             "an inserted value is not expanded again");

  std::string clamped = tmpl;
  for (int round = 0; round < 1000; ++round) {
    const std::optional<batch::ClampedWidth> found = batch::FindClampedWidth(clamped);
    if (!found) break;
    FUZZ_CHECK(clamped.compare(found->position, found->width.size(), found->width) == 0,
               "a clamped width is reported where it is written");
    clamped.replace(found->position, found->width.size(),
                    std::to_string(batch::kMaxTemplateWidth));
  }
  FUZZ_CHECK(!batch::FindClampedWidth(clamped), "widths written as the limit are not clamped");
  FUZZ_CHECK(Format(clamped, fullName, preferV1, counter) == out,
             "a clamped width formats as the limit written out");
  return 0;
}

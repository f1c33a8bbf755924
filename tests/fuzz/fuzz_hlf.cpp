// The terminal host's help files: the input is a .hlf file.
//
// Properties: every topic of a parsed file has a name and is found by it; the
// title is the text of a header line; every line, the file's own and each of
// the parsed file, written again from its spans (marks doubled, bold in #, links
// as ~text~@topic@) parses to the same spans.
#include <optional>

#include "fuzz_support.h"
#include "hostsim/oem_case.h"
#include "hostsim/terminal/help_file.h"

namespace {

using hostsim::terminal::HelpLine;
using hostsim::terminal::HelpSpan;

std::string Doubled(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '#' || c == '~' || c == '@') out += c;
    out += c;
  }
  return out;
}

// The line in the help file's marks; nothing for the few lines those marks
// cannot give back: plain text starting with '^', a line ending in '\r', a
// link whose text is empty or starts with '~', a '#' right after a bold
// mark (read as "##").
std::optional<std::string> Written(const HelpLine& line) {
  std::string out = line.centred ? "^" : "";
  bool afterBold = false;
  for (const HelpSpan& span : line.spans) {
    const bool hash = !span.text.empty() && span.text[0] == '#';
    if (hash && (span.kind == HelpSpan::Bold || afterBold)) return std::nullopt;
    afterBold = span.kind == HelpSpan::Bold;
    switch (span.kind) {
      case HelpSpan::Plain: out += Doubled(span.text); break;
      case HelpSpan::Bold: out += "#" + Doubled(span.text) + "#"; break;
      case HelpSpan::Link:
        if (span.text.empty() || span.text[0] == '~') return std::nullopt;
        out += "~" + Doubled(span.text) + "~@" + span.target + "@";
        break;
    }
  }
  if (!line.centred && !out.empty() && out[0] == '^') return std::nullopt;
  if (!out.empty() && out.back() == '\r') return std::nullopt;
  return out;
}

bool SameSpans(const HelpLine& a, const HelpLine& b) {
  if (a.centred != b.centred || a.spans.size() != b.spans.size()) return false;
  for (size_t i = 0; i < a.spans.size(); ++i) {
    if (a.spans[i].kind != b.spans[i].kind || a.spans[i].text != b.spans[i].text ||
        a.spans[i].target != b.spans[i].target)
      return false;
  }
  return true;
}

void CheckLine(const HelpLine& line) {
  const std::optional<std::string> text = Written(line);
  if (!text) return;
  FUZZ_CHECK(SameSpans(hostsim::terminal::ParseHelpLine(*text), line),
             "a help line written from its spans parses to the same spans");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  for (size_t start = 0; start < content.size();) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    CheckLine(hostsim::terminal::ParseHelpLine(content.substr(start, end - start)));
    start = end + 1;
  }

  hostsim::terminal::HelpFile file;
  std::string error;
  if (!hostsim::terminal::ParseHelpFile(content, &file, &error)) {
    FUZZ_CHECK(!error.empty(), "a failure says why");
    return 0;
  }
  FUZZ_CHECK(!file.topics.empty(), "a parsed file has a topic");
  for (const auto& topic : file.topics) {
    FUZZ_CHECK(!topic.name.empty(), "every topic has a name");
    // The host's topic syntax gives a leading '<' or ':' a meaning of its own.
    if (topic.name[0] != '<' && topic.name[0] != ':') {
      const auto* found = file.Find(topic.name);
      FUZZ_CHECK(found != nullptr && hostsim::CompareNoCase(found->name.c_str(),
                                                            topic.name.c_str()) == 0,
                 "every topic is found by its name");
    }
    if (!topic.title.empty()) {
      bool inHeader = false;
      for (const auto& line : topic.header)
        if (hostsim::terminal::PlainText(line).find(topic.title) != std::string::npos)
          inHeader = true;
      FUZZ_CHECK(inHeader, "a topic's title is text of its header");
    }
    for (const auto& line : topic.header) CheckLine(line);
    for (const auto& line : topic.body) CheckLine(line);
  }
  return 0;
}

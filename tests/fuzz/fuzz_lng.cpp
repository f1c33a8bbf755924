// The host stand-in's language files: the input is a .lng file.
//
// Properties: a failure names the file and a line; a file that parses, written
// out again with every message quoted and escaped, parses to the same
// language, description and messages, and writing that gives the same text;
// the file is chosen among files of its own language.
#include <optional>

#include "fuzz_support.h"
#include "hostsim/lng.h"

namespace {

constexpr size_t kLineLimit = 1000;

std::string Quoted(const std::string& message) {
  std::string out = "\"";
  for (const char c : message) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

// The file as the host's own files are written; nothing when a line would be
// longer than a line may be.
std::optional<std::string> Written(const hostsim::LanguageFile& file) {
  std::string out = ".Language=" + file.name;
  if (!file.description.empty()) out += "," + file.description;
  out += "\r\n// written again\r\n";
  for (const std::string& message : file.messages) {
    const std::string line = Quoted(message);
    if (line.size() > kLineLimit) return std::nullopt;
    out += line + "\r\n";
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  hostsim::LanguageFile file;
  std::string error;
  if (!hostsim::ParseLanguageFile(content, "input.lng", &file, &error)) {
    FUZZ_CHECK(error.compare(0, 10, "input.lng:") == 0 && error.size() > 10 &&
                   error[10] >= '1' && error[10] <= '9',
               "a failure names the file and a line");
    return 0;
  }
  FUZZ_CHECK(!file.name.empty() && !file.messages.empty(),
             "a parsed file has a language and messages");

  const std::optional<std::string> text = Written(file);
  if (!text) return 0;
  hostsim::LanguageFile again;
  FUZZ_CHECK(hostsim::ParseLanguageFile(*text, "again.lng", &again, &error),
             "a parsed file written out again parses");
  FUZZ_CHECK(again.name == file.name && again.description == file.description &&
                 again.messages == file.messages,
             "a parsed file written out again reads the same");
  FUZZ_CHECK(Written(again) == text, "writing it once more gives the same text");

  size_t chosen = 99;
  again.name = file.name + "x";
  FUZZ_CHECK(hostsim::ChooseLanguage({again, file}, file.name, &chosen, &error) && chosen == 1,
             "the file of the language asked for is chosen");
  return 0;
}

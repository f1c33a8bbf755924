// The regular expressions of the tag creation: the input is a pattern, a
// subject and a value template, separated by zero bytes.
//
// Properties:
// - a pattern that does not compile gives an error text ending in its
//   position, and that position lies in the pattern;
// - after a match, $&, $0, ${0} and ${} all give the whole match, which is a
//   piece of the subject, and references to groups above 14 give nothing;
// - a template without "$" and "\" comes back unchanged, and no substitution
//   is longer than the template with the subject in place of every "$".
#include <algorithm>

#include "batch/regexp.h"
#include "fuzz_support.h"

namespace {

// Patterns and subjects as long as the dialog's fields hold; longer ones only
// make backtracking slower.
constexpr size_t kFieldLimit = 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = fuzz::SplitAtZeros(data, size, 3);
  parts.resize(3);
  const std::string pattern = parts[0].substr(0, kFieldLimit);
  const std::string subject = parts[1].substr(0, kFieldLimit);
  const std::string& tmpl = parts[2];

  batch::Regexp regexp;
  std::string error;
  int position = -1;
  if (!regexp.Compile(pattern, &error, &position)) {
    FUZZ_CHECK(position >= 0 && static_cast<size_t>(position) <= pattern.size(),
               "the position of a compile error lies in the pattern");
    const std::string suffix = " (pos " + std::to_string(position) + ")";
    FUZZ_CHECK(error.size() > suffix.size() &&
                   error.compare(error.size() - suffix.size(), suffix.size(), suffix) == 0,
               "a compile error's text ends in its position");
    std::string ignored;
    FUZZ_CHECK(regexp.Execute(subject, &ignored) == batch::Regexp::Result::Error,
               "a pattern that did not compile matches nothing");
    FUZZ_CHECK(regexp.Substitute("$&").empty(), "without a match a reference gives nothing");
    return 0;
  }

  const batch::Regexp::Result result = regexp.Execute(subject, &error);
  if (result == batch::Regexp::Result::Match) {
    const std::string whole = regexp.Substitute("$&");
    FUZZ_CHECK(subject.find(whole) != std::string::npos, "the whole match is in the subject");
    FUZZ_CHECK(regexp.Substitute("$0") == whole && regexp.Substitute("${0}") == whole &&
                   regexp.Substitute("${}") == whole,
               "every form of the whole-match reference gives the same text");
    FUZZ_CHECK(regexp.Substitute("$15${15}$99999999999999999999").empty(),
               "groups above 14 give nothing");
    FUZZ_CHECK(regexp.Substitute("[$&]") == "[" + whole + "]",
               "text around a reference is kept");
  } else {
    FUZZ_CHECK(regexp.Substitute("$&$1${2}").empty(), "without a match a reference gives nothing");
  }

  const std::string out = regexp.Substitute(tmpl);
  const size_t references = static_cast<size_t>(std::count(tmpl.begin(), tmpl.end(), '$'));
  FUZZ_CHECK(out.size() <= tmpl.size() + references * subject.size(),
             "a substitution is no longer than the template with the subject for every $");
  if (tmpl.find_first_of("$\\") == std::string::npos) {
    FUZZ_CHECK(out == tmpl, "a template without $ and \\ comes back unchanged");
  }
  return 0;
}

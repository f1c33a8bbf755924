// The regular expressions of the tag creation: a Perl-style pattern (PCRE2
// with its default options) searched for in a subject text, and the
// sub-match substitution of value templates.
#pragma once

#include <string>
#include <string_view>

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;

namespace batch {

// Sub-matches above this number are never substituted.
inline constexpr int kMaxSubMatch = 14;

class Regexp {
 public:
  Regexp() = default;
  ~Regexp();
  Regexp(const Regexp&) = delete;
  Regexp& operator=(const Regexp&) = delete;

  // False when the pattern does not compile: `error` is then the library's
  // text followed by " (pos N)", and `position` the offset N of the error in
  // the pattern, in characters (the pattern is UTF-8).
  bool Compile(const std::string& pattern, std::string* error, int* position);

  enum class Result { Match, NoMatch, Error };
  // Searches `subject` for the first match of the compiled pattern. Error
  // (also without a compiled pattern): `error` holds the library's text.
  Result Execute(const std::string& subject, std::string* error);

  // `tmpl` with every reference $n, ${n}, $& (and ${}, the whole match)
  // replaced by that group of the last match (empty for a group above 14 or
  // one that took no part), and every "\x" by "x". A "$" that starts no
  // complete reference stays, as does a "\" at the end.
  std::string Substitute(std::string_view tmpl) const;

 private:
  std::string_view Group(unsigned long n) const;

  pcre2_real_code_8* code_ = nullptr;
  pcre2_real_match_data_8* match_ = nullptr;
  std::string subject_;
  int matchedPairs_ = 0;  // pairs of the match data that hold groups
};

}  // namespace batch

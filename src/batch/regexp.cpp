#include "batch/regexp.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <string_view>

#include "tags/utf8.h"

namespace batch {

namespace {

std::string ErrorText(int code) {
  PCRE2_UCHAR buffer[256];
  if (pcre2_get_error_message(code, buffer, sizeof(buffer)) < 0) {
    return "error " + std::to_string(code);
  }
  return reinterpret_cast<const char*>(buffer);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Regexp::~Regexp() {
  pcre2_match_data_free(match_);
  pcre2_code_free(code_);
}

bool Regexp::Compile(const std::string& pattern, std::string* error, int* position) {
  pcre2_match_data_free(match_);
  pcre2_code_free(code_);
  match_ = nullptr;
  matchedPairs_ = 0;
  int code = 0;
  PCRE2_SIZE offset = 0;
  // Pattern and subject are UTF-8: a character is matched whole, and \\w, \\d
  // and \\b know the letters and digits of every script. A subject that is
  // not valid UTF-8 is matched where it is.
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                        PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF, &code, &offset, nullptr);
  if (code_ == nullptr) {
    // The position counts characters, as the user sees the pattern.
    const size_t at = tags::CharCount(std::string_view(pattern).substr(0, std::min<size_t>(offset, pattern.size())));
    if (error != nullptr) *error = ErrorText(code) + " (pos " + std::to_string(at) + ")";
    if (position != nullptr) *position = static_cast<int>(std::min<size_t>(at, 0x7FFF));
    return false;
  }
  match_ = pcre2_match_data_create_from_pattern(code_, nullptr);
  if (match_ == nullptr) {
    pcre2_code_free(code_);
    code_ = nullptr;
    if (error != nullptr) *error = ErrorText(PCRE2_ERROR_NOMEMORY);
    if (position != nullptr) *position = 0;
    return false;
  }
  return true;
}

Regexp::Result Regexp::Execute(const std::string& subject, std::string* error) {
  matchedPairs_ = 0;
  if (code_ == nullptr || match_ == nullptr) {
    if (error != nullptr) *error = ErrorText(PCRE2_ERROR_NULL);
    return Result::Error;
  }
  subject_ = subject;
  const int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(subject_.data()),
                             subject_.size(), 0, 0, match_, nullptr);
  if (rc == PCRE2_ERROR_NOMATCH) return Result::NoMatch;
  if (rc < 0) {
    if (error != nullptr) *error = ErrorText(rc);
    return Result::Error;
  }
  // 0: more groups than the match data holds, which a block made from the
  // pattern never has; then every pair of it counts.
  matchedPairs_ = rc > 0 ? rc : static_cast<int>(pcre2_get_ovector_count(match_));
  return Result::Match;
}

std::string_view Regexp::Group(unsigned long n) const {
  if (n > static_cast<unsigned long>(kMaxSubMatch) || static_cast<int>(n) >= matchedPairs_) {
    return {};
  }
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(match_);
  const PCRE2_SIZE start = ovector[2 * n], end = ovector[2 * n + 1];
  if (start == PCRE2_UNSET || end == PCRE2_UNSET || end < start || end > subject_.size()) return {};
  return std::string_view(subject_).substr(start, end - start);
}

std::string Regexp::Substitute(std::string_view tmpl) const {
  std::string out;
  out.reserve(tmpl.size());
  size_t i = 0;
  while (i < tmpl.size()) {
    const char c = tmpl[i];
    if (c == '\\' && i + 1 < tmpl.size()) {
      out += tmpl[i + 1];
      i += 2;
      continue;
    }
    if (c != '$') {
      out += c;
      ++i;
      continue;
    }
    // A reference: "$", an optional "{", "&" or digits (or nothing inside
    // braces), and the "}" when a "{" opened it.
    size_t j = i + 1;
    const bool braced = j < tmpl.size() && tmpl[j] == '{';
    if (braced) ++j;
    bool named = false;
    unsigned long group = 0;
    if (j < tmpl.size() && tmpl[j] == '&') {
      named = true;
      ++j;
    } else {
      while (j < tmpl.size() && IsDigit(tmpl[j])) {
        named = true;
        // Beyond 14 the number only has to stay beyond 14.
        group = std::min<unsigned long>(group * 10 + static_cast<unsigned long>(tmpl[j] - '0'),
                                        1000);
        ++j;
      }
    }
    bool complete = named;
    if (braced) {
      complete = j < tmpl.size() && tmpl[j] == '}';
      if (complete) ++j;
    }
    if (!complete) {
      out += '$';
      ++i;
      continue;
    }
    out += Group(group);
    i = j;
  }
  return out;
}

}  // namespace batch

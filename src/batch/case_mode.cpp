#include "batch/case_mode.h"

namespace batch {

namespace {

constexpr int kLastLetterCase = static_cast<int>(LetterCase::Swapped);

}  // namespace

CaseMode ParseCaseMode(std::string_view stored) {
  CaseMode mode;
  if (stored.empty()) return mode;
  const char last = stored.back();
  if (last >= '0' && last <= '0' + kLastLetterCase)
    mode.letters = static_cast<LetterCase>(last - '0');
  mode.transliterate = stored.size() > 1;
  return mode;
}

std::string StoredCaseMode(const CaseMode& mode) {
  std::string stored = mode.transliterate ? "1" : "";
  stored += static_cast<char>('0' + static_cast<int>(mode.letters));
  return stored;
}

}  // namespace batch

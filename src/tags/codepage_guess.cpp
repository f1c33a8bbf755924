#include "tags/codepage_guess.h"

#include <array>

namespace tags {

namespace {

enum class Kind { Other, AsciiLetter, LatinLetter, Cyrillic, Neutral, Punctuation, Symbol, Box, Bad };

bool IsCyrillic(char16_t c) { return (c >= 0x400 && c <= 0x45F) || c == 0x490 || c == 0x491; }

bool IsLatinLetter(char16_t c) {
  if (c >= 0xC0 && c <= 0xFF) return c != 0xD7 && c != 0xF7;
  switch (c) {
    case 0x152: case 0x153: case 0x160: case 0x161: case 0x178: case 0x17D: case 0x17E:
      return true;
    default:
      return false;
  }
}

Kind KindOf(char16_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return Kind::AsciiLetter;
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFD) return Kind::Bad;
  if (c < 0x7F) return Kind::Neutral;
  if (IsLatinLetter(c)) return Kind::LatinLetter;
  if (IsCyrillic(c)) return Kind::Cyrillic;
  if (c >= 0x2500 && c <= 0x25FF) return Kind::Box;
  switch (c) {
    // Quotes, dashes, the ellipsis and the number sign turn up in titles.
    case 0xAB: case 0xBB: case 0x2013: case 0x2014: case 0x2018: case 0x2019: case 0x201C:
    case 0x201D: case 0x201E: case 0x2026: case 0x2116: case 0xA0:
      return Kind::Punctuation;
    default:
      return Kind::Symbol;
  }
}

// Russian letters, а to я, by how common they are: about 4 ln(frequency per
// mille) - 8, so that common letters gain and rare ones cost.
constexpr std::array<int, 32> kLetterWeight = {
    // а   б  в   г  д  е  ж   з  и   й  к  л  м  н   о  п
    10, 3, 7, 3, 6, 10, 1, 3, 9, 2, 6, 7, 6, 9, 11, 5,
    // р  с  т  у  ф   х  ц   ч  ш   щ   ъ    ы  ь  э   ю  я
    7, 8, 9, 5, -2, 1, -2, 3, 0, -3, -12, 4, 3, -4, -1, 4};

bool IsUpper(char16_t c) {
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= 0x410 && c <= 0x42F) return true;
  if (c >= 0x400 && c <= 0x40F) return true;
  if (c >= 0xC0 && c <= 0xDE) return c != 0xD7;
  return c == 0x152 || c == 0x160 || c == 0x178 || c == 0x17D || c == 0x490;
}

int CyrillicWeight(char16_t c) {
  if (c >= 0x410 && c <= 0x42F) return kLetterWeight[c - 0x410];
  if (c >= 0x430 && c <= 0x44F) return kLetterWeight[c - 0x430];
  if (c == 0x401 || c == 0x451) return 0;  // Ё
  // Ukrainian and Belarusian letters: rare but real.
  if (c == 0x404 || c == 0x454 || c == 0x406 || c == 0x456 || c == 0x407 || c == 0x457 ||
      c == 0x40E || c == 0x45E || c == 0x490 || c == 0x491)
    return -2;
  return -8;  // Serbian and Macedonian letters, which 866 text read as 1251 is full of
}

int WordScore(std::u16string_view word) {
  int ascii = 0, latin = 0, cyrillic = 0, upper = 0;
  int score = 0;
  for (char16_t c : word) {
    const Kind kind = KindOf(c);
    if (kind == Kind::AsciiLetter) ++ascii;
    if (kind == Kind::LatinLetter) ++latin;
    if (kind == Kind::Cyrillic) {
      ++cyrillic;
      score += CyrillicWeight(c);
    }
    if (IsUpper(c)) ++upper;
  }
  const int letters = static_cast<int>(word.size());
  if (cyrillic > 0 && (ascii > 0 || latin > 0)) score -= 12 * (letters - cyrillic);
  if (latin > 0) score -= latin > ascii ? 8 * latin : 2 * latin;
  // All lower, all upper, or a capital followed by lower case.
  const bool usualCase = upper == 0 || upper == letters || (upper == 1 && IsUpper(word[0]));
  if (!usualCase && (latin > 0 || cyrillic > 0)) score -= 10;
  // No Russian word starts with a soft or hard sign or with ы.
  const char16_t first = word[0];
  if (first == 0x44C || first == 0x42C || first == 0x44A || first == 0x42A ||
      first == 0x44B || first == 0x42B)
    score -= 10;
  return score;
}

bool IsLetter(Kind kind) {
  return kind == Kind::AsciiLetter || kind == Kind::LatinLetter || kind == Kind::Cyrillic;
}

}  // namespace

int TextScore(std::u16string_view text) {
  int score = 0;
  size_t i = 0;
  while (i < text.size()) {
    const Kind kind = KindOf(text[i]);
    if (IsLetter(kind)) {
      size_t end = i;
      while (end < text.size() && IsLetter(KindOf(text[end]))) ++end;
      score += WordScore(text.substr(i, end - i));
      i = end;
      continue;
    }
    // A sign of 128 or above between two letters splits what is one word.
    if (text[i] >= 0x80 && i > 0 && i + 1 < text.size() && IsLetter(KindOf(text[i - 1])) &&
        IsLetter(KindOf(text[i + 1])))
      score -= 12;
    switch (kind) {
      case Kind::Bad: score -= 25; break;
      case Kind::Box: score -= 20; break;
      case Kind::Symbol: score -= 8; break;
      case Kind::Punctuation: score -= 2; break;
      default: break;
    }
    ++i;
  }
  return score;
}

size_t GuessCodePage(const std::vector<std::string>& texts, const std::vector<TextDecoder>& decoders,
                     std::vector<int>* scores) {
  size_t best = 0;
  int bestScore = 0;
  if (scores) scores->clear();
  for (size_t n = 0; n < decoders.size(); ++n) {
    int score = 0;
    for (const std::string& text : texts) score += TextScore(decoders[n](text));
    if (scores) scores->push_back(score);
    if (n == 0 || score > bestScore) {
      best = n;
      bestScore = score;
    }
  }
  return best;
}

}  // namespace tags

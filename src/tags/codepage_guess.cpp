#include "tags/codepage_guess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace tags {

namespace {

// ------------------------------------------------------------ characters

enum class Kind : uint8_t {
  Neutral,      // ASCII other than letters
  AsciiLetter,  // A to Z, a to z
  Letter,       // a Latin letter beyond ASCII, a Cyrillic or a Greek one
  Apostrophe,   // ’ ʼ ´, which stand inside words
  Punctuation,  // quotes, dashes, the ellipsis, the number sign: titles hold them
  Symbol,       // any other sign
  Box,          // box drawing and blocks, as text of one code page read in a DOS one shows
  Bad,          // controls and bytes the code page lacks
};

enum Script : uint8_t { kLatin, kCyrillic, kGreek, kScripts };

// The letters of a script are told apart by their small forms, numbered as
// below; the last number of each stands for the script's other letters.
//   Latin: U+00DF to U+017F as the code point less 0xC0 (ș and ț as ş and ţ).
//   Cyrillic: а to я 0 to 31, ѐ to џ 32 to 47, ґ 48.
//   Greek: ά to ώ (U+03AC to U+03CE) 0 to 34, ΐ 35.
constexpr int kOtherLatin = 0x180 - 0xC0;
constexpr int kOtherCyrillic = 49;
constexpr int kOtherGreek = 36;
constexpr int kMostLetters = kOtherLatin + 1;

struct CharInfo {
  Kind kind = Kind::Symbol;
  Script script = kLatin;
  bool upper = false;
  bool vowel = false;
  uint8_t letter = 0;
  char16_t small = 0;  // of a letter, the small form
};

constexpr std::u16string_view kVowels[kScripts] = {
    u"aeiouyàáâãäåæèéêëìíîïòóôõöøùúûüýÿāăąēėęěīįōőœūůűų", u"аеёиоуыэюяіїє", u"αεηιουωάέήίόύώϊϋΐΰ"};

char16_t LatinSmall(char16_t c) {
  if (c < 0x100) return c >= 0xC0 && c <= 0xDE && c != 0xD7 ? c + 0x20 : c;
  if (c == 0x178) return 0xFF;                           // Ÿ
  if (c == 0x138 || c == 0x149 || c == 0x17F) return c;  // small only
  // From Ĺ to ň and Ź to ž the capitals are odd, elsewhere even.
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c % 2 ? c + 1 : c;
  return c | 1;
}

char16_t GreekSmall(char16_t c) {
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if (c >= 0x391 && c <= 0x3AB) return c + 0x20;
  return c;
}

// The small form of a letter beyond ASCII, from its number.
char16_t SmallOf(const CharInfo& info, char16_t c) {
  switch (info.script) {
    case kLatin: return info.letter == kOtherLatin ? c : static_cast<char16_t>(0xC0 + info.letter);
    case kCyrillic:
      if (info.letter < 32) return static_cast<char16_t>(0x430 + info.letter);
      if (info.letter < 48) return static_cast<char16_t>(0x450 + info.letter - 32);
      return info.letter == 48 ? u'ґ' : c;
    case kGreek:
      if (info.letter < 35) return static_cast<char16_t>(0x3AC + info.letter);
      return info.letter == 35 ? u'ΐ' : c;
    default: return c;
  }
}

CharInfo Describe(char16_t c) {
  CharInfo info;
  auto letter = [&](Script script, bool upper, int number) {
    info.kind = Kind::Letter;
    info.script = script;
    info.upper = upper;
    info.letter = static_cast<uint8_t>(number);
    info.small = SmallOf(info, c);
    info.vowel = kVowels[script].find(info.small) != std::u16string_view::npos;
    return info;
  };
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
    info.kind = Kind::AsciiLetter;
    info.upper = c <= 'Z';
    info.small = c | 0x20;
    info.vowel = kVowels[kLatin].find(info.small) != std::u16string_view::npos;
    return info;
  }
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFD || (c >= 0xE000 && c <= 0xF8FF)) {
    info.kind = Kind::Bad;
    return info;
  }
  if (c < 0x7F) {
    info.kind = Kind::Neutral;
    return info;
  }
  if ((c >= 0xC0 && c <= 0x17F && c != 0xD7 && c != 0xF7)) {
    const char16_t small = LatinSmall(c);
    return letter(kLatin, small != c, small - 0xC0);
  }
  if (c >= 0x218 && c <= 0x21B)
    return letter(kLatin, c % 2 == 0, (c < 0x21A ? 0x15F : 0x163) - 0xC0);
  if (c >= 0x180 && c <= 0x24F && c != 0x192) return letter(kLatin, false, kOtherLatin);
  if (c >= 0x400 && c <= 0x40F) return letter(kCyrillic, true, c - 0x400 + 32);
  if (c >= 0x410 && c <= 0x42F) return letter(kCyrillic, true, c - 0x410);
  if (c >= 0x430 && c <= 0x44F) return letter(kCyrillic, false, c - 0x430);
  if (c >= 0x450 && c <= 0x45F) return letter(kCyrillic, false, c - 0x450 + 32);
  if (c == 0x490 || c == 0x491) return letter(kCyrillic, c == 0x490, 48);
  if (c >= 0x460 && c <= 0x4FF) return letter(kCyrillic, c % 2 == 0, kOtherCyrillic);
  if (c == 0x390) return letter(kGreek, false, 35);
  if ((c >= 0x386 && c <= 0x3CE) && c != 0x387 && c != 0x38B && c != 0x38D && c != 0x3A2) {
    const char16_t small = GreekSmall(c);
    return letter(kGreek, small != c, small - 0x3AC);
  }
  if (c >= 0x3CF && c <= 0x3FF) return letter(kGreek, false, kOtherGreek);
  if (c >= 0x2500 && c <= 0x25FF) {
    info.kind = Kind::Box;
    return info;
  }
  // clang-format off
  switch (c) {
    case 0x2019: case 0x2BC: case 0xB4:
      info.kind = Kind::Apostrophe;
      break;
    case 0xA0: case 0xAB: case 0xBB: case 0x2013: case 0x2014: case 0x2018: case 0x201C:
    case 0x201D: case 0x201E: case 0x2026: case 0x2116:
      info.kind = Kind::Punctuation;
      break;
    default:
      break;
  }
  // clang-format on
  return info;
}

// Everything up to the end of Cyrillic from a table, the rest by Describe.
constexpr char16_t kTabled = 0x500;

const std::array<CharInfo, kTabled>& CharTable() {
  static const std::array<CharInfo, kTabled> table = [] {
    std::array<CharInfo, kTabled> t;
    for (char16_t c = 0; c < kTabled; ++c) t[c] = Describe(c);
    return t;
  }();
  return table;
}

// ------------------------------------------------------------ languages

// How common each letter is in the languages whose text old tags hold, in
// percent of all letters: the Cyrillic and Greek alphabets, and for the Latin
// ones the ASCII letters besides those with diacritics. A letter a language
// lacks is foreign to it.
struct LanguageLetters {
  Script script;
  // How much less often than the commonest the language turns up in a
  // collection of music, about 4 ln(times less often).
  float rarity;
  const char16_t* letters;  // each letter followed by its share, separated by spaces
};

// clang-format off
constexpr LanguageLetters kLanguageLetters[] = {
    // Russian
    {kCyrillic, 0, u"о11 е8.5 а8 и7.4 н6.7 т6.3 с5.5 р4.7 в4.5 л4.4 к3.5 м3.2 д3 п2.8 у2.6 я2 ы1.9 "
                u"ь1.7 г1.7 з1.6 б1.6 ч1.4 й1.2 х1 ж.9 ш.7 ю.64 ц.48 щ.36 э.32 ф.26 ё.3 ъ.04"},
    // Ukrainian
    {kCyrillic, 0, u"о9.4 а7.2 н6.5 и6.1 і5.7 т5.5 в4.6 е4.7 р4.6 с4.2 у3.9 к3.6 л3.5 д3.3 м3.1 п2.9 "
                u"з2.3 я2.2 ь1.6 г1.6 б1.6 ч1.2 й1.1 х1.1 ц1 ж.9 ш.8 ю.8 є.8 ї.6 щ.4 ф.3 ґ.03"},
    // Belarusian
    {kCyrillic, 2, u"а8.5 о6.5 н5.5 і5.5 е4.3 р4.5 с4.5 т4 л3.9 в3.6 ы3.4 у3.2 я3.2 к3.5 д3 м3 п2.5 "
                u"з2.2 ц1.8 ў1.6 ч1.6 ь1.6 б1.6 г1.6 й1.3 ж1 х1 ш.9 ю.8 ё.8 э.7 ф.2"},
    // Bulgarian
    {kCyrillic, 2, u"а9.5 и9.3 о9.1 е8 н7.6 т7.2 р5.4 с4.5 в4.5 к3.4 л3.3 д3.2 п2.9 м2.8 ъ2.2 я2.1 "
                u"з1.8 г1.4 б1.3 ч1.3 у1.2 ц.8 ж.7 х.6 ш.5 щ.5 й.5 ю.3 ф.2 ь.03"},
    // Greek
    {kGreek, 2, u"α11 ο9 ι8 ε7.2 τ8 ν6.6 σ4.4 ς2.7 η4.4 ρ4.5 υ3.6 π4 κ4 μ3.3 λ2.7 δ1.7 γ1.7 ω1.3 "
             u"θ1.3 χ1.1 φ.8 β.7 ξ.4 ζ.3 ψ.15 ά1.7 έ1.4 ί1.4 ό1.3 ή1 ύ.7 ώ.5 ϊ.03 ϋ.005 ΐ.01 "
             u"ΰ.005"},
    // English
    {kLatin, 0, u"a8.2 b1.5 c2.8 d4.3 e12.7 f2.2 g2 h6.1 i7 j.15 k.77 l4 m2.4 n6.7 o7.5 p1.9 q.1 "
             u"r6 s6.3 t9.1 u2.8 v1 w2.4 x.15 y2 z.07"},
    // German
    {kLatin, 0, u"a6.5 b1.9 c2.7 d5.1 e16.4 f1.7 g3 h4.6 i6.6 j.27 k1.4 l3.4 m2.5 n9.8 o2.6 p.7 "
             u"q.02 r7 s7.3 t6.2 u4.2 v.85 w1.9 x.03 y.04 z1.1 ä.58 ö.3 ü.65 ß.31 é.01"},
    // French
    {kLatin, 0, u"a7.6 b.9 c3.3 d3.7 e14.7 f1.1 g.9 h.7 i7.5 j.6 k.05 l5.5 m3 n7.1 o5.8 p3 q1.4 "
             u"r6.7 s7.9 t7.2 u6.3 v1.8 w.05 x.4 y.3 z.15 é1.9 è.31 ê.23 à.49 â.05 ç.09 ù.06 "
             u"û.06 î.04 ï.005 ô.06 ë.005 œ.03 æ.001 ü.002 ÿ.001"},
    // Spanish
    {kLatin, 0, u"a11.5 b2.2 c4 d5 e12.2 f.7 g1.8 h.7 i6.2 j.5 k.01 l5 m3.2 n6.7 o8.7 p2.5 q.9 "
             u"r6.9 s8 t4.6 u2.9 v1.1 w.02 x.2 y1 z.5 á.5 é.43 í.7 ó.83 ú.17 ñ.31 ü.01"},
    // Portuguese
    {kLatin, 1, u"a13 b1 c3.9 d5 e12.6 f1 g1.3 h1.3 i6.2 j.4 k.02 l2.8 m4.7 n4.4 o9.7 p2.5 q1.2 "
             u"r6.5 s6.8 t4.3 u4.6 v1.7 w.04 x.25 y.01 z.5 á.37 à.07 â.06 ã.65 ç.45 é.34 ê.45 "
             u"í.13 ó.14 ô.06 õ.07 ú.09"},
    // Italian
    {kLatin, 0, u"a11.7 b.9 c4.5 d3.7 e11.8 f1.2 g1.6 h1.5 i11.3 j.01 k.01 l6.5 m2.5 n6.9 o9.8 "
             u"p3.1 q.5 r6.4 s5 t5.6 u3 v2.1 w.03 x.01 y.02 z1.2 à.15 è.26 é.03 ì.06 í.005 "
             u"ò.11 ó.005 ù.17 ú.005"},
    // Dutch
    {kLatin, 2, u"a7.5 b1.6 c1.2 d5.9 e18.9 f.8 g3.4 h2.4 i6.5 j1.5 k2.3 l3.6 m2.2 n10 o6.1 p1.6 "
             u"q.01 r6.4 s3.7 t6.8 u2 v2.9 w1.5 x.04 y.04 z1.4 ë.03 é.02 ï.01 ö.005 è.005 ü.005"},
    // Swedish
    {kLatin, 2, u"a9.4 b1.5 c1.5 d4.7 e10.1 f2 g2.9 h2.1 i5.8 j.6 k3.1 l5.3 m3.5 n8.5 o4.5 p1.8 "
             u"q.02 r8.4 s6.6 t7.7 u1.9 v2.4 w.14 x.16 y.7 z.07 å1.3 ä1.8 ö1.3 é.01"},
    // Danish and Norwegian
    {kLatin, 2, u"a6 b2 c.6 d5.9 e15.5 f2.4 g4.1 h1.6 i6 j.7 k3.4 l5.2 m3.2 n7.2 o4.6 p1.8 q.01 "
             u"r8.9 s5.8 t6.9 u2 v2.3 w.07 x.03 y.7 z.03 å1.1 æ.9 ø.9 é.02"},
    // Icelandic
    {kLatin, 4, u"a10.1 b1 c.01 d1.6 e6.4 f3 g4.2 h1.9 i7.6 j1.1 k3.3 l4.5 m4 n7.7 o2.2 p.8 q.001 "
             u"r8.6 s5.6 t5 u4.6 v2.4 w.001 x.05 y.9 z.001 á1.8 é.65 í1.5 ó1 ú.6 ý.9 ð4.4 "
             u"þ1.45 æ.87 ö.77"},
    // Finnish
    {kLatin, 3, u"a12.2 b.3 c.03 d1 e8 f.2 g.4 h1.9 i10.8 j2 k5 l5.8 m3.2 n8.8 o5.6 p1.8 q.01 "
             u"r2.9 s7.9 t8.8 u5 v2.2 w.1 x.01 y1.7 z.05 ä3.7 ö.44 å.005 š.002 ž.001"},
    // Estonian
    {kLatin, 4, u"a11.5 b.8 c.05 d4.2 e10.5 f.2 g1.8 h1.7 i9.5 j1.9 k4.5 l6.3 m3.7 n5.2 o4.7 p1.5 "
             u"q.001 r3.2 s7.9 t6.8 u5.4 v2.1 w.01 x.001 y.05 z.05 õ.66 ä.77 ö.09 ü.6 š.01 ž.01"},
    // Polish
    {kLatin, 1, u"a8.9 b1.5 c4 d3.3 e7.7 f.3 g1.4 h1.1 i8.2 j2.3 k3.5 l2.1 m2.8 n5.5 o7.8 p3.1 "
             u"q.01 r4.7 s4.3 t4 u2.5 v.04 w4.7 x.02 y3.8 z5.6 ą.99 ć.4 ę1.11 ł1.82 ń.2 ó.85 "
             u"ś.66 ź.06 ż.83"},
    // Czech
    {kLatin, 2, u"a6.7 b1.7 c1.5 d3.6 e7.7 f.3 g.1 h1.3 i4.5 j2.1 k3.7 l3.8 m3.2 n6.5 o8 p3.4 "
             u"q.001 r4 s4.6 t5.7 u2.2 v4.4 w.01 x.03 y1.7 z2.1 á2.2 č1.2 ď.04 é1.3 ě1.6 í3.2 "
             u"ň.08 ó.03 ř1.15 š.75 ť.04 ú.1 ů.54 ý1 ž1"},
    // Slovak
    {kLatin, 3, u"a9 b1.6 c1.5 d3.3 e8 f.2 g.2 h1.9 i5.4 j2 k3.7 l3.8 m3 n5.8 o9.1 p2.6 q.001 "
             u"r4.5 s4.6 t4.5 u2.4 v4.1 w.01 x.04 y1.4 z2 á2 ä.07 č.97 ď.16 é.7 í1.6 ĺ.01 "
             u"ľ.35 ň.08 ó.17 ô.12 ŕ.01 š.8 ť.5 ú.7 ý2 ž.7"},
    // Hungarian
    {kLatin, 2, u"a8.9 b1.9 c.6 d1.8 e10 f.8 g3 h1.2 i4.4 j1.1 k4.5 l5.5 m3.2 n5.2 o4 p1 q.01 "
             u"r4.3 s6 t7 u1 v1.9 w.01 x.01 y2 z4.2 á3.4 é2.7 í.6 ó1 ö1 ő.8 ú.3 ü.55 ű.09"},
    // Slovenian
    {kLatin, 3, u"a10.4 b1.9 c.7 d3.4 e10.5 f.2 g1.6 h1.1 i9 j4.7 k3.7 l5.3 m3.3 n6.3 o8.9 p3.4 "
             u"q.001 r5 s5.1 t4.3 u1.9 v3.8 w.001 x.001 y.001 z1.9 č1 š.9 ž.7"},
    // Croatian
    {kLatin, 3, u"a11.5 b1.5 c1.2 d3.3 e8.5 f.3 g1.6 h.8 i9.8 j5.1 k3.6 l3 m3.3 n6.6 o9 p2.9 "
             u"q.001 r5.4 s4.9 t4.4 u4.3 v3.5 w.001 x.001 y.001 z1.6 č1 ć.8 đ.2 š.6 ž.7"},
    // Romanian
    {kLatin, 3, u"a9.9 b1 c4.4 d3.5 e11.5 f1.3 g1 h.5 i9.9 j.2 k.1 l4.5 m3.1 n6.5 o4.9 p2.8 "
             u"q.001 r6.9 s4.3 t6.2 u6.2 v1.2 w.03 x.3 y.1 z.7 ă4 â.5 î1 ş1.4 ţ1"},
    // Lithuanian
    {kLatin, 3, u"a11.5 b1.3 c.3 d2.6 e5.5 f.2 g2 h.1 i13 j2.2 k4.6 l3.2 m3.5 n5 o5.8 p2.5 q.001 "
             u"r5.5 s7.9 t5.8 u4.4 v2.4 w.001 x.001 y1.4 z.2 ą.65 č.42 ę.22 ė1.6 į1.1 š1.2 "
             u"ų1.4 ū.46 ž.75"},
    // Latvian
    {kLatin, 3, u"a11.5 b1.5 c1 d3.3 e6 f.3 g1.3 h.1 i8 j2 k4 l3.5 m3.5 n4.5 o3.5 p2.7 q.001 "
             u"r5.5 s8 t6 u4.5 v3 w.001 x.001 y.001 z2 ā4 č.15 ē1.7 ģ.12 ī1.7 ķ.15 ļ.35 ņ.35 "
             u"š1.4 ū.5 ž.9"},
};
// clang-format on
constexpr int kLanguages = sizeof kLanguageLetters / sizeof kLanguageLetters[0];

// A letter beyond ASCII weighs about 4 ln(share per mille) - 8, so that
// common letters gain and rare ones cost, and a letter the language lacks
// costs more than any. An ASCII letter reads alike in every candidate: it
// weighs only how much more common it is in the language than in Latin
// languages on average, which tells the language of the letters beside it.
constexpr float kScale = 4;
constexpr float kShift = -8;
constexpr float kRarest = -10;
constexpr float kCommonest = 12;
constexpr float kForeign = -16;
constexpr float kAsciiScale = 2;
constexpr int kAsciiLetters = 26;

struct Language {
  Script script;
  float rarity;
  std::array<float, kMostLetters> weight;
  std::array<float, kAsciiLetters> ascii;
};

// `letters` as letter and share pairs.
template <typename Each>
void ForEachShare(const char16_t* letters, Each each) {
  for (const char16_t* p = letters; *p != 0;) {
    const char16_t letter = *p++;
    float share = 0, place = 0;  // place: that of the next digit after the point
    for (; *p != 0 && *p != ' '; ++p) {
      if (*p == '.') {
        place = 0.1f;
      } else if (place == 0) {
        share = share * 10 + static_cast<float>(*p - '0');
      } else {
        share += place * static_cast<float>(*p - '0');
        place /= 10;
      }
    }
    while (*p == ' ') ++p;
    each(letter, share);
  }
}

const std::vector<Language>& Languages() {
  static const std::vector<Language> languages = [] {
    std::vector<Language> all;
    std::array<float, kAsciiLetters> average{};
    float latin = 0;
    for (const LanguageLetters& spec : kLanguageLetters) {
      Language l;
      l.script = spec.script;
      l.rarity = spec.rarity;
      l.weight.fill(kForeign);
      l.ascii.fill(0);
      ForEachShare(spec.letters, [&](char16_t letter, float share) {
        if (letter >= 'a' && letter <= 'z') {
          l.ascii[letter - 'a'] = share;
          average[letter - 'a'] += share;
        } else {
          l.weight[Describe(letter).letter] =
              std::clamp(kScale * std::log(10 * share) + kShift, kRarest, kCommonest);
        }
      });
      if (spec.script == kLatin) latin += 1;
      all.push_back(l);
    }
    for (Language& l : all) {
      if (l.script != kLatin) continue;
      for (int a = 0; a < kAsciiLetters; ++a)
        l.ascii[a] = kAsciiScale * std::log(std::max(l.ascii[a], 0.001f) * latin / average[a]);
    }
    return all;
  }();
  return languages;
}

// ------------------------------------------------------------ scoring

// Longer words are spelled out this far.
constexpr size_t kLongestSpelled = 40;

// A reading of one file's texts, added up: the cost of what text is not, and
// the weight of its letters in each language.
class Tally {
 public:
  Tally() : languages_(Languages()), table_(CharTable()) {
    sums_.fill(0);
    asciiCounts_.fill(0);
    // kLanguageLetters lists the languages of a script together.
    for (size_t n = languages_.size(); n-- > 0;) first_[languages_[n].script] = n;
    for (size_t n = 0; n < languages_.size(); ++n) end_[languages_[n].script] = n + 1;
  }

  void Add(std::u16string_view text);

  // The costs, and in each script the weights of the language that fits best
  // (in Latin less what its ASCII letters alone weigh in the language they
  // fit best, the same in every reading: ASCII text scores 0).
  int Score() const {
    float best[kScripts] = {};
    float bestAscii = 0;
    int present[kAsciiLetters];
    int seenAscii = 0;
    for (int a = 0; a < kAsciiLetters; ++a)
      if (asciiCounts_[a] != 0) present[seenAscii++] = a;
    for (size_t n = 0; n < languages_.size(); ++n) {
      const Language& l = languages_[n];
      float ascii = 0;
      if (l.script == kLatin) {
        for (int k = 0; k < seenAscii; ++k)
          ascii += static_cast<float>(asciiCounts_[present[k]]) * l.ascii[present[k]];
        if (n == first_[kLatin] || ascii > bestAscii) bestAscii = ascii;
      }
      const float sum = sums_[n] + ascii - l.rarity;
      if (n == first_[l.script] || sum > best[l.script]) best[l.script] = sum;
    }
    float total = -static_cast<float>(cost_);
    // A script counts only where its letters are.
    for (int s = 0; s < kScripts; ++s)
      if (seen_[s]) total += best[s];
    if (seen_[kLatin]) total -= bestAscii;
    return static_cast<int>(std::lround(total));
  }

 private:
  CharInfo Info(char16_t c) const { return c < kTabled ? table_[c] : Describe(c); }
  void Word(std::u16string_view word);
  // What the spelling of a word beyond ASCII in `script` costs.
  int Spelling(std::u16string_view word, Script script, bool capitals) const;

  const std::vector<Language>& languages_;
  const std::array<CharInfo, kTabled>& table_;
  int cost_ = 0;
  bool seen_[kScripts] = {};
  // Whether a word beyond ASCII is all capitals, one starts with a small letter.
  bool capsWord_ = false;
  bool smallWord_ = false;
  std::array<float, kLanguages> sums_;          // of the letters beyond ASCII
  std::array<int, kAsciiLetters> asciiCounts_;  // of each ASCII letter
  std::array<size_t, kScripts> first_;          // the first language of each script
  std::array<size_t, kScripts> end_;            // past the last one
};

void Tally::Word(std::u16string_view word) {
  int scripts[kScripts] = {};
  int upper = 0, beyondAscii = 0;
  const int letters = static_cast<int>(word.size());
  for (char16_t c : word) {
    const CharInfo info = Info(c);
    ++scripts[info.script];
    if (info.upper) ++upper;
    if (info.kind == Kind::Letter) ++beyondAscii;
  }
  // Letters of a second script in a word cost, and tell nothing of a language.
  const Script script =
      static_cast<Script>(std::max_element(scripts, scripts + kScripts) - scripts);
  if (scripts[script] < letters) cost_ += 12 * (letters - scripts[script] + 1);
  seen_[script] = true;
  for (char16_t c : word) {
    const CharInfo info = Info(c);
    if (info.script != script) continue;
    if (info.kind == Kind::AsciiLetter) {
      ++asciiCounts_[(c | 0x20) - 'a'];
    } else {
      for (size_t n = first_[script]; n < end_[script]; ++n)
        sums_[n] += languages_[n].weight[info.letter];
    }
  }
  // Words of ASCII alone read alike in every candidate.
  if (beyondAscii == 0) return;
  // All lower, all upper, or a capital followed by lower case; least of all
  // a small letter followed by capitals.
  const bool firstUpper = Info(word[0]).upper;
  const bool capitals = upper == letters;
  if (upper != 0 && !capitals && !(upper == 1 && firstUpper)) cost_ += firstUpper ? 10 : 20;
  if (capitals && letters > 1) capsWord_ = true;
  if (!firstUpper) smallWord_ = true;
  cost_ += Spelling(word, script, capitals);
}

bool OneOf(char16_t c, std::u16string_view letters) {
  return letters.find(c) != std::u16string_view::npos;
}

constexpr std::u16string_view kGreekStressed = u"άέήίόύώΐΰ";

int Tally::Spelling(std::u16string_view word, Script script, bool capitals) const {
  char16_t small[kLongestSpelled];
  bool vowels[kLongestSpelled];
  const size_t n = std::min(word.size(), kLongestSpelled);
  for (size_t i = 0; i < n; ++i) {
    const CharInfo info = Info(word[i]);
    small[i] = info.small;
    vowels[i] = info.vowel && info.script == script;
  }
  auto vowel = [&](size_t i) { return i < n && vowels[i]; };
  auto after = [&](size_t i, auto test) { return i > 0 && test(i - 1); };
  int syllables = 0, stresses = 0, wrong = 0;
  // clang-format off
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = small[i];
    if (vowel(i) && !after(i, vowel)) ++syllables;
    if (script == kLatin) {
      switch (c) {
        // ç before a, o and u only; ë and ï after a vowel, ß too; ě after b d
        // f m n p t v; ů after a consonant; ð, ñ and ă never first, þ only first.
        case u'ç': wrong += i + 1 < n && !OneOf(small[i + 1], u"aouáàâãóòôõúü"); break;
        case u'ë': case u'ï': case u'ß': wrong += !after(i, vowel); break;
        case u'ě': wrong += !(i > 0 && OneOf(small[i - 1], u"bdfmnptv")); break;
        case u'ů': wrong += i == 0 || after(i, vowel); break;
        case u'ð': case u'ñ': case u'ă': wrong += i == 0; break;
        case u'þ': wrong += i > 0; break;
        // Long and nasal vowels and æ stand beside consonants (or after i);
        // vowels with a grave accent, ś, ź and ń never before a vowel.
        case u'ą': case u'ę': case u'ė': case u'į': case u'ų': case u'ū': case u'ā': case u'ē':
        case u'ī': case u'ō': case u'æ':
          wrong += vowel(i + 1) || (after(i, vowel) && small[i - 1] != u'i');
          break;
        case u'à': case u'è': case u'ì': case u'ò': case u'ù':
        case u'ś': case u'ź': case u'ń':
          wrong += vowel(i + 1);
          break;
        default: break;
      }
    } else if (script == kCyrillic) {
      switch (c) {
        // No soft or hard sign first or after a vowel, nor a hard sign last
        // or ы first; й and ї first or after a vowel (or a soft sign).
        case u'ь': case u'ъ': wrong += i == 0 || after(i, vowel) || (c == u'ъ' && i + 1 == n); break;
        case u'ы': wrong += i == 0; break;
        case u'й': case u'ї': wrong += i > 0 && !vowel(i - 1) && small[i - 1] != u'ь'; break;
        default: break;
      }
    } else {
      // The final sigma ends a word; a word stresses one vowel at most.
      wrong += c == u'ς' && i + 1 < n;
      stresses += OneOf(c, kGreekStressed);
    }
  }
  // clang-format on
  // Words not in capitals have a vowel (save Latin ones: krk, smrt); Greek
  // words of two syllables or more one stress mark.
  if (!capitals && n > 1 && syllables == 0 && script != kLatin) ++wrong;
  if (script == kGreek && !capitals && syllables > 1 && stresses == 0) ++wrong;
  if (stresses > 1) wrong += stresses - 1;
  return 8 * wrong;
}

void Tally::Add(std::u16string_view text) {
  capsWord_ = smallWord_ = false;
  auto isLetter = [&](size_t i) {
    const Kind kind = Info(text[i]).kind;
    return kind == Kind::AsciiLetter || kind == Kind::Letter;
  };
  size_t i = 0;
  while (i < text.size()) {
    if (isLetter(i)) {
      size_t end = i;
      while (end < text.size() && isLetter(end)) ++end;
      Word(text.substr(i, end - i));
      i = end;
      continue;
    }
    const Kind kind = Info(text[i]).kind;
    // A sign of 128 or above between two letters splits what is one word; a
    // question mark there stands for a letter lost.
    const bool inWord = i > 0 && i + 1 < text.size() && isLetter(i - 1) && isLetter(i + 1);
    if (inWord && kind != Kind::Apostrophe && (text[i] >= 0x80 || text[i] == '?')) cost_ += 12;
    switch (kind) {
      case Kind::Bad: cost_ += 25; break;
      case Kind::Box: cost_ += 20; break;
      case Kind::Symbol: cost_ += 8; break;
      case Kind::Punctuation: cost_ += 2; break;
      default: break;
    }
    ++i;
  }
  // A text is written in capitals or not.
  if (capsWord_ && smallWord_) cost_ += 6;
  // Guillemets come in pairs.
  int guillemets = 0;
  for (char16_t c : text) guillemets += c == u'«' ? 1 : c == u'»' ? -1 : 0;
  cost_ += 6 * std::abs(guillemets);
}

}  // namespace

int TextScore(std::u16string_view text) {
  Tally tally;
  tally.Add(text);
  return tally.Score();
}

size_t GuessCodePage(const std::vector<std::string>& texts, const std::vector<TextDecoder>& decoders,
                     std::vector<int>* scores) {
  size_t best = 0;
  int bestScore = 0;
  if (scores) scores->clear();
  for (size_t n = 0; n < decoders.size(); ++n) {
    Tally tally;
    for (const std::string& text : texts) tally.Add(decoders[n](text));
    const int score = tally.Score();
    if (scores) scores->push_back(score);
    if (n == 0 || score > bestScore) {
      best = n;
      bestScore = score;
    }
  }
  return best;
}

}  // namespace tags

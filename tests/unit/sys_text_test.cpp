// OEM and ANSI text of the system layer, and the environment. Natively each
// pair of code pages is chosen through TAGWRIGHT_CODEPAGES; under Wine the
// process has the pair of its locale and the other pair's cases are skipped.
#include "sys_test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>

#include "sys/posix/posix_internal.h"
#endif

#include <string>
#include <vector>

namespace {

struct Pages {
  unsigned oem;
  unsigned ansi;
};

// Makes `pages` the process's pair for the test, or says why it cannot.
class UsePages {
 public:
  explicit UsePages(Pages pages)
#ifndef _WIN32
      : env_("TAGWRIGHT_CODEPAGES", std::to_string(pages.oem) + ":" + std::to_string(pages.ansi))
#endif
  {
    available_ = sys::OemCodePage() == pages.oem && sys::AnsiCodePage() == pages.ansi;
  }
  bool available() const { return available_; }

 private:
#ifndef _WIN32
  systest::ScopedEnv env_;
#endif
  bool available_ = false;
};

std::string CharToOem(const std::string& ansi) {
  std::string out(ansi.size() + 1, '\0');
  sys::CharToOem(ansi.c_str(), out.data());
  out.resize(ansi.size());
  return out;
}

std::string OemToChar(const std::string& oem) {
  std::string out(oem.size() + 1, '\0');
  sys::OemToChar(oem.c_str(), out.data());
  out.resize(oem.size());
  return out;
}

struct Case {
  const char* what;
  Pages pages;
  std::string ansi;
  std::string oem;
};

// Texts that both code pages of a pair hold, in each one's bytes.
const Case kBothWays[] = {
    {"Russian letters, Yo and the numero sign", {866, 1251},
     "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xB8 \xB9 \xC0\xDF\xE0\xFF",  // Привет, Ёё № АЯая
     "\x8F\xE0\xA8\xA2\xA5\xE2, \xF0\xF1 \xFC \x80\x9F\xA0\xEF"},
    {"Western accents and the pound sign", {437, 1252},
     "\xC7\xFC\xE9 \xF1\xA3 \xC5\xE6",  // Çüé ñ£ Åæ
     "\x80\x81\x82 \xA4\x9C \x8F\x91"},
    {"ASCII stays as it is", {866, 1251}, "Track 01 - [Live] ~ {x}", "Track 01 - [Live] ~ {x}"},
    {"ASCII stays as it is", {437, 1252}, "Track 01 - [Live] ~ {x}", "Track 01 - [Live] ~ {x}"},
};

TEST(SysText, AnsiAndOemConvertBothWays) {
  for (const Case& c : kBothWays) {
    UsePages use(c.pages);
    if (!use.available()) continue;
    EXPECT_EQ(CharToOem(c.ansi), c.oem) << c.what;
    EXPECT_EQ(OemToChar(c.oem), c.ansi) << c.what;
    // In place, as the tag text conversions call it.
    std::string text = c.ansi;
    sys::CharToOem(text.c_str(), text.data());
    EXPECT_EQ(text, c.oem) << c.what;
  }
  UsePages russian({866, 1251});
  UsePages western({437, 1252});
  if (!russian.available() && !western.available()) GTEST_SKIP() << "neither pair is in use";
}

// A character that the other code page lacks becomes '?'. Windows puts a
// look-alike in its place where it knows one ('v' for a square root, 'e' for
// e-acute in 1251); this layer does not guess, so those cases run natively.
TEST(SysText, CharactersWithoutEquivalentBecomeQuestionMarks) {
  const Case cases[] = {
      {"euro sign into 866", {866, 1251}, "5\x88", "5?"},
      {"euro sign into 437", {437, 1252}, "5\x80", "5?"},
  };
  for (const Case& c : cases) {
    UsePages use(c.pages);
    if (use.available()) {
      EXPECT_EQ(CharToOem(c.ansi), c.oem) << c.what;
    }
  }
#ifndef _WIN32
  const Case reverse[] = {
      {"square root from 866", {866, 1251}, "?", "\xFB"},
      {"double box corner from 866", {866, 1251}, "?", "\xC9"},
      {"Greek alpha from 437", {437, 1252}, "?", "\xE0"},
  };
  for (const Case& c : reverse) {
    UsePages use(c.pages);
    EXPECT_EQ(OemToChar(c.oem), c.ansi) << c.what;
  }
  UsePages russian({866, 1251});
  const std::u16string accented = u"caf\u00E9";
  EXPECT_EQ(sys::WideToAnsi(accented.data(), accented.size()), "caf?");
#endif
}

TEST(SysText, BufferVersionsConvertExactlyTheGivenBytes) {
  UsePages use({866, 1251});
  if (!use.available()) GTEST_SKIP() << "code pages 866 and 1251 are not in use";
  const char ansi[] = {'\xC0', '\0', '\xC1', 'x'};
  char oem[5] = {0, 0, 0, 0, '#'};
  sys::CharToOemBuff(ansi, oem, 4);
  EXPECT_EQ(std::string(oem, 5), std::string("\x80\0\x81x#", 5));
  char back[4];
  sys::OemToCharBuff(oem, back, 4);
  EXPECT_EQ(std::string(back, 4), std::string(ansi, 4));
}

TEST(SysText, WideToAnsi) {
  UsePages russian({866, 1251});
  if (russian.available()) {
    const std::u16string text = u"Привет, мир";
    EXPECT_EQ(sys::WideToAnsi(text.data(), text.size()), "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0");
    const std::u16string mixed = u"\u4E2D\u0401";  // 中 Ё: 1251 has only Ё
    EXPECT_EQ(sys::WideToAnsi(mixed.data(), mixed.size()), "?\xA8");
  }
  UsePages western({437, 1252});
  if (western.available()) {
    const std::u16string text = u"\u00C7a co\u00FBte 5\u20AC";
    EXPECT_EQ(sys::WideToAnsi(text.data(), text.size()), "\xC7" "a co\xFBte 5\x80");
  }
  // A zero inside is kept; the length alone ends the text.
  const char16_t withZero[] = {u'a', 0, u'b'};
  EXPECT_EQ(sys::WideToAnsi(withZero, 3), std::string("a\0b", 3));
  EXPECT_EQ(sys::WideToAnsi(withZero, 0), "");
}

TEST(SysText, CharactersBeyondTheBasicPlane) {
  // U+1F600 as a surrogate pair, then a high surrogate alone before 'x'.
  const char16_t pair[] = {u'<', 0xD83D, 0xDE00, u'>'};
  const char16_t lone[] = {0xD83D, u'x'};
#ifdef _WIN32
  // Windows versions differ in the number of '?' for a pair.
  const std::string fromPair = sys::WideToAnsi(pair, 4);
  EXPECT_TRUE(fromPair == "<?>" || fromPair == "<?" "?>") << fromPair;
#else
  EXPECT_EQ(sys::WideToAnsi(pair, 4), "<?>");
#endif
  EXPECT_EQ(sys::WideToAnsi(lone, 2), "?x");
}

#ifndef _WIN32
// Without TAGWRIGHT_CODEPAGES the pair follows the locale's language, as
// Windows pairs them.
TEST(SysText, PairFollowsTheLocalesLanguage) {
  const struct {
    const char* lcAll;
    const char* lang;
    const char* configured;
    Pages pages;
  } cases[] = {
      {"ru_RU.UTF-8", nullptr, nullptr, {866, 1251}},
      {"uk_UA.UTF-8", nullptr, nullptr, {866, 1251}},
      {nullptr, "be_BY.UTF-8", nullptr, {866, 1251}},
      {"bg_BG.UTF-8", nullptr, nullptr, {866, 1251}},
      {"sr_RS@latin", nullptr, nullptr, {866, 1251}},
      {"el_GR.UTF-8", nullptr, nullptr, {737, 1253}},
      {"C.UTF-8", nullptr, nullptr, {437, 1252}},
      {"el_GR.UTF-8", nullptr, "866:1251", {866, 1251}},
      {"en_US.UTF-8", "ru_RU.UTF-8", nullptr, {437, 1252}},
      {"C", nullptr, nullptr, {437, 1252}},
      {"de_DE@euro", nullptr, nullptr, {437, 1252}},
      {nullptr, nullptr, nullptr, {437, 1252}},
      {"ru_RU.UTF-8", nullptr, "850:1252", {850, 1252}},
      {"ru_RU.UTF-8", nullptr, "866", {866, 1251}},        // malformed: the locale decides
      {"en_US.UTF-8", nullptr, "99999:1251", {437, 1252}},  // unknown code page: likewise
  };
  for (const auto& c : cases) {
    systest::ScopedEnv lcAll("LC_ALL", c.lcAll ? std::optional<std::string>(c.lcAll) : std::nullopt);
    systest::ScopedEnv lcCtype("LC_CTYPE", std::nullopt);
    systest::ScopedEnv lang("LANG", c.lang ? std::optional<std::string>(c.lang) : std::nullopt);
    systest::ScopedEnv configured("TAGWRIGHT_CODEPAGES", c.configured
                                                             ? std::optional<std::string>(c.configured)
                                                             : std::nullopt);
    EXPECT_EQ(sys::OemCodePage(), c.pages.oem) << (c.lcAll ? c.lcAll : "-") << " " << (c.lang ? c.lang : "-");
    EXPECT_EQ(sys::AnsiCodePage(), c.pages.ansi) << (c.lcAll ? c.lcAll : "-");
  }
}
#endif

#ifndef _WIN32
// The host's text is UTF-8 when the locale variable in force (LC_ALL, else
// LC_CTYPE, else LANG) names the UTF-8 codeset; TAGWRIGHT_HOST_TEXT decides
// instead. The code page pair stays the one of the locale's language.
TEST(SysText, HostTextIsUtf8InAUtf8Locale) {
  const struct {
    const char* lcAll;
    const char* lcCtype;
    const char* lang;
    const char* chosen;
    bool utf8;
  } cases[] = {
      {"en_US.UTF-8", nullptr, nullptr, nullptr, true},
      {"C.UTF-8", nullptr, nullptr, nullptr, true},
      {"ru_RU.utf8", nullptr, nullptr, nullptr, true},
      {"sr_RS.UTF-8@latin", nullptr, nullptr, nullptr, true},
      {nullptr, "el_GR.UTF-8", nullptr, nullptr, true},
      {nullptr, nullptr, "de_DE.UTF-8", nullptr, true},
      {"ru_RU.KOI8-R", nullptr, "ru_RU.UTF-8", nullptr, false},  // LC_ALL first
      {nullptr, "C", "en_US.UTF-8", nullptr, false},             // then LC_CTYPE
      {"", "", "en_US.UTF-8", nullptr, true},                    // empty is unset
      {"C", nullptr, nullptr, nullptr, false},
      {"POSIX", nullptr, nullptr, nullptr, false},
      {"ru_RU.CP1251", nullptr, nullptr, nullptr, false},
      {"en_US.UTF-16", nullptr, nullptr, nullptr, false},
      {nullptr, nullptr, nullptr, nullptr, false},
      {"en_US.UTF-8", nullptr, nullptr, "oem", false},
      {"C", nullptr, nullptr, "utf8", true},
      {"C", nullptr, nullptr, "UTF-8", true},
      {"en_US.UTF-8", nullptr, nullptr, "latin1", true},  // not a choice: the locale decides
  };
  auto value = [](const char* v) { return v ? std::optional<std::string>(v) : std::nullopt; };
  for (const auto& c : cases) {
    systest::ScopedEnv lcAll("LC_ALL", value(c.lcAll));
    systest::ScopedEnv lcCtype("LC_CTYPE", value(c.lcCtype));
    systest::ScopedEnv lang("LANG", value(c.lang));
    systest::ScopedEnv chosen("TAGWRIGHT_HOST_TEXT", value(c.chosen));
    EXPECT_EQ(sys::HostTextIsUtf8(), c.utf8)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lcCtype ? c.lcCtype : "-") << " "
        << (c.lang ? c.lang : "-") << " " << (c.chosen ? c.chosen : "-");
  }
  // A Russian UTF-8 locale: UTF-8 host text, and still 866 and 1251 for 8-bit tags.
  systest::ScopedEnv lcAll("LC_ALL", "ru_RU.UTF-8");
  systest::ScopedEnv configured("TAGWRIGHT_CODEPAGES", std::nullopt);
  systest::ScopedEnv chosen("TAGWRIGHT_HOST_TEXT", std::nullopt);
  EXPECT_TRUE(sys::HostTextIsUtf8());
  EXPECT_EQ(sys::OemCodePage(), 866u);
  EXPECT_EQ(sys::AnsiCodePage(), 1251u);
}
#else
TEST(SysText, FarHandsPluginsOemText) {
  systest::ScopedEnv chosen("TAGWRIGHT_HOST_TEXT", "utf8");
  EXPECT_FALSE(sys::HostTextIsUtf8());
}
#endif

#ifndef _WIN32
// The tables are built from runs of bytes converted at once; each entry must
// be what the byte converted alone gives, in code pages with holes (1253,
// 1255), with characters that combine (1258) and without any (KOI8-R).
TEST(SysText, TablesBuiltFromRunsMatchBytesDecodedAlone) {
  for (const char* name : {"CP437", "CP737", "CP850", "CP866", "CP1250", "CP1251", "CP1252",
                           "CP1253", "CP1255", "CP1257", "CP1258", "KOI8-R", "ISO-8859-5"}) {
    SCOPED_TRACE(name);
    iconv_t cd = iconv_open(sys::posix::kIconvUnits, name);  // the C library has all of them
    iconv_t utf16 = iconv_open("UTF-16LE", name);
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    ASSERT_NE(utf16, reinterpret_cast<iconv_t>(-1));
    char16_t table[256];
    sys::posix::DecodeBytes(cd, table, 0xFFFF);
    for (int b = 0; b < 256; ++b) {
      EXPECT_EQ(table[b], sys::posix::DecodeByte(cd, static_cast<uint8_t>(b), 0xFFFF)) << b;
      // The built-in units are UTF-16's.
      EXPECT_EQ(table[b], sys::posix::DecodeByte(utf16, static_cast<uint8_t>(b), 0xFFFF)) << b;
    }
    iconv_close(cd);
    iconv_close(utf16);
  }
}
#endif

#ifndef _WIN32
// The reverse lookup gives back every byte's character (the lowest byte where
// two share one), and nothing for characters the code page lacks, also in
// the blocks it uses and next to them.
TEST(SysText, ReverseLookupOfWholeCodePages) {
  for (unsigned page : {437u, 850u, 866u, 1250u, 1251u, 1252u, 1253u, 1255u}) {
    SCOPED_TRACE(page);
    const sys::posix::CodePageTable table(page);
    ASSERT_TRUE(table.Valid());
    std::vector<int> lowest(0x10000, -1);
    for (int b = 255; b >= 0; --b)
      if (table.ToUnicode(static_cast<uint8_t>(b)) != 0xFFFF) lowest[table.ToUnicode(static_cast<uint8_t>(b))] = b;
    for (uint32_t c = 0; c < 0x10000; ++c) ASSERT_EQ(table.FromUnicode(c), lowest[c]) << std::hex << c;
    EXPECT_EQ(table.FromUnicode(0x1F600), -1);
  }
}
#endif

TEST(SysEnvironment, SetEmptyAndMissingVariables) {
  const std::string name = "TAGWRIGHT_TEST_" + std::to_string(systest::ProcessId());
  std::string value = "unchanged";
  EXPECT_FALSE(sys::GetEnv(name.c_str(), &value));
  {
    systest::ScopedEnv set(name.c_str(), std::string("Ivan Petrov"));
    ASSERT_TRUE(sys::GetEnv(name.c_str(), &value));
    EXPECT_EQ(value, "Ivan Petrov");
  }
  {
    systest::ScopedEnv empty(name.c_str(), std::string());
    value.assign(1, 'x');
#ifdef _WIN32
    // Windows does not keep a variable with an empty value.
    if (!sys::GetEnv(name.c_str(), &value)) return;
#endif
    ASSERT_TRUE(sys::GetEnv(name.c_str(), &value));
    EXPECT_EQ(value, "");
  }
}

}  // namespace

#include "tags/codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/settings.h"
#include "settings_sandbox.h"
#include "sys/sys.h"
#include "tags/utf8.h"

namespace {

using settingstest::SettingsSandbox;
using tags::CodePage;
using tags::CodePageKind;

// "Привет, Ёё!" in the three code pages of these tests.
const std::string kAnsi = "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xB8!";  // 1251
const std::string kOem = "\x8F\xE0\xA8\xA2\xA5\xE2, \xF0\xF1!";   // 866
const std::string kKoi8 = "\xF0\xD2\xC9\xD7\xC5\xD4, \xB3\xA3!";  // KOI8-R

// A host character table as the host computes it against OEM 866: the KOI8-R
// letters (in KOI8 order, by their place in the alphabet) and the ASCII half.
CharTableSet Koi8Table() {
  static const int kAlphabetPlace[32] = {30, 0,  1,  22, 4,  5,  20, 3,  21, 8,  9,
                                         10, 11, 12, 13, 14, 15, 31, 16, 17, 18, 19,
                                         6,  2,  28, 27, 7,  24, 29, 25, 23, 26};
  CharTableSet table{};
  for (int b = 0; b < 256; ++b) table.DecodeTable[b] = table.EncodeTable[b] = '?';
  for (int b = 0; b < 128; ++b) table.DecodeTable[b] = table.EncodeTable[b] = b;
  const auto link = [&](int koi8, int oem) {
    table.DecodeTable[koi8] = static_cast<unsigned char>(oem);
    table.EncodeTable[oem] = static_cast<unsigned char>(koi8);
  };
  for (int i = 0; i < 32; ++i) {
    const int place = kAlphabetPlace[i];
    link(0xC0 + i, place < 16 ? 0xA0 + place : 0xE0 + place - 16);  // small letters
    link(0xE0 + i, 0x80 + place);                                    // capitals
  }
  link(0xA3, 0xF1);  // ё
  link(0xB3, 0xF0);  // Ё
  std::strcpy(table.TableName, "KOI8-R");
  return table;
}

// Another table whose conversion would show: every byte maps to 'x'.
CharTableSet NamedTable(const char* name) {
  CharTableSet table{};
  std::memset(table.DecodeTable, 'x', sizeof table.DecodeTable);
  std::memset(table.EncodeTable, 'x', sizeof table.EncodeTable);
  std::strcpy(table.TableName, name);
  return table;
}

class CodePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = settingstest::GetEnvironment("TAGWRIGHT_CODEPAGES");
#ifndef _WIN32
    settingstest::SetEnvironment("TAGWRIGHT_CODEPAGES", "866:1251");
#endif
    if (sys::OemCodePage() != 866 || sys::AnsiCodePage() != 1251) {
      GTEST_SKIP() << "needs OEM 866 and ANSI 1251 (LC_ALL=ru_RU.UTF-8 under Wine)";
    }
    box_.Host().SetCharTables({NamedTable("ISO-8859-5"), Koi8Table()});
  }
  void TearDown() override { settingstest::SetEnvironment("TAGWRIGHT_CODEPAGES", saved_); }

  CodePage Load(const std::optional<std::string>& setting) {
    if (setting) host::WriteString("TagCP", "ConfigDialog", *setting);
    CodePage codePage;
    codePage.Kind = CodePageKind::Oem;
    host::LoadCodePage("TagCP", "ConfigDialog", codePage);
    return codePage;
  }

  std::optional<std::string> saved_;
  SettingsSandbox box_;
};

TEST_F(CodePageTest, SettingChoosesTheKind) {
  struct Case {
    std::optional<std::string> setting;
    CodePageKind kind;
  };
  const Case cases[] = {
      {std::nullopt, CodePageKind::Ansi},  {"Windows text", CodePageKind::Ansi},
      {"windows text", CodePageKind::Ansi}, {"Dos text", CodePageKind::Oem},
      {"DOS TEXT", CodePageKind::Ansi},     {"CP1125", CodePageKind::Ansi},
      {"koi8-r", CodePageKind::HostTable},  {"iso-8859-5", CodePageKind::HostTable},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Load(c.setting).Kind, c.kind) << c.setting.value_or("(absent)");
  }
  EXPECT_STREQ(Load("Koi8-R").Table.TableName, "KOI8-R");
}

TEST_F(CodePageTest, EachKindConvertsToAndFromOem) {
  const CodePage koi8 = Load("KOI8-R");
  struct Case {
    CodePage codePage;
    std::string native;
  };
  for (const Case& c : {Case{Load("Windows text"), kAnsi}, Case{Load("Dos text"), kOem},
                        Case{koi8, kKoi8}}) {
    std::string text = c.native;
    EXPECT_EQ(tags::ToOem(text.data(), c.codePage), text.data());
    EXPECT_EQ(text, kOem) << int(c.codePage.Kind);
    tags::FromOem(text, c.codePage);
    EXPECT_EQ(text, c.native) << int(c.codePage.Kind);
  }
}

TEST_F(CodePageTest, ConversionStopsAtTheFirstZeroByte) {
  for (const CodePage& codePage : {Load("Windows text"), Load("KOI8-R")}) {
    std::string text = std::string("\xF0\xD2", 2) + '\0' + "\xF0\xD2";
    const std::string tail = text.substr(2);
    tags::ToOem(text, codePage);
    EXPECT_NE(text.substr(0, 2), "\xF0\xD2");
    EXPECT_EQ(text.substr(2), tail);
    tags::FromOem(text, codePage);
    EXPECT_EQ(text.substr(2), tail);
  }
  std::string empty;
  tags::ToOem(empty, Load("Windows text"));
  EXPECT_EQ(empty, "");
}

TEST_F(CodePageTest, RecodeGoesThroughOemUnlessBothNameTheSameCodePage) {
  const CodePage ansi = Load("Windows text");
  const CodePage oem = Load("Dos text");
  const CodePage koi8 = Load("KOI8-R");
  struct Case {
    const CodePage& from;
    const CodePage& to;
    std::string in, out;
  };
  const Case cases[] = {
      {koi8, ansi, kKoi8, kAnsi}, {ansi, koi8, kAnsi, kKoi8}, {oem, ansi, kOem, kAnsi},
      {ansi, oem, kAnsi, kOem},   {ansi, ansi, kAnsi, kAnsi}, {koi8, koi8, kKoi8, kKoi8},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    tags::Recode(text, c.from, c.to);
    EXPECT_EQ(text, c.out) << int(c.from.Kind) << "->" << int(c.to.Kind);
  }
  // Two records of one table named in different case are the same code page,
  // whatever their tables hold.
  CodePage other = koi8;
  const CharTableSet table = NamedTable("koi8-r");
  std::memcpy(&other.Table, &table, sizeof table);
  std::string text = kKoi8;
  tags::Recode(text, koi8, other);
  EXPECT_EQ(text, kKoi8);
  std::strcpy(other.Table.TableName, "KOI8-U");
  tags::Recode(text, koi8, other);
  EXPECT_EQ(text, std::string("xxxxxxxxxxx"));
}

// 8-bit text and UTF-8: every byte of every kind of code page reads as a
// character of its own and writes back as itself, so that a text read and
// written again keeps its bytes, also where the code page defines no
// character (0x98 of 1251, several bytes of 1253).
TEST_F(CodePageTest, EveryByteReadsAsACharacterAndWritesBackAsItself) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::vector<CodePage> pages(5);
  pages[0].Kind = CodePageKind::Oem;
  pages[1].Kind = CodePageKind::Ansi;
  for (size_t i = 2; i < pages.size(); ++i) pages[i].Kind = CodePageKind::HostTable;
  const CharTableSet koi8 = Koi8Table();
  std::memcpy(&pages[2].Table, &koi8, sizeof koi8);
  std::strcpy(pages[3].Table.TableName, "CP1253");
  std::strcpy(pages[4].Table.TableName, "ISO-8859-2");
  for (const CodePage& page : pages) {
    SCOPED_TRACE(page.Table.TableName);
    const std::string text = tags::BytesToUtf8(all, page);
    EXPECT_EQ(tags::CharCount(text), 255u);
    EXPECT_EQ(tags::UnitsFromUtf8(text).find(u'\xFFFD'), std::u16string::npos);
    std::string back;
    EXPECT_TRUE(tags::Utf8ToBytes(text, page, &back));
    EXPECT_EQ(back, all);
  }
  EXPECT_EQ(tags::BytesToUtf8(kAnsi, pages[1]), "Привет, Ёё!");
  EXPECT_EQ(tags::BytesToUtf8(kOem, pages[0]), "Привет, Ёё!");
  EXPECT_EQ(tags::BytesToUtf8(kKoi8, pages[2]), "Привет, Ёё!");
  EXPECT_EQ(tags::BytesToUtf8("\xD9\xEC\xE5\xE3\xE1", pages[3]), "Ωμεγα");
  EXPECT_EQ(tags::BytesToUtf8("\xA3\xF3\xE6", pages[4]), "Łóć");
  // Zero bytes (separators of several values) stay.
  EXPECT_EQ(tags::BytesToUtf8(std::string("a\0\xCF", 3), pages[1]), std::string("a\0П", 4));
}

// A character the code page lacks is said, and '?' stands for it.
TEST_F(CodePageTest, CharactersTheCodePageLacksAreSaid) {
  CodePage ansi;
  ansi.Kind = CodePageKind::Ansi;
  std::string bytes;
  EXPECT_FALSE(tags::Utf8ToBytes("Ωmega Привет", ansi, &bytes));
  EXPECT_EQ(bytes, "?mega " + kAnsi.substr(0, 6));
  EXPECT_EQ(tags::FirstUnencodable("Привет Ωmega 東京", ansi), U'Ω');
  EXPECT_EQ(tags::FirstUnencodable("Привет, Ёё!", ansi), 0u);
  CodePage utf8;
  utf8.Kind = CodePageKind::Utf8;
  EXPECT_EQ(tags::FirstUnencodable("東京", utf8), 0u);
  EXPECT_TRUE(tags::Utf8ToBytes("東京", utf8, &bytes));
  EXPECT_EQ(bytes, "東京");
}

// A host table whose name names no code page reads through its own
// decoding to OEM.
TEST_F(CodePageTest, AnUnknownTableReadsThroughItsDecodingToOem) {
  CodePage page;
  page.Kind = CodePageKind::HostTable;
  const CharTableSet koi8 = Koi8Table();
  std::memcpy(&page.Table, &koi8, sizeof koi8);
  std::strcpy(page.Table.TableName, "My own KOI8");
  EXPECT_EQ(tags::BytesToUtf8(kKoi8, page), "Привет, Ёё!");
  std::string bytes;
  EXPECT_TRUE(tags::Utf8ToBytes("Привет, Ёё!", page, &bytes));
  EXPECT_EQ(bytes, kKoi8);
}

// The host's text is cut on characters' boundaries when it is UTF-8, and
// counted in characters; OEM text is one byte a character.
TEST_F(CodePageTest, HostTextIsCutOnCharacterBoundaries) {
  const CodePage saved = tags::HostCodePage;
  tags::HostCodePage.Kind = CodePageKind::Utf8;
  EXPECT_EQ(tags::HostPrefix("Группа", 3), "Гру");
  EXPECT_EQ(tags::HostPrefix("Группа", 10, 5), "Гр");
  EXPECT_EQ(tags::HostPrefix("東京", 5, 5), "東");
  EXPECT_EQ(tags::HostCharCount("Café 東京"), 7u);
  EXPECT_EQ(tags::ToHost("Ωmega"), "Ωmega");
  tags::HostCodePage.Kind = CodePageKind::Oem;
  EXPECT_EQ(tags::HostPrefix(kOem, 3), kOem.substr(0, 3));
  EXPECT_EQ(tags::HostCharCount(kOem), kOem.size());
  EXPECT_EQ(tags::ToHost("Привет, Ёё!"), kOem);
  EXPECT_EQ(tags::ToHost("Ωmega"), "?mega");
  EXPECT_EQ(tags::FromHost(kOem), "Привет, Ёё!");
  tags::HostCodePage = saved;
}

// UTF-8 read one character at a time: a malformed or cut sequence gives one
// U+FFFD and is passed, a stray continuation byte one of its own, surrogate
// pairs join.
TEST(Utf8, CharactersAreReadWholeAndMalformedSequencesOnce) {
  const std::string text = "a\xC3\xA9\xE6\x9D\xB1\xF0\x9F\x98\x80\xC3\x28\x80\xE6\x9D";
  std::vector<char32_t> chars;
  bool cut = false;
  for (size_t at = 0; at < text.size();) chars.push_back(tags::NextChar(text, &at, &cut));
  EXPECT_EQ(chars, (std::vector<char32_t>{U'a', U'é', U'東', U'\U0001F600', 0xFFFD, U'(', 0xFFFD, 0xFFFD}));
  EXPECT_TRUE(cut);
  EXPECT_EQ(tags::CharCount("Ωmega"), 5u);
  EXPECT_EQ(tags::PrefixBytes("Ωmega", 2), 3u);
  EXPECT_EQ(tags::SuffixStart("Ωmega", 4), 2u);
  EXPECT_EQ(tags::SuffixStart("ab", 4), 0u);
  const std::u16string units = u"x\U0001F600\xD800y";
  EXPECT_EQ(tags::Utf8FromUnits(units), "x\U0001F600\xEF\xBF\xBDy");
  EXPECT_EQ(tags::UnitsFromUtf8("x\U0001F600y"), u"x\U0001F600y");
  EXPECT_TRUE(tags::IsAscii("plain text of more than eight bytes"));
  EXPECT_FALSE(tags::IsAscii("plain text of more than eight bytesé"));
}

}  // namespace

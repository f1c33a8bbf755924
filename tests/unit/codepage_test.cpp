#include "tags/codepage.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/settings.h"
#include "settings_sandbox.h"
#include "sys/sys.h"

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

}  // namespace

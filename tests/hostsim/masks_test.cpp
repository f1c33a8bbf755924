// The host's file masks, from the rules and examples of its documentation.
#include <gtest/gtest.h>

#include <cstring>

#include "hostsim/masks.h"
#include "support.h"

namespace {

struct MaskCase {
  const char* masks;
  const char* name;
  bool matches;
};

// Lists as ProcessName(PN_CMPNAMELIST) takes them.
const MaskCase kListCases[] = {
    {"*", "README", true},
    {"*.*", "README", true},  // a name without a dot has an empty extension
    {"*.*", ".profile", true},
    {"*.mp3", "song.mp3", true},
    {"*.mp3", "SONG.MP3", true},  // letters ignore case
    {"*.mp3", "song.mp3.bak", false},
    {"*.mp3", "song.mp2", false},
    {"*.mp3", "mp3", false},  // shorter than what follows the star
    {"*.mp3", ".mp3", true},
    {"*.mp?", "song.mp2", true},
    {"?.mp3", "ab.mp3", false},
    {"f*.ex?", "ftp.exe", true},  // the documentation's examples
    {"f*.ex?", "fc.exe", true},
    {"f*.ex?", "f.ext", true},
    {"*co*", "color.ini", true},
    {"*co*", "edit.com", true},
    {"[c-f,t]*.txt", "config.txt", true},
    {"[c-f,t]*.txt", "demo.txt", true},
    {"[c-f,t]*.txt", "faq.txt", true},
    {"[c-f,t]*.txt", "tips.txt", true},
    {"[c-f,t]*.txt", "readme.txt", false},
    {"[C-F]*", "demo.txt", true},  // classes ignore case too
    {"a[b", "a[b", true},          // an unclosed bracket is a character
    {"*.doc,*.txt;*.wri", "notes.wri", true},
    {"*.doc,*.txt;*.wri", "notes.pdf", false},
    {" *.mp3 , *.ogg ", "a.ogg", true},  // blanks around masks do not count
    {"*.mp3;", "a.mp3", true},
    {"\"a,b.mp3\"", "a,b.mp3", true},  // a quoted mask keeps its comma
    {"\"a,b.mp3\"", "a", false},
    {"\"a;b*\",*.ogg", "a;bc.mp3", true},
    {"*.mp3|a*", "abc.mp3", false},  // exclusions after '|'
    {"*.mp3|a*", "xyz.mp3", true},
    {"*|*.bak,*.tmp", "x.tmp", false},
    {"*|*.bak,*.tmp", "x.txt", true},
    {"|*.bak", "x.txt", true},  // no include list: everything
    {"|*.bak", "x.bak", false},
    {"*.*|*.bak|*.tmp", "x.txt", false},  // a second '|' makes the list invalid
    {"", "x.txt", false},
    {"*", "noext", true},
    {"*.*", "noext", true},  // a name without an extension matches as "noext."
    {"*.", "noext", true},
    {"*.", "a.txt", false},
    {"name", "name.txt", true},  // a mask without a dot matches with any extension
    {"name", "names.txt", false},
    {"*c", "abc.txt", true},
    {"*c", "xyz.abc", true},
    {"*.mp3", "dir\\a.mp3", true},  // no path handling without PN_SKIPPATH
};

TEST(Masks, ListsAsTheHostDocumentsThem) {
  for (const auto& c : kListCases) {
    EXPECT_EQ(hostsim::MatchMaskList(c.masks, c.name), c.matches)
        << "mask list \"" << c.masks << "\", name \"" << c.name << "\"";
  }
}

TEST(Masks, ParsedListKeepsIncludeAndExcludeApart) {
  hostsim::MaskList list;
  ASSERT_TRUE(hostsim::ParseMaskList("\"a b\",*.mp3;[x,y]*|*.bak", &list));
  EXPECT_EQ(list.include, (std::vector<std::string>{"a b", "*.mp3", "[x,y]*"}));
  EXPECT_EQ(list.exclude, (std::vector<std::string>{"*.bak"}));
  EXPECT_FALSE(hostsim::ParseMaskList("\"open", &list));
  EXPECT_FALSE(hostsim::ParseMaskList("a|b|c", &list));
}

TEST(Masks, ProcessNameHonoursItsFlags) {
  hostsim_test::Services s;
  char path[NM] = "C:\\music\\a1.mp3";
  path[2] = path[8] = sys::kPathSeparator;  // the path in the system's form
  EXPECT_EQ(s.fsf.ProcessName("a*.mp3", path, PN_CMPNAMELIST), 0);
  EXPECT_NE(s.fsf.ProcessName("a*.mp3", path, PN_CMPNAMELIST | PN_SKIPPATH), 0);
  EXPECT_NE(s.fsf.ProcessName("*.ogg,a?.mp3", path, PN_CMPNAMELIST | PN_SKIPPATH), 0);
  // PN_CMPNAME compares one mask: a comma is part of it.
  char name[NM] = "a,b.mp3";
  EXPECT_NE(s.fsf.ProcessName("a,b.mp3", name, PN_CMPNAME), 0);
  EXPECT_EQ(s.fsf.ProcessName("x.mp3,a,b.mp3", name, PN_CMPNAME), 0);
  // In a list the comma separates: a name with a comma needs '?' there.
  EXPECT_EQ(s.fsf.ProcessName("x.mp3,a,b.mp3", name, PN_CMPNAMELIST), 0);
  EXPECT_NE(s.fsf.ProcessName("x.mp3,a?b.mp3", name, PN_CMPNAMELIST), 0);
  char generated[NM] = "file.txt";
  EXPECT_NE(s.fsf.ProcessName("*.bak", generated, PN_GENERATENAME), 0);
  EXPECT_STREQ(generated, "file.bak");
  char renamed[NM] = "abc.txt";
  s.fsf.ProcessName("x?z.*", renamed, PN_GENERATENAME);
  EXPECT_STREQ(renamed, "xbz.txt");
  EXPECT_NE(s.psi.CmpName("*.mp3", "C:\\x\\a.mp3", 1), 0);
  EXPECT_EQ(s.psi.CmpName("a*", "C:\\x\\b.mp3", 1), 0);
}

TEST(Masks, CyrillicLettersIgnoreCaseOverCodePage866) {
  if (sys::OemCodePage() != 866) GTEST_SKIP() << "the OEM code page is not 866";
  // "а*" against "Абв.mp3", and a class of small letters against a capital.
  EXPECT_TRUE(hostsim::MatchMaskList("\xA0*", "\x80\xA1\xA2.mp3"));
  EXPECT_TRUE(hostsim::MatchMaskList("[\xA0-\xA2]*", "\x81.txt"));
  EXPECT_FALSE(hostsim::MatchMaskList("[\xA0-\xA2]*", "\x83.txt"));
}

// Where the host speaks UTF-8, '?' is one character whatever its bytes, and
// letters of every script ignore case.
TEST(Masks, InUtf8AQuestionMarkIsOneCharacter) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  const MaskCase cases[] = {
      {"??????.mp3", "Группа.mp3", true},  // six letters, twelve bytes
      {"?????.mp3", "Группа.mp3", false},
      {"???????.mp3", "Группа.mp3", false},
      {"Груп?а.*", "ГРУППА.MP3", true},
      {"*.MP3", "Группа.mp3", true},
      {"??.mp3", "東京.mp3", true},
      {"?.mp3", "東京.mp3", false},
      {"Caf?.mp3", "Café.mp3", true},
      {"Caf??.mp3", "Café.mp3", false},
      {"*é.mp3", "CAFÉ.mp3", true},
      {"[а-я]*", "Жук.mp3", true},  // the class ignores case too
      {"[а-я]*", "Ёж.mp3", false},  // Ё lies outside А-Я
      {"[ё,а-я]*", "Ёж.mp3", true},
      {"*.mp3|?р*", "Группа.mp3", false},
      {"*.mp3|?р*", "東京.mp3", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hostsim::MatchMaskList(c.masks, c.name), c.matches)
        << "mask list \"" << c.masks << "\", name \"" << c.name << "\"";
  }
  hostsim_test::Services s;
  char name[NM] = "東京.mp3";
  EXPECT_NE(s.fsf.ProcessName("??_*.*", name, PN_GENERATENAME), 0);
  EXPECT_STREQ(name, "東京_.mp3");
  char renamed[NM] = "Ёлка.txt";
  s.fsf.ProcessName("?x*.bak", renamed, PN_GENERATENAME);
  EXPECT_STREQ(renamed, "Ёxка.bak");
}

}  // namespace

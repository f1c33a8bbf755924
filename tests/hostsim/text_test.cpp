// Case and letters over OEM code pages 866 and 437, the character tables,
// and the small text services of FarStandardFunctions; the same services over
// the host's text where the host speaks UTF-8.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <string>
#include <vector>

#include "hostsim/char_tables.h"
#include "hostsim/codepage.h"
#include "hostsim/host.h"
#include "hostsim/host_text.h"
#include "hostsim/oem_case.h"
#include "hostsim/transcript.h"
#include "support.h"

namespace {

struct CasePair {
  unsigned char lower;
  unsigned char upper;
};

hostsim::CaseTables TablesFor(unsigned codePage) {
  hostsim::CodePageTable table;
  EXPECT_TRUE(hostsim::LoadCodePage(codePage, &table)) << codePage;
  return hostsim::BuildCaseTables(table);
}

void ExpectPairs(const hostsim::CaseTables& t, const CasePair* pairs, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const auto& p = pairs[i];
    EXPECT_EQ(t.upper[p.lower], p.upper) << std::hex << int(p.lower);
    EXPECT_EQ(t.lower[p.upper], p.lower) << std::hex << int(p.upper);
    EXPECT_TRUE(t.isLower[p.lower] && t.isAlpha[p.lower]) << std::hex << int(p.lower);
    EXPECT_TRUE(t.isUpper[p.upper] && !t.isLower[p.upper]) << std::hex << int(p.upper);
  }
}

TEST(OemCase, CodePage866HasTheCyrillicAlphabet) {
  const CasePair pairs[] = {
      {'a', 'A'},   {'z', 'Z'},   {0xA0, 0x80},  // а А
      {0xAF, 0x8F},                             // п П
      {0xE0, 0x90},                             // р Р: the second half of the small letters
      {0xEF, 0x9F},                             // я Я
      {0xF1, 0xF0},                             // ё Ё
      {0xF3, 0xF2}, {0xF5, 0xF4}, {0xF7, 0xF6},  // є ї ў
  };
  hostsim::CaseTables t = TablesFor(866);
  ExpectPairs(t, pairs, std::size(pairs));
  const unsigned char kNotLetters[] = {0xB0, 0xDB, 0xC4, '1', ' ', 0xFC};  // shade, block, line, №
  for (unsigned char c : kNotLetters) {
    EXPECT_FALSE(t.isAlpha[c]) << std::hex << int(c);
    EXPECT_EQ(t.upper[c], c);
  }
}

TEST(OemCase, CodePage437HasTheAccentedLatinLetters) {
  const CasePair pairs[] = {
      {0x87, 0x80},  // ç Ç
      {0x81, 0x9A},  // ü Ü
      {0x82, 0x90},  // é É
      {0x84, 0x8E},  // ä Ä
      {0x86, 0x8F},  // å Å
      {0x91, 0x92},  // æ Æ
      {0x94, 0x99},  // ö Ö
      {0xA4, 0xA5},  // ñ Ñ
  };
  hostsim::CaseTables t = TablesFor(437);
  ExpectPairs(t, pairs, std::size(pairs));
  // Small letters whose capitals 437 lacks stay as they are, and stay letters.
  const unsigned char kNoCapital[] = {0x83, 0x85, 0xE1};  // â à ß
  for (unsigned char c : kNoCapital) {
    EXPECT_EQ(t.upper[c], c) << std::hex << int(c);
    EXPECT_TRUE(t.isAlpha[c] && t.isLower[c]) << std::hex << int(c);
  }
  EXPECT_FALSE(t.isAlpha[0xB0]);
  EXPECT_FALSE(t.isAlpha[0xAC]);  // ¼
}

TEST(OemCase, ServicesFollowTheProcessCodePage) {
  hostsim_test::Services s;
  EXPECT_EQ(s.fsf.LUpper('q'), static_cast<unsigned>('Q'));
  EXPECT_EQ(s.fsf.LLower('Q'), static_cast<unsigned>('q'));
  EXPECT_EQ(s.fsf.LUpper(0x1234), 0x1234u);  // not a byte: unchanged
  EXPECT_TRUE(s.fsf.LIsAlpha('x'));
  EXPECT_FALSE(s.fsf.LIsAlpha('7'));
  EXPECT_TRUE(s.fsf.LIsAlphanum('7'));
  EXPECT_TRUE(s.fsf.LIsLower('x'));
  EXPECT_FALSE(s.fsf.LIsLower('X'));
  char text[] = "Mixed Case 42";
  s.fsf.LStrupr(text);
  EXPECT_STREQ(text, "MIXED CASE 42");
  s.fsf.LStrlwr(text);
  EXPECT_STREQ(text, "mixed case 42");
  EXPECT_EQ(s.fsf.LStricmp("Rock", "rOCK"), 0);
  EXPECT_LT(s.fsf.LStricmp("<Unknown>", "Acid"), 0);
  EXPECT_GT(s.fsf.LStricmp("rock", "Pop"), 0);
  EXPECT_EQ(s.fsf.LStrnicmp("Rock", "ROLL", 2), 0);
  EXPECT_NE(s.fsf.LStrnicmp("Rock", "ROLL", 3), 0);
  EXPECT_EQ(s.fsf.LStrnicmp("a", "b", 0), 0);
  if (sys::OemCodePage() == 866) {
    char cyrillic[] = "\xA0\xA1\xE0\xEF\xF1";  // абряё
    s.fsf.LStrupr(cyrillic);
    EXPECT_STREQ(cyrillic, "\x80\x81\x90\x9F\xF0");
    EXPECT_EQ(s.fsf.LStricmp("\xA0\xA1", "\x80\x81"), 0);
    EXPECT_TRUE(s.fsf.LIsAlpha(0xA0));
  }
}

TEST(CharTables, Koi8RAndIso88595AgainstCodePage866) {
  hostsim::CodePageTable oem;
  ASSERT_TRUE(hostsim::LoadCodePage(866, &oem));
  CharTableSet koi;
  ASSERT_TRUE(hostsim::BuildCharTable({20866, "KOI8-R"}, oem, &koi));
  EXPECT_STREQ(koi.TableName, "KOI8-R");
  EXPECT_EQ(koi.DecodeTable[0xC1], 0xA0);  // а
  EXPECT_EQ(koi.DecodeTable[0xE1], 0x80);  // А
  EXPECT_EQ(koi.DecodeTable[0xA3], 0xF1);  // ё
  EXPECT_EQ(koi.DecodeTable['A'], 'A');
  EXPECT_EQ(koi.EncodeTable[0xA0], 0xC1);
  EXPECT_EQ(koi.UpperTable[0xC1], 0xE1);  // case within KOI8-R
  EXPECT_EQ(koi.LowerTable[0xE1], 0xC1);
  EXPECT_EQ(koi.UpperTable[0x80], 0x80);  // a box-drawing character has no case
  // Every byte that reaches OEM comes back unchanged.
  for (int b = 0; b < 256; ++b) {
    if (koi.DecodeTable[b] != '?' || b == '?') {
      EXPECT_EQ(koi.EncodeTable[koi.DecodeTable[b]], b) << std::hex << b;
    }
  }
  CharTableSet iso;
  ASSERT_TRUE(hostsim::BuildCharTable({28595, "ISO-8859-5"}, oem, &iso));
  EXPECT_EQ(iso.DecodeTable[0xD0], 0xA0);  // а
  EXPECT_EQ(iso.DecodeTable[0xB0], 0x80);  // А
  EXPECT_EQ(iso.DecodeTable[0xA1], 0xF0);  // Ё
  EXPECT_EQ(iso.DecodeTable[0x85], '?');   // a C1 control: not in 866
}

TEST(CharTables, AgainstCodePage437CyrillicHasNoEquivalent) {
  hostsim::CodePageTable oem;
  ASSERT_TRUE(hostsim::LoadCodePage(437, &oem));
  CharTableSet koi;
  ASSERT_TRUE(hostsim::BuildCharTable({20866, "KOI8-R"}, oem, &koi));
  EXPECT_EQ(koi.DecodeTable[0xC1], '?');
  EXPECT_EQ(koi.DecodeTable['z'], 'z');
  EXPECT_EQ(koi.EncodeTable[0x87], '?');  // ç is not in KOI8-R
}

// The Central European, Greek and Baltic tables against the DOS code page of
// their languages, which holds their letters; all offered after the Cyrillic ones.
TEST(CharTables, CentralEuropeanGreekAndBalticAgainstTheirDosCodePages) {
  struct Letter {
    hostsim::CharTableInfo table;
    unsigned oem;
    unsigned char byte, oemByte, upper;
  };
  const Letter letters[] = {
      {{1250, "Windows-1250"}, 852, 0xB3, 0x88, 0xA3},  // ł, Ł
      {{28592, "ISO-8859-2"}, 852, 0xB1, 0xA5, 0xA1},   // ą, Ą
      {{28592, "ISO-8859-2"}, 852, 0xBB, 0x9C, 0xAB},   // ť, Ť
      {{1253, "Windows-1253"}, 737, 0xE1, 0x98, 0xC1},  // α, Α
      {{28597, "ISO-8859-7"}, 737, 0xF2, 0xAA, 0xD3},   // ς, Σ
      {{1257, "Windows-1257"}, 775, 0xEB, 0xD3, 0xCB},  // ė, Ė
  };
  for (const Letter& l : letters) {
    SCOPED_TRACE(l.table.name);
    hostsim::CodePageTable oem;
    ASSERT_TRUE(hostsim::LoadCodePage(l.oem, &oem));
    CharTableSet set;
    ASSERT_TRUE(hostsim::BuildCharTable(l.table, oem, &set));
    EXPECT_EQ(set.DecodeTable[l.byte], l.oemByte);
    EXPECT_EQ(set.EncodeTable[l.oemByte], l.byte);
    EXPECT_EQ(set.UpperTable[l.byte], l.upper);
    EXPECT_EQ(set.LowerTable[l.upper], l.byte == 0xF2 ? 0xF3 : l.byte);  // Σ lowers to σ
  }
  std::vector<std::string> offered;
  for (const hostsim::CharTableInfo& t : hostsim::CharTables()) offered.push_back(t.name);
  EXPECT_EQ(offered,
            (std::vector<std::string>{"KOI8-R", "KOI8-U", "ISO-8859-5", "Windows-1250",
                                      "ISO-8859-2", "Windows-1253", "ISO-8859-7", "Windows-1257"}));
}

TEST(CharTables, ServiceCountsFillsAndRefuses) {
  hostsim_test::Services s;
  int count = 0;
  while (s.psi.CharTable(count, nullptr, 0) == count) ++count;
  EXPECT_EQ(s.psi.CharTable(count, nullptr, 0), -1);
  ASSERT_GE(count, 2);
  ASSERT_EQ(count, static_cast<int>(hostsim::CharTables().size()));
  CharTableSet set;
  std::memset(&set, 0, sizeof(set));
  EXPECT_EQ(s.psi.CharTable(0, reinterpret_cast<char*>(&set), sizeof(set)), 0);
  EXPECT_STREQ(set.TableName, "KOI8-R");
  // A buffer too small for a CharTableSet is not written.
  char small[16] = {};
  EXPECT_EQ(s.psi.CharTable(0, small, sizeof(small)), -1);
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(s.psi.CharTable(FCT_DETECT, small, sizeof(small)), -1);
  EXPECT_EQ(s.psi.CharTable(-2, nullptr, 0), -1);
}

TEST(StandardFunctions, NumbersAsTheCLibraryWrites) {
  hostsim_test::Services s;
  EXPECT_EQ(s.fsf.atoi(" 42abc"), 42);
  EXPECT_EQ(s.fsf.atoi("-7"), -7);
  EXPECT_EQ(s.fsf.atoi("+3"), 3);
  EXPECT_EQ(s.fsf.atoi("abc"), 0);
  EXPECT_EQ(s.fsf.atoi(""), 0);
  EXPECT_EQ(s.fsf.atoi64("12345678901"), 12345678901LL);
  char buffer[72];
  EXPECT_STREQ(s.fsf.itoa(-12, buffer, 10), "-12");
  EXPECT_STREQ(s.fsf.itoa(255, buffer, 16), "ff");
  EXPECT_STREQ(s.fsf.itoa(5, buffer, 2), "101");
  EXPECT_STREQ(s.fsf.itoa(-1, buffer, 16), "ffffffff");
  EXPECT_STREQ(s.fsf.itoa64(-9000000000LL, buffer, 10), "-9000000000");
}

TEST(StandardFunctions, PathShorteningKeepsTheRoot) {
  hostsim_test::Services s;
  struct Case {
    const char* path;
    int max;
    const char* result;
  } cases[] = {
      {"C:\\Program Files\\Far\\Plugins\\a.dll", 20, "C:\\...\\Plugins\\a.dll"},
      {"C:\\short", 20, "C:\\short"},
      {"/home/user/music/album/track.mp3", 16, "/...um/track.mp3"},
      {"\\\\server\\share\\folder\\file.mp3", 24, "\\\\server\\share\\...le.mp3"},
      {"relative\\folder\\name.mp3", 12, "...\\name.mp3"},  // no root: the end only
      {"C:\\abcdefgh", 6, "...fgh"},                   // no room for the root
      {"abcdef", 2, "ab"},
      {"C:\\x", -1, "C:\\x"},
  };
  for (const auto& c : cases) {
    char text[NM];
    std::strcpy(text, c.path);
    s.fsf.TruncPathStr(text, c.max);
    EXPECT_STREQ(text, c.result) << c.path << " to " << c.max;
    if (c.max >= 0 && std::strlen(c.path) > static_cast<size_t>(c.max)) {
      EXPECT_EQ(std::strlen(text), static_cast<size_t>(c.max)) << c.path;
    }
  }
}

TEST(StandardFunctions, StringHelpers) {
  hostsim_test::Services s;
  char quoted[] = "\"C:\\My Music\"\\\"a b\".mp3";
  s.fsf.Unquote(quoted);
  EXPECT_STREQ(quoted, "C:\\My Music\\a b.mp3");
  char padded[] = " \t text \t ";
  EXPECT_STREQ(s.fsf.Trim(padded), "text");
  // Names and separators as the system has them: on Windows '\', '/' and a
  // drive's ':'; on POSIX '/' alone.
  if (sys::kPathSeparator == '\\') {
    EXPECT_STREQ(s.fsf.PointToName("C:\\dir\\file.mp3"), "file.mp3");
    EXPECT_STREQ(s.fsf.PointToName("C:file.mp3"), "file.mp3");
  } else {
    EXPECT_STREQ(s.fsf.PointToName("/dir/AC\\DC.mp3"), "AC\\DC.mp3");
    EXPECT_STREQ(s.fsf.PointToName("/dir/C:file.mp3"), "C:file.mp3");
  }
  EXPECT_STREQ(s.fsf.PointToName("/dir/file.mp3"), "file.mp3");
  char slash[NM] = "C:\\dir";
  s.fsf.AddEndSlash(slash);
  s.fsf.AddEndSlash(slash);
  EXPECT_EQ(slash, std::string("C:\\dir") + sys::kPathSeparator);
  char root[NM];
  s.fsf.GetPathRoot("C:\\dir\\file", root);
  EXPECT_STREQ(root, "C:\\");
  char space[NM] = "a b";
  s.fsf.QuoteSpaceOnly(space);
  EXPECT_STREQ(space, "\"a b\"");
}

struct Entry {
  int key;
  int order;
};

int FARCDECL CompareKeys(const void* a, const void* b) {
  return static_cast<const Entry*>(a)->key - static_cast<const Entry*>(b)->key;
}

int FARCDECL CompareKeysDescending(const void* a, const void* b, void* user) {
  ++*static_cast<int*>(user);
  return static_cast<const Entry*>(b)->key - static_cast<const Entry*>(a)->key;
}

int FARCDECL Inconsistent(const void*, const void*) { return 1; }

TEST(StandardFunctions, SortIsStableAndSurvivesABadComparison) {
  hostsim_test::Services s;
  Entry e[] = {{3, 0}, {1, 1}, {3, 2}, {2, 3}, {1, 4}, {3, 5}};
  s.fsf.qsort(e, std::size(e), sizeof(Entry), CompareKeys);
  const int expected[] = {1, 4, 3, 0, 2, 5};  // equal keys keep their order
  for (size_t i = 0; i < std::size(e); ++i) EXPECT_EQ(e[i].order, expected[i]) << i;
  int calls = 0;
  s.fsf.qsortex(e, std::size(e), sizeof(Entry), CompareKeysDescending, &calls);
  EXPECT_GT(calls, 0);
  EXPECT_EQ(e[0].key, 3);
  EXPECT_EQ(e[5].key, 1);
  Entry key{2, 0};
  s.fsf.qsort(e, std::size(e), sizeof(Entry), CompareKeys);
  auto* found = static_cast<Entry*>(s.fsf.bsearch(&key, e, std::size(e), sizeof(Entry), CompareKeys));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->key, 2);
  // A comparison that contradicts itself must not make the sort run off the array.
  s.fsf.qsort(e, std::size(e), sizeof(Entry), Inconsistent);
  int sum = 0;
  for (const auto& x : e) sum += x.order;
  EXPECT_EQ(sum, 0 + 1 + 2 + 3 + 4 + 5);
}

TEST(StandardFunctions, TemporaryNamesAreFreshAndBounded) {
  hostsim_test::Services s;
  char first[NM], second[NM];
  ASSERT_NE(s.fsf.MkTemp(first, nullptr), nullptr);
  ASSERT_NE(s.fsf.MkTemp(second, "ID3"), nullptr);
  EXPECT_STRNE(first, second);
  EXPECT_LT(std::strlen(first), static_cast<size_t>(NM));
  EXPECT_NE(std::strstr(s.fsf.PointToName(second), "ID3"), nullptr);
  EXPECT_FALSE(sys::Exists(first));
  // The name can be created as a new file.
  sys::File f;
  EXPECT_TRUE(f.Open(first, sys::OpenMode::CreateNew));
  f.Close();
  sys::DeleteFile(first);
}

TEST(Codepage, OemTextRoundTripsThroughUtf8) {
  if (sys::OemCodePage() != 866) GTEST_SKIP() << "the OEM code page is not 866";
  std::string oem = "\x8F\xE0\xA8\xA2\xA5\xE2 ok";  // Привет ok
  EXPECT_EQ(hostsim::OemToUtf8(oem), "Привет ok");
  std::string back;
  EXPECT_TRUE(hostsim::Utf8ToOem("Привет ok", &back));
  EXPECT_EQ(back, oem);
  EXPECT_FALSE(hostsim::Utf8ToOem("snowman \xE2\x98\x83", &back));  // not in 866
  EXPECT_EQ(back, "snowman ?");
  EXPECT_FALSE(hostsim::Utf8ToOem("cut \xD0", &back));  // a sequence cut short
}

}  // namespace

// ---------------------------------------------------------------- a host that speaks UTF-8

namespace {

// The sign of a comparison, for readable expectations.
int Sign(int order) { return (order > 0) - (order < 0); }

TEST(Utf8HostText, ComparisonIgnoresCaseCharacterByCharacter) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  hostsim_test::Services s;
  EXPECT_EQ(s.fsf.LStricmp("ПРИВЕТ, Мир", "привет, мИР"), 0);
  EXPECT_EQ(s.fsf.LStricmp("Ёлка", "ёЛКА"), 0);
  EXPECT_EQ(s.fsf.LStricmp("ΛΟΓΟΣ", "λογοσ"), 0);
  EXPECT_EQ(s.fsf.LStricmp("ΛΟΓΟΣ", "λογος"), 0);  // the final sigma is a sigma
  EXPECT_EQ(s.fsf.LStricmp("Ärger", "äRGER"), 0);
  // The order of the capitals, not of the bytes: "б" (D0 B1) comes after "Г"
  // (D0 93) byte by byte, but Б comes before Г.
  EXPECT_EQ(Sign(s.fsf.LStricmp("б", "Г")), -1);
  EXPECT_EQ(Sign(s.fsf.LStricmp("Г", "б")), 1);
  EXPECT_EQ(Sign(s.fsf.LStricmp("При", "прибой")), -1);  // a shorter text first
  EXPECT_NE(s.fsf.LStricmp("東京", "京都"), 0);
  // LStrnicmp counts characters: three letters are six bytes.
  EXPECT_EQ(s.fsf.LStrnicmp("Прибой", "ПРИХОД", 3), 0);
  EXPECT_NE(s.fsf.LStrnicmp("Прибой", "ПРИХОД", 4), 0);
  EXPECT_EQ(s.fsf.LStrnicmp("東京駅", "東京都", 2), 0);
}

TEST(Utf8HostText, CaseChangesKeepEveryCharacterWhole) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  hostsim_test::Services s;
  char text[] = "ärger привет λογος 東京 ok";
  s.fsf.LStrupr(text);
  EXPECT_STREQ(text, "ÄRGER ПРИВЕТ ΛΟΓΟΣ 東京 OK");
  s.fsf.LStrlwr(text);
  EXPECT_STREQ(text, "ärger привет λογοσ 東京 ok");
  // A letter whose other case takes another number of bytes keeps its case:
  // the text keeps its length and never holds half a character. Dotless ı
  // (2 bytes) is I (1 byte) in capitals; Ⱥ (2 bytes) is ⱥ (3 bytes) in small.
  char dotless[] = "ıa";
  s.fsf.LStrupr(dotless);
  EXPECT_STREQ(dotless, "ıA");
  char stroke[] = "ȺB";
  s.fsf.LStrlwr(stroke);
  EXPECT_STREQ(stroke, "Ⱥb");
  // A buffer of a given length is changed up to there, whole characters only.
  char buffer[] = "жжж";
  s.fsf.LUpperBuf(buffer, 3);  // the second letter is cut by the length: it stays
  EXPECT_STREQ(buffer, "Жжж");
  // Single characters are Unicode values; a byte of a UTF-8 sequence alone
  // (what a plug-in that goes byte by byte passes) is none and stays.
  EXPECT_EQ(s.fsf.LUpper(0x44F), 0x42Fu);  // я Я
  EXPECT_EQ(s.fsf.LLower(0x3A3), 0x3C3u);  // Σ σ
  EXPECT_EQ(s.fsf.LUpper(0xD1), 0xD1u);
  EXPECT_FALSE(s.fsf.LIsAlpha(0xD0));
  EXPECT_TRUE(s.fsf.LIsAlpha(0x6771));  // 東: a letter without a case
  EXPECT_FALSE(s.fsf.LIsLower(0x6771));
  EXPECT_FALSE(s.fsf.LIsUpper(0x6771));
  EXPECT_TRUE(s.fsf.LIsUpper(0x416));  // Ж
  EXPECT_TRUE(s.fsf.LIsLower(0x436));  // ж
  EXPECT_EQ(s.fsf.LUpper('q'), static_cast<unsigned>('Q'));
}

TEST(Utf8HostText, PathsAndTextsAreShortenedByWholeCharacters) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  hostsim_test::Services s;
  struct Case {
    const char* text;
    int max;
    const char* result;
    bool path;
  } cases[] = {
      // 24 characters, 41 bytes: the root, the dots and the last 12 characters.
      {"/музыка/альбом/песня.mp3", 16, "/...ом/песня.mp3", true},
      {"/музыка/альбом/песня.mp3", 24, "/музыка/альбом/песня.mp3", true},
      {"/東京/音楽/ファイル.mp3", 12, "/...ファイル.mp3", true},
      {"東京の音楽ファイル.mp3", 8, "...ル.mp3", false},
      {"Ёлка", 2, "Ёл", false},
  };
  for (const auto& c : cases) {
    char text[NM];
    std::strcpy(text, c.text);
    if (c.path) {
      s.fsf.TruncPathStr(text, c.max);
    } else {
      s.fsf.TruncStr(text, c.max);
    }
    EXPECT_STREQ(text, c.result) << c.text << " to " << c.max;
  }
}

TEST(Utf8HostText, TheScriptsAndTheTranscriptAreTheHostsTextAsTheyAre) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  // Characters no OEM code page has together pass both ways unchanged, and so
  // do bytes that are no UTF-8 (a file name as the system gives it).
  const std::string mixed = "Café Группа 東京 \xFF\xC0!";
  std::string host;
  EXPECT_TRUE(hostsim::Utf8ToHost(mixed, &host));
  EXPECT_EQ(host, mixed);
  EXPECT_EQ(hostsim::HostToUtf8(mixed), mixed);
  hostsim::Host h;
  h.transcript().Add("panel: cursor " + hostsim::Quote("東京.mp3"));
  EXPECT_TRUE(h.transcript().Contains("panel: cursor \"東京.mp3\""));
}

// Old Russian tags can be read on any system: the Russian Windows and DOS
// code pages are tables of their own where they are not the system's pair.
TEST(CharTables, TheRussianCodePagesAreTablesWhereTheSystemHasOthers) {
  auto names = [](unsigned oem, unsigned ansi) {
    std::vector<std::string> out;
    for (const hostsim::CharTableInfo& info : hostsim::CandidateTables(oem, ansi)) out.push_back(info.name);
    return out;
  };
  const std::vector<std::string> western = names(437, 1252);
  ASSERT_GE(western.size(), 3u);
  EXPECT_EQ(western[0], "Windows-1251");
  EXPECT_EQ(western[1], "CP866");
  EXPECT_EQ(western[2], "KOI8-R");
  const std::vector<std::string> russian = names(866, 1251);
  EXPECT_EQ(russian[0], "KOI8-R");
  EXPECT_EQ(std::count(russian.begin(), russian.end(), "CP866"), 0);
  const std::vector<std::string> greek = names(737, 1253);
  EXPECT_EQ(std::count(greek.begin(), greek.end(), "Windows-1253"), 0);
  EXPECT_EQ(std::count(greek.begin(), greek.end(), "Windows-1251"), 1);
}

}  // namespace

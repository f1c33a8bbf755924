#include "batch/template.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "audio/mpeg_audio.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tags/utf8.h"
#include "test_host.h"

namespace batch {
namespace {

namespace fs = std::filesystem;

// `text` with each '\' made the system's separator.
std::string Sep(std::string text) {
  for (char& c : text)
    if (c == '\\') c = sys::kPathSeparator;
  return text;
}

// An audio file of `size` bytes: two MPEG frames with `header` `length` bytes
// apart, zeros up to the end.
std::string WriteAudio(const std::string& name, const uint8_t (&header)[4], size_t length,
                       size_t size) {
  const fs::path path = fs::temp_directory_path() /
                        ("tagwright-template-" + std::to_string(std::rand()) + "-" + name);
  std::vector<char> data(size, '\0');
  std::memcpy(&data[0], header, 4);
  std::memcpy(&data[length], header, 4);
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
  return path.string();
}

constexpr uint8_t kCbr128[4] = {0xFF, 0xFB, 0x90, 0x64};  // MPEG 1 L3 128k 44.1k joint: 417 bytes
constexpr uint8_t kMpeg25[4] = {0xFF, 0xE3, 0x18, 0xC4};  // MPEG 2.5 L3 8k 8 kHz mono: 72 bytes

class TemplateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedCodePage_ = tags::TagCodePage;
    tags::TagCodePage.Kind = tags::CodePageKind::Oem;
    // 3,000,000 bytes at 128 kbit/s: 187.5 seconds.
    const std::string path = WriteAudio("a.mp3", kCbr128, 417, 3000000);
    ASSERT_TRUE(audio_.Analyze(path));
    fs::remove(path);
    ASSERT_TRUE(audio_.IsValid());
  }
  void TearDown() override { tags::TagCodePage = savedCodePage_; }

  // The worked examples' file: title Song, artist Band in the ID3v2 tag.
  void SongByBand() {
    audio_.ID3v2().SetTitle("Song");
    audio_.ID3v2().SetArtist("Band");
  }
  std::string Format(const std::string& tmpl, int counter = 4,
                     const std::string& fullName = Sep("C:\\Music\\take 1.mp3"), bool v1 = false) {
    return FormatTagTemplate(audio_, fullName, tmpl, v1, counter);
  }

  testhost::TestHost host_;
  tags::CodePage savedCodePage_;
  audio::MPEGaudio audio_;
};

struct Case {
  const char* tmpl;
  const char* expected;
};

// A template read once gives, file after file, what formatting it anew gives.
TEST_F(TemplateTest, ATemplateReadOnceFormatsEveryFileAlike) {
  const std::string tmpl = "%0{1,R,3,0}. %3 - %2 %%%G{L,6,_} %0{10} %Z%";
  const TagTemplate once(tmpl);
  const std::string names[] = {Sep("C:\\Music\\take 1.mp3"), Sep("D:\\a.mpeg")};
  int counter = 0;
  for (const char* title : {"Song", "Another song", ""}) {
    audio_.ID3v2().SetTitle(title);
    audio_.ID3v2().SetArtist(std::string("Band of ") + title);
    for (const std::string& name : names) {
      ++counter;
      EXPECT_EQ(once.Format(audio_, name, false, counter), Format(tmpl, counter, name)) << title;
    }
  }
  EXPECT_EQ(once.Format(audio_, names[0], false, 4), "005. Band of -  %.mp3__ 14 %Z%");
  EXPECT_EQ(TagTemplate().Format(audio_, names[0], false, 1), "");
}

TEST_F(TemplateTest, WorkedExamples) {
  SongByBand();
  const Case cases[] = {
      {"%0{1,R,3,0}. %3 - %2%G", "005. Band - Song.mp3"},
      {"%2{C,10,*}", "***Song***"},
      {"%2{C,9,*}", "**Song***"},
      {"%3{L,2,,L}", "Ba"},
      {"%3{L,2,,R}", "nd"},
      {"%0{10}", "14"},
      {"%0{R,3,0}", "004"},
      {"100%% %2", "100% Song"},
      {"%2{X,10}", "Song{X,10}"},
      {"%Z%2", "%ZSong"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.tmpl), c.expected) << c.tmpl;
  EXPECT_EQ(Format("%F [%E]"), Sep("take 1 [C:\\Music\\]"));
}

TEST_F(TemplateTest, MarkersAndBlocksAtTheEdges) {
  SongByBand();
  const Case cases[] = {
      {"", ""},
      {"%%2", "%2"},  // the scan resumes behind the single "%"
      {"50%", "50%"},
      {"%", "%"},
      {"x%2", "xSong"},
      {"%2{", "Song{"},
      {"%2{}", "Song{}"},
      {"%2{R}", "Song"},  // width 1 by default, no cut
      {"%2{R,6", "Song{R,6"},
      {"%2{R,0,*}", "Song{R,0,*}"},
      {"%2{R,-3,*}", "Song{R,-3,*}"},
      {"%2{R,6,*}x", "**Songx"},
      {"%2{ r , 6 , - }", "--Song"},
      {"%2{c,7,-,r,ignored,too}", "-Song--"},
      {"%2{c,5,-}", "Song-"},  // an odd surplus of one: all of it on the right
      {"%3{R,3,,r}%3{c,3,,l}", "andBan"},
      {"%2{R,6,\\}}", "}}Song"},
      {"%2{R,4,*}{R,6,*}", "Song{R,6,*}"},
      {"%2%3%2", "SongBandSong"},
      {"%f%g|%d|%s%o", "take 1.mp3||%s%o"},  // markers in lower case; s and o are none
      {"%O%z%", "%O%z%"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.tmpl), c.expected) << c.tmpl;
}

TEST_F(TemplateTest, InsertedValuesAreNotExpandedAgain) {
  audio_.ID3v2().SetTitle("50%");
  audio_.ID3v2().SetArtist("%2 and %%");
  EXPECT_EQ(Format("%3"), "%2 and %%");
  EXPECT_EQ(Format("%22"), "50%2");
  EXPECT_EQ(Format("%2%3"), "50%%2 and %%");
}

TEST_F(TemplateTest, CounterStartValue) {
  struct CounterCase {
    const char* tmpl;
    int counter;
    const char* expected;
  } cases[] = {
      {"%0", 0, "0"},
      {"%0", -3, "-3"},
      {"%0{-1}", 0, "-1"},
      {"%0{ 5}", 2, "7"},
      {"%0{+5}", 2, "7"},
      {"%0{5 }", 0, "0{5 }"},  // not a number: read as an alignment, which is none
      {"%0{5,}", 0, "5{5,}"},
      {"%0{}", 0, "0{}"},
      {"%0{5", 1, "15"},       // neither "," nor "}": only the "{" goes
      {"%0{$10}", 1, "17"},
      {"%0{0x10}", 1, "17"},
      {"%0{0x}", 1, "1{0x}"},
      {"%0{12a}", 1, "1{12a}"},
      {"%0{1,L,4,.}|", 0, "1...|"},
      {"%0{1,R,2,0,L}", 122, "12"},
      {"%0{1,R,2,0,R}", 122, "23"},
      {"%0{1,R,2,0,,R}", 122, "123"},  // "R" is a fifth field, ignored: no cut
      {"%0{1,R,3,0", 0, "1{1,R,3,0"},
      {"%0{2147483647}", 1, "2147483648"},
      {"%0{2147483648}", 1, "1{2147483648}"},
  };
  for (const CounterCase& c : cases) EXPECT_EQ(Format(c.tmpl, c.counter), c.expected) << c.tmpl;
}

TEST_F(TemplateTest, TagChoice) {
  auto& v1 = audio_.ID3v1();
  auto& v2 = audio_.ID3v2();
  // Neither tag: every tag marker is empty under either order.
  for (bool prefer : {false, true}) {
    EXPECT_EQ(Format("[%2%3%4%5%6%7%8%9%A%B%C%D]", 0, "x.mp3", prefer), "[]");
  }

  v1.SetTitle("One");
  v1.SetGenreNumber(17);
  v1.SetTrack(7);
  EXPECT_EQ(Format("%2 %6 %8", 0, "x.mp3", false), "One Rock 7");  // no ID3v2: ID3v1
  EXPECT_EQ(Format("%2", 0, "x.mp3", true), "One");

  v2.SetTitle("Two");
  v2.SetGenre("(17)Rock");
  v2.SetComposer("Comp");
  v2.SetURL("http://x");
  EXPECT_EQ(Format("%2 %9 %C", 0, "x.mp3", false), "Two Comp http://x");
  EXPECT_EQ(Format("%2[%9%A%B%C%D]", 0, "x.mp3", true), "One[]");

  v1.Clear();
  EXPECT_EQ(Format("%2 %6", 0, "x.mp3", true), "Two (17)Rock");  // no ID3v1: ID3v2

  v1.SetGenreNumber(200);
  v1.SetTitle("One");
  EXPECT_EQ(Format("[%6][%8]", 0, "x.mp3", true), "[][]");
}

// An ID3v2.3 tag holding one TRCK frame with `text` (encoding 0), loaded
// into the analysis object's ID3v2 tag as a file would give it.
void LoadTrackFrame(audio::MPEGaudio& audio, const std::string& text) {
  const size_t frameSize = 1 + text.size();
  std::string tag = "ID3";
  tag += std::string("\x03\x00\x00", 3);
  const size_t body = 10 + frameSize;
  for (int shift : {21, 14, 7, 0}) tag += static_cast<char>((body >> shift) & 0x7F);
  tag += "TRCK";
  for (int shift : {24, 16, 8, 0}) tag += static_cast<char>((frameSize >> shift) & 0xFF);
  tag += std::string("\x00\x00\x00", 3);  // flags, encoding 0
  tag += text;
  const fs::path path = fs::temp_directory_path() /
                        ("tagwright-template-" + std::to_string(std::rand()) + "-track.mp3");
  std::ofstream(path, std::ios::binary).write(tag.data(), static_cast<std::streamsize>(tag.size()));
  ASSERT_TRUE(audio.ID3v2().Load(path.string())) << text;
  fs::remove(path);
  ASSERT_EQ(audio.ID3v2().TrackText(), text);
}

// Marker 8 of an ID3v2 tag is the track number without the number of tracks,
// so that the padding options make names like "02 Title"; the number of tracks
// alone gives nothing, and another text that holds no number is given as it is.
TEST_F(TemplateTest, TrackMarkerGivesTheNumberBeforeTheSlash) {
  struct TrackCase {
    const char* trackText;
    const char* tmpl;
    const char* expected;
  } cases[] = {
      {"2/3", "%8", "2"},
      {"2/3", "%8{R,2,0} x", "02 x"},
      {"12/12", "%8{R,3,0}", "012"},
      {"02/12", "%8", "02"},  // the digits as they are written
      {"7 / 12", "[%8]", "[7]"},
      {"5", "%8{R,2,0}", "05"},
      {"3/", "%8", "3"},
      {"/12", "[%8]", "[]"},  // the number of tracks alone: no number
      {"/ 12", "[%8]", "[]"},
      {"A1", "%8{R,4,_}", "__A1"},
      {"Side B/2", "%8", "Side B/2"},
      {"1-2/9", "%8", "1-2/9"},
  };
  for (const TrackCase& c : cases) {
    LoadTrackFrame(audio_, c.trackText);
    EXPECT_EQ(Format(c.tmpl, 0, "x.mp3", false), c.expected) << c.trackText << " " << c.tmpl;
  }
  // The ID3v1 track is a number already.
  audio_.ID3v1().SetTrack(9);
  EXPECT_EQ(Format("%8{R,2,0}", 0, "x.mp3", true), "09");
}

TEST_F(TemplateTest, PathMarkers) {
  struct PathCase {
    const char* fullName;
    const char* expected;  // of "%E|%F|%G"
  };
  // Written with '\' and read with the system's separator.
  const PathCase both[] = {
      {"C:\\Music\\take 1.mp3", "C:\\Music\\|take 1|.mp3"},
      {"C:\\a.b\\c", "C:\\a.b\\|c|.b_c"},
      {"song", "|song|"},
      {"D:\\x\\name.with.dots.mp3", "D:\\x\\|name.with.dots|.mp3"},
      {"C:\\dir\\.hidden", "C:\\dir\\||.hidden"},
  };
  for (const PathCase& c : both)
    EXPECT_EQ(Format("%E|%F|%G", 0, Sep(c.fullName)), Sep(c.expected)) << c.fullName;
  // Windows: a drive ends the folder part, '/' does not, and the characters
  // no Windows name holds become '_'. POSIX: every character but '/' belongs
  // to a name, '\' and ':' too, and stays as it is.
  const PathCase windows[] = {
      {"C:song.mp3", "C:|song|.mp3"},
      {"C:\\music/AC/DC.mp3", "C:\\|music_AC_DC|.mp3"},
      {"C:\\odd?|\\a*b.m<3", "C:\\odd__\\|a_b|.m_3"},
  };
  const PathCase posix[] = {
      {"C:song.mp3", "|C:song|.mp3"},
      {"/music/AC\\DC - Back.mp3", "/music/|AC\\DC - Back|.mp3"},
      {"/mu\\sic:/a.mp3", "/mu\\sic:/|a|.mp3"},
      {"/odd?|/a*b.m<3", "/odd?|/|a*b|.m<3"},
      {"/x/\"q\".mp3", "/x/|\"q\"|.mp3"},
  };
  for (const PathCase& c : sys::kPathSeparator == '\\' ? std::span<const PathCase>(windows)
                                                       : std::span<const PathCase>(posix))
    EXPECT_EQ(Format("%E|%F|%G", 0, c.fullName), c.expected) << c.fullName;
}

// Paths are the host's text (OEM 866 here): their pieces are read into UTF-8,
// whatever the tag code page.
TEST_F(TemplateTest, PathMarkersAreReadFromTheHostsText) {
  for (tags::CodePageKind page : {tags::CodePageKind::Ansi, tags::CodePageKind::HostTable}) {
    tags::TagCodePage.Kind = page;
    EXPECT_EQ(Format("%E%F%G", 0, Sep("C:\\\x80\\\xA0.\x80")), Sep("C:\\А\\а.А"));
  }
}

// Widths, alignment, cuts and the pad character count characters of UTF-8
// text, never bytes.
TEST_F(TemplateTest, WidthsCountCharacters) {
  audio_.ID3v2().SetTitle("Ωmega");
  audio_.ID3v2().SetArtist("Группа");
  audio_.ID3v2().SetAlbum("東京");
  EXPECT_EQ(Format("[%2{R,8,*}]"), "[***Ωmega]");
  EXPECT_EQ(Format("[%2{L,7}]"), "[Ωmega  ]");
  EXPECT_EQ(Format("[%3{L,3, ,L}|%3{L,3, ,R}]"), "[Гру|ппа]");
  EXPECT_EQ(Format("[%4{C,6,·}]"), "[··東京··]");
  EXPECT_EQ(Format("[%4{L,1, ,L}]"), "[東]");
  EXPECT_EQ(Format("[%3{L,6, ,L}]"), "[Группа]");
}

TEST_F(TemplateTest, AudioMarkers) {
  EXPECT_EQ(Format("%1|%H|%I|%J|%K|%L|%M|%N"),
            "03.07|3000000|MPEG 1|Layer III|128|7194|44100|Joint Stereo");

  // Minutes above 99 take more digits: 6001 s at 8 kbit/s.
  const std::string path = WriteAudio("long.mp3", kMpeg25, 72, 6001000);
  ASSERT_TRUE(audio_.Analyze(path));
  fs::remove(path);
  EXPECT_EQ(Format("%1"), "100.01");

  // A file without audio: only the counter and the path markers have values.
  audio_.Reset();
  audio_.ID3v2().SetTitle("Song");
  EXPECT_EQ(Format("%0[%1%2%H%I%J%K%L%M%N]%F", 3, Sep("C:\\a.mp3")), "3[]a");
  EXPECT_EQ(Format("%2{R,3,-}", 3), "---");  // an empty value is still padded
}

// Widths beyond what a caller's text can hold are taken as kMaxTemplateWidth:
// a slip such as %2{R,1500000000} pads to 511 bytes instead of asking for
// 1.5 GB, and a number too large for the host's atoi does not wrap around.
TEST_F(TemplateTest, WidthsAboveTheLimitAreClamped) {
  SongByBand();
  const std::string pad507(507, ' ');
  struct WidthCase {
    const char* tmpl;
    std::string expected;
  } cases[] = {
      {"%2{R,1500000000}", pad507 + "Song"},
      {"%2{L,512,*}", "Song" + std::string(507, '*')},
      {"%2{R,511,*}", std::string(507, '*') + "Song"},
      {"%2{R,510,*}", std::string(506, '*') + "Song"},
      {"%2{C,99999999999999999999,-}", std::string(253, '-') + "Song" + std::string(254, '-')},
      {"%2{R,4294967297}", pad507 + "Song"},  // 2^32 + 1: not width 1
      {"%2{R,+600x}", pad507 + "Song"},       // leading digits, as atoi reads them
      {"%0{1,R,2147483648,0}", std::string(510, '0') + "5"},
      {"[%2{R,-1500000000}]", "[Song{R,-1500000000}]"},  // still no block
  };
  for (const WidthCase& c : cases) EXPECT_EQ(Format(c.tmpl), c.expected) << c.tmpl;

  // A clamped width also cuts: a name of 600 bytes kept from the left.
  const std::string longName = Sep("C:\\") + std::string(600, 'n') + ".mp3";
  EXPECT_EQ(Format("%F{L,1000,,L}", 0, longName), std::string(511, 'n'));
  EXPECT_EQ(Format("%F{L,1000}", 0, longName), std::string(600, 'n'));  // no cut: as it is

  EXPECT_EQ(PadAndCut("x", 1500000000, Alignment::Right, ".", CutSide::None).size(), 511u);
  EXPECT_EQ(PadAndCut(std::string(600, 'y'), 2000, Alignment::Left, " ", CutSide::KeepRight),
            std::string(511, 'y'));
}

// The dialogs' check finds the blocks that the formatter clamps, and only
// those: where the width is written, and the width as written.
TEST(FindClampedWidth, FindsTheWidthsTheFormatterClamps) {
  struct CheckCase {
    const char* tmpl;
    int position;  // -1: nothing found
    const char* width;
  } cases[] = {
      {"%2{R,1500000000}", 5, "1500000000"},
      {"%3 - %2{ c , 9999 , * }%G", 13, "9999"},
      {"%2{R,10}%3{L,+600x}", 13, "+600x"},
      {"%0{1,R,1000,0}", 7, "1000"},    // after the counter's start value
      {"%0{R,1000,0}", 5, "1000"},      // no start value: the options begin at once
      {"%2{R,511}%2{r,512}", 14, "512"},
      {"%2{R,511}", -1, ""},
      {"%%2{R,9999}", -1, ""},          // a literal %
      {"%2{X,9999}", -1, ""},           // no alignment: the block is text
      {"%2{R,-9999}", -1, ""},          // no width: the block is text
      {"%2{R,9999", -1, ""},            // no closing brace
      {"%Z{R,9999}", -1, ""},           // no marker
      {"%2{R,5 %3{R,9999}", -1, ""},    // the first block reaches the second's brace
      {"%0{7}{R,9999}", -1, ""},        // the counter's block ended at its start value
  };
  for (const CheckCase& c : cases) {
    const std::optional<ClampedWidth> found = FindClampedWidth(c.tmpl);
    if (c.position < 0) {
      EXPECT_FALSE(found.has_value()) << c.tmpl;
      continue;
    }
    ASSERT_TRUE(found.has_value()) << c.tmpl;
    EXPECT_EQ(found->position, static_cast<size_t>(c.position)) << c.tmpl;
    EXPECT_EQ(found->width, c.width) << c.tmpl;
  }
  // Text after a zero byte is no part of the template.
  EXPECT_FALSE(FindClampedWidth(std::string("%2\0%2{R,9999}", 13)).has_value());
}

// Windows names hold none of " * < > ? | (nor, in one name, / : \); a Linux
// name holds every character but '/' (and NUL).
TEST(ReplaceIllegalNameChars, NarrowAndWideSets) {
  const bool windows = sys::kPathSeparator == '\\';
  const char* narrowSet = windows ? "\"*<>?|" : "";
  const char* separators = windows ? "/:\\" : "/";
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::string narrow = all, wide = all;
  ReplaceIllegalNameChars(narrow, false);
  ReplaceIllegalNameChars(wide, true);
  for (int b = 1; b < 256; ++b) {
    const bool inNarrow = std::strchr(narrowSet, b) != nullptr;
    const bool inWide = inNarrow || std::strchr(separators, b) != nullptr;
    EXPECT_EQ(narrow[b - 1], inNarrow ? '_' : static_cast<char>(b)) << b;
    EXPECT_EQ(wide[b - 1], inWide ? '_' : static_cast<char>(b)) << b;
  }
  char buffer[] = "a/b\0c/d";
  EXPECT_EQ(ReplaceIllegalNameChars(buffer, true), buffer);
  EXPECT_EQ(std::string(buffer, sizeof buffer - 1), std::string("a_b\0c/d", 7));  // stops at 0
}

class CaseModifiers : public ::testing::Test {
 protected:
  testhost::TestHost host_;
};

TEST_F(CaseModifiers, TransliterateTheWholeAlphabet) {
  const char* const latin[32] = {"a", "b",  "v",  "g",  "d",   "e", "zh", "z", "i", "j",  "k",
                                 "l", "m",  "n",  "o",  "p",   "r", "s",  "t", "u", "f",  "h",
                                 "ts", "ch", "sh", "sch", "'", "y", "'",  "e", "yu", "ya"};
  for (int i = 0; i < 32; ++i) {
    std::string upper = latin[i];
    upper[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[0])));
    std::string capital, small;
    tags::AppendUtf8(capital, static_cast<char32_t>(0x0410 + i));
    tags::AppendUtf8(small, static_cast<char32_t>(0x0430 + i));
    EXPECT_EQ(Transliterate(capital), upper) << i;
    EXPECT_EQ(Transliterate(small), latin[i]) << i;
  }
  EXPECT_EQ(Transliterate("Ёё"), "Ee");
  EXPECT_EQ(Transliterate("привет МИР"), "privet MIR");
  EXPECT_EQ(Transliterate("Журнал 1-й"), "Zhurnal 1-j");
  // Other scripts, symbols and ASCII pass unchanged.
  EXPECT_EQ(Transliterate("a░Ωé東"), "a░Ωé東");
}

// Letter case is Unicode's: Cyrillic, Greek and accented Latin letters change
// whatever code page the host works in.
TEST_F(CaseModifiers, CaseOfEveryScript) {
  EXPECT_EQ(CapitalizeFirst("ГРУППА крови"), "Группа крови");
  EXPECT_EQ(CapitalizeWords("ωmega éLAN группа-крови 2x"), "Ωmega Élan Группа-Крови 2X");
  EXPECT_EQ(SwapCase("Ωmega Bjørk"), "ωMEGA bJØRK");
  EXPECT_EQ(CapitalizeFirst(""), "");
}

}  // namespace
}  // namespace batch

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "sys/sys.h"
#include "tag_test_support.h"
#include "tags/id3v1.h"
#include "tags/codepage.h"
#include "tags/id3v2.h"

namespace tags {
namespace {

using namespace tagtest;

class ID3v2Read : public ::testing::Test {
 protected:
  // Loads `bytes` followed by some audio from a file.
  ID3v2Tag Loaded(const Bytes& bytes, bool* result = nullptr) {
    WriteAll(file_, Cat({bytes, Audio(400)}));
    ID3v2Tag tag;
    const bool ok = tag.Load(file_);
    if (result) {
      *result = ok;
    } else {
      EXPECT_TRUE(ok);
    }
    return tag;
  }

  ScratchDir dir_;
  std::string file_ = dir_.File("t.mp3");
};

TEST(ID3v2TagTotalSize, FromTheHeaderBytes) {
  struct Case {
    std::array<uint8_t, 4> size;
    uint8_t flags;
    int64_t fileSize;
    int64_t total;
  };
  const Case cases[] = {
      {{0, 0, 2, 1}, 0x00, 1000, 267},
      {{0, 0, 2, 1}, 0x10, 1000, 277},  // footer
      {{0, 0, 2, 1}, 0x00, 266, 0},     // larger than the file
      {{0, 0, 2, 1}, 0x00, 267, 267},
      {{0, 0, 0, 0x80}, 0x00, 1000, 138},  // a byte with its top bit counts whole
      {{0x7F, 0x7F, 0x7F, 0x7F}, 0x10, int64_t{1} << 40, (int64_t{1} << 28) - 1 + 20},
  };
  for (const Case& c : cases) {
    TagInfo info;
    info.ID = {'I', 'D', '3'};
    info.Size = c.size;
    info.Flags = c.flags;
    info.FileSize = c.fileSize;
    EXPECT_EQ(TagTotalSize(info), c.total);
  }
}

TEST_F(ID3v2Read, HeaderOutcomes) {
  bool ok = true;
  WriteAll(file_, Text("ID3\3\0"));
  ID3v2Tag tag;
  tag.SetTitle("stale");
  EXPECT_FALSE(tag.Load(file_));
  EXPECT_EQ(tag.Title(), "");
  EXPECT_FALSE(tag.Load(dir_.File("missing.mp3")));

  tag = Loaded(Audio(20), &ok);
  EXPECT_TRUE(ok);
  EXPECT_FALSE(tag.Present());
  EXPECT_EQ(tag.TagSize(), 0);

  // Version 5: present, nothing read.
  tag = Loaded(Tag(5, FrameV3("TIT2", Latin1("T"))));
  EXPECT_TRUE(tag.Present());
  EXPECT_EQ(tag.Version(), 5);
  EXPECT_EQ(tag.Title(), "");

  // Declared larger than the file.
  tag = Loaded(Cat({Header(3, 0, 100000), FrameV3("TIT2", Latin1("T"))}));
  EXPECT_TRUE(tag.Present());
  EXPECT_EQ(tag.TagSize(), 0);
  EXPECT_EQ(tag.Title(), "");
}

// The same frames in each version's layout read the same fields.
TEST_F(ID3v2Read, EveryVersionFillsTheFields) {
  struct Ids {
    uint8_t version;
    const char* title;
    const char* artist;
    const char* album;
    const char* track;
    const char* year;
    const char* genre;
    const char* composer;
    const char* encodedBy;
    const char* copyright;
    const char* language;
    const char* origArtist;
  };
  const Ids versions[] = {
      {2, "TT2", "TP1", "TAL", "TRK", "TYE", "TCO", "TCM", "TEN", "TCR", "TLA", "TOA"},
      {3, "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "TCOM", "TENC", "TCOP", "TLAN", "TOPE"},
      {4, "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "TCOM", "TENC", "TCOP", "TLAN", "TOPE"},
  };
  for (const Ids& v : versions) {
    SCOPED_TRACE(testing::Message() << "version " << int{v.version});
    auto frame = [&](const char* id, const char* text) {
      return v.version == 2   ? FrameV2(id, Latin1(text))
             : v.version == 3 ? FrameV3(id, Latin1(text))
                              : FrameV4(id, Latin1(text));
    };
    const Bytes frames =
        Cat({frame(v.title, " Title "), frame(v.artist, "Artist"), frame(v.album, "Album"),
             frame(v.track, "3/12"), frame(v.year, "1999"), frame(v.genre, "(17)Rock"),
             frame(v.composer, "Composer"), frame(v.encodedBy, "Enc"), frame(v.copyright, "Copy"),
             frame(v.language, "eng"), frame(v.origArtist, "Orig")});
    const ID3v2Tag tag = Loaded(Tag(v.version, frames, 50));
    EXPECT_EQ(tag.Version(), v.version);
    EXPECT_EQ(tag.TagSize(), static_cast<int64_t>(frames.size() + 60));
    EXPECT_EQ(tag.Title(), "Title");
    EXPECT_EQ(tag.Artist(), "Artist");
    EXPECT_EQ(tag.Album(), "Album");
    EXPECT_EQ(tag.Track(), 3);
    EXPECT_EQ(tag.TrackText(), "3/12");
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.Genre(), "Rock");
    EXPECT_EQ(tag.Composer(), "Composer");
    EXPECT_EQ(tag.EncodedBy(), "Enc");
    EXPECT_EQ(tag.Copyright(), "Copy");
    EXPECT_EQ(tag.Language(), "eng");
    EXPECT_EQ(tag.OrigArtist(), "Orig");
  }
}

TEST_F(ID3v2Read, SecondChoicesFillEmptyFirstChoices) {
  ID3v2Tag tag =
      Loaded(Tag(3, Cat({FrameV3("TIT1", Latin1("Group")), FrameV3("TOPE", Latin1("Orig")),
                         FrameV3("TOAL", Latin1("OrigAlbum")),
                         FrameV3("TDRC", Latin1("2004-05-01")), FrameV3("TIT2", Latin1("  "))})));
  EXPECT_EQ(tag.Title(), "Group");
  EXPECT_EQ(tag.Artist(), "Orig");
  EXPECT_EQ(tag.OrigArtist(), "Orig");
  EXPECT_EQ(tag.Album(), "OrigAlbum");
  EXPECT_EQ(tag.Year(), "2004");

  tag = Loaded(Tag(2, Cat({FrameV2("TT1", Latin1("Group")), FrameV2("TOR", Latin1("1987"))})));
  EXPECT_EQ(tag.Title(), "Group");
  EXPECT_EQ(tag.Year(), "1987");
}

TEST_F(ID3v2Read, TrackAndGenreTexts) {
  struct Case {
    const char* track;
    int number;
  };
  const Case tracks[] = {{"3/12", 3},  {"A3", 0}, {"$1F", 31},       {"0x10", 16},
                         {"X10", 16},  {"+4", 4}, {"-1", 65535},     {"70000", 4464},
                         {"12abc", 0}, {"/5", 0}, {"99999999999", 0}};
  for (const Case& c : tracks) {
    const ID3v2Tag tag = Loaded(Tag(3, FrameV3("TRCK", Latin1(c.track))));
    EXPECT_EQ(tag.Track(), c.number) << c.track;
    EXPECT_EQ(tag.TrackText(), c.track);
  }
  const std::pair<const char*, const char*> genres[] = {
      {"(17)Rock", "Rock"}, {"(17)", "Rock"},  {"Rock", "Rock"},  {"(1)(17)Pop", "Pop"},
      {"(52)", "Electronic"}, {"(RX)", "Remix"}, {"(CR)", "Cover"}, {"(1)(17)", "Classic Rock"},
      {"(200)", ""},          {"(x)", ""},       {"()", ""}};
  for (const auto& [stored, shown] : genres)
    EXPECT_EQ(Loaded(Tag(3, FrameV3("TCON", Latin1(stored)))).Genre(), shown) << stored;
}

TEST_F(ID3v2Read, CommentAndLinkSkipTheirDescriptions) {
  const Bytes utf16Comment = {1,    'e',  'n', 'g', 0xFF, 0xFE, 'A', 0, 0,   0,
                              0xFF, 0xFE, 'N', 0,   'i',  0,    'c', 0, 'e', 0};
  struct Case {
    const char* what;
    Bytes data;
    std::string comment;
  };
  const Case cases[] = {
      {"empty description", Cat({Latin1("eng"), {0}, Text("Nice")}), "Nice"},
      {"with description", Cat({Latin1("eng"), Text("desc"), {0}, Text("Nice")}), "Nice"},
      // The terminator after "A" must be found on a unit boundary.
      {"UTF-16 description", utf16Comment, "Nice"},
      {"no terminator", Cat({Latin1("eng"), Text("desc only")}), ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Loaded(Tag(3, FrameV3("COMM", c.data))).Comment(), c.comment) << c.what;

  EXPECT_EQ(Loaded(Tag(3, FrameV3("WXXX", Cat({{0, 0}, Text("http://x")})))).URL(), "http://x");
  // The link itself is ISO-8859-1 whatever the description's encoding.
  const Bytes utf16Link = Cat({{1, 0xFF, 0xFE, 'd', 0, 0, 0}, Text("http://y")});
  EXPECT_EQ(Loaded(Tag(3, FrameV3("WXXX", utf16Link))).URL(), "http://y");
}

// Unicode text is read as it is, in every encoding, whatever the tag code
// page; 8-bit text through the tag code page.
TEST_F(ID3v2Read, UnicodeTextIsReadAsItIs) {
  const std::u16string word = u"\u00FFvAr\u00E9";  // y-diaeresis has 0xFF as its low byte
  const std::string utf8 = "\xC3\xBFvAr\xC3\xA9";
  auto utf16 = [&](bool bigEndian, bool mark) {
    Bytes out;
    if (mark) out = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
    for (char16_t u : word) {
      const uint8_t lo = static_cast<uint8_t>(u & 0xFF), hi = static_cast<uint8_t>(u >> 8);
      out.insert(out.end(), bigEndian ? std::initializer_list<uint8_t>{hi, lo}
                                      : std::initializer_list<uint8_t>{lo, hi});
    }
    return Cat({out, {0, 0}, Text("junk after the end")});
  };
  struct Case {
    const char* what;
    Bytes data;
  };
  const Case cases[] = {
      {"UTF-16 little-endian with mark", Cat({{1}, utf16(false, true)})},
      {"UTF-16 big-endian with mark", Cat({{1}, utf16(true, true)})},
      {"UTF-16 big-endian without mark", Cat({{2}, utf16(true, false)})},
      {"UTF-8", Cat({{3}, Text("\xC3\xBFvAr\xC3\xA9"), {0}, Text("second value")})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Loaded(Tag(4, FrameV4("TIT2", c.data))).Title(), utf8) << c.what;
    EXPECT_EQ(Loaded(Tag(3, FrameV3("TPE1", c.data))).Artist(), utf8) << c.what;
  }
  const CodePage saved = TagCodePage;
  TagCodePage.Kind = CodePageKind::Oem;  // 866 here
  EXPECT_EQ(Loaded(Tag(3, FrameV3("TPE1", cases[0].data))).Artist(), utf8);
  EXPECT_EQ(Loaded(Tag(3, FrameV3("TPE1", Latin1("\x8A\xA8\xAD\xAE")))).Artist(), "Кино");
  TagCodePage.Kind = CodePageKind::Ansi;  // 1251
  EXPECT_EQ(Loaded(Tag(3, FrameV3("TPE1", Latin1("\xCA\xE8\xED\xEE")))).Artist(), "Кино");
  TagCodePage = saved;
  // Unknown encodings are not read.
  EXPECT_EQ(Loaded(Tag(3, FrameV3("TIT2", Cat({{4}, Text("Title")})))).Title(), "");
}

TEST_F(ID3v2Read, SlotsKeepTheFirst500BytesAndTheWalkGoesOn) {
  const std::string longText(700, 'c');
  const ID3v2Tag tag =
      Loaded(Tag(3, Cat({FrameV3("COMM", Cat({Latin1("eng"), {0}, Text(longText)})),
                         FrameV3("TIT2", Latin1(longText)), FrameV3("TPE1", Latin1("Next"))})));
  EXPECT_EQ(tag.Comment(), std::string(500 - 5, 'c'));
  EXPECT_EQ(tag.Title(), std::string(499, 'c'));
  EXPECT_EQ(tag.Artist(), "Next");
}

// A slot reads as the frame's first 500 bytes followed by zeros up to 500:
// a UTF-16 string whose last unit lacks a byte gets a zero there, unless the
// 500 bytes end right after it.
TEST_F(ID3v2Read, SlotTextEndsAsIfZerosFilledItsFiveHundredBytes) {
  const auto utf16 = [](size_t units, char last) {
    Bytes data = {1, 0xFF, 0xFE};
    for (size_t i = 0; i < units; ++i) data.insert(data.end(), {'x', 0});
    data.push_back(static_cast<uint8_t>(last));
    return data;
  };
  struct Case {
    const char* what;
    Bytes frame;
    std::string title, comment;
  };
  const Case cases[] = {
      {"odd UTF-16", FrameV3("TIT2", utf16(0, 'B')), "B", ""},
      {"odd UTF-16 of 498 bytes", FrameV3("TIT2", utf16(247, 'B')), std::string(247, 'x') + "B",
       ""},
      {"odd UTF-16 of 500 bytes", FrameV3("TIT2", utf16(248, 'B')), std::string(248, 'x'), ""},
      {"odd UTF-16 cut at 500 bytes", FrameV3("TIT2", utf16(260, 'B')), std::string(248, 'x'), ""},
      {"comment after a terminated description",
       FrameV3("COMM", Cat({{1}, Text("eng"), {0, 0, 0xFF, 0xFE, 'H', 0, 'i'}})), "", "Hi"},
      {"comment without a terminated description",
       FrameV3("COMM", Cat({{1}, Text("eng"), {0xFF, 0xFE, 'd', 0}})), "", ""},
      {"Latin-1 with inner zero and trailing blanks",
       FrameV3("TIT2", Cat({Latin1("A"), {0}, Text("B  ")})), std::string("A\0B", 3), ""},
  };
  for (const Case& c : cases) {
    const ID3v2Tag tag = Loaded(Tag(3, c.frame));
    EXPECT_EQ(tag.Title(), c.title) << c.what;
    EXPECT_EQ(tag.Comment(), c.comment) << c.what;
  }
}

// The reader sees the tag through a read-ahead buffer: frame headers and
// data that straddle its end, and a 2.4 size checked beyond it, read the same
// as anywhere else.
TEST_F(ID3v2Read, FramesAcrossTheEndOfTheReadAhead) {
  // Synchsafe 9000 (0x46 0x28) read plainly is 17960: the check of where the
  // title frame ends reads beyond the buffer, which then holds the next
  // frames (0xAA bytes, which as frame flags would say "compressed").
  const Bytes longTitle = Cat({Latin1("Title"), Bytes(9000 - 6, 0)});
  for (const uint8_t version : {uint8_t{3}, uint8_t{4}}) {
    for (size_t filler = 8192 - 40; filler <= 8192 + 4; filler += 3) {
      SCOPED_TRACE(std::to_string(version) + ": filler " + std::to_string(filler));
      const auto frame = [&](std::string_view id, const Bytes& data) {
        return version == 3 ? FrameV3(id, data) : FrameV4(id, data);
      };
      const ID3v2Tag tag =
          Loaded(Tag(version,
                     Cat({frame("PRIV", Bytes(filler, 0xAA)), frame("TIT2", longTitle),
                          frame("TPE1", Latin1("Artist")), frame("PRIV", Bytes(9000, 0xAA)),
                          frame("TALB", Latin1("A"))}),
                     100));
      EXPECT_EQ(tag.Title(), "Title");
      EXPECT_EQ(tag.Artist(), "Artist");
      EXPECT_EQ(tag.Album(), "A");
    }
  }
}

TEST_F(ID3v2Read, LaterFramesReplaceEarlierOnesAndPaddingEndsTheWalk) {
  const ID3v2Tag tag =
      Loaded(Tag(3, Cat({FrameV3("TIT2", Latin1("First")), FrameV3("TIT2", Latin1("Second"))})));
  EXPECT_EQ(tag.Title(), "Second");
  // A frame after padding is not read, even inside the declared size.
  const Bytes frames =
      Cat({FrameV3("TIT2", Latin1("T")), Bytes(20, 0), FrameV3("TPE1", Latin1("A"))});
  const ID3v2Tag padded = Loaded(Tag(3, frames));
  EXPECT_EQ(padded.Title(), "T");
  EXPECT_EQ(padded.Artist(), "");
}

// One tag object goes through the files of a walk: nothing of a file stays
// for the next one, also where the next one's frame is not taken.
TEST_F(ID3v2Read, ALoadKeepsNothingOfThePreviousFile) {
  const std::string other = dir_.File("u.mp3");
  WriteAll(other, Cat({Tag(3, Cat({FrameV3("TIT2", Latin1("A title longer than a short string")),
                                   FrameV3("TPE1", Latin1("An artist longer than a short string")),
                                   FrameV3("COMM", Cat({Latin1("eng"), {0}, Text("A comment")}))})),
                       Audio(400)}));
  ID3v2Tag tag;
  ASSERT_TRUE(tag.Load(other));
  ASSERT_EQ(tag.Artist(), "An artist longer than a short string");
  // An encoding byte of 7 is not text the reader takes.
  WriteAll(file_, Cat({Tag(3, Cat({FrameV3("TIT2", Latin1("B")), FrameV3("TPE1", Bytes{7, 'x', 'y'})})),
                       Audio(400)}));
  ASSERT_TRUE(tag.Load(file_));
  EXPECT_EQ(tag.Title(), "B");
  EXPECT_EQ(tag.Artist(), "");
  EXPECT_EQ(tag.Comment(), "");
  EXPECT_EQ(tag.FullComment(), "");
}

TEST_F(ID3v2Read, FrameFlagsDecideWhatIsRead) {
  struct Case {
    const char* what;
    Bytes frame;
    std::string title;
  };
  const Case cases[] = {
      {"2.3 compressed", FrameV3("TIT2", Cat({{0, 0, 0, 9}, Latin1("Zipped")}), 0, 0x80), ""},
      {"2.3 encrypted", FrameV3("TIT2", Cat({{0x80}, Latin1("Secret")}), 0, 0x40), ""},
      {"2.3 grouped", FrameV3("TIT2", Cat({{7}, Latin1("Grouped")}), 0, 0x20), "Grouped"},
      {"2.3 status flags", FrameV3("TIT2", Latin1("Status"), 0xE0, 0), "Status"},
  };
  for (const Case& c : cases) {
    const ID3v2Tag tag = Loaded(Tag(3, Cat({c.frame, FrameV3("TPE1", Latin1("After"))})));
    EXPECT_EQ(tag.Title(), c.title) << c.what;
    EXPECT_EQ(tag.Artist(), "After") << c.what;
  }
  const Bytes text = Latin1("Caf\xFF\xE0 Title");
  const Bytes unsynchronised = Unsynchronise(text);
  ASSERT_NE(unsynchronised, text);
  const Case v4[] = {
      {"2.4 compressed", FrameV4("TIT2", Cat({{0, 0, 0, 9}, Latin1("Zipped")}), 0, 0x09), ""},
      {"2.4 encrypted", FrameV4("TIT2", Cat({{0x80}, Latin1("Secret")}), 0, 0x04), ""},
      {"2.4 grouped", FrameV4("TIT2", Cat({{7}, Latin1("Grouped")}), 0, 0x40), "Grouped"},
      {"2.4 data length", FrameV4("TIT2", Cat({SyncSafe(8), Latin1("Length")}), 0, 0x01), "Length"},
      {"2.4 unsynchronised", FrameV4("TIT2", unsynchronised, 0, 0x02),
       std::string(text.begin() + 1, text.end())},
      {"2.4 all three",
       FrameV4("TIT2", Cat({{7}, SyncSafe(static_cast<uint32_t>(text.size())), unsynchronised}), 0,
               0x43),
       std::string(text.begin() + 1, text.end())},
      {"2.4 flag 0x80 of 2.3 means nothing", FrameV4("TIT2", Latin1("Plain"), 0, 0x80), "Plain"},
  };
  for (const Case& c : v4) {
    const ID3v2Tag tag = Loaded(Tag(4, Cat({c.frame, FrameV4("TPE1", Latin1("After"))})));
    EXPECT_EQ(tag.Title(), BytesToUtf8(c.title, TagCodePage)) << c.what;
    EXPECT_EQ(tag.Artist(), "After") << c.what;
  }
}

TEST_F(ID3v2Read, UnsynchronisationOfTheWholeTagIsUndone) {
  // Tags as an unsynchronising writer stores them, written out by hand: a
  // zero byte follows every FF that precedes a byte of E0 or above, or a zero.
  // Such bytes stand in a frame before the title (a JPEG start), in the title
  // itself and in a frame size.
  const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0x00, 0xE0, 0xFF, 0x00, 0x00};  // FF D8 FF E0 FF 00
  const Bytes picture = Cat({{0}, Text("image/jpeg"), {0, 3, 0}, jpeg});
  const Bytes title = {0, 'A', 0xFF, 0x00, 0xFF};  // "A" FF FF; the last FF precedes 'T'
  const Bytes v3 = Cat({Text("APIC"), {0, 0, 0, 20, 0, 0}, picture,                  //
                        Text("TIT2"), {0, 0, 0, 4, 0, 0}, title,                     //
                        Text("TXXX"), {0, 0, 1, 0xFF, 0x00, 0, 0}, Bytes(0x1FF, 'x'),  // size 1FF
                        Text("TPE1"), {0, 0, 0, 6, 0, 0}, Latin1("After")});
  const Bytes v2 = Cat({Text("PIC"), {0, 0, 20}, picture,                      //
                        Text("TT2"), {0, 0, 4}, title,                         //
                        Text("TXX"), {0, 1, 0xFF}, Bytes(0x1FF, 'x'),          // FF before 'x'
                        Text("TP1"), {0, 0, 6}, Latin1("After")});
  for (const auto& [version, body] : {std::pair{uint8_t{2}, v2}, std::pair{uint8_t{3}, v3}}) {
    const ID3v2Tag tag = Loaded(Cat({Header(version, 0x80, static_cast<uint32_t>(body.size())), body}));
    EXPECT_EQ(tag.Title(), BytesToUtf8("A\xFF\xFF", TagCodePage)) << int{version};
    EXPECT_EQ(tag.Artist(), "After") << int{version};
    EXPECT_EQ(tag.TagSize(), static_cast<int64_t>(body.size() + 10));
  }
  // In 2.4 the header flag means that every frame is unsynchronised; the
  // frame size counts the stored bytes.
  const Bytes v4Title = {0, 'B', 0xFF, 0x00, 0xF0};  // "B" FF F0
  const ID3v2Tag v4 =
      Loaded(Tag(4, Cat({FrameV4("TIT2", v4Title), FrameV4("TPE1", Latin1("After"))}), 0, 0x80));
  EXPECT_EQ(v4.Title(), BytesToUtf8("B\xFF\xF0", TagCodePage));
  EXPECT_EQ(v4.Artist(), "After");
}

TEST_F(ID3v2Read, ExtendedHeadersAreSkipped) {
  const Bytes frames = Cat({FrameV4("TIT2", Latin1("Title")), FrameV4("TPE1", Latin1("Artist"))});
  struct Case {
    const char* what;
    uint8_t version;
    Bytes extended;
  };
  const Case cases[] = {
      {"2.3, 6 bytes after the size", 3, Cat({BigEndian(6, 4), {0, 0}, BigEndian(0, 4)})},
      {"2.3 with CRC", 3,
       Cat({BigEndian(10, 4), {0x80, 0}, BigEndian(0, 4), BigEndian(0xDEAD, 4)})},
      {"2.4, 12 bytes in all", 4, Cat({SyncSafe(12), {1, 0x20}, SyncSafe(0x0A0B0C), {0x0D, 0x0E}})},
      // Some writers set the flag but write no extended header.
      {"flag without header", 4, Bytes{}},
  };
  for (const Case& c : cases) {
    const Bytes v3frames =
        Cat({FrameV3("TIT2", Latin1("Title")), FrameV3("TPE1", Latin1("Artist"))});
    const Bytes body = Cat({c.extended, c.version == 3 ? v3frames : frames});
    const ID3v2Tag tag = Loaded(Tag(c.version, body, 0, 0x40));
    EXPECT_EQ(tag.Title(), "Title") << c.what;
    EXPECT_EQ(tag.Artist(), "Artist") << c.what;
  }
  // An extended header whose size runs past the tag: nothing is read, no crash.
  const ID3v2Tag bad = Loaded(Tag(3, Cat({BigEndian(5000, 4), {0, 0}}), 0, 0x40));
  EXPECT_TRUE(bad.Present());
  EXPECT_EQ(bad.Title(), "");
}

TEST_F(ID3v2Read, Version4FrameSizes) {
  const Bytes big = Cat({Latin1("desc"), {0}, Bytes(300, 'v')});  // above 127 bytes
  struct Case {
    const char* what;
    Bytes frames;
  };
  const Case cases[] = {
      {"synchsafe sizes", Cat({FrameV4("TXXX", big), FrameV4("TIT2", Latin1("Title"))})},
      // Written by software that stored plain numbers: 306 = 00 00 01 32.
      {"plain sizes",
       Cat({FrameV4("TXXX", big, 0, 0, true), FrameV4("TIT2", Latin1("Title"), 0, 0, true)})},
      // A plain size whose bytes have their top bit set (200 = 00 00 00 C8) is
      // no synchsafe number at all.
      {"plain size with a high byte",
       Cat({FrameV4("TXXX", Cat({Latin1("d"), {0}, Bytes(197, 'w')}), 0, 0, true),
            FrameV4("TIT2", Latin1("Title"))})},
      // 306 bytes, plain: the synchsafe reading (178) lands on zero bytes inside
      // the frame, which are no padding because more data follows them.
      {"plain size, synchsafe reading lands on zeros",
       Cat({FrameV4("TXXX", Cat({Latin1("d"), {0}, Bytes(175, 'w'), Bytes(10, 0), Bytes(118, 'w')}),
                    0, 0, true),
            FrameV4("TIT2", Latin1("Title"))})},
  };
  for (const Case& c : cases) {
    const ID3v2Tag tag = Loaded(Tag(4, c.frames, 64));
    EXPECT_EQ(tag.Title(), "Title") << c.what;
  }
}

TEST_F(ID3v2Read, LoadFromAnOpenFileReadsTheSame) {
  WriteAll(file_, Cat({Tag(3, FrameV3("TIT2", Latin1("Title")), 30), Audio(300)}));
  sys::File file;
  ASSERT_TRUE(file.Open(file_, sys::OpenMode::Read));
  int64_t size = 0;
  ASSERT_TRUE(file.Size(&size));
  ID3v2Tag tag;
  ASSERT_TRUE(tag.LoadFrom(file, size));
  EXPECT_EQ(tag.Title(), "Title");
  EXPECT_EQ(tag.TagSize(), 10 + 16 + 30);
  ID3v1Tag v1;
  ASSERT_TRUE(v1.LoadFrom(file, size));
  EXPECT_FALSE(v1.Present());
}

// Damaged tags: every byte of a tag changed to a few values, and the tag cut
// at every length, never crashes the reader or reads outside the file.
TEST_F(ID3v2Read, DamagedTagsDoNotCrash) {
  const Bytes good = Tag(4,
                         Cat({FrameV4("TIT2", Bytes{1, 0xFF, 0xFE, 'T', 0, 'i', 0}),
                              FrameV4("COMM", Cat({{3}, Text("eng"), Text("d"), {0}, Text("c")})),
                              FrameV4("WXXX", Cat({{2, 0, 'd', 0, 0}, Text("u")})),
                              FrameV4("TRCK", Latin1("1/2"), 0, 0x43)}),
                         8, 0x40);
  for (size_t i = 0; i < good.size(); ++i) {
    for (uint8_t value : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0xFF}}) {
      Bytes damaged = good;
      damaged[i] = value;
      WriteAll(file_, damaged);
      ID3v2Tag tag;
      EXPECT_TRUE(tag.Load(file_));
      EXPECT_LE(tag.TagSize(), static_cast<int64_t>(damaged.size()));
    }
  }
  for (size_t cut = 0; cut < good.size(); ++cut) {
    WriteAll(file_, Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut)));
    ID3v2Tag tag;
    EXPECT_EQ(tag.Load(file_), cut >= 10);
  }
}

}  // namespace
}  // namespace tags

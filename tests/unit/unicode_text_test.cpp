// Tag text in Unicode: the frames a save builds under "Write ID3v2 text in
// Unicode", the conversion of old 8-bit frames, and the code page guesser.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "sys/sys.h"
#include "tag_test_support.h"
#include "tags/codepage_guess.h"
#include "tags/id3v2.h"
#include "tags/unicode_text.h"

namespace tags {
namespace {

using namespace tagtest;

// UTF-16 with byte order mark, little-endian, as the writer writes it.
Bytes Utf16(std::u16string_view text) {
  Bytes out = {0xFF, 0xFE};
  for (char16_t c : text) out.insert(out.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  return out;
}

// The tests' texts in the code pages they use, spelled out byte for byte as
// the code pages' published tables have them: the save and the guesser read
// them through the system's conversion, which must not also have made them.
struct Spelled {
  std::u16string_view text;
  unsigned codePage;
  std::string_view bytes;
};

const Spelled kSpelled[] = {
    {u"Привет", 1251, "\xCF\xF0\xE8\xE2\xE5\xF2"},
    {u"Группа крови", 1251, "\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8"},
    {u"Био", 1251, "\xC1\xE8\xEE"},
    {u"Новый", 1251, "\xCD\xEE\xE2\xFB\xE9"},
    {u"Кукушка", 20866, "\xEB\xD5\xCB\xD5\xDB\xCB\xC1"},
    {u"Кино", 20866, "\xEB\xC9\xCE\xCF"},
    {u"Песен ещё", 20866, "\xF0\xC5\xD3\xC5\xCE \xC5\xDD\xA3"},
    {u"Дорога", 866, "\x84\xAE\xE0\xAE\xA3\xA0"},
    {u"ЧАЙФ", 1251, "\xD7\xC0\xC9\xD4"},
    {u"Аргентина — Ямайка", 1251, "\xC0\xF0\xE3\xE5\xED\xF2\xE8\xED\xE0 \x97 \xDF\xEC\xE0\xE9\xEA\xE0"},
    {u"Дети гор", 1251, "\xC4\xE5\xF2\xE8 \xE3\xEE\xF0"},
    {u"Привет", 866, "\x8F\xE0\xA8\xA2\xA5\xE2"},
    {u"Привет", 20866, "\xF0\xD2\xC9\xD7\xC5\xD4"},
    {u"Звезда по имени Солнце", 1251, "\xC7\xE2\xE5\xE7\xE4\xE0 \xEF\xEE \xE8\xEC\xE5\xED\xE8 \xD1\xEE\xEB\xED\xF6\xE5"},
    {u"Звезда по имени Солнце", 866, "\x87\xA2\xA5\xA7\xA4\xA0 \xAF\xAE \xA8\xAC\xA5\xAD\xA8 \x91\xAE\xAB\xAD\xE6\xA5"},
    {u"Звезда по имени Солнце", 20866, "\xFA\xD7\xC5\xDA\xC4\xC1 \xD0\xCF \xC9\xCD\xC5\xCE\xC9 \xF3\xCF\xCC\xCE\xC3\xC5"},
    {u"КИНО", 1251, "\xCA\xC8\xCD\xCE"},
    {u"КИНО", 866, "\x8A\x88\x8D\x8E"},
    {u"КИНО", 20866, "\xEB\xE9\xEE\xEF"},
    {u"ВИКТОР ЦОЙ", 1251, "\xC2\xC8\xCA\xD2\xCE\xD0 \xD6\xCE\xC9"},
    {u"ВИКТОР ЦОЙ", 866, "\x82\x88\x8A\x92\x8E\x90 \x96\x8E\x89"},
    {u"ВИКТОР ЦОЙ", 20866, "\xF7\xE9\xEB\xF4\xEF\xF2 \xE3\xEF\xEA"},
    {u"Чёрный альбом", 1251, "\xD7\xB8\xF0\xED\xFB\xE9 \xE0\xEB\xFC\xE1\xEE\xEC"},
    {u"Чёрный альбом", 866, "\x97\xF1\xE0\xAD\xEB\xA9 \xA0\xAB\xEC\xA1\xAE\xAC"},
    {u"Чёрный альбом", 20866, "\xFE\xA3\xD2\xCE\xD9\xCA \xC1\xCC\xD8\xC2\xCF\xCD"},
    {u"Live in Москва", 1251, "Live in \xCC\xEE\xF1\xEA\xE2\xE0"},
    {u"Live in Москва", 866, "Live in \x8C\xAE\xE1\xAA\xA2\xA0"},
    {u"Live in Москва", 20866, "Live in \xED\xCF\xD3\xCB\xD7\xC1"},
    {u"DJ Грув", 1251, "DJ \xC3\xF0\xF3\xE2"},
    {u"DJ Грув", 866, "DJ \x83\xE0\xE3\xA2"},
    {u"DJ Грув", 20866, "DJ \xE7\xD2\xD5\xD7"},
    {u"Ой, то не вечер", 1251, "\xCE\xE9, \xF2\xEE \xED\xE5 \xE2\xE5\xF7\xE5\xF0"},
    {u"Ой, то не вечер", 866, "\x8E\xA9, \xE2\xAE \xAD\xA5 \xA2\xA5\xE7\xA5\xE0"},
    {u"Ой, то не вечер", 20866, "\xEF\xCA, \xD4\xCF \xCE\xC5 \xD7\xC5\xDE\xC5\xD2"},
    {u"Би-2", 1251, "\xC1\xE8-2"},
    {u"Би-2", 866, "\x81\xA8-2"},
    {u"Би-2", 20866, "\xE2\xC9-2"},
    {u"Ёлочка", 1251, "\xA8\xEB\xEE\xF7\xEA\xE0"},
    {u"Ёлочка", 866, "\xF0\xAB\xAE\xE7\xAA\xA0"},
    {u"Ёлочка", 20866, "\xB3\xCC\xCF\xDE\xCB\xC1"},
    {u"Café del Mar", 1252, "Caf\xE9 del Mar"},
    {u"Björk", 1252, "Bj\xF6rk"},
    {u"Für Elise", 1252, "F\xFCr Elise"},
    {u"Motörhead", 1252, "Mot\xF6rhead"},
    {u"Señorita", 1252, "Se\xF1orita"},
    {u"Crème brûlée", 1252, "Cr\xE8me br\xFBl\xE9" "e"},
};

// `text` in the Windows code page `codePage`, from the table above.
std::string InCodePage(std::u16string_view text, unsigned codePage) {
  for (const Spelled& s : kSpelled)
    if (s.text == text && s.codePage == codePage) return std::string(s.bytes);
  ADD_FAILURE() << "a text the table does not spell in " << codePage;
  return "?";
}

TextDecoder From(unsigned codePage) {
  return [codePage](std::string_view text) { return sys::CodePageToWide(codePage, text.data(), text.size()); };
}

const Frame* Find(const WrittenTag& tag, const std::string& id) {
  for (const Frame& f : tag.frames)
    if (f.id == id) return &f;
  return nullptr;
}

class UnicodeSave : public ::testing::Test {
 protected:
  template <typename Change>
  WrittenTag Save(uint8_t version, const Bytes& frames, const TextWriting& writing, Change change) {
    WriteAll(file_, Cat({Tag(version, frames, 64), audio_}));
    ID3v2Tag tag;
    EXPECT_TRUE(tag.Load(file_));
    change(tag);
    tag.SetTextWriting(writing);
    EXPECT_TRUE(tag.Save(file_));
    const Bytes written = ReadAll(file_);
    WrittenTag parsed = Parse23(written);
    EXPECT_EQ(Tail(written, parsed.total), audio_);
    return parsed;
  }

  ScratchDir dir_;
  std::string file_ = dir_.File("song.mp3");
  Bytes audio_ = Audio(1500);
  const std::string privet_ = InCodePage(u"Привет", 1251);
};

// Under the option, changed fields beyond ASCII are written in UTF-16; ASCII
// stays under encoding 0, unchanged frames as they were, the hidden parts of
// a replaced frame (comment language and description, track total) with them.
TEST_F(UnicodeSave, ChangedFieldsBeyondAsciiAreWrittenInUtf16) {
  const CodePage savedPage = TagCodePage;
  TagCodePage.Kind = CodePageKind::Ansi;  // 1251 here
  const std::string album = InCodePage(u"Группа крови", 1251);
  const std::string bio = InCodePage(u"Био", 1251);
  const Bytes frames = Cat({
      FrameV3("TALB", Latin1(album)),
      FrameV3("COMM", Cat({Latin1("rus"), Text(bio), {0}, Text("old")})),
      FrameV3("TRCK", Latin1("3/12")),
  });
  const WrittenTag parsed = Save(3, frames, {true}, [&](ID3v2Tag& tag) {
    tag.SetTitle("Привет");
    tag.SetArtist("Kino");
    tag.SetComment("Новый");
    tag.SetTrack(4);
  });
  const std::vector<Frame> expected = {
      {"TALB", {0, 0}, Latin1(album)},
      {"COMM", {0, 0}, Cat({{1}, Text("rus"), Utf16(u"Био"), {0, 0}, Utf16(u"Новый")})},
      {"TRCK", {0, 0}, Latin1("4/12")},
      {"TIT2", {0, 0}, Cat({{1}, Utf16(u"Привет")})},
      {"TPE1", {0, 0}, Latin1("Kino")},
  };
  // New frames come first, in field order; replaced ones stay in place.
  std::vector<Frame> sorted = parsed.frames;
  ASSERT_EQ(sorted.size(), expected.size());
  for (const Frame& f : expected) {
    const Frame* got = Find(parsed, f.id);
    ASSERT_NE(got, nullptr) << f.id;
    EXPECT_EQ(*got, f);
  }

  // A description in Unicode beyond ASCII is kept as it was, in UTF-16 also
  // under a new ASCII comment and without the option; an ASCII one leaves an
  // ASCII comment under encoding 0, and an 8-bit one its bytes.
  const Bytes unicodeDescription =
      FrameV3("COMM", Cat({{1}, Text("eng"), Utf16(u"Описание"), {0, 0}, Utf16(u"x")}));
  WrittenTag kept = Save(3, unicodeDescription, {false}, [](ID3v2Tag& tag) { tag.SetComment("plain"); });
  ASSERT_EQ(kept.frames.size(), 1u);
  EXPECT_EQ(kept.frames[0].data, Cat({{1}, Text("eng"), Utf16(u"Описание"), {0, 0}, Utf16(u"plain")}));
  kept = Save(3, unicodeDescription, {false}, [&](ID3v2Tag& tag) { tag.SetComment("Привет"); });
  EXPECT_EQ(kept.frames[0].data, Cat({{1}, Text("eng"), Utf16(u"Описание"), {0, 0}, Utf16(u"Привет")}));
  const Bytes asciiDescription = FrameV3("COMM", Cat({{1}, Text("eng"), Utf16(u"Notes"), {0, 0}, Utf16(u"x")}));
  kept = Save(3, asciiDescription, {false}, [](ID3v2Tag& tag) { tag.SetComment("plain"); });
  EXPECT_EQ(kept.frames[0].data, Cat({Latin1("eng"), Text("Notes"), {0}, Text("plain")}));
  const Bytes eightBitDescription = FrameV3("COMM", Cat({Latin1("rus"), Text(bio), {0}, Text("x")}));
  kept = Save(3, eightBitDescription, {false}, [](ID3v2Tag& tag) { tag.SetComment("Новый"); });
  EXPECT_EQ(kept.frames[0].data, Cat({Latin1("rus"), Text(bio), {0}, Text(InCodePage(u"Новый", 1251))}));
  TagCodePage = savedPage;
}

// The configuration's option: on, text beyond ASCII is written in UTF-16;
// off, in the tag code page, whichever it is ("Dos text" too), and in UTF-16
// where the code page lacks a character. Each reads back as it was set.
TEST_F(UnicodeSave, TheOptionAndTheTagCodePageDecideHowTextIsWritten) {
  const bool saved = WriteUnicodeText;
  const CodePage savedPage = TagCodePage;
  struct Case {
    bool unicode;
    CodePageKind page;
    std::string text;
    Bytes frame;
  };
  const Case cases[] = {
      {true, CodePageKind::Ansi, "Привет", Cat({{1}, Utf16(u"Привет")})},
      {true, CodePageKind::Oem, "Ёлка №5", Cat({{1}, Utf16(u"Ёлка №5")})},
      {false, CodePageKind::Ansi, "Привет", Latin1(privet_)},
      {false, CodePageKind::Oem, "Привет", Latin1(InCodePage(u"Привет", 866))},
      {false, CodePageKind::Ansi, "Ωmega Группа", Cat({{1}, Utf16(u"Ωmega Группа")})},
      {false, CodePageKind::Ansi, "Plain", Latin1("Plain")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + (c.unicode ? " in Unicode" : " 8-bit"));
    WriteUnicodeText = c.unicode;
    TagCodePage.Kind = c.page;
    WriteAll(file_, audio_);
    ID3v2Tag tag;
    ASSERT_TRUE(tag.Load(file_));
    tag.SetTitle(c.text);
    ASSERT_TRUE(tag.Save(file_));
    const WrittenTag parsed = Parse23(ReadAll(file_));
    const Frame* title = Find(parsed, "TIT2");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->data, c.frame);
    ID3v2Tag again;
    ASSERT_TRUE(again.Load(file_));
    EXPECT_EQ(again.Title(), c.text);
  }
  WriteUnicodeText = saved;
  TagCodePage = savedPage;
}

// A UTF-16 frame reads as its text whatever the tag code page; an edit of
// another field leaves it byte for byte, an edit of it writes the new text.
TEST_F(UnicodeSave, UnicodeFramesNeverPassThroughACodePage) {
  const CodePage savedPage = TagCodePage;
  const bool saved = WriteUnicodeText;
  WriteUnicodeText = true;
  for (CodePageKind page : {CodePageKind::Oem, CodePageKind::Ansi}) {
    TagCodePage.Kind = page;
    const Bytes title = FrameV3("TIT2", Cat({{1}, Utf16(u"Перемен")}));
    const Bytes frames = Cat({title, FrameV3("TPE1", Cat({{3}, Text("東京")}))});
    WriteAll(file_, Cat({Tag(3, frames, 64), audio_}));
    ID3v2Tag tag;
    ASSERT_TRUE(tag.Load(file_));
    EXPECT_EQ(tag.Title(), "Перемен");
    EXPECT_EQ(tag.Artist(), "東京");
    tag.SetAlbum("Live");
    ASSERT_TRUE(tag.Save(file_));
    EXPECT_EQ(Find(Parse23(ReadAll(file_)), "TIT2")->data, Cat({{1}, Utf16(u"Перемен")}));
    tag.SetTitle(tag.Title() + " (live)");
    ASSERT_TRUE(tag.Save(file_));
    EXPECT_EQ(Find(Parse23(ReadAll(file_)), "TIT2")->data, Cat({{1}, Utf16(u"Перемен (live)")}));
  }
  TagCodePage = savedPage;
  WriteUnicodeText = saved;
}

// A conversion rewrites exactly the frames with 8-bit text under encoding 0:
// each string of them with its own byte order mark, terminators kept; links,
// binary frames, Unicode and ASCII text and frames with format flags stay byte for
// byte, in their order.
TEST_F(UnicodeSave, ConversionTouchesOnlyEightBitTextFrames) {
  const std::string title = InCodePage(u"Кукушка", 20866);
  const std::string artist = InCodePage(u"Кино", 20866);
  const std::string lyrics = InCodePage(u"Песен ещё", 20866);
  const std::vector<Bytes> kept = {
      FrameV3("TPE2", Latin1("Various")),
      FrameV3("TALB", Cat({{1}, Utf16(u"Альбом")})),
      FrameV3("WXXX", Cat({Latin1(title), {0}, Text("http://x")})),
      FrameV3("APIC", Cat({Latin1("image/png"), {0, 3, 0}, {0x89, 0xE0, 0xF1}})),
      FrameV3("PRIV", Cat({Text("owner"), {0, 0xC1, 0xF2}})),
      FrameV3("TCOM", Cat({{0x05}, Latin1(title)}), 0, 0x20),  // grouped: its bytes are not only text
  };
  const Bytes frames = Cat({kept[0], FrameV3("TIT2", Cat({Latin1(title), {0}})), kept[1], kept[2],
                            FrameV3("TXXX", Cat({Latin1(artist), {0}, Text(artist)})), kept[3],
                            FrameV3("USLT", Cat({Latin1("rus"), {0}, Text(lyrics)})), kept[4],
                            FrameV3("TPE1", Latin1(artist), 0x40), kept[5]});
  WriteAll(file_, Cat({Tag(3, frames, 64), audio_}));
  const auto texts = ID3v2Tag::EightBitTexts(file_);
  ASSERT_TRUE(texts.has_value());
  EXPECT_EQ(*texts, (std::vector<std::string>{title, artist, artist, lyrics, artist}));

  const WrittenTag parsed = Save(3, frames, {true, From(20866), true}, [](ID3v2Tag&) {});
  ASSERT_EQ(parsed.frames.size(), 10u);
  EXPECT_EQ(parsed.frames[1], (Frame{"TIT2", {0, 0}, Cat({{1}, Utf16(u"Кукушка"), {0, 0}})}));
  EXPECT_EQ(parsed.frames[4],
            (Frame{"TXXX", {0, 0}, Cat({{1}, Utf16(u"Кино"), {0, 0}, Utf16(u"Кино")})}));
  EXPECT_EQ(parsed.frames[6],
            (Frame{"USLT", {0, 0}, Cat({{1}, Text("rus"), Utf16(u""), {0, 0}, Utf16(u"Песен ещё")})}));
  // Status flags stay with the frame.
  EXPECT_EQ(parsed.frames[8], (Frame{"TPE1", {0x40, 0}, Cat({{1}, Utf16(u"Кино")})}));
  const size_t keptAt[] = {0, 2, 3, 5, 7, 9};
  for (size_t i = 0; i < kept.size(); ++i) {
    const Frame& f = parsed.frames[keptAt[i]];
    EXPECT_EQ(FrameV3(f.id, f.data, f.flags[0], f.flags[1]), kept[i]) << f.id;
  }

  // Converted once, nothing is left to convert.
  EXPECT_TRUE(ID3v2Tag::EightBitTexts(file_)->empty());
  ID3v2Tag again;
  ASSERT_TRUE(again.Load(file_));
  EXPECT_EQ(again.Title(), "Кукушка");
}

// A 2.4 tag is converted as it is carried into 2.3.
TEST_F(UnicodeSave, ConversionOfAVersion4Tag) {
  const std::string title = InCodePage(u"Дорога", 866);
  const Bytes frames = Cat({FrameV4("TIT2", Latin1(title)), FrameV4("TPE1", Cat({{3}, Text("Ария")}))});
  const WrittenTag parsed = Save(4, frames, {true, From(866), true}, [](ID3v2Tag&) {});
  ASSERT_EQ(parsed.frames.size(), 2u);
  EXPECT_EQ(parsed.frames[0].data, Cat({{1}, Utf16(u"Дорога")}));
  EXPECT_EQ(parsed.frames[1].data, Cat({{1}, Utf16(u"Ария")}));
}

// ---------------------------------------------------------------- guesser

struct Labelled {
  std::u16string text;
  unsigned codePage;
};

class Guesser : public ::testing::Test {
 protected:
  const std::vector<unsigned> pages_ = {1251, 866, 20866, 1252};
  std::vector<TextDecoder> decoders_ = {From(1251), From(866), From(20866), From(1252)};

  unsigned Guess(const std::vector<std::string>& texts) const {
    return pages_[GuessCodePage(texts, decoders_)];
  }
};

TEST_F(Guesser, NamesTheCodePageOfShortTagTexts) {
  const std::vector<std::u16string> cyrillic = {
      u"Привет", u"Звезда по имени Солнце", u"КИНО", u"ВИКТОР ЦОЙ", u"Чёрный альбом",
      u"Live in Москва", u"DJ Грув", u"Ой, то не вечер", u"Би-2", u"Ёлочка"};
  for (size_t n = 0; n < cyrillic.size(); ++n) {
    const std::u16string& text = cyrillic[n];
    for (unsigned page : {1251u, 866u, 20866u}) {
      SCOPED_TRACE(testing::Message() << "text " << n << " in " << page);
      EXPECT_EQ(Guess({InCodePage(text, page)}), page);
    }
  }
  const std::vector<std::u16string> western = {u"Café del Mar", u"Björk", u"Für Elise",
                                               u"Motörhead", u"Señorita", u"Crème brûlée"};
  for (const std::u16string& text : western) EXPECT_EQ(Guess({InCodePage(text, 1252)}), 1252u);
}

// All of a file's text together outvotes one ambiguous field.
TEST_F(Guesser, AFileIsGuessedOnAllItsText) {
  const std::vector<std::string> file = {InCodePage(u"ЧАЙФ", 1251), InCodePage(u"Аргентина — Ямайка", 1251),
                                         InCodePage(u"Дети гор", 1251)};
  EXPECT_EQ(Guess(file), 1251u);
  std::vector<int> scores;
  GuessCodePage(file, decoders_, &scores);
  ASSERT_EQ(scores.size(), 4u);
  EXPECT_GT(scores[0], scores[2]);
}

TEST_F(Guesser, ScoresPenaliseWhatTextIsNot) {
  EXPECT_GT(TextScore(u"Привет"), TextScore(u"пРИВЕТ"));            // case pattern
  EXPECT_GT(TextScore(u"Привет"), TextScore(u"Ïðèâåò"));            // accented Latin
  EXPECT_GT(TextScore(u"Mädchen"), TextScore(u"Mдdchen"));          // mixed alphabets
  EXPECT_GT(TextScore(u"Привет"), TextScore(u"\u2552\u2569\u2560")); // box drawing
  EXPECT_EQ(TextScore(u"Plain ASCII 123"), 0);
}

// Plain ASCII is nothing to convert: no text is collected, no frame changes.
TEST_F(UnicodeSave, PlainAsciiIsLeftAsItIs) {
  const Bytes frames = Cat({FrameV3("TIT2", Latin1("Hello")), FrameV3("COMM", Cat({Latin1("eng"), {0}, Text("hi")}))});
  WriteAll(file_, Cat({Tag(3, frames, 64), audio_}));
  const Bytes before = ReadAll(file_);
  ASSERT_TRUE(ID3v2Tag::EightBitTexts(file_)->empty());
  EXPECT_TRUE(HasHighBytes(privet_));
  EXPECT_FALSE(HasHighBytes("Hello"));
  ID3v2Tag tag;
  ASSERT_TRUE(tag.Load(file_));
  tag.SetTextWriting({true, From(1251), true});
  ASSERT_TRUE(tag.Save(file_));
  EXPECT_EQ(ReadAll(file_), before);
}

}  // namespace
}  // namespace tags

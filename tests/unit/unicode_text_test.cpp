// Tag text in Unicode: the frames a save builds under "Write ID3v2 text in
// Unicode", the conversion of old 8-bit frames, and the code page guesser.
#include <gtest/gtest.h>

#include <map>
#include <string>
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

// `text` in the Windows code page `codePage`, by the system's own table.
std::string Encode(std::u16string_view text, unsigned codePage) {
  std::map<char16_t, char> bytes;
  for (int b = 255; b >= 1; --b) {
    const char c = static_cast<char>(b);
    const std::u16string unit = sys::CodePageToWide(codePage, &c, 1);
    if (unit.size() == 1) bytes[unit[0]] = c;
  }
  std::string out;
  for (char16_t u : text) {
    const auto found = bytes.find(u);
    EXPECT_NE(found, bytes.end()) << "U+" << std::hex << int{u} << " not in " << std::dec << codePage;
    out.push_back(found == bytes.end() ? '?' : found->second);
  }
  return out;
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
  const std::string privet_ = Encode(u"Привет", 1251);
};

// Changed fields with 8-bit text are written in UTF-16; ASCII stays under
// encoding 0, unchanged frames as they were, the hidden parts of a replaced
// frame (comment language and description, track total) with them.
TEST_F(UnicodeSave, ChangedEightBitFieldsAreWrittenInUtf16) {
  const std::string album = Encode(u"Группа крови", 1251);
  const std::string bio = Encode(u"Био", 1251);
  const Bytes frames = Cat({
      FrameV3("TALB", Latin1(album)),
      FrameV3("COMM", Cat({Latin1("rus"), Text(bio), {0}, Text("old")})),
      FrameV3("TRCK", Latin1("3/12")),
  });
  const WrittenTag parsed = Save(3, frames, {From(1251), false}, [&](ID3v2Tag& tag) {
    tag.SetTitle(privet_);
    tag.SetArtist("Kino");
    tag.SetComment(Encode(u"Новый", 1251));
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
  // under a new ASCII comment; an ASCII one leaves an ASCII comment under
  // encoding 0.
  const Bytes unicodeDescription =
      FrameV3("COMM", Cat({{1}, Text("eng"), Utf16(u"Описание"), {0, 0}, Utf16(u"x")}));
  WrittenTag kept = Save(3, unicodeDescription, {From(1251), false}, [](ID3v2Tag& tag) { tag.SetComment("plain"); });
  ASSERT_EQ(kept.frames.size(), 1u);
  EXPECT_EQ(kept.frames[0].data, Cat({{1}, Text("eng"), Utf16(u"Описание"), {0, 0}, Utf16(u"plain")}));
  kept = Save(3, unicodeDescription, {From(1251), false}, [&](ID3v2Tag& tag) { tag.SetComment(privet_); });
  EXPECT_EQ(kept.frames[0].data, Cat({{1}, Text("eng"), Utf16(u"Описание"), {0, 0}, Utf16(u"Привет")}));
  const Bytes asciiDescription = FrameV3("COMM", Cat({{1}, Text("eng"), Utf16(u"Notes"), {0, 0}, Utf16(u"x")}));
  kept = Save(3, asciiDescription, {From(1251), false}, [](ID3v2Tag& tag) { tag.SetComment("plain"); });
  EXPECT_EQ(kept.frames[0].data, Cat({Latin1("eng"), Text("Notes"), {0}, Text("plain")}));
}

// The configuration's option writes from the tag code page, and what it
// wrote reads back as the same text.
TEST_F(UnicodeSave, TheOptionConvertsFromTheTagCodePageAndReadsBack) {
  const bool saved = WriteUnicodeText;
  const CodePage savedPage = TagCodePage;
  WriteUnicodeText = true;
  TagCodePage.Kind = CodePageKind::Ansi;
  WriteAll(file_, audio_);
  {
    ID3v2Tag tag;
    ASSERT_TRUE(tag.Load(file_));
    tag.SetTitle(privet_);
    tag.SetAlbum("Plain");
    ASSERT_TRUE(tag.Save(file_));
  }
  WriteUnicodeText = saved;
  TagCodePage = savedPage;
  const WrittenTag parsed = Parse23(ReadAll(file_));
  const Frame* title = Find(parsed, "TIT2");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->data, Cat({{1}, Utf16(sys::CodePageToWide(sys::AnsiCodePage(), privet_.data(), privet_.size()))}));
  EXPECT_EQ(Find(parsed, "TALB")->data, Latin1("Plain"));
  ID3v2Tag again;
  ASSERT_TRUE(again.Load(file_));
  EXPECT_EQ(again.Title(), privet_);

  // Off, as by default: the bytes as they stand.
  ID3v2Tag off;
  ASSERT_TRUE(off.Load(file_));
  off.SetArtist(privet_);
  ASSERT_TRUE(off.Save(file_));
  EXPECT_EQ(Find(Parse23(ReadAll(file_)), "TPE1")->data, Latin1(privet_));
}

// A conversion rewrites exactly the frames with 8-bit text under encoding 0:
// each string of them with its own byte order mark, terminators kept; links,
// binary frames, Unicode and ASCII text and frames with format flags stay byte for
// byte, in their order.
TEST_F(UnicodeSave, ConversionTouchesOnlyEightBitTextFrames) {
  const std::string title = Encode(u"Кукушка", 20866);
  const std::string artist = Encode(u"Кино", 20866);
  const std::string lyrics = Encode(u"Песен ещё", 20866);
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

  const WrittenTag parsed = Save(3, frames, {From(20866), true}, [](ID3v2Tag&) {});
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
  const std::u16string reread = sys::CodePageToWide(sys::AnsiCodePage(), again.Title().data(), again.Title().size());
  EXPECT_EQ(reread.size(), 7u);
}

// A 2.4 tag is converted as it is carried into 2.3.
TEST_F(UnicodeSave, ConversionOfAVersion4Tag) {
  const std::string title = Encode(u"Дорога", 866);
  const Bytes frames = Cat({FrameV4("TIT2", Latin1(title)), FrameV4("TPE1", Cat({{3}, Text("Ария")}))});
  const WrittenTag parsed = Save(4, frames, {From(866), true}, [](ID3v2Tag&) {});
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
      EXPECT_EQ(Guess({Encode(text, page)}), page);
    }
  }
  const std::vector<std::u16string> western = {u"Café del Mar", u"Björk", u"Für Elise",
                                               u"Motörhead", u"Señorita", u"Crème brûlée"};
  for (const std::u16string& text : western) EXPECT_EQ(Guess({Encode(text, 1252)}), 1252u);
}

// All of a file's text together outvotes one ambiguous field.
TEST_F(Guesser, AFileIsGuessedOnAllItsText) {
  const std::vector<std::string> file = {Encode(u"ЧАЙФ", 1251), Encode(u"Аргентина — Ямайка", 1251),
                                         Encode(u"Дети гор", 1251)};
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
  tag.SetTextWriting({From(1251), true});
  ASSERT_TRUE(tag.Save(file_));
  EXPECT_EQ(ReadAll(file_), before);
}

}  // namespace
}  // namespace tags

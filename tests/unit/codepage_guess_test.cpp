// The code page guesser beside the Russian code pages: Ukrainian text in
// KOI8-U, Central European text in 1250 and ISO-8859-2, Greek text in 1253
// and ISO-8859-7, Baltic text in 1257 and Western text in 1252, each among
// code pages that read its bytes as other letters, offered first.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "hostsim/codepage.h"
#include "tags/codepage_guess.h"

namespace tags {
namespace {

// The texts in their code pages, byte for byte as the code pages' published
// tables have them: the guesser reads them through the decoders below, which
// must not also have made them.
struct Spelled {
  std::u16string_view text;
  unsigned codePage;
  std::string_view bytes;
};

// clang-format off
const Spelled kSpelled[] = {
    {u"Їхав козак за Дунай", 21866, "\xB7\xC8\xC1\xD7 \xCB\xCF\xDA\xC1\xCB \xDA\xC1 \xE4\xD5\xCE\xC1\xCA"},
    {u"Пісня про рушник", 21866, "\xF0\xA6\xD3\xCE\xD1 \xD0\xD2\xCF \xD2\xD5\xDB\xCE\xC9\xCB"},
    {u"Єднаймося", 21866, "\xB4\xC4\xCE\xC1\xCA\xCD\xCF\xD3\xD1"},
    {u"Ґуцульський край", 21866, "\xBD\xD5\xC3\xD5\xCC\xD8\xD3\xD8\xCB\xC9\xCA \xCB\xD2\xC1\xCA"},
    {u"Їхав козак за Дунай", 1251, "\xAF\xF5\xE0\xE2 \xEA\xEE\xE7\xE0\xEA \xE7\xE0 \xC4\xF3\xED\xE0\xE9"},
    {u"Єднаймося", 1251, "\xAA\xE4\xED\xE0\xE9\xEC\xEE\xF1\xFF"},
    {u"Кукушка", 20866, "\xEB\xD5\xCB\xD5\xDB\xCB\xC1"},
    {u"Przeżyj to jeszcze raz", 1250, "Prze\xBFyj to jeszcze raz"},
    {u"Małgośka", 1250, "Ma\xB3go\x9Cka"},
    {u"Długość dźwięku samotności", 1250, "D\xB3ugo\x9C\xE6 d\x9Fwi\xEAku samotno\x9C" "ci"},
    {u"ŚPIEWAJ I TAŃCZ", 1250, "\x8CPIEWAJ I TA\xD1" "CZ"},
    {u"Hříšná těla", 1250, "H\xF8\xED\x9An\xE1 t\xECla"},
    {u"Kde domov můj", 1250, "Kde domov m\xF9j"},
    {u"Őszi éjszakák", 1250, "\xD5szi \xE9jszak\xE1k"},
    {u"Małgośka", 28592, "Ma\xB3go\xB6ka"},
    {u"Długość dźwięku samotności", 28592, "D\xB3ugo\xB6\xE6 d\xBCwi\xEAku samotno\xB6" "ci"},
    {u"Ľúbim ťa", 28592, "\xA5\xFA" "bim \xBB" "a"},
    {u"Whisky", 1250, "Whisky"},
    {u"Dżem", 1250, "D\xBF" "em"},
    {u"Złoty paw", 1250, "Z\xB3oty paw"},
    {u"Crème brûlée", 1252, "Cr\xE8me br\xFBl\xE9" "e"},
    {u"Garçon", 1252, "Gar\xE7on"},
    {u"Où est la vérité", 1252, "O\xF9 est la v\xE9rit\xE9"},
    {u"Così celeste", 1252, "Cos\xEC celeste"},
    {u"Señorita", 1252, "Se\xF1orita"},
    {u"Ça plane pour moi", 1252, "\xC7" "a plane pour moi"},
    {u"Zoë", 1252, "Zo\xEB"},
    {u"Καλημέρα", 1253, "\xCA\xE1\xEB\xE7\xEC\xDD\xF1\xE1"},
    {u"Ένα το χελιδόνι", 1253, "\xB8\xED\xE1 \xF4\xEF \xF7\xE5\xEB\xE9\xE4\xFC\xED\xE9"},
    {u"ΣΥΝΝΕΦΑ", 1253, "\xD3\xD5\xCD\xCD\xC5\xD6\xC1"},
    {u"Θάλασσα", 1253, "\xC8\xDC\xEB\xE1\xF3\xF3\xE1"},
    {u"Μην τον ρωτάς τον ουρανό", 1253, "\xCC\xE7\xED \xF4\xEF\xED \xF1\xF9\xF4\xDC\xF2 \xF4\xEF\xED \xEF\xF5\xF1\xE1\xED\xFC"},
    {u"Άσπρο πάτο", 28597, "\xB6\xF3\xF0\xF1\xEF \xF0\xDC\xF4\xEF"},
    {u"Laužo šviesa", 1257, "Lau\xFEo \xF0viesa"},
    {u"Gulbės giesmė", 1257, "Gulb\xEBs giesm\xEB"},
    {u"Mėlynas dangus", 1257, "M\xEBlynas dangus"},
    {u"Dziesmu svētki", 1257, "Dziesmu sv\xE7tki"},
    {u"Pūt, vējiņi", 1257, "P\xFBt, v\xE7ji\xF2i"},
    {u"Lūgšana", 1257, "L\xFBg\xF0" "ana"},
};
// clang-format on

std::string InCodePage(std::u16string_view text, unsigned codePage) {
  for (const Spelled& s : kSpelled)
    if (s.text == text && s.codePage == codePage) return std::string(s.bytes);
  ADD_FAILURE() << "a text the table does not spell in " << codePage;
  return "?";
}

// A reading through the system's table of the code page (KOI8 and ISO-8859
// included), as the host's character tables read.
TextDecoder From(unsigned codePage) {
  hostsim::CodePageTable table;
  EXPECT_TRUE(hostsim::LoadCodePage(codePage, &table)) << codePage;
  return [table](std::string_view bytes) {
    std::u16string units;
    for (char b : bytes) {
      const char32_t c = table[static_cast<unsigned char>(b)];
      units.push_back(c == hostsim::kNoChar ? u'\uFFFD' : static_cast<char16_t>(c));
    }
    return units;
  };
}

// The texts of one file, each written in `codePage`, as the guess among
// `pages` (in the order offered) reads them.
std::vector<std::u16string> GuessedReading(const std::vector<std::u16string_view>& file,
                                           unsigned codePage, const std::vector<unsigned>& pages) {
  std::vector<std::string> bytes;
  for (std::u16string_view text : file) bytes.push_back(InCodePage(text, codePage));
  std::vector<TextDecoder> decoders;
  for (unsigned page : pages) decoders.push_back(From(page));
  const TextDecoder& chosen = decoders[GuessCodePage(bytes, decoders)];
  std::vector<std::u16string> read;
  for (const std::string& b : bytes) read.push_back(chosen(b));
  return read;
}

// Each text alone is read as written.
void ExpectEachReadAsWritten(const std::vector<std::u16string_view>& texts, unsigned codePage,
                             const std::vector<unsigned>& pages) {
  for (std::u16string_view text : texts) {
    SCOPED_TRACE(testing::Message() << "written in " << codePage);
    EXPECT_EQ(GuessedReading({text}, codePage, pages),
              std::vector<std::u16string>{std::u16string(text)});
  }
}

TEST(CodePageGuess, UkrainianInKoi8UIsNotTakenForKoi8RNor1251) {
  // KOI8-R has box drawing where KOI8-U has і, ї, є and ґ.
  const std::vector<unsigned> pages = {20866, 1251, 866, 28595, 21866};
  ExpectEachReadAsWritten(
      {u"Їхав козак за Дунай", u"Пісня про рушник", u"Єднаймося", u"Ґуцульський край"}, 21866,
      pages);
  ExpectEachReadAsWritten({u"Їхав козак за Дунай", u"Єднаймося"}, 1251, {21866, 20866, 866, 1251});
}

// Two code pages that read the bytes alike score alike, and the first offered wins.
TEST(CodePageGuess, RussianInKoi8IsReadByTheFirstOfKoi8RAndKoi8U) {
  const std::vector<std::string> file = {InCodePage(u"Кукушка", 20866)};
  for (const unsigned first : {20866u, 21866u}) {
    const unsigned second = first == 20866 ? 21866 : 20866;
    std::vector<int> scores;
    EXPECT_EQ(GuessCodePage(file, {From(1251), From(first), From(second)}, &scores), 1u);
    ASSERT_EQ(scores.size(), 3u);
    EXPECT_EQ(scores[1], scores[2]);
    EXPECT_GT(scores[1], scores[0]);
  }
}

TEST(CodePageGuess, CentralEuropeanTextIsNotTakenForWesternOrBaltic) {
  const std::vector<unsigned> pages = {1252, 1257, 28592, 1250};
  ExpectEachReadAsWritten({u"Przeżyj to jeszcze raz", u"Małgośka", u"Długość dźwięku samotności",
                           u"ŚPIEWAJ I TAŃCZ", u"Hříšná těla", u"Kde domov můj", u"Őszi éjszakák"},
                          1250, pages);
  // ISO-8859-2 has ą, ś, ź, ľ and ť where 1250 has other letters and signs.
  ExpectEachReadAsWritten({u"Małgośka", u"Długość dźwięku samotności", u"Ľúbim ťa"}, 28592,
                          {1252, 1250, 28592});
}

TEST(CodePageGuess, WesternTextIsNotTakenForCentralEuropeanBalticOrGreek) {
  ExpectEachReadAsWritten({u"Crème brûlée", u"Garçon", u"Où est la vérité", u"Così celeste",
                           u"Señorita", u"Ça plane pour moi", u"Zoë"},
                          1252, {1250, 1257, 1253, 1251, 1252});
}

TEST(CodePageGuess, GreekIsNotTakenForCyrillic) {
  const std::vector<unsigned> pages = {1251, 20866, 866, 28595, 1253};
  ExpectEachReadAsWritten(
      {u"Καλημέρα", u"Ένα το χελιδόνι", u"ΣΥΝΝΕΦΑ", u"Θάλασσα", u"Μην τον ρωτάς τον ουρανό"}, 1253,
      pages);
  // Ά is 0xB6 in ISO-8859-7, a sign in 1253.
  ExpectEachReadAsWritten({u"Άσπρο πάτο"}, 28597, {1251, 20866, 1253, 28597});
}

TEST(CodePageGuess, BalticTextIsNotTakenForWesternOrCentralEuropean) {
  ExpectEachReadAsWritten({u"Laužo šviesa", u"Gulbės giesmė", u"Mėlynas dangus", u"Dziesmu svētki",
                           u"Pūt, vējiņi", u"Lūgšana"},
                          1257, {1252, 1250, 1253, 1251, 1257});
}

// "Dżem" alone reads as well with æ (1257); the file's other texts are Polish.
TEST(CodePageGuess, AFileIsReadInOneLanguage) {
  const std::vector<std::u16string_view> file = {u"Whisky", u"Dżem", u"Złoty paw"};
  const std::vector<std::u16string> read = GuessedReading(file, 1250, {1257, 1252, 1250});
  EXPECT_EQ(read, (std::vector<std::u16string>{u"Whisky", u"Dżem", u"Złoty paw"}));
}

// A host table against an OEM code page that lacks the letters reads them as
// '?': the reading that kept them wins though it is offered later.
TEST(CodePageGuess, AReadingThatLostLettersToQuestionMarksLoses) {
  const TextDecoder in1250 = From(1250);
  const TextDecoder lossy = [&](std::string_view bytes) {
    std::u16string units = in1250(bytes);
    for (char16_t& c : units)
      if (c >= 0x80) c = u'?';
    return units;
  };
  for (std::u16string_view text :
       {u"Przeżyj to jeszcze raz", u"Hříšná těla", u"Długość dźwięku samotności"}) {
    EXPECT_EQ(GuessCodePage({InCodePage(text, 1250)}, {lossy, in1250}), 1u)
        << testing::PrintToString(std::u16string(text));
  }
}

}  // namespace
}  // namespace tags

#include "batch/tag_creation.h"

#include <gtest/gtest.h>

#include <string>

#include "test_host.h"

namespace batch {
namespace {

TEST(TagCreation, TrackNumberIsTheLeadingInteger) {
  const struct {
    const char* text;
    int32_t expected;
  } cases[] = {{"3/12", 3}, {"007", 7}, {"+7x", 7}, {"-3", -3}, {" 3", 0}, {"", 0},
               {"abc", 0},  {"-", 0},   {"4294967297", 1}};
  for (const auto& c : cases) EXPECT_EQ(TrackNumber(c.text), c.expected) << c.text;
}

TEST(TagCreation, CaseModes) {
  testhost::TestHost host;
  const std::string text = "мой ТРЕК one";
  const struct {
    std::string text;
    const char* mode;
    std::string expected;
  } cases[] = {
      {text, "0", text},
      {text, "", text},
      {text, "9", text},  // not a mode the dialog writes: nothing changes
      {text, "1", "МОЙ ТРЕК ONE"},
      {text, "2", "мой трек one"},
      {text, "3", "Мой трек one"},
      {text, "4", "Мой Трек One"},
      {text, "5", "МОЙ трек ONE"},
      {text, "10", "moj TREK one"},
      {text, "13", "Moj trek one"},
      {text, "14", "Moj Trek One"},
      {text, "19", "moj TREK one"},
      {"ωmega café", "1", "ΩMEGA CAFÉ"},
      {"", "3", ""},
      {"hELLO wORLD", "3", "Hello world"},
      {"the o'neil-band  2nd TAKE", "4", "The O'Neil-Band  2Nd Take"},
      {"Hello, World 1", "5", "hELLO, wORLD 1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApplyCaseMode(c.text, ParseCaseMode(c.mode)), c.expected) << c.text << " " << c.mode;
  }
}

// The registry keeps what the case dialog wrote: every mode it can store reads
// back as that mode, and stores as the same text again.
TEST(TagCreation, StoredCaseModesReadBackAsTheyWereWritten) {
  const struct {
    const char* stored;
    LetterCase letters;
    bool transliterate;
  } cases[] = {
      {"0", LetterCase::Keep, false},         {"1", LetterCase::Upper, false},
      {"2", LetterCase::Lower, false},        {"3", LetterCase::FirstCapital, false},
      {"4", LetterCase::WordsCapital, false}, {"5", LetterCase::Swapped, false},
      {"10", LetterCase::Keep, true},         {"13", LetterCase::FirstCapital, true},
      {"15", LetterCase::Swapped, true},
  };
  for (const auto& c : cases) {
    const CaseMode mode = ParseCaseMode(c.stored);
    EXPECT_EQ(mode.letters, c.letters) << c.stored;
    EXPECT_EQ(mode.transliterate, c.transliterate) << c.stored;
    EXPECT_EQ(StoredCaseMode(mode), c.stored);
  }
  // A value the dialog never writes keeps the letters; its last character
  // still names the change when there is one.
  EXPECT_TRUE(ParseCaseMode("").ChangesNothing());
  EXPECT_TRUE(ParseCaseMode("6").ChangesNothing());
  EXPECT_FALSE(ParseCaseMode("10").ChangesNothing());
  EXPECT_EQ(ParseCaseMode("x2").letters, LetterCase::Lower);
}

}  // namespace
}  // namespace batch

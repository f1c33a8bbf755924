// Language files: reading good ones, reporting damaged ones, choosing one,
// and their texts as the host's text.
#include <gtest/gtest.h>

#include "hostsim/lng.h"
#include "support.h"

namespace {

TEST(LanguageFile, MessagesInFileOrderWithTheirEscapes) {
  const std::string content =
      ".Language=English,English (the default)\r\n"
      "// a comment, then a blank line\r\n"
      "\r\n"
      "  \"Tagwright\"  \r\n"
      "\"Quote \\\"here\\\", line\\nbreak, tab\\t, back\\\\slash\"\r\n"
      "\"\"\r\n"
      ".PluginContents=Tagwright\r\n"
      "\"Doubled \"\"quotes\"\" and C:\\dir\"\r\n"
      "\"Option \"Autodetect\" is off.\"";  // an unescaped quote inside, no final line break
  hostsim::LanguageFile file;
  std::string error;
  ASSERT_TRUE(hostsim::ParseLanguageFile(content, "Eng.lng", &file, &error)) << error;
  EXPECT_EQ(file.name, "English");
  EXPECT_EQ(file.description, "English (the default)");
  const std::vector<std::string> expected = {
      "Tagwright",
      "Quote \"here\", line\nbreak, tab\t, back\\slash",
      "",
      "Doubled \"quotes\" and C:\\dir",
      "Option \"Autodetect\" is off.",
  };
  EXPECT_EQ(file.messages, expected);
}

struct Damaged {
  const char* content;
  const char* reason;  // part of the error text, after "Bad.lng:<line>: "
  int line;
};

const Damaged kDamaged[] = {
    {"\"Tagwright\"\n", "message before the .Language statement", 1},
    {"// only a comment\n", "no .Language statement", 1},
    {".Language=English,English\n\"Title\n", "without its closing double quote", 2},
    {".Language=English,English\n\"One\"\nTwo\"\n", "neither a message", 3},
    {".Language = English,English\n\"One\"\n", ".Language=Name,Description", 1},
    {".Language=,English\n\"One\"\n", "without a language name", 1},
    {"\xEF\xBB\xBF.Language=English,English\n\"One\"\n", "byte order mark", 1},
    {".Language=English,English\n", "no messages", 1},
    {".Language=English,English\n\"a\0b\"\n", "zero byte", 2},
};

TEST(LanguageFile, DamagedFilesAreErrorsNamingFileAndLine) {
  for (const auto& d : kDamaged) {
    std::string content(d.content, std::char_traits<char>::length(d.content));
    if (std::string(d.reason) == "zero byte") content = std::string(d.content, 32);
    hostsim::LanguageFile file;
    std::string error;
    EXPECT_FALSE(hostsim::ParseLanguageFile(content, "Bad.lng", &file, &error)) << d.content;
    EXPECT_NE(error.find("Bad.lng:" + std::to_string(d.line) + ": "), std::string::npos) << error;
    EXPECT_NE(error.find(d.reason), std::string::npos) << error;
  }
  std::string longLine = ".Language=English,English\n\"" + std::string(1001, 'x') + "\"\n";
  hostsim::LanguageFile file;
  std::string error;
  EXPECT_FALSE(hostsim::ParseLanguageFile(longLine, "Long.lng", &file, &error));
  EXPECT_NE(error.find("longer than 1000"), std::string::npos) << error;
}

hostsim::LanguageFile Make(const char* fileName, const char* name, size_t messages) {
  hostsim::LanguageFile f;
  f.fileName = fileName;
  f.name = name;
  f.messages.assign(messages, "text");
  return f;
}

TEST(LanguageFile, ChoiceByNameThenEnglishThenTheFirst) {
  std::vector<hostsim::LanguageFile> files = {Make("Rus.lng", "Russian", 3),
                                              Make("Eng.lng", "English", 3)};
  size_t chosen = 99;
  std::string error;
  ASSERT_TRUE(hostsim::ChooseLanguage(files, "russian", &chosen, &error)) << error;
  EXPECT_EQ(chosen, 0u);
  ASSERT_TRUE(hostsim::ChooseLanguage(files, "German", &chosen, &error));
  EXPECT_EQ(chosen, 1u);
  std::vector<hostsim::LanguageFile> noEnglish = {Make("Rus.lng", "Russian", 3),
                                                  Make("Ger.lng", "German", 3)};
  ASSERT_TRUE(hostsim::ChooseLanguage(noEnglish, "French", &chosen, &error));
  EXPECT_EQ(chosen, 0u);
}

TEST(LanguageFile, AMissingMessageOrATwinLanguageIsAnError) {
  size_t chosen = 0;
  std::string error;
  std::vector<hostsim::LanguageFile> uneven = {Make("Eng.lng", "English", 83),
                                               Make("Rus.lng", "Russian", 82)};
  EXPECT_FALSE(hostsim::ChooseLanguage(uneven, "English", &chosen, &error));
  EXPECT_NE(error.find("Rus.lng holds 82 messages but Eng.lng holds 83"), std::string::npos)
      << error;
  std::vector<hostsim::LanguageFile> twins = {Make("A.lng", "English", 2),
                                              Make("B.lng", "english", 2)};
  EXPECT_FALSE(hostsim::ChooseLanguage(twins, "English", &chosen, &error));
  EXPECT_NE(error.find("A.lng and B.lng"), std::string::npos) << error;
  EXPECT_FALSE(hostsim::ChooseLanguage({}, "English", &chosen, &error));
  EXPECT_NE(error.find("no language file"), std::string::npos) << error;
}

// A Russian file as the host's users write it: code page 866.
const char kRussian866[] =
    ".Language=Russian,Russian (\x90\xE3\xE1\xE1\xAA\xA8\xA9)\r\n"  // Русский
    "\"\x8F\xE0\xA8\xA2\xA5\xE2, %s\"\r\n"                          // Привет, %s
    "\"&\x84\xA0\"\r\n";                                            // &Да

TEST(LanguageFile, TheCodePageGoesWithTheLanguage) {
  EXPECT_EQ(hostsim::LanguageCodePage("Russian"), 866u);
  EXPECT_EQ(hostsim::LanguageCodePage("ukrainian"), 866u);
  EXPECT_EQ(hostsim::LanguageCodePage("Greek"), 737u);
  EXPECT_EQ(hostsim::LanguageCodePage("English"), 437u);
  EXPECT_EQ(hostsim::LanguageCodePage("German"), 437u);
}

TEST(LanguageFile, ARussianFileIn866ReachesAUtf8HostAsUtf8AndAnOemHostAsItIs) {
  hostsim::LanguageFile file;
  std::string error;
  ASSERT_TRUE(hostsim::ParseLanguageFile(kRussian866, "Rus.lng", &file, &error)) << error;
  hostsim::LanguageFile asOem = file;
  hostsim::ToHostText(&asOem);
  EXPECT_EQ(asOem.messages, file.messages);  // OEM host text: the file's own bytes
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  hostsim::ToHostText(&file);
  EXPECT_EQ(file.name, "Russian");
  EXPECT_EQ(file.description, "Russian (Русский)");
  EXPECT_EQ(file.messages, (std::vector<std::string>{"Привет, %s", "&Да"}));
  // An English file is ASCII: nothing changes.
  hostsim::LanguageFile english;
  ASSERT_TRUE(hostsim::ParseLanguageFile(".Language=English,English\n\"&Yes\"\n", "Eng.lng",
                                         &english, &error));
  hostsim::ToHostText(&english);
  EXPECT_EQ(english.messages, (std::vector<std::string>{"&Yes"}));
}

}  // namespace

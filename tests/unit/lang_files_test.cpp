// The language and help files as the build lays them out beside the plug-in module:
// read the way the host reads them, against the message numbers the code is compiled
// with. A broken generation step, a file left in UTF-8, or a header out of step with
// the files shows here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tagwright/messages.h"

namespace {

std::string PluginFile(const std::string& name) {
  const char* dir = std::getenv("TAGWRIGHT_BINARY_DIR");
  return std::string(dir ? dir : ".") + "/plugin/" + name;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : bytes) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// The host's reading: every line that starts with a quote (after blanks) is the next
// message; the escapes \n, \t, \\ and \" are resolved.
struct LanguageFile {
  std::string language_line;
  std::vector<std::string> messages;
};

LanguageFile ReadLng(const std::string& path) {
  LanguageFile file;
  for (const std::string& raw : Lines(ReadBytes(path))) {
    std::string line = raw;
    line.erase(0, line.find_first_not_of(" \t"));
    line.erase(line.find_last_not_of(" \t") + 1);
    if (file.language_line.empty() && line.rfind(".Language=", 0) == 0) file.language_line = line;
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') continue;
    std::string text;
    for (size_t i = 1; i + 1 < line.size(); ++i) {
      if (line[i] == '\\' && i + 2 < line.size()) {
        char next = line[i + 1];
        if (next == 'n' || next == 't' || next == '\\' || next == '"') {
          text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
          ++i;
          continue;
        }
      }
      text += line[i];
    }
    file.messages.push_back(text);
  }
  return file;
}

std::set<std::string> HelpTopics(const std::string& path) {
  std::set<std::string> topics;
  for (const std::string& line : Lines(ReadBytes(path)))
    if (line.size() > 1 && line[0] == '@' && line != "@-" && line != "@+") topics.insert(line.substr(1));
  return topics;
}

// A Cyrillic letter written as UTF-8 (lead byte 0xD0 or 0xD1, then 0x80..0xBF): in
// code page 866 that pair would be a box-drawing character followed by a letter,
// which no text of ours holds.
bool HasUtf8Cyrillic(const std::string& bytes) {
  for (size_t i = 0; i + 1 < bytes.size(); ++i) {
    unsigned char a = static_cast<unsigned char>(bytes[i]);
    unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
    if ((a == 0xD0 || a == 0xD1) && b >= 0x80 && b <= 0xBF) return true;
  }
  return false;
}

struct LanguageCase {
  const char* file;
  const char* language_line;
};

// ".Language=Russian,Russian (Русский)" with the description in code page 866.
const LanguageCase kLanguages[] = {
    {"TagwrightEng.lng", ".Language=English,English"},
    {"TagwrightRus.lng", ".Language=Russian,Russian (\x90\xE3\xE1\xE1\xAA\xA8\xA9)"},
};

TEST(LanguageFiles, EachHoldsEveryMessageNumberTheCodeUses) {
  for (const LanguageCase& c : kLanguages) {
    SCOPED_TRACE(c.file);
    LanguageFile lng = ReadLng(PluginFile(c.file));
    EXPECT_EQ(lng.language_line, c.language_line);
    ASSERT_EQ(static_cast<int>(lng.messages.size()), kMessageCount);
    EXPECT_EQ(kMessageCount, 128);
    // The title names the registry key, so it is the same in every language.
    EXPECT_EQ(lng.messages[MTitle], "Tagwright");
    for (int n = 0; n < kMessageCount; ++n) EXPECT_FALSE(lng.messages[n].empty()) << "message " << n;
  }
}

TEST(LanguageFiles, RussianIsInCodePage866) {
  std::string bytes = ReadBytes(PluginFile("TagwrightRus.lng"));
  ASSERT_FALSE(bytes.empty());
  EXPECT_FALSE(HasUtf8Cyrillic(bytes));
  LanguageFile lng = ReadLng(PluginFile("TagwrightRus.lng"));
  ASSERT_EQ(static_cast<int>(lng.messages.size()), kMessageCount);
  EXPECT_EQ(lng.messages[MCancel], "\x8E\xE2\xAC\xA5\xAD\xA0");  // "Отмена"
  // The English file is plain ASCII.
  for (char c : ReadBytes(PluginFile("TagwrightEng.lng")))
    ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "non-ASCII byte in TagwrightEng.lng";
}

TEST(HelpFiles, BothHoldTheSameTopicsWithTheDialogTopics) {
  std::set<std::string> english = HelpTopics(PluginFile("TagwrightEng.hlf"));
  std::set<std::string> russian = HelpTopics(PluginFile("TagwrightRus.hlf"));
  EXPECT_EQ(english, russian);
  for (const char* topic : {"Contents", "Id3Config", "Id3Edit", "Id3TagCreation", "Id3Filename", "Id3Desc",
                            "Id3Case", "Id3Confirmation", "Id3AddEdit", "Id3NameOfScheme", "ID3Scheme",
                            "Id3Convert", "Id3ConvertConfirm"})
    EXPECT_EQ(english.count(topic), 1u) << topic;

  std::string rus = ReadBytes(PluginFile("TagwrightRus.hlf"));
  EXPECT_EQ(rus.rfind(".Language=Russian,", 0), 0u);
  EXPECT_FALSE(HasUtf8Cyrillic(rus));
  EXPECT_NE(rus.find("\x91\xE5\xA5\xAC\xEB"), std::string::npos);  // "Схемы"
}

}  // namespace

// The plug-in under a host that speaks UTF-8 (the stand-in in a UTF-8 locale
// on Linux): a folder of names that no OEM code page holds together (Café,
// Группа, 東京) is listed, walked, renamed and tagged by the plug-in, every
// name whole. Under Windows (and Wine) the host's text stays OEM whatever the
// locale says: there only the name the OEM code page can spell is made, and
// it is handled as before.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "batch_scenario.h"
#include "hostsim/host_text.h"
#include "sys/sys.h"
#include "tags/id3v2.h"

namespace {

using scenario::ListText;
using scenario::Quoted;

struct Named {
  const char* name;  // UTF-8, without ".mp3"
  const char* title;
};

constexpr Named kFiles[] = {{"Café", "Coffee"}, {"Группа", "Band"}, {"東京", "Tokyo"}};

class Utf8HostScenario : public scenario::BatchScenario {
 protected:
  void SetUp() override {
    BatchScenario::SetUp();
    // A UTF-8 locale as a Linux user has it; the code pages of 8-bit tags
    // stay those of TAGWRIGHT_CODEPAGES.
    for (const char* name : {"TAGWRIGHT_HOST_TEXT", "LC_ALL"})
      saved_.push_back(scenario::GetEnv(name));
    scenario::SetEnv("TAGWRIGHT_HOST_TEXT", std::nullopt);
    scenario::SetEnv("LC_ALL", "en_US.UTF-8");
    sys::RereadCodePages();
    MakeFolder("music");
    for (const Named& file : kFiles) {
      std::string name;
      // Under an OEM host only the names its code page spells can be made.
      if (!hostsim::Utf8ToHost(std::string(file.name) + ".mp3", &name)) continue;
      MakeMp3("music\\" + name, {file.title, "Artist", "Album"});
      made_.push_back(file);
    }
  }
  void TearDown() override {
    BatchScenario::TearDown();
    scenario::SetEnv("TAGWRIGHT_HOST_TEXT", saved_[0]);
    scenario::SetEnv("LC_ALL", saved_[1]);
    sys::RereadCodePages();
  }

  // A UTF-8 name as the host's text.
  static std::string Host(const std::string& utf8) {
    std::string text;
    EXPECT_TRUE(hostsim::Utf8ToHost(utf8, &text)) << utf8;
    return text;
  }
  std::string SelectAll() const {
    std::string line = "panel music select";
    for (const Named& file : made_) line += " " + Quoted(std::string(file.name) + ".mp3");
    return line + "\n";
  }

  std::vector<std::optional<std::string>> saved_;
  std::vector<Named> made_;
};

TEST_F(Utf8HostScenario, EveryNameIsShownAndWalkedWhole) {
#if defined(_WIN32)
  EXPECT_FALSE(sys::HostTextIsUtf8());  // FAR 1.70 speaks OEM
  ASSERT_EQ(made_.size(), 1u);          // Группа: 866 has no é, no 東京
#else
  ASSERT_TRUE(sys::HostTextIsUtf8());
  ASSERT_EQ(made_.size(), 3u);
#endif
  Start();
  ASSERT_TRUE(Play(SelectAll() +
                   "invoke menu\n"
                   "menu choose 1\n"
                   "dialog \"Id3Desc\" set \"Line format\" \"%F|%2\"\n"
                   "dialog \"Id3Desc\" set \"List file\" " + Quoted(Path("list.txt")) + "\n"
                   "dialog \"Id3Desc\" select \"Character table\" \"UTF-8\"\n"
                   "dialog \"Id3Desc\" press \"OK\"\n"
                   "expect-end\n"
                   "expect-selected none\n"))
      << host_->failure() << "\n" << Transcript();
  std::string lines;
  for (const Named& file : made_) lines += std::string(file.name) + "|" + file.title + "\r\n";
  EXPECT_EQ(ReadFile("list.txt"), ListText(lines)) << Transcript();
#if !defined(_WIN32)
  // The transcript shows the names as they are, in the panel's name order.
  EXPECT_NE(Transcript().find("selected Café.mp3, Группа.mp3, 東京.mp3"), std::string::npos)
      << Transcript();
#endif
}

TEST_F(Utf8HostScenario, NamesAreRenamedAndTaggedWhole) {
  Start();
  ASSERT_TRUE(Play(SelectAll() +
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"%2 - %F%G\"\n"
                   "dialog \"Id3Filename\" uncheck \"Confirm each file\"\n"
                   "dialog \"Id3Filename\" press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  for (const Named& file : made_) {
    const std::string renamed = std::string(file.title) + " - " + file.name + ".mp3";
    EXPECT_TRUE(Exists("music\\" + Host(renamed))) << renamed << "\n" << Transcript();
    EXPECT_FALSE(Exists("music\\" + Host(std::string(file.name) + ".mp3"))) << file.name;
  }

  // The titles from the names, through the tag creation's regular expression
  // over the whole path: each name's characters land in the ID3v2 tag.
  const std::string notSeparator = sys::kPathSeparator == '\\' ? "[^\\\\]" : "[^/]";
  const std::string regexp = " - (" + notSeparator + "+)\\.mp3$";
  std::string select = "panel music select";
  for (const Named& file : made_)
    select += " " + Quoted(std::string(file.title) + " - " + file.name + ".mp3");
  ASSERT_TRUE(Play(select + "\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation uncheck \"Confirm each file\"\n"
                   "dialog Id3TagCreation set \"Regular expression\" " + Quoted(regexp) + "\n"
                   "dialog Id3TagCreation check \"Title\"\n"
                   "dialog Id3TagCreation set \"Title\"+1 \"$1\"\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  for (const Named& file : made_) {
    tags::ID3v2Tag v2;
    const std::string path =
        Path("music\\" + Host(std::string(file.title) + " - " + file.name + ".mp3"));
    ASSERT_TRUE(v2.Load(path)) << path;
    EXPECT_EQ(v2.Title(), file.name);
  }
}

// Where the host speaks UTF-8, "Write ID3v2 text in Unicode" is on until the
// user turns it off: there every other program reads 8-bit tag text as
// ISO-8859-1. Under FAR's OEM text it stays off.
TEST_F(Utf8HostScenario, UnicodeTextIsTheDefaultWhereTheHostSpeaksUtf8) {
  Start();
#if defined(_WIN32)
  const char* expected = "unchecked";
#else
  const char* expected = "checked";
#endif
  ASSERT_TRUE(Play(std::string("invoke configure\n"
                               "dialog Id3Config expect \"Write ID3v2 text in Unicode\" ") + expected + "\n"
                   "dialog Id3Config press \"Cancel\"\n"))
      << host_->failure() << "\n" << Transcript();
}

}  // namespace

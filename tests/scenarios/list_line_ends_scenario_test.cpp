// Tag creation from the lines of a list file, whatever ends its lines: CR LF
// (Windows), a lone LF (Linux, many scripts) or a lone CR. Each file of the
// walk takes the line of its number.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "batch_scenario.h"
#include "hostsim/fs.h"
#include "tags/id3v2.h"

namespace {

class ListLineEnds : public scenario::BatchScenario {};

TEST_F(ListLineEnds, EveryFileTakesItsOwnLine) {
  const std::pair<const char*, const char*> ends[] = {{"crlf", "\r\n"}, {"lf", "\n"}, {"cr", "\r"}};
  for (const auto& [name, end] : ends) {
    SCOPED_TRACE(name);
    const std::string folder = std::string("M-") + name;
    MakeFolder(folder);
    for (const char* file : {"\\a.mp3", "\\b.mp3", "\\c.mp3"})
      MakeMp3(folder + file, scenario::Tags{"", "", "", false, false});
    const std::string list = std::string("list-") + name + ".txt";
    ASSERT_TRUE(hostsim::WriteWholeFile(
        Path(list), std::string("One - First") + end + "Two - Second" + end + "Three - Third"));
    for (const auto& [value, text] :
         std::initializer_list<std::pair<const char*, std::string>>{{"Confirmation", "0"},
                                                                    {"CreateID3v1", "0"},
                                                                    {"ExtractFromName", "0"},
                                                                    {"FileListName", Path(list)},
                                                                    {"Regexp", "(.*) - (.*)"},
                                                                    {"CB_Artist", "1"},
                                                                    {"Edit_Artist", "$1"},
                                                                    {"CB_Title", "1"},
                                                                    {"Edit_Title", "$2"}}) {
      SetRegValue("TagCreationDialog", value, text);
    }
    Start();
    ASSERT_TRUE(Play("panel " + folder +
                     " select a.mp3 b.mp3 c.mp3\n"
                     "invoke menu\n"
                     "menu choose 3\n"
                     "dialog Id3TagCreation press \"OK\"\n"
                     "expect-end\n"))
        << Transcript();
    const std::pair<const char*, const char*> expected[] = {
        {"\\a.mp3", "One"}, {"\\b.mp3", "Two"}, {"\\c.mp3", "Three"}};
    for (const auto& [file, artist] : expected) {
      tags::ID3v2Tag tag;
      ASSERT_TRUE(tag.Load(Path(folder + file)));
      EXPECT_EQ(tag.Artist(), artist) << file;
    }
    module_.reset();
  }
}

}  // namespace

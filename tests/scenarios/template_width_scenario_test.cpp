// The batch dialogs' check of their templates: a width beyond what a text can
// hold is named in a warning that says what it is taken as, and the operation
// goes on with it so (the formatter never stops one).
#include <string>

#include "batch_scenario.h"
#include "tags/id3v2.h"

namespace {

using scenario::ListText;
using scenario::BatchScenario;
using scenario::Quoted;

class TemplateWidthScenario : public BatchScenario {
 protected:
  void SetUp() override {
    BatchScenario::SetUp();
    MakeFolder("music");
    MakeMp3("music\\a.mp3", {"Song", "Band", "Album"});
  }
  static std::string Warning(const std::string& width) {
    return "message expect \"The width " + width +
           " in the template is more than a text can hold\" expect \"it is taken as 511\" "
           "button 0\n";
  }
};

TEST_F(TemplateWidthScenario, FileListGoesOnWithTheWidthTakenAsTheLimit) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 1\n"
                   "dialog Id3Desc set \"Line format\" \"%2{L,9999,.}|\"\n"
                   "dialog Id3Desc set \"List file\" " + Quoted(Path("music\\list.txt")) + "\n"
                   "dialog Id3Desc press \"OK\"\n" +
                   Warning("9999") +
                   "expect-selected none\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(ReadFile("music\\list.txt"), ListText("Song" + std::string(511 - 4, '.') + "|\r\n"));
  EXPECT_EQ(RegValue("FileListDialog", "Format"), "%2{L,9999,.}|");
}

// The rename goes on as well; a name of 511 characters is more than a file
// system takes, so the rename itself is then refused and said.
TEST_F(TemplateWidthScenario, RenameGoesOnWithTheWidthTakenAsTheLimit) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog Id3Filename uncheck \"Confirm each file\"\n"
                   "dialog Id3Filename set \"Name format\" \"%3 %2{R,1500000000}%G\"\n"
                   "dialog Id3Filename press \"OK\"\n" +
                   Warning("1500000000") +
                   "message expect \"Cannot rename the file\" button 1\n"
                   "expect-selected a.mp3\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(RegValue("TagToFileDialog", "Format"), "%3 %2{R,1500000000}%G");
  EXPECT_TRUE(Exists("music\\a.mp3"));
}

TEST_F(TemplateWidthScenario, TagCreationWarnsOfTheTickedFieldsAndWrites) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation uncheck \"Confirm each file\"\n"
                   "dialog Id3TagCreation check \"ID3v2\"\n"
                   "dialog Id3TagCreation check \"Album\"\n"
                   "dialog Id3TagCreation set \"Album\"+1 \"%3{R,512,*}\"\n"
                   // An unticked field's template is not used, so not named.
                   "dialog Id3TagCreation check \"Title\"\n"
                   "dialog Id3TagCreation set \"Title\"+1 \"%2{R,600,*}\"\n"
                   "dialog Id3TagCreation uncheck \"Title\"\n"
                   "dialog Id3TagCreation press \"OK\"\n" +
                   Warning("512") +
                   "expect-selected none\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(RegValue("TagCreationDialog", "Edit_Album"), "%3{R,512,*}");
  EXPECT_EQ(Transcript().find("The width 600"), std::string::npos) << Transcript();
  tags::ID3v2Tag v2;
  ASSERT_TRUE(v2.Load(Path("music\\a.mp3")));
  // Padded on the left up to the limit, then cut to what an ID3v2 field shows.
  const std::string padded = std::string(511 - 4, '*') + "Band";
  EXPECT_EQ(v2.Album(), padded.substr(0, v2.Album().size()));
  EXPECT_GT(v2.Album().size(), 400u);
}

}  // namespace

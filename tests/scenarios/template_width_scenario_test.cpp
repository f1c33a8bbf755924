// The batch dialogs' check of their templates: a width beyond what a text can
// hold is named in a warning, the focus and the cursor go to it, and the
// dialog stays open until the template is mended (or Esc stores nothing); the
// mended template is what the walk then uses.
#include <string>

#include "batch_scenario.h"

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

TEST_F(TemplateWidthScenario, RenameDialogNamesTheWidthAndKeepsTheTemplateOutOfTheSettings) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog Id3Filename uncheck \"Confirm each file\"\n"
                   "dialog Id3Filename set \"Name format\" \"%3 %2{R,1500000000}%G\"\n"
                   "dialog Id3Filename press \"OK\"\n" +
                   Warning("1500000000") +
                   "dialog Id3Filename expect \"Name format\" focused\n"
                   "dialog Id3Filename expect \"Name format\" cursor 8\n"
                   // A scheme button stores the values too: it is held back as well.
                   "dialog Id3Filename press \"Save scheme\"\n" +
                   Warning("1500000000") +
                   "dialog Id3Filename esc\n"
                   "expect-end\n"
                   "expect-selected a.mp3\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(RegValue("TagToFileDialog", "Format"), std::nullopt);
  EXPECT_TRUE(Exists("music\\a.mp3"));

  ASSERT_TRUE(Play("invoke menu\n"
                   "menu choose 2\n"
                   "dialog Id3Filename uncheck \"Confirm each file\"\n"
                   "dialog Id3Filename set \"Name format\" \"%3 %2{R,99999999999,_}%G\"\n"
                   "dialog Id3Filename press \"OK\"\n" +
                   Warning("99999999999") +
                   "dialog Id3Filename set \"Name format\" \"%3 %2{R,8,_}%G\"\n"
                   "dialog Id3Filename press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(RegValue("TagToFileDialog", "Format"), "%3 %2{R,8,_}%G");
  EXPECT_TRUE(Exists("music\\Band ____Song.mp3"));
}

TEST_F(TemplateWidthScenario, FileListDialogChecksTheLineAndTheListName) {
  Start();
  const std::string listName = Path("music\\list%0{R,600}.txt");
  ASSERT_TRUE(Play("panel music select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 1\n"
                   "dialog Id3Desc set \"Line format\" \"%2{L,9999,.}|\"\n"
                   "dialog Id3Desc set \"List file\" " + Quoted(listName) + "\n"
                   "dialog Id3Desc press \"OK\"\n" +
                   Warning("9999") +
                   "dialog Id3Desc expect \"Line format\" focused\n"
                   "dialog Id3Desc expect \"Line format\" cursor 5\n"
                   "dialog Id3Desc set \"Line format\" \"%2{L,6,.}|\"\n"
                   "dialog Id3Desc press \"OK\"\n" +
                   Warning("600") +
                   "dialog Id3Desc expect \"List file\" focused\n"
                   "dialog Id3Desc expect \"List file\" cursor " +
                   std::to_string(listName.size() - 8) + "\n"
                   "dialog Id3Desc set \"List file\" " + Quoted(Path("music\\list.txt")) + "\n"
                   "dialog Id3Desc press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(ReadFile("music\\list.txt"), ListText("Song..|\r\n"));
}

TEST_F(TemplateWidthScenario, TagCreationChecksTheTemplatesOfTheTickedFields) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 3\n"
                   "dialog Id3TagCreation uncheck \"Confirm each file\"\n"
                   "dialog Id3TagCreation check \"ID3v2\"\n"
                   "dialog Id3TagCreation check \"Title\"\n"
                   "dialog Id3TagCreation set \"Title\"+1 \"%2 %3{C,512,*}\"\n"
                   "dialog Id3TagCreation press \"OK\"\n" +
                   Warning("512") +
                   "dialog Id3TagCreation expect \"Title\"+1 focused\n"
                   "dialog Id3TagCreation expect \"Title\"+1 cursor 8\n"
                   // An unticked field's template is not used, so not checked.
                   "dialog Id3TagCreation uncheck \"Title\"\n"
                   "dialog Id3TagCreation press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(RegValue("TagCreationDialog", "Edit_Title"), "%2 %3{C,512,*}");
}

}  // namespace

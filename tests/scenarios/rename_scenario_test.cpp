// Renaming files from their tags through the plug-in's menu: the set-up
// dialog, the confirmation the user edits or stops asking, new folders for a
// name with a folder part, and a taken name that is never replaced.
#include <string>

#include "batch_scenario.h"

namespace {

using scenario::BatchScenario;
using scenario::Quoted;
using scenario::SilentFrames;

class RenameScenario : public BatchScenario {
 protected:
  void SetUp() override {
    BatchScenario::SetUp();
    MakeFolder("music");
    MakeMp3("music\\a.mp3", {"Song", "Band", "Album"});
    MakeMp3("music\\b.mp3", {"Other", "Band", "Album"});
    MakeMp3("music\\c.mp3", {"Third", "Band", "Album"});
  }
  // The audio frames survive a rename untouched.
  void ExpectAudio(const std::string& relative) {
    std::optional<std::string> content = ReadFile(relative);
    ASSERT_TRUE(content.has_value()) << relative;
    EXPECT_NE(content->find(SilentFrames()), std::string::npos) << relative;
  }
};

TEST_F(RenameScenario, AFolderIsRenamedFromTheTagsWithoutAskingAndTheSettingsAreKept) {
  Start();
  ASSERT_TRUE(Play("panel . select music\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog \"Id3Filename\" expect \"Confirm each file\" checked\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"%3 - %2%G\"\n"
                   "dialog \"Id3Filename\" uncheck \"Confirm each file\"\n"
                   "dialog \"Id3Filename\" press \"OK\"\n"
                   "expect-end\n"
                   "expect-selected none\n"))
      << host_->failure() << "\n" << Transcript();
  ExpectAudio("music\\Band - Song.mp3");
  ExpectAudio("music\\Band - Other.mp3");
  ExpectAudio("music\\Band - Third.mp3");
  EXPECT_FALSE(Exists("music\\a.mp3"));
  EXPECT_EQ(RegValue("TagToFileDialog", "Format"), "%3 - %2%G");
  EXPECT_EQ(RegValue("TagToFileDialog", "Confirmation"), "0");
  EXPECT_EQ(RegValue("TagToFileDialog", "TagOrder"), "0");
  // Without questions the walk shows its progress from the start.
  EXPECT_NE(Transcript().find("(no buttons: stays on screen)"), std::string::npos);

  // The next invocation's dialog opens with what was confirmed; Esc renames nothing.
  ASSERT_TRUE(Play("panel music select \"Band - Song.mp3\"\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog \"Id3Filename\" expect \"Name format\" \"%3 - %2%G\"\n"
                   "dialog \"Id3Filename\" expect \"Confirm each file\" unchecked\n"
                   "dialog \"Id3Filename\" expect \"ID3v2, ID3v1\" checked\n"
                   "dialog \"Id3Filename\" esc\n"
                   "expect-end\n"
                   "expect-selected \"Band - Song.mp3\"\n"))
      << host_->failure();
}

TEST_F(RenameScenario, TheUserEditsOneNameThenStopsBeingAsked) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3 b.mp3 c.mp3\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"%3 - %2%G\"\n"
                   "dialog \"Id3Filename\" press \"OK\"\n"
                   "dialog \"Id3Confirmation\" expect \"Old name\" \"a.mp3\"\n"
                   "dialog \"Id3Confirmation\" expect \"New name\" \"Band - Song.mp3\"\n"
                   "dialog \"Id3Confirmation\" expect \"New name\" focused\n"
                   "dialog \"Id3Confirmation\" set \"New name\" \"Edited.mp3\"\n"
                   "dialog \"Id3Confirmation\" press \"OK\"\n"
                   "dialog \"Id3Confirmation\" expect \"Old name\" \"b.mp3\"\n"
                   "dialog \"Id3Confirmation\" check \"Do not ask again\"\n"
                   "dialog \"Id3Confirmation\" press \"OK\"\n"
                   "expect-end\n"
                   "expect-selected none\n"))
      << host_->failure() << "\n" << Transcript();
  ExpectAudio("music\\Edited.mp3");
  ExpectAudio("music\\Band - Other.mp3");
  ExpectAudio("music\\Band - Third.mp3");
  EXPECT_FALSE(Exists("music\\Band - Song.mp3"));
  // The bar appears once the user stops being asked, for the files still to come.
  EXPECT_NE(Transcript().find("(no buttons: stays on screen)"), std::string::npos);
}

TEST_F(RenameScenario, CancellingTheConfirmationStopsTheWalkAndRenamesNothing) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3 b.mp3\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"%3 - %2%G\"\n"
                   "dialog \"Id3Filename\" press \"OK\"\n"
                   "dialog \"Id3Confirmation\" press \"Cancel\"\n"
                   "expect-end\n"
                   "expect-selected a.mp3 b.mp3\n"))
      << host_->failure() << "\n" << Transcript();
  ExpectAudio("music\\a.mp3");
  ExpectAudio("music\\b.mp3");
}

// Skip leaves one file as it is and asks for the next; Cancel then stops.
TEST_F(RenameScenario, SkippingOneFileGoesOnWithTheNext) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3 b.mp3 c.mp3\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"%3 - %2%G\"\n"
                   "dialog \"Id3Filename\" press \"OK\"\n"
                   "dialog \"Id3Confirmation\" expect \"Old name\" \"a.mp3\"\n"
                   "dialog \"Id3Confirmation\" press \"Skip this file\"\n"
                   "dialog \"Id3Confirmation\" expect \"Old name\" \"b.mp3\"\n"
                   "dialog \"Id3Confirmation\" press \"OK\"\n"
                   "dialog \"Id3Confirmation\" expect \"Old name\" \"c.mp3\"\n"
                   "dialog \"Id3Confirmation\" press \"Cancel\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  ExpectAudio("music\\a.mp3");
  ExpectAudio("music\\Band - Other.mp3");
  ExpectAudio("music\\c.mp3");
  EXPECT_FALSE(Exists("music\\Band - Song.mp3"));
  EXPECT_FALSE(Exists("music\\Band - Third.mp3"));
}

TEST_F(RenameScenario, NewFoldersAreMadeBelowAnExistingAbsoluteFolder) {
  MakeFolder("Sorted");
  MakeMp3("music\\d.mp3", {"Fourth", "Other Band", "Album"});
  Start();
  const std::string tmpl = Path("Sorted\\%3\\%2%G");
  ASSERT_TRUE(Play("panel music select a.mp3 d.mp3\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog \"Id3Filename\" set \"Name format\" " + Quoted(tmpl) + "\n"
                   "dialog \"Id3Filename\" uncheck \"Confirm each file\"\n"
                   "dialog \"Id3Filename\" press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  ExpectAudio("Sorted\\Band\\Song.mp3");
  ExpectAudio("Sorted\\Other Band\\Fourth.mp3");
  EXPECT_FALSE(Exists("music\\a.mp3"));
  ExpectAudio("music\\b.mp3");
}

TEST_F(RenameScenario, ATakenNameIsNotReplacedTheUserIsWarnedAndTheWalkGoesOn) {
  {
    sys::File f;
    ASSERT_TRUE(f.Open(Path("music\\Band - Song.mp3"), sys::OpenMode::CreateNew));
    ASSERT_TRUE(f.Write("keep", 4));
    ASSERT_TRUE(f.Close());
  }
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3 b.mp3\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"%3 - %2%G\"\n"
                   "dialog \"Id3Filename\" uncheck \"Confirm each file\"\n"
                   "dialog \"Id3Filename\" press \"OK\"\n"
                   "message expect \"Band - Song.mp3\" expect a.mp3 button 0\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(ReadFile("music\\Band - Song.mp3"), "keep");
  ExpectAudio("music\\a.mp3");
  ExpectAudio("music\\Band - Other.mp3");
  const std::string t = Transcript();
  EXPECT_NE(t.find("WARNING ERRORTYPE ALLINONE"), std::string::npos) << t;
#if defined(_WIN32)
  // The system's reason comes first. (Natively the stand-in reads the last
  // error of its own copy of the system layer, not the module's.)
  EXPECT_EQ(t.find("The operation completed successfully."), std::string::npos) << t;
#endif
}

}  // namespace

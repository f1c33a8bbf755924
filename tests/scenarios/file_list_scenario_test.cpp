// The file list through the plug-in's menu: one list per album from a name
// template, lines appended run after run, the counter with and without its
// restart per folder, and the list's character table for Cyrillic tags.
#include <string>

#include "batch_scenario.h"

namespace {

using scenario::ListText;
using scenario::BatchScenario;
using scenario::Quoted;

class FileListScenario : public BatchScenario {
 protected:
  void SetUp() override {
    BatchScenario::SetUp();
    MakeFolder("one");
    MakeFolder("two");
    MakeFolder("lists");
    MakeMp3("one\\a.mp3", {"Song", "Band", "First"});
    MakeMp3("one\\b.mp3", {"Other", "Band", "First"});
    MakeMp3("two\\c.mp3", {"Third", "Group", "Second"});
  }

  // One invocation over both folders with the given list name and line format.
  std::string Run(const std::string& listName, const std::string& format,
                  const std::string& table = "") {
    return "panel . select one two\n"
           "invoke menu\n"
           "menu choose 1\n"
           "dialog \"Id3Desc\" set \"Line format\" " + Quoted(format) + "\n"
           "dialog \"Id3Desc\" set \"List file\" " + Quoted(listName) + "\n" +
           (table.empty() ? ""
                          : "dialog \"Id3Desc\" select \"Character table\" " + Quoted(table) + "\n") +
           "dialog \"Id3Desc\" press \"OK\"\n"
           "expect-end\n"
           "expect-selected none\n";
  }
};

TEST_F(FileListScenario, OneListPerAlbumAppendedRunAfterRunWithTheCounterRestartingPerFolder) {
  Start();
  const std::string listName = Path("lists\\%4.txt");
  const std::string format = "%0{1,R,3,0}. %3 - %2";
  ASSERT_TRUE(Play(Run(listName, format))) << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(ReadFile("lists\\First.txt"), ListText("001. Band - Song\r\n002. Band - Other\r\n"));
  EXPECT_EQ(ReadFile("lists\\Second.txt"), ListText("001. Group - Third\r\n"));
  EXPECT_EQ(RegValue("FileListDialog", "FileListName"), listName);
  EXPECT_EQ(RegValue("FileListDialog", "Format"), format);
  EXPECT_EQ(RegValue("FileListDialog", "CharacterTable"), "Windows text");

  // The dialog opens with the last values; the lists grow, nothing is lost.
  ASSERT_TRUE(Play("panel . select one two\n"
                   "invoke menu\n"
                   "menu choose 1\n"
                   "dialog \"Id3Desc\" expect \"Line format\" " + Quoted(format) + "\n"
                   "dialog \"Id3Desc\" expect \"List file\" " + Quoted(listName) + "\n"
                   "dialog \"Id3Desc\" expect \"Character table\" \"Windows text\"\n"
                   "dialog \"Id3Desc\" press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(ReadFile("lists\\First.txt"),
            ListText("001. Band - Song\r\n002. Band - Other\r\n001. Band - Song\r\n002. Band - Other\r\n"));
  EXPECT_EQ(ReadFile("lists\\Second.txt"), ListText("001. Group - Third\r\n001. Group - Third\r\n"));
}

TEST_F(FileListScenario, WithoutTheRestartTheCounterRunsOnAcrossFolders) {
  SetRegValue("ConfigDialog", "ResetCounter", "0");
  Start();
  ASSERT_TRUE(Play(Run(Path("lists\\all.txt"), "%0{1,R,3,0}. %2")))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(ReadFile("lists\\all.txt"), ListText("001. Song\r\n002. Other\r\n003. Third\r\n"));
}

// The warning names the list; No stops the walk, the files keep their marks.
TEST_F(FileListScenario, AListThatCannotBeOpenedIsSaidAndStopKeepsTheSelection) {
  Start();
  // The folder of the list is not created.
  ASSERT_TRUE(Play("panel one select a.mp3 b.mp3\n"
                   "invoke menu\n"
                   "menu choose 1\n"
                   "dialog \"Id3Desc\" set \"Line format\" \"%2\"\n"
                   "dialog \"Id3Desc\" set \"List file\" " + Quoted(Path("missing\\list.txt")) + "\n"
                   "dialog \"Id3Desc\" press \"OK\"\n"
                   "message expect \"Cannot add a line to the list file\" expect \"list.txt\" "
                   "button 1\n"
                   "expect-end\n"
                   "expect-selected a.mp3 b.mp3\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_FALSE(Exists("missing"));
}

// Tag text in code page 1251 ("Windows text"), the OEM code page 866.
const char kArtist1251[] = "\xCA\xE8\xED\xEE";              // Кино
const char kArtist866[] = "\x8A\xA8\xAD\xAE";               // Кино
const char kArtistKoi8[] = "\xEB\xC9\xCE\xCF";              // Кино
const char kAlbum1251[] = "\xC0\xEB\xFC\xE1\xEE\xEC";       // Альбом
const char kAlbum866[] = "\x80\xAB\xEC\xA1\xAE\xAC";        // Альбом

TEST_F(FileListScenario, CyrillicTagsAreWrittenInTheListsCharacterTable) {
  MakeFolder("ru");
  MakeMp3("ru\\k.mp3", {"Song", kArtist1251, kAlbum1251});
  Start();
  const struct {
    const char* table;
    const char* list;
    std::string line;
  } cases[] = {
      {"Dos text", "dos.txt", ListText(std::string(kArtist866) + " - Song\r\n")},
      {"Windows text", "win.txt", ListText(std::string(kArtist1251) + " - Song\r\n")},
      {"UTF-8", "utf8.txt", ListText("Кино - Song\r\n")},
      {"KOI8-R", "koi.txt", ListText(std::string(kArtistKoi8) + " - Song\r\n")},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Play("panel ru select k.mp3\n"
                     "invoke menu\n"
                     "menu choose 1\n"
                     "dialog \"Id3Desc\" set \"Line format\" \"%3 - %2\"\n"
                     "dialog \"Id3Desc\" set \"List file\" " +
                     Quoted(Path(std::string("lists\\") + c.list)) + "\n"
                     "dialog \"Id3Desc\" select \"Character table\" " + Quoted(c.table) + "\n"
                     "dialog \"Id3Desc\" press \"OK\"\n"
                     "expect-end\n"))
        << c.table << "\n" << host_->failure() << "\n" << Transcript();
    EXPECT_EQ(ReadFile(std::string("lists\\") + c.list), c.line) << c.table;
    EXPECT_EQ(RegValue("FileListDialog", "CharacterTable"), c.table);
  }
  // The list's own name comes from the tag through OEM, the file system's text.
  ASSERT_TRUE(Play("panel ru select k.mp3\n"
                   "invoke menu\n"
                   "menu choose 1\n"
                   "dialog \"Id3Desc\" set \"List file\" " + Quoted(Path("lists\\%4.txt")) + "\n"
                   "dialog \"Id3Desc\" press \"OK\"\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(ReadFile(std::string("lists\\") + kAlbum866 + ".txt"),
            std::string(kArtistKoi8) + ListText(" - Song\r\n"));
}

}  // namespace

// Schemes behind the scheme buttons of the batch dialogs: saved from the
// dialog's values, loaded back, renamed, deleted with the rest renumbered,
// moved up and down through a TEMP key, and a damaged Count; a change that
// cannot be stored is said.
#include <string>
#include <vector>

#include "batch_scenario.h"

namespace {

using scenario::BatchScenario;
using scenario::Quoted;

constexpr const char* kDialog = "TagToFileDialog";
constexpr const char* kSchemes = "TagToFileDialog\\Scheme";

class SchemesScenario : public BatchScenario {
 protected:
  void SetUp() override {
    BatchScenario::SetUp();
    MakeFolder("music");
    MakeMp3("music\\a.mp3", {"Song", "Band", "Album"});
  }

  // Schemes 0 .. n-1 named by `names`, each with Format "f" + its name.
  void MakeSchemes(const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string key = std::string(kSchemes) + "\\" + std::to_string(i);
      SetRegValue(key, "SchemeName", names[i]);
      SetRegValue(key, "Format", "f" + names[i]);
    }
    SetRegValue(kSchemes, "Count", std::to_string(names.size()));
  }

  // The Format of every scheme 0 .. Count-1, in order.
  std::vector<std::string> Formats() {
    std::vector<std::string> formats;
    const int count = std::stoi(RegValue(kSchemes, "Count").value_or("0"));
    for (int i = 0; i < count; ++i) {
      formats.push_back(
          RegValue(std::string(kSchemes) + "\\" + std::to_string(i), "Format").value_or("-"));
    }
    return formats;
  }

  // The rename dialog opened and its scheme menu shown.
  static std::string OpenMenu() {
    return "panel music select a.mp3\n"
           "invoke menu\n"
           "menu choose 2\n"
           "dialog \"Id3Filename\" press \"Schemes\"\n";
  }
  static std::string CloseAll() {
    return "menu \"ID3Scheme\" esc\n"
           "dialog \"Id3Filename\" esc\n"
           "expect-end\n";
  }
};

// Every scheme menu the transcript shows, as "entry|entry @highlighted".
std::vector<std::string> SchemeMenus(const std::string& transcript) {
  std::vector<std::string> menus;
  size_t at = 0;
  const std::string head = "menu \"Schemes\" help \"ID3Scheme\"";
  while ((at = transcript.find(head, at)) != std::string::npos) {
    size_t end = transcript.find("\n  -> ", at);
    std::string block = transcript.substr(at, end - at);
    std::string menu;
    size_t line = 0;
    while ((line = block.find("\n  [", line)) != std::string::npos) {
      size_t open = block.find('"', line), close = block.find('"', open + 1);
      if (!menu.empty()) menu += '|';
      menu += block.substr(open + 1, close - open - 1);
      line = close;
    }
    size_t h = block.find("highlighted [");
    menu += " @" + (h == std::string::npos ? std::string("-") : block.substr(h + 13, 1));
    menus.push_back(menu);
    at = end;
  }
  return menus;
}

TEST_F(SchemesScenario, SavedFromTheDialogAndLoadedBackIntoIt) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"%3 - %2%G\"\n"
                   "dialog \"Id3Filename\" press \"Save scheme\"\n"
                   "inputbox expect \"Save scheme\" \"Artist first\"\n"
                   "dialog \"Id3Filename\" expect \"Name format\" \"%3 - %2%G\"\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"%2%G\"\n"
                   "dialog \"Id3Filename\" uncheck \"Confirm each file\"\n"
                   "dialog \"Id3Filename\" choose \"ID3v1, ID3v2\"\n"
                   "dialog \"Id3Filename\" press \"Save scheme\"\n"
                   "inputbox \"Title only\"\n"
                   // A cancelled name saves nothing.
                   "dialog \"Id3Filename\" press \"Save scheme\"\n"
                   "inputbox cancel\n"
                   "dialog \"Id3Filename\" press \"Schemes\"\n"
                   "menu \"ID3Scheme\" choose 0\n"
                   "dialog \"Id3Filename\" expect \"Name format\" \"%3 - %2%G\"\n"
                   "dialog \"Id3Filename\" expect \"Confirm each file\" checked\n"
                   "dialog \"Id3Filename\" expect \"ID3v2, ID3v1\" checked\n"
                   "dialog \"Id3Filename\" esc\n"
                   "expect-end\n"
                   "expect-selected a.mp3\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(RegValue(kSchemes, "Count"), "2");
  const std::string first = std::string(kSchemes) + "\\0", second = std::string(kSchemes) + "\\1";
  EXPECT_EQ(RegValue(first, "SchemeName"), "Artist first");
  EXPECT_EQ(RegValue(first, "Format"), "%3 - %2%G");
  EXPECT_EQ(RegValue(first, "Confirmation"), "1");
  EXPECT_EQ(RegValue(second, "SchemeName"), "Title only");
  EXPECT_EQ(RegValue(second, "Format"), "%2%G");
  EXPECT_EQ(RegValue(second, "Confirmation"), "0");
  EXPECT_EQ(RegValue(second, "TagOrder"), "1");
  // Only values are copied: no scheme holds the schemes.
  EXPECT_FALSE(RegKeyExists(second + "\\Scheme"));
  // The loaded scheme is the dialog's key now, its name included.
  EXPECT_EQ(RegValue(kDialog, "Format"), "%3 - %2%G");
  EXPECT_EQ(RegValue(kDialog, "TagOrder"), "0");
  EXPECT_EQ(RegValue(kDialog, "SchemeName"), "Artist first");
  EXPECT_EQ(SchemeMenus(Transcript()), std::vector<std::string>{"Artist first|Title only @0"});
  EXPECT_NE(Transcript().find("inputbox \"Save scheme\" prompt \"Scheme name:\" text \"\" flags 0x38 "
                              "help \"Id3NameOfScheme\""),
            std::string::npos);
}

TEST_F(SchemesScenario, LoadingKeepsTheValuesTheSchemeLacksAndEscKeepsTheDialogsOwn) {
  SetRegValue(kDialog, "Confirmation", "0");
  SetRegValue(std::string(kSchemes) + "\\0", "Format", "%2");  // no Confirmation, no name
  SetRegValue(kSchemes, "Count", "1");
  Start();
  ASSERT_TRUE(Play(OpenMenu() +
                   "menu \"ID3Scheme\" esc\n"
                   "dialog \"Id3Filename\" expect \"Name format\" \"\"\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"typed\"\n"
                   "dialog \"Id3Filename\" press \"Schemes\"\n"
                   // Esc: the dialog reopens with what it wrote before the menu.
                   "menu \"ID3Scheme\" esc\n"
                   "dialog \"Id3Filename\" expect \"Name format\" \"typed\"\n"
                   "dialog \"Id3Filename\" press \"Schemes\"\n"
                   "menu \"ID3Scheme\" enter\n"
                   "dialog \"Id3Filename\" expect \"Name format\" \"%2\"\n"
                   "dialog \"Id3Filename\" expect \"Confirm each file\" unchecked\n"
                   "dialog \"Id3Filename\" esc\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(RegValue(kDialog, "Confirmation"), "0");
  // A scheme without a name is shown by its number.
  EXPECT_EQ(SchemeMenus(Transcript()).front(), "Name 0 @0");
}

TEST_F(SchemesScenario, RenamedThenDeletedWithTheRestRenumbered) {
  MakeSchemes({"A", "B", "C", "D"});
  Start();
  ASSERT_TRUE(Play(OpenMenu() +
                   "menu \"ID3Scheme\" break F6 on 1\n"
                   "inputbox expect \"Rename scheme\" expect B \"Renamed\"\n"
                   "menu \"ID3Scheme\" break Del on 1\n"
                   "message expect \"Delete scheme\" expect Renamed button 1\n"
                   "menu \"ID3Scheme\" break Del on 1\n"
                   "message expect Renamed button 0\n"
                   // The last of three: the new last entry is highlighted.
                   "menu \"ID3Scheme\" break Del on 2\n"
                   "message button 0\n" +
                   CloseAll()))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(SchemeMenus(Transcript()),
            (std::vector<std::string>{"A|B|C|D @0", "A|Renamed|C|D @1", "A|Renamed|C|D @1",
                                      "A|C|D @1", "A|C @1"}));
  EXPECT_EQ(Formats(), (std::vector<std::string>{"fA", "fC"}));
  EXPECT_EQ(RegValue(std::string(kSchemes) + "\\1", "SchemeName"), "C");
  EXPECT_FALSE(RegKeyExists(std::string(kSchemes) + "\\2"));
  EXPECT_FALSE(RegKeyExists(std::string(kSchemes) + "\\3"));
  // The question is no warning.
  EXPECT_NE(Transcript().find("message ALLINONE:\n  title \"Delete scheme\""), std::string::npos);
}

TEST_F(SchemesScenario, MovedUpAndDownThroughATemporaryKeyThatIsNeverLeftBehind) {
  MakeSchemes({"A", "B", "C"});
  Start();
  ASSERT_TRUE(Play(OpenMenu() +
                   "menu \"ID3Scheme\" break CtrlUp on 2\n"
                   "menu \"ID3Scheme\" break CtrlUp on 0\n"
                   "menu \"ID3Scheme\" break CtrlDown on 2\n"
                   "menu \"ID3Scheme\" break CtrlDown on 0\n" +
                   CloseAll()))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(SchemeMenus(Transcript()),
            (std::vector<std::string>{"A|B|C @0", "A|C|B @1", "A|C|B @0", "A|C|B @2",
                                      "C|A|B @1"}));
  EXPECT_EQ(Formats(), (std::vector<std::string>{"fC", "fA", "fB"}));
  EXPECT_FALSE(RegKeyExists(std::string(kSchemes) + "\\TEMP"));
}

// Each refused move is said (the change could not be stored) and changes nothing.
TEST_F(SchemesScenario, ATemporaryKeyLeftByAnInterruptedMoveBlocksMovesAndLosesNothing) {
  MakeSchemes({"A", "B"});
  SetRegValue(std::string(kSchemes) + "\\TEMP", "Format", "stale");
  Start();
  ASSERT_TRUE(Play(OpenMenu() + "menu \"ID3Scheme\" break CtrlDown on 0\n" +
                   "message expect \"could not be stored\" button 0\n"
                   "menu \"ID3Scheme\" break CtrlUp on 1\n" +
                   "message expect \"could not be stored\" button 0\n" + CloseAll()))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(Formats(), (std::vector<std::string>{"fA", "fB"}));
  EXPECT_EQ(RegValue(std::string(kSchemes) + "\\TEMP", "Format"), "stale");
}

TEST_F(SchemesScenario, ACountThatIsNoNumberShowsAnEmptyMenuAndTheNextSaveIsSchemeZero) {
  SetRegValue(std::string(kSchemes) + "\\0", "SchemeName", "Old");
  SetRegValue(kSchemes, "Count", "many");
  Start();
  ASSERT_TRUE(Play(OpenMenu() +
                   // A break key on the empty menu shows it again.
                   "menu \"ID3Scheme\" break Del\n"
                   "menu \"ID3Scheme\" esc\n"
                   "dialog \"Id3Filename\" set \"Name format\" \"%2\"\n"
                   "dialog \"Id3Filename\" press \"Save scheme\"\n"
                   "inputbox \"New\"\n"
                   "dialog \"Id3Filename\" esc\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(SchemeMenus(Transcript()), (std::vector<std::string>{" @-", " @-"}));
  EXPECT_EQ(RegValue(kSchemes, "Count"), "1");
  EXPECT_EQ(RegValue(std::string(kSchemes) + "\\0", "SchemeName"), "New");
  EXPECT_EQ(RegValue(std::string(kSchemes) + "\\0", "Format"), "%2");
}

TEST_F(SchemesScenario, AnEntryWithoutAKeyCanBeDeletedAndTheGapCloses) {
  // Count says 3, but scheme 1 has no key (a hand-edited registry).
  SetRegValue(std::string(kSchemes) + "\\0", "Format", "fA");
  SetRegValue(std::string(kSchemes) + "\\0", "SchemeName", "A");
  SetRegValue(std::string(kSchemes) + "\\2", "Format", "fC");
  SetRegValue(std::string(kSchemes) + "\\2", "SchemeName", "C");
  SetRegValue(kSchemes, "Count", "3");
  Start();
  ASSERT_TRUE(Play(OpenMenu() +
                   "menu \"ID3Scheme\" break Del on 1\n"
                   "message expect \"Name 1\" button 0\n" +
                   CloseAll()))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(SchemeMenus(Transcript()), (std::vector<std::string>{"A|Name 1|C @0", "A|C @1"}));
  EXPECT_EQ(Formats(), (std::vector<std::string>{"fA", "fC"}));
}

TEST_F(SchemesScenario, TheFileListDialogKeepsItsOwnSchemesWithItsCharacterTable) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3\n"
                   "invoke menu\n"
                   "menu choose 1\n"
                   "dialog \"Id3Desc\" set \"Line format\" \"%2\"\n"
                   "dialog \"Id3Desc\" select \"Character table\" \"Dos text\"\n"
                   "dialog \"Id3Desc\" press \"Save scheme\"\n"
                   "inputbox \"Dos list\"\n"
                   "dialog \"Id3Desc\" select \"Character table\" \"Windows text\"\n"
                   "dialog \"Id3Desc\" press \"Schemes\"\n"
                   "menu \"ID3Scheme\" choose 0\n"
                   "dialog \"Id3Desc\" expect \"Character table\" \"Dos text\"\n"
                   "dialog \"Id3Desc\" expect \"Line format\" \"%2\"\n"
                   "dialog \"Id3Desc\" esc\n"
                   "expect-end\n"))
      << host_->failure() << "\n" << Transcript();
  EXPECT_EQ(RegValue("FileListDialog\\Scheme\\0", "CharacterTable"), "Dos text");
  EXPECT_EQ(RegValue("FileListDialog\\Scheme", "Count"), "1");
  EXPECT_FALSE(RegKeyExists(kSchemes));
}

}  // namespace

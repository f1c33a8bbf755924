// The user selects files and folders and runs an operation from the plug-in's
// menu, or names files on the command line: which files reach the operation,
// what the warnings offer, what stays selected, the counter and the progress
// display.
#include <cstdio>
#include <functional>
#include <string>

#include "plugin_scenario.h"

namespace {

using scenario::ListText;
using scenario::PluginScenario;
using scenario::Quoted;

// Plays the user from a script and, before answering a message, runs a hook
// that can change the files the plug-in is about to read again.
class HookedDriver : public hostsim::ScriptDriver {
 public:
  using ScriptDriver::ScriptDriver;
  std::function<void(const hostsim::MessageRequest&)> beforeAnswer;

  int Message(const hostsim::MessageRequest& message) override {
    if (beforeAnswer) beforeAnswer(message);
    return ScriptDriver::Message(message);
  }
};

// music/      a.mp3 b.mp3 c.mp3 skip-a.mp3 (audio), noise.mp3 (not audio), notes.txt
// music/sub/  d.mp3 e.mp3 (audio), readme.txt
class Walk : public PluginScenario {
 protected:
  void SetUp() override {
    PluginScenario::SetUp();
    MakeFolder("music");
    MakeFolder("music\\sub");
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "skip-a.mp3", "sub\\d.mp3", "sub\\e.mp3"}) {
      WriteFile(std::string("music\\") + name, scenario::Mp3Audio());
    }
    WriteFile("music\\noise.mp3", std::string(3000, 'n'));
    WriteFile("music\\notes.txt", std::string(3000, 't'));
    WriteFile("music\\sub\\readme.txt", "readme");
  }

  void Configure(const char* name, const std::string& value) {
    ASSERT_TRUE(scenario::WriteRegistry(KeyPath("ConfigDialog"), name, value));
  }

  // The files the information view was opened for, in order, relative to
  // music/. The view's title is the path, which the host may have shortened
  // at its start.
  std::vector<std::string> Shown() const {
    std::vector<std::string> shown;
    const std::string marker = "[0] DOUBLEBOX \"";
    for (size_t at = 0; (at = output_.find(marker, at)) != std::string::npos;) {
      at += marker.size();
      std::string title = output_.substr(at, output_.find('"', at) - at);
      for (const std::string& folder : {scenario::Sep("<panel>\\"), scenario::Sep("\\music\\")}) {
        const size_t found = title.find(folder);
        if (found != std::string::npos) {
          title = title.substr(found + folder.size());
          break;
        }
      }
      shown.push_back(title);
    }
    return shown;
  }

  bool SelectionWrittenBack() const {
    return output_.find("panel: selection set") != std::string::npos &&
           output_.find("panel: redrawn") != std::string::npos;
  }
};

using Names = std::vector<std::string>;

TEST_F(Walk, InfoViewOverFilesAndFoldersFollowsTheMasks) {
  Configure("ExcludeExt", "skip*");
  Start();
  ASSERT_TRUE(
      Play("panel music select sub a.mp3 notes.txt skip-a.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           // The folder loses its mark although readme.txt was passed over;
           // files the masks pass over keep theirs.
           "expect-selected notes.txt skip-a.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  // Panel order: the folder first, walked recursively.
  EXPECT_EQ(Shown(), (Names{scenario::Sep("sub\\d.mp3"), scenario::Sep("sub\\e.mp3"), "a.mp3"})) << output_;
  EXPECT_TRUE(SelectionWrittenBack());
}

TEST_F(Walk, WithoutAnExcludeMaskEveryProcessMatchIsTaken) {
  Configure("ExcludeExt", "");
  Configure("ProcessExt", "*.mp3,*.txt");
  Start();
  ASSERT_TRUE(
      Play("panel music select notes.txt skip-a.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           // notes.txt passes the masks but holds no audio.
           "message expect \"notes.txt\" expect \"Go on with the other files?\" button 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "expect-selected notes.txt\n"))
      << host_->failure() << output_;
  EXPECT_EQ(Shown(), (Names{"skip-a.mp3"})) << output_;
}

TEST_F(Walk, AStopKeepsTheRestSelected) {
  Start();
  // A stop inside a folder: the folder and everything after it stay selected.
  ASSERT_TRUE(
      Play("panel music select sub a.mp3 b.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "dialog \"Id3Edit\" press \"Cancel\"\n"
           "expect-selected sub a.mp3 b.mp3\n"))
      << host_->failure() << output_;
  EXPECT_EQ(Shown(), (Names{scenario::Sep("sub\\d.mp3"), scenario::Sep("sub\\e.mp3")})) << output_;
  EXPECT_TRUE(SelectionWrittenBack());

  // Esc in the view stops too; what was done before is deselected.
  ASSERT_TRUE(
      Play("select c.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "dialog \"Id3Edit\" esc\n"
           "expect-selected b.mp3 c.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_EQ(Shown(), (Names{scenario::Sep("sub\\d.mp3"), scenario::Sep("sub\\e.mp3"), "a.mp3", "b.mp3"})) << output_;
}

TEST_F(Walk, AFileWithoutAudioCanBePassedOverOrStopTheWalk) {
  Start();
  ASSERT_TRUE(
      Play("panel music select a.mp3 noise.mp3 skip-a.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "message expect \"holds no MPEG audio\" expect \"Go on with the other files?\" "
           "button 1\n"
           "expect-selected noise.mp3 skip-a.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "message esc\n"
           "expect-selected noise.mp3 skip-a.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "message button 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "expect-selected noise.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_NE(output_.find("buttons [Yes] [No]"), std::string::npos) << output_;
}

// On POSIX a '\' is a character of a name like any other; a name with letters
// that the OEM code page lacks reaches the plug-in with '?' for them, and its
// warning names the file and how to choose code pages that have them.
TEST_F(Walk, OnPosixABackslashNameIsReadAndAnUnspellableNameIsExplained) {
  if (sys::kPathSeparator == '\\') GTEST_SKIP() << "names of POSIX file systems";
  MakeFolder("odd");
  ASSERT_TRUE(hostsim::WriteWholeFile(hostsim::JoinPath(Path("odd"), "AC\\DC - Back.mp3"),
                                      scenario::Mp3Audio()));
  const std::string cafe = hostsim::NativePath(Path("odd")) + "/Café.mp3";  // no é in 866
  std::FILE* made = std::fopen(cafe.c_str(), "wb");
  ASSERT_NE(made, nullptr);
  const std::string audio = scenario::Mp3Audio();
  ASSERT_EQ(std::fwrite(audio.data(), 1, audio.size(), made), audio.size());
  std::fclose(made);
  Start();
  ASSERT_TRUE(Play("panel odd select \"AC\\\\DC - Back.mp3\" \"Caf?.mp3\"\n"
                   "invoke menu\n"
                   "menu choose 0\n"
                   "dialog \"Id3Edit\" press \"Skip this file\"\n"
                   "message expect \"Caf?.mp3\" "
                   "expect \"holds letters that the OEM code page cannot show\" "
                   "expect \"Set TAGWRIGHT_CODEPAGES (now 866:1251), e.g. to 866:1251,\" "
                   "expect \"Go on with the other files?\" button 0\n"
                   "expect-selected Caf?.mp3\n"
                   "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_EQ(Shown(), (Names{"AC\\DC - Back.mp3"})) << output_;
  EXPECT_EQ(output_.find("Cannot read the file"), std::string::npos) << output_;
}

TEST_F(Walk, AFileThatCannotBeReadOffersRetrySkipAndStop) {
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3 b.mp3 c.mp3\n"));
  // The panel still lists b.mp3; the plug-in will not find it.
  ASSERT_TRUE(sys::DeleteFile(Path("music\\b.mp3")));

  std::vector<hostsim::Step> steps;
  std::string error;
  ASSERT_TRUE(
      hostsim::ParseScript("invoke menu\n"
                           "menu choose 0\n"
                           "dialog \"Id3Edit\" press \"Skip this file\"\n"
                           "message expect \"Cannot read the file\" button 1\n"
                           "message expect \"Cannot read the file\" button 1\n"
                           "dialog \"Id3Edit\" press \"Skip this file\"\n"
                           "dialog \"Id3Edit\" press \"Skip this file\"\n"
                           "expect-selected none\n",
                           &steps, &error))
      << error;
  HookedDriver driver(*host_, module_.get(), steps, dir_);
  int messages = 0;
  // Still missing at the first retry, back at the second.
  driver.beforeAnswer = [&](const hostsim::MessageRequest& message) {
    // Skip, Retry, Stop for one of several files: the default moves on.
    ASSERT_EQ(message.buttons.size(), 3u);
    if (++messages == 2) WriteFile("music\\b.mp3", scenario::Mp3Audio());
  };
  ASSERT_TRUE(Play("", &driver)) << host_->failure() << output_;
  EXPECT_EQ(messages, 2);
  EXPECT_EQ(Shown(), (Names{"a.mp3", "b.mp3", "c.mp3"})) << output_;

  ASSERT_TRUE(sys::DeleteFile(Path("music\\b.mp3")));
  ASSERT_TRUE(
      Play("select a.mp3 b.mp3 c.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "message expect \"b.mp3\" button 0\n"  // skip: it keeps its mark
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "expect-selected b.mp3\n"
           "select a.mp3 c.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "message expect \"b.mp3\" button 2\n"  // stop
           "expect-selected b.mp3 c.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
}

// An empty file, or one under a folder whose path does not fit the host's
// panel field (NM bytes, where the host cuts it), cannot be read however often
// the user tries: the warning says what is wrong, and its default answer goes
// on, so Enter never repeats it.
TEST_F(Walk, AFileThatCanNeverBeReadSaysWhyAndEnterMovesOn) {
  WriteFile("music\\empty.mp3", "");
  Start();
  ASSERT_TRUE(Play("panel music select a.mp3 empty.mp3 c.mp3\n"
                   "invoke menu\n"
                   "menu choose 0\n"
                   "dialog \"Id3Edit\" press \"Skip this file\"\n"
                   "dialog \"Id3Edit\" press \"Skip this file\"\n"
                   "message expect \"empty.mp3\" expect \"is empty\" "
                   "expect \"Go on with the other files?\" button 0\n"
                   "expect-selected empty.mp3\n"
                   "panel music cursor empty.mp3\n"
                   "invoke menu\n"
                   "menu choose 0\n"
                   "message expect \"is empty\" button 0\n"
                   "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_NE(output_.find("buttons [Yes] [No]"), std::string::npos) << output_;
  EXPECT_NE(output_.find("buttons [OK]"), std::string::npos) << output_;
  EXPECT_EQ(output_.find("Cannot read the file"), std::string::npos) << output_;

  // Windows' ANSI file functions stop at the same length: such a folder is
  // not made there.
  if (sys::kPathSeparator == '\\') return;
  std::string deep = "music";
  while (deep.size() < 300) {
    deep += "\\" + std::string(60, 'f');
    MakeFolder(deep);
  }
  WriteFile(deep + "\\deep.mp3", scenario::Mp3Audio());
  ASSERT_TRUE(Play("panel " + Quoted(Path(deep)) + " cursor deep.mp3\n"
                   "invoke menu\n"
                   "menu choose 0\n"
                   "message expect \"is too long for the host's panel, which holds 259 characters\" "
                   "button 0\n"
                   "expect-end\n"))
      << host_->failure() << output_;
}

TEST_F(Walk, TheItemUnderTheCursorLeavesTheSelectionAlone) {
  Start();
  // A single file: the short form of the warnings.
  ASSERT_TRUE(
      Play("panel music cursor noise.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "message expect \"holds no MPEG audio\" button 0\n"))
      << host_->failure() << output_;
  EXPECT_NE(output_.find("buttons [OK]"), std::string::npos) << output_;
  EXPECT_EQ(output_.find("Go on with the other files?"), std::string::npos) << output_;
  EXPECT_FALSE(SelectionWrittenBack()) << output_;

  // A folder under the cursor is walked; the panel is neither changed nor redrawn.
  ASSERT_TRUE(
      Play("cursor sub\n"
           "invoke menu\n"
           "menu choose 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "expect-selected none\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_EQ(Shown(), (Names{scenario::Sep("sub\\d.mp3"), scenario::Sep("sub\\e.mp3")})) << output_;
  EXPECT_FALSE(SelectionWrittenBack()) << output_;

  // The parent folder's entry is never walked.
  ASSERT_TRUE(
      Play("cursor ..\n"
           "invoke menu\n"
           "menu choose 0\n"
           "expect-end\n"))
      << host_->failure() << output_;
}

TEST_F(Walk, ARootFolderGetsOneSeparatorBeforeTheName) {
  Start();
  // A panel whose folder ends with a separator, as a drive's root does.
  std::string error;
  ASSERT_TRUE(host_->panel().Open(Path("music\\"), &error)) << error;
  ASSERT_TRUE(host_->panel().Select("noise.mp3", true));
  ASSERT_TRUE(host_->panel().Select("sub", true));
  host_->transcript().AddSubstitution(dir_, "dir");
  ASSERT_TRUE(
      Play("invoke menu\n"
           "menu choose 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "message button 0\n"
           "expect-selected noise.mp3\n"))
      << host_->failure() << output_;
  EXPECT_NE(output_.find(scenario::Sep("\"<dir>\\music\\noise.mp3\"")), std::string::npos) << output_;
  EXPECT_EQ(Shown(), (Names{scenario::Sep("sub\\d.mp3"), scenario::Sep("sub\\e.mp3")})) << output_;
  EXPECT_EQ(output_.find(scenario::Sep("music\\\\")), std::string::npos) << output_;
}

TEST_F(Walk, TheCommandLineNamesAFileOrAMask) {
  Start();
  const std::string sub = Path("music\\sub\\");
  // The paths given below name the panel's folder in the system's form.
  host_->transcript().AddSubstitution(Path("music"), "panel");
  ASSERT_TRUE(
      Play("panel music select c.mp3\n"
           // A bare name in the panel's folder; the comma stands for any character.
           "invoke command \"id3:a,mp3\"\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           // The single-file warning: OK only.
           "invoke command \"id3:noise.mp3\"\n"
           "message expect \"holds no MPEG audio\" button 0\n"
           // With a folder: that folder only, quoted, several-file warnings.
           "invoke command " +
           Quoted("id3:\"" + sub + "d,mp3\"") +
           "\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "invoke command " +
           Quoted("id3:" + Path("music\\noise.mp3")) +
           "\n"
           "message expect \"Go on with the other files?\" button 0\n"
           // A mask that matches several files stops where the user stops.
           "invoke command \"id3:?.mp3\"\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "dialog \"Id3Edit\" press \"Cancel\"\n"
           "expect-selected c.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_EQ(Shown(), (Names{"a.mp3", scenario::Sep("sub\\d.mp3"), "a.mp3", "b.mp3"})) << output_;
  EXPECT_FALSE(SelectionWrittenBack()) << output_;
}

TEST_F(Walk, NothingHappensOnAPanelOfOtherThanRealFilesOrAfterEsc) {
  Start();
  ASSERT_TRUE(
      Play("panel music select a.mp3 realnames off\n"
           "invoke menu\n"
           "invoke command \"id3:a.mp3\"\n"
           "expect-selected a.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_EQ(output_.find("menu \""), std::string::npos) << output_;

  ASSERT_TRUE(
      Play("panel music select a.mp3\n"
           "invoke menu\n"
           "menu esc\n"
           "expect-selected a.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_FALSE(SelectionWrittenBack()) << output_;
}

// The file list asks nothing per file: the bar runs from the start, over the
// files the counting pass found, and the counter restarts in each folder.
TEST_F(Walk, TheFileListShowsProgressAndCountsPerFolder) {
  for (const bool reset : {true, false}) {
    SCOPED_TRACE(reset ? "ResetCounter on" : "ResetCounter off");
    Configure("ResetCounter", reset ? "1" : "0");
    const std::string list = reset ? "list-reset.txt" : "list-running.txt";
    Start();
    ASSERT_TRUE(
        Play("panel music select sub a.mp3 noise.mp3 notes.txt\n"
             "invoke menu\n"
             "menu choose 1\n"
             "dialog \"Id3Desc\" set \"Line format\" \"%0 %F\"\n"
             "dialog \"Id3Desc\" set \"List file\" " +
             Quoted(Path(list)) +
             "\n"
             "dialog \"Id3Desc\" press \"OK\"\n"
             "message expect \"noise.mp3\" button 0\n"
             "expect-selected noise.mp3 notes.txt\n"
             "expect-end\n"))
        << host_->failure() << output_;
    // d, e, a and noise pass the masks: four steps, noise's included.
    EXPECT_EQ(PluginScenario::Bars(output_), (std::vector<int>{0, 10, 21, 32, 43}));
    EXPECT_EQ(ReadFile(list), ListText(reset ? "0 d\r\n1 e\r\n0 a\r\n" : "0 d\r\n1 e\r\n2 a\r\n"));
  }
}

// The rename confirmation's "do not ask again" switches the walk to the
// progress display for the file in hand and those still to come.
TEST_F(Walk, ProgressStartsWhenTheOperationStopsAsking) {
  Start();
  ASSERT_TRUE(
      Play("panel music select a.mp3 b.mp3 c.mp3\n"
           "invoke menu\n"
           "menu choose 2\n"
           "dialog \"Id3Filename\" check \"Confirm each file\"\n"
           "dialog \"Id3Filename\" set \"Name format\" \"r%0%G\"\n"
           "dialog \"Id3Filename\" press \"OK\"\n"
           "dialog \"Id3Confirmation\" press \"OK\"\n"
           "dialog \"Id3Confirmation\" check \"Do not ask again\"\n"
           "dialog \"Id3Confirmation\" press \"OK\"\n"
           "expect-selected none\n"
           "expect-end\n"))
      << host_->failure() << output_;
  // Nothing while it asked; then a bar of 3 - 2 + 1 = 2 files (b and c), a step for each.
  EXPECT_EQ(PluginScenario::Bars(output_), (std::vector<int>{0, 21, 43}));
  for (const char* name : {"music\\r0.mp3", "music\\r1.mp3", "music\\r2.mp3"}) {
    EXPECT_TRUE(sys::Exists(Path(name))) << name;
  }
}

TEST_F(Walk, AListFileThatCannotBeLoadedEndsTheTagCreation) {
  Start();
  ASSERT_TRUE(
      Play("panel music select a.mp3\n"
           "invoke menu\n"
           "menu choose 3\n"
           "dialog \"Id3TagCreation\" choose \"Take the text from lines of a list file\"\n"
           "dialog \"Id3TagCreation\" set \"List file\" " +
           Quoted(Path("no-such-list.txt")) +
           "\n"
           "dialog \"Id3TagCreation\" press \"OK\"\n"
           "message expect \"Cannot load the list file\" expect \"no-such-list.txt\" "
           "button 0\n"
           "expect-selected a.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_NE(output_.find("buttons [OK]"), std::string::npos) << output_;
  EXPECT_FALSE(SelectionWrittenBack()) << output_;
}

}  // namespace

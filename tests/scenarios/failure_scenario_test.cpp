// What the user sees when a file operation fails during a walk, and what a
// save keeps of the file: a tag write, a list append, a rename or a folder
// that cannot be read is said with the file's name and the system's reason,
// and the user goes on with the other files or stops; a read-only file stays
// read-only, and with the option on a save keeps the file's modification time.
//
// Failures the file system would not give a test run by root come from the
// fault injection of the system layer, which the plug-in module shares with
// this program.
#include <functional>
#include <string>
#include <vector>

#include "plugin_scenario.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace {

using scenario::ListText;
using scenario::PluginScenario;
using scenario::Quoted;

// Plays the user from a script; lets the test act when a dialog has closed
// and when the progress display changes, and keeps every message shown.
class FaultDriver : public hostsim::ScriptDriver {
 public:
  using ScriptDriver::ScriptDriver;
  std::function<void()> afterDialog;
  std::function<void()> onScreenChanged;
  std::vector<hostsim::MessageRequest> messages;

  void RunDialog(hostsim::DialogEngine& dialog) override {
    ScriptDriver::RunDialog(dialog);
    if (afterDialog) afterDialog();
  }
  int Message(const hostsim::MessageRequest& message) override {
    messages.push_back(message);
    return ScriptDriver::Message(message);
  }
  void ScreenChanged() override {
    if (onScreenChanged) onScreenChanged();
  }
};

// M/ a.mp3 b.mp3 (MPEG audio without tags)
class Failures : public PluginScenario {
 protected:
  void SetUp() override {
    PluginScenario::SetUp();
    MakeFolder("M");
    WriteFile("M\\a.mp3", scenario::Mp3Audio());
    WriteFile("M\\b.mp3", scenario::Mp3Audio());
  }
  void TearDown() override {
    sys::FailFileOperationsFrom(0);
    for (const char* name : {"M\\a.mp3", "M\\b.mp3"}) sys::SetAttributes(Path(name), 0);
    PluginScenario::TearDown();
  }

  void Set(const char* subkey, const std::string& name, const std::string& value) {
    ASSERT_TRUE(scenario::WriteRegistry(KeyPath(subkey), name, value)) << name;
  }
  // Tag creation without questions: the title "T" into the ticked tags.
  void TagCreationWritesTitles(bool v1, bool v2) {
    Set("TagCreationDialog", "Confirmation", "0");
    Set("TagCreationDialog", "CreateID3v1", v1 ? "1" : "0");
    Set("TagCreationDialog", "CreateID3v2", v2 ? "1" : "0");
    Set("TagCreationDialog", "CB_Title", "1");
    Set("TagCreationDialog", "Edit_Title", "T");
  }

  // Plays `script` with `driver` set up by `hooks`.
  bool PlayWith(const std::string& script, const std::function<void(FaultDriver&)>& hooks) {
    std::vector<hostsim::Step> steps;
    std::string error;
    if (!hostsim::ParseScript(script, &steps, &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    driver_ = std::make_unique<FaultDriver>(*host_, module_.get(), steps, dir_);
    hooks(*driver_);
    return Play("", driver_.get());
  }

  bool HasTitle(const char* name) const {
    tags::ID3v1Tag v1;
    tags::ID3v2Tag v2;
    return (v1.Load(Path(name)) && v1.Title() == "T") || (v2.Load(Path(name)) && v2.Title() == "T");
  }

  // The message the warning of a failed file operation is: its flags, and the
  // system's reason as its first line.
  void ExpectFailureWarning(const hostsim::MessageRequest& m, uint32_t error) const {
    EXPECT_EQ(m.flags & (FMSG_WARNING | FMSG_ERRORTYPE),
              static_cast<DWORD>(FMSG_WARNING | FMSG_ERRORTYPE));
    EXPECT_EQ(m.buttons, (std::vector<std::string>{"Yes", "No"}));
    ASSERT_FALSE(m.lines.empty());
    EXPECT_EQ(m.lines.front(), sys::ErrorText(error));
    EXPECT_EQ(m.lines.back(), "Go on with the other files?");
  }

  std::unique_ptr<FaultDriver> driver_;
};

const char kCreateTags[] =
    "panel M select a.mp3 b.mp3\n"
    "invoke menu\n"
    "menu choose 3\n"
    "dialog Id3TagCreation press \"OK\"\n";

// The write of a's tag fails once: the user is told, with the file's name and
// the reason, and goes on with b or stops there. A failure after the write
// (closing the file) is told as such, and the walk goes on.
TEST_F(Failures, AFailedTagWriteIsSaidAndTheUserGoesOnOrStops) {
  TagCreationWritesTitles(true, false);
  Start();
  // A first run counts the file operations of one file: from the progress
  // display's start to its first step.
  int perFile = 0;
  int boxes = 0;
  // Counted from the dialog's close: a's analysis and tag write come first.
  ASSERT_TRUE(PlayWith(std::string(kCreateTags) + "expect-end\n",
                       [&](FaultDriver& d) {
                         d.afterDialog = [] { sys::FailFileOperationsFrom(1000000); };
                         d.onScreenChanged = [&] {
                           if (++boxes == 2) perFile = sys::FileOperationCount();
                         };
                       }))
      << host_->failure() << output_;
  sys::FailFileOperationsFrom(0);
  ASSERT_GT(perFile, 0);
  ASSERT_TRUE(HasTitle("M\\a.mp3") && HasTitle("M\\b.mp3"));

  // The last operations of a file come after its tags are in it (closing,
  // the attributes): their failure is a note, not a lost save.
  WriteFile("M\\a.mp3", scenario::Mp3Audio());
  WriteFile("M\\b.mp3", scenario::Mp3Audio());
  ASSERT_TRUE(PlayWith(std::string(kCreateTags) +
                           "message expect \"were written, but finishing the write failed\" "
                           "button 0\nexpect-selected none\nexpect-end\n",
                       [&](FaultDriver& d) {
                         d.afterDialog = [&] { sys::FailFileOperationsFrom(perFile, 1); };
                       }))
      << host_->failure() << output_;
  EXPECT_TRUE(HasTitle("M\\a.mp3") && HasTitle("M\\b.mp3"));

  // The operation that writes a's block: a's save takes the last operations
  // before its step, as an ID3v1 save of the same file here does; of those,
  // the last whose failure loses the save.
  MakeFolder("probe");
  const std::string probe = Path("probe\\p.mp3");
  int saveOperations = 0;
  int writeOperation = 0;
  for (int k = 1;; ++k) {
    WriteFile("probe\\p.mp3", scenario::Mp3Audio());
    tags::ID3v1Tag tag;
    ASSERT_TRUE(tag.Load(probe));
    tag.SetTitle("T");
    sys::FailFileOperationsFrom(k == 1 ? 1000000 : k - 1, 1);
    const bool saved = tag.Save(probe);
    if (k == 1) saveOperations = sys::FileOperationCount();
    sys::FailFileOperationsFrom(0);
    if (k > 1 && !saved) writeOperation = k - 1;
    if (k > saveOperations) break;
  }
  ASSERT_GT(writeOperation, 0);
  const int failAt = perFile - saveOperations + writeOperation;
  auto playFailing = [&](int at, bool goOn) {
    WriteFile("M\\a.mp3", scenario::Mp3Audio());
    WriteFile("M\\b.mp3", scenario::Mp3Audio());
    const std::string answer = goOn ? "button 0" : "button 1";
    return PlayWith(std::string(kCreateTags) +
                        "message expect \"Cannot write the tags of the file\" expect " +
                        scenario::Quoted(scenario::Sep("\\a.mp3")) + " " +
                        answer + "\n" +
                        // a keeps its mark either way: its save failed.
                        (goOn ? "expect-selected a.mp3\n" : "expect-selected a.mp3 b.mp3\n") +
                        "expect-end\n",
                    [&](FaultDriver& d) {
                      d.afterDialog = [at] { sys::FailFileOperationsFrom(at, 1); };
                    });
  };

  for (const bool goOn : {true, false}) {
    SCOPED_TRACE(goOn ? "go on" : "stop");
    ASSERT_TRUE(playFailing(failAt, goOn)) << host_->failure() << output_;
    ASSERT_EQ(driver_->messages.size(), 1u);
    ExpectFailureWarning(driver_->messages[0], sys::kErrorWriteFault);
    EXPECT_EQ(HasTitle("M\\b.mp3"), goOn);
  }
}

TEST_F(Failures, AListFileThatCannotTakeALineIsSaid) {
  // a's list is a folder; b's list can be written.
  MakeFolder("a.lst");
  Set("FileListDialog", "Format", "%F");
  Set("FileListDialog", "FileListName", Path("%F.lst"));
  Start();
  ASSERT_TRUE(
      Play("panel M select a.mp3 b.mp3\n"
           "invoke menu\n"
           "menu choose 1\n"
           "dialog Id3Desc press \"OK\"\n"
           "message expect \"Cannot add a line to the list file\" expect " +
           Quoted(Path("a.lst")) +
           " button 0\n"
           "expect-selected a.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_NE(output_.find("ERRORTYPE"), std::string::npos) << output_;
  EXPECT_EQ(ReadFile("b.lst"), ListText("b\r\n"));


  // One list for all, in a folder that does not exist: No stops at the first file.
  ASSERT_TRUE(
      PlayWith("select a.mp3 b.mp3\n"
               "invoke menu\n"
               "menu choose 1\n"
               "dialog Id3Desc set \"List file\" " +
                   Quoted(Path("missing\\all.lst")) +
                   "\n"
                   "dialog Id3Desc press \"OK\"\n"
                   "message expect \"all.lst\" button 1\n"
                   "expect-selected a.mp3 b.mp3\n"
                   "expect-end\n",
               [](FaultDriver&) {}))
      << host_->failure() << output_;
  ASSERT_EQ(driver_->messages.size(), 1u);
  ExpectFailureWarning(driver_->messages[0], sys::kErrorPathNotFound);

  // The folder that holds them keeps its mark as well; a folder whose files
  // all went through loses it.
  MakeFolder("N");
  WriteFile("N\\c.mp3", scenario::Mp3Audio());
  ASSERT_TRUE(
      PlayWith("panel . select M N\n"
               "invoke menu\n"
               "menu choose 1\n"
               "dialog Id3Desc set \"List file\" " +
                   Quoted(Path("%F.lst")) +
                   "\n"
                   "dialog Id3Desc press \"OK\"\n"
                   "message expect \"Cannot add a line to the list file\" button 0\n"
                   "expect-selected M\n"
                   "expect-end\n",
               [](FaultDriver&) {}))
      << host_->failure() << output_;
  EXPECT_EQ(ReadFile("c.lst"), ListText("c\r\n"));
}

TEST_F(Failures, ARenameThatFailsIsSaidAndTheUserGoesOnOrStops) {
  WriteFile("M\\a_new.mp3", "taken");
  Set("TagToFileDialog", "Confirmation", "0");
  Set("TagToFileDialog", "Format", "%F_new%G");
  Start();
  ASSERT_TRUE(
      PlayWith("panel M select a.mp3 b.mp3\n"
               "invoke menu\n"
               "menu choose 2\n"
               "dialog Id3Filename press \"OK\"\n"
               "message expect \"Cannot rename the file\" expect \"a_new.mp3\" button 1\n"
               "expect-selected a.mp3 b.mp3\n"
               "expect-end\n",
               [](FaultDriver&) {}))
      << host_->failure() << output_;
  ASSERT_EQ(driver_->messages.size(), 1u);
  ExpectFailureWarning(driver_->messages[0], sys::kErrorAlreadyExists);
  EXPECT_TRUE(sys::Exists(Path("M\\b.mp3")));

  ASSERT_TRUE(
      Play("select a.mp3 b.mp3\n"
           "invoke menu\n"
           "menu choose 2\n"
           "dialog Id3Filename press \"OK\"\n"
           "message expect \"Cannot rename the file\" button 0\n"
           "expect-selected a.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_EQ(ReadFile("M\\a_new.mp3"), "taken");
  EXPECT_TRUE(sys::Exists(Path("M\\a.mp3")));
  EXPECT_TRUE(sys::Exists(Path("M\\b_new.mp3")));
}

// A folder the walk cannot list is not taken for an empty one: the user is
// told and goes on with the other items (the folder keeps its mark) or stops.
TEST_F(Failures, AFolderThatCannotBeReadIsSaid) {
  MakeFolder("M\\0sub");
  WriteFile("M\\0sub\\c.mp3", scenario::Mp3Audio());
  WriteFile("z.mp3", scenario::Mp3Audio());
  Set("FileListDialog", "Format", "%F");
  Set("FileListDialog", "FileListName", Path("list.txt"));
  Start();
  // The selected folder itself: the first file operation after the set-up.
  ASSERT_TRUE(
      PlayWith("panel . select M z.mp3\n"
               "invoke menu\n"
               "menu choose 1\n"
               "dialog Id3Desc press \"OK\"\n"
               "message expect \"Cannot read the folder\" expect " +
                   Quoted(Path("M")) +
                   " button 0\n"
                   "expect-selected M\n"
                   "expect-end\n",
               [](FaultDriver& d) { d.afterDialog = [] { sys::FailFileOperationsFrom(1, 1); }; }))
      << host_->failure() << output_;
  ASSERT_EQ(driver_->messages.size(), 1u);
  ExpectFailureWarning(driver_->messages[0], sys::kErrorWriteFault);
  EXPECT_EQ(ReadFile("list.txt"), ListText("z\r\n"));

  // A folder met inside the walk (0sub comes first in M): stopping there
  // ends the walk before a.mp3, b.mp3 and z.mp3.
  ASSERT_TRUE(
      PlayWith("select M z.mp3\n"
               "invoke menu\n"
               "menu choose 1\n"
               "dialog Id3Desc press \"OK\"\n"
               "message expect \"Cannot read the folder\" expect \"0sub\" button 1\n"
               "expect-selected M z.mp3\n"
               "expect-end\n",
               [](FaultDriver& d) { d.afterDialog = [] { sys::FailFileOperationsFrom(2, 1); }; }))
      << host_->failure() << output_;
  EXPECT_EQ(ReadFile("list.txt"), ListText("z\r\n"));
}

// Both tags written on a read-only file, one of them by a rebuild through a
// temporary file: the file keeps its mark.
TEST_F(Failures, AReadOnlyFileStaysReadOnly) {
  TagCreationWritesTitles(true, true);
  ASSERT_TRUE(sys::SetAttributes(Path("M\\a.mp3"), sys::kAttrReadOnly));
  Start();
  ASSERT_TRUE(Play(std::string(kCreateTags) + "expect-selected none\nexpect-end\n"))
      << host_->failure() << output_;
  uint32_t attributes = 0;
  ASSERT_TRUE(sys::GetAttributes(Path("M\\a.mp3"), &attributes));
  EXPECT_EQ(attributes & sys::kAttrReadOnly, uint32_t{sys::kAttrReadOnly});
  tags::ID3v1Tag v1;
  tags::ID3v2Tag v2;
  ASSERT_TRUE(v1.Load(Path("M\\a.mp3")) && v2.Load(Path("M\\a.mp3")));
  EXPECT_EQ(v1.Title(), "T");
  EXPECT_EQ(v2.Title(), "T");
  ASSERT_TRUE(sys::GetAttributes(Path("M\\b.mp3"), &attributes));
  EXPECT_EQ(attributes & sys::kAttrReadOnly, 0u);
}

// The configuration's check box: a save keeps the modification time only
// when it is on.
TEST_F(Failures, TheModificationTimeIsKeptWhenTheOptionIsOn) {
  TagCreationWritesTitles(true, true);
  const sys::FileTimes old{{981173106, 123456700}, {981173107, 0}};  // 2001-02-03
  Start();
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "kept" : "not kept");
    for (const char* name : {"M\\a.mp3", "M\\b.mp3"}) {
      WriteFile(name, scenario::Mp3Audio());
      ASSERT_TRUE(sys::SetFileTimes(Path(name), old));
    }
    ASSERT_TRUE(Play(
        std::string("invoke configure\n"
                    "dialog Id3Config expect \"Keep the file's modification time\" ") +
        (keep ? "unchecked\ndialog Id3Config check \"Keep the file's modification time\"\n"
              : "checked\ndialog Id3Config uncheck \"Keep the file's modification time\"\n") +
        "dialog Id3Config press \"OK\"\n" + kCreateTags + "expect-end\n"))
        << host_->failure() << output_;
    for (const char* name : {"M\\a.mp3", "M\\b.mp3"}) {
      EXPECT_TRUE(HasTitle(name)) << name;
      sys::FileTimes now;
      ASSERT_TRUE(sys::GetFileTimes(Path(name), &now));
      if (keep) {
        EXPECT_EQ(now.modified, old.modified) << name;
      } else {
        EXPECT_GT(now.modified.seconds, old.modified.seconds) << name;
      }
    }
  }
  EXPECT_EQ(scenario::ReadRegistry(KeyPath("ConfigDialog"), "KeepFileTime"), scenario::Sz("0"));
}

}  // namespace

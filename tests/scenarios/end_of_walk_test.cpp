// What a walk does once for all its files: the processing pass goes through
// what the counting pass found instead of searching the folders again, and
// what the walk wrote is made durable when it ends, with a failure said like
// that of a write.
#include <functional>
#include <string>
#include <vector>

#include "plugin_scenario.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace {

using scenario::ListText;
using scenario::PluginScenario;

// Keeps every message shown and lets the test act when the screen changes
// (a progress box drawn or taken away). With `answerAll` a question is
// answered with its first button (go on, read again, OK) without a line of
// the script.
class WatchingDriver : public hostsim::ScriptDriver {
 public:
  using ScriptDriver::ScriptDriver;
  std::function<void()> onScreenChanged;
  std::vector<hostsim::MessageRequest> messages;
  bool answerAll = false;

  int Message(const hostsim::MessageRequest& message) override {
    if (answerAll && !message.buttons.empty()) {
      messages.push_back(message);
      return 0;
    }
    if (!message.buttons.empty()) messages.push_back(message);
    return ScriptDriver::Message(message);
  }
  void ScreenChanged() override {
    if (onScreenChanged) onScreenChanged();
  }
};

class EndOfWalk : public PluginScenario {
 protected:
  void TearDown() override {
    sys::FailFileOperationsFrom(0);
    PluginScenario::TearDown();
  }

  void Set(const char* subkey, const std::string& name, const std::string& value) {
    ASSERT_TRUE(scenario::WriteRegistry(KeyPath(subkey), name, value)) << name;
  }

  // Plays `script`; from the screen change number `failFrom` on (1: the
  // progress display's start) every file operation fails.
  bool PlayFailingFrom(const std::string& script, int failFrom) {
    std::vector<hostsim::Step> steps;
    std::string error;
    if (!hostsim::ParseScript(script, &steps, &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    driver_ = std::make_unique<WatchingDriver>(*host_, module_.get(), steps, dir_);
    int changes = 0;
    driver_->onScreenChanged = [&] {
      if (++changes == failFrom) sys::FailFileOperationsFrom(1);
    };
    const bool played = Play("", driver_.get());
    sys::FailFileOperationsFrom(0);
    return played;
  }

  std::unique_ptr<WatchingDriver> driver_;
};

// A file that the operation moves into a folder the walk has still to enter
// is not handed to the operation a second time: the walk goes through what
// it counted, not through what the folders hold by then.
TEST_F(EndOfWalk, AFileMovedIntoAFolderStillToBeWalkedIsHandedOverOnce) {
  MakeFolder("music");
  MakeFolder("music\\sub");
  for (const char* name : {"music\\a.mp3", "music\\b.mp3", "music\\sub\\d.mp3"})
    WriteFile(name, scenario::Mp3Audio());
  Set("TagToFileDialog", "Confirmation", "0");
  Set("TagToFileDialog", "Format", scenario::Sep("music\\sub\\x%F%G"));
  Start();
  ASSERT_TRUE(Play("panel . select music\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog Id3Filename press \"OK\"\n"
                   "expect-selected none\n"
                   "expect-end\n"))
      << host_->failure() << output_;
  std::vector<FAR_FIND_DATA> entries;
  ASSERT_TRUE(hostsim::ListFolder(Path("music\\sub"), &entries));
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.cFileName);
  EXPECT_EQ(names, (std::vector<std::string>{"xa.mp3", "xb.mp3", "xd.mp3"}));
}

// The walk's writes reach the disk when it ends; when that fails, each file
// concerned is said like a write of its kind that failed, with the system's
// reason, and the user may stop hearing of the others.
TEST_F(EndOfWalk, AFailedSyncAtTheEndIsSaidLikeAFailedWrite) {
  MakeFolder("M");
  struct Case {
    const char* what;
    int mode;
    const char* dialog;
    const char* ok;  // the button that starts the walk
    const char* said;
  };
  const Case cases[] = {
      {"tag creation", 3, "Id3TagCreation", "\"OK\"", "Cannot write the tags of the file"},
      {"file list", 1, "Id3Desc", "\"OK\"", "Cannot add a line to the list file"},
  };
  Set("TagCreationDialog", "Confirmation", "0");
  Set("TagCreationDialog", "CreateID3v1", "0");
  Set("TagCreationDialog", "CreateID3v2", "1");
  Set("TagCreationDialog", "CB_Title", "1");
  Set("TagCreationDialog", "Edit_Title", "T");
  Set("FileListDialog", "Format", "%F");
  Set("FileListDialog", "FileListName", Path("M\\%F.lst"));
  Start();
  for (const Case& c : cases) {
    for (const bool goOn : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (goOn ? ", go on" : ", stop"));
      for (const char* name : {"M\\a.mp3", "M\\b.mp3"}) WriteFile(name, scenario::Mp3Audio());
      std::string script = "panel M select a.mp3 b.mp3\ninvoke menu\nmenu choose " +
                           std::to_string(c.mode) + "\ndialog " + c.dialog + " press " + c.ok + "\n";
      script += std::string("message expect \"") + c.said + "\" expect " + scenario::Quoted(scenario::Sep("\\a.")) + " " +
                (goOn ? "button 0\n" : "button 1\n");
      if (goOn)
        script += std::string("message expect \"") + c.said + "\" expect " + scenario::Quoted(scenario::Sep("\\b.")) + " button 0\n";
      script += "expect-selected none\nexpect-end\n";
      // The progress display: drawn at the start and after each of the two
      // files, then taken away; the sync comes after that.
      ASSERT_TRUE(PlayFailingFrom(script, 4)) << host_->failure() << output_;
      ASSERT_EQ(driver_->messages.size(), goOn ? 2u : 1u);
      for (const hostsim::MessageRequest& m : driver_->messages) {
        EXPECT_EQ(m.flags & (FMSG_WARNING | FMSG_ERRORTYPE),
                  static_cast<DWORD>(FMSG_WARNING | FMSG_ERRORTYPE));
        ASSERT_FALSE(m.lines.empty());
        EXPECT_EQ(m.lines.front(), sys::ErrorText(sys::kErrorWriteFault));
      }
      // What was written stays written: only its way to the disk is in doubt.
      if (c.mode == 3) {
        tags::ID3v2Tag tag;
        ASSERT_TRUE(tag.Load(Path("M\\b.mp3")));
        EXPECT_EQ(tag.Title(), "T");
      }
    }
  }
  EXPECT_EQ(ReadFile("M\\a.lst"), ListText("a\r\na\r\n"));
}

// Whatever single file operation of a save fails, from the reading of the
// files to the sync at the end of the walk, each file keeps its audio and
// holds each tag old or new, and a file not saved whole is named in a warning.
TEST_F(EndOfWalk, AFailureAtAnyFileOperationLeavesEachTagOldOrNewAndIsSaid) {
  MakeFolder("M");
  Set("TagCreationDialog", "Confirmation", "0");
  Set("TagCreationDialog", "CreateID3v1", "1");
  Set("TagCreationDialog", "CreateID3v2", "1");
  Set("TagCreationDialog", "CB_Title", "1");
  Set("TagCreationDialog", "Edit_Title", "T");
  // roomy.mp3: both tags, the ID3v2 tag with room (written in place);
  // bare.mp3: no tag (rebuilt through a temporary copy).
  const auto makeFiles = [&] {
    for (const char* name : {"M\\roomy.mp3", "M\\bare.mp3", "M\\roomy.mp3~", "M\\bare.mp3~"})
      sys::DeleteFile(Path(name));
    WriteFile("M\\roomy.mp3", scenario::Mp3Audio());
    WriteFile("M\\bare.mp3", scenario::Mp3Audio());
    tags::ID3v1Tag v1;
    tags::ID3v2Tag v2;
    v1.SetTitle("Old");
    v2.SetTitle("Old");
    ASSERT_TRUE(v2.Save(Path("M\\roomy.mp3"), &v1));
  };
  const std::string script =
      "panel M select roomy.mp3 bare.mp3\ninvoke menu\nmenu choose 3\n"
      "dialog Id3TagCreation press \"OK\"\nexpect-end\n";
  const auto play = [&](int failAt) {
    std::vector<hostsim::Step> steps;
    std::string error;
    EXPECT_TRUE(hostsim::ParseScript(script, &steps, &error)) << error;
    driver_ = std::make_unique<WatchingDriver>(*host_, module_.get(), steps, dir_);
    driver_->answerAll = true;
    sys::FailFileOperationsFrom(failAt, 1);
    const bool played = Play("", driver_.get());
    const int operations = sys::FileOperationCount();
    sys::FailFileOperationsFrom(0);
    EXPECT_TRUE(played) << host_->failure() << output_;
    return operations;
  };
  Start();
  makeFiles();
  const int operations = play(1000000);
  ASSERT_GT(operations, 10);
  int notSavedWhole = 0;
  for (int failAt = 1; failAt <= operations; ++failAt) {
    SCOPED_TRACE("operation " + std::to_string(failAt) + " of " + std::to_string(operations));
    makeFiles();
    play(failAt);
    for (const char* name : {"roomy.mp3", "bare.mp3"}) {
      SCOPED_TRACE(name);
      const std::string path = Path(std::string("M\\") + name);
      const std::string bytes = ReadFile(std::string("M\\") + name).value_or("");
      ASSERT_GE(bytes.size(), scenario::Mp3Audio().size());
      tags::ID3v1Tag v1;
      tags::ID3v2Tag v2;
      ASSERT_TRUE(v1.Load(path) && v2.Load(path));
      const std::string before = name == std::string("roomy.mp3") ? "Old" : "";
      EXPECT_TRUE(v1.Title() == before || v1.Title() == "T") << v1.Title();
      EXPECT_TRUE(v2.Title() == before || v2.Title() == "T") << v2.Title();
      // The audio: what lies between the two tags.
      const size_t audioAt = bytes.compare(0, 3, "ID3") == 0
                                 ? bytes.size() - scenario::Mp3Audio().size() -
                                       (v1.Present() ? 128 : 0)
                                 : 0;
      EXPECT_EQ(bytes.substr(audioAt, scenario::Mp3Audio().size()), scenario::Mp3Audio());
      if (audioAt > 0) {  // and the tag's header says where it ends
        const auto size = [&](size_t i) { return static_cast<size_t>(bytes[i] & 0x7F); };
        EXPECT_EQ(10 + (size(6) << 21 | size(7) << 14 | size(8) << 7 | size(9)), audioAt);
      }
      if (v1.Title() == "T" && v2.Title() == "T") continue;
      ++notSavedWhole;
      bool said = false;
      for (const hostsim::MessageRequest& m : driver_->messages)
        for (const std::string& line : m.lines) said = said || line.find(name) != std::string::npos;
      EXPECT_TRUE(said) << "not saved whole, and nothing said";
    }
  }
  EXPECT_GT(notSavedWhole, 0) << "no failure kept a tag from being written";
}

}  // namespace

// What a walk does once for all its files: the processing pass goes through
// what the counting pass found instead of searching the folders again, and
// what the walk wrote is made durable when it ends, with a failure said like
// that of a write.
#include <functional>
#include <string>
#include <vector>

#include "plugin_scenario.h"
#include "tags/id3v2.h"

namespace {

using scenario::PluginScenario;

// Keeps every message shown and lets the test act when the screen changes
// (a progress box drawn or taken away).
class WatchingDriver : public hostsim::ScriptDriver {
 public:
  using ScriptDriver::ScriptDriver;
  std::function<void()> onScreenChanged;
  std::vector<hostsim::MessageRequest> messages;

  int Message(const hostsim::MessageRequest& message) override {
    messages.push_back(message);
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
  Set("TagToFileDialog", "Format", "music\\sub\\x%F%G");
  Start();
  ASSERT_TRUE(Play("panel . select music\n"
                   "invoke menu\n"
                   "menu choose 2\n"
                   "dialog Id3Filename press 9\n"
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
    int ok;
    const char* said;
  };
  const Case cases[] = {
      {"tag creation", 3, "Id3TagCreation", 39, "Cannot write the tags of the file"},
      {"file list", 1, "Id3Desc", 11, "Cannot add a line to the list file"},
  };
  Set("TagCreationDialog", "Confirmation", "0");
  Set("TagCreationDialog", "CreateID3v1", "0");
  Set("TagCreationDialog", "CreateID3v2", "1");
  Set("TagCreationDialog", "CB_Title", "1");
  Set("TagCreationDialog", "Edit_Title", "T");
  Set("FileListDialog", "Format", "%F");
  Set("FileListDialog", "FileListName", dir_ + "\\M\\%F.lst");
  Start();
  for (const Case& c : cases) {
    for (const bool goOn : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (goOn ? ", go on" : ", stop"));
      for (const char* name : {"M\\a.mp3", "M\\b.mp3"}) WriteFile(name, scenario::Mp3Audio());
      std::string script = "panel M select a.mp3 b.mp3\ninvoke menu\nmenu choose " +
                           std::to_string(c.mode) + "\ndialog " + c.dialog + " press " +
                           std::to_string(c.ok) + "\n";
      script += std::string("message expect \"") + c.said + "\" expect \"\\\\a.\" " +
                (goOn ? "button 0\n" : "button 1\n");
      if (goOn)
        script += std::string("message expect \"") + c.said + "\" expect \"\\\\b.\" button 0\n";
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
  EXPECT_EQ(ReadFile("M\\a.lst"), "a\r\na\r\n");
}

}  // namespace

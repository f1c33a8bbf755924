// Renaming: path parts split at the system's separators, the folder chain made for a new
// name, and moves that never replace a file and say why they failed.
// windows.h, which the support header includes, must come before sys.h.
#include "sys_test_support.h"
#include "batch/rename.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "far/plugin_api.h"
#include "sys/path.h"
#include "sys/sys.h"
#include "tagwright/messages.h"
#include "test_host.h"

namespace {

using systest::ReadWhole;
using systest::Sep;
using systest::TempFolder;
using systest::WriteWhole;

TEST(RenamePaths, FolderAndNameSplitAtTheLastSeparatorOfTheSystem) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  };
  // Windows: '\', '/' and the ':' of a drive.
  const Case windows[] = {
      {"C:\\Music\\take 1.mp3", "C:\\Music\\", "take 1.mp3"},
      {"/tmp/music\\a.mp3", "/tmp/music\\", "a.mp3"},
      {"/tmp/music/a.mp3", "/tmp/music/", "a.mp3"},
      {"C:a.mp3", "C:", "a.mp3"},
      {"a.mp3", "", "a.mp3"},
      {"C:\\Music\\", "C:\\Music\\", ""},
  };
  // POSIX: '/' alone; '\' and ':' belong to names.
  const Case posix[] = {
      {"/tmp/music/a.mp3", "/tmp/music/", "a.mp3"},
      {"/tmp/music/AC\\DC - Back.mp3", "/tmp/music/", "AC\\DC - Back.mp3"},
      {"/tmp/music/a:b.mp3", "/tmp/music/", "a:b.mp3"},
      {"music\\a.mp3", "", "music\\a.mp3"},
      {"/a.mp3", "/", "a.mp3"},
      {"/tmp/music/", "/tmp/music/", ""},
  };
  for (const Case& c : sys::kPathSeparator == '\\' ? std::span<const Case>(windows)
                                                   : std::span<const Case>(posix)) {
    EXPECT_EQ(sys::FolderPart(c.path), c.folder) << c.path;
    EXPECT_EQ(sys::NamePart(c.path), c.name) << c.path;
  }
}

class ForceFolders : public ::testing::Test {
 protected:
  TempFolder dir_;
};

TEST_F(ForceFolders, MissingFoldersBelowAnExistingOneAreMadeFromTheTopDown) {
  const std::string deep = dir_.path() + Sep("\\one\\two\\three\\");
  EXPECT_TRUE(batch::ForceFolders(deep));
  EXPECT_TRUE(sys::IsFolder(dir_.path() + Sep("\\one")));
  EXPECT_TRUE(sys::IsFolder(dir_.path() + Sep("\\one\\two\\three")));
  // Existing folders, with or without the trailing separator, are left as they are.
  EXPECT_TRUE(batch::ForceFolders(dir_.path() + Sep("\\one")));
  EXPECT_TRUE(batch::ForceFolders(deep));
}

TEST_F(ForceFolders, NothingToStartFromOrAFileInTheWayFails) {
  EXPECT_FALSE(batch::ForceFolders(""));
  // A relative chain whose first folder is missing has no existing folder to grow from.
  EXPECT_FALSE(batch::ForceFolders(Sep("tagwright-no-such-folder-0b7e\\inner\\")));
  EXPECT_FALSE(sys::Exists("tagwright-no-such-folder-0b7e"));
  ASSERT_TRUE(WriteWhole(dir_ / "file", "x"));
  EXPECT_FALSE(batch::ForceFolders(dir_.path() + Sep("\\file\\inner\\")));
  EXPECT_EQ(ReadWhole(dir_ / "file"), "x");
}

class RenameFile : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.SetMessage(MWarning, "Warning");
    host_.SetMessage(MCannotRename, "Cannot rename\n%s\nto\n%s");
    host_.SetMessage(MGoOn, "Go on?");
    source_ = dir_.path() + Sep("\\a.mp3");
    ASSERT_TRUE(WriteWhole(source_, "audio"));
  }

  testhost::TestHost host_;
  TempFolder dir_;
  std::string source_;
};

TEST_F(RenameFile, ANameWithoutFolderStaysInTheFileFolderWithIllegalCharactersReplaced) {
  // Windows: the separator of the other system is no folder here, and it and
  // the characters no Windows name holds become '_'. Linux: every character
  // but '/' is a name's, '\\' and ':' too.
  const bool windows = sys::kPathSeparator == '\\';
  const char* name = windows ? "AC/DC - What?*.mp3" : "AC\\DC: What?*.mp3";
  EXPECT_EQ(batch::RenameFile(source_, name), batch::RenameResult::Moved);
  const std::string expected = windows ? "\\AC_DC - What__.mp3" : "/AC\\DC: What?*.mp3";
  EXPECT_EQ(ReadWhole(dir_.path() + expected), "audio");
  EXPECT_FALSE(sys::Exists(source_));
  EXPECT_TRUE(host_.MessageCalls().empty());
}

// On Windows a '/' in a built name (a tag such as "AC/DC") is no folder: it
// neither ends the folder chain that is made nor the name that is moved to.
TEST_F(RenameFile, AForeignSeparatorInsideAFolderOfTheNameMakesNoFolder) {
  if (sys::kPathSeparator != '\\') GTEST_SKIP() << "'/' is the folder separator here";
  const std::string target = dir_.path() + "\\Sorted\\AC/DC\\x.mp3";
  EXPECT_EQ(batch::RenameFile(source_, target), batch::RenameResult::Moved);
  EXPECT_EQ(ReadWhole(dir_.path() + "\\Sorted\\AC_DC\\x.mp3"), "audio");
  EXPECT_FALSE(sys::Exists(dir_.path() + "\\Sorted\\AC"));
  EXPECT_TRUE(host_.MessageCalls().empty());
}

// The warning names both files, shows the system's reason (the error the
// move left, though fetching the texts changed it) and asks whether to go on.
TEST_F(RenameFile, ATakenNameIsNeverReplacedAndTheUserGoesOnOrStops) {
  const std::string taken = dir_.path() + Sep("\\b.mp3");
  ASSERT_TRUE(WriteWhole(taken, "other"));
  host_.SetGetMsgLastError(sys::kErrorSuccess);
  host_.QueueMessageAnswer(0);  // Yes: go on
  host_.QueueMessageAnswer(1);  // No: stop
  EXPECT_EQ(batch::RenameFile(source_, "b.mp3"), batch::RenameResult::Failed);
  EXPECT_EQ(batch::RenameFile(source_, "b.mp3"), batch::RenameResult::Stop);
  EXPECT_EQ(batch::RenameFile(source_, "b.mp3"), batch::RenameResult::Stop);  // Esc
  EXPECT_EQ(ReadWhole(source_), "audio");
  EXPECT_EQ(ReadWhole(taken), "other");
  ASSERT_EQ(host_.MessageCalls().size(), 3u);
  for (const testhost::MessageCall& call : host_.MessageCalls()) {
    EXPECT_EQ(call.flags, static_cast<DWORD>(FMSG_WARNING | FMSG_ERRORTYPE | FMSG_ALLINONE |
                                             FMSG_MB_YESNO));
    EXPECT_EQ(call.text, "Warning\nCannot rename\n" + source_ + "\nto\nb.mp3\nGo on?");
    EXPECT_EQ(call.lastError, sys::kErrorAlreadyExists);
  }
}

TEST_F(RenameFile, FailuresLeaveTheFileWhereItWas) {
  struct Case {
    const char* what;
    std::string newName;
  };
  const Case cases[] = {
      // An empty name means the file's own folder, which exists.
      {"empty name", ""},
      {"relative folder that does not exist", Sep("tagwright-no-such-folder-51c2\\x.mp3")},
      {"folder part through a file", dir_.path() + Sep("\\a.mp3\\x.mp3")},
  };
  for (const Case& c : cases) {
    sys::SetLastError(sys::kErrorSuccess);
    EXPECT_EQ(batch::RenameFile(source_, c.newName), batch::RenameResult::Stop) << c.what;
    EXPECT_EQ(ReadWhole(source_), "audio") << c.what;
    ASSERT_FALSE(host_.MessageCalls().empty());
    // Every failure has its reason, also the one found before any call failed.
    EXPECT_NE(host_.MessageCalls().back().lastError, sys::kErrorSuccess) << c.what;
  }
  EXPECT_EQ(host_.MessageCalls().size(), std::size(cases));
  EXPECT_FALSE(sys::Exists("tagwright-no-such-folder-51c2"));
}

}  // namespace

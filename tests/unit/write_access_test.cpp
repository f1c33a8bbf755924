// A tag write changes the file's content and nothing else about it: its
// read-only, hidden and system marks (on POSIX its mode bits) are back
// afterwards, also when the write failed and when the file was rebuilt under
// its name; with the configuration's option on, its times are back too.
#include "tag_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/xattr.h>
#endif

#include <functional>
#include <string>

#include "sys/sys.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/write_access.h"

namespace {

using namespace tagtest;
using tags::ID3v1Tag;
using tags::ID3v2Tag;

constexpr uint32_t kMarks = sys::kAttrReadOnly | sys::kAttrHidden | sys::kAttrSystem;

uint32_t Marks(const std::string& file) {
  uint32_t attributes = 0;
  EXPECT_TRUE(sys::GetAttributes(file, &attributes)) << file;
  return attributes & kMarks;
}

// Hidden and system live in an extended attribute on POSIX; without one only
// read-only (the mode bits) can be kept.
bool HiddenAndSystemAreKept(const std::string& file) {
#ifdef _WIN32
  (void)file;
  return true;
#else
  return setxattr(file.c_str(), "user.tagwright.probe", "1", 1, 0) == 0;
#endif
}

Bytes V1Block(const char* title) {
  ID3v1Tag tag;
  tag.SetTitle(title);
  const ID3v1Tag::Block block = tag.Render();
  return Bytes(block.begin(), block.end());
}

// One way of writing a file: what it holds before, and the write.
struct Write {
  const char* what;
  Bytes before;
  std::function<bool(const std::string&)> run;
};

std::vector<Write> Writes() {
  const Bytes audio = Audio(6000);
  const Bytes v2 = Tag(3, FrameV3("TIT2", Latin1("old")), 1000);
  auto v1Save = [](const std::string& file) {
    ID3v1Tag tag;
    tag.SetTitle("new");
    return tag.Save(file);
  };
  auto v2Save = [](const std::string& file) {
    ID3v2Tag tag;
    tag.SetTitle("new");
    return tag.Save(file);
  };
  return {
      {"ID3v1 appended", audio, v1Save},
      {"ID3v1 overwritten", Cat({audio, V1Block("old")}), v1Save},
      {"ID3v1 removed", Cat({audio, V1Block("old")}),
       [](const std::string& file) { return ID3v1Tag().Strip(file); }},
      {"ID3v2 written in place", Cat({v2, audio}), v2Save},
      {"ID3v2 rebuilt", audio, v2Save},
      {"ID3v2 removed", Cat({v2, audio}),
       [](const std::string& file) { return ID3v2Tag().Strip(file); }},
  };
}

class WriteAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = dir_.File("song.mp3");
    savedKeepTimes_ = tags::KeepFileTimes;
    tags::KeepFileTimes = false;
  }
  void TearDown() override {
    tags::KeepFileTimes = savedKeepTimes_;
    sys::FailFileOperationsFrom(0);
    sys::SetAttributes(file_, 0);  // so that the folder can be removed
  }

  // The file with `bytes` and `marks`; a file left marked by the last round
  // is made writable first.
  void Prepare(const Bytes& bytes, uint32_t marks) {
    ASSERT_TRUE(!sys::Exists(file_) || sys::SetAttributes(file_, 0));
    WriteAll(file_, bytes);
    ASSERT_TRUE(sys::SetAttributes(file_, marks));
    ASSERT_EQ(Marks(file_), marks);
  }

  ScratchDir dir_;
  std::string file_;
  bool savedKeepTimes_ = false;
};

TEST_F(WriteAccessTest, EveryKindOfWriteKeepsTheMarks) {
  WriteAll(file_, Audio(10));
  const bool all = HiddenAndSystemAreKept(file_);
  for (const uint32_t marks :
       {uint32_t{sys::kAttrReadOnly}, uint32_t{sys::kAttrHidden | sys::kAttrSystem}, kMarks, 0u}) {
    if (!all && (marks & ~uint32_t{sys::kAttrReadOnly}) != 0) continue;
    for (const Write& w : Writes()) {
      SCOPED_TRACE(testing::Message() << w.what << ", marks " << marks);
      Prepare(w.before, marks);
      ASSERT_TRUE(w.run(file_));
      EXPECT_EQ(Marks(file_), marks);
      ASSERT_TRUE(sys::SetAttributes(file_, 0));
      EXPECT_NE(ReadAll(file_), w.before);
    }
  }
}

#ifndef _WIN32
// On POSIX read-only is the mode bits: a read-only file keeps exactly its
// mode, and a writable one is not touched at all (a rebuilt file takes the
// mode of the file it replaces).
TEST_F(WriteAccessTest, ModeBitsAreKeptExactly) {
  for (const mode_t mode : {mode_t{0444}, mode_t{0440}, mode_t{0400}, mode_t{0640}, mode_t{0604}}) {
    for (const Write& w : Writes()) {
      SCOPED_TRACE(testing::Message() << w.what << ", mode 0" << std::oct << mode);
      Prepare(w.before, 0);
      ASSERT_EQ(chmod(file_.c_str(), mode), 0);
      ASSERT_TRUE(w.run(file_));
      struct stat st;
      ASSERT_EQ(stat(file_.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, mode);
    }
  }
}
#endif

// A write that fails at any one operation of the file layer leaves the file
// with its old content or its new one, says why, and puts the marks back;
// only a failure of that last step may leave them off, and then the save
// says it failed although the new content is in place.
TEST_F(WriteAccessTest, AFailureAtAnyOperationKeepsTheMarksAndIsSaid) {
  for (const Write& w : Writes()) {
    SCOPED_TRACE(w.what);
    Prepare(w.before, sys::kAttrReadOnly);
    ASSERT_TRUE(w.run(file_));
    ASSERT_TRUE(sys::SetAttributes(file_, 0));
    const Bytes after = ReadAll(file_);

    bool succeeded = false;
    for (int n = 1; n < 200 && !succeeded; ++n) {
      SCOPED_TRACE(testing::Message() << "operation " << n << " fails");
      Prepare(w.before, sys::kAttrReadOnly);
      sys::SetLastError(sys::kErrorSuccess);
      sys::FailFileOperationsFrom(n, 1);
      succeeded = w.run(file_);
      sys::FailFileOperationsFrom(0);
      const uint32_t error = sys::LastError();
      const uint32_t marks = Marks(file_);
      ASSERT_TRUE(sys::SetAttributes(file_, 0));
      const Bytes now = ReadAll(file_);
      EXPECT_TRUE(now == w.before || now == after);
      if (succeeded) {
        EXPECT_EQ(now, after);
        EXPECT_EQ(marks, uint32_t{sys::kAttrReadOnly});
      } else {
        EXPECT_NE(error, sys::kErrorSuccess);
        EXPECT_TRUE(marks == sys::kAttrReadOnly || now == after) << marks;
      }
      for (const std::string& name : dir_.Names()) EXPECT_EQ(name, "song.mp3");
    }
    EXPECT_TRUE(succeeded);
  }
}

TEST_F(WriteAccessTest, TimesAreKeptOnlyWhenAsked) {
  const sys::FileTimes old{{981173106, 123456700}, {981173107, 0}};  // 2001-02-03
  for (const bool keep : {true, false}) {
    tags::KeepFileTimes = keep;
    for (const Write& w : Writes()) {
      SCOPED_TRACE(testing::Message() << w.what << (keep ? ", times kept" : ", times not kept"));
      Prepare(w.before, sys::kAttrReadOnly);
      ASSERT_TRUE(sys::SetFileTimes(file_, old));
      ASSERT_TRUE(w.run(file_));
      sys::FileTimes now;
      ASSERT_TRUE(sys::GetFileTimes(file_, &now));
      // The access time goes back to what it was when the write began; the
      // save's own reading before that may have moved it already.
      if (keep) {
        EXPECT_EQ(now.modified, old.modified);
      } else {
        // Library scanners find changed tags by the new modification time.
        EXPECT_GT(now.modified.seconds, old.modified.seconds);
      }
      EXPECT_EQ(Marks(file_), uint32_t{sys::kAttrReadOnly});
    }
  }
}

TEST_F(WriteAccessTest, NoAccessToAFileThatIsNotThere) {
  {
    tags::WriteAccess access(dir_.File("missing.mp3"));
    EXPECT_FALSE(access.Granted());
    EXPECT_EQ(sys::LastError(), sys::kErrorFileNotFound);
    EXPECT_TRUE(access.Restore());  // nothing to put back
  }
  EXPECT_FALSE(sys::Exists(dir_.File("missing.mp3")));
  tags::WriteAccess folder(dir_.File(""));
  EXPECT_FALSE(folder.Granted());
  EXPECT_FALSE(ID3v1Tag().Save(dir_.File("missing.mp3")));
  EXPECT_FALSE(ID3v2Tag().Save(dir_.File("missing.mp3")));
  EXPECT_FALSE(sys::Exists(dir_.File("missing.mp3")));
}

}  // namespace

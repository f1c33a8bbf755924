// The system layer's part in fast and safe writes: what was written is made
// durable once, when the walk ends, through as few syncs as the files allow;
// a note follows its file through a rename; a failed sync names each file that
// may not have reached the disk. Also the copy of a range and the opening of
// a list for appending.
#include "sys_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

namespace {

using systest::ReadWhole;
using systest::TempFolder;
using systest::WriteWhole;

// Notes that earlier tests left (list appends, saves) would change the counts.
void ForgetEarlierNotes() { sys::SyncWritten(nullptr); }

std::vector<std::string> Sorted(std::vector<std::string> paths) {
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::vector<std::string> FailedPaths(const std::vector<sys::SyncFailure>& failures) {
  std::vector<std::string> paths;
  for (const sys::SyncFailure& failure : failures) {
    EXPECT_EQ(failure.error, sys::kErrorWriteFault) << failure.path;
    paths.push_back(failure.path);
  }
  return Sorted(paths);
}

// `count` files written and noted, spread over two folders.
std::vector<std::string> WrittenFiles(TempFolder& dir, int count) {
  sys::CreateFolder(dir / "one");
  sys::CreateFolder(dir / "two");
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    const std::string path = dir / ((i % 2 == 0 ? "one\\" : "two\\") + std::to_string(i) + ".mp3");
    EXPECT_TRUE(WriteWhole(path, "content " + std::to_string(i)));
    sys::NoteWritten(path);
    paths.push_back(path);
  }
  return paths;
}

// Counts the file operations of `work` without failing any.
template <typename Work>
int CountedOperations(Work work) {
  sys::FailFileOperationsFrom(1000000);
  work();
  const int count = sys::FileOperationCount();
  sys::FailFileOperationsFrom(0);
  return count;
}

TEST(SyncWritten, AFewFilesAreSyncedEachWithTheirFoldersThenForgotten) {
  ForgetEarlierNotes();
  TempFolder dir;
  const std::vector<std::string> written = WrittenFiles(dir, 3);
  sys::NoteWritten(written[0]);  // noted twice, synced once
  EXPECT_EQ(sys::PendingWrites(), 3u);
  std::vector<sys::SyncFailure> failures{{"left from before", 1}};
  bool synced = false;
  const int operations = CountedOperations([&] { synced = sys::SyncWritten(&failures); });
  EXPECT_TRUE(synced);
  EXPECT_TRUE(failures.empty());
  EXPECT_GT(operations, 0);
  EXPECT_LE(operations, 3 + 2);  // three files, two folders
  EXPECT_EQ(sys::PendingWrites(), 0u);

  // Nothing noted: nothing to do.
  EXPECT_EQ(CountedOperations([] { EXPECT_TRUE(sys::SyncWritten(nullptr)); }), 0);
}

#ifndef _WIN32
// A walk of many files waits for the disk once per file system, not once per
// file; when that sync fails, each file says for itself whether it is on the
// disk, and those that are count as synced.
TEST(SyncWritten, ManyFilesAreSyncedThroughTheirFileSystemAtOnce) {
  ForgetEarlierNotes();
  TempFolder dir;
  WrittenFiles(dir, 60);
  EXPECT_EQ(CountedOperations([] { EXPECT_TRUE(sys::SyncWritten(nullptr)); }), 1);

  WrittenFiles(dir, 60);
  sys::FailFileOperationsFrom(1, 1);
  std::vector<sys::SyncFailure> failures;
  EXPECT_TRUE(sys::SyncWritten(&failures));
  EXPECT_GT(sys::FileOperationCount(), 60);
  sys::FailFileOperationsFrom(0);
  EXPECT_TRUE(failures.empty());
}
#endif

TEST(SyncWritten, AFailedSyncNamesEachFileThatMayNotHaveReachedTheDisk) {
  for (const int count : {3, 60}) {  // one by one, and through the file system
    SCOPED_TRACE(count);
    ForgetEarlierNotes();
    TempFolder dir;
    const std::vector<std::string> written = WrittenFiles(dir, count);
    std::vector<sys::SyncFailure> failures;
    sys::FailFileOperationsFrom(1);
    EXPECT_FALSE(sys::SyncWritten(&failures));
    sys::FailFileOperationsFrom(0);
    EXPECT_EQ(FailedPaths(failures), Sorted(written));
    // Said once: the next walk does not report them again.
    EXPECT_EQ(sys::PendingWrites(), 0u);
  }
}

TEST(SyncWritten, ANoteFollowsItsFileThroughRenamesAndReplacements) {
  ForgetEarlierNotes();
  TempFolder dir;
  const std::string written = dir / "written.mp3";
  const std::string moved = dir / "moved.mp3";
  ASSERT_TRUE(WriteWhole(written, "new tag"));
  sys::NoteWritten(written);
  ASSERT_TRUE(sys::MoveFile(written, moved));

  // A rebuilt file is noted by the replacement itself; its copy is not.
  const std::string rebuilt = dir / "rebuilt.mp3";
  ASSERT_TRUE(WriteWhole(rebuilt, "old"));
  ASSERT_TRUE(WriteWhole(rebuilt + "~", "new"));
  sys::NoteWritten(rebuilt + "~");
  ASSERT_TRUE(sys::ReplaceFile(rebuilt + "~", rebuilt));

  // A deleted file has nothing left to sync.
  const std::string deleted = dir / "deleted.mp3";
  ASSERT_TRUE(WriteWhole(deleted, "gone"));
  sys::NoteWritten(deleted);
  ASSERT_TRUE(sys::DeleteFile(deleted));

  EXPECT_EQ(sys::PendingWrites(), 2u);
  std::vector<sys::SyncFailure> failures;
  sys::FailFileOperationsFrom(1);
  EXPECT_FALSE(sys::SyncWritten(&failures));
  sys::FailFileOperationsFrom(0);
  EXPECT_EQ(FailedPaths(failures), Sorted({moved, rebuilt}));

  // Nor does one that another program took away meanwhile.
  const std::string taken = dir / "taken.mp3";
  ASSERT_TRUE(WriteWhole(taken, "mine"));
  sys::NoteWritten(taken);
  std::filesystem::remove(sys::NativePath(taken));
  EXPECT_TRUE(sys::SyncWritten(&failures));
  EXPECT_TRUE(failures.empty());
}

// A save puts a file's read-only mark back before the walk ends; the sync
// still reaches the file, and leaves the mark as it found it.
TEST(SyncWritten, AReadOnlyFileIsSyncedAndStaysReadOnly) {
  ForgetEarlierNotes();
  TempFolder dir;
  const std::string path = dir / "read-only.mp3";
  ASSERT_TRUE(WriteWhole(path, "new tag"));
  sys::NoteWritten(path);
  ASSERT_TRUE(sys::SetAttributes(path, sys::kAttrReadOnly | sys::kAttrHidden));
  std::vector<sys::SyncFailure> failures;
  EXPECT_TRUE(sys::SyncWritten(&failures));
  EXPECT_TRUE(failures.empty());
  uint32_t attributes = 0;
  ASSERT_TRUE(sys::GetAttributes(path, &attributes));
  EXPECT_EQ(attributes & (sys::kAttrReadOnly | sys::kAttrHidden),
            uint32_t{sys::kAttrReadOnly | sys::kAttrHidden});
  ASSERT_TRUE(sys::SetAttributes(path, 0));
  EXPECT_EQ(ReadWhole(path), "new tag");
}

// The copy of a rebuilt file's audio: from one position to another, beyond
// the size of any buffer, and never past the end of the source.
TEST(CopyRange, CopiesFromPositionToPositionAndMovesBoth) {
  TempFolder dir;
  const std::string source = dir / "source.bin";
  const std::string target = dir / "target.bin";
  std::string bytes(sys::kCopyBufferSize * 2 + 12345, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
  ASSERT_TRUE(WriteWhole(source, bytes));

  sys::File from, to;
  ASSERT_TRUE(from.Open(source, sys::OpenMode::Read));
  ASSERT_TRUE(to.Open(target, sys::OpenMode::CreateNew));
  ASSERT_TRUE(from.Seek(1000) && to.Write("HEAD", 4));
  const int64_t count = static_cast<int64_t>(bytes.size()) - 1000 - 10;
  ASSERT_TRUE(sys::CopyRange(from, to, count));
  int64_t at = 0;
  ASSERT_TRUE(from.Tell(&at));
  EXPECT_EQ(at, 1000 + count);
  ASSERT_TRUE(to.Tell(&at));
  EXPECT_EQ(at, 4 + count);
  ASSERT_TRUE(to.Write("TAIL", 4));

  // Asked for more than is left: the end of the file is said.
  EXPECT_FALSE(sys::CopyRange(from, to, 11));
  EXPECT_EQ(sys::LastError(), sys::kErrorHandleEof);
  EXPECT_EQ(CountedOperations([&] { sys::CopyRange(from, to, 0); }), 1);
  ASSERT_TRUE(from.Close() && to.Close());
  const std::string copied = ReadWhole(target).value_or("");
  ASSERT_GE(copied.size(), 8 + static_cast<size_t>(count));
  EXPECT_TRUE(copied.substr(0, 4) == "HEAD" &&
              copied.substr(4, static_cast<size_t>(count)) == bytes.substr(1000, count) &&
              copied.substr(4 + static_cast<size_t>(count), 4) == "TAIL");
}

#ifndef _WIN32
// Between two file systems the kernel may refuse the copy; the buffer then
// copies the rest from where the kernel stopped.
TEST(CopyRange, BetweenFileSystemsTheBufferDoesTheCopy) {
  TempFolder dir;
  const std::string other = "/dev/shm/tagwright-copy-" + std::to_string(systest::ProcessId());
  struct stat here, there;
  if (stat("/dev/shm", &there) != 0 || stat(sys::NativePath(dir.path()).c_str(), &here) != 0 ||
      here.st_dev == there.st_dev)
    GTEST_SKIP() << "no second file system at hand";
  std::string bytes(sys::kCopyBufferSize + 777, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 253);
  ASSERT_TRUE(WriteWhole(other, bytes));
  sys::File from, to;
  ASSERT_TRUE(from.Open(other, sys::OpenMode::Read));
  ASSERT_TRUE(to.Open(dir / "copy.bin", sys::OpenMode::CreateNew));
  const bool copied = from.Seek(5) && sys::CopyRange(from, to, static_cast<int64_t>(bytes.size()) - 5);
  from.Close();
  to.Close();
  std::filesystem::remove(other);
  ASSERT_TRUE(copied);
  EXPECT_TRUE(ReadWhole(dir / "copy.bin") == bytes.substr(5));
}

// A rebuilt copy gets the owner and mode of the file it replaces before it
// is flushed, so that it is never open to others, not even for a moment.
TEST(TakeOwnerAndModeOf, APrivateFileStaysPrivate) {
  TempFolder dir;
  const std::string original = dir / "private.mp3";
  ASSERT_TRUE(WriteWhole(original, "old"));
  ASSERT_EQ(chmod(sys::NativePath(original).c_str(), 0600), 0);
  sys::File copy;
  ASSERT_TRUE(copy.Open(original + "~", sys::OpenMode::CreateNew));
  ASSERT_TRUE(copy.TakeOwnerAndModeOf(original));
  struct stat st;
  ASSERT_EQ(stat(sys::NativePath(original + "~").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_FALSE(copy.TakeOwnerAndModeOf(dir / "missing.mp3"));
  EXPECT_EQ(sys::LastError(), sys::kErrorFileNotFound);
}
#endif

TEST(OpenAlways, OpensWhatIsThereWithItsSizeOrCreatesButNeverTruncates) {
  TempFolder dir;
  const std::string list = dir / "list.txt";
  sys::File file;
  int64_t size = -1;
  ASSERT_TRUE(file.Open(list, sys::OpenMode::OpenAlways, &size));
  EXPECT_EQ(size, 0);
  ASSERT_TRUE(file.Write("abc", 3) && file.Close());
  ASSERT_TRUE(file.Open(list, sys::OpenMode::OpenAlways, &size));
  EXPECT_EQ(size, 3);
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadWhole(list), "abc");

  EXPECT_FALSE(file.Open(dir.path(), sys::OpenMode::OpenAlways));
  EXPECT_EQ(sys::LastError(), sys::kErrorAccessDenied);
  EXPECT_FALSE(file.Open(dir / systest::Sep("missing\\list.txt"), sys::OpenMode::OpenAlways));
  EXPECT_EQ(sys::LastError(), sys::kErrorPathNotFound);

  if (!systest::ReadOnlyIsEnforced(dir.path())) GTEST_SKIP() << "read-only files are writable here";
  ASSERT_TRUE(sys::SetAttributes(list, sys::kAttrReadOnly));
  for (const sys::OpenMode mode :
       {sys::OpenMode::OpenAlways, sys::OpenMode::ReadWrite, sys::OpenMode::Append}) {
    EXPECT_FALSE(file.Open(list, mode));
    EXPECT_EQ(sys::LastError(), sys::kErrorAccessDenied);
  }
  ASSERT_TRUE(sys::SetAttributes(list, 0));
  EXPECT_EQ(ReadWhole(list), "abc");
}

TEST(Append, WritesAtTheEndWhateverAnotherWriterAddedAndCanTakeItsWriteBack) {
  TempFolder dir;
  const std::string list = dir / "list.txt";
  const auto otherAppends = [&](const char* line) {
    sys::File other;
    int64_t end = 0;
    ASSERT_TRUE(other.Open(list, sys::OpenMode::OpenAlways, &end));
    ASSERT_TRUE(other.Seek(end) && other.Write(line, std::strlen(line)) && other.Close());
  };
  sys::File ours;
  int64_t size = -1;
  ASSERT_TRUE(ours.Open(list, sys::OpenMode::Append, &size));  // created
  EXPECT_EQ(size, 0);
  ASSERT_TRUE(ours.Write("one\r\n", 5) && ours.Close());
  otherAppends("two\r\n");  // another program between two lines
  ASSERT_TRUE(ours.Open(list, sys::OpenMode::Append, &size));
  EXPECT_EQ(size, 10);
  ASSERT_TRUE(ours.Write("three\r\n", 7));
#ifndef _WIN32
  // POSIX lets another program write while the list is open: each write
  // still goes to the end. (Windows keeps other writers out meanwhile.)
  otherAppends("four\r\n");
  ASSERT_TRUE(ours.Write("five\r\n", 6));
  const std::string expected = "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n";
#else
  const std::string expected = "one\r\ntwo\r\nthree\r\n";
#endif
  ASSERT_TRUE(ours.Close());
  EXPECT_EQ(ReadWhole(list), expected);

  // A line taken back: the file ends where it ended when it was opened.
  ASSERT_TRUE(ours.Open(list, sys::OpenMode::Append, &size));
  EXPECT_EQ(size, static_cast<int64_t>(expected.size()));
  ASSERT_TRUE(ours.Write("half", 4));
  ASSERT_TRUE(ours.Seek(size) && ours.Truncate() && ours.Close());
  EXPECT_EQ(ReadWhole(list), expected);

  EXPECT_FALSE(ours.Open(dir.path(), sys::OpenMode::Append));
  EXPECT_EQ(sys::LastError(), sys::kErrorAccessDenied);
}

}  // namespace

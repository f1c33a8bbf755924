// The system layer's files: 64-bit positions, atomic replacement, names that
// are never taken over, Windows error codes, OEM names, fault injection.
#include "sys_test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#endif

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using systest::ReadWhole;
using systest::TempFolder;
using systest::WriteWhole;

TEST(SysFiles, FileAbove4GiBIsMeasuredAndPositioned) {
  TempFolder dir;
  const std::string path = dir / "sparse.bin";
  // Low and high 32-bit halves both non-zero, so a position cut to 32 bits shows.
  const int64_t beyond = (int64_t{5} << 30) + 0x1234;
  sys::File file;
  ASSERT_TRUE(file.Open(path, sys::OpenMode::CreateNew));
  if (!file.Seek(beyond) || !file.Write("END", 3)) GTEST_SKIP() << "no sparse file above 4 GiB here";
  int64_t size = 0;
  ASSERT_TRUE(file.Size(&size));
  EXPECT_EQ(size, beyond + 3);

  ASSERT_TRUE(file.SeekFromEnd(-3));
  int64_t at = 0;
  ASSERT_TRUE(file.Tell(&at));
  EXPECT_EQ(at, beyond);
  char got[3] = {};
  ASSERT_TRUE(file.ReadExact(got, 3));
  EXPECT_EQ(std::string(got, 3), "END");
  size_t n = 0;
  ASSERT_TRUE(file.Seek(0));
  ASSERT_TRUE(file.ReadAt(beyond, got, 3, &n));
  EXPECT_EQ(std::string(got, n), "END");

  ASSERT_TRUE(file.Seek(beyond - 2));
  ASSERT_TRUE(file.Truncate());
  ASSERT_TRUE(file.Size(&size));
  EXPECT_EQ(size, beyond - 2);
  ASSERT_TRUE(file.Close());
}

TEST(SysFiles, ReadStopsAtTheEndAndReadExactFailsThere) {
  TempFolder dir;
  const std::string path = dir / "short.bin";
  ASSERT_TRUE(WriteWhole(path, "0123456789"));
  sys::File file;
  ASSERT_TRUE(file.Open(path, sys::OpenMode::Read));
  ASSERT_TRUE(file.Seek(6));
  char buffer[16];
  size_t got = 99;
  ASSERT_TRUE(file.Read(buffer, sizeof buffer, &got));
  EXPECT_EQ(std::string(buffer, got), "6789");
  ASSERT_TRUE(file.Read(buffer, sizeof buffer, &got));
  EXPECT_EQ(got, 0u);

  ASSERT_TRUE(file.Seek(8));
  EXPECT_FALSE(file.ReadExact(buffer, 3));
  EXPECT_EQ(sys::LastError(), sys::kErrorHandleEof);
  // A file opened for reading cannot be written.
  EXPECT_FALSE(file.Write("x", 1));
}

TEST(SysFiles, ReadAtReadsAtItsPositionWhateverTheCurrentOne) {
  TempFolder dir;
  const std::string path = dir / "short.bin";
  ASSERT_TRUE(WriteWhole(path, "0123456789"));
  sys::File file;
  int64_t size = 0;
  ASSERT_TRUE(file.Open(path, sys::OpenMode::Read, &size));
  EXPECT_EQ(size, 10);
  struct Case {
    int64_t at;
    size_t count;
    const char* expected;
  };
  const Case cases[] = {{3, 4, "3456"}, {0, 2, "01"}, {7, 16, "789"}, {10, 4, ""}, {12, 4, ""}};
  char buffer[16];
  for (const Case& c : cases) {
    ASSERT_TRUE(file.Seek(5));
    size_t got = 99;
    ASSERT_TRUE(file.ReadAt(c.at, buffer, c.count, &got)) << c.at;
    EXPECT_EQ(std::string(buffer, got), c.expected) << c.at;
  }
  EXPECT_FALSE(file.ReadAt(-1, buffer, 1, nullptr));
  // The exact form: all the bytes asked for, or the end of the file is said.
  ASSERT_TRUE(file.Seek(9));
  ASSERT_TRUE(file.ReadExactAt(2, buffer, 5));
  EXPECT_EQ(std::string(buffer, 5), "23456");
  EXPECT_FALSE(file.ReadExactAt(7, buffer, 4));
  EXPECT_EQ(sys::LastError(), sys::kErrorHandleEof);
  // Counted by the fault injection like any read.
  sys::FailFileOperationsFrom(1);
  size_t got = 99;
  EXPECT_FALSE(file.ReadAt(0, buffer, 1, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(sys::LastError(), sys::kErrorWriteFault);
  sys::FailFileOperationsFrom(0);
  // The size comes with the opening; a folder is still refused.
  sys::File folder;
  EXPECT_FALSE(folder.Open(dir.path(), sys::OpenMode::Read, &size));
  EXPECT_EQ(sys::LastError(), sys::kErrorAccessDenied);
}

TEST(SysFiles, ReplaceFilePutsTheNewFileInPlace) {
  TempFolder dir;
  const std::string target = dir / "song.mp3";
  const std::string temporary = dir / "song.mp3~";
  ASSERT_TRUE(WriteWhole(target, "old content"));
  ASSERT_TRUE(WriteWhole(temporary, "new"));
  ASSERT_TRUE(sys::ReplaceFile(temporary, target));
  EXPECT_EQ(ReadWhole(target), "new");
  EXPECT_FALSE(sys::Exists(temporary));

  // Onto a name that is free it is a plain rename.
  const std::string fresh = dir / "fresh.mp3";
  ASSERT_TRUE(WriteWhole(temporary, "again"));
  ASSERT_TRUE(sys::ReplaceFile(temporary, fresh));
  EXPECT_EQ(ReadWhole(fresh), "again");

  // A read-only file is not replaced, and both files stay as they were.
  if (!systest::ReadOnlyIsEnforced(dir.path())) GTEST_SKIP() << "read-only files are writable here";
  ASSERT_TRUE(WriteWhole(temporary, "newer"));
  ASSERT_TRUE(sys::SetAttributes(target, sys::kAttrReadOnly));
  EXPECT_FALSE(sys::ReplaceFile(temporary, target));
  EXPECT_EQ(sys::LastError(), sys::kErrorAccessDenied);
  EXPECT_EQ(ReadWhole(target), "new");
  EXPECT_EQ(ReadWhole(temporary), "newer");
  ASSERT_TRUE(sys::SetAttributes(target, 0));
}

#ifndef _WIN32
// A tag save rebuilds the file under a temporary name; the result must not be
// readable by others when the original was private.
TEST(SysFiles, ReplaceFileKeepsThePermissionsOfTheReplacedFile) {
  TempFolder dir;
  const std::string target = dir / "private.mp3";
  const std::string temporary = dir / "private.mp3~";
  ASSERT_TRUE(WriteWhole(target, "old"));
  ASSERT_EQ(chmod(sys::NativePath(target).c_str(), 0640), 0);
  ASSERT_TRUE(WriteWhole(temporary, "new"));
  ASSERT_EQ(chmod(sys::NativePath(temporary).c_str(), 0666), 0);
  ASSERT_TRUE(sys::ReplaceFile(temporary, target));
  struct stat st;
  ASSERT_EQ(stat(sys::NativePath(target).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadWhole(target), "new");
}

// Refuses statx with ENOSYS for the rest of the process, as an old kernel or a
// container's system call filter does. False where no filter can be set.
bool WithoutStatx() {
#if defined(SYS_statx) && defined(SECCOMP_MODE_FILTER)
  struct sock_filter code[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_statx, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  struct sock_fprog program = {static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
#else
  return false;
#endif
}

// Opening learns a file's type, mode and size where the system has no statx:
// the size is right, and a folder or a read-only file is still refused for
// writing.
TEST(SysFiles, OpenWorksWhereTheSystemHasNoStatx) {
  TempFolder dir;
  const std::string path = dir / "song.mp3";
  const std::string locked = dir / "locked.mp3";
  ASSERT_TRUE(WriteWhole(path, "twelve bytes"));
  ASSERT_TRUE(WriteWhole(locked, "x"));
  ASSERT_TRUE(sys::SetAttributes(locked, sys::kAttrReadOnly));
  // In a child process: the filter cannot be taken off again.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!WithoutStatx()) std::_Exit(3);
    struct statx st;
    if (syscall(SYS_statx, AT_FDCWD, ".", 0, STATX_SIZE, &st) == 0 || errno != ENOSYS) std::_Exit(4);
    sys::File file;
    int64_t size = 0;
    if (!file.Open(path, sys::OpenMode::ReadWrite, &size) || size != 12) std::_Exit(5);
    sys::File other;
    if (other.Open(locked, sys::OpenMode::ReadWrite) || sys::LastError() != sys::kErrorAccessDenied) std::_Exit(6);
    if (other.Open(dir.path(), sys::OpenMode::Read) || sys::LastError() != sys::kErrorAccessDenied) std::_Exit(7);
    std::_Exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(sys::SetAttributes(locked, 0));
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "no system call filter can be set here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "5: open or size, 6: read-only file, 7: folder";
}
#endif

TEST(SysFiles, MoveFileNeverTakesAnExistingName) {
  TempFolder dir;
  const std::string a = dir / "a.mp3";
  const std::string b = dir / "b.mp3";
  ASSERT_TRUE(WriteWhole(a, "first"));
  ASSERT_TRUE(WriteWhole(b, "second"));
  EXPECT_FALSE(sys::MoveFile(a, b));
  EXPECT_EQ(sys::LastError(), sys::kErrorAlreadyExists);
  EXPECT_EQ(ReadWhole(a), "first");
  EXPECT_EQ(ReadWhole(b), "second");
  // Its own name is not taken by another file: nothing happens, and that is a success.
  EXPECT_TRUE(sys::MoveFile(b, b));
  EXPECT_EQ(ReadWhole(b), "second");

  // Into another folder under a free name, and a folder itself.
  const std::string sub = dir / "sub";
  ASSERT_TRUE(sys::CreateFolder(sub));
  const std::string moved = sub + (dir.path().find('\\') != std::string::npos ? "\\" : "/") + "c.mp3";
  ASSERT_TRUE(sys::MoveFile(a, moved));
  EXPECT_FALSE(sys::Exists(a));
  EXPECT_EQ(ReadWhole(moved), "first");
  ASSERT_TRUE(sys::MoveFile(sub, dir / "renamed"));
  EXPECT_TRUE(sys::IsFolder(dir / "renamed"));
  // A folder does not take a file's name either.
  EXPECT_FALSE(sys::MoveFile(dir / "renamed", b));
  EXPECT_EQ(ReadWhole(b), "second");
}

// Each failure gives the code that Windows gives for it; the same table runs
// under Wine against the real functions.
TEST(SysFiles, FailuresGiveWindowsErrorCodes) {
  TempFolder dir;
  const std::string file = dir / "present.txt";
  const std::string readOnly = dir / "readonly.txt";
  const std::string folder = dir / "folder";
  const std::string missingFolder = dir / "nowhere";
  const std::string inMissing = missingFolder + (dir.path().find('\\') != std::string::npos ? "\\" : "/") + "x.txt";
  ASSERT_TRUE(WriteWhole(file, "x"));
  ASSERT_TRUE(WriteWhole(readOnly, "keep"));
  ASSERT_TRUE(sys::SetAttributes(readOnly, sys::kAttrReadOnly));
  ASSERT_TRUE(sys::CreateFolder(folder));
  const bool readOnlyEnforced = systest::ReadOnlyIsEnforced(dir.path());
  sys::File f;
  const struct {
    const char* what;
    std::function<bool()> call;
    uint32_t error;
    bool needsReadOnly = false;
  } cases[] = {
      {"open a missing file", [&] { return f.Open(dir / "missing.txt", sys::OpenMode::Read); },
       sys::kErrorFileNotFound},
      {"open in a missing folder", [&] { return f.Open(inMissing, sys::OpenMode::Read); },
       sys::kErrorPathNotFound},
      {"create a taken name", [&] { return f.Open(file, sys::OpenMode::CreateNew); },
       sys::kErrorFileExists},
      {"write a read-only file", [&] { return f.Open(readOnly, sys::OpenMode::ReadWrite); },
       sys::kErrorAccessDenied, true},
      {"recreate a read-only file", [&] { return f.Open(readOnly, sys::OpenMode::CreateAlways); },
       sys::kErrorAccessDenied, true},
      {"open a folder", [&] { return f.Open(folder, sys::OpenMode::Read); }, sys::kErrorAccessDenied},
      {"delete a read-only file", [&] { return sys::DeleteFile(readOnly); }, sys::kErrorAccessDenied,
       true},
      {"delete a folder as a file", [&] { return sys::DeleteFile(folder); }, sys::kErrorAccessDenied},
      {"delete a missing file", [&] { return sys::DeleteFile(dir / "missing.txt"); },
       sys::kErrorFileNotFound},
      {"make a folder that exists", [&] { return sys::CreateFolder(folder); },
       sys::kErrorAlreadyExists},
      {"make a folder in a missing one", [&] { return sys::CreateFolder(inMissing); },
       sys::kErrorPathNotFound},
      {"move a missing file", [&] { return sys::MoveFile(dir / "missing.txt", dir / "y.txt"); },
       sys::kErrorFileNotFound},
      {"move into a missing folder", [&] { return sys::MoveFile(file, inMissing); },
       sys::kErrorPathNotFound},
      {"attributes of a missing file", [&] { return sys::GetAttributes(dir / "missing.txt", nullptr); },
       sys::kErrorFileNotFound},
  };
  for (const auto& c : cases) {
    if (c.needsReadOnly && !readOnlyEnforced) continue;
    sys::SetLastError(0);
    EXPECT_FALSE(c.call()) << c.what;
    EXPECT_EQ(sys::LastError(), c.error) << c.what;
    EXPECT_FALSE(sys::ErrorText(sys::LastError()).empty()) << c.what;
  }
  if (readOnlyEnforced) {
    EXPECT_EQ(ReadWhole(readOnly), "keep");
  }
  EXPECT_TRUE(sys::Exists(file));
  ASSERT_TRUE(sys::SetAttributes(readOnly, 0));
}

TEST(SysFiles, AttributesReadOnlyAndFolder) {
  TempFolder dir;
  const std::string path = dir / "a.mp3";
  ASSERT_TRUE(WriteWhole(path, "x"));
  uint32_t attributes = 0;
  ASSERT_TRUE(sys::SetAttributes(path, sys::kAttrReadOnly));
  ASSERT_TRUE(sys::GetAttributes(path, &attributes));
  EXPECT_TRUE(attributes & sys::kAttrReadOnly);
  EXPECT_FALSE(attributes & sys::kAttrDirectory);

  // No bits at all: a plain file that can be written again.
  ASSERT_TRUE(sys::SetAttributes(path, 0));
  ASSERT_TRUE(sys::GetAttributes(path, &attributes));
  EXPECT_FALSE(attributes & sys::kAttrReadOnly);
  sys::File file;
  EXPECT_TRUE(file.Open(path, sys::OpenMode::ReadWrite));

  ASSERT_TRUE(sys::GetAttributes(dir.path(), &attributes));
  EXPECT_TRUE(attributes & sys::kAttrDirectory);
  EXPECT_TRUE(sys::IsFolder(dir.path()));
  EXPECT_FALSE(sys::IsFolder(path));
}

TEST(SysFiles, HiddenAndSystemMarksAreKeptWhereTheFileSystemCan) {
  TempFolder dir;
  const std::string path = dir / "marked.mp3";
  ASSERT_TRUE(WriteWhole(path, "x"));
#ifndef _WIN32
  if (setxattr(sys::NativePath(path).c_str(), "user.tagwright.probe", "1", 1, 0) != 0)
    GTEST_SKIP() << "no extended attributes on this file system";
#endif
  uint32_t attributes = 0;
  ASSERT_TRUE(sys::SetAttributes(path, sys::kAttrHidden | sys::kAttrSystem | sys::kAttrReadOnly));
  ASSERT_TRUE(sys::GetAttributes(path, &attributes));
  EXPECT_EQ(attributes & (sys::kAttrHidden | sys::kAttrSystem | sys::kAttrReadOnly),
            uint32_t{sys::kAttrHidden | sys::kAttrSystem | sys::kAttrReadOnly});
  ASSERT_TRUE(sys::SetAttributes(path, 0));
  ASSERT_TRUE(sys::GetAttributes(path, &attributes));
  EXPECT_EQ(attributes & (sys::kAttrHidden | sys::kAttrSystem | sys::kAttrReadOnly), 0u);
}

// A Cyrillic name in OEM bytes (code page 866) names the file that the file
// system knows by the same characters.
TEST(SysFiles, OemNameReachesTheFileSystemAsItsCharacters) {
#ifdef _WIN32
  if (sys::OemCodePage() != 866) GTEST_SKIP() << "OEM code page is not 866";
  const BOOL wasAnsi = AreFileApisANSI();
  SetFileApisToOEM();  // as the host does
#else
  systest::ScopedEnv pages("TAGWRIGHT_CODEPAGES", "866:1251");
#endif
  TempFolder dir;
  const std::string oemName = "\x8F\xE0\xA8\xA2\xA5\xE2.txt";  // "Привет.txt"
  ASSERT_TRUE(sys::CreateFolder(dir / "\x8F\xA0\xAF\xAA\xA0"));  // "Папка"
  const std::string path = dir.path() + systest::Sep("\\\x8F\xA0\xAF\xAA\xA0\\") + oemName;
  ASSERT_TRUE(WriteWhole(path, "hello"));
  EXPECT_EQ(ReadWhole(path), "hello");
#ifdef _WIN32
  std::wstring wide(dir.path().begin(), dir.path().end());
  wide += L"\\\u041F\u0430\u043F\u043A\u0430\\\u041F\u0440\u0438\u0432\u0435\u0442.txt";
  EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  sys::DeleteFile(path);
  if (wasAnsi) SetFileApisToANSI();
#else
  const std::string utf8 = dir.path() + "/Папка/Привет.txt";
  struct stat st;
  EXPECT_EQ(stat(utf8.c_str(), &st), 0);
  EXPECT_EQ(sys::NativePath(path), utf8);
  EXPECT_EQ(sys::HostNameFromNative("Привет.txt"), oemName);
  // Characters that 866 lacks, and bytes that are not UTF-8, become '?'.
  EXPECT_EQ(sys::HostNameFromNative("€ é \xFF."), "? ? ?.");
#endif
}

TEST(SysFiles, FaultInjectionFailsTheNthOperationAndAllAfter) {
  TempFolder dir;
  const std::string path = dir / "victim.bin";
  sys::FailFileOperationsFrom(3);
  sys::File file;
  EXPECT_TRUE(file.Open(path, sys::OpenMode::CreateNew));  // 1
  EXPECT_TRUE(file.Write("ab", 2));                         // 2
  int64_t at = 0;
  EXPECT_TRUE(file.Tell(&at));  // not counted
  EXPECT_TRUE(sys::Exists(path));
  EXPECT_FALSE(file.Write("cd", 2));  // 3
  EXPECT_EQ(sys::LastError(), sys::kErrorWriteFault);
  EXPECT_FALSE(file.Flush());  // 4
  EXPECT_FALSE(file.Close());  // 5: fails, yet lets go of the file
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(sys::DeleteFile(path));  // 6
  EXPECT_EQ(sys::FileOperationCount(), 6);

  sys::FailFileOperationsFrom(0);
  EXPECT_EQ(sys::FileOperationCount(), 0);
  EXPECT_EQ(ReadWhole(path), "ab");
  EXPECT_TRUE(sys::DeleteFile(path));  // would fail on Windows had the handle stayed open
  EXPECT_GT(sys::FileOperationCount(), 0);
}

TEST(SysFiles, FaultInjectionCanFailASingleOperation) {
  TempFolder dir;
  const std::string path = dir / "victim.bin";
  sys::FailFileOperationsFrom(2, 1);
  sys::File file;
  EXPECT_TRUE(file.Open(path, sys::OpenMode::CreateNew));  // 1
  EXPECT_FALSE(file.Write("ab", 2));                        // 2
  EXPECT_TRUE(file.Write("cd", 2));                         // 3
  EXPECT_TRUE(file.Close());                                // 4
  sys::FailFileOperationsFrom(0);
  EXPECT_EQ(ReadWhole(path), "cd");
}

// Times go back exactly as they were read, to the 100 ns that Windows keeps,
// also on a read-only file (a save puts them back after the marks).
TEST(SysFiles, FileTimesAreReadAndSetAgain) {
  TempFolder dir;
  const std::string path = dir / "timed.mp3";
  ASSERT_TRUE(WriteWhole(path, "x"));
  const sys::FileTimes old{{981173106, 123456700}, {981173107, 500}};  // 2001-02-03
  ASSERT_TRUE(sys::SetFileTimes(path, old));
  sys::FileTimes read;
  ASSERT_TRUE(sys::GetFileTimes(path, &read));
  EXPECT_EQ(read.modified, old.modified);
  EXPECT_EQ(read.accessed, old.accessed);

  ASSERT_TRUE(sys::SetAttributes(path, sys::kAttrReadOnly));
  const sys::FileTimes later{{1500000000, 0}, {1500000001, 0}};
  EXPECT_TRUE(sys::SetFileTimes(path, later));
  ASSERT_TRUE(sys::GetFileTimes(path, &read));
  EXPECT_EQ(read, later);
  ASSERT_TRUE(sys::SetAttributes(path, 0));

  EXPECT_FALSE(sys::GetFileTimes(dir / "missing", &read));
  EXPECT_EQ(sys::LastError(), sys::kErrorFileNotFound);
  EXPECT_FALSE(sys::SetFileTimes(dir / "missing", later));
}

TEST(SysFiles, AFolderCanBeListedUnlessItIsMissingOrAFile) {
  TempFolder dir;
  EXPECT_TRUE(sys::CanListFolder(dir.path()));
  ASSERT_TRUE(sys::CreateFolder(dir / "empty"));
  EXPECT_TRUE(sys::CanListFolder(dir / "empty"));
  EXPECT_TRUE(sys::CanListFolder(dir.path() + sys::kPathSeparator));
  EXPECT_FALSE(sys::CanListFolder(dir / "missing"));
  EXPECT_EQ(sys::LastError(), sys::kErrorPathNotFound);
  ASSERT_TRUE(WriteWhole(dir / "file", "x"));
  EXPECT_FALSE(sys::CanListFolder(dir / "file"));
  EXPECT_NE(sys::LastError(), sys::kErrorSuccess);
  sys::FailFileOperationsFrom(1);
  EXPECT_FALSE(sys::CanListFolder(dir.path()));
  sys::FailFileOperationsFrom(0);
}

}  // namespace

#ifndef _WIN32
namespace {
// The host program and the plug-in module each link this layer; the error the
// module leaves must be the one the host reads (FMSG_ERRORTYPE), as on
// Windows. The slot is published for the other copies in this process.
TEST(SysErrors, LastErrorSlotIsSharedWithOtherCopiesInTheProcess) {
  sys::SetLastError(sys::kErrorAccessDenied);
  const char* published = std::getenv("TAGWRIGHT_SYS_LAST_ERROR_SLOT");
  ASSERT_NE(published, nullptr);
  long long pid = 0;
  unsigned long long address = 0;
  ASSERT_EQ(std::sscanf(published, "%lld:%llx", &pid, &address), 2);
  EXPECT_EQ(pid, static_cast<long long>(getpid()));
  auto* slot = reinterpret_cast<uint32_t*>(static_cast<uintptr_t>(address));
  EXPECT_EQ(*slot, sys::kErrorAccessDenied);
  *slot = sys::kErrorFileNotFound;  // as another copy would set it
  EXPECT_EQ(sys::LastError(), sys::kErrorFileNotFound);
}

// '/' alone separates folders: a '\' or a ':' is a character of the name.
TEST(SysFiles, ABackslashAndAColonAreCharactersOfAName) {
  TempFolder dir;
  const std::string path = dir / "AC\\DC - Back:1.mp3";
  ASSERT_TRUE(WriteWhole(path, "audio"));
  EXPECT_EQ(ReadWhole(path), "audio");
  struct stat st;
  EXPECT_EQ(stat((dir.path() + "/AC\\DC - Back:1.mp3").c_str(), &st), 0);
  EXPECT_FALSE(sys::Exists(dir / "AC"));
  EXPECT_EQ(sys::NativePath("a\\b/c"), "a\\b/c");
}

// Where the host speaks UTF-8 a path is the file system's own name: every
// name is reached as it is, one that is no UTF-8 included, and nothing is
// ever an unspellable twin.
TEST(SysFiles, InUtf8EveryNameIsReachedAsItIs) {
  systest::ScopedEnv chosen("TAGWRIGHT_HOST_TEXT", "utf8");
  systest::ScopedEnv pages("TAGWRIGHT_CODEPAGES", "437:1252");
  TempFolder dir;
  for (const std::string name : {"Café.mp3", "Группа.mp3", "東京.mp3", "Latin-1 \xE9t\xE9.mp3"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(sys::HostNameFromNative(name), name);
    const std::string path = dir / name;
    EXPECT_EQ(sys::NativePath(path), path);
    ASSERT_TRUE(WriteWhole(path, name));
    EXPECT_EQ(ReadWhole(path), name);
    struct stat st;
    EXPECT_EQ(stat((dir.path() + "/" + name).c_str(), &st), 0);
    uint32_t attributes = 0;
    EXPECT_TRUE(sys::GetAttributes(path, &attributes));
    ASSERT_TRUE(sys::MoveFile(path, path + ".moved"));
    EXPECT_TRUE(sys::Exists(path + ".moved"));
  }
  // A '?' is a character of a name, not a letter the host could not show.
  sys::File file;
  EXPECT_FALSE(file.Open(dir / "Caf?.mp3", sys::OpenMode::Read));
  EXPECT_EQ(sys::LastError(), sys::kErrorFileNotFound);
}

// A name with letters that the OEM code page lacks reaches the plug-in with
// '?' for them; the path it gives back then names no file, and the failure
// says why. A name that is simply missing stays "not found", also when it
// holds a '?', and a real '?' in a name is a name like any other.
TEST(SysFiles, ANameTheOemCodePageCannotSpellIsToldFromAMissingOne) {
  systest::ScopedEnv pages("TAGWRIGHT_CODEPAGES", "437:1252");
  TempFolder dir;
  std::FILE* made = std::fopen((dir.path() + "/Ария.mp3").c_str(), "w");  // a native name
  ASSERT_NE(made, nullptr);
  std::fclose(made);
  const std::string shown = sys::HostNameFromNative("Ария.mp3");
  EXPECT_EQ(shown, "????.mp3");
  sys::File file;
  EXPECT_FALSE(file.Open(dir / shown, sys::OpenMode::Read));
  EXPECT_EQ(sys::LastError(), sys::kErrorNoUnicodeTranslation);
  EXPECT_FALSE(sys::GetAttributes(dir / shown, nullptr));
  EXPECT_EQ(sys::LastError(), sys::kErrorNoUnicodeTranslation);
  EXPECT_FALSE(file.Open(dir / "???.mp3", sys::OpenMode::Read));
  EXPECT_EQ(sys::LastError(), sys::kErrorFileNotFound);
  ASSERT_TRUE(WriteWhole(dir / "what?.mp3", "x"));
  EXPECT_EQ(ReadWhole(dir / "what?.mp3"), "x");
  EXPECT_FALSE(sys::ErrorText(sys::kErrorNoUnicodeTranslation).empty());
}
}  // namespace
#endif

#ifdef _WIN32
namespace {
// Reading lets other readers in, but a file that is open for writing is not
// read half-written, nor written while it is read.
TEST(SysFiles, ReadingSharesWithReadersButNotWriters) {
  TempFolder dir;
  const std::string path = dir / "song.mp3";
  ASSERT_TRUE(WriteWhole(path, "audio"));
  {
    sys::File writer;
    ASSERT_TRUE(writer.Open(path, sys::OpenMode::ReadWrite));
    sys::File reader;
    EXPECT_FALSE(reader.Open(path, sys::OpenMode::Read));
  }
  sys::File reader;
  ASSERT_TRUE(reader.Open(path, sys::OpenMode::Read));
  sys::File second;
  EXPECT_TRUE(second.Open(path, sys::OpenMode::Read));
  sys::File writer;
  EXPECT_FALSE(writer.Open(path, sys::OpenMode::ReadWrite));
}
}  // namespace
#endif

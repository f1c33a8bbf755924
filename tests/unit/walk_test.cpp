// The parts of the walk that need no host: list-file lines and path pieces.
// The walk itself runs through the plug-in's exports in the scenario tests.
#include "host/walk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <span>
#include <string>

#include "sys/path.h"
#include "sys/sys.h"

namespace {

using Lines = host::ListLines;

TEST(SplitListLines, BreaksAtCrLfAtALoneLfAndAtALoneCr) {
  struct Case {
    std::string text;
    Lines expected;
  };
  const Case cases[] = {
      {"", {}},
      {"one", {"one"}},
      {"one\r\ntwo\r\n", {"one", "two"}},  // no empty line after the last break
      {"one\ntwo\nthree\n", {"one", "two", "three"}},
      {"one\rtwo\rthree", {"one", "two", "three"}},
      {"one\r\r\nthree", {"one", "", "three"}},
      {"\r\n", {""}},
      {"\n", {""}},
      // Line ends of every kind in one file; LF CR is two breaks.
      {"a\nb\r\nc\rd\n", {"a", "b", "c", "d"}},
      {"one\r\n\ntwo", {"one", "", "two"}},
      {"one\n\rtwo", {"one", "", "two"}},
      // The text ends at its first zero byte.
      {std::string("one\r\ntw\0o\r\nthree", 16), {"one", "tw"}},
      {std::string("\0one", 4), {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(host::SplitListLines(c.text.data(), c.text.size()), c.expected)
        << testing::PrintToString(c.text);
  }
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
  sys::File file;
  return file.Open(path, sys::OpenMode::CreateAlways) && file.Write(bytes.data(), bytes.size()) &&
         file.Close();
}

TEST(LoadListLines, ReadsTheWholeFileOrReportsThatItCannot) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("tagwright-list-lines-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(folder);
  const auto in = [&](const char* name) { return (folder / name).string(); };
  // Longer than one read, with a break that straddles the reads' boundary.
  std::string big(64 * 1024 - 1, 'x');
  big += "\r\n";
  big += "tail";
  ASSERT_TRUE(WriteWhole(in("list.txt"), big));
  Lines lines{"stale"};
  ASSERT_TRUE(host::LoadListLines(in("list.txt"), &lines));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 64u * 1024 - 1);
  EXPECT_EQ(lines[1], "tail");

  ASSERT_TRUE(WriteWhole(in("empty.txt"), ""));
  ASSERT_TRUE(host::LoadListLines(in("empty.txt"), &lines));
  EXPECT_TRUE(lines.empty());

  EXPECT_FALSE(host::LoadListLines(in("missing.txt"), &lines));
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

TEST(PathPieces, FolderPartAndJoin) {
  struct FolderCase {
    const char* path;
    const char* folder;
  };
  // Windows: '\', '/' and a drive's ':' end the folder part; one '\' joins.
  const FolderCase windows[] = {
      {"C:\\music\\a.mp3", "C:\\music\\"},
      {"C:a.mp3", "C:"},
      {"a,b.mp3", ""},
      {"/home/u/a.mp3", "/home/u/"},
      {"/home/u\\a.mp3", "/home/u\\"},
      {"C:\\", "C:\\"},
  };
  // POSIX: '/' alone; '\' and ':' are characters of names.
  const FolderCase posix[] = {
      {"/home/u/a.mp3", "/home/u/"},
      {"/home/u/AC\\DC - Back.mp3", "/home/u/"},
      {"/home/u/C:a.mp3", "/home/u/"},
      {"a,b.mp3", ""},
      {"C:\\music\\a.mp3", ""},
      {"/", "/"},
  };
  const bool onWindows = sys::kPathSeparator == '\\';
  for (const FolderCase& c : onWindows ? std::span<const FolderCase>(windows)
                                       : std::span<const FolderCase>(posix))
    EXPECT_EQ(sys::FolderPart(c.path), c.folder) << c.path;

  // Exactly one separator, also in a root folder.
  if (onWindows) {
    EXPECT_EQ(host::JoinPath("C:\\music", "a.mp3"), "C:\\music\\a.mp3");
    EXPECT_EQ(host::JoinPath("C:\\", "a.mp3"), "C:\\a.mp3");
    EXPECT_EQ(host::JoinPath("/home/u", "a.mp3"), "/home/u\\a.mp3");
  } else {
    EXPECT_EQ(host::JoinPath("/home/u", "a.mp3"), "/home/u/a.mp3");
    EXPECT_EQ(host::JoinPath("/home/u\\", "a.mp3"), "/home/u\\/a.mp3");
  }
  EXPECT_EQ(host::JoinPath("/", "a.mp3"), "/a.mp3");
}

}  // namespace

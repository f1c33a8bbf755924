// The file list's list file only ever grows by whole lines, and its
// character-table choices follow the host's tables.
// windows.h, which the support header includes, must come before sys.h.
#include "sys_test_support.h"
#include "batch/file_list.h"
#include "host/dialog_frame.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include <cstring>
#include <string>
#include <vector>

#include "sys/sys.h"
#include "tagwright/messages.h"
#include "test_host.h"

namespace {

using systest::ReadWhole;
using systest::TempFolder;
using systest::WriteWhole;

class AppendListLine : public ::testing::Test {
 protected:
  TempFolder dir_;
};

TEST_F(AppendListLine, CreatesTheListThenAppendsAfterWhatItHolds) {
  const std::string list = dir_ / "list.txt";
  EXPECT_TRUE(batch::AppendListLine(list, "one"));
  EXPECT_TRUE(batch::AppendListLine(list, ""));
  // Lines end as the system's text files do.
  const std::string end = sys::kLineEnd;
  EXPECT_EQ(ReadWhole(list), "one" + end + end);
  // A list written by someone else, without a final line break, is kept byte for byte.
  const std::string other = dir_ / "other.txt";
  ASSERT_TRUE(WriteWhole(other, std::string("head\0er", 7)));
  EXPECT_TRUE(batch::AppendListLine(other, "\x8F\xE0\xA8"));
  EXPECT_EQ(ReadWhole(other), std::string("head\0er\x8F\xE0\xA8", 10) + end);
}

TEST_F(AppendListLine, ANameThatCannotBeOpenedFailsAndCreatesNothing) {
  EXPECT_FALSE(batch::AppendListLine(dir_.path(), "line"));
  EXPECT_TRUE(sys::IsFolder(dir_.path()));
  EXPECT_FALSE(batch::AppendListLine(dir_ / "missing" + std::string(1, sys::kPathSeparator) + "list.txt", "line"));
  EXPECT_FALSE(sys::Exists(dir_ / "missing"));
}

#ifndef _WIN32
// A write that stops part-way (here the process's file size limit, as a full
// disk would) leaves the list as it was, not with half a line.
TEST_F(AppendListLine, AWriteThatStopsPartWayIsTakenBack) {
  const std::string list = dir_ / "list.txt";
  const std::string before = "first line\r\n";
  ASSERT_TRUE(WriteWhole(list, before));
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = saved;
  limit.rlim_cur = before.size() + 4;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const bool appended = batch::AppendListLine(list, "a line longer than four bytes");
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedHandler);
  EXPECT_FALSE(appended);
  EXPECT_EQ(ReadWhole(list), before);
}
#endif

CharTableSet Table(const std::string& name) {
  CharTableSet table;
  std::memset(&table, 0, sizeof(table));
  std::memcpy(table.TableName, name.data(), std::min(name.size(), sizeof(table.TableName)));
  return table;
}

std::vector<std::string> Texts(const std::vector<FarListItem>& entries) {
  std::vector<std::string> texts;
  for (const FarListItem& e : entries) {
    texts.push_back((e.Flags & LIF_SEPARATOR) ? "--" : std::string(e.Text));
  }
  return texts;
}

TEST(CharTableList, TheTwoTextKindsThenTheHostTablesAfterASeparator) {
  testhost::TestHost host;
  host.SetMessage(MDosText, "Dos text");
  host.SetMessage(MWindowsText, "Windows text");
  host.SetCharTables({});  // a host without tables first
  EXPECT_EQ(Texts(host::CodePageListItems()),
            (std::vector<std::string>{"Dos text", "Windows text"}));
  // A name that fills the host's field without a terminator is cut to 127 characters.
  host.SetCharTables({Table("KOI8-R"), Table(std::string(128, 'x'))});
  EXPECT_EQ(Texts(host::CodePageListItems()),
            (std::vector<std::string>{"Dos text", "Windows text", "--", "KOI8-R",
                                      std::string(127, 'x')}));
}

}  // namespace

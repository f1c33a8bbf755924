// FarRecursiveSearch over a real folder tree, and the panel's Control commands.
#include <gtest/gtest.h>

#include <cstring>

#include "hostsim/panel.h"
#include "support.h"

namespace {

using hostsim_test::TempFolder;

struct Found {
  std::string root;
  std::vector<std::string> names;  // relative to the root
  std::vector<DWORD> attributes;
  std::vector<DWORD> sizes;
  std::string stopAt;
  void* param = nullptr;
};

Found* g_found = nullptr;

int WINAPI Record(const FAR_FIND_DATA* data, const char* fullName, void* param) {
  std::string full = fullName;
  std::string relative = full.substr(g_found->root.size() + 1);
  // The name in the find data is the last part of the full name.
  EXPECT_EQ(full.substr(full.size() - std::strlen(data->cFileName)), data->cFileName);
  g_found->names.push_back(relative);
  g_found->attributes.push_back(data->dwFileAttributes);
  g_found->sizes.push_back(data->nFileSizeLow);
  g_found->param = param;
  return relative == g_found->stopAt ? 0 : 1;
}

// root: b.mp3 A.mp3 c.txt sub/{x.mp3 deeper/{y.mp3}} Zed/{z.mp3}
// `text` with each '\' made the system's separator.
std::string Sep(std::string text) {
  for (char& c : text)
    if (c == '\\') c = sys::kPathSeparator;
  return text;
}

class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.File("b.mp3", "12345");
    dir.File("A.mp3");
    dir.File("c.txt");
    dir.Folder("sub");
    dir.File("sub\\x.mp3");
    dir.Folder("sub\\deeper");
    dir.File("sub\\deeper\\y.mp3");
    dir.Folder("Zed");
    dir.File("Zed\\z.mp3");
    found.root = dir.path();
    g_found = &found;
  }
  void TearDown() override { g_found = nullptr; }
  void Search(const char* mask, DWORD flags, void* param = nullptr) {
    services.fsf.FarRecursiveSearch(dir.path().c_str(), mask, Record, flags, param);
  }

  hostsim_test::ScriptedHost scripted;
  hostsim_test::Services& services = scripted.services;
  TempFolder dir;
  Found found;
};

TEST_F(Tree, RecursiveSearchGoesInNameOrderFolderBeforeContent) {
  int param = 0;
  Search("*", FRS_RECUR, &param);
  const std::vector<std::string> expected = {
      "A.mp3", "b.mp3", "c.txt", "sub", Sep("sub\\deeper"), Sep("sub\\deeper\\y.mp3"), Sep("sub\\x.mp3"),
      "Zed",   Sep("Zed\\z.mp3")};
  EXPECT_EQ(found.names, expected);
  EXPECT_EQ(found.param, &param);
  ASSERT_EQ(found.attributes.size(), expected.size());
  EXPECT_TRUE(found.attributes[3] & FAR_FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(found.attributes[1] & FAR_FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(found.sizes[1], 5u);
}

// Many entries, made in an order far from the name order: each keeps its own
// data as the search puts them in order.
TEST_F(Tree, EntriesKeepTheirDataInNameOrder) {
  dir.Folder("many");
  for (int i : {17, 3, 29, 0, 11, 25, 8, 31, 14, 1, 22, 5, 19, 27, 9, 2, 30, 12, 6, 24, 16, 28, 4,
                20, 13, 26, 7, 23, 10, 18, 21, 15}) {
    const std::string name = (i % 2 ? "n" : "N") + std::string(i < 10 ? "0" : "") + std::to_string(i);
    dir.File(Sep("many\\") + name, std::string(static_cast<size_t>(i), 'x'));
  }
  Search("*", FRS_RECUR);
  std::vector<uint32_t> sizes;
  for (size_t k = 0; k < found.names.size(); ++k) {
    if (found.names[k].rfind(Sep("many\\"), 0) != 0) continue;
    const std::string name = found.names[k].substr(5);
    EXPECT_EQ(found.sizes[k], static_cast<uint32_t>(std::stoi(name.substr(1)))) << name;
    sizes.push_back(found.sizes[k]);
  }
  ASSERT_EQ(sizes.size(), 32u);
  // "N00" < "n01" < "N02" ...: capitals do not count.
  for (uint32_t i = 0; i < sizes.size(); ++i) EXPECT_EQ(sizes[i], i);
}

TEST_F(Tree, WithoutRecursionOnlyTheFolderItself) {
  Search("*", 0);
  EXPECT_EQ(found.names, (std::vector<std::string>{"A.mp3", "b.mp3", "c.txt", "sub", "Zed"}));
}

TEST_F(Tree, TheMaskChoosesWhatIsReportedNotWhereItGoes) {
  Search("*.mp3|y*", FRS_RECUR);
  EXPECT_EQ(found.names,
            (std::vector<std::string>{"A.mp3", "b.mp3", Sep("sub\\x.mp3"), Sep("Zed\\z.mp3")}));
}

TEST_F(Tree, ZeroFromTheCallbackStopsEverything) {
  found.stopAt = Sep("sub\\deeper");
  Search("*", FRS_RECUR);
  EXPECT_EQ(found.names, (std::vector<std::string>{"A.mp3", "b.mp3", "c.txt", "sub", Sep("sub\\deeper")}));
}

TEST_F(Tree, ReturnUpdirReportsAFolderAgainAfterItsContent) {
  Search("*", FRS_RECUR | FRS_RETUPDIR);
  EXPECT_EQ(found.names,
            (std::vector<std::string>{"A.mp3", "b.mp3", "c.txt", "sub", Sep("sub\\deeper"),
                                      Sep("sub\\deeper\\y.mp3"), Sep("sub\\deeper"), Sep("sub\\x.mp3"), "sub",
                                      "Zed", Sep("Zed\\z.mp3"), "Zed"}));
}

TEST_F(Tree, NothingFoundInAFolderThatIsNotThere) {
  services.fsf.FarRecursiveSearch((dir / "missing").c_str(), "*", Record, FRS_RECUR, nullptr);
  services.fsf.FarRecursiveSearch(dir.path().c_str(), "", Record, FRS_RECUR, nullptr);
  EXPECT_TRUE(found.names.empty());
}

std::vector<std::string> Names(const PluginPanelItem* items, int n) {
  std::vector<std::string> names;
  for (int i = 0; i < n; ++i) names.push_back(items[i].FindData.cFileName);
  return names;
}

TEST_F(Tree, PanelListsFoldersFirstAndReportsTheCursorItem) {
  hostsim::Panel& panel = scripted.host.panel();
  std::string error;
  ASSERT_TRUE(panel.Open(dir.path(), &error)) << error;
  PanelInfo info;
  ASSERT_EQ(services.psi.Control(INVALID_HANDLE_VALUE, FCTL_GETPANELINFO, &info), 1);
  EXPECT_EQ(Names(info.PanelItems, info.ItemsNumber),
            (std::vector<std::string>{"..", "sub", "Zed", "A.mp3", "b.mp3", "c.txt"}));
  EXPECT_STREQ(info.CurDir, dir.path().c_str());
  EXPECT_TRUE(info.Flags & PFLAGS_REALNAMES);
  // Nothing selected: the item under the cursor, without the selection mark.
  ASSERT_EQ(info.SelectedItemsNumber, 1);
  EXPECT_STREQ(info.SelectedItems[0].FindData.cFileName, "sub");
  EXPECT_FALSE(info.SelectedItems[0].Flags & PPIF_SELECTED);
  EXPECT_EQ(info.PanelItems[4].FindData.nFileSizeLow, 5u);

  ASSERT_TRUE(panel.Select("b.mp3", true));
  ASSERT_TRUE(panel.Select("sub", true));
  EXPECT_FALSE(panel.Select("..", true));
  ASSERT_EQ(services.psi.Control(INVALID_HANDLE_VALUE, FCTL_GETPANELINFO, &info), 1);
  EXPECT_EQ(Names(info.SelectedItems, info.SelectedItemsNumber),
            (std::vector<std::string>{"sub", "b.mp3"}));
  EXPECT_TRUE(info.SelectedItems[1].Flags & PPIF_SELECTED);

  PanelInfo shortInfo;
  ASSERT_EQ(services.psi.Control(INVALID_HANDLE_VALUE, FCTL_GETPANELSHORTINFO, &shortInfo), 1);
  EXPECT_EQ(shortInfo.PanelItems, nullptr);
  EXPECT_EQ(shortInfo.SelectedItems, nullptr);
  EXPECT_EQ(shortInfo.ItemsNumber, 6);
  EXPECT_STREQ(shortInfo.CurDir, dir.path().c_str());
  // Only the active panel exists.
  EXPECT_EQ(services.psi.Control(reinterpret_cast<HANDLE>(1), FCTL_GETPANELINFO, &info), 0);
}

TEST_F(Tree, SetSelectionAppliesTheMarksAndIsRecorded) {
  hostsim::Panel& panel = scripted.host.panel();
  std::string error;
  ASSERT_TRUE(panel.Open(dir.path(), &error));
  panel.Select("A.mp3", true);
  panel.Select("sub", true);
  PanelInfo info;
  ASSERT_EQ(services.psi.Control(INVALID_HANDLE_VALUE, FCTL_GETPANELINFO, &info), 1);
  info.PanelItems[3].Flags &= ~static_cast<DWORD>(PPIF_SELECTED);  // A.mp3 processed
  info.PanelItems[5].Flags |= PPIF_SELECTED;
  ASSERT_EQ(services.psi.Control(INVALID_HANDLE_VALUE, FCTL_SETSELECTION, &info), 1);
  EXPECT_EQ(panel.SelectedNames(), (std::vector<std::string>{"sub", "c.txt"}));
  services.psi.Control(INVALID_HANDLE_VALUE, FCTL_REDRAWPANEL, nullptr);
  std::string transcript = scripted.Transcript();
  EXPECT_NE(transcript.find("panel: selection set: sub, c.txt\npanel: redrawn\n"), std::string::npos)
      << transcript;
  EXPECT_FALSE(scripted.host.failed());
}

TEST_F(Tree, SetSelectionWithAnotherArrayIsAFailure) {
  hostsim::Panel& panel = scripted.host.panel();
  std::string error;
  ASSERT_TRUE(panel.Open(dir.path(), &error));
  PanelInfo info;
  ASSERT_EQ(services.psi.Control(INVALID_HANDLE_VALUE, FCTL_GETPANELINFO, &info), 1);
  std::vector<PluginPanelItem> fewer(info.PanelItems, info.PanelItems + 2);
  info.PanelItems = fewer.data();
  info.ItemsNumber = 2;
  EXPECT_EQ(services.psi.Control(INVALID_HANDLE_VALUE, FCTL_SETSELECTION, &info), 0);
  EXPECT_TRUE(scripted.host.failed());
  EXPECT_NE(scripted.host.failure().find("with 2 items for a panel of 6"), std::string::npos)
      << scripted.host.failure();
}

}  // namespace

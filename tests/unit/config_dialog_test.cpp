// The configuration dialog over the test host, whose character tables a test
// can choose: what the dialog is given. What it writes is tested through the
// plug-in's exports in the scenario tests.
#include "host/config_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/plugin_state.h"
#include "host/settings.h"
#include "registry_file_probe.h"
#include "settings_sandbox.h"
#include "tagwright/messages.h"

namespace {

using settingstest::SettingsSandbox;

// What the fake Dialog service saw, and how it answers.
struct DialogSeen {
  int width = 0, height = 0;
  std::string help;
  std::vector<FarDialogItem> items;
  std::vector<FarListItem> list;  // the combo box's list, copied while it lived
};
DialogSeen* seen = nullptr;
std::function<int(FarDialogItem*)> answer;

int WINAPI FakeDialog(int, int x1, int y1, int x2, int y2, const char* help, FarDialogItem* items,
                      int count) {
  EXPECT_EQ(x1, -1);
  EXPECT_EQ(y1, -1);
  seen->width = x2;
  seen->height = y2;
  seen->help = help != nullptr ? help : "";
  seen->items.assign(items, items + count);
  const FarList* list = items[host::ConfigItem::TagCP].ListItems;
  if (list != nullptr) seen->list.assign(list->Items, list->Items + list->ItemsNumber);
  return answer(items);
}

CharTableSet Table(const char* name) {
  CharTableSet table;
  std::memset(&table, 0, sizeof table);
  std::strcpy(table.TableName, name);
  return table;
}

class ConfigDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seen = &seen_;
    host::StartupInfo.Dialog = &FakeDialog;
    path_ = host::KeyPath("ConfigDialog");
    // The English language file's names of the two text kinds.
    box_.Host().SetMessage(MDosText, "Dos text");
    box_.Host().SetMessage(MWindowsText, "Windows text");
  }
  void TearDown() override {
    seen = nullptr;
    answer = nullptr;
  }

  std::string Text(int item) const { return seen_.items.at(static_cast<size_t>(item)).Data; }

  SettingsSandbox box_;
  DialogSeen seen_;
  std::string path_;
};

TEST_F(ConfigDialogTest, ShowsTheDefaultsAndCodePagesWithoutHostTables) {
  box_.Host().SetCharTables({});
  answer = [](FarDialogItem*) { return -1; };
  EXPECT_FALSE(host::ConfigDialog());
  EXPECT_EQ(seen_.width, 69);
  EXPECT_EQ(seen_.height, 15);
  EXPECT_EQ(seen_.help, "Id3Config");
  ASSERT_EQ(seen_.items.size(), 13u);
  EXPECT_EQ(Text(host::ConfigItem::ProcessExt), "*.mp3");
  EXPECT_EQ(Text(host::ConfigItem::ExcludeExt), "");
  EXPECT_EQ(Text(host::ConfigItem::TagCP), "Windows text");
  EXPECT_EQ(seen_.items[host::ConfigItem::ResetCounter].Selected, 1);
  EXPECT_EQ(seen_.items[host::ConfigItem::KeepFileTime].Selected, 0);
  EXPECT_EQ(seen_.items[host::ConfigItem::WriteUnicode].Selected, 0);
  EXPECT_STREQ(seen_.items[host::ConfigItem::ProcessExt].History, "ID3_ProcessExt");
  EXPECT_STREQ(seen_.items[host::ConfigItem::ExcludeExt].History, "ID3_ExcludeExt");
  EXPECT_EQ(seen_.items[host::ConfigItem::Ok].DefaultButton, 1);
  ASSERT_EQ(seen_.list.size(), 2u);  // no separator without tables
  EXPECT_STREQ(seen_.list[0].Text, "Dos text");
  EXPECT_STREQ(seen_.list[1].Text, "Windows text");
  EXPECT_EQ(seen_.list[0].Flags | seen_.list[1].Flags, 0u);
  EXPECT_FALSE(SettingsSandbox::KeyExists(path_));  // Esc writes nothing
}

// The list shows the language file's names; the setting keeps "Dos text" and
// "Windows text", and a table name as it is.
TEST_F(ConfigDialogTest, TheTextKindsAreShownTranslatedAndStoredByTheirSettingNames) {
  box_.Host().SetMessage(MDosText, "DOS-Text");
  box_.Host().SetMessage(MWindowsText, "Win-Text");
  box_.Host().SetCharTables({Table("KOI8-R")});
  answer = [](FarDialogItem* items) {
    host::SetItemText(items[host::ConfigItem::TagCP], "DOS-Text");
    return static_cast<int>(host::ConfigItem::Ok);
  };
  EXPECT_TRUE(host::ConfigDialog());
  EXPECT_EQ(Text(host::ConfigItem::TagCP), "Win-Text");  // the default, "Windows text"
  ASSERT_EQ(seen_.list.size(), 4u);
  EXPECT_STREQ(seen_.list[0].Text, "DOS-Text");
  EXPECT_STREQ(seen_.list[1].Text, "Win-Text");
  EXPECT_EQ(host::ReadString("TagCP", "ConfigDialog", ""), "Dos text");

  answer = [](FarDialogItem* items) {
    host::SetItemText(items[host::ConfigItem::TagCP], "KOI8-R");
    return static_cast<int>(host::ConfigItem::Ok);
  };
  EXPECT_TRUE(host::ConfigDialog());
  EXPECT_EQ(Text(host::ConfigItem::TagCP), "DOS-Text");
  EXPECT_EQ(host::ReadString("TagCP", "ConfigDialog", ""), "KOI8-R");
  EXPECT_TRUE(host::ConfigDialog());
  EXPECT_EQ(Text(host::ConfigItem::TagCP), "KOI8-R");
}

TEST_F(ConfigDialogTest, HostTablesFollowASeparatorInTheHostsOrder) {
  CharTableSet unterminated = Table("");
  std::memset(unterminated.TableName, 'Z', sizeof unterminated.TableName);
  box_.Host().SetCharTables({Table("KOI8-R"), Table("ISO-8859-5"), unterminated});
  answer = [](FarDialogItem*) { return host::ConfigItem::Cancel; };
  host::ConfigDialog();
  ASSERT_EQ(seen_.list.size(), 6u);
  EXPECT_EQ(seen_.list[2].Flags, static_cast<DWORD>(LIF_SEPARATOR));
  EXPECT_STREQ(seen_.list[2].Text, "");
  EXPECT_STREQ(seen_.list[3].Text, "KOI8-R");
  EXPECT_STREQ(seen_.list[4].Text, "ISO-8859-5");
  EXPECT_EQ(std::string(seen_.list[5].Text), std::string(127, 'Z'));
}

#ifndef _WIN32
// Another program holds the settings file's lock when the dialog is
// confirmed: the user is told once, the file keeps the old values, and the
// configuration of this run is the one the user chose.
TEST_F(ConfigDialogTest, ALockedSettingsFileStillGivesTheChosenConfiguration) {
  const std::string savedProcess = host::ProcessExt;
  const bool savedReset = host::ResetCounter;
  box_.Host().SetMessage(MSettingsLocked, "Locked");
  host::WriteString("ProcessExt", "ConfigDialog", "*.mp3");
  host::WriteBool("ResetCounter", "ConfigDialog", true);
  const std::string file = *settingstest::GetEnvironment("TAGWRIGHT_REGISTRY");
  {
    registryprobe::LockHolder holder(file + ".lock");
    ASSERT_TRUE(holder.Held());
    answer = [](FarDialogItem* items) {
      host::SetItemText(items[host::ConfigItem::ProcessExt], "*.mp2");
      items[host::ConfigItem::ResetCounter].Selected = 0;
      return static_cast<int>(host::ConfigItem::Ok);
    };
    EXPECT_TRUE(host::ConfigDialog());
  }
  EXPECT_EQ(host::ProcessExt, "*.mp2");
  EXPECT_FALSE(host::ResetCounter);
  ASSERT_EQ(box_.Host().MessageCalls().size(), 1u);
  EXPECT_NE(box_.Host().MessageCalls()[0].text.find("Locked"), std::string::npos);
  EXPECT_EQ(host::ReadString("ProcessExt", "ConfigDialog", ""), "*.mp3");
  EXPECT_TRUE(host::ReadBool("ResetCounter", "ConfigDialog", false));
  host::ProcessExt = savedProcess;
  host::ResetCounter = savedReset;
}
#endif

}  // namespace

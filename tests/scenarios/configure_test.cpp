// The user configures the plug-in from the host's configuration menu: what the
// dialog shows, what confirming and cancelling write, and where in the
// registry it goes for the host's user.
#include <string>

#include "hostsim/char_tables.h"
#include "plugin_scenario.h"  // windows.h before sys.h
#include "sys/sys.h"

namespace {

using scenario::PluginScenario;
using scenario::Sz;

class Configure : public PluginScenario {};

TEST_F(Configure, ShowsTheDefaultsAndConfirmingRewritesAllFiveValues) {
  Start();
  ASSERT_TRUE(
      Play("invoke configure\n"
           "dialog \"Id3Config\" expect \"Process files matching\" \"*.mp3\"\n"
           "dialog \"Id3Config\" expect \"Exclude files matching\" \"\"\n"
           "dialog \"Id3Config\" expect \"Tag text code page\" \"Windows text\"\n"
           "dialog \"Id3Config\" expect \"Reset the file counter in each folder\" checked\n"
           "dialog \"Id3Config\" expect \"Keep the file's modification time\" unchecked\n"
           "dialog \"Id3Config\" press \"OK\"\n"
           "expect-end\n"))
      << host_->failure();
  const std::string key = KeyPath("ConfigDialog");
  EXPECT_EQ(scenario::ReadRegistry(key, "ProcessExt"), Sz("*.mp3"));
  EXPECT_EQ(scenario::ReadRegistry(key, "ExcludeExt"), Sz(""));  // an empty REG_SZ, not absent
  EXPECT_EQ(scenario::ReadRegistry(key, "TagCP"), Sz("Windows text"));
  EXPECT_EQ(scenario::ReadRegistry(key, "ResetCounter"), Sz("1"));
  EXPECT_EQ(scenario::ReadRegistry(key, "KeepFileTime"), Sz("0"));
  EXPECT_NE(output_.find("Configure returned 1"), std::string::npos) << output_;
}

TEST_F(Configure, TheCodePageListHoldsBothTextsThenTheHostsTables) {
  Start();
  ASSERT_TRUE(
      Play("invoke configure\n"
           "dialog \"Id3Config\" esc\n"))
      << host_->failure();
  std::string expected = "\"Dos text\" | \"Windows text\"";
  const auto& tables = hostsim::CharTables();
  if (!tables.empty()) expected += " | ---";
  for (const auto& table : tables) expected += " | \"" + table.name + "\"";
  EXPECT_NE(output_.find("drop-down list[" +
                         std::to_string(tables.empty() ? 2 : tables.size() + 3) + "] " + expected),
            std::string::npos)
      << output_;
}

// The choices are shown in the user's language; the setting keeps its name, so
// that a change of language keeps the choice.
TEST_F(Configure, InRussianTheCodePageChoicesAreTranslatedAndTheSettingKeepsItsName) {
  if (sys::OemCodePage() != 866) GTEST_SKIP() << "needs OEM 866 (TAGWRIGHT_CODEPAGES or a Russian locale)";
  Start("Russian");
  ASSERT_TRUE(
      Play("invoke configure\n"
           "dialog \"Id3Config\" expect \"Кодировка текста тегов\" \"Текст Windows\"\n"
           "dialog \"Id3Config\" select \"Кодировка текста тегов\" \"Текст DOS\"\n"
           "dialog \"Id3Config\" press \"OK\"\n"
           "invoke configure\n"
           "dialog \"Id3Config\" expect \"Кодировка текста тегов\" \"Текст DOS\"\n"
           "dialog \"Id3Config\" esc\n"
           "expect-end\n"))
      << host_->failure() << output_;
  EXPECT_NE(output_.find("\"Текст DOS\" | \"Текст Windows\""), std::string::npos) << output_;
  EXPECT_EQ(scenario::ReadRegistry(KeyPath("ConfigDialog"), "TagCP"), Sz("Dos text"));
}

TEST_F(Configure, ConfirmedValuesAreStoredAndTheWalkUsesThemAtOnce) {
  MakeFolder("music");
  WriteFile("music\\a.mp2", scenario::Mp3Audio());
  WriteFile("music\\skip-me.mp2", scenario::Mp3Audio());
  WriteFile("music\\b.mp3", scenario::Mp3Audio());
  Start();
  ASSERT_TRUE(
      Play("invoke configure\n"
           "dialog \"Id3Config\" set \"Process files matching\" \"*.mp2\"\n"
           "dialog \"Id3Config\" set \"Exclude files matching\" \"skip*\"\n"
           "dialog \"Id3Config\" select \"Tag text code page\" \"Dos text\"\n"
           "dialog \"Id3Config\" uncheck \"Reset the file counter in each folder\"\n"
           "dialog \"Id3Config\" press \"OK\"\n"
           // The same module, without a new start: only a.mp2 is shown.
           "panel music select a.mp2 skip-me.mp2 b.mp3\n"
           "invoke menu\n"
           "menu choose 0\n"
           "dialog \"Id3Edit\" press \"Skip this file\"\n"
           "expect-selected skip-me.mp2 b.mp3\n"
           "expect-end\n"))
      << host_->failure() << output_;
  // The view's title is the file's path, perhaps shortened at its start.
  const size_t view = output_.find("dialog \"Id3Edit\" opened");
  ASSERT_NE(view, std::string::npos) << output_;
  const size_t title = output_.find("[0] DOUBLEBOX ", view);
  EXPECT_EQ(output_.compare(output_.find('\n', title) - 7, 7, scenario::Sep("\\a.mp2\"")), 0) << output_;
  EXPECT_EQ(output_.find("dialog \"Id3Edit\" opened", view + 1), std::string::npos) << output_;
  const std::string key = KeyPath("ConfigDialog");
  EXPECT_EQ(scenario::ReadRegistry(key, "ProcessExt"), Sz("*.mp2"));
  EXPECT_EQ(scenario::ReadRegistry(key, "ExcludeExt"), Sz("skip*"));
  EXPECT_EQ(scenario::ReadRegistry(key, "TagCP"), Sz("Dos text"));
  EXPECT_EQ(scenario::ReadRegistry(key, "ResetCounter"), Sz("0"));
}

TEST_F(Configure, CancellingWritesNothingEvenAfterEdits) {
  Start();
  ASSERT_TRUE(
      Play("invoke configure\n"
           "dialog \"Id3Config\" set \"Process files matching\" \"*.wav\"\n"
           "dialog \"Id3Config\" uncheck \"Reset the file counter in each folder\"\n"
           "dialog \"Id3Config\" press \"Cancel\"\n"
           "invoke configure\n"
           "dialog \"Id3Config\" set \"Exclude files matching\" \"x*\"\n"
           "dialog \"Id3Config\" esc\n"
           // Reopened from the registry, not from the edited items.
           "invoke configure\n"
           "dialog \"Id3Config\" expect \"Process files matching\" \"*.mp3\"\n"
           "dialog \"Id3Config\" expect \"Reset the file counter in each folder\" checked\n"
           "dialog \"Id3Config\" esc\n"
           "expect-end\n"))
      << host_->failure();
  for (const char* name : {"ProcessExt", "ExcludeExt", "TagCP", "ResetCounter", "KeepFileTime"}) {
    EXPECT_FALSE(scenario::ReadRegistry(KeyPath("ConfigDialog"), name).has_value()) << name;
  }
}

TEST_F(Configure, StoredValuesAreShownAndAnUnknownTableIsKeptAsItIs) {
  const std::string key = KeyPath("ConfigDialog");
  ASSERT_TRUE(scenario::WriteRegistry(key, "ProcessExt", "*.mp3,*.mp2"));
  ASSERT_TRUE(scenario::WriteRegistry(key, "TagCP", "No Such Table"));
  ASSERT_TRUE(scenario::WriteRegistry(key, "ResetCounter", "yes"));  // only "1" is true
  Start();
  ASSERT_TRUE(
      Play("invoke configure\n"
           "dialog \"Id3Config\" expect \"Process files matching\" \"*.mp3,*.mp2\"\n"
           "dialog \"Id3Config\" expect \"Tag text code page\" \"No Such Table\"\n"
           "dialog \"Id3Config\" expect \"Reset the file counter in each folder\" unchecked\n"
           "dialog \"Id3Config\" press \"OK\"\n"))
      << host_->failure();
  EXPECT_EQ(scenario::ReadRegistry(key, "TagCP"), Sz("No Such Table"));
  EXPECT_EQ(scenario::ReadRegistry(key, "ResetCounter"), Sz("0"));
}

// FARUSER chooses the user's branch of the host's key; "FARUSER" itself and
// an unset variable choose the common one.
TEST_F(Configure, TheHostsUserNamesTheRegistryBranch) {
  Start();
  ASSERT_TRUE(
      Play("invoke configure\n"
           "dialog \"Id3Config\" set \"Process files matching\" \"*.user\"\n"
           "dialog \"Id3Config\" press \"OK\"\n"))
      << host_->failure();
  EXPECT_EQ(scenario::ReadRegistry(KeyPath("ConfigDialog"), "ProcessExt"), Sz("*.user"));

#if !defined(_WIN32)
  // Natively the registry file is this test's own, so the common branch can
  // be written; under Windows it would be the real one of every run.
  const std::string common = "Software\\Far\\Plugins\\Tagwright\\ConfigDialog";
  for (const char* farUser :
       {static_cast<const char*>("FARUSER"), static_cast<const char*>(nullptr)}) {
    scenario::SetEnv("FARUSER",
                     farUser != nullptr ? std::optional<std::string>(farUser) : std::nullopt);
    Start();
    ASSERT_TRUE(
        Play("invoke configure\n"
             "dialog \"Id3Config\" expect \"Process files matching\" \"*.mp3\"\n"
             "dialog \"Id3Config\" set \"Process files matching\" \"*.common\"\n"
             "dialog \"Id3Config\" press \"OK\"\n"))
        << host_->failure();
    EXPECT_EQ(scenario::ReadRegistry(common, "ProcessExt"), Sz("*.common"));
    scenario::DeleteRegistryTree(sys::CurrentUserKey(), "Software\\Far\\Plugins");
  }
  EXPECT_EQ(scenario::ReadRegistry(KeyPath("ConfigDialog"), "ProcessExt"), Sz("*.user"));
#endif
}

}  // namespace

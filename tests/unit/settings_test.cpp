#include "host/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/far_services.h"
#include "host/plugin_state.h"
#include "host/startup.h"
#include "registry_file_probe.h"
#include "settings_sandbox.h"
#include "tagwright/messages.h"
#include "tags/codepage.h"

namespace {

using settingstest::Raw;
using settingstest::RawValue;
using settingstest::SettingsSandbox;
using settingstest::Sz;

const sys::RegKey kRoot = sys::CurrentUserKey();

void Put(const std::string& path, const std::string& name, const RawValue& value) {
  ASSERT_TRUE(SettingsSandbox::Set(path, name, value)) << path << " " << name;
}

// What SetStartupInfo does with FARUSER, over the test host's tables.
void StartWithFarUser(const std::optional<std::string>& farUser) {
  settingstest::SetEnvironment("FARUSER", farUser);
  PluginStartupInfo info = host::StartupInfo;
  FarStandardFunctions functions = host::StandardFunctions;
  info.FSF = &functions;
  host::TakeStartupInfo(&info);
}

TEST(SettingsKeyPath, FollowsFarUserAndTheTitle) {
  SettingsSandbox box;
  const auto saved = settingstest::GetEnvironment("FARUSER");
  const std::string user = box.User();
  struct Case {
    std::optional<std::string> farUser;
    std::string userPart;
  };
  for (const Case& c : {Case{std::nullopt, ""}, Case{"FARUSER", ""},
                        Case{user, "Users\\" + user + "\\"}}) {
    StartWithFarUser(c.farUser);
    const std::string key = "Software\\Far\\" + c.userPart + "Plugins\\" + box.Title();
    EXPECT_EQ(host::KeyPath(""), key);
    EXPECT_EQ(host::KeyPath("ConfigDialog"), key + "\\ConfigDialog");
    EXPECT_EQ(host::KeyPath("TagCreationDialog\\Scheme\\3"), key + "\\TagCreationDialog\\Scheme\\3");
  }
  // The per-user key is where the values go.
  host::WriteString("ProcessExt", "ConfigDialog", "*.mp2");
  EXPECT_EQ(SettingsSandbox::Get(host::KeyPath("ConfigDialog"), "ProcessExt"), Sz("*.mp2"));
  settingstest::SetEnvironment("FARUSER", saved);
}

TEST(SettingsStore, AnotherTitleIsAnotherKey) {
  SettingsSandbox box;
  host::WriteString("ProcessExt", "ConfigDialog", "*.ogg");
  box.Host().SetMessage(0, box.OtherTitle());
  EXPECT_EQ(host::ReadString("ProcessExt", "ConfigDialog", "*.mp3"), "*.mp3");
  box.Host().SetMessage(0, box.Title());
  EXPECT_EQ(host::ReadString("ProcessExt", "ConfigDialog", "*.mp3"), "*.ogg");
}

TEST(SettingsStore, ReadsAnyStoredDataAsTextUpToItsFirstZero) {
  SettingsSandbox box;
  const std::string path = host::KeyPath("Read");
  struct Case {
    const char* name;
    RawValue stored;
    std::string expected;
  };
  const Case cases[] = {
      {"terminated", Sz("abc"), "abc"},
      {"unterminated", Sz("abc", false), "abc"},
      {"empty", Sz("", false), ""},  // not the fallback
      {"zero inside", Sz(std::string("ab\0cd", 5)), "ab"},
      {"dword", Raw(sys::kRegDword, std::string("12\0\0", 4)), "12"},
      {"binary", Raw(sys::kRegBinary, "\xC0\xFF"), "\xC0\xFF"},
  };
  for (const Case& c : cases) Put(path, c.name, c.stored);
  for (const Case& c : cases) {
    EXPECT_EQ(host::ReadString(c.name, "Read", "fallback"), c.expected) << c.name;
  }
  EXPECT_EQ(host::ReadString("missing", "Read", "fallback"), "fallback");
  EXPECT_EQ(host::ReadString("terminated", "NoSuchKey", "fallback"), "fallback");
}

TEST(SettingsStore, WritesRegSzWithTerminatorAndEmptyTextWithoutData) {
  SettingsSandbox box;
  const std::string path = host::KeyPath("Write");
  for (const std::string text : {"*.mp3", "\"quoted\" C:\\folder\\ \xE0\xEF\r\nline", ""}) {
    host::WriteString("Value", "Write", "previous");
    host::WriteString("Value", "Write", text);
    EXPECT_EQ(SettingsSandbox::Get(path, "Value"), Sz(text, !text.empty())) << text;
    EXPECT_EQ(host::ReadString("Value", "Write", "fallback"), text);
  }
}

TEST(SettingsStore, OnlyTheTextOneIsTrue) {
  SettingsSandbox box;
  const std::string path = host::KeyPath("Flags");
  for (const char* text : {"0", "true", "yes", "01", "1 ", " 1", ""}) {
    Put(path, "Flag", Sz(text, *text != '\0'));
    EXPECT_FALSE(host::ReadBool("Flag", "Flags", true)) << '"' << text << '"';
  }
  Put(path, "Flag", Sz("1", false));
  EXPECT_TRUE(host::ReadBool("Flag", "Flags", false));
  EXPECT_TRUE(host::ReadBool("Missing", "Flags", true));
  EXPECT_FALSE(host::ReadBool("Missing", "Flags", false));
  host::WriteBool("Flag", "Flags", true);
  EXPECT_EQ(SettingsSandbox::Get(path, "Flag"), Sz("1"));
  host::WriteBool("Flag", "Flags", false);
  EXPECT_EQ(SettingsSandbox::Get(path, "Flag"), Sz("0"));
}

TEST(SettingsStore, LoadConfigTakesStoredValuesOrDefaults) {
  SettingsSandbox box;
  host::ProcessExt = "stale";
  host::ExcludeExt = "stale";
  host::ResetCounter = false;
  tags::TagCodePage.Kind = tags::CodePageKind::Oem;
  host::LoadConfig();
  EXPECT_EQ(host::ProcessExt, "*.mp3");
  EXPECT_EQ(host::ExcludeExt, "");
  EXPECT_TRUE(host::ResetCounter);
  EXPECT_EQ(tags::TagCodePage.Kind, tags::CodePageKind::Ansi);

  host::WriteString("ProcessExt", "ConfigDialog", "*.mp3,*.mp2");
  host::WriteString("ExcludeExt", "ConfigDialog", "~*");
  host::WriteBool("ResetCounter", "ConfigDialog", false);
  host::WriteString("TagCP", "ConfigDialog", "Dos text");
  host::LoadConfig();
  EXPECT_EQ(host::ProcessExt, "*.mp3,*.mp2");
  EXPECT_EQ(host::ExcludeExt, "~*");
  EXPECT_FALSE(host::ResetCounter);
  EXPECT_EQ(tags::TagCodePage.Kind, tags::CodePageKind::Oem);
  tags::TagCodePage.Kind = tags::CodePageKind::Ansi;
}

TEST(SettingsKeys, DeleteKeyRemovesTheWholeTreeAndNothingElse) {
  SettingsSandbox box;
  const std::string base = host::KeyPath("Tree");
  for (const char* key : {"\\A\\B\\C", "\\A\\B\\D", "\\A\\E", "\\F"}) {
    Put(base + key, "Value", Sz(key));
  }
  EXPECT_TRUE(host::DeleteKey(kRoot, base + "\\A"));
  EXPECT_FALSE(SettingsSandbox::KeyExists(base + "\\A"));
  EXPECT_TRUE(SettingsSandbox::KeyExists(base + "\\F"));
  EXPECT_FALSE(host::DeleteKey(kRoot, base + "\\A"));
  EXPECT_TRUE(host::DeleteKey(kRoot, base));
  EXPECT_FALSE(SettingsSandbox::KeyExists(base));
  EXPECT_TRUE(SettingsSandbox::KeyExists(host::KeyPath("")));
}

class SettingsCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [name, value] : values_) Put(source_, name, value);
    Put(source_ + "\\Sub\\Deep", "X", Sz("1"));
  }
  // Every value of the source, byte for byte and with its type, is in `path`.
  void ExpectValuesIn(const std::string& path) {
    for (const auto& [name, value] : values_) {
      EXPECT_EQ(SettingsSandbox::Get(path, name), value) << path << " " << name;
    }
  }

  SettingsSandbox box_;
  const std::string parent_ = host::KeyPath("FileListDialog\\Scheme");
  const std::string source_ = parent_ + "\\0";
  const std::vector<std::pair<std::string, RawValue>> values_ = {
      {"SchemeName", Sz("Album")},
      {"Empty", Sz("", false)},
      {"", Sz("default value")},
      {"Number", Raw(sys::kRegDword, std::string("\1\0\0\0", 4))},
      {"Blob", Raw(sys::kRegBinary, std::string("\0\1\0\xFF", 4))},
      {std::string(300, 'n'), Sz("a long name")},
  };
};

TEST_F(SettingsCopyTest, CopyKeyCopiesValuesAndOnlyWhenAskedSubkeys) {
  const std::string flat = parent_ + "\\Flat";
  Put(flat, "SchemeName", Sz("overwritten"));
  Put(flat, "OnlyHere", Sz("kept"));
  EXPECT_TRUE(host::CopyKey(kRoot, source_, flat, false));
  ExpectValuesIn(flat);
  EXPECT_EQ(SettingsSandbox::Get(flat, "OnlyHere"), Sz("kept"));
  EXPECT_FALSE(SettingsSandbox::KeyExists(flat + "\\Sub"));

  const std::string deep = parent_ + "\\Deep";
  EXPECT_TRUE(host::CopyKey(kRoot, source_, deep, true));
  ExpectValuesIn(deep);
  EXPECT_EQ(SettingsSandbox::Get(deep + "\\Sub\\Deep", "X"), Sz("1"));

  EXPECT_FALSE(host::CopyKey(kRoot, parent_ + "\\Missing", parent_ + "\\Never", true));
  EXPECT_FALSE(SettingsSandbox::KeyExists(parent_ + "\\Never"));
  // A recursive copy into its own tree would never end.
  EXPECT_FALSE(host::CopyKey(kRoot, source_, source_ + "\\Sub\\Inside", true));
  EXPECT_FALSE(SettingsSandbox::KeyExists(source_ + "\\Sub\\Inside"));
}

TEST_F(SettingsCopyTest, MoveKeyNeverOverwritesAndKeepsOrRemovesTheSource) {
  Put(parent_ + "\\1", "SchemeName", Sz("Other"));
  EXPECT_FALSE(host::MoveKey(kRoot, parent_, "0", "1", false));
  ExpectValuesIn(source_);
  EXPECT_EQ(SettingsSandbox::Get(parent_ + "\\1", "SchemeName"), Sz("Other"));
  EXPECT_FALSE(SettingsSandbox::KeyExists(parent_ + "\\1\\Sub"));

  EXPECT_TRUE(host::MoveKey(kRoot, parent_, "0", "2", true));
  ExpectValuesIn(source_);
  ExpectValuesIn(parent_ + "\\2");

  EXPECT_TRUE(host::MoveKey(kRoot, parent_, "2", "TEMP", false));
  EXPECT_FALSE(SettingsSandbox::KeyExists(parent_ + "\\2"));
  ExpectValuesIn(parent_ + "\\TEMP");
  EXPECT_EQ(SettingsSandbox::Get(parent_ + "\\TEMP\\Sub\\Deep", "X"), Sz("1"));

  EXPECT_FALSE(host::MoveKey(kRoot, parent_, "9", "3", false));
  EXPECT_FALSE(SettingsSandbox::KeyExists(parent_ + "\\3"));
}

// The values of a confirmed dialog, as the tag creation dialog stores them.
void StoreTagCreationValues(const std::string& round) {
  host::WriteString("FileListName", "TagCreationDialog", "list " + round);
  host::WriteString("Regexp", "TagCreationDialog", "(.*)\\.mp3");
  host::WriteBool("Confirmation", "TagCreationDialog", true);
  for (const char* field : {"Title", "Artist", "Album", "Year", "Genre", "Track", "Comment"}) {
    host::WriteBool(std::string("CB_") + field, "TagCreationDialog", true);
    host::WriteString(std::string("Edit_") + field, "TagCreationDialog", round + " " + field);
  }
}

class SettingsDialogValues : public ::testing::Test {
 protected:
  void SetUp() override {
    box_.Host().SetMessage(MWarning, "Warning");
    box_.Host().SetMessage(MSettingsLocked, "Locked");
    box_.Host().SetMessage(MCannotStoreSettings, "Not stored");
  }
#ifndef _WIN32
  static std::string RegistryFile() { return *settingstest::GetEnvironment("TAGWRIGHT_REGISTRY"); }
  static std::string ReadFile(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
      std::fclose(f);
    }
    return text;
  }
#endif
  SettingsSandbox box_;
};

// All of a dialog's values are stored, reads inside see them, and nothing is
// said. Natively that is one lock and one write of the registry file.
TEST_F(SettingsDialogValues, AreStoredAsOneWrite) {
#ifndef _WIN32
  const std::string file = RegistryFile();
  registryprobe::FileWatch watch(file.substr(0, file.rfind('/')), file.substr(file.rfind('/') + 1));
  ASSERT_TRUE(watch.Watching());
#endif
  std::string readInside;
  EXPECT_TRUE(host::StoreDialogValues([&] {
    StoreTagCreationValues("first");
    readInside = host::ReadString("Edit_Year", "TagCreationDialog", "");
  }));
  EXPECT_EQ(readInside, "first Year");
  for (const char* field : {"Title", "Artist", "Album", "Year", "Genre", "Track", "Comment"}) {
    EXPECT_EQ(SettingsSandbox::Get(host::KeyPath("TagCreationDialog"), std::string("Edit_") + field),
              Sz(std::string("first ") + field));
    EXPECT_TRUE(host::ReadBool(std::string("CB_") + field, "TagCreationDialog", false));
  }
  EXPECT_TRUE(box_.Host().MessageCalls().empty());
#ifndef _WIN32
  EXPECT_EQ(watch.Replacements(), 1);
  EXPECT_EQ(watch.LockOpenings(), 1);
  // Without the batch each changed value is a write of its own.
  StoreTagCreationValues("second");
  EXPECT_EQ(watch.Replacements(), 1 + 8);  // the list name and the seven texts
#endif
}

// A write that fails is said once, with the system's reason taken at the
// failure (the host's own calls may change the last error meanwhile); the
// other values are stored.
TEST_F(SettingsDialogValues, AFailedWriteIsSaidOnceWithItsReason) {
  box_.Host().SetGetMsgLastError(sys::kErrorAccessDenied);
  EXPECT_FALSE(host::StoreDialogValues([] {
    host::WriteString("Before", "Dialog", "1");
    host::WriteString("Value", "Dialog\\" + std::string(300, 'k'), "x");  // no such key name
    host::WriteString("Value", "Dialog\\" + std::string(300, 'l'), "y");
    host::WriteString("After", "Dialog", "2");
  }));
  const std::vector<testhost::MessageCall>& calls = box_.Host().MessageCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, "Warning\nNot stored");
  EXPECT_EQ(calls[0].flags & (FMSG_WARNING | FMSG_ERRORTYPE | FMSG_MB_OK),
            static_cast<DWORD>(FMSG_WARNING | FMSG_ERRORTYPE | FMSG_MB_OK));
  EXPECT_NE(calls[0].lastError, sys::kErrorSuccess);
  EXPECT_NE(calls[0].lastError, sys::kErrorAccessDenied);
  EXPECT_EQ(host::ReadString("Before", "Dialog", ""), "1");
  EXPECT_EQ(host::ReadString("After", "Dialog", ""), "2");
  // The next batch starts with a clean slate.
  EXPECT_TRUE(host::StoreDialogValues([] { host::WriteString("Again", "Dialog", "3"); }));
  EXPECT_EQ(calls.size(), 1u);
}

// A change of the settings outside a dialog (a scheme moved) is stored as one
// batch; a move that refuses to overwrite a key is said, with the reason.
TEST_F(SettingsDialogValues, ASettingsChangeIsStoredWholeOrSaidOnce) {
  box_.Host().SetMessage(MCannotChangeSettings, "Not changed");
  const std::string parent = host::KeyPath("FileListDialog\\Scheme");
  host::WriteString("SchemeName", "FileListDialog\\Scheme\\0", "A");
  host::WriteString("SchemeName", "FileListDialog\\Scheme\\1", "B");
  EXPECT_TRUE(host::StoreSettingsChange([&] {
    EXPECT_TRUE(host::MoveKey(kRoot, parent, "0", "TEMP", false));
    EXPECT_TRUE(host::MoveKey(kRoot, parent, "1", "0", false));
    EXPECT_TRUE(host::MoveKey(kRoot, parent, "TEMP", "1", false));
  }));
  EXPECT_EQ(host::ReadString("SchemeName", "FileListDialog\\Scheme\\0", ""), "B");
  EXPECT_EQ(host::ReadString("SchemeName", "FileListDialog\\Scheme\\1", ""), "A");
  EXPECT_TRUE(box_.Host().MessageCalls().empty());
  // A missing key is nothing to act on, and no failure.
  EXPECT_TRUE(host::StoreSettingsChange([&] { EXPECT_FALSE(host::DeleteKey(kRoot, parent + "\\7")); }));
  EXPECT_TRUE(box_.Host().MessageCalls().empty());

  EXPECT_FALSE(host::StoreSettingsChange([&] {
    host::WriteString("Count", "FileListDialog\\Scheme", "5");
    EXPECT_FALSE(host::MoveKey(kRoot, parent, "0", "1", false));
  }));
  const std::vector<testhost::MessageCall>& calls = box_.Host().MessageCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, "Warning\nNot changed");
  EXPECT_TRUE(calls[0].flags & FMSG_ERRORTYPE);
  EXPECT_EQ(calls[0].lastError, sys::kErrorAlreadyExists);
  // The refused move changed nothing.
  EXPECT_EQ(host::ReadString("SchemeName", "FileListDialog\\Scheme\\0", ""), "B");
}

#ifndef _WIN32
// Another program holds the settings file's lock: the dialog does not hang.
// After a few seconds the user is told once, whatever the number of values;
// the file keeps what it held; reads inside the batch had the dialog's values.
TEST_F(SettingsDialogValues, ALockedSettingsFileIsSaidOnceAndLosesNothing) {
  StoreTagCreationValues("stored");
  const std::string before = ReadFile(RegistryFile());
  registryprobe::LockHolder holder(RegistryFile() + ".lock");
  ASSERT_TRUE(holder.Held());
  std::string readInside;
  EXPECT_FALSE(host::StoreDialogValues([&] {
    StoreTagCreationValues("new");
    readInside = host::ReadString("Edit_Title", "TagCreationDialog", "");
  }));
  EXPECT_EQ(readInside, "new Title");
  const std::vector<testhost::MessageCall>& calls = box_.Host().MessageCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, "Warning\nLocked");
  EXPECT_TRUE(calls[0].flags & FMSG_WARNING);
  EXPECT_FALSE(calls[0].flags & FMSG_ERRORTYPE);
  EXPECT_EQ(ReadFile(RegistryFile()), before);
  EXPECT_EQ(host::ReadString("Edit_Title", "TagCreationDialog", ""), "stored Title");
}
#endif

}  // namespace

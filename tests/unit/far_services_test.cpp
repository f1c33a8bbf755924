// The host tables' copies, the service wrappers, the start-up and the plug-in
// description.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "host/far_services.h"
#include "host/plugin_state.h"
#include "host/startup.h"
#include "sys_test_support.h"
#include "tags/codepage.h"
#include "test_host.h"

namespace {

void SetFarUser(const char* value) {
#if defined(_WIN32)
  SetEnvironmentVariableA("FARUSER", value);
#else
  if (value != nullptr) {
    setenv("FARUSER", value, 1);
  } else {
    unsetenv("FARUSER");
  }
#endif
}

// Keeps the process-wide tables and UserKey as they were before a test.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedInfo_ = host::StartupInfo;
    savedFunctions_ = host::StandardFunctions;
    savedUserKey_ = host::UserKey;
    savedHostText_ = tags::HostCodePage;
  }
  void TearDown() override {
    host::StartupInfo = savedInfo_;
    host::StandardFunctions = savedFunctions_;
    host::UserKey = savedUserKey_;
    tags::HostCodePage = savedHostText_;
    SetFarUser(nullptr);
  }

 private:
  PluginStartupInfo savedInfo_;
  FarStandardFunctions savedFunctions_;
  std::string savedUserKey_;
  tags::CodePage savedHostText_;
};

int WINAPI AtoiSeven(const char*) { return 7; }
const char* WINAPI MsgById(int module, int id) {
  static std::string text;
  text = std::to_string(module) + ":" + std::to_string(id);
  return text.c_str();
}

TEST_F(StartupTest, CopiesBothTablesAndStopsUsingTheHostsOnes) {
  {
    // The host's tables are temporary: fill them, hand them over, then wreck them.
    PluginStartupInfo info{};
    FarStandardFunctions fsf{};
    info.StructSize = static_cast<int>(sizeof info);
    info.ModuleNumber = 42;
    info.GetMsg = &MsgById;
    fsf.StructSize = static_cast<int>(sizeof fsf);
    fsf.atoi = &AtoiSeven;
    info.FSF = &fsf;
    host::TakeStartupInfo(&info);
    std::memset(static_cast<void*>(&info), 0xFF, sizeof info);
    std::memset(static_cast<void*>(&fsf), 0xFF, sizeof fsf);
  }
  EXPECT_EQ(host::StartupInfo.FSF, &host::StandardFunctions);
  EXPECT_EQ(host::Atoi("123"), 7);
  EXPECT_STREQ(host::GetMsg(5), "42:5");
}

TEST_F(StartupTest, WithoutStandardFunctionsTheCopyIsEmpty) {
  PluginStartupInfo info{};
  info.GetMsg = &MsgById;
  host::StandardFunctions.atoi = &AtoiSeven;
  host::TakeStartupInfo(&info);
  EXPECT_EQ(host::StartupInfo.FSF, &host::StandardFunctions);
  EXPECT_EQ(host::StandardFunctions.atoi, nullptr);
}

TEST(UserKeyFor, FollowsTheHostsPerUserConvention) {
  const struct {
    const char* farUser;
    const char* key;
  } cases[] = {
      {nullptr, ""},
      {"", ""},
      {"FARUSER", ""},
      {"faruser", "Users\\faruser\\"},
      {"Anna", "Users\\Anna\\"},
      {"FARUSER2", "Users\\FARUSER2\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(host::UserKeyFor(c.farUser), c.key) << (c.farUser ? c.farUser : "(not set)");
  }
}

TEST_F(StartupTest, UserKeyComesFromTheEnvironment) {
  PluginStartupInfo info{};
  SetFarUser("Tester");
  host::TakeStartupInfo(&info);
  EXPECT_EQ(host::UserKey, "Users\\Tester\\");
  SetFarUser(nullptr);
  host::TakeStartupInfo(&info);
  EXPECT_EQ(host::UserKey, "");
}

// The plug-in meets the host in the text the process decided on: UTF-8 in a
// UTF-8 locale on POSIX, OEM under FAR.
TEST_F(StartupTest, TheHostsTextIsTheProcesssDecision) {
  PluginStartupInfo info{};
  {
    systest::ScopedEnv chosen("TAGWRIGHT_HOST_TEXT", "oem");
    host::TakeStartupInfo(&info);
    EXPECT_EQ(tags::HostCodePage.Kind, tags::CodePageKind::Oem);
  }
  systest::ScopedEnv chosen("TAGWRIGHT_HOST_TEXT", std::nullopt);
  systest::ScopedEnv locale("LC_ALL", "ru_RU.UTF-8");
  host::TakeStartupInfo(&info);
#if defined(_WIN32)
  EXPECT_EQ(tags::HostCodePage.Kind, tags::CodePageKind::Oem);
#else
  EXPECT_EQ(tags::HostCodePage.Kind, tags::CodePageKind::Utf8);
  EXPECT_EQ(tags::ToHost("Группа 東京"), "Группа 東京");
#endif
}

TEST(DescribePlugin, OneMenuAndOneConfigEntryWithTheCurrentTitle) {
  testhost::TestHost fake;
  fake.SetMessage(0, "Tagwright");
  PluginInfo info{};
  info.Flags = PF_EDITOR;  // not the plug-in's to change
  host::DescribePlugin(&info);
  EXPECT_EQ(info.StructSize, static_cast<int>(sizeof(PluginInfo)));
  ASSERT_EQ(info.PluginMenuStringsNumber, 1);
  ASSERT_EQ(info.PluginConfigStringsNumber, 1);
  EXPECT_STREQ(info.PluginMenuStrings[0], "Tagwright");
  EXPECT_STREQ(info.PluginConfigStrings[0], "Tagwright");
  EXPECT_STREQ(info.CommandPrefix, "id3");
  EXPECT_EQ(info.Flags, static_cast<DWORD>(PF_EDITOR));
  EXPECT_EQ(info.DiskMenuStringsNumber, 0);

  // The title is fetched anew at every call (the language may have changed).
  fake.SetMessage(0, "Tagwright RU");
  PluginInfo again{};
  host::DescribePlugin(&again);
  EXPECT_STREQ(again.PluginMenuStrings[0], "Tagwright RU");
}

TEST(GetMsg, NeverGivesNull) {
  testhost::TestHost fake;
  EXPECT_STREQ(host::GetMsg(99), "");
  host::StartupInfo.GetMsg = nullptr;
  EXPECT_STREQ(host::GetMsg(0), "");
}

TEST(Message, AllInOneTextReachesTheHostAsOneText) {
  testhost::TestHost fake;
  fake.QueueMessageAnswer(1);
  const int answer =
      host::Message(FMSG_WARNING | FMSG_ALLINONE | FMSG_MB_YESNO, "Topic", "Title\nLine");
  EXPECT_EQ(answer, 1);
  ASSERT_EQ(fake.MessageCalls().size(), 1u);
  EXPECT_EQ(fake.MessageCalls()[0].text, "Title\nLine");
  EXPECT_EQ(fake.MessageCalls()[0].helpTopic, "Topic");
  EXPECT_EQ(host::Message(FMSG_ALLINONE, nullptr, "x"), -1);
}

long WINAPI EchoParam2(HANDLE, int, int, long param2) { return param2; }

TEST(SendDlgMessagePtr, CarriesAWholePointer) {
  testhost::TestHost fake;
  host::StartupInfo.SendDlgMessage = &EchoParam2;
  FarDialogItem item{};
  const long back = host::SendDlgMessagePtr(nullptr, DM_GETDLGITEM, 3, &item);
  EXPECT_EQ(host::Param2Ptr<FarDialogItem>(back), &item);
}

TEST(CaseWrappers, CharactersAbove127ReachTheHostUnsigned) {
  testhost::TestHost fake;
  // 866: 'а' 0xA0 / 'А' 0x80, 'я' 0xEF / 'Я' 0x9F, 'ё' 0xF1 / 'Ё' 0xF0.
  const struct {
    char lower;
    char upper;
  } pairs[] = {{'a', 'A'}, {'\xA0', '\x80'}, {'\xEF', '\x9F'}, {'\xF1', '\xF0'}};
  for (const auto& p : pairs) {
    EXPECT_EQ(host::LUpper(p.lower), p.upper);
    EXPECT_EQ(host::LLower(p.upper), p.lower);
    EXPECT_TRUE(host::LIsAlpha(p.upper));
    EXPECT_TRUE(host::LIsLower(p.lower));
    EXPECT_FALSE(host::LIsLower(p.upper));
  }
  EXPECT_FALSE(host::LIsAlpha('\xB0'));  // a box-drawing character
  EXPECT_EQ(host::LUpper('1'), '1');
}

char* WINAPI NoTempName(char*, const char*) { return nullptr; }
char* WINAPI TempName(char* dest, const char* prefix) {
  std::strcpy(dest, prefix != nullptr ? prefix : "");
  std::strcat(dest, "0001.tmp");
  return dest;
}
int WINAPI CountingProcessName(const char*, char*, DWORD) {
  static int calls = 0;
  return ++calls;
}

TEST(StandardFunctionWrappers, TempNamesAndNameMatching) {
  testhost::TestHost fake;
  host::StandardFunctions.MkTemp = &NoTempName;
  EXPECT_EQ(host::MkTemp(), "");
  host::StandardFunctions.MkTemp = &TempName;
  EXPECT_EQ(host::MkTemp("ID3"), "ID30001.tmp");

  host::StandardFunctions.ProcessName = &CountingProcessName;
  EXPECT_NE(host::ProcessName("*.mp3", "a.mp3", PN_CMPNAMELIST), 0);
  // Generating a name would write into a text the caller declared constant.
  EXPECT_EQ(host::ProcessName("*.mp3", "a.mp3", PN_GENERATENAME), 0);
}

// A path longer than any dialog item keeps its end, the file's name, when
// shortened for a title.
TEST(StandardFunctionWrappers, ATruncatedPathKeepsItsName) {
  testhost::TestHost fake;
  std::string path = "C:";
  while (path.size() < 700) path += "\\folder";
  path += "\\song.mp3";
  const std::string shown = host::TruncatedPath(path, 40);
  EXPECT_LE(shown.size(), 40u);
  EXPECT_EQ(shown.substr(shown.size() - 9), "\\song.mp3") << shown;
}

}  // namespace

// The built plug-in module as the host sees it: loaded from its file, the four
// exports found by name, started and asked to describe itself, with a host
// table whose every other service records an unexpected call.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "far/plugin_api.h"
#include "scenario_support.h"

namespace {

// ------------------------------------------------------------ the module

class Module {
 public:
  explicit Module(const std::string& path) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(path.c_str());
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  }
  ~Module() {
    if (handle_ == nullptr) return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  bool Loaded() const { return handle_ != nullptr; }
  void* Find(const char* name) const {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
  }

 private:
  void* handle_ = nullptr;
};

using scenario::ModulePath;

// The start-up reads the plug-in's settings: from a user key no one else uses
// (under Wine the real registry), and natively from a registry file of this
// test's own, which nothing creates, so every value is its default. The
// variables are put back afterwards for the other suites of this program.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value)
      : name_(name), old_(scenario::GetEnv(name)) {
    scenario::SetEnv(name, value);
  }
  ~ScopedEnv() { scenario::SetEnv(name_, old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

#if !defined(_WIN32)
std::string PrivateRegistryFile() {
  return (std::filesystem::temp_directory_path() /
          ("tagwright-load-test-" + std::to_string(getpid()) + ".reg"))
      .string();
}
#endif

// ------------------------------------------------------------ the host's side

int unexpectedCalls = 0;
int msgModuleNumber = -1;
constexpr int kModuleNumber = 0x5A;

const char* WINAPI GetMsg(int moduleNumber, int msgId) {
  msgModuleNumber = moduleNumber;
  return msgId == 0 ? "Tagwright" : "";
}

// A service the plug-in is not expected to call here: counts the call and
// returns a zero value.
template <typename F>
struct Unexpected;
template <typename R, typename... A>
struct Unexpected<R(WINAPI*)(A...)> {
  static R WINAPI Call(A...) {
    ++unexpectedCalls;
    return R();
  }
};
template <typename R, typename... A>
struct Unexpected<R(WINAPIV*)(A..., ...)> {
  static R WINAPIV Call(A..., ...) {
    ++unexpectedCalls;
    return R();
  }
};
// Takes the slot by value: a member of a packed host structure may sit at an
// address its type does not allow for a reference.
template <typename F>
F Refused(F) {
  return &Unexpected<F>::Call;
}

void FillHostTables(PluginStartupInfo* info, FarStandardFunctions* fsf,
                    const std::string& moduleName) {
  std::memset(static_cast<void*>(info), 0, sizeof *info);
  std::memset(static_cast<void*>(fsf), 0, sizeof *fsf);
  info->StructSize = static_cast<int>(sizeof *info);
  std::strncpy(info->ModuleName, moduleName.c_str(), NM - 1);
  info->ModuleNumber = kModuleNumber;
  info->RootKey = "Software\\Far\\Plugins";
  info->Menu = Refused(info->Menu);
  info->Dialog = Refused(info->Dialog);
  info->Message = Refused(info->Message);
  info->GetMsg = &GetMsg;
  info->Control = Refused(info->Control);
  info->SaveScreen = Refused(info->SaveScreen);
  info->RestoreScreen = Refused(info->RestoreScreen);
  info->GetDirList = Refused(info->GetDirList);
  info->GetPluginDirList = Refused(info->GetPluginDirList);
  info->FreeDirList = Refused(info->FreeDirList);
  info->Viewer = Refused(info->Viewer);
  info->Editor = Refused(info->Editor);
  info->CmpName = Refused(info->CmpName);
  info->CharTable = Refused(info->CharTable);
  info->Text = Refused(info->Text);
  info->EditorControl = Refused(info->EditorControl);
  info->FSF = fsf;
  info->ShowHelp = Refused(info->ShowHelp);
  info->AdvControl = Refused(info->AdvControl);
  info->InputBox = Refused(info->InputBox);
  info->DialogEx = Refused(info->DialogEx);
  info->SendDlgMessage = Refused(info->SendDlgMessage);
  info->DefDlgProc = Refused(info->DefDlgProc);
  info->ViewerControl = Refused(info->ViewerControl);

  fsf->StructSize = static_cast<int>(sizeof *fsf);
  fsf->atoi = Refused(fsf->atoi);
  fsf->atoi64 = Refused(fsf->atoi64);
  fsf->itoa = Refused(fsf->itoa);
  fsf->itoa64 = Refused(fsf->itoa64);
  fsf->sprintf = Refused(fsf->sprintf);
  fsf->sscanf = Refused(fsf->sscanf);
  fsf->qsort = Refused(fsf->qsort);
  fsf->bsearch = Refused(fsf->bsearch);
  fsf->qsortex = Refused(fsf->qsortex);
  fsf->LIsLower = Refused(fsf->LIsLower);
  fsf->LIsUpper = Refused(fsf->LIsUpper);
  fsf->LIsAlpha = Refused(fsf->LIsAlpha);
  fsf->LIsAlphanum = Refused(fsf->LIsAlphanum);
  fsf->LUpper = Refused(fsf->LUpper);
  fsf->LLower = Refused(fsf->LLower);
  fsf->LUpperBuf = Refused(fsf->LUpperBuf);
  fsf->LLowerBuf = Refused(fsf->LLowerBuf);
  fsf->LStrupr = Refused(fsf->LStrupr);
  fsf->LStrlwr = Refused(fsf->LStrlwr);
  fsf->LStricmp = Refused(fsf->LStricmp);
  fsf->LStrnicmp = Refused(fsf->LStrnicmp);
  fsf->Unquote = Refused(fsf->Unquote);
  fsf->ExpandEnvironmentStr = Refused(fsf->ExpandEnvironmentStr);
  fsf->LTrim = Refused(fsf->LTrim);
  fsf->RTrim = Refused(fsf->RTrim);
  fsf->Trim = Refused(fsf->Trim);
  fsf->TruncStr = Refused(fsf->TruncStr);
  fsf->TruncPathStr = Refused(fsf->TruncPathStr);
  fsf->QuoteSpaceOnly = Refused(fsf->QuoteSpaceOnly);
  fsf->PointToName = Refused(fsf->PointToName);
  fsf->GetPathRoot = Refused(fsf->GetPathRoot);
  fsf->AddEndSlash = Refused(fsf->AddEndSlash);
  fsf->CopyToClipboard = Refused(fsf->CopyToClipboard);
  fsf->PasteFromClipboard = Refused(fsf->PasteFromClipboard);
  fsf->FarKeyToName = Refused(fsf->FarKeyToName);
  fsf->FarNameToKey = Refused(fsf->FarNameToKey);
  fsf->FarInputRecordToKey = Refused(fsf->FarInputRecordToKey);
  fsf->XLat = Refused(fsf->XLat);
  fsf->GetFileOwner = Refused(fsf->GetFileOwner);
  fsf->GetNumberOfLinks = Refused(fsf->GetNumberOfLinks);
  fsf->FarRecursiveSearch = Refused(fsf->FarRecursiveSearch);
  fsf->MkTemp = Refused(fsf->MkTemp);
  fsf->DeleteBuffer = Refused(fsf->DeleteBuffer);
  fsf->ProcessName = Refused(fsf->ProcessName);
  fsf->MkLink = Refused(fsf->MkLink);
  fsf->ConvertNameToReal = Refused(fsf->ConvertNameToReal);
  fsf->GetReparsePointInfo = Refused(fsf->GetReparsePointInfo);
}

// ------------------------------------------------------------ tests

class LoadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    farUser_ = new ScopedEnv("FARUSER", "TagwrightLoadTest");
#if !defined(_WIN32)
    registry_ = new ScopedEnv("TAGWRIGHT_REGISTRY", PrivateRegistryFile());
#endif
    module_ = new Module(ModulePath());
  }
  static void TearDownTestSuite() {
    delete module_;
    delete registry_;
    delete farUser_;
    module_ = nullptr;
    registry_ = nullptr;
    farUser_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(module_->Loaded()) << "cannot load " << ModulePath();
    setStartupInfo_ = reinterpret_cast<FARPLUGINSETSTARTUPINFO>(module_->Find("SetStartupInfo"));
    getPluginInfo_ = reinterpret_cast<FARPLUGINGETPLUGININFO>(module_->Find("GetPluginInfo"));
    openPlugin_ = reinterpret_cast<FARPLUGINOPENPLUGIN>(module_->Find("OpenPlugin"));
    configure_ = reinterpret_cast<FARPLUGINCONFIGURE>(module_->Find("Configure"));
    unexpectedCalls = 0;
    msgModuleNumber = -1;
  }

  // Starts the plug-in as the host does: with temporary tables, which are
  // wrecked as soon as SetStartupInfo has returned.
  void StartPlugin() {
    PluginStartupInfo info;
    FarStandardFunctions fsf;
    FillHostTables(&info, &fsf, ModulePath());
    setStartupInfo_(&info);
    std::memset(static_cast<void*>(&info), 0xEE, sizeof info);
    std::memset(static_cast<void*>(&fsf), 0xEE, sizeof fsf);
  }

  static Module* module_;
  static ScopedEnv* farUser_;
  static ScopedEnv* registry_;
  FARPLUGINSETSTARTUPINFO setStartupInfo_ = nullptr;
  FARPLUGINGETPLUGININFO getPluginInfo_ = nullptr;
  FARPLUGINOPENPLUGIN openPlugin_ = nullptr;
  FARPLUGINCONFIGURE configure_ = nullptr;
};

Module* LoadTest::module_ = nullptr;
ScopedEnv* LoadTest::farUser_ = nullptr;
ScopedEnv* LoadTest::registry_ = nullptr;

TEST_F(LoadTest, ExportsTheFourEntryPointsByName) {
  EXPECT_NE(setStartupInfo_, nullptr);
  EXPECT_NE(getPluginInfo_, nullptr);
  EXPECT_NE(openPlugin_, nullptr);
  EXPECT_NE(configure_, nullptr);
}

TEST_F(LoadTest, ExportsNothingElse) {
#if defined(_WIN32)
  // Only the plain names: no stdcall-decorated aliases beside them.
  EXPECT_EQ(module_->Find("SetStartupInfo@4"), nullptr);
  EXPECT_EQ(module_->Find("_SetStartupInfo@4"), nullptr);
  EXPECT_EQ(module_->Find("OpenPlugin@8"), nullptr);
#endif
  // The plug-in's own code, linked in from its static libraries, stays inside.
  EXPECT_EQ(module_->Find("_ZN4host11StartupInfoE"), nullptr);  // host::StartupInfo
  EXPECT_EQ(module_->Find("_ZN4host6GetMsgEi"), nullptr);       // host::GetMsg(int)
}

TEST_F(LoadTest, DescribesItselfAfterStartingFromTemporaryTables) {
  ASSERT_NE(setStartupInfo_, nullptr);
  ASSERT_NE(getPluginInfo_, nullptr);
  StartPlugin();

  PluginInfo info;
  std::memset(static_cast<void*>(&info), 0, sizeof info);
  getPluginInfo_(&info);
  EXPECT_EQ(info.StructSize, static_cast<int>(sizeof(PluginInfo)));
#if defined(_WIN32) && !defined(_WIN64)
  EXPECT_EQ(info.StructSize, 44);
#endif
  ASSERT_EQ(info.PluginMenuStringsNumber, 1);
  ASSERT_EQ(info.PluginConfigStringsNumber, 1);
  ASSERT_NE(info.PluginMenuStrings, nullptr);
  ASSERT_NE(info.PluginConfigStrings, nullptr);
  EXPECT_STREQ(info.PluginMenuStrings[0], "Tagwright");
  EXPECT_STREQ(info.PluginConfigStrings[0], "Tagwright");
  EXPECT_STREQ(info.CommandPrefix, "id3");
  EXPECT_EQ(info.Flags, 0u);
  EXPECT_EQ(info.DiskMenuStringsNumber, 0);
  EXPECT_EQ(msgModuleNumber, kModuleNumber);
  EXPECT_EQ(unexpectedCalls, 0);
}

TEST_F(LoadTest, OpeningFromPlacesItDoesNotServeDoesNothing) {
  ASSERT_NE(openPlugin_, nullptr);
  StartPlugin();
  const int places[] = {OPEN_DISKMENU, OPEN_FINDLIST, OPEN_SHORTCUT, OPEN_EDITOR, OPEN_VIEWER, 99};
  for (int from : places) {
    EXPECT_EQ(openPlugin_(from, 0), INVALID_HANDLE_VALUE) << "OpenFrom " << from;
  }
  EXPECT_EQ(unexpectedCalls, 0);
}

}  // namespace

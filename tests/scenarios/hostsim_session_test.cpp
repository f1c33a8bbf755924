// The real plug-in module driven through the host stand-in: loaded with its
// language files, started, described, invoked from a script; and language
// files that are damaged stop the loading with a clear error.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/loader.h"
#include "scenario_support.h"
#include "sys/sys.h"

namespace {

using scenario::ModulePath;

class Session : public scenario::SandboxTest {
 protected:
  Session() : SandboxTest("hostsim-session") {}

  // Runs `script` against the module from its start; true when it passed.
  bool Play(hostsim::PluginModule& module, const std::string& script) {
    return RunScript(&module, script);
  }

  void WriteFile(const std::string& path, const std::string& content) {
    sys::File f;
    ASSERT_TRUE(f.Open(path, sys::OpenMode::CreateAlways)) << path;
    ASSERT_TRUE(f.Write(content.data(), content.size()));
    ASSERT_TRUE(f.Close());
  }

  // Loads and starts the module for the current host.
  void Start(hostsim::PluginModule& module, const char* language = "English") {
    std::string error;
    ASSERT_TRUE(module.Load(ModulePath(), language, &error)) << error;
    module.SetStartupInfo();
  }
};

TEST_F(Session, LoadsStartsAndDescribesThePlugin) {
  hostsim::PluginModule module;
  std::string error;
  ASSERT_TRUE(module.Load(ModulePath(), "English", &error)) << error;
  EXPECT_EQ(module.languageName(), "English");
  module.SetStartupInfo();
  hostsim::PluginInfoCopy info;
  ASSERT_TRUE(module.GetPluginInfo(&info));
  EXPECT_EQ(info.menuStrings, std::vector<std::string>{"Tagwright"});
  EXPECT_EQ(info.configStrings, std::vector<std::string>{"Tagwright"});
  EXPECT_EQ(info.commandPrefix, "id3");
  EXPECT_TRUE(module.HasOpenPlugin());
  EXPECT_TRUE(module.HasConfigure());
  EXPECT_FALSE(host_->failed()) << host_->failure();
}

TEST_F(Session, TheRussianLanguageFileIsChosenByName) {
  hostsim::PluginModule module;
  std::string error;
  ASSERT_TRUE(module.Load(ModulePath(), "russian", &error)) << error;
  EXPECT_EQ(module.languageName(), "Russian");
  module.SetStartupInfo();
  hostsim::PluginInfoCopy info;
  ASSERT_TRUE(module.GetPluginInfo(&info));
  ASSERT_EQ(info.menuStrings.size(), 1u);
  EXPECT_STREQ(host_->Message(0, 0), info.menuStrings[0].c_str());
}

TEST_F(Session, AScriptInvokesTheEntryPoints) {
  ASSERT_TRUE(sys::CreateFolder(hostsim::JoinPath(dir_, "music")));
  WriteFile(hostsim::JoinPath(dir_, scenario::Sep("music\\a.mp3")), "not audio");
  hostsim::PluginModule module;
  Start(module);
  // A command line naming a file that is not there finds nothing to do.
  EXPECT_TRUE(Play(module,
                   "panel music\n"
                   "invoke info\n"
                   "invoke command \"id3:nothing-here.mp3\"\n"
                   "expect-selected none\n"
                   "expect-end\n"))
      << host_->failure();
  std::string t = host_->transcript().Text();
  EXPECT_NE(t.find("panel <panel>: 2 items, selected (none), cursor \"a.mp3\""), std::string::npos)
      << t;
  EXPECT_NE(t.find("== invoke command \"id3:nothing-here.mp3\"\n"), std::string::npos) << t;
  EXPECT_NE(t.find("OpenPlugin returned INVALID_HANDLE_VALUE"), std::string::npos) << t;
}

TEST_F(Session, AnUnknownCommandPrefixIsAMismatch) {
  hostsim::PluginModule module;
  std::string error;
  ASSERT_TRUE(module.Load(ModulePath(), "English", &error)) << error;
  module.SetStartupInfo();
  EXPECT_FALSE(Play(module, "invoke command \"mp3:x.mp3\"\n"));
  EXPECT_NE(host_->failure().find("line 1: the plug-in has no command prefix \"mp3\" (its prefixes: \"id3\")"),
            std::string::npos)
      << host_->failure();
}

TEST_F(Session, ConfigureOpensItsDialogAndEscWritesNothing) {
  {
    hostsim::PluginModule probe;
    Start(probe);
    // Until the configuration dialog exists Configure returns at once.
    if (Play(probe, "invoke configure\n")) GTEST_SKIP() << "Configure shows no dialog yet";
    ASSERT_NE(host_->failure().find("the dialog \"Id3Config\" is open"), std::string::npos)
        << host_->failure();
  }
  host_.reset();
  host_ = std::make_unique<hostsim::Host>();
  hostsim::PluginModule module;
  Start(module);
  EXPECT_TRUE(Play(module,
                   "invoke configure\n"
                   "dialog \"Id3Config\" set \"Process files matching\" \"*.mp2\"\n"
                   "dialog \"Id3Config\" esc\n"
                   "expect-end\n"))
      << host_->failure();
  std::string t = host_->transcript().Text();
  EXPECT_NE(t.find("dialog \"Id3Config\" closed with Esc"), std::string::npos) << t;
  EXPECT_NE(t.find("Configure returned 1"), std::string::npos) << t;
  // Cancelled: nothing was written.
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(sys::CurrentUserKey(), KeyPath("ConfigDialog").c_str(), sys::kKeyRead,
                        &key) == 0) {
    uint32_t type = 0, size = 0;
    EXPECT_NE(sys::RegQueryValueEx(key, "ProcessExt", &type, nullptr, &size), 0);
    sys::RegCloseKey(key);
  }
}

class DamagedLanguage : public Session {
 protected:
  // A copy of the module in a folder with the given language files.
  std::string Module(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string folder = hostsim::JoinPath(dir_, "module");
    EXPECT_TRUE(sys::CreateFolder(folder));
    std::string name = ModulePath().substr(ModulePath().find_last_of("\\/") + 1);
    std::string copy = hostsim::JoinPath(folder, name);
    std::error_code ec;
    std::filesystem::copy_file(hostsim::NativePath(ModulePath()), hostsim::NativePath(copy), ec);
    EXPECT_FALSE(ec) << ec.message();
    for (const auto& [file, content] : files) WriteFile(hostsim::JoinPath(folder, file), content);
    return copy;
  }
  std::string LoadError(const std::string& path) {
    hostsim::PluginModule module;
    std::string error;
    EXPECT_FALSE(module.Load(path, "English", &error));
    EXPECT_FALSE(module.loaded());
    return error;
  }
};

TEST_F(DamagedLanguage, AMessageWithoutItsQuoteStopsTheLoad) {
  std::string path = Module({{"Eng.lng", ".Language=English,English\n\"Tagwright\"\n\"Two\"\n"},
                             {"Rus.lng", ".Language=Russian,Russian\n\"Tagwright\"\nTwo\"\n"}});
  std::string error = LoadError(path);
  EXPECT_NE(error.find("Rus.lng:3: neither a message in double quotes"), std::string::npos) << error;
}

TEST_F(DamagedLanguage, AMissingMessageStopsTheLoad) {
  std::string path = Module({{"Eng.lng", ".Language=English,English\n\"Tagwright\"\n\"Two\"\n"},
                             {"Rus.lng", ".Language=Russian,Russian\n\"Tagwright\"\n"}});
  std::string error = LoadError(path);
  EXPECT_NE(error.find("a message is missing"), std::string::npos) << error;
}

TEST_F(DamagedLanguage, NoLanguageFileStopsTheLoad) {
  std::string error = LoadError(Module({}));
  EXPECT_NE(error.find("no language file (.lng) beside the module"), std::string::npos) << error;
}

}  // namespace

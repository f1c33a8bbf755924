// A fixture for scenarios through the plug-in's four exports: a folder, a
// registry and a FARUSER of the test's own (under Wine the real registry, in
// a user key that the test deletes afterwards), the real module loaded into
// the host stand-in, and small helpers to make MPEG files, read the
// registry and look at the transcript.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <stdlib.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/loader.h"
#include "hostsim/script.h"
#include "sys/sys.h"

namespace scenario {

inline std::string ModulePath() {
#if defined(_WIN32)
  std::string path = std::string(TAGWRIGHT_PLUGIN_DIR) + "/tagwright.dll";
  // Under Wine the build folder is a Unix path: its drive is Z:.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
#else
  return std::string(TAGWRIGHT_PLUGIN_DIR) + "/libtagwright.so";
#endif
}

inline void SetEnv(const char* name, const std::optional<std::string>& value) {
#if defined(_WIN32)
  SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
#else
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
#endif
}

inline std::optional<std::string> GetEnv(const char* name) {
  std::string value;
  if (!sys::GetEnv(name, &value)) return std::nullopt;
  return value;
}

inline int Pid() {
#if defined(_WIN32)
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(getpid());
#endif
}

inline void DeleteRegistryTree(sys::RegKey parent, const std::string& path) {
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(parent, path.c_str(), sys::kKeyRead | sys::kKeyWrite, &key) != 0) return;
  for (int guard = 0; guard < 10000; ++guard) {
    char name[256];
    uint32_t size = sizeof(name);
    if (sys::RegEnumKeyEx(key, 0, name, &size) != 0) break;
    DeleteRegistryTree(key, name);
  }
  sys::RegCloseKey(key);
  sys::RegDeleteKey(parent, path.c_str());
}

// A stored registry value: its type and its data as bytes.
struct RegValue {
  uint32_t type = 0;
  std::string data;
  bool operator==(const RegValue&) const = default;
};

inline std::optional<RegValue> ReadRegistry(const std::string& path, const std::string& name) {
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyRead, &key) != 0) {
    return std::nullopt;
  }
  RegValue value;
  uint32_t size = 0;
  std::optional<RegValue> result;
  if (sys::RegQueryValueEx(key, name.c_str(), &value.type, nullptr, &size) == 0) {
    value.data.resize(size);
    if (sys::RegQueryValueEx(key, name.c_str(), &value.type,
                             reinterpret_cast<uint8_t*>(value.data.data()), &size) == 0) {
      value.data.resize(size);
      result = value;
    }
  }
  sys::RegCloseKey(key);
  return result;
}

inline bool WriteRegistry(const std::string& path, const std::string& name,
                          const std::string& text) {
  sys::RegKey key = nullptr;
  if (sys::RegCreateKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyWrite, &key) != 0) {
    return false;
  }
  const bool ok = sys::RegSetValueEx(key, name.c_str(), sys::kRegSz,
                                     reinterpret_cast<const uint8_t*>(text.c_str()),
                                     static_cast<uint32_t>(text.size() + 1)) == 0;
  sys::RegCloseKey(key);
  return ok;
}

// REG_SZ as the plug-in writes it: the text and its zero, or no data at all.
inline RegValue Sz(const std::string& text) {
  return RegValue{sys::kRegSz, text.empty() ? std::string() : text + '\0'};
}

// Half a second of MPEG 1 Layer III at 128 kbit/s, 44.1 kHz: twenty frames of
// 417 bytes, each header followed by silence.
inline std::string Mp3Audio() {
  std::string frame(417, '\0');
  frame[0] = '\xFF';
  frame[1] = '\xFB';
  frame[2] = '\x90';
  frame[3] = '\x64';
  std::string audio;
  for (int i = 0; i < 20; ++i) audio += frame;
  return audio;
}

// `text` as one quoted word of a script: backslashes and quotes escaped.
inline std::string ScriptWord(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

class PluginScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    // Process ids repeat under Wine: the time and a serial make the name new.
    static int serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      user_ = "tagwright-scenario-" + std::to_string(Pid()) + "-" +
              std::to_string(std::time(nullptr) % 100000) + "-" + std::to_string(++serial);
      dir_ = hostsim::TemporaryFolder() + user_;
      if (sys::CreateFolder(dir_)) break;
    }
    ASSERT_TRUE(sys::IsFolder(dir_)) << dir_;
    savedRegistry_ = GetEnv("TAGWRIGHT_REGISTRY");
    savedUser_ = GetEnv("FARUSER");
    SetEnv("TAGWRIGHT_REGISTRY", hostsim::JoinPath(dir_, "registry.reg"));
    SetEnv("FARUSER", user_);
    host_ = std::make_unique<hostsim::Host>();
  }

  void TearDown() override {
    module_.reset();
    host_.reset();
    // A script's panel made its folder the current one; Windows does not
    // delete a folder that is some process's current folder.
    hostsim::ChangeFolder(hostsim::TemporaryFolder());
    SetEnv("TAGWRIGHT_REGISTRY", savedRegistry_);
    SetEnv("FARUSER", savedUser_);
    DeleteRegistryTree(sys::CurrentUserKey(), "Software\\Far\\Users\\" + user_);
    std::error_code ec;
    std::filesystem::remove_all(hostsim::NativePath(dir_), ec);
  }

  // Loads and starts the module (SetStartupInfo, GetPluginInfo).
  hostsim::PluginModule& Start(const char* language = "English") {
    module_ = std::make_unique<hostsim::PluginModule>();
    std::string error;
    EXPECT_TRUE(module_->Load(ModulePath(), language, &error)) << error;
    module_->SetStartupInfo();
    hostsim::PluginInfoCopy info;
    module_->GetPluginInfo(&info);
    return *module_;
  }

  // Plays `script` from the current state of the host; the transcript of
  // this run is kept in `output_`. True when it passed.
  bool Play(const std::string& script, hostsim::ScriptDriver* driver = nullptr) {
    std::vector<hostsim::Step> steps;
    std::string error;
    EXPECT_TRUE(hostsim::ParseScript(script, &steps, &error)) << error;
    const size_t from = host_->transcript().size();
    std::unique_ptr<hostsim::ScriptDriver> own;
    if (driver == nullptr) {
      own = std::make_unique<hostsim::ScriptDriver>(*host_, module_.get(), steps, dir_);
      driver = own.get();
    }
    host_->SetDriver(driver);
    const bool ok = driver->Run();
    host_->SetDriver(nullptr);
    output_ = host_->transcript().Text(from);
    return ok;
  }

  std::string Path(const std::string& relative) const { return hostsim::JoinPath(dir_, relative); }

  void WriteFile(const std::string& relative, const std::string& content) {
    ASSERT_TRUE(hostsim::WriteWholeFile(Path(relative), content)) << relative;
  }
  void MakeFolder(const std::string& relative) {
    ASSERT_TRUE(sys::CreateFolder(Path(relative))) << relative;
  }
  std::optional<std::string> ReadFile(const std::string& relative) const {
    std::string content;
    if (!hostsim::ReadWholeFile(Path(relative), &content)) return std::nullopt;
    return content;
  }

  // The plug-in's registry key for this test's FARUSER.
  std::string KeyPath(const std::string& subkey) const {
    return "Software\\Far\\Users\\" + user_ + "\\Plugins\\Tagwright" +
           (subkey.empty() ? "" : "\\" + subkey);
  }

  // The full cells of every progress bar in `text`, in order.
  static std::vector<int> Bars(const std::string& text) {
    const std::string full = "\xE2\x96\x88";   // U+2588, byte 0xDB in code pages 437 and 866
    const std::string empty = "\xE2\x96\x91";  // U+2591, byte 0xB0
    std::vector<int> bars;
    size_t at = 0;
    while ((at = text.find("\n  \"", at)) != std::string::npos) {
      at += 4;
      const size_t end = text.find('"', at);
      if (end == std::string::npos) break;
      const std::string line = text.substr(at, end - at);
      int fulls = 0, empties = 0;
      size_t i = 0;
      for (; i + 3 <= line.size(); i += 3) {
        if (line.compare(i, 3, full) == 0) {
          ++fulls;
        } else if (line.compare(i, 3, empty) == 0) {
          ++empties;
        } else {
          break;
        }
      }
      if (i == line.size() && fulls + empties == 43) bars.push_back(fulls);
    }
    return bars;
  }

  std::unique_ptr<hostsim::Host> host_;
  std::unique_ptr<hostsim::PluginModule> module_;
  std::string dir_;
  std::string user_;
  std::string output_;
  std::optional<std::string> savedRegistry_, savedUser_;
};

}  // namespace scenario

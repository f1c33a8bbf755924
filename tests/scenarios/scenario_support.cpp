// windows.h comes before sys.h, which takes back the names it maps.
#if defined(_WIN32)
#include <windows.h>
#else
#include <stdlib.h>
#include <unistd.h>
#endif

#include "scenario_support.h"

#include <cstring>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <vector>

#include "hostsim/fs.h"

namespace scenario {

namespace {

int Pid() {
#if defined(_WIN32)
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(getpid());
#endif
}

}  // namespace

std::string ListText(std::string text) {
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) {
    text.replace(at, 2, sys::kLineEnd);
    at += std::strlen(sys::kLineEnd);
  }
  return text;
}

std::string ModulePath() {
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

void SetEnv(const char* name, const std::optional<std::string>& value) {
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

std::optional<std::string> GetEnv(const char* name) {
  std::string value;
  if (!sys::GetEnv(name, &value)) return std::nullopt;
  return value;
}

void DeleteRegistryTree(sys::RegKey parent, const std::string& path) {
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

std::optional<RegValue> ReadRegistry(const std::string& path, const std::string& name) {
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

bool WriteRegistry(const std::string& path, const std::string& name, const std::string& text) {
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

RegValue Sz(const std::string& text) {
  return RegValue{sys::kRegSz, text.empty() ? std::string() : text + '\0'};
}

std::string Sep(std::string text) {
  std::replace(text.begin(), text.end(), '\\', sys::kPathSeparator);
  return text;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

void SandboxTest::SetUp() {
  // Process ids repeat under Wine: the time and a serial make the name new.
  static int serial = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    user_ = prefix_ + "-" + std::to_string(Pid()) + "-" +
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

void SandboxTest::TearDown() {
  host_.reset();
  // A script's panel made its folder the current one; Windows does not
  // delete a folder that is some process's current folder.
  hostsim::ChangeFolder(hostsim::TemporaryFolder());
  SetEnv("TAGWRIGHT_REGISTRY", savedRegistry_);
  SetEnv("FARUSER", savedUser_);
  // Under Windows the real registry: the user's branch this test made, if any.
  DeleteRegistryTree(sys::CurrentUserKey(), "Software\\Far\\Users\\" + user_);
  std::error_code ec;
  std::filesystem::remove_all(hostsim::NativePath(dir_), ec);
}

bool SandboxTest::RunScript(hostsim::PluginModule* module, const std::string& script,
                            hostsim::ScriptDriver* driver) {
  std::vector<hostsim::Step> steps;
  std::string error;
  if (!hostsim::ParseScript(script, &steps, &error)) {
    ADD_FAILURE() << error;
    return false;
  }
  std::unique_ptr<hostsim::ScriptDriver> own;
  if (driver == nullptr) {
    own = std::make_unique<hostsim::ScriptDriver>(*host_, module, steps, dir_);
    driver = own.get();
  }
  host_->SetDriver(driver);
  const bool ok = driver->Run();
  host_->SetDriver(nullptr);
  return ok;
}

std::string SandboxTest::Path(const std::string& relative) const {
  std::string path = hostsim::JoinPath(dir_, relative);
  std::replace(path.begin() + static_cast<std::ptrdiff_t>(dir_.size()), path.end(), '\\',
               sys::kPathSeparator);
  return path;
}

void SandboxTest::MakeFolder(const std::string& relative) {
  ASSERT_TRUE(sys::CreateFolder(Path(relative))) << relative;
}

std::optional<std::string> SandboxTest::ReadFile(const std::string& relative) const {
  std::string content;
  if (!hostsim::ReadWholeFile(Path(relative), &content)) return std::nullopt;
  return content;
}

std::string SandboxTest::KeyPath(const std::string& subkey) const {
  return "Software\\Far\\Users\\" + user_ + "\\Plugins\\Tagwright" +
         (subkey.empty() ? "" : "\\" + subkey);
}

}  // namespace scenario

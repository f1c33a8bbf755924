#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "settings_sandbox.h"

#include <cstdlib>
#include <filesystem>

#include "host/plugin_state.h"
#include "host/settings.h"
#include "sys/sys.h"

namespace settingstest {

namespace {

unsigned long ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace

std::optional<std::string> GetEnvironment(const char* name) {
  std::string value;
  if (!sys::GetEnv(name, &value)) return std::nullopt;
  return value;
}

void SetEnvironment(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
#else
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
#endif
  // The code pages follow TAGWRIGHT_CODEPAGES and the locale variables.
  sys::RereadCodePages();
}

RawValue Raw(uint32_t type, const std::string& data) {
  return RawValue{type, std::vector<uint8_t>(data.begin(), data.end())};
}

RawValue Sz(const std::string& text, bool terminated) {
  return Raw(sys::kRegSz, terminated ? text + '\0' : text);
}

SettingsSandbox::SettingsSandbox() {
  savedUserKey_ = host::UserKey;
  host::UserKey.clear();
  titles_.push_back(Unique("Tagwright"));
  host_.SetMessage(0, titles_[0]);
#ifndef _WIN32
  savedRegistry_ = GetEnvironment("TAGWRIGHT_REGISTRY");
  folder_ = (std::filesystem::temp_directory_path() / Unique("tagwright-settings")).string();
  std::filesystem::create_directories(folder_);
  SetEnvironment("TAGWRIGHT_REGISTRY", folder_ + "/registry.reg");
#endif
}

SettingsSandbox::~SettingsSandbox() {
  const sys::RegKey root = sys::CurrentUserKey();
  for (const std::string& title : titles_) host::DeleteKey(root, "Software\\Far\\Plugins\\" + title);
  for (const std::string& user : users_) host::DeleteKey(root, "Software\\Far\\Users\\" + user);
  host::UserKey = savedUserKey_;
#ifndef _WIN32
  SetEnvironment("TAGWRIGHT_REGISTRY", savedRegistry_);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
#endif
}

std::string SettingsSandbox::Unique(const char* base) {
  static int serial = 0;
  return std::string(base) + "-" + std::to_string(ProcessId()) + "-" + std::to_string(++serial);
}

std::string SettingsSandbox::OtherTitle() {
  titles_.push_back(Unique("Tagwright"));
  return titles_.back();
}

std::string SettingsSandbox::User() {
  users_.push_back(Unique("tester"));
  return users_.back();
}

std::optional<RawValue> SettingsSandbox::Get(const std::string& path, const std::string& name) {
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyRead, &key) != 0) {
    return std::nullopt;
  }
  RawValue value;
  uint32_t size = 0;
  long status = sys::RegQueryValueEx(key, name.c_str(), &value.type, nullptr, &size);
  if (status == 0) {
    value.data.resize(size);
    status = sys::RegQueryValueEx(key, name.c_str(), &value.type, value.data.data(), &size);
  }
  sys::RegCloseKey(key);
  if (status != 0) return std::nullopt;
  return value;
}

bool SettingsSandbox::Set(const std::string& path, const std::string& name,
                          const RawValue& value) {
  sys::RegKey key = nullptr;
  if (sys::RegCreateKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyWrite, &key) != 0) {
    return false;
  }
  const long status = sys::RegSetValueEx(key, name.c_str(), value.type, value.data.data(),
                                         static_cast<uint32_t>(value.data.size()));
  sys::RegCloseKey(key);
  return status == 0;
}

bool SettingsSandbox::KeyExists(const std::string& path) {
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyRead, &key) != 0) {
    return false;
  }
  sys::RegCloseKey(key);
  return true;
}

}  // namespace settingstest

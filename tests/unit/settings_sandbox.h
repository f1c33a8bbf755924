// A settings store of its own for one test. Natively a registry file in a
// fresh folder (TAGWRIGHT_REGISTRY); on Windows the real registry, under a
// plug-in title and FARUSER names that no other test or run uses. The keys it
// hands out are deleted at the end, and the environment is put back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "test_host.h"

namespace settingstest {

// The value of an environment variable, or nothing when it is not set.
std::optional<std::string> GetEnvironment(const char* name);
// Sets (or, with nothing, removes) a variable as GetEnvironmentVariableA sees it.
void SetEnvironment(const char* name, const std::optional<std::string>& value);

struct RawValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  bool operator==(const RawValue&) const = default;
};

// Data of any type from the bytes of `data`.
RawValue Raw(uint32_t type, const std::string& data);
// REG_SZ data: the text's bytes, with its terminating zero when `terminated`.
RawValue Sz(const std::string& text, bool terminated = true);

class SettingsSandbox {
 public:
  SettingsSandbox();
  ~SettingsSandbox();
  SettingsSandbox(const SettingsSandbox&) = delete;
  SettingsSandbox& operator=(const SettingsSandbox&) = delete;

  testhost::TestHost& Host() { return host_; }
  // The plug-in's title (message 0) in this sandbox, and another one.
  const std::string& Title() const { return titles_[0]; }
  std::string OtherTitle();
  // A FARUSER value that names a key of this sandbox.
  std::string User();

  // The registry as it is, below HKEY_CURRENT_USER, without the settings store.
  static std::optional<RawValue> Get(const std::string& path, const std::string& name);
  static bool Set(const std::string& path, const std::string& name, const RawValue& value);
  static bool KeyExists(const std::string& path);

 private:
  std::string Unique(const char* base);

  testhost::TestHost host_;
  std::string savedUserKey_;
  std::optional<std::string> savedRegistry_;
  std::string folder_;  // natively: the folder of the registry file
  std::vector<std::string> titles_;
  std::vector<std::string> users_;
};

}  // namespace settingstest

// Shared by the stand-in's tests: a temporary folder, the service tables, and
// a script driver that answers the interactions a test starts itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "far/plugin_api.h"
#include "hostsim/fs.h"
#include "hostsim/host.h"
#include "hostsim/script.h"
#include "hostsim/services.h"
#include "sys/sys.h"

namespace hostsim_test {

// A fresh folder below the temporary folder, removed with its content.
class TempFolder {
 public:
  TempFolder() {
    static int serial = 0;
    std::string base = hostsim::TemporaryFolder();
    for (int attempt = 0; attempt < 1000; ++attempt) {
      path_ = base + "hostsim-test-" + std::to_string(std::time(nullptr) % 100000) + "-" +
              std::to_string(++serial);
      if (sys::CreateFolder(path_)) return;
    }
    ADD_FAILURE() << "cannot create a temporary folder below " << base;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(hostsim::NativePath(path_), ec);
  }
  const std::string& path() const { return path_; }
  // `name` may separate folders with '\': each becomes the system's separator.
  std::string operator/(std::string name) const {
    for (char& c : name)
      if (c == '\\') c = sys::kPathSeparator;
    return hostsim::JoinPath(path_, name);
  }

  void File(const std::string& name, const std::string& content = "") const {
    std::string full = *this / name;
    sys::File f;
    ASSERT_TRUE(f.Open(full, sys::OpenMode::CreateAlways)) << full;
    ASSERT_TRUE(f.Write(content.data(), content.size()));
    ASSERT_TRUE(f.Close());
  }
  void Folder(const std::string& name) const { ASSERT_TRUE(sys::CreateFolder(*this / name)); }

 private:
  std::string path_;
};

// The service tables as a plug-in would get them.
struct Services {
  PluginStartupInfo psi;
  FarStandardFunctions fsf;
  Services() { hostsim::FillStartupInfo(&psi, &fsf, "test-module", 0); }
};

// A host with a script driver for the interactions the test starts itself.
class ScriptedHost {
 public:
  explicit ScriptedHost(const std::string& script = "") { Expect(script); }
  ~ScriptedHost() { host.SetDriver(nullptr); }

  // Replaces the queue of expected interactions.
  void Expect(const std::string& script) {
    std::vector<hostsim::Step> steps;
    std::string error;
    if (!hostsim::ParseScript(script, &steps, &error)) ADD_FAILURE() << "script: " << error;
    host.SetDriver(nullptr);
    driver = std::make_unique<hostsim::ScriptDriver>(host, nullptr, steps, ".");
    host.SetDriver(driver.get());
  }
  std::string Transcript() { return host.transcript().Text(); }

  hostsim::Host host;
  Services services;
  std::unique_ptr<hostsim::ScriptDriver> driver;
};

// The host's text is UTF-8 for the life of the object, as in a UTF-8 locale
// (TAGWRIGHT_HOST_TEXT=utf8); the run's own setting comes back afterwards.
// On Windows the host's text is OEM whatever the environment says: a test
// that needs UTF-8 skips when `active()` is false.
class Utf8HostText {
 public:
  Utf8HostText() {
    std::string value;
    if (sys::GetEnv(kVariable, &value)) saved_ = value;
    Set("utf8");
  }
  ~Utf8HostText() { Set(saved_); }
  Utf8HostText(const Utf8HostText&) = delete;
  Utf8HostText& operator=(const Utf8HostText&) = delete;

  bool active() const { return sys::HostTextIsUtf8(); }

 private:
  static constexpr const char* kVariable = "TAGWRIGHT_HOST_TEXT";
  static void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(kVariable, value ? value->c_str() : "");
#else
    if (value) {
      setenv(kVariable, value->c_str(), 1);
    } else {
      unsetenv(kVariable);
    }
#endif
    sys::RereadCodePages();
  }

  std::optional<std::string> saved_;
};

}  // namespace hostsim_test

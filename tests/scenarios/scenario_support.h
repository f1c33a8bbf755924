// What every scenario shares: where the built plug-in module is, the process
// environment, the registry below the current user, and a sandbox fixture: a
// folder, a registry file and a FARUSER of the test's own (under Wine the real
// registry, in a user key that the test deletes afterwards) with a host
// stand-in to run scripts in.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "hostsim/host.h"
#include "hostsim/loader.h"
#include "hostsim/script.h"
#include "sys/sys.h"

namespace scenario {

// The plug-in module this build made (under Wine a Windows path on drive Z:).
std::string ModulePath();

// A list file's expected text, in which "\r\n" stands for the end of a line
// as the plug-in writes it on this system.
std::string ListText(std::string text);

// Sets the variable, or removes it when `value` is empty.
void SetEnv(const char* name, const std::optional<std::string>& value);
std::optional<std::string> GetEnv(const char* name);

// Deletes `path` below `parent` with every key below it.
void DeleteRegistryTree(sys::RegKey parent, const std::string& path);

// A stored registry value: its type and its data as bytes.
struct RegValue {
  uint32_t type = 0;
  std::string data;
  bool operator==(const RegValue&) const = default;
};

// The value `name` of the key `path` below the current user's key.
std::optional<RegValue> ReadRegistry(const std::string& path, const std::string& name);
// Stores `text` as REG_SZ (with its zero), creating the key when needed.
bool WriteRegistry(const std::string& path, const std::string& name, const std::string& text);

// REG_SZ as the plug-in writes it: the text and its zero, or no data at all.
RegValue Sz(const std::string& text);

// `text` as one quoted word of a script: backslashes and quotes escaped, so
// that a Windows path keeps "\root" and "\temp" as they are.
std::string Quoted(const std::string& text);

// `text` with each '\' made the system's separator: a path or a template as a
// user of this system writes it (on Windows `text` itself).
std::string Sep(std::string text);

class SandboxTest : public ::testing::Test {
 protected:
  // `prefix` starts the FARUSER and folder names, which tell the suites apart.
  explicit SandboxTest(std::string prefix) : prefix_(std::move(prefix)) {}

  // Makes the folder, points TAGWRIGHT_REGISTRY and FARUSER at this test's
  // own, and creates the host.
  void SetUp() override;
  // Destroys the host, puts the variables back, deletes the user's registry
  // branch and the folder. A fixture that holds a module releases it first.
  void TearDown() override;

  // Plays `script` against `module` with `driver`, or with a driver made for
  // the script when none is given. True when every line passed.
  bool RunScript(hostsim::PluginModule* module, const std::string& script,
                 hostsim::ScriptDriver* driver = nullptr);

  // `relative` below the test's folder, OEM; each '\' of `relative` becomes the
  // system's separator.
  std::string Path(const std::string& relative) const;
  void MakeFolder(const std::string& relative);
  std::optional<std::string> ReadFile(const std::string& relative) const;

  // The plug-in's registry key for this test's FARUSER, or a key below it.
  std::string KeyPath(const std::string& subkey) const;

  std::unique_ptr<hostsim::Host> host_;
  std::string dir_;   // OEM, no trailing separator
  std::string user_;  // FARUSER

 private:
  std::string prefix_;
  std::optional<std::string> savedRegistry_, savedUser_;
};

}  // namespace scenario

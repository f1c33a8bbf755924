// A scene for the batch operations driven through the real plug-in module: a
// folder, a registry branch and a FARUSER of the test's own, MP3 files made
// here (a few valid MPEG frames, tags written by our tags module), and direct
// looks into the registry below the plug-in's key.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "hostsim/loader.h"
#include "scenario_support.h"

namespace scenario {

struct Tags {
  std::string title, artist, album;
  bool v1 = true;  // an ID3v1 tag
  bool v2 = true;  // an ID3v2 tag with the same texts
};

class BatchScenario : public SandboxTest {
 protected:
  BatchScenario() : SandboxTest("batch") {}
  void TearDown() override;

  // Loads the module (English unless told) and calls SetStartupInfo.
  void Start(const char* language = "English");
  // Plays `script` (UTF-8) from the test's folder; true when every line passed.
  bool Play(const std::string& script);
  // The transcript of everything played so far (UTF-8, folders as <panel>).
  std::string Transcript() const;

  // An MP3 file of a few frames of silence with the given tags (bytes as
  // they stand: the code page is the caller's).
  void MakeMp3(const std::string& relative, const Tags& tags);
  bool Exists(const std::string& relative) const;

  // Values below the plug-in's key ("Software\Far\Users\<user>\Plugins\Tagwright").
  std::optional<std::string> RegValue(const std::string& subkey, const std::string& name) const;
  void SetRegValue(const std::string& subkey, const std::string& name, const std::string& text);
  bool RegKeyExists(const std::string& subkey) const;

  std::unique_ptr<hostsim::PluginModule> module_;
};

// The audio of MakeMp3, for tests that compare it after a rename.
std::string SilentFrames();

}  // namespace scenario

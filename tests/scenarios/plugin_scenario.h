// A fixture for scenarios through the plug-in's four exports: a folder, a
// registry and a FARUSER of the test's own (under Wine the real registry, in
// a user key that the test deletes afterwards), the real module loaded into
// the host stand-in, and small helpers to make MPEG files, read the
// registry and look at the transcript.
#pragma once

// windows.h before sys.h (in scenario_support.h): the scenarios that include
// this header use the Windows API beside the host stand-in.
#if defined(_WIN32)
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/fs.h"
#include "hostsim/loader.h"
#include "hostsim/script.h"
#include "scenario_support.h"

namespace scenario {

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

class PluginScenario : public SandboxTest {
 protected:
  PluginScenario() : SandboxTest("tagwright-scenario") {}

  void TearDown() override {
    module_.reset();
    SandboxTest::TearDown();
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
    const size_t from = host_->transcript().size();
    const bool ok = RunScript(module_.get(), script, driver);
    output_ = host_->transcript().Text(from);
    return ok;
  }

  void WriteFile(const std::string& relative, const std::string& content) {
    ASSERT_TRUE(hostsim::WriteWholeFile(Path(relative), content)) << relative;
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

  std::unique_ptr<hostsim::PluginModule> module_;
  std::string output_;
};

}  // namespace scenario

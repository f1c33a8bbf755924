// The host for unit tests of modules that call the host wrappers of
// src/host/far_services.h: the stand-in's own services (hostsim) with a thin
// layer that lets a test set the texts, answer and record messages and, when
// it needs to, give its own character tables. While a TestHost lives,
// host::StartupInfo and host::StandardFunctions hold the stand-in's services;
// the destructor puts back what was there before. One TestHost at a time.
//
// The layer differs from the stand-in where a unit test needs it to: GetMsg
// gives "" for a text the test did not set (the stand-in would call that a
// failure), and every Message call is recorded as the plug-in made it. The
// case functions are the stand-in's over the OEM code page (866 in the unit
// tests, as TAGWRIGHT_CODEPAGES or the Russian locale under Wine give it).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "far/plugin_api.h"

namespace testhost {

struct MessageCall {
  DWORD flags;
  std::string helpTopic;
  // With FMSG_ALLINONE the one text; otherwise the items joined by '\n'.
  std::string text;
  // The system's last error when the call came: what FMSG_ERRORTYPE shows.
  uint32_t lastError = 0;
};

class TestHost {
 public:
  static constexpr int kModuleNumber = 7;

  TestHost();
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  void SetMessage(int id, const std::string& text);
  // Answers of the next Message calls that have buttons, in order; -1 (Esc)
  // when none is queued.
  void QueueMessageAnswer(int button);
  const std::vector<MessageCall>& MessageCalls() const { return messageCalls_; }
  // GetMsg sets the system's last error to `code` from now on, as a host's own
  // calls may: a caller must take an error it reports before fetching texts.
  void SetGetMsgLastError(uint32_t code) { getMsgError_ = code; }
  // Tables 0, 1 ... of CharTable in place of the stand-in's.
  void SetCharTables(std::vector<CharTableSet> tables);

 private:
  struct Services;
  struct State;

  PluginStartupInfo savedInfo_;
  FarStandardFunctions savedFunctions_;
  std::unique_ptr<State> state_;
  std::vector<std::string> messages_;
  std::vector<MessageCall> messageCalls_;
  std::optional<std::vector<CharTableSet>> tables_;
  std::optional<uint32_t> getMsgError_;
};

}  // namespace testhost

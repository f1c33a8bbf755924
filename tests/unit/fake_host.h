// A small fake host for unit tests of modules that call the host wrappers of
// src/host/far_services.h. While a FakeHost lives, host::StartupInfo and
// host::StandardFunctions hold its services; the destructor puts back what was
// there before. One FakeHost at a time.
//
// Installed: GetMsg (texts set by the test, "" otherwise), Message (recorded,
// answers queued by the test, -1 when none is queued), CharTable (the tables
// set by the test; -1 beyond them), atoi, itoa, qsort, and the case functions
// LIsLower, LIsUpper, LIsAlpha, LUpper, LLower, LStrupr, LStrlwr, LStricmp,
// LStrnicmp over ASCII and the Cyrillic letters of code page 866. Every other
// service is null.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "far/plugin_api.h"

namespace fakehost {

// Case of one character in code page 866 (ASCII and Cyrillic letters).
unsigned char Upper866(unsigned char ch);
unsigned char Lower866(unsigned char ch);
bool IsAlpha866(unsigned char ch);

struct MessageCall {
  DWORD flags;
  std::string helpTopic;
  // With FMSG_ALLINONE the one text; otherwise the items joined by '\n'.
  std::string text;
  // The system's last error when the call came: what FMSG_ERRORTYPE shows.
  uint32_t lastError = 0;
};

class FakeHost {
 public:
  static constexpr int kModuleNumber = 7;

  FakeHost();
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  void SetMessage(int id, const std::string& text) { messages_[id] = text; }
  // Answers of the next Message calls, in order.
  void QueueMessageAnswer(int button) { answers_.push_back(button); }
  const std::vector<MessageCall>& MessageCalls() const { return messageCalls_; }
  // GetMsg sets the system's last error to `code` from now on, as a host's own
  // calls may: a caller must take an error it reports before fetching texts.
  void SetGetMsgLastError(uint32_t code) { getMsgError_ = code; }
  // Tables 0, 1 ... of CharTable.
  void SetCharTables(std::vector<CharTableSet> tables) { tables_ = std::move(tables); }

 private:
  friend struct Services;

  PluginStartupInfo savedInfo_;
  FarStandardFunctions savedFunctions_;
  std::map<int, std::string> messages_;
  std::deque<int> answers_;
  std::vector<MessageCall> messageCalls_;
  std::vector<CharTableSet> tables_;
  std::optional<uint32_t> getMsgError_;
};

}  // namespace fakehost

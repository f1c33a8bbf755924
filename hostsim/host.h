// The host model that every service callback reaches: one at a time, made
// current by constructing it. It holds the transcript, the panel, the driver
// that plays the user, the language texts of the loaded modules, the keys
// posted with ACTL_POSTKEYSEQUENCE, the screen (boxes left on it and saved
// copies) and the dialogs that are open.
//
// A mismatch between what the plug-in did and what the driver expected, or a
// misuse of a service that would break the real host, is a failure: it is
// recorded once, and from then on every interaction is answered as if the
// user pressed Esc, so that the plug-in unwinds on its own.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "far/plugin_api.h"
#include "hostsim/panel.h"
#include "hostsim/transcript.h"

namespace hostsim {

class Driver;
class DialogEngine;

class Host {
 public:
  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The current host; the service callbacks need one.
  static Host& Current();
  static bool HasCurrent();

  Transcript& transcript() { return transcript_; }
  Panel& panel() { return panel_; }

  void SetDriver(Driver* driver) { driver_ = driver; }
  Driver* driver() const { return driver_; }

  // Language texts of module `moduleNumber` (GetMsg).
  void SetMessages(int moduleNumber, const std::string& fileName,
                   std::vector<std::string> messages);
  // nullptr when the module or the message is unknown.
  const char* Message(int moduleNumber, int id) const;
  // The file the texts came from, for error texts.
  std::string MessagesFile(int moduleNumber) const;

  void Fail(const std::string& what);
  bool failed() const { return !failure_.empty(); }
  const std::string& failure() const { return failure_; }
  // True when an interaction must be answered with Esc without asking the
  // driver: after a failure, or without a driver (which is a failure itself).
  // `what` names the interaction for the failure text.
  bool AnswerWithEscape(const std::string& what);

  // ACTL_POSTKEYSEQUENCE: host key codes waiting for the next menu or dialog.
  std::deque<DWORD>& postedKeys() { return postedKeys_; }

  // The screen: boxes that stay on it (messages without buttons), and copies
  // saved by SaveScreen. RestoreScreen puts the boxes back as they were. A
  // box of the same lines and width as the top one covers it (a progress bar
  // drawn again), so it takes its place: the screen keeps one. False when the
  // box is the top one already and nothing changes.
  bool ShowBox(const std::string& text);
  const std::vector<std::string>& boxes() const { return boxes_; }
  HANDLE SaveScreen();
  bool RestoreScreen(HANDLE screen);
  size_t savedScreens() const { return savedScreens_.size(); }

  // Open dialogs, innermost last.
  void PushDialog(DialogEngine* dialog) { dialogs_.push_back(dialog); }
  void PopDialog(DialogEngine* dialog);
  DialogEngine* FindDialog(HANDLE handle) const;
  size_t openDialogs() const { return dialogs_.size(); }

  std::string& clipboard() { return clipboard_; }

 private:
  Transcript transcript_;
  Panel panel_;
  Driver* driver_ = nullptr;
  struct ModuleTexts {
    std::string fileName;
    std::vector<std::string> messages;
  };
  std::map<int, ModuleTexts> texts_;
  std::string failure_;
  long answersAfterFailure_ = 0;
  std::deque<DWORD> postedKeys_;
  std::vector<std::string> boxes_;
  std::map<uintptr_t, std::vector<std::string>> savedScreens_;
  uintptr_t nextScreen_ = 1;
  std::vector<DialogEngine*> dialogs_;
  std::string clipboard_;
};

}  // namespace hostsim

// The side of the stand-in that plays the user: it answers every interaction
// the plug-in starts (menus, dialogs, messages with buttons, input boxes, the
// editor). The script driver answers from a script; the terminal driver
// (terminal/) asks the person at the terminal.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"

namespace hostsim {

class DialogEngine;

struct MenuItemView {
  std::string text;
  bool separator = false;
  bool disabled = false;
  bool checked = false;
};

struct MenuRequest {
  std::string title;
  std::string bottom;
  std::string helpTopic;
  std::vector<MenuItemView> items;
  // Windows virtual-key codes with the PKF_ modifiers in the high word.
  std::vector<int> breakKeys;
  int highlighted = -1;  // after the posted keys were applied
  DWORD flags = 0;
};

struct MenuAnswer {
  enum Kind { Choose, Enter, BreakKey, Escape } kind = Escape;
  int item = -1;      // Choose: the item; BreakKey: the item it acts on, -1 = the highlighted one
  int breakKey = 0;   // BreakKey: virtual key | PKF_ << 16
};

struct MessageRequest {
  DWORD flags = 0;
  std::string helpTopic;
  std::string title;
  std::vector<std::string> lines;    // the system's error text first when FMSG_ERRORTYPE
  std::vector<std::string> buttons;  // never empty here: boxes without buttons need no answer
};

struct InputBoxRequest {
  std::string title;
  std::string prompt;
  std::string history;
  std::string initial;
  std::string helpTopic;
  DWORD flags = 0;
  int maxLength = 0;  // characters that fit the destination
};

struct InputBoxAnswer {
  bool confirmed = false;
  std::string text;
};

struct EditorRequest {
  std::string fileName;
  std::string title;
  DWORD flags = 0;
  std::string content;  // the file as the editor opened it
};

struct EditorAnswer {
  bool save = false;    // false: the user left without saving
  std::string content;  // saved content
};

class Driver {
 public:
  virtual ~Driver() = default;
  virtual MenuAnswer Menu(const MenuRequest& menu) = 0;
  // Acts on the open dialog until it closes.
  virtual void RunDialog(DialogEngine& dialog) = 0;
  // The button's index, or -1 for Esc.
  virtual int Message(const MessageRequest& message) = 0;
  virtual InputBoxAnswer InputBox(const InputBoxRequest& box) = 0;
  virtual EditorAnswer Editor(const EditorRequest& editor) = 0;
  // After the editor closed and the host saved or deleted its file, before
  // the plug-in goes on: a test may change the file here.
  virtual void EditorClosed(const EditorRequest& /*editor*/) {}
  // A box without buttons was put on the screen or the screen was restored:
  // a driver that shows the screen draws it again.
  virtual void ScreenChanged() {}
};

}  // namespace hostsim

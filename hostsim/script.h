// The script driver: a queue of expected interactions, written as a script
// file or built in a C++ test, that plays the user against a plug-in.
//
// A script is UTF-8 text, one command a line; blank lines and lines starting
// with '#' are ignored. Words are separated by blanks; a word in double quotes
// may hold blanks and the escapes \" \\ \n \r \t \xNN, and is never read as a
// keyword. Item and entry numbers count from 0. A dialog item (N below) is
// its number or its label in quotes: "Title", "Title"#2 for the second item
// of that label, "Title"+1 for the item after it (hostsim/item_labels.h has
// the rule). The commands (README.md has the full description):
//
//   panel FOLDER [select NAME...] [cursor NAME] [realnames on|off]
//   select NAME... | unselect NAME... | cursor NAME
//   invoke menu | invoke command "id3:TEXT" | invoke configure | invoke info
//   menu [MATCH] choose N | enter | esc | break KEY [on N]
//   dialog MATCH set N TEXT | check N | uncheck N | choose N | select N ENTRY
//                | type N TEXT | key N KEY... | focus N | press N | enter | esc
//                | expect N TEXT | expect N checked|unchecked|enabled|disabled|
//                  focused|hidden|visible | expect N cursor C | expect N entry E
//   message [expect TEXT]... button N | esc
//   inputbox [expect TEXT]... TEXT | cancel
//   editor-content TEXT | editor-unchanged
//   expect-end | expect-selected NAME...|none | expect-output TEXT
//   expect-file PATH TEXT | expect-no-file PATH | echo TEXT
//
// MATCH is a help topic or a title (ignoring case), or * for any. Texts are
// converted to the host's text before the plug-in sees them.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"
#include "hostsim/driver.h"

namespace hostsim {

class Host;
class PluginModule;

struct Step {
  enum Kind {
    Panel, Select, Unselect, Cursor,
    Invoke,
    Menu, Dialog, Message, InputBox, Editor,
    ExpectEnd, ExpectSelected, ExpectOutput, ExpectFile, ExpectNoFile, Echo,
  };
  Kind kind = Echo;
  int line = 0;
  std::string source;  // the line as written, for messages

  std::string match;   // Menu, Dialog: help topic or title; "*" or empty = any
  std::string action;  // the sub-command: "choose", "set", "menu", "configure" ...
  int item = -1;       // item, entry or button number
  std::string label;   // Dialog: the item's label when it is named so ("" = by number) ...
  int ordinal = 1;     // ... which of the items of that label, from 1 ...
  int after = 0;       // ... and how many items after that one
  int number = -1;     // second number (break key item, expected cursor ...)
  bool quotedText = false;
  std::string text;                  // host's text: the value, the path, the expected text
  std::string path;                  // Panel, ExpectFile: path (host's text) as written
  std::vector<std::string> names;    // names (panel, selection), host's text
  std::vector<std::string> expects;  // Message, InputBox: texts (host's text) that must appear
  std::vector<DWORD> keys;           // Dialog key
  int breakKey = 0;                  // Menu break
  DWORD panelFlags = PFLAGS_REALNAMES;
  std::string cursor;  // Panel: the cursor item
};

// False with "line N: reason" when a line cannot be read.
bool ParseScript(const std::string& utf8, std::vector<Step>* steps, std::string* error);

// Plays the steps. `module` may be null when a test calls the services
// itself; `base` (host's text, absolute) is where relative paths start.
class ScriptDriver : public Driver {
 public:
  ScriptDriver(Host& host, PluginModule* module, std::vector<Step> steps, std::string base);

  // Runs the steps from the current one to the end, or to the first failure.
  // True when all passed.
  bool Run();
  // True when every step was used.
  bool Finished() const { return next_ >= steps_.size(); }
  // The failure (also in the host's transcript), empty when none.
  const std::string& failure() const;

  MenuAnswer Menu(const MenuRequest& menu) override;
  void RunDialog(DialogEngine& dialog) override;
  int Message(const MessageRequest& message) override;
  InputBoxAnswer InputBox(const InputBoxRequest& box) override;
  EditorAnswer Editor(const EditorRequest& editor) override;

 private:
  // The next step when it is of `kind`; otherwise a failure naming what
  // appeared (`shown`) and what the script expected, and null.
  const Step* Take(Step::Kind kind, const std::string& shown);
  bool RunStep(const Step& step);
  bool Invoke(const Step& step);
  bool DialogAction(DialogEngine& dialog, const Step& step);
  std::string Resolve(const std::string& path) const;
  bool Fail(const Step& step, const std::string& why);

  Host& host_;
  PluginModule* module_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  std::string base_;
  size_t invocationStart_ = 0;  // transcript line where the last invocation began
};

}  // namespace hostsim

// The terminal host: a one-column file panel of a folder, the plug-in's menu
// (F11, F9 or m), its configuration (F12, Alt-Shift-F9 or c), a command line
// for the plug-in's prefix (":" to type in it), F1 help, F10 or q to quit.
#pragma once

#include <string>

#include "hostsim/terminal/canvas.h"

namespace hostsim {
class Host;
class Panel;
class PluginModule;
}  // namespace hostsim

namespace hostsim::terminal {

// Runs until the user quits. `path` is absolute (the host's text): a folder, or a file,
// whose folder the panel shows with the cursor on the file. The module is loaded
// and started (SetStartupInfo done). Returns the process's exit status: 0, or
// 1 when the plug-in misused the host and the run had to stop.
int RunTerminalHost(Host& host, PluginModule& module, const std::string& path);

// For a command line "prefix:rest": true when `prefix` is one of the plug-in's
// prefixes (`prefixes` separated by ':', compared ignoring case), with `rest`.
bool MatchCommandPrefix(const std::string& prefixes, const std::string& line, std::string* rest);

// The key hints of the status line for a screen `width` columns wide: as
// many as fit, "F10/q Quit" always among them.
std::string StatusHints(int width);

// The panel on the canvas: the folder in the frame's title, one line per
// item from `top` (selected items marked), the cursor line, the command line
// and the key hints at the bottom.
struct PanelState {
  int top = 0;
  std::string command;  // the host's text
  bool commandFocused = false;
};
void DrawPanel(Canvas& canvas, const Panel& panel, PanelState* state);

}  // namespace hostsim::terminal

// The terminal host's own help topic, "TerminalHost": its keys in the panel,
// dialogs, menus and help, with a link to the plug-in's contents. Help-file
// text (.hlf syntax, ASCII).
#pragma once

#include <string>

namespace hostsim::terminal {

extern const char kHostHelpTopic[];
const std::string& HostHelpText();

}  // namespace hostsim::terminal

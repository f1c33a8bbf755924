// One invocation of the plug-in: the operations menu and the walk over the
// active panel's selection, or the command-line form, handing every matching
// file to the operation of the chosen mode.
#pragma once

#include <cstddef>
#include <string>

#include "far/plugin_api.h"
#include "host/operations.h"

namespace host {

// OPEN_PLUGINSMENU: menu, set-up of the chosen operation, counting pass,
// processing pass, and the selection written back to the panel.
void OpenFromPluginsMenu();

// OPEN_COMMANDLINE: `argument` is the text after the prefix and its colon: a
// file name or mask, with or without a folder; a comma stands for any one
// character.
void OpenFromCommandLine(const char* argument);

// The walk's per-file callback, in the host's recursive-search form. `param`
// is 0 (one of several files), 1 (a single file) or the address of the
// walk's int stop flag. Result: 1 handed to the operation, which went on;
// -1 skipped; 0 stop.
int WINAPI ProcessFile(const FAR_FIND_DATA* data, const char* fullName, void* param);
// The counting pass's callback: adds 1 to Total for a file that passes the
// masks; `param`, when not null, is the walk's listing of the folder, which
// keeps such files and the folders for the processing pass. Always 1 (go on).
int WINAPI CountFile(const FAR_FIND_DATA* data, const char* fullName, void* param);

// True when `name` matches ProcessExt and, when ExcludeExt is not empty, not
// ExcludeExt.
bool PassesMasks(const char* name);

// The lines of a list file: a line ends at CR LF, at a lone LF or at a lone
// CR, up to the end or the first zero byte; an empty rest after the last
// break is no line.
ListLines SplitListLines(const char* text, size_t size);
// False when the file cannot be opened or read.
bool LoadListLines(const std::string& fileName, ListLines* lines);

// `folder` and `name` with one separator (sys::kPathSeparator) between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// Tells the user, through a warning with an OK button, that an invocation
// ended on an internal error (message MInternalError, then `what`, the
// exception's text, when there is one). Does nothing before the host's tables exist.
void ReportFailure(const char* what);

}  // namespace host

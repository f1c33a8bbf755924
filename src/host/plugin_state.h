// Process-wide state of the plug-in: kept from SetStartupInfo to unload
// (UserKey, MenuTitle, the configuration, LastDir), and the state of the
// running invocation, which OpenPlugin resets each time.
#pragma once

#include <string>

namespace host {

// Empty, or "Users\" + FARUSER + "\": the per-user part of the registry key.
extern std::string UserKey;
// The pointer GetMsg gave for message 0. Its address serves as the one-entry
// menu and configuration string arrays of PluginInfo, so it lives as long as
// the plug-in.
extern const char* MenuTitle;

// The configuration in memory (loaded by LoadConfig).
extern std::string ProcessExt;  // mask list of the files to process
extern std::string ExcludeExt;  // mask list of the files to skip; may be empty
extern bool ResetCounter;       // Counter restarts in each folder

// The folder part of the last file processed while ResetCounter was on.
extern std::string LastDir;

// The operations of the plug-in's menu, in its order: the modes 0 to 4 that
// the operations are known by (host/operations.h).
enum class Operation : int { ShowInfo, FileList, Rename, CreateTags, ConvertText };

// The running invocation.
extern Operation Mode;    // the chosen operation
extern int Counter;       // 0-based number of the current file in the walk
extern int Total;         // files the walk will hand to the operation
extern bool Interactive;  // true: the operation asks per file; false: progress display

}  // namespace host

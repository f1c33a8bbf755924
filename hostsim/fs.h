// The real file system as the host shows it to a plug-in: names in the host's
// text (host_text.h), find
// data with Windows attributes and times, and paths joined with '\' (which
// the system layer reads as a separator on POSIX too). Files are read and
// written through the system layer; folders are listed here.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"

namespace hostsim {

// Windows attribute of a symbolic link (a reparse point): the recursive search
// does not descend into it unless asked to.
constexpr DWORD kAttrReparsePoint = 0x400;

// The entries of `folder` without "." and "..", sorted by name ignoring case
// (byte order between names equal but for case), so that every run sees the
// same order. False when the folder cannot be read.
bool ListFolder(const std::string& folder, std::vector<FAR_FIND_DATA>* entries);

// Find data of one file or folder; false when it does not exist.
bool FindOne(const std::string& path, FAR_FIND_DATA* data);

// The path as the operating system takes it: on POSIX an OEM path as UTF-8, a
// UTF-8 path as it is, as the system layer converts them; on Windows as it is.
std::string NativePath(const std::string& hostPath);

// `folder` + '\' (unless it ends with '\' or '/') + `name`.
std::string JoinPath(const std::string& folder, const std::string& name);

// An absolute form of `path` (relative to the current folder), in the form the
// host hands to plug-ins: native separators on POSIX, "X:\..." on Windows.
std::string AbsolutePath(const std::string& path);
bool ChangeFolder(const std::string& folder);
std::string TemporaryFolder();

bool ReadWholeFile(const std::string& path, std::string* content);
// Replaces the content (through a temporary file, so that a failure keeps the old one).
bool WriteWholeFile(const std::string& path, const std::string& content);

}  // namespace hostsim

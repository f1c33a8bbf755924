// What the stand-in asks of the operating system, one file per system:
// platform_posix.cpp (iconv, POSIX files, dlopen) and platform_win32.cpp (the
// system's code pages, Win32 files, LoadLibrary); hostsim/CMakeLists.txt
// builds the one that fits. The file functions of fs.h that differ between
// the systems (NativePath, FindOne, AbsolutePath, ChangeFolder,
// TemporaryFolder) are defined there too.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"
#include "hostsim/codepage.h"

namespace hostsim::platform {

// The character of every byte of `codePage` as the system describes it;
// false when it knows no such code page.
bool LoadSystemCodePage(unsigned codePage, CodePageTable* table);

// Columns a Unicode character takes on a terminal, by the system's tables
// (wcwidth): 2 for East Asian wide characters, 0 for combining marks, -1 for
// what is no printable character.
int CharColumns(char32_t c);

// From here on the system takes file names as OEM text, as the host sets it
// before it calls into a plug-in (Windows; POSIX converts each name itself).
void UseOemFileNames();

// The entries of `folder` without "." and "..", in the system's order; false
// when the folder cannot be read (a folder without entries is no failure).
bool ListFolderEntries(const std::string& folder, std::vector<FAR_FIND_DATA>* entries);

// A loaded module, its symbols, and unloading it. OpenModule gives nullptr
// and the system's reason in `*why` when the module cannot be loaded.
void* OpenModule(const std::string& path, std::string* why);
void* ModuleSymbol(void* module, const char* name);
void CloseModule(void* module);

}  // namespace hostsim::platform

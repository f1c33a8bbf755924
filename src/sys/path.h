// The parts of a path around its last separator (sys::kPathSeparators: on
// Windows '\', '/' or a drive's ':', on POSIX '/'), for paths the host or the
// system gave.
#pragma once

#include <string>
#include <string_view>

namespace sys {

// Everything up to and including the last separator; empty without one.
std::string FolderPart(const std::string& path);
// The same, as a view into `path`.
std::string_view FolderPartView(std::string_view path);
// Everything after the last separator; the whole path without one.
std::string NamePart(const std::string& path);

}  // namespace sys

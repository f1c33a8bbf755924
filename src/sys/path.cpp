#include "sys/path.h"

#include "sys/sys.h"

namespace sys {

std::string_view FolderPartView(std::string_view path) {
  const size_t last = path.find_last_of(kPathSeparators);
  return last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
}

std::string FolderPart(const std::string& path) { return std::string(FolderPartView(path)); }

std::string NamePart(const std::string& path) {
  const size_t last = path.find_last_of(kPathSeparators);
  return last == std::string::npos ? path : path.substr(last + 1);
}

}  // namespace sys

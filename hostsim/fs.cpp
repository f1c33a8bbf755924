#include "hostsim/fs.h"

#include <algorithm>
#include <cstring>

#include "hostsim/host_text.h"
#include "hostsim/platform.h"
#include "sys/sys.h"

namespace hostsim {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  // '/' ends a folder on both systems (Windows takes it for '\\').
  char last = folder.back();
  if (last == sys::kPathSeparator || last == '/') return folder + name;
  return folder + sys::kPathSeparator + name;
}

bool ListFolder(const std::string& folder, std::vector<FAR_FIND_DATA>* entries) {
  if (!platform::ListFolderEntries(folder, entries)) return false;
  // Name order without regard to case (CompareNoCase over the host's text),
  // then byte order. The entries are large: their order is found first, then
  // they are put in it where they are. Each name is folded once, not at every
  // comparison.
  std::vector<std::u32string> upper(entries->size());
  for (size_t i = 0; i < upper.size(); ++i) upper[i] = FoldedKey((*entries)[i].cFileName);
  std::vector<size_t> order(entries->size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int c = upper[a].compare(upper[b]);
    if (c != 0) return c < 0;
    return std::strcmp((*entries)[a].cFileName, (*entries)[b].cFileName) < 0;
  });
  // Entry j takes the one at order[j], cycle by cycle; a placed entry's
  // order becomes its own index.
  std::vector<FAR_FIND_DATA>& e = *entries;
  for (size_t i = 0; i < order.size(); ++i) {
    if (order[i] == i) continue;
    const FAR_FIND_DATA first = e[i];
    size_t j = i;
    for (;;) {
      const size_t from = order[j];
      order[j] = j;
      if (from == i) {
        e[j] = first;
        break;
      }
      e[j] = e[from];
      j = from;
    }
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  sys::File f;
  if (!f.Open(path, sys::OpenMode::Read)) return false;
  char buffer[65536];
  for (;;) {
    size_t got = 0;
    if (!f.Read(buffer, sizeof(buffer), &got)) return false;
    if (got == 0) break;
    content->append(buffer, got);
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
  std::string temporary = path + ".hostsim~";
  sys::File f;
  if (!f.Open(temporary, sys::OpenMode::CreateAlways)) return false;
  bool ok = f.Write(content.data(), content.size()) && f.Flush();
  ok = f.Close() && ok;
  if (!ok || !sys::ReplaceFile(temporary, path)) {
    sys::DeleteFile(temporary);
    return false;
  }
  return true;
}

}  // namespace hostsim

// The settings store's registry file (POSIX): how long a REGEDIT4 file of many
// values in one key, or of many subkeys, takes to load, to look up and to list,
// and what one transaction of a dialog's 24 values costs against 24 changes of
// their own. Prints the times; a benchmark, not a test. bench/settings builds
// and runs it.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sys/sys.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string folder;

// A file of `count` values in one key: names in file order "Value0" ..., each
// with about 80 characters of text, as a store of long templates would hold.
// With `removed`, every value is removed again by a "name"=- line and set
// once more, as a hand-edited file may do.
std::string ValuesFile(int count, bool removed) {
  const std::string path = folder + "/values-" + std::to_string(count) +
                           (removed ? "-removed" : "") + ".reg";
  std::ofstream out(path, std::ios::binary);
  out << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Bench\\Values]\r\n";
  const std::string text(72, 'x');
  for (int i = 0; i < count; ++i) out << "\"Value" << i << "\"=\"" << text << i << "\"\r\n";
  if (removed) {
    for (int i = 0; i < count; ++i) out << "\"value" << i << "\"=-\r\n";
    for (int i = 0; i < count; ++i) out << "\"VALUE" << i << "\"=\"again\"\r\n";
  }
  out << "\r\n";
  return path;
}

// A file of `count` subkeys below one key, each with one value, in the
// reverse of their enumeration order (a file put together by hand).
std::string SubkeysFile(int count) {
  const std::string path = folder + "/subkeys-" + std::to_string(count) + ".reg";
  std::ofstream out(path, std::ios::binary);
  out << "REGEDIT4\r\n\r\n";
  for (int i = count - 1; i >= 0; --i) {
    char name[16];
    std::snprintf(name, sizeof name, "%07d", i);
    out << "[HKEY_CURRENT_USER\\Software\\Bench\\Keys\\" << name << "]\r\n\"SchemeName\"=\"n" << i
        << "\"\r\n\r\n";
  }
  return path;
}

long long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

sys::RegKey Open(const char* path) {
  sys::RegKey key = nullptr;
  if (sys::RegOpenKeyEx(sys::CurrentUserKey(), path, sys::kKeyRead | sys::kKeyWrite, &key) != 0) {
    std::fprintf(stderr, "cannot open %s\n", path);
    std::exit(1);
  }
  return key;
}

void BenchValues(int count, bool removed) {
  const std::string path = ValuesFile(count, removed);
  const long long bytes = FileSize(path);
  setenv("TAGWRIGHT_REGISTRY", path.c_str(), 1);
  Clock::time_point start = Clock::now();
  sys::RegKey key = Open("Software\\Bench\\Values");
  const double load = Seconds(start);

  start = Clock::now();
  int found = 0;
  for (int i = 0; i < count; ++i) {
    const std::string name = "VALUE" + std::to_string(i);  // another case than stored
    uint32_t size = 0;
    if (sys::RegQueryValueEx(key, name.c_str(), nullptr, nullptr, &size) == 0) ++found;
  }
  const double query = Seconds(start);

  start = Clock::now();
  int listed = 0;
  char name[64];
  for (uint32_t i = 0;; ++i) {
    uint32_t size = sizeof name;
    if (sys::RegEnumValue(key, i, name, &size, nullptr, nullptr, nullptr) != 0) break;
    ++listed;
  }
  const double list = Seconds(start);

  start = Clock::now();
  const uint8_t data[] = "changed";
  const long set = sys::RegSetValueEx(key, "Value0", sys::kRegSz, data, sizeof data);
  const double write = Seconds(start);
  sys::RegCloseKey(key);

  std::printf("%7d values%s %6.1f MB: load %7.3f s, %d lookups %7.3f s, list %d %7.3f s, "
              "one change (whole file written) %7.3f s%s\n",
              count, removed ? " (removed, set again)" : "", bytes / 1e6, load, found,
              query, listed, list, write, set == 0 && found == count && listed == count ? "" : "  WRONG");
}

void BenchSubkeys(int count) {
  const std::string path = SubkeysFile(count);
  const long long bytes = FileSize(path);
  setenv("TAGWRIGHT_REGISTRY", path.c_str(), 1);
  Clock::time_point start = Clock::now();
  sys::RegKey key = Open("Software\\Bench\\Keys");
  const double load = Seconds(start);
  start = Clock::now();
  int listed = 0;
  bool ordered = true;
  std::string previous;
  char name[64];
  for (uint32_t i = 0;; ++i) {
    uint32_t size = sizeof name;
    if (sys::RegEnumKeyEx(key, i, name, &size) != 0) break;
    if (!previous.empty() && previous >= name) ordered = false;
    previous = name;
    ++listed;
  }
  const double list = Seconds(start);
  sys::RegCloseKey(key);
  std::printf("%7d subkeys %6.1f MB: load %7.3f s, list %d in order %7.3f s%s\n", count,
              bytes / 1e6, load, listed, list,
              listed == count && ordered ? "" : "  WRONG");
}

// A dialog's 24 values, into a small settings file: each as a change of its
// own, then all in one transaction.
void BenchDialogStore(int rounds) {
  const std::string path = folder + "/dialog.reg";
  setenv("TAGWRIGHT_REGISTRY", path.c_str(), 1);
  const char* const kKey = "Software\\Far\\Plugins\\Tagwright\\TagCreationDialog";
  auto store = [&](int round) {
    sys::RegKey key = nullptr;
    for (int v = 0; v < 24; ++v) {
      sys::RegCreateKeyEx(sys::CurrentUserKey(), kKey, sys::kKeyWrite, &key);
      const std::string name = "Value" + std::to_string(v);
      const std::string text = "round " + std::to_string(round);
      sys::RegSetValueEx(key, name.c_str(), sys::kRegSz,
                         reinterpret_cast<const uint8_t*>(text.c_str()),
                         static_cast<uint32_t>(text.size() + 1));
      sys::RegCloseKey(key);
    }
  };
  Clock::time_point start = Clock::now();
  for (int r = 0; r < rounds; ++r) store(r);
  const double separate = Seconds(start) / rounds;
  start = Clock::now();
  for (int r = 0; r < rounds; ++r) {
    sys::RegBeginChanges();
    store(r + rounds);
    if (sys::RegCommitChanges() != 0) std::printf("commit failed\n");
  }
  const double together = Seconds(start) / rounds;
  std::printf("a dialog's 24 values: %.2f ms as 24 changes, %.2f ms as one transaction "
              "(%.1f times faster)\n",
              separate * 1e3, together * 1e3, separate / together);
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/tagwright-bench-settings-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  folder = tmpl;
  for (int count : {5000, 10000, 20000, 100000}) BenchValues(count, false);
  BenchValues(100000, true);
  BenchSubkeys(100000);
  BenchDialogStore(20);
  std::string command = "rm -rf '" + folder + "'";
  return std::system(command.c_str()) == 0 ? 0 : 1;
}

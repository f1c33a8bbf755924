#include "fuzz_support.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fuzz {

namespace fs = std::filesystem;

namespace {

std::string& CurrentInput() {
  static std::string name;
  return name;
}

bool scratchMade = false;

void RemoveScratch() {
  std::error_code ignored;
  if (scratchMade) fs::remove_all(ScratchDir(), ignored);
}

// Folders of processes that ended without their exit handlers (a crash, a
// sanitizer's abort, a time-out): named tagwright-fuzz-<pid>-..., and the
// process is gone.
void RemoveOrphans(const fs::path& base) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(base, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("tagwright-fuzz-", 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + 15, nullptr, 10);
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      std::error_code ignored;
      fs::remove_all(entry.path(), ignored);
    }
  }
}

}  // namespace

void SetCurrentInput(std::string name) { CurrentInput() = std::move(name); }

void Fail(const char* file, int line, const char* property) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
  if (!CurrentInput().empty()) std::fprintf(stderr, "input: %s\n", CurrentInput().c_str());
  std::fflush(stderr);
  RemoveScratch();  // abort runs no exit handlers
  std::abort();
}

void FailUnequal(const char* file, int line, const char* property,
                 const std::vector<std::string>& got, const std::vector<std::string>& expected) {
  auto printable = [](const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
      if (c >= 0x20 && c < 0x7F && c != '\\') {
        out += static_cast<char>(c);
      } else {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", c);
        out += escape;
      }
    }
    return out;
  };
  for (size_t i = 0; i < std::max(got.size(), expected.size()); ++i) {
    const std::string a = i < got.size() ? got[i] : "(none)";
    const std::string b = i < expected.size() ? expected[i] : "(none)";
    if (a != b)
      std::fprintf(stderr, "field %zu: \"%s\", expected \"%s\"\n", i, printable(a).c_str(),
                   printable(b).c_str());
  }
  Fail(file, line, property);
}

const std::string& ScratchDir() {
  // Never destroyed: RemoveScratch runs at exit, after the statics are gone.
  static const std::string* const dir = [] {
    // Saves flush to disk: in memory that costs nothing, so /dev/shm when
    // there is one and TMPDIR names no other place.
    std::error_code error;
    fs::path base = std::getenv("TMPDIR") == nullptr && fs::is_directory("/dev/shm", error)
                        ? fs::path("/dev/shm")
                        : fs::temp_directory_path();
    RemoveOrphans(base);
    std::string pattern =
        (base / ("tagwright-fuzz-" + std::to_string(getpid()) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("tagwright fuzz: cannot make a scratch folder");
      std::exit(2);
    }
    std::atexit(RemoveScratch);
    return new std::string(pattern);
  }();
  scratchMade = true;
  return *dir;
}

std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = ScratchDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) {
    std::fprintf(stderr, "tagwright fuzz: cannot write %s\n", path.c_str());
    std::exit(2);
  }
  return path;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(in ? static_cast<size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in) {
    std::fprintf(stderr, "tagwright fuzz: cannot read %s\n", path.c_str());
    std::exit(2);
  }
  return bytes;
}

std::vector<std::string> ScratchNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(ScratchDir()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> SplitAtZeros(const uint8_t* data, size_t size, size_t count) {
  std::vector<std::string> parts;
  const char* text = reinterpret_cast<const char*>(data);
  size_t start = 0;
  while (parts.size() + 1 < count && start < size) {
    const auto* zero = static_cast<const char*>(std::memchr(text + start, 0, size - start));
    if (zero == nullptr) break;
    parts.emplace_back(text + start, zero);
    start = static_cast<size_t>(zero - text) + 1;
  }
  parts.emplace_back(size > start ? std::string(text + start, size - start) : std::string());
  return parts;
}

}  // namespace fuzz

// Helpers for the system layer's tests: a fresh folder per test, environment
// variables put back afterwards, whole-file reads and writes through sys::File.
#pragma once

#ifdef _WIN32
#include <windows.h>  // before sys.h, which takes back the names windows.h maps
#else
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "sys/sys.h"

namespace systest {

inline unsigned long ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

inline std::optional<std::string> Env(const char* name) {
  std::string value;
  if (!sys::GetEnv(name, &value)) return std::nullopt;
  return value;
}

inline void SetEnv(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
#else
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
#endif
  // The code pages follow TAGWRIGHT_CODEPAGES and the locale variables.
  sys::RereadCodePages();
}

// Sets a variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value)
      : name_(name), saved_(Env(name)) {
    SetEnv(name, value);
  }
  ~ScopedEnv() { SetEnv(name_, saved_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// `text` with each '\' made the system's separator (on Windows `text` itself).
inline std::string Sep(std::string text) {
  for (char& c : text)
    if (c == '\\') c = sys::kPathSeparator;
  return text;
}

// A new folder below the system's temporary folder, removed with all it holds.
class TempFolder {
 public:
  TempFolder() {
    std::string base;
#ifdef _WIN32
    // assign(1, '.'): GCC 12 for i686 warns falsely about copying "." here.
    if (!sys::GetEnv("TEMP", &base)) base.assign(1, '.');
    const char separator = '\\';
#else
    if (!sys::GetEnv("TMPDIR", &base) || base.empty()) base = "/tmp";
    const char separator = '/';
#endif
    static int serial = 0;
    path_ = base + separator + "tagwright-sys-" + std::to_string(ProcessId()) + "-" +
            std::to_string(++serial);
    sys::CreateFolder(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(
             sys::NativePath(path_), ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(sys::NativePath(path_), ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // A path inside the folder, with the platform's separator.
  std::string operator/(const std::string& name) const {
#ifdef _WIN32
    return path_ + "\\" + name;
#else
    return path_ + "/" + name;
#endif
  }

 private:
  std::string path_;
};

// Windows refuses to write a read-only file; Wine run by root does not,
// because root writes files whatever their mode bits say.
inline bool ReadOnlyIsEnforced(const std::string& folder) {
#ifdef _WIN32
  const std::string probe = folder + "\\read-only-probe";
  sys::File file;
  if (!file.Open(probe, sys::OpenMode::CreateAlways) || !file.Close()) return true;
  sys::SetAttributes(probe, sys::kAttrReadOnly);
  const bool refused = !file.Open(probe, sys::OpenMode::ReadWrite);
  file.Close();
  sys::SetAttributes(probe, 0);
  sys::DeleteFile(probe);
  return refused;
#else
  (void)folder;
  return true;
#endif
}

inline bool WriteWhole(const std::string& path, const std::string& bytes) {
  sys::File file;
  return file.Open(path, sys::OpenMode::CreateAlways) && file.Write(bytes.data(), bytes.size()) &&
         file.Close();
}

inline std::optional<std::string> ReadWhole(const std::string& path) {
  sys::File file;
  int64_t size = 0;
  if (!file.Open(path, sys::OpenMode::Read) || !file.Size(&size)) return std::nullopt;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!file.ReadExact(bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

}  // namespace systest

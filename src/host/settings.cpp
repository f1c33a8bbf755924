#include "host/settings.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/plugin_state.h"
#include "tagwright/messages.h"
#include "tags/codepage.h"
#include "tags/unicode_text.h"
#include "tags/write_access.h"

namespace host {

namespace {

constexpr long kSuccess = 0;

// Windows limits key names to 255 characters and value names to 16383; the
// buffers take the longest with its terminator, so no name is ever cut and
// enumeration ends only when the key has no more entries.
constexpr uint32_t kKeyNameBuffer = 260;
constexpr uint32_t kValueNameBuffer = 16384;

// An open registry key, closed on every way out of the scope that holds it.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() { Close(); }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  bool ForReading(sys::RegKey root, const std::string& path) {
    Close();
    sys::RegKey key = nullptr;
    if (sys::RegOpenKeyEx(root, path.c_str(), sys::kKeyRead, &key) != kSuccess) return false;
    key_ = key;
    return true;
  }

  // A failure counts as a failed write of the batch that runs.
  bool ForWriting(sys::RegKey root, const std::string& path);

  // ForWriting with the registry's answer.
  long Create(sys::RegKey root, const std::string& path) {
    Close();
    sys::RegKey key = nullptr;
    const long status = sys::RegCreateKeyEx(root, path.c_str(), sys::kKeyWrite, &key);
    if (status == kSuccess) key_ = key;
    return status;
  }

  void Close() {
    if (key_ != nullptr) sys::RegCloseKey(key_);
    key_ = nullptr;
  }

  sys::RegKey get() const { return key_; }

 private:
  sys::RegKey key_ = nullptr;
};

std::string Join(const std::string& path, const std::string& name) { return path + "\\" + name; }

// The open batches, and the first write that failed inside them.
int batchDepth = 0;
long batchFailure = kSuccess;

void NoteWriteFailure(long status) {
  if (batchDepth > 0 && batchFailure == kSuccess) batchFailure = status;
}

bool OpenKey::ForWriting(sys::RegKey root, const std::string& path) {
  const long status = Create(root, path);
  if (status != kSuccess) NoteWriteFailure(status);
  return status == kSuccess;
}

// One warning after title 39: message `body` with the system's reason, or
// message 90 when another program held the settings file's lock.
void WarnNotStored(int body, uint32_t error) {
  if (error == sys::kErrorLockViolation && body == MCannotStoreSettings) {
    Warning(FMSG_MB_OK, Msg(MSettingsLocked));
    return;
  }
  const std::string text = std::string(Msg(MWarning)) + "\n" + Msg(body);
  // The host shows the error the plug-in left: the one taken before the texts
  // were fetched.
  sys::SetLastError(error);
  Message(FMSG_WARNING | FMSG_ERRORTYPE | FMSG_ALLINONE | FMSG_MB_OK, nullptr, text.c_str());
}

char AsciiLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch; }

// Registry key names compare without regard to case.
bool IsInside(const std::string& path, const std::string& tree) {
  const std::string prefix = tree + "\\";
  if (path.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(path[i]) != AsciiLower(prefix[i])) return false;
  }
  return true;
}

// Subkey number `index` of an open key: 1 when there is one (its name in
// `name`), 0 when there are no more, -1 on any other answer.
int EnumSubkey(const OpenKey& key, uint32_t index, std::string* name) {
  char buffer[kKeyNameBuffer];
  uint32_t size = kKeyNameBuffer;
  const long status = sys::RegEnumKeyEx(key.get(), index, buffer, &size);
  if (status == static_cast<long>(sys::kErrorNoMoreItems)) return 0;
  if (status != kSuccess || size >= kKeyNameBuffer) return -1;
  name->assign(buffer, size);
  return 1;
}

// Copies the values of `source` into `destination`.
bool CopyValues(const OpenKey& source, const OpenKey& destination) {
  std::vector<char> name(kValueNameBuffer);
  for (uint32_t index = 0;; ++index) {
    uint32_t nameSize = kValueNameBuffer;
    const long status =
        sys::RegEnumValue(source.get(), index, name.data(), &nameSize, nullptr, nullptr, nullptr);
    if (status == static_cast<long>(sys::kErrorNoMoreItems)) return true;
    if (status != kSuccess || nameSize >= kValueNameBuffer) return false;
    name[nameSize] = '\0';

    uint32_t type = 0;
    uint32_t dataSize = 0;
    if (sys::RegQueryValueEx(source.get(), name.data(), &type, nullptr, &dataSize) != kSuccess) {
      continue;  // gone since it was listed
    }
    std::vector<uint8_t> data(dataSize > 0 ? dataSize : 1);
    uint32_t got = dataSize;
    if (sys::RegQueryValueEx(source.get(), name.data(), &type, data.data(), &got) != kSuccess) {
      return false;
    }
    if (got > dataSize) got = dataSize;
    const long written = sys::RegSetValueEx(destination.get(), name.data(), type, data.data(), got);
    if (written != kSuccess) {
      NoteWriteFailure(written);
      return false;
    }
  }
}

}  // namespace

std::string KeyPath(const std::string& subkey) {
  std::string path = "Software\\Far\\" + UserKey + "Plugins\\" + GetMsg(0);
  if (!subkey.empty()) path = Join(path, subkey);
  return path;
}

std::string ReadString(const std::string& name, const std::string& subkey,
                       const std::string& fallback) {
  OpenKey key;
  if (!key.ForReading(sys::CurrentUserKey(), KeyPath(subkey))) return fallback;
  uint32_t type = 0;
  uint32_t size = 0;
  if (sys::RegQueryValueEx(key.get(), name.c_str(), &type, nullptr, &size) != kSuccess) {
    return fallback;
  }
  std::vector<char> buffer(size > 0 ? size : 1);
  uint32_t got = size;
  if (sys::RegQueryValueEx(key.get(), name.c_str(), &type, reinterpret_cast<uint8_t*>(buffer.data()),
                           &got) != kSuccess) {
    return fallback;
  }
  // The stored data need not end in a zero byte: the text ends at the first
  // zero or at the end of the data.
  const size_t stored = got < size ? got : size;
  const void* zero = std::memchr(buffer.data(), '\0', stored);
  const size_t length = zero != nullptr ? static_cast<const char*>(zero) - buffer.data() : stored;
  return std::string(buffer.data(), length);
}

void WriteString(const std::string& name, const std::string& subkey, const std::string& text) {
  OpenKey key;
  long status = key.Create(sys::CurrentUserKey(), KeyPath(subkey));
  if (status != kSuccess) {
    NoteWriteFailure(status);
    return;
  }
  const size_t length = std::strlen(text.c_str());
  if (length >= UINT32_MAX) return;
  const uint32_t size = length == 0 ? 0 : static_cast<uint32_t>(length + 1);
  status = sys::RegSetValueEx(key.get(), name.c_str(), sys::kRegSz,
                              reinterpret_cast<const uint8_t*>(text.c_str()), size);
  if (status != kSuccess) NoteWriteFailure(status);
}

bool ReadBool(const std::string& name, const std::string& subkey, bool fallback) {
  return ReadString(name, subkey, fallback ? "1" : "0") == "1";
}

void WriteBool(const std::string& name, const std::string& subkey, bool value) {
  WriteString(name, subkey, value ? "1" : "0");
}

SettingsBatch::SettingsBatch() {
  if (batchDepth++ == 0) batchFailure = kSuccess;
  sys::RegBeginChanges();
}

SettingsBatch::~SettingsBatch() {
  if (open_) Commit();
}

bool SettingsBatch::Commit() {
  if (!open_) return true;
  open_ = false;
  long status = sys::RegCommitChanges();
  if (--batchDepth > 0) return status == kSuccess && batchFailure == kSuccess;
  // A write that failed inside the batch is the first reason: the commit of
  // the rest may well have worked.
  if (batchFailure != kSuccess) status = batchFailure;
  batchFailure = kSuccess;
  if (status == kSuccess) return true;
  sys::SetLastError(static_cast<uint32_t>(status));
  return false;
}

bool StoreDialogValues(const std::function<void()>& store) {
  SettingsBatch batch;
  store();
  if (batch.Commit()) return true;
  WarnNotStored(MCannotStoreSettings, sys::LastError());
  return false;
}

bool StoreSettingsChange(const std::function<void()>& change) {
  SettingsBatch batch;
  change();
  if (batch.Commit()) return true;
  WarnNotStored(MCannotChangeSettings, sys::LastError());
  return false;
}

bool WriteUnicodeByDefault() {
  // Where the host speaks UTF-8 (Linux), every other program reads 8-bit tag
  // text as ISO-8859-1 and its users type any script: Unicode is what they
  // expect. Under FAR 1.70 the 8-bit tags of the DOS and Windows era stay the
  // default.
  return tags::HostCodePage.Kind == tags::CodePageKind::Utf8;
}

void LoadConfig() {
  ProcessExt = ReadString("ProcessExt", "ConfigDialog", "*.mp3");
  ExcludeExt = ReadString("ExcludeExt", "ConfigDialog", "");
  ResetCounter = ReadBool("ResetCounter", "ConfigDialog", true);
  LoadCodePage("TagCP", "ConfigDialog", tags::TagCodePage);
  tags::KeepFileTimes = ReadBool("KeepFileTime", "ConfigDialog", false);
  tags::WriteUnicodeText = ReadBool("WriteUnicode", "ConfigDialog", WriteUnicodeByDefault());
}

bool DeleteKey(sys::RegKey root, const std::string& path) {
  {
    OpenKey key;
    if (!key.ForReading(root, path)) return false;
    // Always index 0: each deletion moves the next subkey to the front.
    std::string previous;
    for (;;) {
      std::string name;
      const int found = EnumSubkey(key, 0, &name);
      if (found == 0) break;
      // A subkey that is still listed after its deletion succeeded would
      // otherwise keep this loop going forever.
      if (found < 0 || name == previous) return false;
      if (!DeleteKey(root, Join(path, name))) return false;
      previous = name;
    }
  }
  const long status = sys::RegDeleteKey(root, path.c_str());
  if (status != kSuccess) NoteWriteFailure(status);
  return status == kSuccess;
}

bool CopyKey(sys::RegKey root, const std::string& source, const std::string& destination,
             bool recursive) {
  // A copy into its own tree would meet its own copies and never end.
  if (recursive && IsInside(destination, source)) return false;

  OpenKey from;
  if (!from.ForReading(root, source)) return false;
  {
    OpenKey to;
    if (!to.ForWriting(root, destination)) return false;
    if (!CopyValues(from, to)) return false;
  }
  if (!recursive) return true;

  for (uint32_t index = 0;; ++index) {
    std::string name;
    const int found = EnumSubkey(from, index, &name);
    if (found == 0) return true;
    if (found < 0) return false;
    if (!CopyKey(root, Join(source, name), Join(destination, name), true)) return false;
  }
}

bool MoveKey(sys::RegKey root, const std::string& parent, const std::string& oldName,
             const std::string& newName, bool keep) {
  const std::string target = Join(parent, newName);
  {
    OpenKey existing;
    if (existing.ForReading(root, target)) {
      NoteWriteFailure(static_cast<long>(sys::kErrorAlreadyExists));
      return false;
    }
  }
  if (!CopyKey(root, Join(parent, oldName), target, true)) {
    // The target did not exist before: take back whatever part of it the copy
    // made, so that a later move to this name is not refused.
    DeleteKey(root, target);
    return false;
  }
  return keep || DeleteKey(root, Join(parent, oldName));
}

}  // namespace host

// The Win32 registry subset over a REGEDIT4 file that holds HKEY_CURRENT_USER.
//
// The file is re-read whenever it changed on disk (device, inode, size and
// modification time), and every change is a read-modify-write under an
// exclusive lock on a lock file beside it, written to a temporary file,
// flushed and renamed into place: two processes writing at once lose nothing,
// and a crash leaves the old file or the new one. A file that cannot be
// parsed reads as an empty registry and is kept aside, under a name never used
// before, before the first write replaces it.
//
// A lock that another program holds is waited for a few seconds, not for
// ever: then the change fails with ERROR_LOCK_VIOLATION and the file stays as
// that program leaves it. Reads take no lock. A transaction
// (RegBeginChanges .. RegCommitChanges) holds the lock from its start, makes
// its changes in memory and writes the file once at its end.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sys/posix/posix_internal.h"
#include "sys/posix/regfile.h"
#include "sys/sys.h"

namespace sys {
namespace {

using posix::RegNode;
using posix::RegValue;

constexpr long kSuccess = 0;
constexpr long kInvalidHandle = 6;
constexpr long kBadPathname = 161;
constexpr long kKeyDeleted = 1018;
constexpr uint32_t kQueryValue = 0x1;
constexpr uint32_t kSetValue = 0x2;
constexpr uint32_t kCreateSubKey = 0x4;
constexpr uint32_t kEnumerateSubKeys = 0x8;
constexpr size_t kMaxKeyName = 255;
constexpr off_t kMaxFileSize = 256 << 20;
// How long a change waits for another program's lock on the file, and how
// often it asks again meanwhile.
constexpr std::chrono::milliseconds kLockWait{3000};
constexpr std::chrono::milliseconds kLockRetry{20};

// HKEY_CURRENT_USER's own value, as a handle that is never allocated.
RegKey const kRoot = reinterpret_cast<RegKey>(static_cast<uintptr_t>(0x80000001u));

struct Handle {
  std::vector<std::string> path;  // names from the root
  uint64_t id;                    // of the key it was opened on
  uint32_t access;
};

struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified = {};

  bool operator==(const FileIdentity& o) const {
    return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
  }
};

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.exists = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modified = st.st_mtim;
  return id;
}

class Store {
 public:
  std::mutex mutex;

  // Makes the tree match the file on disk; inside a transaction the tree
  // stays as the transaction made it.
  void Refresh();
  RegNode& root() { return *root_; }
  // Runs `change` on the current tree under the file lock and writes the file
  // when it reports a change; the result is `change`'s or a write failure's.
  // Inside a transaction the change is made in memory only.
  long Modify(const std::function<long(RegNode& root, bool* changed)>& change);

  void BeginChanges();
  long CommitChanges();

  static std::string RegistryPath();

 private:
  // Takes the exclusive lock on the lock file beside the registry file
  // (making the file's folder when missing) into lock_.
  long Lock();
  void Unlock();
  // Writes the tree, keeping a damaged file aside first; on failure the tree
  // is read from disk again at the next look.
  long Save();
  long KeepDamagedAside();
  long Write();

  std::string path_;
  bool loaded_ = false;
  bool damaged_ = false;     // the file is there but could not be parsed
  bool unreadable_ = false;  // the file is there but could not be read
  FileIdentity identity_;
  // The ANSI code page the tree's names were folded in; another one makes
  // the tree be read again.
  const posix::CodePageTable* foldedIn_ = nullptr;
  std::unique_ptr<RegNode> root_ = std::make_unique<RegNode>("HKEY_CURRENT_USER");
  int lock_ = -1;  // the lock file, locked, while a change or transaction runs

  int transactionDepth_ = 0;
  long transactionLock_ = kSuccess;  // what taking the lock at its start gave
  bool transactionChanged_ = false;
};

Store& TheStore() {
  static Store* store = new Store;  // never destroyed: handles may outlive static destructors
  return *store;
}

std::set<Handle*>& Handles() {
  static auto* handles = new std::set<Handle*>;
  return *handles;
}

long FromErrno(int error) {
  posix::SetErrno(error);
  return static_cast<long>(LastError());
}

std::string Store::RegistryPath() {
  const char* configured = std::getenv("TAGWRIGHT_REGISTRY");
  if (configured != nullptr && *configured != '\0') return configured;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/tagwright/registry.reg";
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const struct passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : "/tmp";
  }
  return std::string(home) + "/.config/tagwright/registry.reg";
}

void Store::Refresh() {
  if (transactionDepth_ > 0) return;
  const std::string path = RegistryPath();
  if (path != path_) {
    path_ = path;
    loaded_ = false;
  }
  const posix::CodePageTable* ansi = &posix::AnsiTable();
  if (ansi != foldedIn_) {
    foldedIn_ = ansi;
    loaded_ = false;
  }
  // One stat tells an unchanged file, the common case of every read; the
  // identity kept is that of the file actually read, taken from its handle.
  struct stat st;
  if (loaded_) {
    FileIdentity now;
    if (stat(path_.c_str(), &st) == 0) now = IdentityOf(st);
    if (now == identity_) return;
  }
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  FileIdentity identity;
  if (fd >= 0 && fstat(fd, &st) == 0) identity = IdentityOf(st);
  if (loaded_ && identity == identity_) {
    if (fd >= 0) close(fd);
    return;
  }
  std::unique_ptr<RegNode> tree;
  damaged_ = false;
  unreadable_ = false;
  if (fd < 0) {
    unreadable_ = errno != ENOENT;
  } else if (!S_ISREG(st.st_mode)) {
    unreadable_ = true;
  } else if (st.st_size > kMaxFileSize) {
    damaged_ = true;
  } else {
    std::string text(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = read(fd, &text[done], text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (done != text.size()) {
      unreadable_ = true;
    } else {
      tree = posix::ParseRegistryText(text);
      damaged_ = tree == nullptr;
    }
  }
  if (fd >= 0) close(fd);
  if (!tree) tree = std::make_unique<RegNode>("HKEY_CURRENT_USER");
  tree->AdoptIds(*root_);
  root_ = std::move(tree);
  identity_ = identity;
  loaded_ = true;
}

long Store::KeepDamagedAside() {
  for (int n = 1; n < 100000; ++n) {
    const std::string aside = path_ + ".damaged-" + std::to_string(n);
    if (renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
      return kSuccess;
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return FromErrno(errno);
    if (link(path_.c_str(), aside.c_str()) == 0) return kSuccess;  // the write replaces path_
    if (errno != EEXIST) return FromErrno(errno);
  }
  return FromErrno(EEXIST);
}

long Store::Write() {
  const std::string text = posix::FormatRegistryText(*root_);
  mode_t mode = 0600;
  struct stat st;
  if (stat(path_.c_str(), &st) == 0) mode = st.st_mode & 0777;
  std::string temporary;
  int fd = -1;
  for (int n = 0; fd < 0 && n < 1000; ++n) {
    temporary = path_ + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(n);
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return FromErrno(errno);
  int error = 0;
  for (size_t done = 0; done < text.size() && error == 0;) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) error = n < 0 ? errno : ENOSPC;
    else done += static_cast<size_t>(n);
  }
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), path_.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temporary.c_str());
    return FromErrno(error);
  }
  // The folder is not flushed: after a crash the old file or the new one is
  // there, either whole, and a flush per change would double its cost.
  if (stat(path_.c_str(), &st) == 0) identity_ = IdentityOf(st);
  damaged_ = false;
  return kSuccess;
}

long Store::Lock() {
  const std::string path = RegistryPath();
  const size_t slash = path.find_last_of('/');
  // The folder of the file, made when missing (one level at a time).
  if (slash != std::string::npos && slash > 0) {
    const std::string folder = path.substr(0, slash);
    for (size_t at = 1; at <= folder.size(); ++at) {
      if (at == folder.size() || folder[at] == '/') {
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return FromErrno(errno);
      }
    }
  }
  const std::string lockPath = path + ".lock";
  const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return FromErrno(errno);
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      lock_ = fd;
      return kSuccess;
    }
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      const long result = FromErrno(errno);
      close(fd);
      return result;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      SetLastError(kErrorLockViolation);
      return static_cast<long>(kErrorLockViolation);
    }
    std::this_thread::sleep_for(kLockRetry);
  }
}

void Store::Unlock() {
  if (lock_ >= 0) close(lock_);  // releases the lock
  lock_ = -1;
}

long Store::Save() {
  long result = damaged_ ? KeepDamagedAside() : kSuccess;
  if (result == kSuccess) result = Write();
  if (result != kSuccess) loaded_ = false;  // the tree in memory is ahead of the disk
  return result;
}

long Store::Modify(const std::function<long(RegNode& root, bool* changed)>& change) {
  if (transactionDepth_ > 0) {
    if (unreadable_) return static_cast<long>(kErrorAccessDenied);
    bool changed = false;
    const long result = change(*root_, &changed);
    if (changed) transactionChanged_ = true;
    return result;
  }
  long result = Lock();
  if (result != kSuccess) return result;
  Refresh();
  bool changed = false;
  if (unreadable_) {
    result = static_cast<long>(kErrorAccessDenied);
  } else {
    result = change(*root_, &changed);
    if (result == kSuccess && changed) result = Save();
  }
  Unlock();
  return result;
}

void Store::BeginChanges() {
  if (transactionDepth_ > 0) {
    ++transactionDepth_;
    return;
  }
  // Read under the lock: the transaction starts from the file as it is now.
  // Without the lock it goes on in memory, and its commit says why nothing
  // was written.
  transactionLock_ = Lock();
  transactionChanged_ = false;
  Refresh();
  transactionDepth_ = 1;
}

long Store::CommitChanges() {
  if (transactionDepth_ == 0) return kSuccess;
  if (--transactionDepth_ > 0) return kSuccess;
  // Without the lock, a transaction that changed nothing has nothing to
  // store: what it wrote is what the file holds.
  long result = transactionChanged_ ? transactionLock_ : kSuccess;
  if (result == kSuccess && transactionChanged_) result = Save();
  // Changes that were not written are dropped: the next look reads the disk.
  if (result != kSuccess) loaded_ = false;
  Unlock();
  if (result != kSuccess) SetLastError(static_cast<uint32_t>(result));
  return result;
}

// ------------------------------------------------------------ handles

// Finds the key of a handle; nothing when the key was deleted meanwhile.
long Resolve(RegKey key, RegNode& root, RegNode** node, uint32_t* access, Handle** handle) {
  if (key == kRoot) {
    *node = &root;
    *access = ~0u;
    if (handle != nullptr) *handle = nullptr;
    return kSuccess;
  }
  Handle* h = static_cast<Handle*>(key);
  if (key == nullptr || Handles().count(h) == 0) return kInvalidHandle;
  RegNode* at = &root;
  for (const std::string& name : h->path) {
    at = at->FindSubkey(name);
    if (at == nullptr) return kKeyDeleted;
  }
  if (at->id() != h->id) return kKeyDeleted;
  *node = at;
  *access = h->access;
  if (handle != nullptr) *handle = h;
  return kSuccess;
}

std::vector<std::string> PathOf(RegKey key) {
  if (key == kRoot) return {};
  return static_cast<Handle*>(key)->path;
}

// Splits a subkey path at '\'. A leading '\' is a bad path; empty names
// between two or after the last are passed over, as Wine does.
long SplitSubkey(const char* subkey, std::vector<std::string>* names) {
  names->clear();
  if (subkey == nullptr || *subkey == '\0') return kSuccess;
  const std::string path(subkey);
  if (path[0] == '\\') return kBadPathname;
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find('\\', start);
    std::string name =
        path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (name.empty()) {
      if (slash == std::string::npos) return kSuccess;
      start = slash + 1;
      continue;
    }
    if (name.size() > kMaxKeyName || !posix::IsStorableKeyName(name))
      return static_cast<long>(kErrorInvalidParameter);
    names->push_back(std::move(name));
    if (slash == std::string::npos) return kSuccess;
    start = slash + 1;
  }
}

RegKey NewHandle(std::vector<std::string> path, const RegNode& node, uint32_t access) {
  Handle* h = new Handle{std::move(path), node.id(), access};
  Handles().insert(h);
  return h;
}

// Copies `text` into a caller's buffer of `*size` characters (terminator
// included); ERROR_MORE_DATA when it does not fit.
long CopyName(const std::string& text, char* buffer, uint32_t* size) {
  if (buffer == nullptr || size == nullptr) return static_cast<long>(kErrorInvalidParameter);
  if (text.size() + 1 > *size) return static_cast<long>(kErrorMoreData);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *size = static_cast<uint32_t>(text.size());
  return kSuccess;
}

long CopyData(const RegValue& value, uint32_t* type, uint8_t* data, uint32_t* size) {
  if (type != nullptr) *type = value.type;
  const uint32_t needed = static_cast<uint32_t>(value.data.size());
  if (data != nullptr) {
    if (size == nullptr) return static_cast<long>(kErrorInvalidParameter);
    if (*size < needed) {
      *size = needed;
      return static_cast<long>(kErrorMoreData);
    }
    if (needed > 0) std::memcpy(data, value.data.data(), needed);
  }
  if (size != nullptr) *size = needed;
  return kSuccess;
}

// The key a handle names in `root`, when the handle grants `right`.
long ResolveFor(RegKey key, RegNode& root, uint32_t right, RegNode** node) {
  uint32_t access;
  const long status = Resolve(key, root, node, &access, nullptr);
  if (status != kSuccess) return status;
  if (!(access & right)) return static_cast<long>(kErrorAccessDenied);
  return kSuccess;
}

// Runs `read` on the key a handle names, in the store as it is on disk now.
template <typename Read>
long ReadKey(RegKey key, uint32_t right, Read read) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.mutex);
  store.Refresh();
  RegNode* node;
  const long status = ResolveFor(key, store.root(), right, &node);
  if (status != kSuccess) return status;
  return read(*node);
}

// Runs `change` on the key a handle names under the file lock; the store is
// written when it reports a change.
template <typename Change>
long ChangeKey(RegKey key, uint32_t right, Change change) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.mutex);
  return store.Modify([&](RegNode& root, bool* changed) {
    RegNode* node;
    const long status = ResolveFor(key, root, right, &node);
    if (status != kSuccess) return status;
    return change(*node, changed);
  });
}

// Follows `names` down from `node`, adding each key's stored name to `path`;
// nothing when one of them is missing.
RegNode* Descend(RegNode* node, const std::vector<std::string>& names,
                 std::vector<std::string>* path) {
  for (const std::string& name : names) {
    node = node->FindSubkey(name);
    if (node == nullptr) return nullptr;
    path->push_back(node->name());
  }
  return node;
}

// What opening a subkey found: kept for a caller that goes on to create it.
struct Lookup {
  uint32_t parentAccess = 0;
  std::vector<std::string> names;  // the parts of the subkey path
  bool missing = false;            // a part of the subkey path is not there
};

// Opens `subkey` below `parent` in the store as it is on disk now; the caller
// holds the store's mutex.
long OpenExisting(Store& store, RegKey parent, const char* subkey, uint32_t access,
                  RegKey* result, Lookup* found) {
  if (result == nullptr) return static_cast<long>(kErrorInvalidParameter);
  *result = nullptr;
  store.Refresh();
  RegNode* node;
  long status = Resolve(parent, store.root(), &node, &found->parentAccess, nullptr);
  if (status != kSuccess) return status;
  status = SplitSubkey(subkey, &found->names);
  if (status != kSuccess) return status;
  std::vector<std::string> path = PathOf(parent);
  node = Descend(node, found->names, &path);
  if (node == nullptr) {
    found->missing = true;
    return static_cast<long>(kErrorFileNotFound);
  }
  *result = NewHandle(std::move(path), *node, access);
  return kSuccess;
}

}  // namespace

RegKey CurrentUserKey() { return kRoot; }

bool RegStorable(std::string* where) {
  const std::string path = Store::RegistryPath();
  *where = path;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      posix::SetErrno(EISDIR);
      return false;
    }
    if (access(path.c_str(), R_OK) != 0) {
      posix::SetErrno(errno);
      return false;
    }
  } else if (errno != ENOENT) {
    posix::SetErrno(errno);
    return false;
  }
  // A change writes a new file beside the old one and a lock file, making
  // the folders that are missing first.
  std::string folder = path;
  for (;;) {
    const size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : folder.substr(0, slash);
    if (stat(folder.c_str(), &st) == 0) break;
    if (errno != ENOENT || folder == "/" || folder == ".") {
      posix::SetErrno(errno);
      return false;
    }
  }
  if (!S_ISDIR(st.st_mode)) {
    posix::SetErrno(ENOTDIR);
    return false;
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    posix::SetErrno(errno);
    return false;
  }
  return true;
}

long RegOpenKeyEx(RegKey parent, const char* subkey, uint32_t access, RegKey* result) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.mutex);
  Lookup found;
  return OpenExisting(store, parent, subkey, access, result, &found);
}

long RegCreateKeyEx(RegKey parent, const char* subkey, uint32_t access, RegKey* result) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.mutex);
  Lookup found;
  long status = OpenExisting(store, parent, subkey, access, result, &found);
  if (!found.missing) return status;  // all there, or a failure: no need to take the file lock
  const std::vector<std::string>& names = found.names;
  const uint32_t parentAccess = found.parentAccess;
  std::vector<std::string> path;
  RegNode* target = nullptr;
  const std::vector<std::string> parentPath = PathOf(parent);
  status = store.Modify([&](RegNode& root, bool* changed) {
    RegNode* at;
    uint32_t unused;
    const long resolved = Resolve(parent, root, &at, &unused, nullptr);
    if (resolved != kSuccess) return resolved;
    path = parentPath;
    for (const std::string& name : names) {
      RegNode* next = at->FindSubkey(name);
      if (next == nullptr) {
        if (!(parentAccess & kCreateSubKey)) return static_cast<long>(kErrorAccessDenied);
        next = &at->AddSubkey(name);
        *changed = true;
      }
      at = next;
      path.push_back(at->name());
    }
    target = at;
    return kSuccess;
  });
  if (status != kSuccess) return status;
  *result = NewHandle(std::move(path), *target, access);
  return kSuccess;
}

long RegQueryValueEx(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) {
  return ReadKey(key, kQueryValue, [&](RegNode& node) {
    const RegValue* value = node.FindValue(name != nullptr ? name : "");
    if (value == nullptr) return static_cast<long>(kErrorFileNotFound);
    return CopyData(*value, type, data, size);
  });
}

long RegSetValueEx(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) {
  const std::string valueName = name != nullptr ? name : "";
  if ((data == nullptr && size > 0) || !posix::IsStorableValueName(valueName))
    return static_cast<long>(kErrorInvalidParameter);
  std::vector<uint8_t> bytes(data, data + (data != nullptr ? size : 0));
  return ChangeKey(key, kSetValue, [&](RegNode& node, bool* changed) {
    *changed = node.SetValue(valueName, type, std::move(bytes));
    return kSuccess;
  });
}

long RegDeleteValue(RegKey key, const char* name) {
  const std::string valueName = name != nullptr ? name : "";
  return ChangeKey(key, kSetValue, [&](RegNode& node, bool* changed) {
    if (!node.RemoveValue(valueName)) return static_cast<long>(kErrorFileNotFound);
    *changed = true;
    return kSuccess;
  });
}

long RegEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type,
                  uint8_t* data, uint32_t* dataSize) {
  return ReadKey(key, kQueryValue, [&](RegNode& node) {
    if (index >= node.ValueCount()) return static_cast<long>(kErrorNoMoreItems);
    const RegValue& value = node.Value(index);
    const long copied = CopyName(value.name, name, nameSize);
    if (copied != kSuccess) return copied;
    return CopyData(value, type, data, dataSize);
  });
}

long RegEnumKeyEx(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
  return ReadKey(key, kEnumerateSubKeys, [&](RegNode& node) {
    if (index >= node.SubkeyCount()) return static_cast<long>(kErrorNoMoreItems);
    return CopyName(node.Subkey(index).name(), name, nameSize);
  });
}

long RegDeleteKey(RegKey parent, const char* subkey) {
  if (subkey == nullptr) return static_cast<long>(kErrorInvalidParameter);
  std::vector<std::string> names;
  long status = SplitSubkey(subkey, &names);
  if (status != kSuccess) return status;
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.mutex);
  return store.Modify([&](RegNode& root, bool* changed) {
    RegNode* node;
    uint32_t access;
    const long resolved = Resolve(parent, root, &node, &access, nullptr);
    if (resolved != kSuccess) return resolved;
    std::vector<RegNode*> chain{node};
    for (const std::string& name : names) {
      RegNode* next = chain.back()->FindSubkey(name);
      if (next == nullptr) return static_cast<long>(kErrorFileNotFound);
      chain.push_back(next);
    }
    // HKEY_CURRENT_USER itself, or a key that still has subkeys, stays, as on Windows.
    if (chain.back() == &root || chain.back()->SubkeyCount() > 0)
      return static_cast<long>(kErrorAccessDenied);
    if (chain.size() >= 2) {
      chain[chain.size() - 2]->RemoveSubkey(chain.back()->name());
    } else {
      // The handle's own key: find its parent from the root.
      RegNode* at = &root;
      const std::vector<std::string> path = PathOf(parent);
      for (size_t i = 0; i + 1 < path.size(); ++i) at = at->FindSubkey(path[i]);
      at->RemoveSubkey(path.back());
    }
    *changed = true;
    return kSuccess;
  });
}

void RegBeginChanges() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.mutex);
  store.BeginChanges();
}

long RegCommitChanges() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.mutex);
  return store.CommitChanges();
}

long RegCloseKey(RegKey key) {
  if (key == kRoot) return kSuccess;
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.mutex);
  Handle* h = static_cast<Handle*>(key);
  if (Handles().erase(h) == 0) return kInvalidHandle;
  delete h;
  return kSuccess;
}

}  // namespace sys

// The system layer: the only place in src/ that knows which platform it runs on.
//
// Paths are the host's text, as the host hands them to the plug-in: OEM bytes
// (FAR switched the process's file functions to OEM), or UTF-8 where the host
// speaks it (HostTextIsUtf8 below). On POSIX the layer converts OEM paths to
// UTF-8 at the boundary and takes UTF-8 paths as they are; folders are
// separated by the system's own separator (kPathSeparator below).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
// windows.h maps these names to their ...A functions; the layer's own names
// must stay as declared here, in every translation unit. A file that needs
// windows.h includes it before this header, never after.
#undef DeleteFile
#undef MoveFile
#undef ReplaceFile
#undef RegOpenKeyEx
#undef RegCreateKeyEx
#undef RegQueryValueEx
#undef RegSetValueEx
#undef RegDeleteValue
#undef RegEnumValue
#undef RegEnumKeyEx
#undef RegDeleteKey
#undef CharToOem
#undef OemToChar
#undef CharToOemBuff
#undef OemToCharBuff
#endif

namespace sys {

// ---------------------------------------------------------------- files

// File attribute bits, with the values of the Windows API.
enum : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};

enum class OpenMode {
  Read,        // existing file, reading; others may read meanwhile (on Windows not write)
  ReadWrite,   // existing file, reading and writing
  CreateNew,   // new file, reading and writing; fails when the name is taken
  CreateAlways, // new or truncated file, reading and writing
  OpenAlways,  // existing file as ReadWrite, or a new one when the name is free
  Append       // as OpenAlways, and every write goes to the end, whatever
               // another program wrote meanwhile (POSIX: O_APPEND; Windows:
               // the position is put at the end when the file is opened)
};

// An open file. Move-only; closes itself. Every call returns false on failure
// and leaves the reason in LastError().
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Open(const std::string& path, OpenMode mode);
  // The same, and `*size` is the file's size as opened (one operation where
  // Open and Size would be two).
  bool Open(const std::string& path, OpenMode mode, int64_t* size);
  bool IsOpen() const;
  // Reads up to `size` bytes; `*got` is how many came (0 at the end of the file).
  bool Read(void* buffer, size_t size, size_t* got);
  // Reads exactly `size` bytes, or fails.
  bool ReadExact(void* buffer, size_t size);
  // Reads up to `size` bytes from `position` in one call, whatever the current
  // position (which is unspecified afterwards); `*got` is how many came (fewer
  // only at the end of the file).
  bool ReadAt(int64_t position, void* buffer, size_t size, size_t* got);
  // Exactly `size` bytes from `position`, or fails (ERROR_HANDLE_EOF when the
  // file ends first): ReadExact without the seek before it.
  bool ReadExactAt(int64_t position, void* buffer, size_t size);
  // Gives this file the owner, group and permission bits of the file under
  // `path`, so that a copy which is to take that file's place opens it to
  // nobody new. Done before the copy's Flush, the one flush carries both.
  // (Windows: nothing to do; a new file takes its rights from its folder.)
  bool TakeOwnerAndModeOf(const std::string& path);
  bool Write(const void* buffer, size_t size);
  bool Seek(int64_t position);  // from the start of the file
  bool SeekFromEnd(int64_t offset);  // offset <= 0
  bool Tell(int64_t* position);
  bool Size(int64_t* size);
  bool Truncate();  // the file ends at the current position
  bool Flush();     // to the disk
  bool Close();     // false when pending data could not be written
  // Which file this is now (see FileIdentity).
  bool Identity(struct FileIdentity* identity);

 private:
  friend bool CopyRange(File& from, File& to, int64_t count);
  intptr_t handle_ = -1;
};

// What tells a file from another that takes its name later: the file itself
// (volume and index: device and inode on POSIX), its size and its time of
// last change. Two equal identities are the same file with the same content,
// as far as the file system can tell without reading it.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  int64_t size = 0;
  int64_t changed = 0;  // in the file system's own unit
  bool operator==(const FileIdentity&) const = default;
};
// The identity of the file under a name now; false when there is none.
bool IdentityOf(const std::string& path, FileIdentity* identity);

bool DeleteFile(const std::string& path);
// Renames or moves; fails when `to` exists.
bool MoveFile(const std::string& from, const std::string& to);
// Puts `from` in the place of `to` in one atomic step: a reader sees either the
// old content of `to` or the new one, also after a crash, provided `from` was
// flushed first (File::Flush). `to` may exist. The new name reaches the disk
// with the next SyncWritten (the replaced file is noted here); `from` gets
// the owner and permissions of `to` if it does not have them yet.
bool ReplaceFile(const std::string& from, const std::string& to);
// Copies `count` bytes from the position of `from` to that of `to`, moving
// both; fails with ERROR_HANDLE_EOF when `from` ends first. On Linux the
// kernel copies (copy_file_range) a piece at a time, starting the disk's
// writing of each piece and dropping the pieces of `from` from the cache (the
// copy is to replace it); else, or where the kernel refuses, a buffer of
// at most kCopyBufferSize bytes does: four times the old 64 KiB, so a
// quarter of the requests, and still within the processor's cache, which a
// buffer of 1 MiB or more misses (such copies measured 2 to 4 times slower,
// natively and under Wine).
bool CopyRange(File& from, File& to, int64_t count);
constexpr size_t kCopyBufferSize = size_t{256} << 10;

// ---------------------------------------------------------------- durability
//
// A walk makes what it wrote durable once, when it ends, not once per file.
// Until then every change is in the file system, which every reader sees,
// but may not be on the disk: a power cut can give any file written since
// the last SyncWritten its old content back (whole: a rebuilt file is
// flushed before it takes the name, and an in-place write changes one range
// of the file).

// Notes a file whose content was changed without a flush (an in-place write,
// an append, a truncation), for SyncWritten. ReplaceFile notes the file it
// puts in place; MoveFile carries a note over to the new name; DeleteFile
// drops it.
void NoteWritten(const std::string& path);
// How many noted files wait for SyncWritten.
size_t PendingWrites();
struct SyncFailure {
  std::string path;  // a noted file that may not have reached the disk
  uint32_t error;    // the system's reason
};
// Makes every noted file durable, and the folders that hold them, then
// forgets the notes. POSIX: a few files are synced one by one with their
// folders (fsync), many through their file systems at once (syncfs), and one
// by one after all when that fails, to name the files it concerned. Windows:
// FlushFileBuffers of each file. False when something may not have reached
// the disk; `failures` (may be null) then names the files, each once.
bool SyncWritten(std::vector<SyncFailure>* failures);

// false when the file does not exist.
bool GetAttributes(const std::string& path, uint32_t* attributes);
bool SetAttributes(const std::string& path, uint32_t attributes);
// A file's times, exact to the nanosecond where the file system keeps them
// (Windows: to 100 ns): seconds since 1970-01-01 UTC and the part of a second.
struct FileTime {
  int64_t seconds = 0;
  int32_t nanoseconds = 0;  // 0 to 999,999,999
  bool operator==(const FileTime&) const = default;
};
struct FileTimes {
  FileTime modified;
  FileTime accessed;
  bool operator==(const FileTimes&) const = default;
};
// false when the file does not exist.
bool GetFileTimes(const std::string& path, FileTimes* times);
// Sets the modification and access times; a read-only file takes them too.
bool SetFileTimes(const std::string& path, const FileTimes& times);
bool CreateFolder(const std::string& path);  // one level
bool Exists(const std::string& path);        // file or folder
bool IsFolder(const std::string& path);
// Whether the entries of the folder can be listed; false with the reason in
// LastError() when not (missing, not a folder, access denied).
bool CanListFolder(const std::string& path);

// ---------------------------------------------------------------- paths
//
// Windows: folders are separated by '\'; a folder part also ends at the ':'
// of a drive, and the paths the system and the host hand over may use '/'
// as well. POSIX: '/' alone separates folders; '\' and ':' are characters
// of names like any other.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
// Where the folder part of a path that the host or the system gave ends.
inline constexpr const char* kPathSeparators = "\\/:";
// Where the folder part of a name the plug-in builds from text ends (a rename
// target, a template's path markers): on Windows a '/' there is no folder.
inline constexpr const char* kBuiltPathSeparators = "\\:";
// The characters no file name may hold, and those that may stand in a path
// but not in one name (folder and drive separators).
inline constexpr const char* kIllegalNameChars = "\"*<>?|";
inline constexpr const char* kSeparatorNameChars = "/:\\";
// Whether a path may start with a drive ("C:").
inline constexpr bool kDrives = true;
// The end of a line of the text files the plug-in writes.
inline constexpr const char* kLineEnd = "\r\n";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kPathSeparators = "/";
inline constexpr const char* kBuiltPathSeparators = "/";
// Only '/' (and NUL, which no C string holds) cannot be part of a name.
inline constexpr const char* kIllegalNameChars = "";
inline constexpr const char* kSeparatorNameChars = "/";
inline constexpr bool kDrives = false;
inline constexpr const char* kLineEnd = "\n";
#endif

// The name under which the file system knows a path in the host's text: on
// POSIX the UTF-8 form of an OEM path, a UTF-8 path as it is (bytes that are
// no UTF-8 included, so that every name the system lists can be reached); on
// Windows the path itself. For callers that reach files by other means (the
// C++ library, directory listings).
std::string NativePath(const std::string& hostPath);
// The other way: a name as the file system gives it, in the host's text. In
// OEM, characters that the OEM code page lacks become '?'; in UTF-8 the name
// as it is. On Windows the name itself.
std::string HostNameFromNative(const std::string& nativeName);

// The reason of the last failure, as a Windows error code (ERROR_FILE_NOT_FOUND
// = 2, ERROR_ACCESS_DENIED = 5, ...), and its text (ASCII on POSIX, the OEM
// code page on Windows).
uint32_t LastError();
void SetLastError(uint32_t code);
std::string ErrorText(uint32_t code);
// The reason of the last failure in the system's own words, for programs that
// speak to the system's users rather than through the host: on POSIX the
// strerror text of the errno behind LastError() (ErrorText when the error did
// not come from errno), on Windows ErrorText(LastError()).
std::string SystemErrorText();

// Keeps the last error of a failure while cleaning up after it: what the
// clean-up leaves in LastError() is replaced by the error this object took
// when it was made.
class KeepLastError {
 public:
  KeepLastError() : error_(LastError()) {}
  ~KeepLastError() { SetLastError(error_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  uint32_t error_;
};

// Windows error codes the callers look at.
enum : uint32_t {
  kErrorSuccess = 0,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorNotEnoughMemory = 8,
  kErrorWriteFault = 29,
  kErrorReadFault = 30,
  kErrorSharingViolation = 32,
  kErrorLockViolation = 33,
  kErrorHandleEof = 38,
  kErrorInvalidParameter = 87,
  kErrorDiskFull = 112,
  kErrorFileExists = 80,
  kErrorAlreadyExists = 183,
  kErrorFileTooLarge = 223,
  kErrorMoreData = 234,
  kErrorNoMoreItems = 259,
  // A name that the OEM code page cannot spell: on POSIX with OEM host text, a
  // path whose name holds '?' where the folder has a name with characters
  // that the OEM code page lacks (the host showed them as '?'), and no file of
  // that very name. A host that speaks UTF-8 shows every name as it is.
  kErrorNoUnicodeTranslation = 1113,
};

// Fault injection for tests: the Nth file operation from now (1-based) and the
// `count` - 1 after it (all after it by default) fail with ERROR_WRITE_FAULT;
// 0 switches it off. A single failure shows what the clean-up after it does.
// Counted operations:
// Open, Read, ReadExact, ReadAt (ReadExactAt too), Write, Seek, SeekFromEnd, Size, Truncate,
// Flush, Close, DeleteFile, MoveFile, ReplaceFile, SetAttributes,
// SetFileTimes, CreateFolder, CanListFolder, Identity, IdentityOf,
// TakeOwnerAndModeOf, CopyRange (once per call), and each sync that
// SyncWritten makes (of a file, a folder or a file system). Once a test has
// called this, or the host program ShareFileOperationState, every copy of
// this layer in the process (the plug-in module's too) counts and fails
// together.
void FailFileOperationsFrom(int n, int count = 0x7FFFFFFF);
// For tests of what another program may do meanwhile: `action(context)` runs
// once, just before the Nth counted file operation from now (no failures are
// armed; the action's own file operations are not counted).
void RunBeforeFileOperation(int n, void (*action)(void*), void* context);
// Number of counted file operations since the last FailFileOperationsFrom.
int FileOperationCount();
// Makes this copy's state the one every copy of this layer in the process
// finds from then on (FailFileOperationsFrom does it too). A host program
// calls it before it loads a module, so that the module counts and fails
// with the host.
void ShareFileOperationState();

// ---------------------------------------------------------------- registry
//
// The subset of the Win32 registry API that the settings store uses, with the
// Win32 meanings and result codes. On Windows these are the real functions; on
// POSIX a REGEDIT4 text file holds HKEY_CURRENT_USER.

using RegKey = void*;
RegKey CurrentUserKey();  // HKEY_CURRENT_USER

enum : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
  kKeyRead = 0x20019,
  kKeyWrite = 0x20006,
};

long RegOpenKeyEx(RegKey parent, const char* subkey, uint32_t access, RegKey* result);
long RegCreateKeyEx(RegKey parent, const char* subkey, uint32_t access, RegKey* result);
long RegQueryValueEx(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size);
long RegSetValueEx(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size);
long RegDeleteValue(RegKey key, const char* name);
long RegEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize,
                  uint32_t* type, uint8_t* data, uint32_t* dataSize);
long RegEnumKeyEx(RegKey key, uint32_t index, char* name, uint32_t* nameSize);
long RegDeleteKey(RegKey parent, const char* subkey);  // a key without subkeys
long RegCloseKey(RegKey key);

// On POSIX every change is a transaction of the registry file: lock, write,
// flush, rename. A lock held by another program is waited for a few seconds;
// then the change fails with ERROR_LOCK_VIOLATION and the file is left as it
// is. Reads take no lock.
//
// RegBeginChanges groups the changes made until the matching
// RegCommitChanges into one transaction: the file is locked at the start,
// the changes are made in memory (this process's reads see them) and the
// commit writes the file once. When the lock could not be had or the write
// failed, the commit gives the reason (ERROR_LOCK_VIOLATION for the lock) and
// none of the changes is kept; a transaction that changed nothing succeeds.
// Pairs nest; the outermost commit writes. Keep a transaction short and free
// of user interaction: its lock makes other programs wait.
//
// On Windows every change is made by its own call, as always, and the commit
// gives success.
void RegBeginChanges();
long RegCommitChanges();

// Whether changes to the registry can be stored, asked without changing
// anything. On POSIX: the registry file (`*where` gets its path) can be read
// when it is there, and its folder, or the nearest folder above it that
// exists, can be written; false with the reason in LastError() otherwise. On
// Windows always true, with `*where` empty.
bool RegStorable(std::string* where);

// ---------------------------------------------------------------- text

// The code pages of the process: OEM (866 or 437 ...) and ANSI (1251 or 1252 ...).
unsigned OemCodePage();
unsigned AnsiCodePage();
// On POSIX the pair, and whether the host's text is UTF-8, are taken from the
// environment (TAGWRIGHT_CODEPAGES, TAGWRIGHT_HOST_TEXT, the locale
// variables) once; a program that changes those variables calls this to take
// the change. On Windows the pair is the system's and this does nothing.
void RereadCodePages();
// Whether the host and the plug-in exchange UTF-8 text (file names, panel
// items, dialog and menu texts, messages) rather than OEM text. One decision
// for the whole process, which the host and the plug-in's start-up both ask.
// Windows: never (FAR 1.70 speaks OEM). POSIX: when the locale's codeset is
// UTF-8 (the first of LC_ALL, LC_CTYPE and LANG that is set and not empty;
// C.UTF-8 included); TAGWRIGHT_HOST_TEXT set to "utf8" or "oem" decides
// instead. The OEM and ANSI code pages above stay what they are: they still
// read and write 8-bit tag text.
bool HostTextIsUtf8();
// CharToOemA / OemToCharA: `out` has room for strlen(in) + 1 bytes; in == out is allowed.
void CharToOem(const char* in, char* out);
void OemToChar(const char* in, char* out);
void CharToOemBuff(const char* in, char* out, size_t size);
void OemToCharBuff(const char* in, char* out, size_t size);
// WideCharToMultiByte(CP_ACP): UTF-16 code units to the ANSI code page;
// characters without an equivalent become the system's replacement character.
std::string WideToAnsi(const char16_t* text, size_t length);
// MultiByteToWideChar: single-byte text of the Windows code page `codePage`
// (1251, 866, 20866 for KOI8-R, 1252 ...) to UTF-16 units, one per byte; a byte
// the code page lacks becomes U+FFFD. Empty when the system has no such code
// page.
std::u16string CodePageToWide(unsigned codePage, const char* text, size_t length);
// Unicode letter case of one character, by the system's tables (the C
// library's C.UTF-8 locale on POSIX, CharUpperW and its kin on Windows); a
// character without a case, or beyond what the system knows, stays.
char32_t UpperCase(char32_t c);
char32_t LowerCase(char32_t c);
bool IsLetter(char32_t c);

// ---------------------------------------------------------------- environment

// GetEnvironmentVariableA: false when the variable is not set.
bool GetEnv(const char* name, std::string* value);

}  // namespace sys

// The settings store: the plug-in's registry key under HKEY_CURRENT_USER, typed
// reads and writes of its values, the configuration, and the recursive key
// operations the schemes rest on.
//
// Every value is stored as REG_SZ text; flags as "1" and "0". Reads that fail
// give the default. The values of a confirmed dialog are stored together
// (StoreDialogValues), and so are the changes of a scheme operation
// (StoreSettingsChange); when they cannot be, the user is told once. A write
// outside those would be lost without a word: there is none.
#pragma once

#include <functional>
#include <string>

#include "sys/sys.h"

namespace tags {
struct CodePage;
}

namespace host {

// "Software\Far\" + UserKey + "Plugins\" + the text of message 0, and
// "\" + subkey when the subkey is not empty (it may hold several levels).
std::string KeyPath(const std::string& subkey);

// The value `name` of KeyPath(subkey) as text, up to its first zero byte, of
// whatever type it is stored as; `fallback` when the key or the value cannot
// be read. A value of size 0 reads as the empty text.
std::string ReadString(const std::string& name, const std::string& subkey,
                       const std::string& fallback);
// Creates the key when missing. The empty text is stored with no data.
void WriteString(const std::string& name, const std::string& subkey, const std::string& text);
// True exactly when the stored text is "1".
bool ReadBool(const std::string& name, const std::string& subkey, bool fallback);
void WriteBool(const std::string& name, const std::string& subkey, bool value);

// Groups the writes that follow, until Commit, into one transaction of the
// registry (sys::RegBeginChanges): on POSIX one lock, one write and one
// replace of the settings file however many values are written, and the reads
// inside the batch see them. Batches nest; only the outermost one stores.
// Nothing in a batch may wait for the user: the settings file stays locked.
class SettingsBatch {
 public:
  SettingsBatch();
  ~SettingsBatch();  // commits, when Commit was not called
  SettingsBatch(const SettingsBatch&) = delete;
  SettingsBatch& operator=(const SettingsBatch&) = delete;

  // Stores what was written since the start. False when a write in the batch
  // or the transaction failed, with the reason in sys::LastError()
  // (ERROR_LOCK_VIOLATION when another program held the settings file's lock
  // for too long); then none of the batch's writes is kept.
  bool Commit();

 private:
  bool open_ = true;
};

// Runs `store`, the writes of a confirmed dialog's values, as one batch. When
// they could not be stored, says so in one warning (message 90 when another
// program held the settings file's lock, otherwise message 91 with the
// system's reason) and gives false. Whatever `store` read back inside the
// batch (the configuration, a code page) has the dialog's values either way.
bool StoreDialogValues(const std::function<void()>& store);

// Runs `change`, the registry changes of one operation on the settings (a
// scheme saved, loaded, renamed, deleted or moved), as one batch. When a
// write in it failed, a key operation refused to overwrite a key, or the
// batch could not be stored, says so in one warning, message 93 with the
// system's reason, and gives false. A key operation that found nothing to
// act on is no failure.
bool StoreSettingsChange(const std::function<void()>& change);

// ProcessExt, ExcludeExt and ResetCounter from the subkey ConfigDialog into
// the configuration in memory, then the tag code page from TagCP and whether
// tag writes keep the file's times from KeepFileTime.
void LoadConfig();
// The default of "Write ID3v2 text in Unicode": on where the host's text is
// UTF-8, off under FAR's OEM text.
bool WriteUnicodeByDefault();

// Reads the code page setting `valueName` under `subkey` (default "Windows
// text") into `codePage`. A table name is looked up among the host's tables
// ignoring case; a name the host does not have means "Windows text". With
// `withUtf8` (the text files of the batch operations), "UTF-8" is UTF-8.
void LoadCodePage(const std::string& valueName, const std::string& subkey, tags::CodePage& codePage,
                  bool withUtf8 = false);

// The key operations take full key paths below `root`.

// The key operations count their failed writes (and MoveKey its refusal) as
// failed writes of the batch that runs, if one does.

// Deletes `path` with all its subkeys; false when it is missing or a part
// could not be deleted.
bool DeleteKey(sys::RegKey root, const std::string& path);
// Copies every value of `source` into `destination` (created when missing)
// and, when `recursive`, every subkey likewise. False when anything could not
// be read or written. Refuses a recursive copy into the source's own tree.
bool CopyKey(sys::RegKey root, const std::string& source, const std::string& destination,
             bool recursive);
// Copies parent\oldName with its subkeys to parent\newName, then deletes
// parent\oldName unless `keep`. Refuses when parent\newName exists; a copy
// that fails part-way is removed again, so the target never holds half a key.
bool MoveKey(sys::RegKey root, const std::string& parent, const std::string& oldName,
             const std::string& newName, bool keep);

}  // namespace host

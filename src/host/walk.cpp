#include "host/walk.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/mpeg_audio.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/plugin_state.h"
#include "sys/path.h"
#include "sys/sys.h"
#include "tagwright/messages.h"

namespace host {

namespace {

// The menu's items in the order of Operation; `Mode` is the chosen one.
constexpr int kMenuMessages[] = {MShowInfo, MMakeFileList, MRenameFiles, MCreateTags, MConvertText};
constexpr int kModes = static_cast<int>(sizeof kMenuMessages / sizeof kMenuMessages[0]);
static_assert(kModes == static_cast<int>(Operation::ConvertText) + 1);

// ProcessFile's results.
constexpr int kStop = 0;
constexpr int kHanded = 1;
constexpr int kSkipped = -1;

// ProcessFile's caller values; any other value is the address of a stop flag.
void* const kOneOfSeveral = nullptr;
void* const kSingle = reinterpret_cast<void*>(1);

bool IsStopFlag(void* param) { return param != kOneOfSeveral && param != kSingle; }

// What the counting pass found under one selected folder, in the order of
// the host's search: the folders and the files that pass the masks, which the
// processing pass goes through instead of asking the file system again.
struct Listing {
  struct Entry {
    size_t at;            // the full path in `paths`
    size_t length;
    size_t nameLength;    // the path ends with the name
    DWORD attributes;
  };
  std::string paths;
  std::vector<Entry> entries;
  // False when the listing was given up (too large): the processing pass
  // asks the host's search again.
  bool complete = true;
};

// What the listings of one invocation may hold, about a hundred bytes a file;
// a larger walk asks the file system twice.
constexpr size_t kListingBytes = size_t{16} << 20;

// What one OpenPlugin call creates. The recursive search calls back into
// ProcessFile, which finds it here.
struct Invocation {
  audio::MPEGaudio audio;
  std::unique_ptr<ListLines> lines;
  // The counting pass's listings, by the selected folder's path.
  std::map<std::string, Listing> listings;
  size_t listingBytes = 0;
  // An exception in a callback of the host's recursive search cannot pass
  // through the host: it is kept here, the walk stops, and it is raised again
  // once the host has returned.
  std::exception_ptr failure;
};
Invocation* current = nullptr;

// Makes what the invocation wrote durable, once for all its files. A file
// that may not have reached the disk is said like a failed write; the user
// may stop hearing of the others.
void FinishWrites() {
  std::vector<sys::SyncFailure> failures;
  if (sys::SyncWritten(&failures)) return;
  const int message = Mode == Operation::FileList ? MCannotWriteList : MCannotWriteTags;
  for (const sys::SyncFailure& failure : failures) {
    sys::SetLastError(failure.error);
    if (!ReportFileFailure(message, failure.path)) break;
  }
}

// Makes the invocation current for its lifetime and, on every way out,
// gives back the screen of a progress display still open and makes what
// was written durable.
class InvocationScope {
 public:
  InvocationScope() : invocation_(std::make_unique<Invocation>()), previous_(current) {
    current = invocation_.get();
  }
  ~InvocationScope() {
    ProgressEnd();
    try {
      FinishWrites();
    } catch (...) {
      // Nothing may leave a destructor; what was written stays written.
    }
    current = previous_;
  }
  InvocationScope(const InvocationScope&) = delete;
  InvocationScope& operator=(const InvocationScope&) = delete;

  Invocation& operator*() { return *invocation_; }
  Invocation* operator->() { return invocation_.get(); }

  void RaiseFailure() {
    if (invocation_->failure) std::rethrow_exception(std::exchange(invocation_->failure, nullptr));
  }

 private:
  std::unique_ptr<Invocation> invocation_;
  Invocation* previous_;
};

// A name from the host's fixed-size field, never read past it.
std::string NameOf(const FAR_FIND_DATA& data) {
  return std::string(data.cFileName, strnlen(data.cFileName, sizeof data.cFileName));
}

bool IsFolder(const FAR_FIND_DATA& data) {
  return (data.dwFileAttributes & FAR_FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void Remember(Listing& listing, const FAR_FIND_DATA& data, const char* fullName) {
  if (!listing.complete) return;
  const size_t nameLength = strnlen(data.cFileName, sizeof data.cFileName);
  const size_t length = std::strlen(fullName);
  const size_t cost = length + sizeof(Listing::Entry);
  if (current->listingBytes + cost > kListingBytes || length < nameLength ||
      std::memcmp(fullName + length - nameLength, data.cFileName, nameLength) != 0) {
    listing.complete = false;
    current->listingBytes -= listing.paths.size() + listing.entries.size() * sizeof(Listing::Entry);
    listing.paths = std::string();
    listing.entries = std::vector<Listing::Entry>();
    return;
  }
  current->listingBytes += cost;
  listing.entries.push_back({listing.paths.size(), length, nameLength, data.dwFileAttributes});
  listing.paths.append(fullName, length);
}

// A link to a folder, which the host's recursive search does not enter.
constexpr DWORD kAttrReparsePoint = 0x400;

// The host's recursive search passes over a folder it cannot list as if it
// were empty. The walk looks first: false when the folder cannot be listed,
// which the user is told; `*goOn` is then the user's choice to go on with the
// other files or to stop.
bool FolderCanBeWalked(const std::string& path, bool* goOn) {
  *goOn = true;
  if (sys::CanListFolder(path)) return true;
  *goOn = ReportFileFailure(MCannotReadFolder, path);
  return false;
}

// The panel's entry for its parent folder is never walked: it would take in
// the whole tree above the panel.
bool IsParentEntry(const std::string& name) { return name == ".."; }

bool RunOperation(const std::string& path, Invocation& invocation) {
  switch (Mode) {
    case Operation::ShowInfo:
      return views::ShowFileInfo(path, invocation.audio, true);
    case Operation::FileList:
      return batch::AddToFileList(path, invocation.audio, Counter, Interactive);
    case Operation::Rename:
      return batch::RenameFromTags(path, invocation.audio, Counter, Interactive);
    case Operation::CreateTags:
      return batch::CreateTags(path, invocation.audio, Counter, invocation.lines.get(),
                               Interactive);
    case Operation::ConvertText:
      return batch::ConvertTagText(path, invocation.audio, Interactive);
  }
  return false;
}

// A file whose name the OEM code page cannot spell: reading it again cannot
// help, so the warning says why and what to do, and asks whether to go on.
int NameNotShown(const std::string& path, bool single) {
  std::string body = FormatMsg(MNameNotShown, {path.c_str()});
  body += '\n';
  body += CodePageHint();
  DWORD buttons = FMSG_MB_OK;
  if (!single) {
    body += '\n';
    body += Msg(MGoOn);
    buttons = FMSG_MB_YESNO;
  }
  return Warning(buttons, body) == 0 ? kSkipped : kStop;
}

// A file that reading again cannot help with: the warning says what is
// wrong with it and, for one of several, asks whether to go on (Yes, the
// default, skips it).
int CannotHandle(const std::string& body, bool single) {
  if (single) {
    Warning(FMSG_MB_OK, body);
    return kSkipped;
  }
  return Warning(FMSG_MB_YESNO, body + "\n" + Msg(MGoOn)) == 0 ? kSkipped : kStop;
}

// The host hands the panel's folder in a field of NM bytes: a path that fills
// it may have been cut, and names no file the plug-in can reach.
bool TooLongForTheHost(const std::string& path) {
  return path.size() >= static_cast<size_t>(NM) - 1;
}

// Why a file could not be read when the reason lasts: the warning's text,
// else empty (the system's error says the rest, and trying again may help).
std::string LastingReadFailure(const std::string& path) {
  const sys::KeepLastError keep;
  if (TooLongForTheHost(path)) {
    const std::string limit = std::to_string(NM - 1);
    return FormatMsg(MPathTooLong, {path.c_str(), limit.c_str()});
  }
  sys::File file;
  int64_t size = -1;
  if (file.Open(path, sys::OpenMode::Read, &size) && size == 0)
    return FormatMsg(MFileEmpty, {path.c_str()});
  return {};
}

// The warning of a file that could not be read, with the system's reason:
// true to read it again. Its first button, the default, moves on: Enter never
// repeats a failure. `*result` is what the walk does otherwise.
bool ReadAgain(const std::string& path, bool single, int* result) {
  const uint32_t error = sys::LastError();
  const std::string lasting = LastingReadFailure(path);
  if (!lasting.empty()) {
    *result = CannotHandle(lasting, single);
    return false;
  }
  std::string text = std::string(Msg(MWarning)) + "\n" + FormatMsg(MCannotRead, {path.c_str()});
  int buttons = 2;
  if (single) {
    text = text + "\n" + Msg(MOk) + "\n" + Msg(MRetry);
  } else {
    text = text + "\n" + Msg(MSkip) + "\n" + Msg(MRetry) + "\n" + Msg(MStop);
    buttons = 3;
  }
  sys::SetLastError(error);
  const int button = Message(FMSG_WARNING | FMSG_ERRORTYPE | FMSG_ALLINONE, nullptr,
                             reinterpret_cast<const char* const*>(text.c_str()), 0, buttons);
  if (button == 1) return true;
  *result = button == 0 || single ? kSkipped : kStop;
  return false;
}

// Reads the file into the analysis object and hands it to the operation; a
// file that cannot be read or holds no audio gets its warning instead.
int AnalyzeAndRun(const std::string& path, bool single, Invocation& invocation) {
  while (!invocation.audio.Analyze(path)) {
    if (sys::LastError() == sys::kErrorNoUnicodeTranslation) return NameNotShown(path, single);
    int result = kSkipped;
    if (!ReadAgain(path, single, &result)) return result;
  }
  if (!invocation.audio.IsValid()) return CannotHandle(FormatMsg(MNotMpeg, {path.c_str()}), single);
  // A file whose operation failed and the user went on keeps its mark in the
  // panel, like one that was skipped.
  const int failures = FileFailuresReported();
  const bool goOn = RunOperation(path, invocation);
  ++Counter;
  if (!goOn) return kStop;
  return FileFailuresReported() == failures ? kHanded : kSkipped;
}

int ProcessMatchingFile(const std::string& path, void* param, Invocation& invocation) {
  const bool single = param == kSingle;
  if (ResetCounter && !single) {
    // Compared where it stands: this runs for every file.
    const std::string_view folder = sys::FolderPartView(path);
    if (folder != LastDir) {
      LastDir.assign(folder);
      Counter = 0;
    }
  }
  const bool wasInteractive = Interactive;
  const int result = AnalyzeAndRun(path, single, invocation);
  if (result == kStop) {
    if (IsStopFlag(param)) *static_cast<int*>(param) = 1;
    return kStop;
  }
  if (!single && !Interactive) {
    // The operation has just stopped asking: the bar covers this file and
    // those still to come.
    if (wasInteractive) ProgressStart(Total - Counter + 1);
    ProgressStep(1);
  }
  return result;
}

// Our own copy of the panel's state: the host's arrays need not outlive its
// next panel call, and an operation may make one.
struct PanelCopy {
  PanelInfo info;
  std::vector<PluginPanelItem> items;
  std::vector<PluginPanelItem> selected;
  std::string folder;

  explicit PanelCopy(const PanelInfo& from) : info(from) {
    if (from.PanelItems != nullptr && from.ItemsNumber > 0) {
      items.assign(from.PanelItems, from.PanelItems + from.ItemsNumber);
    }
    if (from.SelectedItems != nullptr && from.SelectedItemsNumber > 0) {
      selected.assign(from.SelectedItems, from.SelectedItems + from.SelectedItemsNumber);
    }
    info.PanelItems = items.empty() ? nullptr : items.data();
    info.ItemsNumber = static_cast<int>(items.size());
    info.SelectedItems = selected.empty() ? nullptr : selected.data();
    info.SelectedItemsNumber = static_cast<int>(selected.size());
    folder.assign(from.CurDir, strnlen(from.CurDir, sizeof from.CurDir));
  }
};

// The operations menu; the chosen operation's index, or -1 for Esc.
int ChooseMode() {
  FarMenuItem items[kModes];
  std::memset(items, 0, sizeof items);
  for (int i = 0; i < kModes; ++i) {
    const char prefix[] = {static_cast<char>('1' + i), '.', ' ', '\0'};
    std::string text = std::string(prefix) + Msg(kMenuMessages[i]);
    text.resize(FittingBytes(text, sizeof(items[i].Text) - 1));
    std::memcpy(items[i].Text, text.c_str(), text.size() + 1);
  }
  const int chosen = Menu(-1, -1, 0, FMENU_WRAPMODE | FMENU_AUTOHIGHLIGHT, nullptr, nullptr,
                          nullptr, nullptr, nullptr, items, kModes);
  return chosen >= 0 && chosen < kModes ? chosen : -1;
}

// The set-up dialog of the chosen operation; false when the invocation ends.
bool SetUp(Invocation& invocation) {
  switch (Mode) {
    case Operation::FileList:
      if (!batch::FileListSetup()) return false;
      Interactive = false;  // the file list never asks per file
      return true;
    case Operation::Rename:
      if (!batch::RenameSetup()) return false;
      Interactive = batch::RenameConfirmation();
      return true;
    case Operation::CreateTags: {
      if (!batch::TagCreationSetup()) return false;
      if (!batch::TagCreationFromName()) {
        const std::string listFile = batch::TagCreationListFile();
        invocation.lines = std::make_unique<ListLines>();
        if (!LoadListLines(listFile, invocation.lines.get())) {
          invocation.lines.reset();
          Warning(FMSG_MB_OK, FormatMsg(MCannotLoadList, {listFile.c_str()}));
          return false;
        }
      }
      Interactive = batch::TagCreationConfirmation();
      return true;
    }
    case Operation::ConvertText:
      if (!batch::ConvertTextSetup()) return false;
      Interactive = batch::ConvertTextConfirmation();
      return true;
    case Operation::ShowInfo:
      return true;  // the information view has no set-up
  }
  return true;
}

// Goes through the entries the counting pass found as the host's search
// would call ProcessFile for them, until one of them stops the walk. The
// files passed the masks already.
void Replay(const Listing& listing, int* stop) {
  FAR_FIND_DATA data;
  std::string fullName;  // one string for every entry
  for (const Listing::Entry& entry : listing.entries) {
    fullName.assign(listing.paths, entry.at, entry.length);
    int result = kSkipped;
    if ((entry.attributes & FAR_FILE_ATTRIBUTE_DIRECTORY) != 0) {
      std::memset(&data, 0, sizeof data);
      data.dwFileAttributes = entry.attributes;
      std::memcpy(data.cFileName, fullName.data() + entry.length - entry.nameLength,
                  entry.nameLength);
      result = ProcessFile(&data, fullName.c_str(), stop);
    } else {
      try {
        result = ProcessMatchingFile(fullName, stop, *current);
      } catch (...) {
        current->failure = std::current_exception();
        *stop = 1;
        result = kStop;
      }
    }
    if (result == kStop) return;
  }
}

// False when the folder could not be walked (the user was told and chose to
// go on, or to stop: then `*stop` is set).
bool WalkFolder(const std::string& path, int* stop) {
  bool goOn = true;
  if (!FolderCanBeWalked(path, &goOn)) {
    if (!goOn) *stop = 1;
    return false;
  }
  const auto counted = current->listings.find(path);
  if (counted != current->listings.end() && counted->second.complete) {
    Replay(counted->second, stop);
  } else {
    FarRecursiveSearch(path.c_str(), "*", ProcessFile, FRS_RECUR, stop);
  }
  return true;
}

void CountFolder(const std::string& path) {
  Listing& listing = current->listings[path];
  FarRecursiveSearch(path.c_str(), "*", CountFile, FRS_RECUR, &listing);
}

// Nothing is selected: the item under the cursor. The panel is left as it is.
void WalkSingleItem(PanelCopy& panel, InvocationScope& scope) {
  PluginPanelItem& item = panel.selected[0];
  const std::string name = NameOf(item.FindData);
  if (IsParentEntry(name)) return;
  const std::string path = JoinPath(panel.folder, name);
  if (!IsFolder(item.FindData)) {
    ProcessFile(&item.FindData, path.c_str(), kSingle);
    return;
  }
  if (Mode != Operation::ShowInfo) {
    CountFolder(path);
    scope.RaiseFailure();
  } else {
    Total = 1;
  }
  if (Total <= 0) return;
  if (!Interactive) ProgressStart(Total);
  int stop = 0;
  WalkFolder(path, &stop);
  if (!Interactive) ProgressEnd();
}

void WalkSelection(PanelCopy& panel, InvocationScope& scope) {
  if (Mode != Operation::ShowInfo) {
    for (const PluginPanelItem& item : panel.selected) {
      const std::string name = NameOf(item.FindData);
      if (IsParentEntry(name)) continue;
      if (IsFolder(item.FindData)) {
        CountFolder(JoinPath(panel.folder, name));
      } else if (PassesMasks(name.c_str())) {
        ++Total;
      }
    }
    scope.RaiseFailure();
  } else {
    Total = 1;
  }
  if (Total <= 0) return;

  if (!Interactive) ProgressStart(Total);
  for (PluginPanelItem& item : panel.items) {
    if ((item.Flags & PPIF_SELECTED) == 0) continue;
    const std::string name = NameOf(item.FindData);
    if (IsParentEntry(name)) continue;
    const std::string path = JoinPath(panel.folder, name);
    if (IsFolder(item.FindData)) {
      int stop = 0;
      const int failures = FileFailuresReported();
      const bool walked = WalkFolder(path, &stop);
      if (stop != 0) break;
      // A folder that could not be read, or in which a file failed, keeps its mark.
      if (!walked || FileFailuresReported() != failures) continue;
    } else {
      const int result = ProcessFile(&item.FindData, path.c_str(), kOneOfSeveral);
      if (result == kStop) break;
      if (result == kSkipped) continue;
    }
    item.Flags &= ~static_cast<DWORD>(PPIF_SELECTED);
  }
  if (!Interactive) ProgressEnd();

  Control(INVALID_HANDLE_VALUE, FCTL_SETSELECTION, &panel.info);
  Control(INVALID_HANDLE_VALUE, FCTL_REDRAWPANEL, nullptr);
}

}  // namespace

bool PassesMasks(const char* name) {
  if (ProcessName(ProcessExt.c_str(), name, PN_CMPNAMELIST) == 0) return false;
  return ExcludeExt.empty() || ProcessName(ExcludeExt.c_str(), name, PN_CMPNAMELIST) == 0;
}

int WINAPI ProcessFile(const FAR_FIND_DATA* data, const char* fullName, void* param) {
  if (current == nullptr) return kStop;
  try {
    if (data == nullptr || fullName == nullptr) return kSkipped;
    if (IsFolder(*data)) {
      // A recursive search enters the folder after this call; one it cannot
      // list is said here, where the user can still stop the walk.
      if (!IsStopFlag(param) || (data->dwFileAttributes & kAttrReparsePoint) != 0 ||
          IsParentEntry(NameOf(*data)))
        return kSkipped;
      bool goOn = true;
      if (FolderCanBeWalked(fullName, &goOn) || goOn) return kSkipped;
      *static_cast<int*>(param) = 1;
      return kStop;
    }
    if (!PassesMasks(NameOf(*data).c_str())) return kSkipped;
    return ProcessMatchingFile(fullName, param, *current);
  } catch (...) {
    current->failure = std::current_exception();
    if (IsStopFlag(param)) *static_cast<int*>(param) = 1;
    return kStop;
  }
}

int WINAPI CountFile(const FAR_FIND_DATA* data, const char* fullName, void* param) {
  if (current == nullptr) return 0;
  try {
    if (data == nullptr) return 1;
    const bool folder = IsFolder(*data);
    const bool counted = !folder && PassesMasks(NameOf(*data).c_str());
    if (counted) ++Total;
    if (param != nullptr && fullName != nullptr && (folder || counted))
      Remember(*static_cast<Listing*>(param), *data, fullName);
    return 1;
  } catch (...) {
    current->failure = std::current_exception();
    return 0;
  }
}

void OpenFromPluginsMenu() {
  InvocationScope scope;
  PanelInfo info;
  std::memset(&info, 0, sizeof info);
  if (Control(INVALID_HANDLE_VALUE, FCTL_GETPANELINFO, &info) == 0) return;
  if ((info.Flags & PFLAGS_REALNAMES) == 0) return;
  PanelCopy panel(info);

  const int mode = ChooseMode();
  if (mode < 0) return;
  Mode = static_cast<Operation>(mode);
  Counter = 0;
  Interactive = true;
  Total = 0;
  if (!SetUp(*scope)) return;

  const bool singleItem =
      panel.selected.size() == 1 && (panel.selected[0].Flags & PPIF_SELECTED) == 0;
  if (singleItem) {
    WalkSingleItem(panel, scope);
  } else {
    WalkSelection(panel, scope);
  }
  scope.RaiseFailure();
}

void OpenFromCommandLine(const char* argument) {
  InvocationScope scope;
  // The host's text stays as it was; the plug-in works on its own copy.
  const char* source = argument != nullptr ? argument : "";
  std::vector<char> text(source, source + std::strlen(source) + 1);
  Unquote(text.data());
  Interactive = true;
  Mode = Operation::ShowInfo;
  Total = 1;
  Counter = 0;

  std::string name(text.data());
  const std::string folder = sys::FolderPart(name);
  // A comma would separate masks; in a file name it stands for any one character.
  std::replace(name.begin(), name.end(), ',', '?');
  if (!folder.empty()) {
    const std::string mask = name.substr(folder.size());
    bool goOn = true;
    if (FolderCanBeWalked(folder, &goOn))
      FarRecursiveSearch(folder.c_str(), mask.c_str(), ProcessFile, 0, kOneOfSeveral);
  } else {
    PanelInfo info;
    std::memset(&info, 0, sizeof info);
    if (Control(INVALID_HANDLE_VALUE, FCTL_GETPANELSHORTINFO, &info) != 0 &&
        (info.Flags & PFLAGS_REALNAMES) != 0) {
      const std::string curDir(info.CurDir, strnlen(info.CurDir, sizeof info.CurDir));
      FarRecursiveSearch(curDir.c_str(), name.c_str(), ProcessFile, 0, kSingle);
    }
  }
  scope.RaiseFailure();
}

ListLines SplitListLines(const char* text, size_t size) {
  const size_t end = text != nullptr ? strnlen(text, size) : 0;
  ListLines lines;
  size_t start = 0;
  // A line ends at CR LF, at a lone LF (lists made on Linux and by many
  // scripts) or at a lone CR.
  for (size_t i = 0; i < end; ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text + start, i - start);
    if (text[i] == '\r' && i + 1 < end && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < end) lines.emplace_back(text + start, end - start);
  return lines;
}

bool LoadListLines(const std::string& fileName, ListLines* lines) {
  sys::File file;
  if (!file.Open(fileName, sys::OpenMode::Read)) return false;
  std::string content;
  char chunk[64 * 1024];
  for (;;) {
    size_t got = 0;
    if (!file.Read(chunk, sizeof chunk, &got)) return false;
    if (got == 0) break;
    const size_t zero = strnlen(chunk, got);
    content.append(chunk, zero);
    if (zero < got) break;  // the text ends at its first zero byte
  }
  *lines = SplitListLines(content.data(), content.size());
  return true;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  // '/' ends a folder on both systems (Windows takes it for '\\').
  const char last = folder.empty() ? '\0' : folder.back();
  if (last == sys::kPathSeparator || last == '/') return folder + name;
  return folder + sys::kPathSeparator + name;
}

void ReportFailure(const char* what) {
  if (StartupInfo.Message == nullptr) return;
  try {
    std::string body = Msg(MInternalError);
    if (what != nullptr && *what != '\0') body += std::string("\n") + what;
    Warning(FMSG_MB_OK, body);
  } catch (...) {
  }
}

}  // namespace host

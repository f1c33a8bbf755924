// Mode 1: a list of files written from their tags.
#include "batch/file_list.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "audio/mpeg_audio.h"
#include "batch/template.h"
#include "batch/template_check.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/operations.h"
#include "host/schemes.h"
#include "host/settings.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tagwright/messages.h"

namespace batch {

namespace {

constexpr const char* kSetupKey = "FileListDialog";

enum SetupItem : int {
  SetupBox = 0,
  SetupFormatLabel,
  SetupFormat,
  SetupNameLabel,
  SetupName,
  SetupTableLabel,
  SetupTable,
  SetupOrderLabel,
  SetupV1First,
  SetupV2First,
  SetupSeparator,
  SetupOk,
  SetupCancel,
  SetupSchemes,
  SetupSaveScheme,
  SetupItemCount
};

// clang-format off
constexpr host::DialogItemSpec kSetupSpecs[] = {
    {SetupBox, DI_DOUBLEBOX, 3, 1, 54, 9, 0, 0, 0, 0, MFileListTitle, nullptr},
    {SetupFormatLabel, DI_TEXT, 5, 2, 0, 0, 0, 0, 0, 0, MLineFormat, nullptr},
    {SetupFormat, DI_EDIT, 22, 2, 51, 0, 0, 0, DIF_HISTORY | DIF_SELECTONENTRY, 0, host::SpecText(""), "ID3_ListFormat"},
    {SetupNameLabel, DI_TEXT, 5, 3, 0, 0, 0, 0, 0, 0, MListName, nullptr},
    {SetupName, DI_EDIT, 22, 3, 51, 0, 0, 0, DIF_HISTORY | DIF_SELECTONENTRY, 0, host::SpecText(""), "ID3_ListName"},
    {SetupTableLabel, DI_TEXT, 5, 4, 0, 0, 0, 0, 0, 0, MListCharTable, nullptr},
    {SetupTable, DI_COMBOBOX, 22, 4, 51, 0, 0, 0, DIF_DROPDOWNLIST, 0, host::SpecText(""), nullptr},
    {SetupOrderLabel, DI_TEXT, 5, 5, 0, 0, 0, 0, 0, 0, MTagOrder, nullptr},
    {SetupV1First, DI_RADIOBUTTON, 22, 5, 0, 0, 0, 0, DIF_GROUP, 0, host::SpecText(kTagOrderV1First), nullptr},
    {SetupV2First, DI_RADIOBUTTON, 22, 6, 0, 0, 0, 1, 0, 0, host::SpecText(kTagOrderV2First), nullptr},
    {SetupSeparator, DI_TEXT, 4, 7, 53, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {SetupOk, DI_BUTTON, 0, 8, 0, 0, 0, 0, DIF_CENTERGROUP, 1, MOk, nullptr},
    {SetupCancel, DI_BUTTON, 0, 8, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MCancel, nullptr},
    {SetupSchemes, DI_BUTTON, 0, 8, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MSchemes, nullptr},
    {SetupSaveScheme, DI_BUTTON, 0, 8, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MSaveScheme, nullptr},
};
// clang-format on
static_assert(host::ItemsInPlace(kSetupSpecs, SetupItemCount));

// Kept filled after the dialog closed: the walk reads the tag order from
// here for every file.
FarDialogItem setupItems[SetupItemCount];

// A list file is text: a zero byte from a tag would end the line for most readers.
std::string UpToZero(std::string text) {
  text.resize(strnlen(text.c_str(), text.size()));
  return text;
}

// The two templates of the confirmed dialog, taken from its items once
// instead of for every file.
struct Templates {
  TagTemplate name;
  bool nameHasMarkers = false;
  std::string fixedName;  // without markers: the one list of the whole walk
  TagTemplate line;
};
Templates templates;

void TakeTemplates() {
  const std::string name = host::ItemText(setupItems[SetupName]);
  templates.nameHasMarkers = name.find('%') != std::string::npos;
  templates.name = TagTemplate(tags::FromHost(name));
  templates.fixedName = UpToZero(name);
  templates.line = TagTemplate(tags::FromHost(host::ItemText(setupItems[SetupFormat])));
}

long WINAPI SetupProc(HANDLE dialog, int msg, int param1, long param2) {
  // Esc (-1) stores nothing, so it is not checked.
  if (msg == DN_CLOSE && param1 >= 0) WarnOfClampedWidths(dialog, {SetupFormat, SetupName});
  return host::DefDlgProc(dialog, msg, param1, param2);
}

}  // namespace

bool AppendListLine(const std::string& listName, std::string line) {
  if (listName.empty()) {
    sys::SetLastError(sys::kErrorPathNotFound);
    return false;
  }
  // Opened anew for every line, so that another program may share the list
  // between lines; every write goes to the end. The open gives the size to
  // go back to (a folder is refused).
  sys::File file;
  int64_t end = 0;
  if (!file.Open(listName, sys::OpenMode::Append, &end)) return false;
  line += sys::kLineEnd;
  if (!file.Write(line.data(), line.size())) {
    // Half a line would join the next one; the list keeps what it had. The
    // failure reported stays the write's.
    const sys::KeepLastError keep;
    if (file.Seek(end)) file.Truncate();
    return false;
  }
  // The line reaches the disk with the walk's other writes, when it ends.
  sys::NoteWritten(listName);
  return file.Close();
}

bool FileListSetup() {
  std::memset(setupItems, 0, sizeof(setupItems));
  host::BuildDialogItems(kSetupSpecs, setupItems, SetupItemCount);
  std::vector<FarListItem> entries = host::CodePageListItems(true);
  FarList list{static_cast<int>(entries.size()), entries.data()};
  host::SchemeDialog dialog{
      kSetupKey,
      SetupOk,
      SetupSchemes,
      SetupSaveScheme,
      [&entries, &list] {
        // Given again for every run: a closed dialog leaves the chosen
        // position where the list pointer was.
        setupItems[SetupTable].ListItems = &list;
        host::SetItemText(setupItems[SetupFormat], host::ReadString("Format", kSetupKey, ""));
        host::SetItemText(setupItems[SetupName], host::ReadString("FileListName", kSetupKey, ""));
        std::string table = host::CodePageShownName(host::ReadString("CharacterTable", kSetupKey, tags::kWindowsText));
        host::SetItemText(setupItems[SetupTable], table);
        // The drop-down list opens on the entry the text names.
        for (FarListItem& entry : entries) {
          entry.Flags &= ~static_cast<DWORD>(LIF_SELECTED);
          if (!(entry.Flags & LIF_SEPARATOR) && host::LStricmp(entry.Text, table.c_str()) == 0) {
            entry.Flags |= LIF_SELECTED;
          }
        }
        bool v1First = host::ReadBool("TagOrder", kSetupKey, false);
        setupItems[SetupV1First].Selected = v1First;
        setupItems[SetupV2First].Selected = !v1First;
      },
      [] {
        return host::DialogEx(-1, -1, 58, 11, "Id3Desc", setupItems, SetupItemCount, 0, SetupProc,
                              0);
      },
      [] {
        host::WriteString("Format", kSetupKey, host::ItemText(setupItems[SetupFormat]));
        host::WriteString("FileListName", kSetupKey, host::ItemText(setupItems[SetupName]));
        host::WriteString("CharacterTable", kSetupKey,
                          host::CodePageSettingName(host::ItemText(setupItems[SetupTable])));
        host::LoadCodePage("CharacterTable", kSetupKey, tags::ListCodePage, true);
        host::WriteBool("TagOrder", kSetupKey, setupItems[SetupV1First].Selected != 0);
      },
  };
  bool confirmed = host::RunSchemeDialog(dialog);
  // The list lives only as long as this call.
  setupItems[SetupTable].ListItems = nullptr;
  if (confirmed) TakeTemplates();
  return confirmed;
}

bool AddToFileList(const std::string& fullPath, audio::MPEGaudio& audio, int counter,
                   bool& interactive) {
  (void)interactive;
  const bool v1First = setupItems[SetupV1First].Selected != 0;
  std::string formattedName;
  if (templates.nameHasMarkers) {
    formattedName = tags::ToHost(UpToZero(templates.name.Format(audio, fullPath, v1First, counter)));
  }
  const std::string& listName = templates.nameHasMarkers ? formattedName : templates.fixedName;

  std::string line;
  tags::Utf8ToBytes(UpToZero(templates.line.Format(audio, fullPath, v1First, counter)), tags::ListCodePage,
                    &line);
  if (AppendListLine(listName, std::move(line))) return true;
  // A list that cannot take the line is said; the user goes on with the
  // other files (whose lines may go to other lists) or stops.
  return host::ReportFileFailure(MCannotWriteList, listName);
}

}  // namespace batch

// Mode 2: every file gets a new name built from its tags.
#include "batch/rename.h"

#include <cstring>
#include <string>

#include "audio/mpeg_audio.h"
#include "batch/template.h"
#include "batch/template_check.h"
#include "far/plugin_api.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/operations.h"
#include "host/schemes.h"
#include "host/settings.h"
#include "sys/path.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tagwright/messages.h"

namespace batch {

namespace {

constexpr const char* kSetupKey = "TagToFileDialog";

// ------------------------------------------------------------ set-up dialog

enum SetupItem : int {
  SetupBox = 0,
  SetupConfirm,
  SetupSeparator1,
  SetupFormatLabel,
  SetupFormat,
  SetupOrderLabel,
  SetupV1First,
  SetupV2First,
  SetupSeparator2,
  SetupOk,
  SetupCancel,
  SetupSchemes,
  SetupSaveScheme,
  SetupItemCount
};

// clang-format off
constexpr host::DialogItemSpec kSetupSpecs[] = {
    {SetupBox, DI_DOUBLEBOX, 3, 1, 54, 9, 0, 0, 0, 0, MRenameTitle, nullptr},
    {SetupConfirm, DI_CHECKBOX, 5, 2, 0, 0, 0, 0, 0, 0, MConfirmEach, nullptr},
    {SetupSeparator1, DI_TEXT, 4, 3, 53, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {SetupFormatLabel, DI_TEXT, 5, 4, 0, 0, 0, 0, 0, 0, MNameFormat, nullptr},
    {SetupFormat, DI_EDIT, 18, 4, 51, 0, 0, 0, DIF_HISTORY | DIF_SELECTONENTRY, 0, host::SpecText(""), "ID3_NameFormat"},
    {SetupOrderLabel, DI_TEXT, 5, 5, 0, 0, 0, 0, 0, 0, MTagOrder, nullptr},
    {SetupV1First, DI_RADIOBUTTON, 18, 5, 0, 0, 0, 0, DIF_GROUP, 0, host::SpecText(kTagOrderV1First), nullptr},
    {SetupV2First, DI_RADIOBUTTON, 18, 6, 0, 0, 0, 1, 0, 0, host::SpecText(kTagOrderV2First), nullptr},
    {SetupSeparator2, DI_TEXT, 4, 7, 53, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {SetupOk, DI_BUTTON, 0, 8, 0, 0, 0, 0, DIF_CENTERGROUP, 1, MOk, nullptr},
    {SetupCancel, DI_BUTTON, 0, 8, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MCancel, nullptr},
    {SetupSchemes, DI_BUTTON, 0, 8, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MSchemes, nullptr},
    {SetupSaveScheme, DI_BUTTON, 0, 8, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MSaveScheme, nullptr},
};
// clang-format on
static_assert(host::ItemsInPlace(kSetupSpecs, SetupItemCount));

// Kept filled after the dialog closed: the walk reads the template and the
// tag order from here for every file.
FarDialogItem setupItems[SetupItemCount];

long WINAPI SetupProc(HANDLE dialog, int msg, int param1, long param2) {
  // Esc (-1) stores nothing, so it is not checked.
  if (msg == DN_CLOSE && param1 >= 0) WarnOfClampedWidths(dialog, {SetupFormat});
  return host::DefDlgProc(dialog, msg, param1, param2);
}

// ------------------------------------------------------------ confirmation

enum ConfirmItem : int {
  ConfirmBox = 0,
  ConfirmOldLabel,
  ConfirmOldName,
  ConfirmNewLabel,
  ConfirmNewName,
  ConfirmSeparator1,
  ConfirmAskNoMore,
  ConfirmSeparator2,
  ConfirmOk,
  ConfirmSkip,
  ConfirmCancel,
  ConfirmItemCount
};

// clang-format off
constexpr host::DialogItemSpec kConfirmSpecs[] = {
    {ConfirmBox, DI_DOUBLEBOX, 3, 1, 56, 10, 0, 0, 0, 0, MConfirmRenameTitle, nullptr},
    {ConfirmOldLabel, DI_TEXT, 5, 2, 0, 0, 0, 0, 0, 0, MOldName, nullptr},
    {ConfirmOldName, DI_EDIT, 5, 3, 54, 0, 0, 0, DIF_READONLY, 0, host::SpecText(""), nullptr},
    {ConfirmNewLabel, DI_TEXT, 5, 4, 0, 0, 0, 0, 0, 0, MNewName, nullptr},
    {ConfirmNewName, DI_EDIT, 5, 5, 54, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {ConfirmSeparator1, DI_TEXT, 4, 6, 55, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {ConfirmAskNoMore, DI_CHECKBOX, 5, 7, 0, 0, 0, 0, 0, 0, MAskNoMore, nullptr},
    {ConfirmSeparator2, DI_TEXT, 4, 8, 55, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {ConfirmOk, DI_BUTTON, 0, 9, 0, 0, 0, 0, DIF_CENTERGROUP, 1, MOk, nullptr},
    {ConfirmSkip, DI_BUTTON, 0, 9, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MSkip, nullptr},
    {ConfirmCancel, DI_BUTTON, 0, 9, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MCancel, nullptr},
};
// clang-format on
static_assert(host::ItemsInPlace(kConfirmSpecs, ConfirmItemCount));

FarDialogItem confirmItems[ConfirmItemCount];

long WINAPI ConfirmProc(HANDLE dialog, int msg, int param1, long param2) {
  if (msg == DN_INITDIALOG) host::SendDlgMessage(dialog, DM_SETFOCUS, ConfirmNewName, 0);
  return host::DefDlgProc(dialog, msg, param1, param2);
}

// Index of the last separator of a name built from a template
// (sys::kBuiltPathSeparators), or npos.
size_t LastBuiltSeparator(const std::string& name) {
  return name.find_last_of(sys::kBuiltPathSeparators);
}

// A character that the system takes for a folder's end but a built name does
// not (on Windows '/', from a tag such as "AC/DC") becomes '_', as it does in
// a name without folder, so that it never makes a folder.
void ReplaceUnbuiltSeparators(std::string& name) {
  for (char& c : name) {
    if (c != '\0' && std::strchr(sys::kPathSeparators, c) != nullptr &&
        std::strchr(sys::kBuiltPathSeparators, c) == nullptr)
      c = '_';
  }
}

}  // namespace

bool ForceFolders(const std::string& dir) {
  if (dir.empty()) {
    sys::SetLastError(sys::kErrorPathNotFound);
    return false;
  }
  std::string folder = dir;
  if (folder.back() == sys::kPathSeparator || folder.back() == '/') folder.pop_back();
  // A drive ("C:") or a root is taken to exist.
  const bool root = sys::kDrives ? folder.size() <= 2 : folder.empty();
  if (root || sys::IsFolder(folder)) return true;
  // Split where a built name's folders end: on Windows a '/' is none.
  const size_t at = LastBuiltSeparator(folder);
  const std::string parent = at == std::string::npos ? std::string() : folder.substr(0, at + 1);
  if (parent == folder) return true;
  return ForceFolders(parent) && sys::CreateFolder(folder);
}

RenameAnswer ConfirmRename(const std::string& oldName, std::string& newName, bool& askNoMore) {
  std::memset(confirmItems, 0, sizeof(confirmItems));
  host::BuildDialogItems(kConfirmSpecs, confirmItems, ConfirmItemCount);
  host::SetItemText(confirmItems[ConfirmOldName], oldName);
  host::SetItemText(confirmItems[ConfirmNewName], newName);
  int closed = host::DialogEx(-1, -1, 60, 12, "Id3Confirmation", confirmItems, ConfirmItemCount,
                              0, ConfirmProc, 0);
  askNoMore = confirmItems[ConfirmAskNoMore].Selected != 0;
  if (closed == ConfirmSkip) return RenameAnswer::Skip;
  if (closed != ConfirmOk) return RenameAnswer::Stop;
  newName = host::ItemText(confirmItems[ConfirmNewName]);
  return RenameAnswer::Rename;
}

RenameResult RenameFile(const std::string& fullName, std::string newName) {
  newName.resize(strnlen(newName.c_str(), newName.size()));
  ReplaceIllegalNameChars(newName, false);
  ReplaceUnbuiltSeparators(newName);
  size_t at = LastBuiltSeparator(newName);
  bool moved;
  if (at == std::string::npos) {
    ReplaceIllegalNameChars(newName, true);
    moved = sys::MoveFile(fullName, sys::FolderPart(fullName) + newName);
  } else {
    // The name is used as it is: an absolute one moves the file there, a
    // relative one is resolved against the current folder.
    moved = ForceFolders(newName.substr(0, at + 1)) && sys::MoveFile(fullName, newName);
  }
  if (moved) return RenameResult::Moved;
  return host::ReportFileFailure(MCannotRename, fullName, newName) ? RenameResult::Failed
                                                                   : RenameResult::Stop;
}

bool RenameSetup() {
  std::memset(setupItems, 0, sizeof(setupItems));
  host::BuildDialogItems(kSetupSpecs, setupItems, SetupItemCount);
  host::SchemeDialog dialog{
      kSetupKey,
      SetupOk,
      SetupSchemes,
      SetupSaveScheme,
      [] {
        setupItems[SetupConfirm].Selected = host::ReadBool("Confirmation", kSetupKey, true);
        host::SetItemText(setupItems[SetupFormat], host::ReadString("Format", kSetupKey, ""));
        bool v1First = host::ReadBool("TagOrder", kSetupKey, false);
        setupItems[SetupV1First].Selected = v1First;
        setupItems[SetupV2First].Selected = !v1First;
      },
      [] {
        // Wide enough for its four buttons with FAR's two blanks between them.
        return host::DialogEx(-1, -1, 58, 11, "Id3Filename", setupItems, SetupItemCount, 0,
                              SetupProc, 0);
      },
      [] {
        host::WriteBool("Confirmation", kSetupKey, setupItems[SetupConfirm].Selected != 0);
        host::WriteString("Format", kSetupKey, host::ItemText(setupItems[SetupFormat]));
        host::WriteBool("TagOrder", kSetupKey, setupItems[SetupV1First].Selected != 0);
      },
  };
  return host::RunSchemeDialog(dialog);
}

bool RenameConfirmation() { return setupItems[SetupConfirm].Selected != 0; }

bool RenameFromTags(const std::string& fullPath, audio::MPEGaudio& audio, int counter,
                    bool& interactive) {
  const std::string tmpl = tags::FromHost(host::ItemText(setupItems[SetupFormat]));
  std::string newName = tags::ToHost(
      FormatTagTemplate(audio, fullPath, tmpl, setupItems[SetupV1First].Selected != 0, counter));
  if (!interactive) return RenameFile(fullPath, newName) != RenameResult::Stop;
  bool askNoMore = false;
  const RenameAnswer answer = ConfirmRename(sys::NamePart(fullPath), newName, askNoMore);
  if (answer == RenameAnswer::Stop) return false;
  if (askNoMore) interactive = false;
  return answer == RenameAnswer::Skip || RenameFile(fullPath, newName) != RenameResult::Stop;
}

}  // namespace batch

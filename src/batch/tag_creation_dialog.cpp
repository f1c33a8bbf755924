// Mode 3's set-up: which fields get which value templates, where the
// regular expression's subject comes from, which tags are written, and each
// field's letter case.
#include "batch/tag_creation_dialog.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "batch/file_list.h"
#include "batch/regexp.h"
#include "batch/template_check.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/operations.h"
#include "host/schemes.h"
#include "host/settings.h"
#include "tags/codepage.h"
#include "tags/genres.h"
#include "tagwright/messages.h"

namespace batch {

namespace {

constexpr DWORD kValueEdit = DIF_HISTORY | DIF_SELECTONENTRY;

// clang-format off
constexpr host::DialogItemSpec kCreateSpecs[] = {
    {CreateBox, DI_DOUBLEBOX, 3, 1, 62, 21, 0, 0, 0, 0, MCreateTitle, nullptr},
    {CreateConfirm, DI_CHECKBOX, 5, 2, 0, 0, 0, 0, 0, 0, MConfirmEach, nullptr},
    {CreateSeparator1, DI_TEXT, 4, 3, 61, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {CreateFromName, DI_RADIOBUTTON, 5, 4, 0, 0, 0, 1, DIF_GROUP, 0, MSubjectPath, nullptr},
    {CreateFromList, DI_RADIOBUTTON, 5, 5, 0, 0, 0, 0, 0, 0, MSubjectList, nullptr},
    {CreateListNameLabel, DI_TEXT, 5, 6, 0, 0, 0, 0, 0, 0, MSubjectListName, nullptr},
    {CreateListName, DI_EDIT, 26, 6, 59, 0, 0, 0, kValueEdit, 0, host::SpecText(""), "ID3_ListName1"},
    {CreateTableLabel, DI_TEXT, 5, 7, 0, 0, 0, 0, 0, 0, MSubjectCharTable, nullptr},
    {CreateTable, DI_COMBOBOX, 26, 7, 59, 0, 0, 0, DIF_DROPDOWNLIST, 0, host::SpecText(""), nullptr},
    {CreateRegexpLabel, DI_TEXT, 5, 8, 0, 0, 0, 0, 0, 0, MRegexp, nullptr},
    {CreateRegexp, DI_EDIT, 26, 8, 59, 0, 0, 0, kValueEdit, 0, host::SpecText(""), "ID3_CreateFormat"},
    {CreateSeparator2, DI_TEXT, 4, 9, 61, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {CreateWriteLabel, DI_TEXT, 5, 10, 0, 0, 0, 0, 0, 0, MWriteTags, nullptr},
    {CreateWriteV1, DI_CHECKBOX, 24, 10, 0, 0, 0, 0, 0, 0, host::SpecText("ID3v&1"), nullptr},
    {CreateWriteV2, DI_CHECKBOX, 36, 10, 0, 0, 0, 0, 0, 0, host::SpecText("ID3v&2"), nullptr},
    // Field rows: check box at column 5, value from 24 to 55, case box at 58.
    {CreateTitleCheck, DI_CHECKBOX, 5, 11, 0, 0, 0, 0, 0, 0, MTitleLabel, nullptr},
    {CreateTitle, DI_EDIT, 24, 11, 55, 0, 0, 0, kValueEdit, 0, host::SpecText(""), "ID3_TitleC"},
    {CreateTitleCase, DI_CHECKBOX, 58, 11, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {CreateArtistCheck, DI_CHECKBOX, 5, 12, 0, 0, 0, 0, 0, 0, MArtistLabel, nullptr},
    {CreateArtist, DI_EDIT, 24, 12, 55, 0, 0, 0, kValueEdit, 0, host::SpecText(""), "ID3_ArtistC"},
    {CreateArtistCase, DI_CHECKBOX, 58, 12, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {CreateAlbumCheck, DI_CHECKBOX, 5, 13, 0, 0, 0, 0, 0, 0, MAlbumLabel, nullptr},
    {CreateAlbum, DI_EDIT, 24, 13, 55, 0, 0, 0, kValueEdit, 0, host::SpecText(""), "ID3_AlbumC"},
    {CreateAlbumCase, DI_CHECKBOX, 58, 13, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {CreateYearCheck, DI_CHECKBOX, 5, 14, 0, 0, 0, 0, 0, 0, MYearLabel, nullptr},
    {CreateYear, DI_EDIT, 24, 14, 55, 0, 0, 0, kValueEdit, 0, host::SpecText(""), "ID3_YearC"},
    {CreateYearCase, DI_CHECKBOX, 58, 14, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {CreateGenreCheck, DI_CHECKBOX, 5, 15, 0, 0, 0, 0, 0, 0, MGenreLabel, nullptr},
    {CreateGenre, DI_COMBOBOX, 24, 15, 55, 0, 0, 0, DIF_SELECTONENTRY, 0, host::SpecText(""), nullptr},
    {CreateGenreCase, DI_CHECKBOX, 58, 15, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {CreateTrackCheck, DI_CHECKBOX, 5, 16, 0, 0, 0, 0, 0, 0, MTrackLabel, nullptr},
    {CreateTrack, DI_EDIT, 24, 16, 55, 0, 0, 0, kValueEdit, 0, host::SpecText(""), "ID3_TrackC"},
    {CreateCommentCheck, DI_CHECKBOX, 5, 17, 0, 0, 0, 0, 0, 0, MCommentLabel, nullptr},
    {CreateComment, DI_EDIT, 24, 17, 55, 0, 0, 0, kValueEdit, 0, host::SpecText(""), "ID3_CommentC"},
    {CreateCommentCase, DI_CHECKBOX, 58, 17, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {CreateFileNameCheck, DI_CHECKBOX, 5, 18, 0, 0, 0, 0, 0, 0, MFileNameLabel, nullptr},
    {CreateFileName, DI_EDIT, 24, 18, 55, 0, 0, 0, kValueEdit, 0, host::SpecText(""), "ID3_FileNameC"},
    {CreateFileNameCase, DI_CHECKBOX, 58, 18, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {CreateSeparator3, DI_TEXT, 4, 19, 61, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {CreateOk, DI_BUTTON, 0, 20, 0, 0, 0, 0, DIF_CENTERGROUP, 1, MOk, nullptr},
    {CreateCancel, DI_BUTTON, 0, 20, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MCancel, nullptr},
    {CreateSchemes, DI_BUTTON, 0, 20, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MSchemes, nullptr},
    {CreateSaveScheme, DI_BUTTON, 0, 20, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MSaveScheme, nullptr},
};
// clang-format on
static_assert(host::ItemsInPlace(kCreateSpecs, CreateItemCount));

// Kept filled after the dialog closed: the walk reads the choices from here.
FarDialogItem createItems[CreateItemCount];

enum CaseItem : int {
  CaseBox = 0,
  CaseKeep,  // radio items 1 to 6: modes "0" to "5"
  CaseUpper,
  CaseLower,
  CaseFirst,
  CaseWords,
  CaseSwap,
  CaseTransliterate,
  CaseSeparator1,
  CaseAllFields,
  CaseSeparator2,
  CaseOk,
  CaseCancel,
  CaseItemCount
};

// clang-format off
constexpr host::DialogItemSpec kCaseSpecs[] = {
    {CaseBox, DI_DOUBLEBOX, 3, 1, 48, 13, 0, 0, 0, 0, MCaseTitle, nullptr},
    {CaseKeep, DI_RADIOBUTTON, 5, 2, 0, 0, 0, 1, DIF_GROUP, 0, MCaseKeep, nullptr},
    {CaseUpper, DI_RADIOBUTTON, 5, 3, 0, 0, 0, 0, 0, 0, MCaseUpper, nullptr},
    {CaseLower, DI_RADIOBUTTON, 5, 4, 0, 0, 0, 0, 0, 0, MCaseLower, nullptr},
    {CaseFirst, DI_RADIOBUTTON, 5, 5, 0, 0, 0, 0, 0, 0, MCaseFirst, nullptr},
    {CaseWords, DI_RADIOBUTTON, 5, 6, 0, 0, 0, 0, 0, 0, MCaseWords, nullptr},
    {CaseSwap, DI_RADIOBUTTON, 5, 7, 0, 0, 0, 0, 0, 0, MCaseSwap, nullptr},
    {CaseTransliterate, DI_CHECKBOX, 5, 8, 0, 0, 0, 0, 0, 0, MTransliterate, nullptr},
    {CaseSeparator1, DI_TEXT, 4, 9, 47, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {CaseAllFields, DI_CHECKBOX, 5, 10, 0, 0, 0, 0, 0, 0, MApplyToAll, nullptr},
    {CaseSeparator2, DI_TEXT, 4, 11, 47, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {CaseOk, DI_BUTTON, 0, 12, 0, 0, 0, 0, DIF_CENTERGROUP, 1, MOk, nullptr},
    {CaseCancel, DI_BUTTON, 0, 12, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MCancel, nullptr},
};
// clang-format on
static_assert(host::ItemsInPlace(kCaseSpecs, CaseItemCount));

FarDialogItem caseItems[CaseItemCount];

// The state of an item of the running dialog (the item array is updated
// only when the dialog closes).
FarDialogItem LiveItem(HANDLE dialog, int item) {
  FarDialogItem copy{};
  host::SendDlgMessagePtr(dialog, DM_GETDLGITEM, item, &copy);
  return copy;
}

bool LiveChecked(HANDLE dialog, int item) { return LiveItem(dialog, item).Selected != 0; }

void Enable(HANDLE dialog, int item, bool enable) {
  host::SendDlgMessage(dialog, DM_ENABLE, item, enable ? 1 : 0);
}

const TagCreationField* FieldOfCheck(int item) {
  for (const TagCreationField& f : kTagCreationFields) {
    if (f.checkItem == item) return &f;
  }
  return nullptr;
}

const TagCreationField* FieldOfCase(int item) {
  for (const TagCreationField& f : kTagCreationFields) {
    if (f.caseItem >= 0 && f.caseItem == item) return &f;
  }
  return nullptr;
}

std::string CaseValueName(const std::string& field) { return "C_" + field; }

// The radio items follow LetterCase's order.
static_assert(CaseSwap - CaseKeep == static_cast<int>(LetterCase::Swapped));

// The stored case mode of a field ("0" when none is stored).
CaseMode StoredMode(const std::string& field) {
  return ParseCaseMode(host::ReadString(CaseValueName(field), kTagCreationKey, "0"));
}

// The case modes a walk has looked up, by field; emptied when the dialog opens
// and whenever a mode is stored.
std::map<std::string, CaseMode> caseModes;

void EnableSource(HANDLE dialog) {
  const bool fromList = !LiveChecked(dialog, CreateFromName);
  for (int item = CreateListNameLabel; item <= CreateTable; ++item) Enable(dialog, item, fromList);
}

// The value templates of the ticked fields, in the dialog's order.
void WarnOfValueTemplates(HANDLE dialog) {
  std::vector<int> items;
  for (const TagCreationField& field : kTagCreationFields) {
    if (LiveChecked(dialog, field.checkItem)) items.push_back(field.valueItem);
  }
  WarnOfClampedWidths(dialog, items);
}

void EnableValue(HANDLE dialog, const TagCreationField& field) {
  Enable(dialog, field.valueItem, LiveChecked(dialog, field.checkItem));
}

void ShowCase(HANDLE dialog, const TagCreationField& field) {
  const bool set = !StoredMode(field.name).ChangesNothing();
  host::SendDlgMessage(dialog, DM_SETCHECK, field.caseItem, set ? BSTATE_CHECKED : BSTATE_UNCHECKED);
}

void RefreshCaseItems(HANDLE dialog) {
  const std::string allTags = host::ReadString("C_AllTags", kTagCreationKey, "");
  for (const TagCreationField& field : kTagCreationFields) {
    if (field.caseItem < 0) continue;
    const bool enable =
        allTags.empty() ? LiveChecked(dialog, field.checkItem) : allTags == field.name;
    Enable(dialog, field.caseItem, enable);
  }
}

long WINAPI CreateProc(HANDLE dialog, int msg, int param1, long param2) {
  switch (msg) {
    case DN_INITDIALOG:
      EnableSource(dialog);
      for (const TagCreationField& field : kTagCreationFields) EnableValue(dialog, field);
      for (const TagCreationField& field : kTagCreationFields) {
        if (field.caseItem >= 0) ShowCase(dialog, field);
      }
      RefreshCaseItems(dialog);
      break;
    case DN_BTNCLICK:
      if (param1 == CreateFromName || param1 == CreateFromList) {
        EnableSource(dialog);
      } else if (const TagCreationField* checked = FieldOfCheck(param1)) {
        EnableValue(dialog, *checked);
        RefreshCaseItems(dialog);
      } else if (const TagCreationField* field = FieldOfCase(param1)) {
        CaseDialog(field->name);
        ShowCase(dialog, *field);
        RefreshCaseItems(dialog);
      }
      break;
    case DN_KILLFOCUS:
      if (param1 == CreateRegexp && !ValidateRegexp(dialog)) return CreateRegexp;
      break;
    case DN_CLOSE:
      // Esc (-1) leaves without saving anything, so it is not checked.
      if (param1 >= 0) {
        if (!ValidateRegexp(dialog)) return 0;
        WarnOfValueTemplates(dialog);
      }
      break;
    default:
      break;
  }
  return host::DefDlgProc(dialog, msg, param1, param2);
}

long WINAPI CaseProc(HANDLE dialog, int msg, int param1, long param2) {
  if (msg == DN_INITDIALOG) {
    std::string name = *host::Param2Ptr<const std::string>(param2);
    const std::string allTags = host::ReadString("C_AllTags", kTagCreationKey, "");
    host::SendDlgMessage(dialog, DM_SETCHECK, CaseAllFields,
                         allTags.empty() ? BSTATE_UNCHECKED : BSTATE_CHECKED);
    if (!allTags.empty()) name = allTags;
    // A stored value the dialog never writes selects "leave as it is".
    const CaseMode mode = StoredMode(name);
    host::SendDlgMessage(dialog, DM_SETCHECK, CaseKeep + static_cast<int>(mode.letters),
                         BSTATE_CHECKED);
    host::SendDlgMessage(dialog, DM_SETCHECK, CaseTransliterate,
                         mode.transliterate ? BSTATE_CHECKED : BSTATE_UNCHECKED);
  }
  return host::DefDlgProc(dialog, msg, param1, param2);
}

}  // namespace

const FarDialogItem& TagCreationItem(int item) { return createItems[item]; }

std::string TagCreationText(int item) { return host::ItemText(createItems[item]); }

bool TagCreationChecked(int item) { return createItems[item].Selected != 0; }

bool ValidateRegexp(HANDLE dialog) {
  const std::string pattern = tags::FromHost(host::ItemText(LiveItem(dialog, CreateRegexp)));
  if (pattern.empty()) return true;
  Regexp regexp;
  std::string error;
  int position = 0;
  if (regexp.Compile(pattern, &error, &position)) return true;
  host::Warning(FMSG_MB_OK, std::string(host::Msg(MBadRegexp)) + "\n" + error);
  FarCoord cursor{static_cast<short>(position), 0};
  host::SendDlgMessagePtr(dialog, DM_SETCURSORPOS, CreateRegexp, &cursor);
  return false;
}

bool CaseDialog(const std::string& field) {
  std::memset(caseItems, 0, sizeof(caseItems));
  host::BuildDialogItems(kCaseSpecs, caseItems, CaseItemCount);
  const int closed = host::DialogEx(-1, -1, 52, 15, "Id3Case", caseItems, CaseItemCount, 0,
                                    CaseProc, reinterpret_cast<long>(&field));
  if (closed != CaseOk) return false;
  CaseMode chosen;
  for (int item = CaseKeep; item <= CaseSwap; ++item) {
    if (caseItems[item].Selected != 0) {
      chosen.letters = static_cast<LetterCase>(item - CaseKeep);
      break;
    }
  }
  chosen.transliterate = caseItems[CaseTransliterate].Selected != 0;
  const std::string mode = StoredCaseMode(chosen);
  caseModes.clear();
  host::StoreDialogValues([&] {
    host::WriteString(CaseValueName(field), kTagCreationKey, mode);
    host::WriteString("C_AllTags", kTagCreationKey,
                      caseItems[CaseAllFields].Selected != 0 ? field : std::string());
  });
  return true;
}

CaseMode CaseModeFor(const std::string& field) {
  // Read once per field for a walk: every file of it takes the same modes.
  const auto known = caseModes.find(field);
  if (known != caseModes.end()) return known->second;
  const std::string allTags = host::ReadString("C_AllTags", kTagCreationKey, "");
  const CaseMode mode = StoredMode(allTags.empty() ? field : allTags);
  caseModes.emplace(field, mode);
  return mode;
}

bool TagCreationSetup() {
  caseModes.clear();
  std::memset(createItems, 0, sizeof(createItems));
  host::BuildDialogItems(kCreateSpecs, createItems, CreateItemCount);

  std::vector<FarListItem> tables = host::CodePageListItems(true);
  FarList tableList{static_cast<int>(tables.size()), tables.data()};
  std::vector<FarListItem> genres;
  for (const std::string& name : tags::GenreChoiceList()) genres.push_back(host::ListEntry(name));
  FarList genreList{static_cast<int>(genres.size()), genres.data()};

  host::SchemeDialog dialog{
      kTagCreationKey,
      CreateOk,
      CreateSchemes,
      CreateSaveScheme,
      [&] {
        createItems[CreateTable].ListItems = &tableList;
        createItems[CreateGenre].ListItems = &genreList;
        host::SetItemText(createItems[CreateListName], host::ReadString("FileListName", kTagCreationKey, ""));
        const std::string table =
            host::CodePageShownName(host::ReadString("CharacterTable", kTagCreationKey, tags::kWindowsText));
        host::SetItemText(createItems[CreateTable], table);
        // The drop-down list opens on the entry the text names.
        for (FarListItem& entry : tables) {
          entry.Flags &= ~static_cast<DWORD>(LIF_SELECTED);
          if (!(entry.Flags & LIF_SEPARATOR) && host::LStricmp(entry.Text, table.c_str()) == 0) {
            entry.Flags |= LIF_SELECTED;
          }
        }
        host::SetItemText(createItems[CreateRegexp], host::ReadString("Regexp", kTagCreationKey, ""));
        const bool fromName = host::ReadBool("ExtractFromName", kTagCreationKey, true);
        createItems[CreateFromName].Selected = fromName;
        createItems[CreateFromList].Selected = !fromName;
        createItems[CreateConfirm].Selected = host::ReadBool("Confirmation", kTagCreationKey, true);
        createItems[CreateWriteV1].Selected = host::ReadBool("CreateID3v1", kTagCreationKey, true);
        createItems[CreateWriteV2].Selected = host::ReadBool("CreateID3v2", kTagCreationKey, true);
        for (const TagCreationField& field : kTagCreationFields) {
          const std::string name = field.name;
          createItems[field.checkItem].Selected = host::ReadBool("CB_" + name, kTagCreationKey, false);
          host::SetItemText(createItems[field.valueItem], host::ReadString("Edit_" + name, kTagCreationKey, ""));
        }
      },
      [] {
        return host::DialogEx(-1, -1, 66, 23, "Id3TagCreation", createItems, CreateItemCount, 0,
                              CreateProc, 0);
      },
      [] {
        host::WriteString("FileListName", kTagCreationKey, host::ItemText(createItems[CreateListName]));
        host::WriteString("CharacterTable", kTagCreationKey,
                          host::CodePageSettingName(host::ItemText(createItems[CreateTable])));
        host::LoadCodePage("CharacterTable", kTagCreationKey, tags::ListCodePage, true);
        host::WriteString("Regexp", kTagCreationKey, host::ItemText(createItems[CreateRegexp]));
        host::WriteBool("ExtractFromName", kTagCreationKey, createItems[CreateFromName].Selected != 0);
        host::WriteBool("Confirmation", kTagCreationKey, createItems[CreateConfirm].Selected != 0);
        host::WriteBool("CreateID3v1", kTagCreationKey, createItems[CreateWriteV1].Selected != 0);
        host::WriteBool("CreateID3v2", kTagCreationKey, createItems[CreateWriteV2].Selected != 0);
        for (const TagCreationField& field : kTagCreationFields) {
          const std::string name = field.name;
          host::WriteBool("CB_" + name, kTagCreationKey, createItems[field.checkItem].Selected != 0);
          host::WriteString("Edit_" + name, kTagCreationKey, host::ItemText(createItems[field.valueItem]));
        }
      },
  };
  const bool confirmed = host::RunSchemeDialog(dialog);
  // The lists live only as long as this call.
  createItems[CreateTable].ListItems = nullptr;
  createItems[CreateGenre].ListItems = nullptr;
  return confirmed;
}

bool TagCreationFromName() { return createItems[CreateFromName].Selected != 0; }

std::string TagCreationListFile() { return host::ItemText(createItems[CreateListName]); }

bool TagCreationConfirmation() { return createItems[CreateConfirm].Selected != 0; }

}  // namespace batch

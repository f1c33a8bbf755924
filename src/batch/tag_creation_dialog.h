// The tag creation dialog (the set-up of the walk's mode 3), its letter case
// dialog, and what the per-file step reads from them.
#pragma once

#include <array>
#include <string>

#include "far/plugin_api.h"

namespace batch {

inline constexpr const char* kTagCreationKey = "TagCreationDialog";

enum TagCreationItem : int {
  CreateBox = 0,
  CreateConfirm,
  CreateSeparator1,
  CreateFromName,  // subject: the file's path
  CreateFromList,  // subject: a line of the list file
  CreateListNameLabel,
  CreateListName,
  CreateTableLabel,
  CreateTable,
  CreateRegexpLabel,
  CreateRegexp,
  CreateSeparator2,
  CreateWriteLabel,
  CreateWriteV1,
  CreateWriteV2,
  CreateTitleCheck,  // 15: the field rows, check / value / case
  CreateTitle,
  CreateTitleCase,
  CreateArtistCheck,
  CreateArtist,
  CreateArtistCase,
  CreateAlbumCheck,
  CreateAlbum,
  CreateAlbumCase,
  CreateYearCheck,
  CreateYear,
  CreateYearCase,
  CreateGenreCheck,
  CreateGenre,
  CreateGenreCase,
  CreateTrackCheck,  // Track has no case item
  CreateTrack,
  CreateCommentCheck,
  CreateComment,
  CreateCommentCase,
  CreateFileNameCheck,
  CreateFileName,
  CreateFileNameCase,
  CreateSeparator3,
  CreateOk,
  CreateCancel,
  CreateSchemes,
  CreateSaveScheme,
  CreateItemCount
};
static_assert(CreateItemCount == 43);

// One field row, in processing order. `name` forms the registry value names
// ("CB_" + name, "Edit_" + name, "C_" + name).
struct TagCreationField {
  const char* name;
  int checkItem;
  int valueItem;
  int caseItem;  // -1: none
};
inline constexpr std::array<TagCreationField, 8> kTagCreationFields = {{
    {"Title", CreateTitleCheck, CreateTitle, CreateTitleCase},
    {"Artist", CreateArtistCheck, CreateArtist, CreateArtistCase},
    {"Album", CreateAlbumCheck, CreateAlbum, CreateAlbumCase},
    {"Year", CreateYearCheck, CreateYear, CreateYearCase},
    {"Genre", CreateGenreCheck, CreateGenre, CreateGenreCase},
    {"Track", CreateTrackCheck, CreateTrack, -1},
    {"Comment", CreateCommentCheck, CreateComment, CreateCommentCase},
    {"FileName", CreateFileNameCheck, CreateFileName, CreateFileNameCase},
}};

// The dialog's items as the user left them; they stay filled for the walk.
const FarDialogItem& TagCreationItem(int item);
std::string TagCreationText(int item);
bool TagCreationChecked(int item);

// The letter case dialog of one field. True when confirmed: the field's case
// mode ("C_" + field) and C_AllTags are then stored at once.
bool CaseDialog(const std::string& field);

// The case mode of a field as the per-file step applies it: the mode of the
// field C_AllTags names when that is set, else the field's own; "0" = none.
std::string CaseModeFor(const std::string& field);

// True when item 10 of the running dialog is empty or compiles; otherwise a
// warning with the library's error and the cursor put at its position.
bool ValidateRegexp(HANDLE dialog);

}  // namespace batch

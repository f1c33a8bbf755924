// The tag creation dialog (the set-up of the walk's mode 3), its letter case
// dialog, and what the per-file step reads from them.
#pragma once

#include <array>
#include <string>

#include "batch/case_mode.h"
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

// What a field row sets: a field of the tags, or (FileName) the file's name.
enum class TagField { Title, Artist, Album, Year, Genre, Track, Comment, FileName };

// One field row, in processing order: the field it sets and the dialog items
// that show it. `name` forms the registry value names ("CB_" + name,
// "Edit_" + name, "C_" + name).
struct TagCreationField {
  TagField field;
  const char* name;
  int checkItem;
  int valueItem;
  int caseItem;  // -1: none
};
inline constexpr std::array<TagCreationField, 8> kTagCreationFields = {{
    {TagField::Title, "Title", CreateTitleCheck, CreateTitle, CreateTitleCase},
    {TagField::Artist, "Artist", CreateArtistCheck, CreateArtist, CreateArtistCase},
    {TagField::Album, "Album", CreateAlbumCheck, CreateAlbum, CreateAlbumCase},
    {TagField::Year, "Year", CreateYearCheck, CreateYear, CreateYearCase},
    {TagField::Genre, "Genre", CreateGenreCheck, CreateGenre, CreateGenreCase},
    {TagField::Track, "Track", CreateTrackCheck, CreateTrack, -1},
    {TagField::Comment, "Comment", CreateCommentCheck, CreateComment, CreateCommentCase},
    {TagField::FileName, "FileName", CreateFileNameCheck, CreateFileName, CreateFileNameCase},
}};
// The new name is made last, from the tags as the other fields left them.
static_assert(kTagCreationFields.back().field == TagField::FileName);

// The dialog's items as the user left them; they stay filled for the walk.
const FarDialogItem& TagCreationItem(int item);
std::string TagCreationText(int item);
bool TagCreationChecked(int item);

// The letter case dialog of one field. True when confirmed: the field's case
// mode ("C_" + field) and C_AllTags are then stored at once.
bool CaseDialog(const std::string& field);

// The case mode of a field as the per-file step applies it: the mode of the
// field C_AllTags names when that is set, else the field's own; read from the
// registry once per field for a walk.
CaseMode CaseModeFor(const std::string& field);

// True when the regular expression of the running dialog (CreateRegexp) is
// empty or compiles; otherwise a warning with the library's error, and the
// cursor put where the library found it.
bool ValidateRegexp(HANDLE dialog);

}  // namespace batch

// Renaming files from their tags (the walk's mode 2), and the two pieces the
// tag creation shares: the rename confirmation and the move itself.
//
// Names are OEM text, their folders separated as the system does
// (sys/sys.h). On Windows a full path may separate its folders with '\' or
// '/', but in a new name built from a template only '\' and ':' make a folder
// part, so that a '/' in a tag value becomes '_' like any other character a
// file name cannot hold. On POSIX '/' alone makes a folder part, and a '\'
// of a new name without one becomes '_'.
#pragma once

#include <string>

namespace batch {

// The rename confirmation: the old name (read-only) and the new name, which
// the user may edit; the focus starts on the new name. OK renames (`newName`
// is then the text as the user left it), Skip leaves this file and goes on,
// Cancel or Esc stops. `askNoMore` is the state of the "ask no more" check box.
enum class RenameAnswer { Rename, Skip, Stop };
RenameAnswer ConfirmRename(const std::string& oldName, std::string& newName, bool& askNoMore);

// What became of a rename: the file moved; it did not and the user goes on
// with the other files; it did not and the user stops.
enum class RenameResult { Moved, Failed, Stop };

// Moves `fullName` to `newName`. Characters a name cannot hold become '_'.
// A new name without a folder part stays in the file's folder; one with a
// folder part is used as it is, after the missing folders of an absolute path
// were created. An existing file is never replaced. A failure is shown as a
// warning with both names and the system's reason, with the choice to go on
// with the other files or stop.
RenameResult RenameFile(const std::string& fullName, std::string newName);

// Makes sure the folder `dir` exists, creating missing folders from the top
// down; false when a folder could not be made, or when the chain does not
// reach an existing folder (a relative name whose first folder is missing:
// LastError() is then ERROR_PATH_NOT_FOUND).
bool ForceFolders(const std::string& dir);

}  // namespace batch

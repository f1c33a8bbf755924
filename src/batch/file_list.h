// The file list (the walk's mode 1): one line per file, built from a template,
// appended to a list file whose name is a template too.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"

namespace batch {

// Appends `line` and CR LF to the list file `listName` (OEM), creating the
// file when it does not exist. What the file held stays: a write that fails
// is taken back, so the file ends where it ended before. False when the file
// could not be opened or the line could not be written (an empty name cannot
// be opened); LastError() then tells why.
bool AppendListLine(const std::string& listName, std::string line);

}  // namespace batch

// Mode 4: old 8-bit tag text converted to Unicode. The set-up dialog chooses
// the code page the text was written in (or a guess per file), whether ID3v1
// fields that the ID3v2 tag lacks are copied into it, and whether each file is
// confirmed; per file, every ID3v2 frame holding 8-bit text under encoding 0
// is rewritten in UTF-16 and nothing else of the file changes.
#pragma once

#include <string>
#include <vector>

#include "tags/codepage_guess.h"

namespace batch {

// A code page tag text may have been written in: its name as the dialogs
// show it, and its reading of 8-bit text.
struct SourceCodePage {
  std::string name;
  tags::TextDecoder decode;
};

// "Windows text", "Dos text", the host's character tables, and Western
// European (1252) where that is not the Windows text already.
std::vector<SourceCodePage> SourceCodePages();

}  // namespace batch

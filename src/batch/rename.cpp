// Mode 2: renaming files from their tags.
#include <string>

#include "host/operations.h"

namespace batch {

// unfinished
bool RenameSetup() { return false; }
bool RenameConfirmation() { return true; }
bool RenameFromTags(const std::string&, audio::MPEGaudio&, int, bool&) { return false; }

}  // namespace batch

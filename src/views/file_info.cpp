#include "host/operations.h"

namespace views {

// unfinished
bool ShowFileInfo(const std::string& /*fullPath*/, audio::MPEGaudio& /*audio*/, bool /*single*/) {
  return true;
}

}  // namespace views

// What a tag write that worked has to tell the user besides its result.
#pragma once

#include <cstdint>
#include <string>

namespace tags {

struct WriteNotes {
  // A temporary copy beside the file that an earlier save which did not end
  // left behind; found and left alone (it may be the only copy of something).
  std::string leftover;
  // The new content is in the file, but a step after the write (flushing,
  // closing, putting back the attributes or times) failed with this error.
  uint32_t unfinished = 0;

  void Clear() {
    leftover.clear();
    unfinished = 0;
  }
};

}  // namespace tags

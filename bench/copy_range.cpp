// The copy a rebuilt file's audio goes through (sys::CopyRange), alone: copies
// SOURCE to the new file TARGET and flushes it, as the rewrite does with its
// temporary file. Linked with the system layer of a build.
#include <cstdio>

#include "sys/sys.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: copy_range SOURCE TARGET\n");
    return 2;
  }
  sys::File from, to;
  int64_t size = 0;
  const bool copied = from.Open(argv[1], sys::OpenMode::Read, &size) &&
                      to.Open(argv[2], sys::OpenMode::CreateNew) &&
                      sys::CopyRange(from, to, size) && to.Flush() && to.Close();
  if (!copied) {
    std::fprintf(stderr, "copy failed: %s\n", sys::ErrorText(sys::LastError()).c_str());
    return 1;
  }
  return 0;
}

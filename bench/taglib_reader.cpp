// TagLib's reading of tags and audio properties over the same folders, for
// comparison: one line per file with a few fields, like tagwright-inspect.
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static void Walk(const fs::path& folder) {
  std::vector<fs::directory_entry> entries(fs::directory_iterator(folder), {});
  std::sort(entries.begin(), entries.end());
  for (const auto& entry : entries) {
    if (entry.is_directory()) {
      Walk(entry.path());
      continue;
    }
    TagLib::FileRef file(entry.path().c_str(), true, TagLib::AudioProperties::Average);
    if (file.isNull() || !file.tag() || !file.audioProperties()) {
      std::printf("%s unreadable\n", entry.path().c_str());
      continue;
    }
    std::printf("%s %s %s %d %d %d\n", entry.path().c_str(),
                file.tag()->title().toCString(true), file.tag()->artist().toCString(true),
                file.audioProperties()->bitrate(), file.audioProperties()->sampleRate(),
                file.audioProperties()->lengthInMilliseconds());
  }
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) Walk(argv[i]);
  return 0;
}

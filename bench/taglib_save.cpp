// TagLib's save of the change the save benchmark asks of every program: the
// title "Benchmark title" into the ID3v2 tag (kept at version 2.3) and the
// ID3v1 tag (made when missing) of every file under the folders named.
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

static int failures = 0;

static void Walk(const fs::path& folder) {
  std::vector<fs::directory_entry> entries(fs::directory_iterator(folder), {});
  std::sort(entries.begin(), entries.end());
  for (const auto& entry : entries) {
    if (entry.is_directory()) {
      Walk(entry.path());
      continue;
    }
    TagLib::MPEG::File file(entry.path().c_str(), false);
    if (!file.isValid()) {
      ++failures;
      continue;
    }
    file.ID3v2Tag(true)->setTitle("Benchmark title");
    file.ID3v1Tag(true)->setTitle("Benchmark title");
    if (!file.save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v3,
                   TagLib::File::DoNotDuplicate))
      ++failures;
  }
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) Walk(argv[i]);
  if (failures != 0) std::fprintf(stderr, "%d files not saved\n", failures);
  return failures == 0 ? 0 : 1;
}

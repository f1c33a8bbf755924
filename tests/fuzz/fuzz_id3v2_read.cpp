// ID3v2 reading: the input is a whole file.
//
// Properties: a file of 10 bytes or more loads, and the tag is present exactly
// when the file starts with "ID3"; the tag never claims more bytes than the
// file has; every field holds at most what 500 bytes of frame give, and the
// whole comment at least the comment; an object that read other files before
// reads this one exactly as a fresh object does (nothing is left over from
// the last file).
#include <cstring>

#include "fuzz_support.h"
#include "tag_fields.h"
#include "tags/id3v2.h"

namespace {

// Kept from one input to the next, as the walk keeps its analysis object.
tags::ID3v2Tag& ReusedTag() {
  static tags::ID3v2Tag tag;
  return tag;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("input.mp3", data, size);
  tags::ID3v2Tag fresh;
  const bool loaded = fresh.Load(path);
  FUZZ_CHECK(loaded == (size >= 10), "a file loads when it has the 10 bytes of a header");

  tags::ID3v2Tag& reused = ReusedTag();
  FUZZ_CHECK(reused.Load(path) == loaded, "a reused object loads as a fresh one");
  FUZZ_CHECK_FIELDS(fuzz::FieldsOf(reused), fuzz::FieldsOf(fresh),
             "a reused object reads the same fields as a fresh one");
  if (!loaded) return 0;

  FUZZ_CHECK(fresh.Present() == (std::memcmp(data, "ID3", 3) == 0),
             "the tag is present exactly when the file starts with ID3");
  FUZZ_CHECK(fresh.TagSize() >= 0 && fresh.TagSize() <= static_cast<int64_t>(size),
             "the tag lies inside the file");
  FUZZ_CHECK(fresh.TagSize() == 0 || fresh.TagSize() >= 10, "a tag has at least its header");
  if (!fresh.Present()) {
    FUZZ_CHECK_FIELDS(fuzz::FieldsOf(fresh), fuzz::FieldsOf(tags::ID3v2Tag()),
               "a file without a tag gives empty fields");
  }
  const std::vector<std::string> fields = fuzz::FieldsOf(fresh);
  for (size_t i = 3; i < fields.size(); ++i) {
    if (i == 11) continue;  // FullComment
    FUZZ_CHECK(fields[i].size() <= 500, "a field holds at most 500 bytes of frame");
  }
  FUZZ_CHECK(fresh.FullComment().size() >= fresh.Comment().size(),
             "the whole comment is at least as long as the comment");
  return 0;
}

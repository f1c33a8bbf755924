// Real files written by other software (the shared sample corpus): every one
// loads without harm, known fields read as their writers meant, and a saved
// tag keeps the audio behind it byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tag_test_support.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

namespace tags {
namespace {

namespace fs = std::filesystem;
using namespace tagtest;

fs::path CorpusDir() {
  if (const char* dir = std::getenv("TAGWRIGHT_CORPUS")) return dir;
  if (const char* source = std::getenv("TAGWRIGHT_SOURCE_DIR"))
    return fs::path(source) / ".." / "shared" / "corpus";
  return {};
}

bool IsAscii(const fs::path& path) {
  const auto text = path.native();
  return std::all_of(text.begin(), text.end(),
                     [](auto c) { return static_cast<uint32_t>(c) < 0x80; });
}

// The tag objects take names in the OEM code page; files whose names are not
// plain ASCII are read through a copy.
std::string Readable(const fs::path& path, const ScratchDir& dir) {
  if (IsAscii(path)) return path.string();
  const std::string copy = dir.File("non-ascii-name.mp3");
  fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
  return copy;
}

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  const fs::path dir = CorpusDir();
  std::error_code error;
  if (dir.empty() || !fs::is_directory(dir, error)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir, error))
    if (entry.is_regular_file() && entry.path().filename() != "CATALOG.md")
      files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(TagsCorpus, EveryFileLoads) {
  const std::vector<fs::path> files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << CorpusDir();
  ScratchDir dir;
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.string());
    const auto size = static_cast<int64_t>(fs::file_size(path));
    const std::string name = Readable(path, dir);
    ID3v2Tag v2;
    EXPECT_EQ(v2.Load(name), size >= 10);
    EXPECT_LE(v2.TagSize(), size);
    ID3v1Tag v1;
    EXPECT_TRUE(v1.Load(name));
  }
}

TEST(TagsCorpus, KnownFieldsReadAsWritten) {
  if (CorpusFiles().empty()) GTEST_SKIP() << "no corpus at " << CorpusDir();
  struct Case {
    const char* file;
    const char* title;
    const char* artist = nullptr;
    const char* album = nullptr;
    const char* year = nullptr;
    const char* genre = nullptr;
    int track = -1;
  };
  const Case cases[] = {
      {"taglib/unsynch.id3", "My babe just cares for me",
       "Nina Simone"},                             // 2.3, whole tag unsynchronised
      {"taglib/unsynch24.id3", "Hi"},              // 2.4, frame unsynchronised
      {"taglib/005411.id3", "Sunshine Superman"},  // 2.4 with plain frame sizes
      {"hsaudiotag/id3v2/v24_no_syncsafe.tag", "Boccherini / Minuet (String Quartet in E major)"},
      {"taglib/extended-header.mp3", "Druids", "Excelsis", "Vo Chrieger U Drache", "2013",
       "Folk/Power Metal", 3},
      {"mutagen/issue_21.id3", "Punk To Funk"},  // extended-header flag without header
      {"mutagen/id3v24_extended_header.id3", "One Second of Silence"},
      {"taglib-sharp/sample_v2_3_ext_header.mp3", "Title v2"},
      {"hsaudiotag/id3v2/v22.tag", "Chanson de Nuit - Op. 15 No. 1", "Kennedy / Pettinger",
       "Salut d'Amour (Elgar)", "1984", "Classical"},  // genre "(32)"
      {"tinytag/utf16be.mp3", "52-girls", "The B52s", "party mix", "1981", "Rock", 6},  // "(17)"
      {"mutagen/id3v22-test.mp3", nullptr, "Anais Mitchell", nullptr, nullptr, nullptr, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ID3v2Tag tag;
    ASSERT_TRUE(tag.Load((CorpusDir() / c.file).string()));
    if (c.title) {
      EXPECT_EQ(tag.Title(), c.title);
    }
    if (c.artist) {
      EXPECT_EQ(tag.Artist(), c.artist);
    }
    if (c.album) {
      EXPECT_EQ(tag.Album(), c.album);
    }
    if (c.year) {
      EXPECT_EQ(tag.Year(), c.year);
    }
    if (c.genre) {
      EXPECT_EQ(tag.Genre(), c.genre);
    }
    if (c.track >= 0) {
      EXPECT_EQ(tag.Track(), c.track);
    }
  }
}

// A title change on a copy of each file: the tag is rewritten or overwritten,
// and whatever followed the old tag follows the new one unchanged.
TEST(TagsCorpus, SavingKeepsWhatFollowsTheTag) {
  const std::vector<fs::path> files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << CorpusDir();
  ScratchDir dir;
  const std::string copy = dir.File("copy.mp3");
  int saved = 0;
  for (const fs::path& path : files) {
    if (fs::file_size(path) > 2'000'000) continue;
    SCOPED_TRACE(path.string());
    const Bytes before = ReadAll(path);
    WriteAll(copy, before);
    ID3v2Tag tag;
    if (!tag.Load(copy)) continue;  // shorter than a header
    const int64_t oldTag = tag.TagSize();
    tag.SetTitle("Saved title");
    ASSERT_TRUE(tag.Save(copy));
    ID3v2Tag again;
    ASSERT_TRUE(again.Load(copy));
    EXPECT_EQ(again.Version(), 3);
    EXPECT_EQ(again.Title(), "Saved title");
    EXPECT_EQ(again.Artist(), tag.Artist());
    const Bytes after = ReadAll(copy);
    ASSERT_GE(static_cast<int64_t>(after.size()), again.TagSize());
    EXPECT_TRUE(std::equal(before.begin() + oldTag, before.end(), after.begin() + again.TagSize(),
                           after.end()));
    ++saved;
  }
  EXPECT_GT(saved, 100);
}

}  // namespace
}  // namespace tags

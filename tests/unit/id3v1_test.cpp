#include "tags/id3v1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "sys/sys.h"
#include "tag_test_support.h"

namespace tags {
namespace {

using tagtest::Audio;
using tagtest::Bytes;
using tagtest::Cat;
using tagtest::ReadAll;
using tagtest::ScratchDir;
using tagtest::WriteAll;

// A 128-byte block with the given fields (space-padded like many writers) and
// bytes 125 to 127 as given.
ID3v1Tag::Block BlockWith(std::string title, std::string comment, uint8_t b125, uint8_t b126,
                          uint8_t genre) {
  ID3v1Tag::Block block{};
  block.fill(' ');
  std::copy_n("TAG", 3, block.begin());
  std::copy(title.begin(), title.end(), block.begin() + 3);
  std::copy(comment.begin(), comment.end(), block.begin() + 97);
  block[125] = b125;
  block[126] = b126;
  block[127] = genre;
  return block;
}

Bytes AsBytes(const ID3v1Tag::Block& block) { return Bytes(block.begin(), block.end()); }

struct VersionCase {
  uint8_t b125, b126;
  int version;
  int track;
  std::string comment;
};

TEST(ID3v1Parse, VersionTrackAndCommentFollowBytes125And126) {
  const std::string comment28 = "abcdefghijklmnopqrstuvwxyz01";
  const VersionCase cases[] = {
      {0x00, 0x05, 2, 5, comment28},       // ID3v1.1
      {0x20, 0x58, 2, 88, comment28},      // space-padded v1.1 ("X" = 88)
      {0x00, 0x00, 1, 0, comment28},       // trailing zeros of a 30-byte comment go
      {0x20, 0x20, 1, 0, comment28},       // all spaces: v1.0
      {'y', 'z', 1, 0, comment28 + "yz"},  // a full 30-byte comment
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.b125} << "," << int{c.b126});
    ID3v1Tag tag;
    tag.Parse(BlockWith("T", comment28, c.b125, c.b126, 3));
    EXPECT_TRUE(tag.Present());
    EXPECT_EQ(tag.Version(), c.version);
    EXPECT_EQ(tag.Track(), c.track);
    EXPECT_EQ(tag.Comment(), c.comment);
    EXPECT_EQ(tag.GenreNumber(), 3);
  }
}

TEST(ID3v1Parse, TrailingBlanksGoLeadingAndInnerBytesStay) {
  ID3v1Tag::Block block = BlockWith("  Title", "", 0x20, 0x20, 255);
  std::copy_n(std::string("Ar\0ist\x01\x02", 8).begin(), 8, block.begin() + 33);
  std::fill(block.begin() + 63, block.begin() + 93, 0);  // album all zero bytes
  std::copy_n("1999", 4, block.begin() + 93);
  ID3v1Tag tag;
  tag.Parse(block);
  EXPECT_EQ(tag.Title(), "  Title");
  EXPECT_EQ(tag.Artist(), std::string("Ar\0ist", 6));
  EXPECT_EQ(tag.Album(), "");
  EXPECT_EQ(tag.Year(), "1999");
}

TEST(ID3v1Setters, TrimThenCutToCapacity) {
  ID3v1Tag tag;
  tag.SetTitle(std::string(40, 'x') + "   ");
  EXPECT_EQ(tag.Title(), std::string(30, 'x'));
  // Trimmed before the cut, so the stored value may end in a blank.
  tag.SetArtist(std::string(29, 'a') + " b");
  EXPECT_EQ(tag.Artist(), std::string(29, 'a') + " ");
  tag.SetYear("2004 ");
  EXPECT_EQ(tag.Year(), "2004");
  tag.SetYear("12345");
  EXPECT_EQ(tag.Year(), "1234");
  tag.SetComment(" lead\t\n");
  EXPECT_EQ(tag.Comment(), " lead");
  // Only the first 255 bytes of a value count.
  tag.SetAlbum("abc" + std::string(300, ' ') + "x");
  EXPECT_EQ(tag.Album(), "abc");
}

TEST(ID3v1Setters, OnlyNonEmptyValuesMakeTheTagPresent) {
  ID3v1Tag tag;
  tag.SetTitle("   ");
  tag.SetTrack(0);
  tag.SetGenreNumber(0);
  EXPECT_FALSE(tag.Present());
  tag.SetGenreNumber(255);
  EXPECT_TRUE(tag.Present());

  ID3v1Tag other;
  other.SetTrack(1);
  EXPECT_TRUE(other.Present());
  other.SetTitle("");  // no setter takes presence away
  other.SetTrack(0);
  EXPECT_TRUE(other.Present());
}

TEST(ID3v1Render, TrackOverwritesTheLastTwoCommentBytes) {
  ID3v1Tag tag;
  tag.SetComment(std::string(30, 'c'));
  tag.SetGenreNumber(200);
  ID3v1Tag::Block block = tag.Render();
  EXPECT_EQ(block[125], 'c');
  EXPECT_EQ(block[126], 'c');
  EXPECT_EQ(block[127], 200);

  tag.SetTrack(7);
  tag.SetTitle("Ti");
  block = tag.Render();
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 6), (Bytes{'T', 'A', 'G', 'T', 'i', 0}));
  EXPECT_EQ(block[124], 'c');
  EXPECT_EQ(block[125], 0);
  EXPECT_EQ(block[126], 7);

  ID3v1Tag back;
  back.Parse(block);
  EXPECT_EQ(back.Comment(), std::string(28, 'c'));
  EXPECT_EQ(back.Track(), 7);
  EXPECT_EQ(back.TrackText(), "7");
  EXPECT_EQ(back.GenreNumber(), 200);
  EXPECT_EQ(back.Genre(), "");
}

// A loaded block is written back with only the changed fields rewritten:
// blanks, bytes after a field's zero and a genre without a name stay.
TEST(ID3v1Render, UnchangedFieldsKeepTheirBytes) {
  ID3v1Tag::Block block = BlockWith("Title", "note", ' ', ' ', 201);
  std::copy_n("Art\0junk", 8, block.begin() + 33);
  std::copy_n("2004", 4, block.begin() + 93);
  ID3v1Tag tag;
  tag.Parse(block);
  EXPECT_FALSE(tag.NeedsSave());
  tag.SetArtist(tag.Artist());
  tag.SetYear("2004");
  tag.SetGenreNumber(201);
  EXPECT_FALSE(tag.NeedsSave());
  EXPECT_EQ(AsBytes(tag.Render()), AsBytes(block));

  tag.SetTitle("New");
  EXPECT_TRUE(tag.NeedsSave());
  ID3v1Tag::Block expected = block;
  std::fill_n(expected.begin() + 3, 30, 0);
  std::copy_n("New", 3, expected.begin() + 3);
  EXPECT_EQ(AsBytes(tag.Render()), AsBytes(expected));

  // A track on a 30-byte comment takes its last two bytes; a cleared track
  // leaves the 28-byte comment and zeros.
  ID3v1Tag v10;
  v10.Parse(BlockWith("", std::string(30, 'c'), 'c', 'c', 1));
  v10.SetTrack(9);
  block = v10.Render();
  EXPECT_EQ(block[124], 'c');
  EXPECT_EQ(block[125], 0);
  EXPECT_EQ(block[126], 9);
  ID3v1Tag v11;
  v11.Parse(block);
  v11.SetTrack(0);
  block = v11.Render();
  EXPECT_EQ(block[124], 'c');
  EXPECT_EQ(block[125], 0);
  EXPECT_EQ(block[126], 0);
}

TEST(ID3v1File, LoadOfFilesWithoutTag) {
  ScratchDir dir;
  const std::string shortFile = dir.File("short.mp3");
  WriteAll(shortFile, Cat({{'T', 'A', 'G'}, Audio(100)}));
  const std::string plain = dir.File("plain.mp3");
  WriteAll(plain, Audio(1000));

  ID3v1Tag tag;
  tag.SetTitle("left over");
  EXPECT_TRUE(tag.Load(shortFile));
  EXPECT_FALSE(tag.Present());
  EXPECT_EQ(tag.Title(), "");
  EXPECT_TRUE(tag.Load(plain));
  EXPECT_FALSE(tag.Present());

  tag.SetTitle("left over");
  EXPECT_FALSE(tag.Load(dir.File("missing.mp3")));
  EXPECT_EQ(tag.Title(), "");

  EXPECT_TRUE(tag.Strip(shortFile));
  EXPECT_TRUE(tag.Strip(plain));
  EXPECT_EQ(ReadAll(shortFile).size(), 103u);
  EXPECT_EQ(ReadAll(plain), Audio(1000));
}

TEST(ID3v1File, SaveAppendsOnceThenOverwritesInPlace) {
  ScratchDir dir;
  const std::string file = dir.File("song.mp3");
  const Bytes audio = Audio(5000);
  WriteAll(file, audio);

  ID3v1Tag tag;
  tag.SetTitle("Title");
  tag.SetArtist("Artist");
  tag.SetAlbum("Album");
  tag.SetYear("2001");
  tag.SetComment("Comment");
  tag.SetTrack(12);
  tag.SetGenreNumber(200);
  ASSERT_TRUE(tag.Save(file));
  const Bytes once = ReadAll(file);
  // The block as the format lays it out, not as Render makes it: zero-padded
  // fields, a zero before the track, the genre last.
  const auto padded = [](std::string_view text, size_t size) {
    Bytes field(size, 0);
    std::copy(text.begin(), text.end(), field.begin());
    return field;
  };
  const Bytes block = Cat({tagtest::Text("TAG"), padded("Title", 30), padded("Artist", 30),
                           padded("Album", 30), tagtest::Text("2001"), padded("Comment", 28),
                           {0, 12, 200}});
  EXPECT_EQ(once, Cat({audio, block}));

  ASSERT_TRUE(tag.Save(file));
  EXPECT_EQ(ReadAll(file), once);

  ID3v1Tag loaded;
  ASSERT_TRUE(loaded.Load(file));
  EXPECT_TRUE(loaded.Present());
  EXPECT_EQ(loaded.Version(), 2);
  EXPECT_EQ(loaded.Title(), "Title");
  EXPECT_EQ(loaded.Artist(), "Artist");
  EXPECT_EQ(loaded.Album(), "Album");
  EXPECT_EQ(loaded.Year(), "2001");
  EXPECT_EQ(loaded.Comment(), "Comment");
  EXPECT_EQ(loaded.Track(), 12);
  EXPECT_EQ(loaded.GenreNumber(), 200);

  loaded.SetTitle("Other");
  ASSERT_TRUE(loaded.Save(file));
  EXPECT_EQ(ReadAll(file).size(), once.size());

  ASSERT_TRUE(loaded.Strip(file));
  EXPECT_FALSE(loaded.Present());
  EXPECT_EQ(ReadAll(file), audio);
}

TEST(ID3v1File, SaveOnReadOnlyFileSucceedsAndKeepsTheMark) {
  ScratchDir dir;
  const std::string file = dir.File("ro.mp3");
  WriteAll(file, Audio(300));
  ASSERT_TRUE(sys::SetAttributes(file, sys::kAttrReadOnly));
  ID3v1Tag tag;
  tag.SetTitle("x");
  ASSERT_TRUE(tag.Save(file));
  uint32_t attributes = 0;
  ASSERT_TRUE(sys::GetAttributes(file, &attributes));
  EXPECT_EQ(attributes & sys::kAttrReadOnly, uint32_t{sys::kAttrReadOnly});
  ASSERT_TRUE(sys::SetAttributes(file, 0));
  EXPECT_EQ(ReadAll(file).size(), 428u);
}

// Every operation that may fail makes the file end up with its old bytes or
// its new ones, whichever operation of the file layer fails first.
void ExpectOldOrNewAtEveryFailure(const std::string& file, const Bytes& before,
                                  const std::function<bool()>& operation) {
  Bytes after;
  {
    WriteAll(file, before);
    ASSERT_TRUE(operation());
    after = ReadAll(file);
    ASSERT_NE(after, before);
  }
  bool succeeded = false;
  for (int n = 1; n < 100 && !succeeded; ++n) {
    SCOPED_TRACE(testing::Message() << "failing from operation " << n);
    WriteAll(file, before);
    sys::FailFileOperationsFrom(n);
    succeeded = operation();
    sys::FailFileOperationsFrom(0);
    const Bytes now = ReadAll(file);
    EXPECT_TRUE(now == before || now == after);
    if (succeeded) {
      EXPECT_EQ(now, after);
    }
  }
  EXPECT_TRUE(succeeded);
}

TEST(ID3v1File, FailedWritesLeaveOldOrNewContent) {
  ScratchDir dir;
  const std::string file = dir.File("f.mp3");
  ID3v1Tag tag;
  tag.SetTitle("New title");
  tag.SetTrack(3);
  ID3v1Tag old;
  old.SetTitle("Old title");
  const Bytes audio = Audio(4000);
  const Bytes tagged = Cat({audio, AsBytes(old.Render())});

  {
    SCOPED_TRACE("save over a tag");
    ExpectOldOrNewAtEveryFailure(file, tagged, [&] { return tag.Save(file); });
  }
  {
    SCOPED_TRACE("save appending");
    ExpectOldOrNewAtEveryFailure(file, audio, [&] { return tag.Save(file); });
  }
  {
    SCOPED_TRACE("strip");
    ExpectOldOrNewAtEveryFailure(file, tagged, [&] { return tag.Strip(file); });
  }
}

TEST(ID3v1File, WorksBeyondFourGibibytes) {
  ScratchDir dir;
  const std::string file = dir.File("big.mp3");
  const int64_t size = (int64_t{1} << 32) + 1000;
  {
    sys::File f;
    ASSERT_TRUE(f.Open(file, sys::OpenMode::CreateNew));
    const uint8_t last = 0x55;
    if (!f.Seek(size - 1) || !f.Write(&last, 1)) {
      GTEST_SKIP() << "no room for a sparse file";
    }
  }
  ID3v1Tag tag;
  tag.SetTitle("big");
  ASSERT_TRUE(tag.Save(file));
  ID3v1Tag loaded;
  ASSERT_TRUE(loaded.Load(file));
  EXPECT_EQ(loaded.Title(), "big");
  EXPECT_EQ(std::filesystem::file_size(file), static_cast<uintmax_t>(size + 128));
  ASSERT_TRUE(loaded.Strip(file));
  EXPECT_EQ(std::filesystem::file_size(file), static_cast<uintmax_t>(size));
}

}  // namespace
}  // namespace tags

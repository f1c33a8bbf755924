#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sys/sys.h"
#include "tag_test_support.h"
#include "tags/id3v2.h"

namespace tags {
namespace {

using namespace tagtest;

class ID3v2Write : public ::testing::Test {
 protected:
  ScratchDir dir_;
  std::string file_ = dir_.File("song.mp3");
  Bytes audio_ = Audio(3000);
};

TEST_F(ID3v2Write, TagSizeFollowsTheOldTagAndTheFrames) {
  struct Case {
    const char* what;
    int64_t oldTotal;    // 0: no tag
    size_t titleLength;  // frames total = 21 + title length
    int64_t newTotal;
    bool inPlace;
  };
  const Case cases[] = {
      // A rebuilt tag gets 4096 bytes of padding, or an eighth of its size
      // up to 64 KiB; an old tag with room is written over, whatever its size.
      {"no tag", 0, 179, 200 + 4096, false},
      {"old tag with room", 2048, 279, 2048, true},
      {"old tag above 4096 bytes", 5000, 179, 5000, true},
      {"large old tag", 200000, 179, 200000, true},
      {"frames above 4096 bytes", 0, 4979, 5000 + 4096, false},
      {"frames of 100000 bytes", 0, 99979, 100000 + 12500, false},
      {"frames of a megabyte", 0, 999979, 1000000 + 65536, false},
      {"old tag exactly the frames' size", 300, 279, 300, true},
      {"old tag one byte short", 299, 279, 300 + 4096, false},
      {"old tag of 4096 bytes", 4096, 10, 4096, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes old;
    if (c.oldTotal > 0) {
      const Bytes frame = FrameV3("TIT2", Latin1("old"));
      old = Tag(3, frame, static_cast<size_t>(c.oldTotal) - 10 - frame.size());
    }
    WriteAll(file_, Cat({old, audio_}));
    ID3v2Tag tag;
    tag.SetTitle(std::string(c.titleLength, 't'));
    ASSERT_TRUE(tag.Save(file_));
    const Bytes written = ReadAll(file_);
    const WrittenTag parsed = Parse23(written);
    EXPECT_EQ(parsed.total, c.newTotal);
    ASSERT_EQ(parsed.frames.size(), 1u);
    EXPECT_EQ(parsed.frames[0].data.size(), c.titleLength + 1);
    EXPECT_EQ(parsed.padding,
              static_cast<size_t>(c.newTotal - 21 - static_cast<int64_t>(c.titleLength)));
    EXPECT_EQ(Tail(written, c.newTotal), audio_);
    EXPECT_EQ(static_cast<int64_t>(written.size()),
              c.newTotal + static_cast<int64_t>(audio_.size()));
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"song.mp3"});
    (void)c.inPlace;
  }
}

TEST_F(ID3v2Write, FramesAreBuiltFromTheFieldsInSlotOrder) {
  WriteAll(file_, audio_);
  ID3v2Tag tag;
  tag.SetURL("x");
  tag.SetComment("Nice");
  tag.SetTrack(12);
  tag.SetTitle(" Title ");
  tag.SetArtist("Artist");
  tag.SetAlbum("Album");
  tag.SetYear("1999");
  tag.SetGenre("Rock");
  tag.SetComposer("Composer");
  tag.SetEncodedBy("Enc");
  tag.SetCopyright("Copy");
  tag.SetOrigArtist("Orig");
  ASSERT_TRUE(tag.Save(file_));
  const std::vector<Frame> expected = {
      {"TIT2", {0, 0}, Latin1("Title")},
      {"TPE1", {0, 0}, Latin1("Artist")},
      {"TALB", {0, 0}, Latin1("Album")},
      {"TRCK", {0, 0}, Latin1("12")},
      {"TYER", {0, 0}, Latin1("1999")},
      {"TCON", {0, 0}, Latin1("Rock")},
      {"COMM", {0, 0}, Cat({Latin1("eng"), {0}, Text("Nice")})},
      {"TCOM", {0, 0}, Latin1("Composer")},
      {"TENC", {0, 0}, Latin1("Enc")},
      {"TCOP", {0, 0}, Latin1("Copy")},
      {"WXXX", {0, 0}, Bytes{0, 0, 'x'}},
      {"TOPE", {0, 0}, Latin1("Orig")},
  };
  const Bytes written = ReadAll(file_);
  EXPECT_EQ(Parse23(written).frames, expected);

  ID3v2Tag loaded;
  ASSERT_TRUE(loaded.Load(file_));
  EXPECT_EQ(loaded.Title(), "Title");
  EXPECT_EQ(loaded.Artist(), "Artist");
  EXPECT_EQ(loaded.Album(), "Album");
  EXPECT_EQ(loaded.Track(), 12);
  EXPECT_EQ(loaded.Year(), "1999");
  EXPECT_EQ(loaded.Genre(), "Rock");
  EXPECT_EQ(loaded.Comment(), "Nice");
  EXPECT_EQ(loaded.Composer(), "Composer");
  EXPECT_EQ(loaded.EncodedBy(), "Enc");
  EXPECT_EQ(loaded.Copyright(), "Copy");
  EXPECT_EQ(loaded.URL(), "x");
  EXPECT_EQ(loaded.OrigArtist(), "Orig");
  // Saving what was loaded changes nothing, in place.
  ASSERT_TRUE(loaded.Save(file_));
  EXPECT_EQ(ReadAll(file_), written);
}

// Fields read from frames they do not write (TIT1, TOAL, TDRC) and fields no
// one changed leave the old frames as they were; an object never loaded,
// saved as it is, changes no frame either.
TEST_F(ID3v2Write, UnchangedFieldsKeepTheirFrames) {
  const Bytes frames = Cat({FrameV3("TLAN", Latin1("rus")), FrameV3("TIT1", Latin1("Grp")),
                            FrameV3("TDRC", Latin1("2001")), FrameV3("TOAL", Latin1("OA"))});
  const Bytes old = Cat({Tag(3, frames, 100), audio_});
  WriteAll(file_, old);
  ID3v2Tag tag;
  ASSERT_TRUE(tag.Load(file_));
  EXPECT_EQ(tag.Title(), "Grp");
  EXPECT_EQ(tag.Year(), "2001");
  EXPECT_FALSE(tag.NeedsSave());
  // Setting what a field holds is no change.
  tag.SetTitle("Grp");
  tag.SetAlbum(" OA ");
  tag.SetTrack(0);
  EXPECT_FALSE(tag.NeedsSave());
  ASSERT_TRUE(tag.Save(file_));
  EXPECT_EQ(ReadAll(file_), old);

  ID3v2Tag empty;
  ASSERT_TRUE(empty.Save(file_));
  EXPECT_EQ(ReadAll(file_), old);

  // A file without a tag gets one of header and padding.
  WriteAll(file_, audio_);
  ASSERT_TRUE(empty.Save(file_));
  const Bytes written = ReadAll(file_);
  const WrittenTag parsed = Parse23(written);
  EXPECT_TRUE(parsed.frames.empty());
  EXPECT_EQ(parsed.total, static_cast<int64_t>(written.size() - audio_.size()));
  EXPECT_EQ(Tail(written, parsed.total), audio_);
}

TEST_F(ID3v2Write, OldTagsOfOtherVersionsAreOverwrittenInPlace) {
  const Bytes v4frames = FrameV4("TIT2", Latin1("four"));
  const Bytes footer =
      Cat({Text("3DI"), {4, 0, 0x10}, SyncSafe(static_cast<uint32_t>(v4frames.size() + 200))});
  struct Case {
    const char* what;
    Bytes old;
  };
  const Case cases[] = {
      {"2.2", Tag(2, FrameV2("TT2", Latin1("two")), 300)},
      {"2.4 with footer", Cat({Tag(4, v4frames, 200, 0x10), footer})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(file_, Cat({c.old, audio_}));
    ID3v2Tag tag;
    tag.SetTitle("three");
    ASSERT_TRUE(tag.Save(file_));
    const Bytes written = ReadAll(file_);
    EXPECT_EQ(written.size(), c.old.size() + audio_.size());
    const WrittenTag parsed = Parse23(written);
    EXPECT_EQ(parsed.total, static_cast<int64_t>(c.old.size()));
    EXPECT_EQ(parsed.frames, (std::vector<Frame>{{"TIT2", {0, 0}, Latin1("three")}}));
    EXPECT_EQ(Tail(written, parsed.total), audio_);
  }
}

TEST_F(ID3v2Write, FramesOfAn23TagAreCarriedOverByteForByte) {
  const Bytes picture =
      Cat({{0}, Text("image/png"), {0, 3}, Text("d"), {0}, {0x89, 'P', 0xFF, 0x00, 0xFF, 0xE0}});
  const std::vector<Frame> kept = {
      {"APIC", {0x80, 0}, picture},
      {"TXXX", {0, 0}, Cat({Latin1("key"), {0}, Text("value")})},
      {"PRIV", {0x20, 0x20}, Cat({{9}, Text("owner"), {0}, Bytes(300, 0xAB)})},
      {"GEOB", {0, 0x80}, Cat({BigEndian(99, 4), Bytes(20, 0x78)})},  // compressed
      {"USLT", {0, 0}, Cat({Latin1("eng"), {0}, Text("la la")})},
  };
  auto frame = [](const Frame& f) { return FrameV3(f.id, f.data, f.flags[0], f.flags[1]); };
  const Bytes frames = Cat({frame(kept[0]), FrameV3("TIT2", Latin1("Old title")), frame(kept[1]),
                            FrameV3("COMM", Cat({Latin1("eng"), {0}, Text("old")})), frame(kept[2]),
                            FrameV3("TDRC", Latin1("2001")), frame(kept[3]), frame(kept[4]),
                            FrameV3("TIT1", Latin1("grouping"))});
  for (bool unsynchronised : {false, true}) {
    SCOPED_TRACE(unsynchronised ? "whole tag unsynchronised" : "plain");
    const Bytes body = unsynchronised ? Unsynchronise(frames) : frames;
    const Bytes old =
        Cat({Header(3, unsynchronised ? 0x80 : 0, static_cast<uint32_t>(body.size() + 50)), body,
             Bytes(50, 0)});
    WriteAll(file_, Cat({old, audio_}));
    ID3v2Tag tag;
    ASSERT_TRUE(tag.Load(file_));
    tag.SetTitle("New title");
    ASSERT_TRUE(tag.Save(file_));
    const Bytes written = ReadAll(file_);
    const WrittenTag parsed = Parse23(written);
    // The new title takes the old one's place; a compressed frame that does
    // not inflate stays as it was.
    const std::vector<Frame> expected = {
        kept[0], {"TIT2", {0, 0}, Latin1("New title")}, kept[1],
        {"COMM", {0, 0}, Cat({Latin1("eng"), {0}, Text("old")})}, kept[2],
        {"TDRC", {0, 0}, Latin1("2001")}, kept[3], kept[4],
        {"TIT1", {0, 0}, Latin1("grouping")}};
    EXPECT_EQ(parsed.frames, expected);
    EXPECT_EQ(Tail(written, parsed.total), audio_);
    // Carried frames and the new ones fit into the old tag.
    EXPECT_EQ(parsed.total, static_cast<int64_t>(old.size()));
  }
}

TEST_F(ID3v2Write, FramesOfAn24TagAreCarriedOverIn23Layout) {
  const Bytes binary = {0x01, 0xFF, 0xE0, 0xFF, 0x00, 0x02};
  const Bytes longValue(200, 'v');  // sizes above 127 differ between the two readings
  const Bytes frames = Cat({
      FrameV4("TXXX", Cat({{3}, Text("k\xC3\xA9y"), {0}, longValue})),
      FrameV4("TIT2", Latin1("Old")),
      FrameV4("APIC", Cat({{3}, Text("image/png"), {0, 3}, Text("\xC3\xA9"), {0}, binary}), 0x40,
              0),
      FrameV4("PRIV", Cat({SyncSafe(10), Unsynchronise(Cat({Text("own"), {0}, binary}))}), 0, 0x03),
      FrameV4("PRIV", Cat({{0x42}, Text("grp"), {0}, binary}), 0x20, 0x40),
      FrameV4("GEOB", Cat({SyncSafe(50), Bytes(10, 0x78)}), 0, 0x09),  // compressed: dropped
      FrameV4("AENC", Cat({{1}, Bytes(10, 0x78)}), 0, 0x04),           // encrypted: dropped
      FrameV4("TDRC", Latin1("2004-05-01")),
      FrameV4("TSOP", Cat({{2}, Bytes{0, 'S', 0, 'o'}})),
      FrameV4("USLT", Cat({{3}, Text("eng"), {0}, longValue}), 0, 0, true),  // plain size
      FrameV4("TMOO", Latin1("calm")),
  });
  WriteAll(file_, Cat({Tag(4, frames, 30), audio_}));
  ID3v2Tag tag;
  ASSERT_TRUE(tag.Load(file_));
  EXPECT_EQ(tag.Year(), "2004");
  tag.SetTitle("New");
  ASSERT_TRUE(tag.Save(file_));

  const Bytes bom = {0xFF, 0xFE};
  auto utf16 = [&](std::string_view ascii) {
    Bytes out = bom;
    for (char c : ascii) out.insert(out.end(), {static_cast<uint8_t>(c), 0});
    return out;
  };
  Bytes longUtf16 = bom;
  for (size_t i = 0; i < longValue.size(); ++i) longUtf16.insert(longUtf16.end(), {'v', 0});
  // The recording time becomes TYER and TDAT where it stood; the compressed
  // frame that does not inflate and the encrypted one are dropped.
  const std::vector<Frame> expected = {
      {"TXXX", {0, 0}, Cat({{1}, bom, {'k', 0, 0xE9, 0, 'y', 0}, {0, 0}, longUtf16})},
      {"TIT2", {0, 0}, Latin1("New")},
      {"APIC", {0x80, 0}, Cat({{1}, Text("image/png"), {0, 3}, bom, {0xE9, 0}, {0, 0}, binary})},
      {"PRIV", {0, 0}, Cat({Text("own"), {0}, binary})},
      {"PRIV", {0x40, 0x20}, Cat({{0x42}, Text("grp"), {0}, binary})},
      {"TYER", {0, 0}, Latin1("2004")},
      {"TDAT", {0, 0}, Latin1("0105")},
      {"TSOP", {0, 0}, Cat({{1}, {0xFE, 0xFF}, {0, 'S', 0, 'o'}})},
      {"USLT", {0, 0}, Cat({{1}, Text("eng"), utf16(""), {0, 0}, longUtf16})},
      {"TMOO", {0, 0}, Latin1("calm")},
  };
  EXPECT_EQ(tag.DroppedFrames(), 2);
  const Bytes written = ReadAll(file_);
  const WrittenTag parsed = Parse23(written);
  EXPECT_EQ(parsed.frames, expected);
  EXPECT_EQ(Tail(written, parsed.total), audio_);

  ID3v2Tag again;
  ASSERT_TRUE(again.Load(file_));
  EXPECT_EQ(again.Title(), "New");
  EXPECT_EQ(again.Year(), "2004");
}

// A 2.2 tag becomes a 2.3 tag with every frame 2.3 has a counterpart for:
// the picture with a MIME type, the rest under their 2.3 ids as they were.
TEST_F(ID3v2Write, FramesOfAn22TagAreConverted) {
  const Bytes jpeg = Cat({{0xFF, 0xD8, 0xFF, 0xE0}, Bytes(5000, 0x5A)});
  const Bytes comment = Cat({Latin1("fra"), Text("MusicMatch_Bio"), {0}, Text("long text")});
  WriteAll(file_, Cat({Tag(2,
                           Cat({FrameV2("TT2", Latin1("t")), FrameV2("TXX", Latin1("x\0y")),
                                FrameV2("PIC", Cat({{0}, Text("JPG"), {3}, Text("cover"), {0}, jpeg})),
                                FrameV2("TT1", Latin1("g")), FrameV2("TOT", Latin1("oa")),
                                FrameV2("CRM", Cat({Text("o"), {0}, Bytes(8, 1)})),
                                FrameV2("COM", comment),
                                FrameV2("WXX", Cat({Latin1("shop"), {0}, Text("http://b")}))}),
                           100),
                       audio_}));
  ID3v2Tag tag;
  ASSERT_TRUE(tag.Load(file_));
  EXPECT_EQ(tag.Title(), "t");
  tag.SetArtist("a");
  ASSERT_TRUE(tag.Save(file_));
  const std::vector<Frame> expected = {
      {"TPE1", {0, 0}, Latin1("a")},
      {"TIT2", {0, 0}, Latin1("t")},
      {"TXXX", {0, 0}, Latin1("x\0y")},
      {"APIC", {0, 0}, Cat({{0}, Text("image/jpeg"), {0, 3}, Text("cover"), {0}, jpeg})},
      {"TIT1", {0, 0}, Latin1("g")},
      {"TOAL", {0, 0}, Latin1("oa")},
      {"COMM", {0, 0}, comment},
      {"WXXX", {0, 0}, Cat({Latin1("shop"), {0}, Text("http://b")})},
  };
  const Bytes written = ReadAll(file_);
  const WrittenTag parsed = Parse23(written);
  EXPECT_EQ(parsed.frames, expected);
  EXPECT_EQ(tag.DroppedFrames(), 1);  // the encrypted meta frame
  EXPECT_EQ(Tail(written, parsed.total), audio_);

  ID3v2Tag again;
  ASSERT_TRUE(again.Load(file_));
  EXPECT_EQ(again.Title(), "t");
  EXPECT_EQ(again.Artist(), "a");
  EXPECT_EQ(again.Comment(), "long text");
}

// Frames with slot ids that the fields do not cover survive a save: TIT1 and
// TOAL, and the COMM and WXXX frames other than the one read into the field,
// which the written frame replaces.
TEST_F(ID3v2Write, SlotFramesTheFieldsDoNotCoverAreKept) {
  const Frame itunNorm = {"COMM", {0, 0}, Cat({Latin1("eng"), Text("iTunNORM"), {0}, Text(" 0A")})};
  const Frame german = {"COMM", {0, 0}, Cat({Latin1("deu"), {0}, Text("Hallo")})};
  const Frame unknownEncoding = {"COMM", {0, 0}, Cat({{7}, Text("eng"), {0}, Text("?")})};
  const Frame compressed = {"COMM", {0, 0x80}, Cat({BigEndian(9, 4), Bytes(12, 0x78)})};
  const Frame grouping = {"TIT1", {0, 0}, Latin1("Grp")};
  const Frame shop = {"WXXX", {0x40, 0}, Cat({Latin1("shop"), {0}, Text("http://b")})};
  const Frame origAlbum = {"TOAL", {0, 0}, Latin1("OA")};
  auto frame = [](const Frame& f) { return FrameV3(f.id, f.data, f.flags[0], f.flags[1]); };
  const Bytes frames = Cat({
      frame(itunNorm), FrameV3("TIT2", Latin1("Old")), frame(grouping), frame(shop),
      FrameV3("COMM", Cat({Latin1("eng"), {0}, Text("Nice")})),  // read into Comment
      frame(german), frame(unknownEncoding), FrameV3("WXXX", Cat({{0, 0}, Text("http://a")})),
      FrameV3("TDRC", Latin1("2004")), frame(origAlbum), frame(compressed),
      FrameV3("TALB", Latin1("Album")),
  });
  WriteAll(file_, Cat({Tag(3, frames, 40), audio_}));
  ID3v2Tag tag;
  ASSERT_TRUE(tag.Load(file_));
  EXPECT_EQ(tag.Comment(), "Nice");
  EXPECT_EQ(tag.URL(), "http://a");
  tag.SetTitle("New");
  ASSERT_TRUE(tag.Save(file_));

  const std::vector<Frame> expected = {
      itunNorm, {"TIT2", {0, 0}, Latin1("New")}, grouping, shop,
      {"COMM", {0, 0}, Cat({Latin1("eng"), {0}, Text("Nice")})},
      german, unknownEncoding,
      {"WXXX", {0, 0}, Cat({{0, 0}, Text("http://a")})},
      {"TDRC", {0, 0}, Latin1("2004")}, origAlbum, compressed,
      {"TALB", {0, 0}, Latin1("Album")},
  };
  Bytes written = ReadAll(file_);
  WrittenTag parsed = Parse23(written);
  EXPECT_EQ(parsed.frames, expected);
  EXPECT_EQ(parsed.total, static_cast<int64_t>(10 + frames.size() + 40));  // in place
  EXPECT_EQ(Tail(written, parsed.total), audio_);

  // The written frames are the ones read back, so saving again changes nothing.
  ID3v2Tag again;
  ASSERT_TRUE(again.Load(file_));
  EXPECT_EQ(again.Comment(), "Nice");
  EXPECT_EQ(again.URL(), "http://a");
  ASSERT_TRUE(again.Save(file_));
  EXPECT_EQ(ReadAll(file_), written);

  // A cleared comment drops only the frame it was read from.
  again.SetComment("");
  ASSERT_TRUE(again.Save(file_));
  parsed = Parse23(ReadAll(file_));
  EXPECT_EQ(std::count_if(parsed.frames.begin(), parsed.frames.end(),
                          [](const Frame& f) { return f.id == "COMM"; }),
            4);
  EXPECT_EQ(std::find(parsed.frames.begin(), parsed.frames.end(), expected[4]),
            parsed.frames.end());
}

// Of several COMM or WXXX frames, the field takes the first without a
// description, else the last one; frames the field cannot take do not count.
// The writer replaces exactly that frame.
TEST_F(ID3v2Write, TheFrameReadIntoTheCommentIsTheOneReplaced) {
  const Bytes described = FrameV3("COMM", Cat({Latin1("eng"), Text("d"), {0}, Text("described")}));
  const Bytes plain = FrameV3("COMM", Cat({Latin1("eng"), {0}, Text("plain")}));
  const Bytes plain16 =
      FrameV3("COMM", Cat({{1}, Text("eng"), {0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 'u', 0}}));
  const Bytes later = FrameV3("COMM", Cat({Latin1("eng"), Text("x"), {0}, Text("later")}));
  const Bytes bad = FrameV3("COMM", Cat({{9}, Text("eng"), {0}, Text("bad")}));
  struct Case {
    const char* what;
    Bytes frames;
    std::string comment;
    Bytes replaced;  // the old frame the written one stands for
  };
  const Case cases[] = {
      {"one described", described, "described", described},
      {"described, then plain", Cat({described, plain}), "plain", plain},
      {"plain, then described", Cat({plain, described}), "plain", plain},
      {"UTF-16 with an empty description", Cat({described, plain16, plain}), "u", plain16},
      {"all described: the last", Cat({described, later}), "later", later},
      {"unknown encoding last", Cat({described, bad}), "described", described},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(file_, Cat({Tag(3, c.frames, 20), audio_}));
    ID3v2Tag tag;
    ASSERT_TRUE(tag.Load(file_));
    EXPECT_EQ(tag.Comment(), c.comment);
    tag.SetComment("new");
    ASSERT_TRUE(tag.Save(file_));
    // The replaced frame's place, language and description stay; the rest of
    // the old tag is as it was.
    Bytes replacement = c.replaced;
    const auto oldData = ByteView(replacement).subspan(10);
    const Bytes description = oldData[0] == 1 ? Bytes{} : Bytes(oldData.begin() + 4,
        std::find(oldData.begin() + 4, oldData.end(), uint8_t{0}));
    Bytes expected = c.frames;
    const auto at = std::search(expected.begin(), expected.end(), c.replaced.begin(),
                                c.replaced.end());
    ASSERT_NE(at, expected.end());
    const Bytes written =
        FrameV3("COMM", Cat({Latin1("eng"), description, {0}, Text("new")}));
    const auto offset = at - expected.begin();
    expected.erase(at, at + static_cast<ptrdiff_t>(c.replaced.size()));
    expected.insert(expected.begin() + offset, written.begin(), written.end());
    const Bytes file = ReadAll(file_);
    EXPECT_EQ(Bytes(file.begin() + 10, file.begin() + 10 + static_cast<ptrdiff_t>(expected.size())),
              expected);
  }
}

TEST_F(ID3v2Write, StripRemovesTheWholeTag) {
  WriteAll(file_, audio_);
  ID3v2Tag tag;
  tag.SetTitle("t");
  EXPECT_FALSE(tag.Strip(file_));
  EXPECT_TRUE(tag.Present());
  EXPECT_EQ(ReadAll(file_), audio_);

  const Bytes footer = Cat({Text("3DI"), {4, 0, 0x10}, SyncSafe(100)});
  WriteAll(file_, Cat({Tag(4, FrameV4("TIT2", Latin1("x")), 100 - 11, 0x10), footer, audio_}));
  ASSERT_TRUE(tag.Strip(file_));
  EXPECT_FALSE(tag.Present());
  EXPECT_EQ(ReadAll(file_), audio_);
  EXPECT_EQ(dir_.Names(), std::vector<std::string>{"song.mp3"});
}

TEST_F(ID3v2Write, ReadOnlyFilesAreWrittenAndKeepTheMark) {
  for (bool withTag : {true, false}) {
    WriteAll(file_, Cat({withTag ? Tag(3, {}, 500) : Bytes{}, audio_}));
    ASSERT_TRUE(sys::SetAttributes(file_, sys::kAttrReadOnly));
    ID3v2Tag tag;
    tag.SetTitle("t");
    ASSERT_TRUE(tag.Save(file_)) << withTag;
    uint32_t attributes = 0;
    ASSERT_TRUE(sys::GetAttributes(file_, &attributes));
    EXPECT_EQ(attributes & sys::kAttrReadOnly, uint32_t{sys::kAttrReadOnly});
    ASSERT_TRUE(sys::SetAttributes(file_, 0));
    EXPECT_EQ(Parse23(ReadAll(file_)).frames.size(), 1u);
  }
}

// A file left under the temporary name by an earlier interruption may be the
// only copy of something: it is never overwritten or removed.
TEST_F(ID3v2Write, TakenTemporaryNamesAreLeftAlone) {
  const Bytes leftover = Text("earlier copy");
  WriteAll(file_ + "~", leftover);
  WriteAll(file_ + "~1", leftover);
  WriteAll(file_, audio_);
  ID3v2Tag tag;
  tag.SetTitle("t");
  ASSERT_TRUE(tag.Save(file_));
  ASSERT_TRUE(tag.Strip(file_));
  EXPECT_EQ(ReadAll(file_), audio_);
  EXPECT_EQ(ReadAll(file_ + "~"), leftover);
  EXPECT_EQ(ReadAll(file_ + "~1"), leftover);
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"song.mp3", "song.mp3~", "song.mp3~1"}));
}

TEST_F(ID3v2Write, FilesThatCannotBeReadAreNotWritten) {
  ID3v2Tag tag;
  tag.SetTitle("t");
  EXPECT_FALSE(tag.Save(dir_.File("missing.mp3")));
  WriteAll(file_, Text("ID3\3"));  // shorter than a header
  EXPECT_FALSE(tag.Save(file_));
  EXPECT_EQ(ReadAll(file_), Text("ID3\3"));
  EXPECT_EQ(dir_.Names(), std::vector<std::string>{"song.mp3"});
}

// Whichever file operation fails first, the file holds its old bytes or its
// new ones, and a file under the first temporary name keeps its content.
TEST_F(ID3v2Write, FailedWritesLeaveOldOrNewContent) {
  const Bytes leftover = Text("earlier copy");
  const Bytes carried =
      FrameV3("APIC", Cat({{0}, Text("image/png"), {0, 3, 0}, Bytes(5000, 0xEE)}));
  struct Case {
    const char* what;
    Bytes before;
    bool strip;
  };
  const Case cases[] = {
      {"in place", Cat({Tag(3, FrameV3("TIT2", Latin1("old")), 1000), audio_}), false},
      {"new tag", audio_, false},
      {"rebuilt with a carried frame", Cat({Tag(3, carried, 10), audio_}), false},
      {"strip", Cat({Tag(3, FrameV3("TIT2", Latin1("old")), 1000), audio_}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ID3v2Tag tag;
    tag.SetTitle("new title");
    auto operation = [&] { return c.strip ? tag.Strip(file_) : tag.Save(file_); };
    WriteAll(file_ + "~", leftover);
    WriteAll(file_, c.before);
    ASSERT_TRUE(operation());
    const Bytes after = ReadAll(file_);
    ASSERT_NE(after, c.before);

    bool succeeded = false;
    for (int n = 1; n < 200 && !succeeded; ++n) {
      SCOPED_TRACE(testing::Message() << "failing from operation " << n);
      WriteAll(file_, c.before);
      sys::FailFileOperationsFrom(n);
      succeeded = operation();
      sys::FailFileOperationsFrom(0);
      const Bytes now = ReadAll(file_);
      EXPECT_TRUE(now == c.before || now == after);
      if (succeeded) {
        EXPECT_EQ(now, after);
      }
      EXPECT_EQ(ReadAll(file_ + "~"), leftover);
      // Temporary files a failure could not remove are cleared for the next round.
      for (const std::string& name : dir_.Names())
        if (name != "song.mp3" && name != "song.mp3~") std::filesystem::remove(dir_.File(name));
    }
    EXPECT_TRUE(succeeded);
  }
}

TEST_F(ID3v2Write, InPlaceWriteBeyondFourGibibytes) {
  const int64_t size = (int64_t{1} << 32) + 5000;
  const Bytes old = Tag(3, FrameV3("TIT2", Latin1("old")), 1000);
  {
    sys::File f;
    ASSERT_TRUE(f.Open(file_, sys::OpenMode::CreateNew));
    ASSERT_TRUE(f.Write(old.data(), old.size()));
    const uint8_t last = 0x55;
    if (!f.Seek(size - 1) || !f.Write(&last, 1)) {
      GTEST_SKIP() << "no room for a sparse file";
    }
  }
  ID3v2Tag tag;
  ASSERT_TRUE(tag.Load(file_));
  EXPECT_EQ(tag.TagSize(), static_cast<int64_t>(old.size()));
  tag.SetTitle("new");
  ASSERT_TRUE(tag.Save(file_));
  EXPECT_EQ(std::filesystem::file_size(file_), static_cast<uintmax_t>(size));
  ASSERT_TRUE(tag.Load(file_));
  EXPECT_EQ(tag.Title(), "new");
  EXPECT_EQ(tag.TagSize(), static_cast<int64_t>(old.size()));
}

}  // namespace
}  // namespace tags

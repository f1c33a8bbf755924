#include "tags/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "tag_test_support.h"

namespace tags {
namespace {

using namespace tagtest;

// The input compressed by zlib itself, at `level` (0: stored blocks only).
Bytes Compressed(const Bytes& input, int level = Z_DEFAULT_COMPRESSION) {
  uLongf size = compressBound(static_cast<uLong>(input.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, input.data(), static_cast<uLong>(input.size()), level),
            Z_OK);
  out.resize(size);
  return out;
}

Bytes Prefix(const Bytes& bytes, size_t size) { return Bytes(bytes.begin(), bytes.begin() + size); }

// Text that compresses well, with no period short enough to be one match.
Bytes Sample(size_t size) {
  Bytes out;
  for (size_t i = 0; out.size() < size; ++i) {
    const std::string line = "line " + std::to_string(i * 7919 % 10007) + " of the sample\n";
    out.insert(out.end(), line.begin(), line.end());
  }
  out.resize(size);
  return out;
}

TEST(Inflate, GivesBackWhatZlibCompressed) {
  for (const size_t size : {size_t{0}, size_t{1}, size_t{300}, size_t{70000}}) {
    SCOPED_TRACE(size);
    const Bytes original = Sample(size);
    for (const int level : {0, 1, 9}) {
      bool cut = true;
      const auto out = Inflate(Compressed(original, level), 1 << 20, &cut);
      ASSERT_TRUE(out);
      EXPECT_EQ(*out, original);
      EXPECT_FALSE(cut);
    }
  }
}

TEST(Inflate, AStreamOfExactlyTheLimitIsNotCut) {
  const Bytes original = Sample(5000);
  bool cut = true;
  const auto out = Inflate(Compressed(original), original.size(), &cut);
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, original);
  EXPECT_FALSE(cut);
}

TEST(Inflate, LongerStreamsAreCutAtTheLimit) {
  const Bytes original = Sample(20000);
  const Bytes stream = Compressed(original);
  for (const size_t limit : {size_t{0}, size_t{1}, size_t{100}, size_t{8192}, size_t{8193},
                             original.size() - 1}) {
    SCOPED_TRACE(limit);
    bool cut = false;
    const auto out = Inflate(stream, limit, &cut);
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, Prefix(original, limit));
    EXPECT_TRUE(cut);
  }
  // Without a flag to set, the cut output is the same.
  EXPECT_EQ(Inflate(stream, 10), Prefix(original, 10));
}

TEST(Inflate, ABombTakesNoMoreThanTheLimit) {
  // 32 MiB of zeros in about 32 KiB.
  const Bytes bomb = Compressed(Bytes(32u << 20, 0), 9);
  ASSERT_LT(bomb.size(), 64u << 10);
  bool cut = false;
  const auto out = Inflate(bomb, 1000, &cut);
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, Bytes(1000, 0));
  EXPECT_LE(out->capacity(), 1000u);
  EXPECT_TRUE(cut);
}

TEST(Inflate, NothingFromEmptyInput) {
  bool cut = true;
  EXPECT_FALSE(Inflate({}, 0, &cut));
  EXPECT_FALSE(cut);
  EXPECT_FALSE(Inflate({}, 100));
}

TEST(Inflate, NothingFromADamagedStream) {
  const Bytes original = Sample(3000);
  const Bytes stream = Compressed(original);

  Bytes badCheck = stream;  // the zlib header's check bits
  badCheck[1] ^= 0x01;
  Bytes badMethod = stream;  // compression method 7 instead of 8 (deflate)
  badMethod[0] = static_cast<uint8_t>((badMethod[0] & 0xF0) | 0x07);
  Bytes presetDictionary = {0x78, 0xBB, 0, 0, 0, 1};  // FDICT set, header check holds
  Bytes reservedBlock = stream;  // block type 3, which deflate reserves
  reservedBlock[2] |= 0x06;
  Bytes badSum = stream;  // the Adler-32 of the whole output
  badSum.back() ^= 0xFF;

  // `early`: the damage comes before the first byte of output, so asking for
  // none finds it too.
  const struct {
    const char* name;
    Bytes input;
    bool early;
  } cases[] = {
      {"header check", badCheck, true},
      {"method", badMethod, true},
      {"preset dictionary", presetDictionary, true},
      {"reserved block type", reservedBlock, true},
      {"not zlib at all", Text("ID3 tag text"), true},
      {"checksum", badSum, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(Inflate(c.input, 1 << 20));
    EXPECT_FALSE(Inflate(c.input, original.size()));
    if (c.early) {
      EXPECT_FALSE(Inflate(c.input, 0));
    }
  }
  // A wrong checksum lies past the first bytes: asked for those, it is not seen.
  bool cut = false;
  EXPECT_EQ(Inflate(badSum, 100, &cut), Prefix(original, 100));
  EXPECT_TRUE(cut);
}

TEST(Inflate, TruncatedInput) {
  // Stored blocks: 2 bytes of zlib header, 5 of block header, the bytes as
  // they are, 4 of Adler-32; so every input length maps to a known output.
  const Bytes original = Sample(1000);
  const Bytes stream = Compressed(original, 0);
  ASSERT_EQ(stream.size(), 2 + 5 + original.size() + 4);
  const Bytes upTo300 = Prefix(stream, 2 + 5 + 300);

  // Short of the limit: nothing.
  EXPECT_FALSE(Inflate(upTo300, 301));
  EXPECT_FALSE(Inflate(upTo300, 1 << 20));
  EXPECT_FALSE(Inflate(Prefix(stream, stream.size() - 1), 1 << 20));
  EXPECT_FALSE(Inflate(Prefix(stream, 2), 1 << 20));
  EXPECT_FALSE(Inflate(Prefix(stream, 1), 1 << 20));

  // At or past the limit: the limit's worth, cut.
  for (const size_t limit : {size_t{0}, size_t{299}, size_t{300}}) {
    SCOPED_TRACE(limit);
    bool cut = false;
    EXPECT_EQ(Inflate(upTo300, limit, &cut), Prefix(original, limit));
    EXPECT_TRUE(cut);
  }
  // Every byte is there but the stream's end is not: it may have gone on.
  bool cut = false;
  EXPECT_EQ(Inflate(Prefix(stream, stream.size() - 4), original.size(), &cut), original);
  EXPECT_TRUE(cut);
}

TEST(Inflate, BytesAfterTheStreamAreIgnored) {
  const Bytes original = Sample(500);
  bool cut = true;
  EXPECT_EQ(Inflate(Cat({Compressed(original), Bytes(64, 0), Text("junk")}), 1 << 20, &cut),
            original);
  EXPECT_FALSE(cut);
}

}  // namespace
}  // namespace tags

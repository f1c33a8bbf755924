#include "tags/buffered_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sys/sys.h"
#include "tag_test_support.h"

namespace tags {
namespace {

using namespace tagtest;

constexpr size_t kAhead = BufferedFile::kReadAhead;

class BufferedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    content_ = Audio(3 * kAhead + 100);
    WriteAll(path_, content_);
    ASSERT_TRUE(file_.Open(path_, sys::OpenMode::Read));
  }
  Bytes Expected(int64_t at, size_t count) const {
    if (at >= static_cast<int64_t>(content_.size())) return {};
    const auto begin = content_.begin() + at;
    return Bytes(begin, begin + static_cast<ptrdiff_t>(
                                    std::min(count, content_.size() - static_cast<size_t>(at))));
  }
  int64_t Size() const { return static_cast<int64_t>(content_.size()); }

  ScratchDir dir_;
  std::string path_ = dir_.File("b.bin");
  Bytes content_;
  sys::File file_;
  std::vector<uint8_t> storage_;
};

// A sequence of requests as the analysis makes them, with the file operations
// each may cost: the bytes are always the file's, and a request the buffer
// holds costs nothing.
TEST_F(BufferedFileTest, ViewsGiveTheFileBytesAndReadOnlyOnAMiss) {
  BufferedFile buffered(file_, Size(), storage_);
  struct Step {
    int64_t at;
    size_t count;
    int reads;
  };
  const Step steps[] = {
      {0, 10, 1},                   // the first read brings kAhead bytes
      {10, 500, 0},                 // inside them
      {kAhead - 4, 4, 0},           // their last bytes
      {kAhead - 4, 8, 1},           // across their end: read again from there
      {kAhead + 2, 2 * kAhead, 1},  // longer than a read-ahead: read whole
      {100, 10, 1},                 // back before the buffer
      {Size() - 3, 10, 1},          // at the end of the file: fewer bytes
      {Size() - 2, 2, 0},           //
      {Size(), 10, 0},              // nothing to read
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.at);
    sys::FailFileOperationsFrom(1000);  // only counting
    ByteView view;
    ASSERT_TRUE(buffered.View(s.at, s.count, &view));
    EXPECT_EQ(sys::FileOperationCount(), s.reads);
    sys::FailFileOperationsFrom(0);
    EXPECT_EQ(Bytes(view.begin(), view.end()), Expected(s.at, s.count));
  }
}

TEST_F(BufferedFileTest, CopyOutLeavesTheBufferAndLimitStopsReadingAhead) {
  BufferedFile buffered(file_, Size(), storage_);
  ByteView view;
  ASSERT_TRUE(buffered.View(0, 10, &view));
  // Not held: read straight into the caller's memory, the buffer stays.
  Bytes out(300);
  size_t got = 0;
  ASSERT_TRUE(buffered.CopyOut(2 * kAhead, out.data(), out.size(), &got));
  EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<ptrdiff_t>(got)),
            Expected(2 * kAhead, 300));
  EXPECT_TRUE(buffered.Held(0, kAhead).has_value());
  EXPECT_FALSE(buffered.Held(2 * kAhead, 300).has_value());
  // Held: copied without a file operation.
  sys::FailFileOperationsFrom(1);
  ASSERT_TRUE(buffered.CopyOut(kAhead - 100, out.data(), 100, &got));
  sys::FailFileOperationsFrom(0);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 100), Expected(kAhead - 100, 100));

  buffered.LimitReadAhead(kAhead + 50);
  ASSERT_TRUE(buffered.View(kAhead, 10, &view));
  EXPECT_TRUE(buffered.Held(kAhead, 50).has_value());
  EXPECT_FALSE(buffered.Held(kAhead, 51).has_value());
  // A request past the limit is still read whole.
  ASSERT_TRUE(buffered.View(kAhead + 40, 100, &view));
  EXPECT_EQ(Bytes(view.begin(), view.end()), Expected(kAhead + 40, 100));
}

TEST_F(BufferedFileTest, ReadErrorsAndAFileShorterThanItsSize) {
  {
    BufferedFile buffered(file_, Size(), storage_);
    sys::FailFileOperationsFrom(1);
    ByteView view;
    EXPECT_FALSE(buffered.View(0, 10, &view));
    size_t got = 0;
    uint8_t byte = 0;
    EXPECT_FALSE(buffered.CopyOut(5, &byte, 1, &got));
    sys::FailFileOperationsFrom(0);
    // A failed read leaves nothing behind that looks like content.
    EXPECT_FALSE(buffered.Held(0, 1).has_value());
    ASSERT_TRUE(buffered.View(0, 10, &view));
    EXPECT_EQ(Bytes(view.begin(), view.end()), Expected(0, 10));
  }
  // The file lost its end after its size was taken.
  BufferedFile buffered(file_, Size() + 1000, storage_);
  ByteView view;
  EXPECT_FALSE(buffered.View(Size() - 10, 20, &view));
  EXPECT_TRUE(buffered.View(Size() - 10, 10, &view));
}

}  // namespace
}  // namespace tags

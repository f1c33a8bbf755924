#include "tags/id3v1.h"

#include <algorithm>
#include <cstring>

#include "sys/sys.h"
#include "tags/buffered_file.h"
#include "tags/codepage.h"
#include "tags/genres.h"
#include "tags/utf8.h"
#include "tags/write_access.h"

namespace tags {

namespace {

constexpr size_t kTextCapacity = 30;
constexpr size_t kYearCapacity = 4;
// Setters take texts of at most this length, as the dialogs' fields are.
constexpr size_t kSetterInputLimit = 255;

// Offsets within the block (ID3v1 / ID3v1.1 layout).
constexpr size_t kTitleAt = 3, kArtistAt = 33, kAlbumAt = 63, kYearAt = 93, kCommentAt = 97;
constexpr size_t kZeroAt = 125, kTrackAt = 126, kGenreAt = 127;

std::string_view TrimTrailing(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  return text;
}

// The field's bytes in the tag code page, as UTF-8. Assigned, not returned: a
// field keeps its memory from one file to the next.
void FieldFromBlock(const ID3v1Tag::Block& block, size_t at, size_t size, std::string* field) {
  std::string_view raw(reinterpret_cast<const char*>(block.data() + at), size);
  BytesToUtf8(TrimTrailing(raw), TagCodePage, field);
}

// The field's text in the tag code page (the setters made it fit).
void PutField(ID3v1Tag::Block& block, size_t at, const std::string& text, size_t capacity) {
  std::string bytes;
  Utf8ToBytes(text, TagCodePage, &bytes);
  std::fill_n(block.data() + at, capacity, uint8_t{0});
  std::memcpy(block.data() + at, bytes.data(), std::min(bytes.size(), capacity));
}

// Reads the last 128 bytes; `*found` is false for a file shorter than that.
bool ReadLastBlock(sys::File& file, int64_t fileSize, ID3v1Tag::Block* block, bool* found) {
  *found = false;
  if (fileSize < static_cast<int64_t>(ID3v1Tag::kBlockSize)) return true;
  size_t got = 0;
  if (!file.ReadAt(fileSize - static_cast<int64_t>(ID3v1Tag::kBlockSize), block->data(),
                   block->size(), &got))
    return false;
  if (got != block->size()) {
    sys::SetLastError(sys::kErrorHandleEof);
    return false;
  }
  *found = true;
  return true;
}

bool IsTagBlock(const ID3v1Tag::Block& block) {
  return block[0] == 'T' && block[1] == 'A' && block[2] == 'G';
}

// Opens the file for reading and tells whether it ends in a tag.
bool ProbeFile(const std::string& fileName, bool* hasTag, int64_t* fileSize) {
  sys::File file;
  if (!file.Open(fileName, sys::OpenMode::Read) || !file.Size(fileSize)) return false;
  ID3v1Tag::Block block{};
  bool found = false;
  if (!ReadLastBlock(file, *fileSize, &block, &found)) return false;
  *hasTag = found && IsTagBlock(block);
  return true;
}

}  // namespace

void ID3v1Tag::Clear() {
  present_ = false;
  found_ = false;
  block_ = Block{};
  changed_ = 0;
  version_ = 1;
  title_.clear();
  artist_.clear();
  album_.clear();
  year_.clear();
  comment_.clear();
  track_ = 0;
  genre_ = 255;
}

void ID3v1Tag::Parse(const Block& block) {
  Clear();
  if (!IsTagBlock(block)) return;
  present_ = true;
  found_ = true;
  block_ = block;
  // ID3v1.1 marks the track byte with a zero before it; some writers pad
  // with spaces instead, so a space followed by a non-space counts too.
  const bool v11 = (block[kZeroAt] == 0 && block[kTrackAt] != 0) ||
                   (block[kZeroAt] == 0x20 && block[kTrackAt] != 0x20);
  version_ = v11 ? 2 : 1;
  FieldFromBlock(block, kTitleAt, kTextCapacity, &title_);
  FieldFromBlock(block, kArtistAt, kTextCapacity, &artist_);
  FieldFromBlock(block, kAlbumAt, kTextCapacity, &album_);
  FieldFromBlock(block, kYearAt, kYearCapacity, &year_);
  if (v11) {
    FieldFromBlock(block, kCommentAt, kTextCapacity - 2, &comment_);
    track_ = block[kTrackAt];
  } else {
    FieldFromBlock(block, kCommentAt, kTextCapacity, &comment_);
  }
  genre_ = block[kGenreAt];
}

ID3v1Tag::Block ID3v1Tag::Render() const {
  Block block = block_;
  if (!found_) {
    block = Block{};
    block[0] = 'T';
    block[1] = 'A';
    block[2] = 'G';
  }
  // A new tag is written whole; of a loaded one only what changed.
  const uint32_t changed = found_ ? changed_ : ~0u;
  if (changed & kTitleChanged) PutField(block, kTitleAt, title_, kTextCapacity);
  if (changed & kArtistChanged) PutField(block, kArtistAt, artist_, kTextCapacity);
  if (changed & kAlbumChanged) PutField(block, kAlbumAt, album_, kTextCapacity);
  if (changed & kYearChanged) PutField(block, kYearAt, year_, kYearCapacity);
  if (changed & kCommentChanged) PutField(block, kCommentAt, comment_, kTextCapacity);
  // A track number takes the last two bytes of the comment (ID3v1.1).
  if (track_ != 0 && (changed & (kTrackChanged | kCommentChanged))) {
    block[kZeroAt] = 0;
    block[kTrackAt] = track_;
  } else if (track_ == 0 && (changed & kTrackChanged) && version_ == 2) {
    block[kZeroAt] = 0;
    block[kTrackAt] = 0;
  }
  // Without a track, a 30-byte comment whose 29th byte is a space and whose
  // 30th is not would read back as a track number after a space-padded 28-byte
  // comment: such a comment keeps its first 28 bytes, the rest becomes zero.
  if (track_ == 0 && (changed & kCommentChanged) && block[kZeroAt] == ' ' &&
      block[kTrackAt] != ' ' && block[kTrackAt] != 0) {
    block[kZeroAt] = 0;
    block[kTrackAt] = 0;
  }
  if (changed & kGenreChanged) block[kGenreAt] = genre_;
  return block;
}

bool ID3v1Tag::LoadFrom(sys::File& file, int64_t fileSize) {
  Clear();
  Block block{};
  bool found = false;
  if (!ReadLastBlock(file, fileSize, &block, &found)) return false;
  if (found) Parse(block);
  return true;
}

bool ID3v1Tag::LoadFrom(BufferedFile& file) {
  Clear();
  if (file.Size() < static_cast<int64_t>(kBlockSize)) return true;
  Block block{};
  size_t got = 0;
  if (!file.CopyOut(file.Size() - static_cast<int64_t>(kBlockSize), block.data(), block.size(),
                    &got))
    return false;
  if (got != block.size()) {
    sys::SetLastError(sys::kErrorHandleEof);
    return false;
  }
  Parse(block);
  return true;
}

bool ID3v1Tag::Load(const std::string& fileName) {
  Clear();
  sys::File file;
  int64_t size = 0;
  if (!file.Open(fileName, sys::OpenMode::Read) || !file.Size(&size)) return false;
  return LoadFrom(file, size);
}

bool ID3v1Tag::Strip(const std::string& fileName) {
  notes_.Clear();
  bool hasTag = false;
  int64_t size = 0;
  if (!ProbeFile(fileName, &hasTag, &size)) return false;
  if (hasTag) {
    // The attributes go back on every way out, after the file was closed.
    WriteAccess access(fileName);
    sys::File file;
    if (!file.Open(fileName, sys::OpenMode::ReadWrite)) return false;
    access.Written();
    // One truncation: the file either still has its tag or has lost exactly it.
    if (!file.Seek(size - static_cast<int64_t>(kBlockSize)) || !file.Truncate()) return false;
    sys::NoteWritten(fileName);  // reaches the disk when the walk ends
    if (!file.Close() || !access.Restore()) notes_.unfinished = sys::LastError();
  }
  present_ = false;
  return true;
}

bool ID3v1Tag::WriteBlock(sys::File& file, const std::string& fileName, int64_t size,
                          WriteAccess& access) {
  Block old{};
  bool found = false;
  if (!ReadLastBlock(file, size, &old, &found)) return false;
  const bool hasTag = found && IsTagBlock(old);
  // An old tag is overwritten in place by one write, so a failure leaves
  // either the old block or the new one; a new block is appended.
  const int64_t at = hasTag ? size - static_cast<int64_t>(kBlockSize) : size;
  if (!file.Seek(at)) return false;
  const Block block = Render();
  access.Written();
  if (!file.Write(block.data(), block.size())) {
    // A partial append is cut off again, so the audio keeps its old end; the
    // failure reported stays the write's.
    const sys::KeepLastError keep;
    if (!hasTag && file.Seek(size)) file.Truncate();
    return false;
  }
  // The block is in the file, and reaches the disk when the walk ends.
  sys::NoteWritten(fileName);
  return true;
}

bool ID3v1Tag::Save(const std::string& fileName) {
  notes_.Clear();
  // The attributes go back on every way out, after the file was closed. One
  // handle reads whether the file ends in a tag and writes the block.
  WriteAccess access(fileName);
  sys::File file;
  int64_t size = 0;
  if (!file.Open(fileName, sys::OpenMode::ReadWrite, &size) ||
      !WriteBlock(file, fileName, size, access))
    return false;
  // What fails after this is said, not a lost save.
  if (!file.Close() || !access.Restore()) notes_.unfinished = sys::LastError();
  return true;
}

void ID3v1Tag::SetCapped(std::string& field, std::string_view text, size_t capacity,
                         uint32_t bit) {
  text = text.substr(0, PrefixBytes(text, kSetterInputLimit));
  // What the field holds is what the block will: the text in the tag code
  // page, cut to the field's bytes, read back.
  std::string bytes;
  Utf8ToBytes(TrimTrailing(text), TagCodePage, &bytes);
  bytes.resize(std::min(bytes.size(), capacity));
  const std::string value = BytesToUtf8(bytes, TagCodePage);
  if (value != field) changed_ |= bit;
  field = value;
  present_ = present_ || !field.empty();
}

void ID3v1Tag::SetTitle(std::string_view text) {
  SetCapped(title_, text, kTextCapacity, kTitleChanged);
}
void ID3v1Tag::SetArtist(std::string_view text) {
  SetCapped(artist_, text, kTextCapacity, kArtistChanged);
}
void ID3v1Tag::SetAlbum(std::string_view text) {
  SetCapped(album_, text, kTextCapacity, kAlbumChanged);
}
void ID3v1Tag::SetYear(std::string_view text) {
  SetCapped(year_, text, kYearCapacity, kYearChanged);
}
void ID3v1Tag::SetComment(std::string_view text) {
  SetCapped(comment_, text, kTextCapacity, kCommentChanged);
}

void ID3v1Tag::SetTrack(uint8_t value) {
  if (value != track_) changed_ |= kTrackChanged;
  track_ = value;
  present_ = present_ || value != 0;
}

void ID3v1Tag::SetGenreNumber(uint8_t value) {
  if (value != genre_) changed_ |= kGenreChanged;
  genre_ = value;
  present_ = present_ || value != 0;
}

std::string ID3v1Tag::Genre() const { return tags::GenreText(genre_); }

std::string ID3v1Tag::TrackText() const {
  return track_ == 0 ? std::string() : std::to_string(track_);
}

}  // namespace tags

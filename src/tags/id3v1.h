// The ID3v1 tag: a 128-byte block at the very end of an MPEG audio file.
//
// Text is held as UTF-8, read from and written in the tag code page. Every
// text field has a fixed capacity (30 bytes, the year 4). A save keeps the
// bytes of every field that was not changed as they were in the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "tags/write_notes.h"

namespace sys {
class File;
}

namespace tags {

class BufferedFile;
class WriteAccess;

class ID3v1Tag {
 public:
  static constexpr size_t kBlockSize = 128;
  using Block = std::array<uint8_t, kBlockSize>;

  ID3v1Tag() { Clear(); }

  void Clear();

  // Reads the file's tag. False when the file cannot be opened or read; true
  // otherwise, whether or not a tag was found (Present() tells).
  bool Load(const std::string& fileName);
  // The same on a file already open for reading whose size is `fileSize`;
  // the file's position afterwards is wherever the reading left it.
  bool LoadFrom(sys::File& file, int64_t fileSize);
  // The same through a read-ahead buffer: no read when it holds the block.
  bool LoadFrom(BufferedFile& file);
  // Writes the fields as the file's tag: an existing tag is overwritten in
  // place, otherwise the block is appended. Present() is not changed.
  bool Save(const std::string& fileName);
  // Whether Save has something to do: a field changed, or the file had no tag.
  bool NeedsSave() const { return changed_ != 0 || !found_; }
  // What the last Save or Strip that worked has to tell.
  const WriteNotes& Notes() const { return notes_; }
  // Cuts the tag off the file's end; true also for a file without a tag.
  bool Strip(const std::string& fileName);

  // Setters take UTF-8: trailing characters of 0x20 or below are removed,
  // then the text in the tag code page is cut to the field's capacity (a
  // character the code page lacks becomes '?'). A non-empty value makes the tag present. A value
  // other than the field's marks the field as changed.
  void SetTitle(std::string_view text);
  void SetArtist(std::string_view text);
  void SetAlbum(std::string_view text);
  void SetYear(std::string_view text);
  void SetComment(std::string_view text);
  void SetTrack(uint8_t value);
  void SetGenreNumber(uint8_t value);

  bool Present() const { return present_; }
  // 1 = ID3v1.0 layout, 2 = ID3v1.1 layout (28-byte comment and a track byte).
  uint8_t Version() const { return version_; }
  const std::string& Title() const { return title_; }
  const std::string& Artist() const { return artist_; }
  const std::string& Album() const { return album_; }
  const std::string& Year() const { return year_; }
  const std::string& Comment() const { return comment_; }
  uint8_t Track() const { return track_; }        // 0 = none
  uint8_t GenreNumber() const { return genre_; }  // 255 = none

  // The genre's name, empty for numbers without one.
  std::string Genre() const;
  // Track as decimal digits, empty when 0.
  std::string TrackText() const;

  // The block that Save writes (the loaded block with the changed fields
  // written over it), and the parsing of one that Load reads.
  Block Render() const;
  void Parse(const Block& block);

 private:
  enum : uint32_t {
    kTitleChanged = 1,
    kArtistChanged = 2,
    kAlbumChanged = 4,
    kYearChanged = 8,
    kCommentChanged = 16,
    kTrackChanged = 32,
    kGenreChanged = 64,
  };
  void SetCapped(std::string& field, std::string_view text, size_t capacity, uint32_t bit);
  // Writes this tag's block over the tag that ends the open file, or after
  // its end when it has none, in one write.
  bool WriteBlock(sys::File& file, const std::string& fileName, int64_t size,
                  WriteAccess& access);
  // Writes this tag's block into the copy it makes when both are saved, or
  // through the handle it writes its own tag with.
  friend class ID3v2Tag;

  WriteNotes notes_;
  bool present_;
  bool found_;      // the block was read from the file
  Block block_;     // as read
  uint32_t changed_;
  uint8_t version_;
  std::string title_, artist_, album_, year_, comment_;
  uint8_t track_;
  uint8_t genre_;
};

}  // namespace tags

// The ID3v2 tag at the start of an MPEG audio file.
//
// Versions 2.2, 2.3 and 2.4 are read; version 2.3 is written. Sixteen frame
// kinds ("slots") are read into the fields; on writing, every other frame of
// an old 2.3 or 2.4 tag is carried over. Text is held as single bytes: ISO
// 8859-1 text as found, UTF-16 and UTF-8 text converted to the system's ANSI
// code page.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sys {
class File;
}

namespace tags {

class BufferedFile;

constexpr int kSlotCount = 16;

// A tag header as found in the file, plus the state of one write.
struct TagInfo {
  // The first 10 bytes of the file.
  std::array<char, 3> ID{};  // "ID3" when a tag is there
  uint8_t Version = 0;       // major version
  uint8_t Revision = 0;
  uint8_t Flags = 0;              // 0x10: a footer follows the frames
  std::array<uint8_t, 4> Size{};  // 7 bits per byte, most significant first
  int64_t FileSize = 0;           // of the whole file
  // Raw data of the frames of each slot (slot order), at most 500 bytes each.
  std::array<std::string, kSlotCount> Frame;
  bool NeedRewrite = false;  // writing: rebuild through a temporary file
  int64_t PaddingSize = 0;   // writing: zero bytes after the frames

  bool HasId3() const { return ID[0] == 'I' && ID[1] == 'D' && ID[2] == '3'; }
};

// Reads the first 10 bytes of the file and its size; false when the file
// cannot be opened or is shorter than 10 bytes.
bool ReadTagHeader(const std::string& fileName, TagInfo& info);
bool ReadTagHeaderFrom(sys::File& file, int64_t fileSize, TagInfo& info);
bool ReadTagHeaderFrom(BufferedFile& file, TagInfo& info);
// Whole tag size: header, frames, padding and footer; 0 when the declared
// size is larger than the file.
int64_t TagTotalSize(const TagInfo& info);

class ID3v2Tag {
 public:
  ID3v2Tag() { Clear(); }

  void Clear();

  // Reads the file's tag. False when the 10 header bytes cannot be read; true
  // otherwise, whether or not a tag was found.
  bool Load(const std::string& fileName);
  // The same on a file already open for reading whose size is `fileSize`;
  // the file's position afterwards is wherever the reading left it.
  bool LoadFrom(sys::File& file, int64_t fileSize);
  // The same through a read-ahead buffer that the caller goes on using.
  bool LoadFrom(BufferedFile& file);
  // Writes the fields as an ID3v2.3 tag: in place when the old tag has room
  // (and is at most 4096 bytes), else by rebuilding the file. Present() is not
  // changed.
  bool Save(const std::string& fileName);
  // Removes the tag; false for a file without one.
  bool Strip(const std::string& fileName);

  // Setters: bytes of 0x20 or below are removed from both ends; a non-empty
  // value makes the tag present.
  void SetTitle(std::string_view text);
  void SetArtist(std::string_view text);
  void SetAlbum(std::string_view text);
  void SetYear(std::string_view text);
  void SetGenre(std::string_view text);
  void SetComment(std::string_view text);
  void SetComposer(std::string_view text);
  void SetOrigArtist(std::string_view text);
  void SetEncodedBy(std::string_view text);
  void SetCopyright(std::string_view text);
  void SetURL(std::string_view text);
  void SetTrack(uint16_t value);

  bool Present() const { return present_; }
  uint8_t Version() const { return version_; }  // major version as found
  int64_t TagSize() const { return tagSize_; }  // where the audio starts; 0 = none
  const std::string& Title() const { return title_; }
  const std::string& Artist() const { return artist_; }
  const std::string& Album() const { return album_; }
  uint16_t Track() const { return track_; }
  const std::string& TrackText() const { return trackText_; }
  const std::string& Year() const { return year_; }
  const std::string& Genre() const { return genre_; }
  const std::string& Comment() const { return comment_; }
  const std::string& Composer() const { return composer_; }
  const std::string& OrigArtist() const { return origArtist_; }
  const std::string& EncodedBy() const { return encodedBy_; }
  const std::string& Copyright() const { return copyright_; }
  const std::string& Language() const { return language_; }
  const std::string& URL() const { return url_; }

 private:
  // From the texts of the slots, in the order of their frame ids.
  void FillFromSlots(const std::array<std::string, kSlotCount>& texts);
  void SetText(std::string& field, std::string_view text);

  bool present_;
  uint8_t version_;
  int64_t tagSize_;
  std::string title_, artist_, album_;
  uint16_t track_;
  std::string trackText_, year_, genre_, comment_, composer_, origArtist_, encodedBy_, copyright_,
      language_, url_;
};

}  // namespace tags

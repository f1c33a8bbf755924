// The ID3v2 tag at the start of an MPEG audio file.
//
// Versions 2.2, 2.3 and 2.4 are read; version 2.3 is written. Sixteen frame
// kinds ("slots") are read into the fields. A save writes what changed and
// nothing else: the object knows which fields were set to a new value, and
// every frame of the old tag that no changed field replaces is written back as
// it was (a 2.3 frame byte for byte, a 2.2 or 2.4 frame converted to the 2.3
// layout without loss where 2.3 can hold it). Text is held as UTF-8: Unicode
// frames as they are, 8-bit frames read through the tag code page.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tags/write_notes.h"

namespace sys {
class File;
}

namespace tags {

class BufferedFile;
class ID3v1Tag;

constexpr int kSlotCount = 16;

// How a save writes text. The frames it builds hold ASCII under encoding 0;
// other text in UTF-16 with byte order mark when `unicode` is set, else as
// bytes of the tag code page under encoding 0 (UTF-16 all the same for text
// the code page cannot hold, which so is not lost). With `convertOld`, every
// frame of the old tag that holds 8-bit text beyond ASCII under encoding 0
// (text frames, comments, lyrics) is converted to UTF-16, its bytes read by
// `toUnicode`, and nothing else of it changes.
struct TextWriting {
  bool unicode = false;
  std::function<std::u16string(std::string_view)> toUnicode;
  bool convertOld = false;
};

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
  // Writes the tag as ID3v2.3: the frames of the changed fields built anew,
  // every other frame of the file's tag kept. In place whenever the new tag
  // fits in the old tag's space, else by rebuilding the file with padding for
  // later saves. Present() is not changed. With `alsoV1`, that tag's block is
  // written too: into the same rebuilt copy when this tag must be rebuilt (an
  // interruption then leaves both tags old or both new), else in place first.
  bool Save(const std::string& fileName, ID3v1Tag* alsoV1 = nullptr);
  // What the last Save or Strip that worked has to tell.
  const WriteNotes& Notes() const { return notes_; }
  // Whether Save has something to do: a field changed, or the file had no tag.
  bool NeedsSave() const { return changed_ != 0 || !found_; }
  // Frames of the old tag that the last Save could not carry into 2.3 (no 2.3
  // equivalent, encrypted 2.4 frames, frames running past the tag).
  int DroppedFrames() const { return dropped_; }
  // Removes the tag; false for a file without one.
  bool Strip(const std::string& fileName);
  // The text writing of the next saves; until set, the configuration's
  // (WriteUnicodeText, from the tag code page).
  void SetTextWriting(TextWriting writing) { writing_ = std::move(writing); }
  // The 8-bit texts of the file's tag that a save with `convertOld` converts:
  // each string of those frames, in frame order. Nothing when the tag cannot
  // be read.
  static std::optional<std::vector<std::string>> EightBitTexts(const std::string& fileName);

  // The fields a user can change, for IsChanged.
  enum class Field : uint8_t {
    Title, Artist, Album, Track, Year, Genre, Comment,
    Composer, OrigArtist, EncodedBy, Copyright, URL,
  };
  bool IsChanged(Field field) const { return (changed_ & Bit(field)) != 0; }

  // Setters: bytes of 0x20 or below are removed from both ends; a non-empty
  // value makes the tag present. A value other than the field's marks the
  // field as changed; setting the value it holds changes nothing.
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
  // The whole comment, where Comment() holds what fits in 500 bytes of frame.
  const std::string& FullComment() const { return fullComment_; }
  const std::string& Composer() const { return composer_; }
  const std::string& OrigArtist() const { return origArtist_; }
  const std::string& EncodedBy() const { return encodedBy_; }
  const std::string& Copyright() const { return copyright_; }
  const std::string& Language() const { return language_; }
  const std::string& URL() const { return url_; }

 private:
  // From the texts of the slots, in the order of their frame ids.
  void FillFromSlots(const std::array<std::string, kSlotCount>& texts);
  void SetText(std::string& field, std::string_view text, Field which);
  static uint32_t Bit(Field field) { return 1u << static_cast<unsigned>(field); }

  WriteNotes notes_;
  std::optional<TextWriting> writing_;
  bool present_;
  bool found_;        // the file had a tag when it was loaded
  uint32_t changed_;  // Bit() of each changed field
  int dropped_;
  uint8_t version_;
  int64_t tagSize_;
  std::string title_, artist_, album_;
  uint16_t track_;
  std::string trackText_, year_, genre_, comment_, fullComment_, composer_, origArtist_,
      encodedBy_, copyright_, language_, url_;
  std::array<std::string, kSlotCount> slots_;  // a load's frame texts, before FillFromSlots
};

}  // namespace tags

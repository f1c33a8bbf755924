// The file information view: its three dialogs as item tables, the set-up of
// one call, and what the button that closed the dialog writes to the file.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "audio/mpeg_audio.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/operations.h"
#include "tagwright/messages.h"
#include "tags/codepage.h"
#include "tags/genres.h"
#include "tags/unicode_text.h"
#include "tags/utf8.h"
#include "views/file_info.h"
#include "views/file_info_internal.h"

namespace views {

using detail::AudioItem;
using detail::ExtraItem;
using detail::FileInfoItem;
using detail::State;
using detail::ViewState;

namespace {

constexpr DWORD SE = DIF_SELECTONENTRY;
constexpr DWORD HI = DIF_HISTORY;
constexpr DWORD MA = DIF_MASKEDIT;
constexpr DWORD DD = DIF_DROPDOWNLIST;
constexpr DWORD CG = DIF_CENTERGROUP;
constexpr DWORD NC = DIF_BTNNOCLOSE;
constexpr DWORD SEP = DIF_SEPARATOR;

constexpr const char* kTrackMask = "#####";

// clang-format off
constexpr host::DialogItemSpec kFileInfoSpecs[] = {
    {FileInfoItem::Frame, DI_DOUBLEBOX, 3, 1, 70, 19, 0, 0, 0, 0, host::SpecText("ID3"), nullptr},
    {FileInfoItem::V1Check, DI_CHECKBOX, 5, 2, 0, 0, 0, 0, 0, 0, host::SpecText("ID3v&1"), nullptr},
    {FileInfoItem::V1TrackLabel, DI_TEXT, 23, 2, 0, 0, 0, 0, 0, 0, MTrackLabel, nullptr},
    {FileInfoItem::V1Track, DI_FIXEDIT, 30, 2, 34, 0, 0, 0, SE | MA, 0, host::SpecText(""), kTrackMask},
    {FileInfoItem::V1TitleLabel, DI_TEXT, 5, 3, 0, 0, 0, 0, 0, 0, MTitleLabel, nullptr},
    {FileInfoItem::V1Title, DI_FIXEDIT, 5, 4, 34, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Title"},
    {FileInfoItem::V1ArtistLabel, DI_TEXT, 5, 5, 0, 0, 0, 0, 0, 0, MArtistLabel, nullptr},
    {FileInfoItem::V1Artist, DI_FIXEDIT, 5, 6, 34, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Artist"},
    {FileInfoItem::V1AlbumLabel, DI_TEXT, 5, 7, 0, 0, 0, 0, 0, 0, MAlbumLabel, nullptr},
    {FileInfoItem::V1Album, DI_FIXEDIT, 5, 8, 34, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Album"},
    {FileInfoItem::V1YearLabel, DI_TEXT, 5, 9, 0, 0, 0, 0, 0, 0, MYearLabel, nullptr},
    {FileInfoItem::V1Year, DI_FIXEDIT, 5, 10, 8, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Year"},
    {FileInfoItem::V1GenreLabel, DI_TEXT, 11, 9, 0, 0, 0, 0, 0, 0, MGenreLabel, nullptr},
    {FileInfoItem::V1Genre, DI_COMBOBOX, 11, 10, 34, 0, 0, 0, DD, 0, host::SpecText(""), nullptr},
    {FileInfoItem::V1CommentLabel, DI_TEXT, 5, 11, 0, 0, 0, 0, 0, 0, MCommentLabel, nullptr},
    {FileInfoItem::V1Comment, DI_FIXEDIT, 5, 12, 34, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Comment"},
    {FileInfoItem::V2Check, DI_CHECKBOX, 38, 2, 0, 0, 0, 0, 0, 0, host::SpecText("ID3v&2"), nullptr},
    {FileInfoItem::V2TrackLabel, DI_TEXT, 56, 2, 0, 0, 0, 0, 0, 0, MTrackLabel2, nullptr},
    {FileInfoItem::V2Track, DI_FIXEDIT, 63, 2, 67, 0, 0, 0, SE | MA, 0, host::SpecText(""), kTrackMask},
    {FileInfoItem::V2TitleLabel, DI_TEXT, 38, 3, 0, 0, 0, 0, 0, 0, MTitleLabel2, nullptr},
    {FileInfoItem::V2Title, DI_EDIT, 38, 4, 67, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Title"},
    {FileInfoItem::V2ArtistLabel, DI_TEXT, 38, 5, 0, 0, 0, 0, 0, 0, MArtistLabel2, nullptr},
    {FileInfoItem::V2Artist, DI_EDIT, 38, 6, 67, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Artist"},
    {FileInfoItem::V2AlbumLabel, DI_TEXT, 38, 7, 0, 0, 0, 0, 0, 0, MAlbumLabel2, nullptr},
    {FileInfoItem::V2Album, DI_EDIT, 38, 8, 67, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Album"},
    {FileInfoItem::V2YearLabel, DI_TEXT, 38, 9, 0, 0, 0, 0, 0, 0, MYearLabel2, nullptr},
    {FileInfoItem::V2Year, DI_EDIT, 38, 10, 42, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Year"},
    {FileInfoItem::V2GenreLabel, DI_TEXT, 45, 9, 0, 0, 0, 0, 0, 0, MGenreLabel2, nullptr},
    {FileInfoItem::V2Genre, DI_COMBOBOX, 45, 10, 67, 0, 0, 0, SE, 0, host::SpecText(""), nullptr},
    {FileInfoItem::V2CommentButton, DI_BUTTON, 38, 11, 0, 0, 0, 0, NC, 0, MCommentLabel2, nullptr},
    {FileInfoItem::V2Comment, DI_EDIT, 38, 12, 67, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Comment"},
    {FileInfoItem::Separator, DI_TEXT, 4, 13, 69, 0, 0, 0, SEP, 0, host::SpecText(""), nullptr},
    {FileInfoItem::CopyToV1, DI_BUTTON, 0, 14, 0, 0, 0, 0, CG | NC, 0, MCopyToV1, nullptr},
    {FileInfoItem::CopyToV2, DI_BUTTON, 0, 14, 0, 0, 0, 0, CG | NC, 0, MCopyToV2, nullptr},
    {FileInfoItem::AudioInfo, DI_BUTTON, 0, 15, 0, 0, 0, 0, CG | NC, 0, MAudioInfo, nullptr},
    {FileInfoItem::ExtraFields, DI_BUTTON, 0, 15, 0, 0, 0, 0, CG | NC, 0, MExtraFields, nullptr},
    {FileInfoItem::Reread, DI_BUTTON, 0, 15, 0, 0, 0, 0, CG | NC, 0, MReread, nullptr},
    {FileInfoItem::Save, DI_BUTTON, 0, 16, 0, 0, 0, 0, CG, 1, MSave, nullptr},
    {FileInfoItem::Remove, DI_BUTTON, 0, 16, 0, 0, 0, 0, CG, 0, MRemoveTags, nullptr},
    {FileInfoItem::Skip, DI_BUTTON, 0, 16, 0, 0, 0, 0, CG, 0, MSkip, nullptr},
    {FileInfoItem::Cancel, DI_BUTTON, 0, 16, 0, 0, 0, 0, CG, 0, MCancel, nullptr},
    {FileInfoItem::AskNoMoreSeparator, DI_TEXT, 4, 17, 69, 0, 0, 0, SEP, 0, host::SpecText(""), nullptr},
    {FileInfoItem::AskNoMore, DI_CHECKBOX, 5, 18, 0, 0, 0, 0, 0, 0, MAskNoMore, nullptr},
};
// clang-format on
static_assert(host::ItemsInPlace(kFileInfoSpecs, FileInfoItem::Count));

// clang-format off
constexpr host::DialogItemSpec kExtraSpecs[] = {
    {ExtraItem::Frame, DI_DOUBLEBOX, 3, 1, 46, 14, 0, 0, 0, 0, host::SpecText("MPEG Info"), nullptr},
    {ExtraItem::ComposerLabel, DI_TEXT, 5, 2, 0, 0, 0, 0, 0, 0, MComposerLabel, nullptr},
    {ExtraItem::Composer, DI_EDIT, 5, 3, 44, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Composer"},
    {ExtraItem::OrigArtistLabel, DI_TEXT, 5, 4, 0, 0, 0, 0, 0, 0, MOrigArtistLabel, nullptr},
    {ExtraItem::OrigArtist, DI_EDIT, 5, 5, 44, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_OrigArtist"},
    {ExtraItem::CopyrightLabel, DI_TEXT, 5, 6, 0, 0, 0, 0, 0, 0, MCopyrightLabel, nullptr},
    {ExtraItem::Copyright, DI_EDIT, 5, 7, 44, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_Copyright"},
    {ExtraItem::UrlLabel, DI_TEXT, 5, 8, 0, 0, 0, 0, 0, 0, MUrlLabel, nullptr},
    {ExtraItem::Url, DI_EDIT, 5, 9, 44, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_URL"},
    {ExtraItem::EncodedByLabel, DI_TEXT, 5, 10, 0, 0, 0, 0, 0, 0, MEncodedByLabel, nullptr},
    {ExtraItem::EncodedBy, DI_EDIT, 5, 11, 44, 0, 0, 0, SE | HI, 0, host::SpecText(""), "ID3_EncodedBy"},
    {ExtraItem::Separator, DI_TEXT, 4, 12, 45, 0, 0, 0, SEP, 0, host::SpecText(""), nullptr},
    {ExtraItem::Close, DI_BUTTON, 0, 13, 0, 0, 0, 0, CG, 0, MOk, nullptr},
};
// clang-format on
static_assert(host::ItemsInPlace(kExtraSpecs, ExtraItem::Count));

// clang-format off
constexpr host::DialogItemSpec kAudioSpecs[] = {
    {AudioItem::Frame, DI_DOUBLEBOX, 3, 1, 36, 9, 0, 0, 0, 0, MAudioInfoTitle, nullptr},
    {AudioItem::SizeLine, DI_TEXT, 5, 2, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {AudioItem::TimeLine, DI_TEXT, 5, 3, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {AudioItem::VersionLine, DI_TEXT, 5, 4, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {AudioItem::BitRateLine, DI_TEXT, 5, 5, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {AudioItem::SampleRateLine, DI_TEXT, 5, 6, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
    {AudioItem::Separator, DI_TEXT, 4, 7, 35, 0, 0, 0, SEP, 0, host::SpecText(""), nullptr},
    {AudioItem::Close, DI_BUTTON, 0, 8, 0, 0, 0, 0, CG, 0, MOk, nullptr},
};
// clang-format on
static_assert(host::ItemsInPlace(kAudioSpecs, AudioItem::Count));

constexpr int kFileInfoWidth = 74;
constexpr int kFullHeight = 21;
constexpr int kCompactHeight = 19;
constexpr int kCompactFrameBottom = 17;
constexpr int kFileInfoTitleLength = 64;
constexpr int kExtraTitleLength = 40;
// ID3v1 setters are handed at most this many characters; the tag cuts to its
// own sizes.
constexpr size_t kV1TextLimit = 255;

void PutText(FarDialogItem& item, std::string_view text) {
  const size_t n = tags::HostPrefix(text, SIZE_MAX, sizeof(item.Data) - 1).size();
  std::memcpy(item.Data, text.data(), n);
  item.Data[n] = '\0';
}

void BuildGenreList(ViewState& s) {
  const std::vector<std::string> names = tags::GenreChoiceList();
  s.genreItems.assign(names.size(), FarListItem{});
  for (size_t i = 0; i < names.size(); ++i) {
    FarListItem& entry = s.genreItems[i];
    const size_t n = std::min(names[i].size(), sizeof(entry.Text) - 1);
    std::memcpy(entry.Text, names[i].data(), n);
    entry.Text[n] = '\0';
  }
  s.genreList.ItemsNumber = static_cast<int>(s.genreItems.size());
  s.genreList.Items = s.genreItems.data();
}

void FormatAudioLines(ViewState& s, const audio::MPEGaudio& a) {
  FarDialogItem* items = s.audioInfo;
  char line[sizeof(FarDialogItem::Data)];
  // Sizes and frame counts are 64-bit: a file beyond 2 GiB must not show a
  // negative size.
  std::snprintf(line, sizeof(line), "%s: %" PRId64, host::Msg(MFileSize), a.FileSize());
  PutText(items[AudioItem::SizeLine], line);
  std::snprintf(line, sizeof(line), "%s: %" PRId64 " %s", host::Msg(MPlayTime),
                static_cast<int64_t>(a.DurationSeconds()), host::Msg(MSeconds));
  PutText(items[AudioItem::TimeLine], line);
  // LAME's Info header marks a constant bit rate file whose frames it counts.
  std::snprintf(line, sizeof(line), "%s %s%s", a.VersionText(), a.LayerText(),
                a.VbrInfo().IsInfo() ? ", CBR (Info)" : "");
  PutText(items[AudioItem::VersionLine], line);
  std::snprintf(line, sizeof(line), "%d %s, %" PRId64 " %s", static_cast<int>(a.BitRateKbps()),
                host::Msg(MKbit), a.FrameCount(), host::Msg(MFrames));
  PutText(items[AudioItem::BitRateLine], line);
  static constexpr int kModeNames[] = {MStereo, MJointStereo, MDualChannel, MMono, MUnknownMode};
  const int mode = kModeNames[std::min<size_t>(a.ChannelMode(), std::size(kModeNames) - 1)];
  std::snprintf(line, sizeof(line), "%d %s, %s", static_cast<int>(a.SampleRateHz()), host::Msg(MHz),
                host::Msg(mode));
  PutText(items[AudioItem::SampleRateLine], line);
}

// The text of an item as tag text.
std::string TagText(const FarDialogItem& item) { return tags::FromHost(host::ItemText(item)); }

// A masked track field holds blanks where nothing was typed: only digits make
// a track number, so a field of blanks counts as empty.
bool HasTrack(const FarDialogItem& item) {
  const std::string_view text(item.Data, strnlen(item.Data, sizeof(item.Data)));
  return text.find_first_not_of(" \t") != std::string_view::npos;
}

// Whether the user changed an item since it was filled from the tags.
bool Edited(const FarDialogItem& item, const std::string& filled) {
  return host::ItemText(item) != filled;
}

// The warning for a write that failed, with the system's reason. The view
// stays open, so there is nothing to choose: the user may try again, change
// something or cancel.
void SayFailed(int messageId, const std::string& fileName) {
  host::Warning(FMSG_ERRORTYPE | FMSG_MB_OK, host::FormatMsg(messageId, {fileName.c_str()}));
}

// What Save does to one tag of the file.
enum class TagAction { kKeep, kSave, kStrip };

template <typename Tag>
TagAction ActionFor(const Tag& tag, const FarDialogItem& check) {
  if (check.Selected == 0) return tag.Present() ? TagAction::kStrip : TagAction::kKeep;
  return tag.NeedsSave() ? TagAction::kSave : TagAction::kKeep;
}

// Only the fields the user changed are set: the others keep their bytes in
// the file, however the dialog showed them.
TagAction ApplyID3v1(ViewState& s, FarDialogItem* items) {
  tags::ID3v1Tag& tag = s.audio->ID3v1();
  if (items[FileInfoItem::V1Check].Selected == 0) return ActionFor(tag, items[FileInfoItem::V1Check]);
  auto set = [&](int item, void (tags::ID3v1Tag::*setter)(std::string_view)) {
    if (!Edited(items[item], s.filled[item])) return;
    const std::string text = TagText(items[item]);
    (tag.*setter)(std::string_view(text).substr(0, tags::PrefixBytes(text, kV1TextLimit)));
  };
  set(FileInfoItem::V1Title, &tags::ID3v1Tag::SetTitle);
  set(FileInfoItem::V1Artist, &tags::ID3v1Tag::SetArtist);
  set(FileInfoItem::V1Album, &tags::ID3v1Tag::SetAlbum);
  set(FileInfoItem::V1Year, &tags::ID3v1Tag::SetYear);
  set(FileInfoItem::V1Comment, &tags::ID3v1Tag::SetComment);
  if (Edited(items[FileInfoItem::V1Genre], s.filled[FileInfoItem::V1Genre])) {
    // Genre names are ASCII: the list's text is looked up as it stands.
    const std::optional<int> number = tags::GenreLookup(items[FileInfoItem::V1Genre].Data);
    tag.SetGenreNumber(number ? static_cast<uint8_t>(*number) : uint8_t{255});
  }
  // An emptied track field leaves the track as it was read.
  const FarDialogItem& track = items[FileInfoItem::V1Track];
  if (Edited(track, s.filled[FileInfoItem::V1Track]) && HasTrack(track)) {
    // The ID3v1 track is one byte: 300 is stored as 44.
    tag.SetTrack(static_cast<uint8_t>(host::Atoi(track.Data)));
  }
  return ActionFor(tag, items[FileInfoItem::V1Check]);
}

// The comment as the user left it: the item's text, or the whole comment the
// item stands for while it shows what it was given.
std::string CommentText(const ViewState& s, const FarDialogItem& item) {
  const std::string shown = host::ItemText(item);
  return shown == s.commentShown ? s.commentFull : shown;
}

TagAction ApplyID3v2(ViewState& s, FarDialogItem* items) {
  FarDialogItem* extra = s.extra;
  tags::ID3v2Tag& tag = s.audio->ID3v2();
  if (items[FileInfoItem::V2Check].Selected == 0) return ActionFor(tag, items[FileInfoItem::V2Check]);
  auto set = [&](const FarDialogItem& item, const std::string& filled,
                 void (tags::ID3v2Tag::*setter)(std::string_view)) {
    if (Edited(item, filled)) (tag.*setter)(TagText(item));
  };
  set(items[FileInfoItem::V2Title], s.filled[FileInfoItem::V2Title], &tags::ID3v2Tag::SetTitle);
  set(items[FileInfoItem::V2Artist], s.filled[FileInfoItem::V2Artist], &tags::ID3v2Tag::SetArtist);
  set(items[FileInfoItem::V2Album], s.filled[FileInfoItem::V2Album], &tags::ID3v2Tag::SetAlbum);
  set(items[FileInfoItem::V2Year], s.filled[FileInfoItem::V2Year], &tags::ID3v2Tag::SetYear);
  set(items[FileInfoItem::V2Genre], s.filled[FileInfoItem::V2Genre], &tags::ID3v2Tag::SetGenre);
  std::string comment = CommentText(s, items[FileInfoItem::V2Comment]);
  if (comment != s.commentRead) tag.SetComment(tags::FromHost(comment));
  const FarDialogItem& track = items[FileInfoItem::V2Track];
  if (Edited(track, s.filled[FileInfoItem::V2Track]) && HasTrack(track))
    tag.SetTrack(static_cast<uint16_t>(host::Atoi(track.Data)));
  set(extra[ExtraItem::Composer], s.extraFilled[ExtraItem::Composer],
      &tags::ID3v2Tag::SetComposer);
  set(extra[ExtraItem::OrigArtist], s.extraFilled[ExtraItem::OrigArtist],
      &tags::ID3v2Tag::SetOrigArtist);
  set(extra[ExtraItem::Copyright], s.extraFilled[ExtraItem::Copyright],
      &tags::ID3v2Tag::SetCopyright);
  set(extra[ExtraItem::Url], s.extraFilled[ExtraItem::Url], &tags::ID3v2Tag::SetURL);
  set(extra[ExtraItem::EncodedBy], s.extraFilled[ExtraItem::EncodedBy],
      &tags::ID3v2Tag::SetEncodedBy);
  return ActionFor(tag, items[FileInfoItem::V2Check]);
}

// The first character of an edited field that the tag code page cannot hold,
// where the field is written in it: every ID3v1 field, the ID3v2 fields unless
// they are written in Unicode. Nothing of the tags is changed here: the user
// may still go back to the dialog.
std::optional<std::pair<char32_t, std::string>> FirstUnencodable(const ViewState& s,
                                                                   FarDialogItem* items) {
  std::vector<std::string> texts;
  auto edited = [&](const FarDialogItem& item, const std::string& filled) {
    if (Edited(item, filled)) texts.push_back(TagText(item));
  };
  if (items[FileInfoItem::V1Check].Selected != 0) {
    for (int item : {FileInfoItem::V1Title, FileInfoItem::V1Artist, FileInfoItem::V1Album,
                     FileInfoItem::V1Year, FileInfoItem::V1Comment})
      edited(items[item], s.filled[item]);
  }
  if (items[FileInfoItem::V2Check].Selected != 0 && !tags::WriteUnicodeText) {
    for (int item : {FileInfoItem::V2Title, FileInfoItem::V2Artist, FileInfoItem::V2Album,
                     FileInfoItem::V2Year, FileInfoItem::V2Genre})
      edited(items[item], s.filled[item]);
    const std::string comment = CommentText(s, items[FileInfoItem::V2Comment]);
    if (comment != s.commentRead) texts.push_back(tags::FromHost(comment));
    for (int item : {ExtraItem::Composer, ExtraItem::OrigArtist, ExtraItem::Copyright,
                     ExtraItem::Url, ExtraItem::EncodedBy})
      edited(s.extra[item], s.extraFilled[item]);
  }
  for (const std::string& text : texts) {
    if (const char32_t c = tags::FirstUnencodable(text, tags::TagCodePage)) return {{c, text}};
  }
  return std::nullopt;
}

// Asks before a save that would write a character the tag code page lacks;
// true to go on.
bool ConfirmUnencodable(const ViewState& s, FarDialogItem* items) {
  const auto found = FirstUnencodable(s, items);
  if (!found) return true;
  std::string character;
  tags::AppendUtf8(character, found->first);
  char code[16];
  std::snprintf(code, sizeof code, " (U+%04X)", static_cast<unsigned>(found->first));
  const std::string shown = tags::ToHost(character) + code;
  const std::string body = host::FormatMsg(MUnencodable, {shown.c_str(), tags::ToHost(found->second).c_str()}) +
                           "\n" + host::Msg(MSaveAnyway);
  return host::Warning(FMSG_MB_YESNO, body) == 0;
}

template <typename Tag>
bool Apply(Tag& tag, TagAction action, const std::string& fileName) {
  switch (action) {
    case TagAction::kSave: return tag.Save(fileName);
    case TagAction::kStrip: return tag.Strip(fileName);
    case TagAction::kKeep: break;
  }
  return true;
}

// Ends the call's hold on the module state, also when an exception leaves
// ShowFileInfo: the genre list is freed and the object forgotten.
struct CallScope {
  ViewState& s;
  ~CallScope() {
    s.genreList = FarList{};
    std::vector<FarListItem>().swap(s.genreItems);
    s.audio = nullptr;
    s.fileName.clear();
  }
};

}  // namespace

namespace detail {

bool SaveTags(ViewState& s, FarDialogItem* items) {
  tags::ID3v1Tag& v1 = s.audio->ID3v1();
  tags::ID3v2Tag& v2 = s.audio->ID3v2();
  if (!ConfirmUnencodable(s, items)) return false;
  const TagAction v1Action = ApplyID3v1(s, items);
  const TagAction v2Action = ApplyID3v2(s, items);
  bool done;
  if (v1Action == TagAction::kSave && v2Action == TagAction::kSave) {
    // Both in one step where the ID3v2 tag must be rebuilt.
    done = v2.Save(s.fileName, &v1);
  } else {
    // ID3v1 first: a rebuilt ID3v2 tag copies the file's end, new ID3v1 included.
    done = Apply(v1, v1Action, s.fileName) && Apply(v2, v2Action, s.fileName);
  }
  if (!done) {
    SayFailed(MCannotWriteTags, s.fileName);
    return false;
  }
  if (v1Action != TagAction::kKeep) host::ReportWriteNotes(s.fileName, v1.Notes());
  if (v2Action != TagAction::kKeep) host::ReportWriteNotes(s.fileName, v2.Notes());
  return true;
}

bool RemoveTags(ViewState& s) {
  tags::ID3v1Tag& v1 = s.audio->ID3v1();
  tags::ID3v2Tag& v2 = s.audio->ID3v2();
  const bool strip1 = v1.Present();
  const bool strip2 = v2.Present();
  if ((strip1 && !v1.Strip(s.fileName)) || (strip2 && !v2.Strip(s.fileName))) {
    SayFailed(MCannotRemoveTags, s.fileName);
    return false;
  }
  if (strip1) host::ReportWriteNotes(s.fileName, v1.Notes());
  if (strip2) host::ReportWriteNotes(s.fileName, v2.Notes());
  return true;
}

ViewState& State() {
  static ViewState state;
  return state;
}

}  // namespace detail

bool FileInfoAskNoMore() {
  const ViewState& s = State();
  return s.fullForm && s.fileInfo[FileInfoItem::AskNoMore].Selected != 0;
}

bool ShowFileInfo(const std::string& fullPath, audio::MPEGaudio& audio, bool single) {
  ViewState& s = State();
  CallScope scope{s};
  s.fullForm = !single;
  const int count = single ? FileInfoItem::CompactCount : FileInfoItem::Count;

  std::memset(s.fileInfo, 0, sizeof(s.fileInfo));
  host::BuildDialogItems(kFileInfoSpecs, s.fileInfo, count);
  if (single) s.fileInfo[FileInfoItem::Frame].Y2 = kCompactFrameBottom;
  PutText(s.fileInfo[FileInfoItem::Frame], host::TruncatedPath(fullPath, kFileInfoTitleLength));

  BuildGenreList(s);
  s.fileInfo[FileInfoItem::V1Genre].ListItems = &s.genreList;
  s.fileInfo[FileInfoItem::V2Genre].ListItems = &s.genreList;

  s.fileName = fullPath;
  s.audio = &audio;
  s.typedLength = 0;

  std::memset(s.extra, 0, sizeof(s.extra));
  host::BuildDialogItems(kExtraSpecs, s.extra, ExtraItem::Count);
  PutText(s.extra[ExtraItem::Frame], host::TruncatedPath(fullPath, kExtraTitleLength));

  std::memset(s.audioInfo, 0, sizeof(s.audioInfo));
  host::BuildDialogItems(kAudioSpecs, s.audioInfo, AudioItem::Count);
  FormatAudioLines(s, audio);

  const int exitCode = host::DialogEx(-1, -1, kFileInfoWidth, single ? kCompactHeight : kFullHeight,
                                      "Id3Edit", s.fileInfo, count, 0, detail::FileInfoProc, 0);
  // Save and Remove did their work before the dialog closed (SaveTags,
  // RemoveTags): a dialog closed by them has written the file.
  switch (exitCode) {
    case FileInfoItem::Save:
    case FileInfoItem::Remove:
    case FileInfoItem::Skip:
      return true;
    default:
      return false;
  }
}

}  // namespace views

// Shared between the information view's set-up and save (file_info.cpp) and
// its dialog procedure (file_info_proc.cpp). Not used outside src/views/.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"

namespace audio {
class MPEGaudio;
}

namespace views::detail {

// Items of the information dialog. The compact form ends with Cancel.
struct FileInfoItem {
  enum : int {
    Frame = 0,
    V1Check,
    V1TrackLabel,
    V1Track,
    V1TitleLabel,
    V1Title,
    V1ArtistLabel,
    V1Artist,
    V1AlbumLabel,
    V1Album,
    V1YearLabel,
    V1Year,
    V1GenreLabel,
    V1Genre,
    V1CommentLabel,
    V1Comment,
    V2Check,  // 16
    V2TrackLabel,
    V2Track,
    V2TitleLabel,
    V2Title,
    V2ArtistLabel,
    V2Artist,
    V2AlbumLabel,
    V2Album,
    V2YearLabel,
    V2Year,
    V2GenreLabel,
    V2Genre,
    V2CommentButton,  // opens the comment in the host's editor
    V2Comment,
    Separator,  // 31
    CopyToV1,
    CopyToV2,
    AudioInfo,
    ExtraFields,
    Reread,
    Save,  // 37
    Remove,
    Skip,
    Cancel,
    AskNoMoreSeparator,  // full form only
    AskNoMore,
    Count,  // 43
  };
  static constexpr int CompactCount = AskNoMoreSeparator;  // 41
};

struct ExtraItem {
  enum : int {
    Frame = 0,
    ComposerLabel,
    Composer,
    OrigArtistLabel,
    OrigArtist,
    CopyrightLabel,
    Copyright,
    UrlLabel,
    Url,
    EncodedByLabel,
    EncodedBy,
    Separator,
    Close,
    Count,  // 13
  };
};

struct AudioItem {
  enum : int {
    Frame = 0,
    SizeLine,
    TimeLine,
    VersionLine,
    BitRateLine,
    SampleRateLine,
    Separator,
    Close,
    Count,  // 8
  };
};

// Sizes of the two small dialogs, which the dialog procedure opens.
constexpr int kExtraWidth = 50;
constexpr int kExtraHeight = 16;
constexpr int kAudioWidth = 40;
constexpr int kAudioHeight = 11;

// What ShowFileInfo sets up for its dialog procedure, valid while it runs.
struct ViewState {
  FarDialogItem fileInfo[FileInfoItem::Count];
  FarDialogItem extra[ExtraItem::Count];
  FarDialogItem audioInfo[AudioItem::Count];
  std::vector<FarListItem> genreItems;
  FarList genreList{};
  std::string fileName;
  audio::MPEGaudio* audio = nullptr;
  bool fullForm = false;
  // What the items held when they were filled from the tags: a field whose
  // text is the same at Save was not changed, and its tag field is not set.
  std::string filled[FileInfoItem::Count];
  std::string extraFilled[ExtraItem::Count];
  // The ID3v2 comment in full (OEM text), which its item shows cut to 511
  // bytes: as read, as the comment editor left it, and the item text that
  // stands for it.
  std::string commentRead, commentFull, commentShown;
  // Type-ahead of the ID3v1 genre box: the characters typed that matched.
  char typed[32] = {};
  int typedLength = 0;
};

ViewState& State();

long WINAPI FileInfoProc(HANDLE dialog, int msg, int param1, long param2);

// The Save and Remove buttons' work, done while the dialog is still open so
// that it can stay open when the file cannot be written. `items` are the
// dialog's items as they are now. False when a write failed (the user was
// told).
bool SaveTags(ViewState& s, FarDialogItem* items);
bool RemoveTags(ViewState& s);

}  // namespace views::detail

// The dialog procedure of the information view: filling the two sides from
// the tags, switching a side on and off, the copy buttons, the small dialogs,
// re-reading the file, the comment editor and the genre type-ahead.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "audio/mpeg_audio.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "views/file_info_internal.h"

namespace views::detail {

namespace {

using I = FileInfoItem;

constexpr int kFirstPrintableKey = 32;
constexpr int kLastPrintableKey = 127;

void SetText(HANDLE dialog, int item, const std::string& text) {
  FarDialogItem copy{};
  if (host::SendDlgMessagePtr(dialog, DM_GETDLGITEM, item, &copy) == 0) return;
  const size_t n = tags::HostPrefix(text, SIZE_MAX, sizeof(copy.Data) - 1).size();
  std::memcpy(copy.Data, text.data(), n);
  copy.Data[n] = '\0';
  host::SendDlgMessagePtr(dialog, DM_SETDLGITEM, item, &copy);
}

std::string GetText(HANDLE dialog, int item) {
  FarDialogItem copy{};
  if (host::SendDlgMessagePtr(dialog, DM_GETDLGITEM, item, &copy) == 0) return std::string();
  return std::string(copy.Data, strnlen(copy.Data, sizeof(copy.Data)));
}

// The target keeps its own type, flags, history and list.
void CopyItemText(HANDLE dialog, int from, int to) { SetText(dialog, to, GetText(dialog, from)); }

// Tag text as the host shows it.
std::string Shown(const std::string& tagText) { return tags::ToHost(tagText); }

void PutShown(FarDialogItem& item, const std::string& tagText) {
  const std::string text = Shown(tagText);
  const size_t n = tags::HostPrefix(text, SIZE_MAX, sizeof(item.Data) - 1).size();
  std::memcpy(item.Data, text.data(), n);
  item.Data[n] = '\0';
}

std::string TrackText(int track) {
  char digits[16];
  return host::Itoa(track, digits, 10);
}

bool Checked(HANDLE dialog, int item) {
  return host::SendDlgMessage(dialog, DM_GETCHECK, item, 0) == BSTATE_CHECKED;
}

void EnableSide(HANDLE dialog, int checkItem, int first, int last,
                std::initializer_list<int> buttons, bool on) {
  host::SendDlgMessage(dialog, DM_SETCHECK, checkItem, on ? BSTATE_CHECKED : BSTATE_UNCHECKED);
  for (int item = first; item <= last; ++item) host::SendDlgMessage(dialog, DM_ENABLE, item, on);
  for (int item : buttons) host::SendDlgMessage(dialog, DM_ENABLE, item, on);
  host::SendDlgMessage(dialog, DM_REDRAW, 0, 0);
}

// The copy button and the extra-fields button read from the side they belong
// to, so they are usable only while that side is on.
void SetID3v1Side(HANDLE dialog, bool on) {
  EnableSide(dialog, I::V1Check, I::V1TrackLabel, I::V1Comment, {I::CopyToV2}, on);
}

void SetID3v2Side(HANDLE dialog, bool on) {
  EnableSide(dialog, I::V2Check, I::V2TrackLabel, I::V2Comment, {I::CopyToV1, I::ExtraFields}, on);
}

// What the items hold now is what a later Save compares with: as the host
// left the texts (cut to their fields, masked), not as the tags hold them.
void RememberFilled(HANDLE dialog, const std::string& fullComment) {
  ViewState& s = State();
  const int count = s.fullForm ? I::Count : I::CompactCount;
  for (int item = 0; item < count; ++item) s.filled[item] = GetText(dialog, item);
  for (int item = 0; item < ExtraItem::Count; ++item) s.extraFilled[item] = host::ItemText(s.extra[item]);
  s.commentRead = fullComment;
  s.commentFull = fullComment;
  s.commentShown = s.filled[I::V2Comment];
}

void FillFromTags(HANDLE dialog) {
  ViewState& s = State();
  const tags::ID3v1Tag& v1 = s.audio->ID3v1();
  if (v1.Present()) {
    SetText(dialog, I::V1Title, Shown(v1.Title()));
    SetText(dialog, I::V1Artist, Shown(v1.Artist()));
    SetText(dialog, I::V1Album, Shown(v1.Album()));
    SetText(dialog, I::V1Year, Shown(v1.Year()));
    SetText(dialog, I::V1Genre, Shown(v1.Genre()));
    SetText(dialog, I::V1Comment, Shown(v1.Comment()));
    // A tag without a track shows an empty field, also after a re-read that
    // follows an edit of the field.
    SetText(dialog, I::V1Track, v1.Track() != 0 ? TrackText(v1.Track()) : std::string());
  }
  SetID3v1Side(dialog, v1.Present());

  const tags::ID3v2Tag& v2 = s.audio->ID3v2();
  if (v2.Present()) {
    SetText(dialog, I::V2Title, Shown(v2.Title()));
    SetText(dialog, I::V2Artist, Shown(v2.Artist()));
    SetText(dialog, I::V2Album, Shown(v2.Album()));
    SetText(dialog, I::V2Year, Shown(v2.Year()));
    SetText(dialog, I::V2Genre, Shown(v2.Genre()));
    SetText(dialog, I::V2Comment, Shown(v2.Comment()));
    SetText(dialog, I::V2Track, v2.Track() != 0 ? TrackText(v2.Track()) : std::string());
    // The extra fields' dialog is not open: its items are filled directly.
    PutShown(s.extra[ExtraItem::Composer], v2.Composer());
    PutShown(s.extra[ExtraItem::OrigArtist], v2.OrigArtist());
    PutShown(s.extra[ExtraItem::Copyright], v2.Copyright());
    PutShown(s.extra[ExtraItem::Url], v2.URL());
    PutShown(s.extra[ExtraItem::EncodedBy], v2.EncodedBy());
  }
  SetID3v2Side(dialog, v2.Present());
  RememberFilled(dialog, v2.Present() ? Shown(v2.FullComment()) : std::string());
}

void CopyToID3v1(HANDLE dialog) {
  if (!Checked(dialog, I::V2Check)) return;
  SetID3v1Side(dialog, true);
  static constexpr int kPairs[][2] = {
      {I::V2Track, I::V1Track}, {I::V2Title, I::V1Title},     {I::V2Artist, I::V1Artist},
      {I::V2Album, I::V1Album}, {I::V2Year, I::V1Year},       {I::V2Genre, I::V1Genre},
      {I::V2Comment, I::V1Comment}};
  for (const auto& pair : kPairs) CopyItemText(dialog, pair[0], pair[1]);
}

void CopyToID3v2(HANDLE dialog) {
  if (!Checked(dialog, I::V1Check)) return;
  SetID3v2Side(dialog, true);
  static constexpr int kPairs[][2] = {
      {I::V1Track, I::V2Track}, {I::V1Title, I::V2Title},     {I::V1Artist, I::V2Artist},
      {I::V1Album, I::V2Album}, {I::V1Year, I::V2Year},       {I::V1Genre, I::V2Genre},
      {I::V1Comment, I::V2Comment}};
  for (const auto& pair : kPairs) CopyItemText(dialog, pair[0], pair[1]);
}

// A failed read leaves both the dialog and the object as they were: the
// object is analysed afresh on a copy and taken over only on success.
void Reread(HANDLE dialog) {
  ViewState& s = State();
  audio::MPEGaudio fresh;
  if (!fresh.Analyze(s.fileName)) return;
  *s.audio = fresh;
  FillFromTags(dialog);
}

// Reads a whole small file; false on a read error or beyond `limit` bytes.
bool ReadWhole(const std::string& name, size_t limit, std::string* text) {
  sys::File file;
  if (!file.Open(name, sys::OpenMode::Read)) return false;
  char chunk[4096];
  for (;;) {
    size_t got = 0;
    if (!file.Read(chunk, sizeof chunk, &got)) return false;
    if (got == 0) return true;
    if (text->size() + got > limit) return false;
    text->append(chunk, got);
  }
}

// A comment longer than this is not taken back from the editor.
constexpr size_t kEditedCommentLimit = 16 * 1024 * 1024;

// The ID3v2 comment in the host's editor, whole (the item shows only what
// fits in it), through a temporary file that is gone again on every path out.
void EditComment(HANDLE dialog) {
  ViewState& s = State();
  constexpr DWORD kEditorFlags = EF_DELETEONLYFILEONCLOSE | EF_DISABLEHISTORY;
  const std::string tempName = host::MkTemp();
  if (tempName.empty()) return;
  {
    sys::File file;
    if (!file.Open(tempName, sys::OpenMode::CreateNew)) return;
    const std::string shown = GetText(dialog, I::V2Comment);
    const std::string comment = shown == s.commentShown ? s.commentFull : shown;
    const bool written = file.Write(comment.data(), comment.size());
    if (!file.Close() || !written) {
      // Editing a cut comment would lose its end when saved back.
      sys::DeleteFile(tempName);
      return;
    }
  }
  HANDLE screen = host::SaveScreen();
  host::Editor(tempName.c_str(), "ID3_Comment", 0, 0, -1, -1, kEditorFlags, 0, 0);
  host::RestoreScreen(screen);

  // Without a save the host deleted the file already; after a save it is
  // ours to read and to delete. A read that failed half-way would cut the
  // comment: it stays as it was.
  std::string text;
  if (sys::Exists(tempName) && ReadWhole(tempName, kEditedCommentLimit, &text)) {
    SetText(dialog, I::V2Comment, text);
    s.commentFull = text;
    s.commentShown = GetText(dialog, I::V2Comment);
  }
  sys::DeleteFile(tempName);
}

// Typing on the closed ID3v1 genre list selects the first genre, in the
// list's sorted order, whose name begins with what was typed so far.
long GenreTypeAhead(HANDLE dialog, int key) {
  ViewState& s = State();
  if (key < kFirstPrintableKey || key > kLastPrintableKey) {
    s.typedLength = 0;
    return host::DefDlgProc(dialog, DN_KEY, I::V1Genre, key);
  }
  if (s.typedLength >= static_cast<int>(sizeof(s.typed)) - 1) return 1;
  s.typed[s.typedLength] = static_cast<char>(key);
  s.typed[s.typedLength + 1] = '\0';
  // Entry 0 is "<Unknown>", which is not a name to type.
  for (int i = 1; i < s.genreList.ItemsNumber; ++i) {
    const char* name = s.genreList.Items[i].Text;
    const int order = host::LStrnicmp(name, s.typed, s.typedLength + 1);
    if (order == 0) {
      SetText(dialog, I::V1Genre, name);
      ++s.typedLength;
      break;
    }
    if (order > 0) break;
  }
  return 1;
}

long Handle(HANDLE dialog, int msg, int param1, long param2) {
  ViewState& s = State();
  switch (msg) {
    case DN_INITDIALOG:
      FillFromTags(dialog);
      return 1;
    case DN_CLOSE:
      if (param1 == I::Save || param1 == I::Remove) {
        // The file is written while the dialog is open: when that fails the
        // dialog stays, with everything typed in it.
        const int count = s.fullForm ? I::Count : I::CompactCount;
        FarDialogItem items[I::Count];
        for (int item = 0; item < count; ++item)
          host::SendDlgMessagePtr(dialog, DM_GETDLGITEM, item, &items[item]);
        const bool done = param1 == I::Save ? SaveTags(s, items) : RemoveTags(s);
        if (!done) return 0;
      }
      break;
    case DN_GOTFOCUS:
      if (param1 == I::V1Genre) s.typedLength = 0;
      break;
    case DN_KEY:
      if (param1 == I::V1Genre) return GenreTypeAhead(dialog, static_cast<int>(param2));
      break;
    case DN_BTNCLICK:
      switch (param1) {
        case I::V1Check: SetID3v1Side(dialog, param2 == BSTATE_CHECKED); break;
        case I::V2Check: SetID3v2Side(dialog, param2 == BSTATE_CHECKED); break;
        case I::CopyToV1: CopyToID3v1(dialog); break;
        case I::CopyToV2: CopyToID3v2(dialog); break;
        case I::AudioInfo:
          host::Dialog(-1, -1, kAudioWidth, kAudioHeight, nullptr, s.audioInfo, AudioItem::Count);
          break;
        case I::ExtraFields:
          // The texts left in its items are what a later save writes.
          host::Dialog(-1, -1, kExtraWidth, kExtraHeight, "Id3AddEdit", s.extra, ExtraItem::Count);
          break;
        case I::Reread: Reread(dialog); break;
        case I::V2CommentButton: EditComment(dialog); break;
        default: break;
      }
      break;
    default:
      break;
  }
  return host::DefDlgProc(dialog, msg, param1, param2);
}

}  // namespace

long WINAPI FileInfoProc(HANDLE dialog, int msg, int param1, long param2) {
  // Nothing may unwind through the host's dialog loop.
  try {
    return Handle(dialog, msg, param1, param2);
  } catch (...) {
    return host::DefDlgProc(dialog, msg, param1, param2);
  }
}

}  // namespace views::detail

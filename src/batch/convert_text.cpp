#include "batch/convert_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "audio/mpeg_audio.h"
#include "far/plugin_api.h"
#include "host/dialog_frame.h"
#include "host/far_services.h"
#include "host/operations.h"
#include "host/settings.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/unicode_text.h"
#include "tags/utf8.h"
#include "tagwright/messages.h"

namespace batch {

namespace {

constexpr const char* kSetupKey = "ConvertDialog";
constexpr unsigned kWestern = 1252;

// ------------------------------------------------------------ set-up dialog

enum SetupItem : int {
  SetupBox = 0,
  SetupSourceLabel,
  SetupSource,
  SetupCopyV1,
  SetupConfirm,
  SetupSeparator,
  SetupOk,
  SetupCancel,
  SetupItemCount
};

// clang-format off
constexpr host::DialogItemSpec kSetupSpecs[] = {
    {SetupBox, DI_DOUBLEBOX, 3, 1, 54, 8, 0, 0, 0, 0, MConvertTitle, nullptr},
    {SetupSourceLabel, DI_TEXT, 5, 2, 0, 0, 0, 0, 0, 0, MConvertSource, nullptr},
    {SetupSource, DI_COMBOBOX, 5, 3, 52, 0, 1, 0, DIF_DROPDOWNLIST, 0, host::SpecText(""), nullptr},
    {SetupCopyV1, DI_CHECKBOX, 5, 4, 0, 0, 0, 0, 0, 0, MConvertV1, nullptr},
    {SetupConfirm, DI_CHECKBOX, 5, 5, 0, 0, 0, 0, 0, 0, MConfirmEach, nullptr},
    {SetupSeparator, DI_TEXT, 4, 6, 53, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
    {SetupOk, DI_BUTTON, 0, 7, 0, 0, 0, 0, DIF_CENTERGROUP, 1, MOk, nullptr},
    {SetupCancel, DI_BUTTON, 0, 7, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MCancel, nullptr},
};
// clang-format on
static_assert(host::ItemsInPlace(kSetupSpecs, SetupItemCount));

FarDialogItem setupItems[SetupItemCount];
// The chosen source: an index into SourceCodePages(), or nothing for a guess
// per file.
std::optional<size_t> fixedSource;

// ------------------------------------------------------------ confirmation

enum ConfirmItem : int {
  ConfirmBox = 0,
  ConfirmFile,
  ConfirmLabel,
  ConfirmList,
  ConfirmAskNoMore,
  ConfirmSeparator,
  ConfirmConvert,
  ConfirmSkip,
  ConfirmStop,
  ConfirmItemCount
};

constexpr int kConfirmWidth = 72;
// The code page names take at most this many columns of a preview line.
constexpr size_t kMostNameColumns = 24;

// The line the list starts on, and the one the user left the cursor on.
int confirmChosen = 0;
int confirmPicked = -1;

long WINAPI ConfirmProc(HANDLE dialog, int msg, int param1, long param2) {
  if (msg == DN_INITDIALOG) {
    const FarListPos pos{confirmChosen, -1};
    host::SendDlgMessagePtr(dialog, DM_LISTSETCURPOS, ConfirmList, &pos);
    host::SendDlgMessage(dialog, DM_SETFOCUS, ConfirmList, 0);
  }
  if (msg == DN_CLOSE) {
    FarListPos pos{};
    host::SendDlgMessagePtr(dialog, DM_LISTGETCURPOS, ConfirmList, &pos);
    confirmPicked = pos.SelectPos;
  }
  return host::DefDlgProc(dialog, msg, param1, param2);
}

// Unicode text as the dialogs show it: the host's text, '?' for what it lacks.
std::string ShownText(const std::u16string& units) { return tags::ToHost(tags::Utf8FromUnits(units)); }

// A field of the preview: 8-bit text that the conversion reads in each code
// page (its bytes), or text it leaves as it is (plain ASCII, Unicode frames;
// UTF-8).
struct PreviewField {
  std::string bytes;
  bool converted = false;
};

std::string PreviewLine(const SourceCodePage& page, size_t nameColumns,
                        const std::vector<PreviewField>& fields) {
  std::string line(tags::HostPrefix(page.name, nameColumns));
  line.append(nameColumns + 1 - tags::HostCharCount(line), ' ');
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += " / ";
    const PreviewField& f = fields[i];
    if (f.converted) {
      line += ShownText(page.decode(f.bytes));
    } else {
      line += tags::ToHost(f.bytes);
    }
  }
  return line;
}

// The confirmation's items with `rows` lines of code pages.
// clang-format off
constexpr std::array<host::DialogItemSpec, ConfirmItemCount> ConfirmSpecs(int rows) {
  return {{
      {ConfirmBox, DI_DOUBLEBOX, 3, 1, kConfirmWidth - 4, rows + 7, 0, 0, 0, 0, MConvertTitle, nullptr},
      {ConfirmFile, DI_TEXT, 5, 2, 0, 0, 0, 0, 0, 0, host::SpecText(""), nullptr},
      {ConfirmLabel, DI_TEXT, 5, 3, 0, 0, 0, 0, 0, 0, MReadAs, nullptr},
      {ConfirmList, DI_LISTBOX, 4, 4, kConfirmWidth - 5, rows + 3, 1, 0, DIF_LISTNOBOX | DIF_LISTNOAMPERSAND, 0, host::SpecText(""), nullptr},
      {ConfirmAskNoMore, DI_CHECKBOX, 5, rows + 4, 0, 0, 0, 0, 0, 0, MAskNoMore, nullptr},
      {ConfirmSeparator, DI_TEXT, 4, rows + 5, kConfirmWidth - 5, 0, 0, 0, DIF_SEPARATOR, 0, host::SpecText(""), nullptr},
      {ConfirmConvert, DI_BUTTON, 0, rows + 6, 0, 0, 0, 0, DIF_CENTERGROUP, 1, MConvert, nullptr},
      {ConfirmSkip, DI_BUTTON, 0, rows + 6, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MSkip, nullptr},
      {ConfirmStop, DI_BUTTON, 0, rows + 6, 0, 0, 0, 0, DIF_CENTERGROUP, 0, MStop, nullptr},
  }};
}
// clang-format on
static_assert(host::ItemsInPlace(ConfirmSpecs(1), ConfirmItemCount));

enum class Answer { Convert, Skip, Stop };

// The per-file question: one line per code page, `*chosen` focused; on
// Convert `*chosen` is the line the user left the cursor on.
Answer Confirm(const std::string& fullPath, const std::vector<SourceCodePage>& pages,
               const std::vector<PreviewField>& fields, size_t* chosen, bool* askNoMore) {
  const int rows = static_cast<int>(pages.size());
  const std::array<host::DialogItemSpec, ConfirmItemCount> specs = ConfirmSpecs(rows);
  FarDialogItem items[ConfirmItemCount];
  std::memset(items, 0, sizeof items);
  host::BuildDialogItems(specs.data(), items, ConfirmItemCount);
  host::SetItemText(items[ConfirmFile], host::TruncatedPath(fullPath, kConfirmWidth - 10));
  size_t nameColumns = 0;
  for (const SourceCodePage& p : pages) nameColumns = std::max(nameColumns, tags::HostCharCount(p.name));
  nameColumns = std::min(nameColumns, kMostNameColumns);
  std::vector<FarListItem> entries;
  for (size_t i = 0; i < pages.size(); ++i)
    entries.push_back(host::ListEntry(PreviewLine(pages[i], nameColumns, fields),
                                      i == *chosen ? static_cast<DWORD>(LIF_SELECTED) : 0u));
  FarList list{static_cast<int>(entries.size()), entries.data()};
  items[ConfirmList].ListItems = &list;
  confirmChosen = static_cast<int>(*chosen);
  confirmPicked = -1;
  const int closed = host::DialogEx(-1, -1, kConfirmWidth, rows + 9, "Id3ConvertConfirm", items,
                                    ConfirmItemCount, 0, ConfirmProc, 0);
  *askNoMore = items[ConfirmAskNoMore].Selected != 0;
  if (closed == ConfirmSkip) return Answer::Skip;
  if (closed != ConfirmConvert) return Answer::Stop;
  if (confirmPicked >= 0 && confirmPicked < rows) *chosen = static_cast<size_t>(confirmPicked);
  return Answer::Convert;
}

// ------------------------------------------------------------ ID3v1 fields

struct V1Copy {
  void (tags::ID3v2Tag::*set)(std::string_view);  // null for the track
  std::string text;
  uint8_t track = 0;
};

// The bytes of 8-bit tag text as the file holds them: the tag code page
// reads them into the text and writes them back unchanged.
std::string FileBytes(const std::string& text) {
  std::string bytes;
  tags::Utf8ToBytes(text, tags::TagCodePage, &bytes);
  return bytes;
}

// The ID3v1 fields whose ID3v2 fields are empty, as the bytes of the ID3v1
// tag, which the conversion reads in the chosen code page.
std::vector<V1Copy> FieldsToCopy(const tags::ID3v1Tag& v1, const tags::ID3v2Tag& v2) {
  std::vector<V1Copy> copies;
  if (!v1.Present()) return copies;
  auto add = [&](const std::string& have, const std::string& from,
                 void (tags::ID3v2Tag::*set)(std::string_view)) {
    if (have.empty() && !from.empty()) copies.push_back({set, FileBytes(from)});
  };
  add(v2.Title(), v1.Title(), &tags::ID3v2Tag::SetTitle);
  add(v2.Artist(), v1.Artist(), &tags::ID3v2Tag::SetArtist);
  add(v2.Album(), v1.Album(), &tags::ID3v2Tag::SetAlbum);
  add(v2.Year(), v1.Year(), &tags::ID3v2Tag::SetYear);
  add(v2.Comment(), v1.Comment(), &tags::ID3v2Tag::SetComment);
  if (v1.GenreNumber() != 255) add(v2.Genre(), v1.Genre(), &tags::ID3v2Tag::SetGenre);
  // The track is a number: no code page reads it.
  if (v2.TrackText().empty() && v1.Track() != 0) copies.push_back({nullptr, {}, v1.Track()});
  return copies;
}

// Title, artist and album for the preview: the ID3v2 field when the
// conversion reads it (or leaves it), else the ID3v1 field that is copied.
std::vector<PreviewField> Preview(const tags::ID3v2Tag& v2, const std::vector<std::string>& texts,
                                  const std::vector<V1Copy>& copies) {
  const std::pair<const std::string*, void (tags::ID3v2Tag::*)(std::string_view)> shown[] = {
      {&v2.Title(), &tags::ID3v2Tag::SetTitle},
      {&v2.Artist(), &tags::ID3v2Tag::SetArtist},
      {&v2.Album(), &tags::ID3v2Tag::SetAlbum}};
  std::vector<PreviewField> fields;
  for (const auto& [text, setter] : shown) {
    PreviewField f;
    const std::string bytes = FileBytes(*text);
    f.converted = std::find(texts.begin(), texts.end(), bytes) != texts.end();
    f.bytes = f.converted ? bytes : *text;
    for (const V1Copy& c : copies)
      if (c.set == setter) f = {c.text, tags::HasHighBytes(c.text)};
    fields.push_back(f);
  }
  return fields;
}

}  // namespace

std::vector<SourceCodePage> SourceCodePages() {
  std::vector<SourceCodePage> pages;
  auto fromCodePage = [&](std::string name, const tags::CodePage& page) {
    pages.push_back({std::move(name), [page](std::string_view text) { return tags::ToUnicode(text, page); }});
  };
  tags::CodePage page;
  page.Kind = tags::CodePageKind::Ansi;
  fromCodePage(tags::kWindowsText, page);
  page.Kind = tags::CodePageKind::Oem;
  fromCodePage(tags::kDosText, page);
  constexpr int kMostHostTables = 256;
  for (int n = 0; n < kMostHostTables; ++n) {
    page.Kind = tags::CodePageKind::HostTable;
    std::memset(&page.Table, 0, sizeof page.Table);
    if (host::CharTable(n, reinterpret_cast<char*>(&page.Table), static_cast<int>(sizeof page.Table)) < 0)
      break;
    page.Table.TableName[sizeof page.Table.TableName - 1] = '\0';
    fromCodePage(page.Table.TableName, page);
  }
  if (sys::AnsiCodePage() != kWestern) {
    pages.push_back({host::Msg(MWesternText), [](std::string_view text) {
                       return sys::CodePageToWide(kWestern, text.data(), text.size());
                     }});
  }
  return pages;
}

bool ConvertTextSetup() {
  const std::vector<SourceCodePage> pages = SourceCodePages();
  std::vector<FarListItem> entries{host::ListEntry(host::Msg(MGuessPerFile))};
  for (const SourceCodePage& p : pages) entries.push_back(host::ListEntry(p.name));
  FarList list{static_cast<int>(entries.size()), entries.data()};

  std::memset(setupItems, 0, sizeof setupItems);
  host::BuildDialogItems(kSetupSpecs, setupItems, SetupItemCount);
  setupItems[SetupSource].ListItems = &list;
  host::SetItemText(setupItems[SetupSource], host::ReadString("Source", kSetupKey, host::Msg(MGuessPerFile)));
  setupItems[SetupCopyV1].Selected = host::ReadBool("CopyV1", kSetupKey, false) ? 1 : 0;
  setupItems[SetupConfirm].Selected = host::ReadBool("Confirmation", kSetupKey, true) ? 1 : 0;
  const int closed = host::Dialog(-1, -1, 58, 10, "Id3Convert", setupItems, SetupItemCount);
  setupItems[SetupSource].ListItems = nullptr;
  if (closed != SetupOk) return false;

  const std::string source = host::ItemText(setupItems[SetupSource]);
  fixedSource.reset();
  for (size_t i = 0; i < pages.size(); ++i)
    if (host::LStricmp(pages[i].name.c_str(), source.c_str()) == 0) fixedSource = i;
  host::StoreDialogValues([&] {
    host::WriteString("Source", kSetupKey, source);
    host::WriteBool("CopyV1", kSetupKey, setupItems[SetupCopyV1].Selected != 0);
    host::WriteBool("Confirmation", kSetupKey, setupItems[SetupConfirm].Selected != 0);
  });
  return true;
}

bool ConvertTextConfirmation() { return setupItems[SetupConfirm].Selected != 0; }

bool ConvertTagText(const std::string& fullPath, audio::MPEGaudio& audio, bool& interactive) {
  tags::ID3v2Tag& v2 = audio.ID3v2();
  const std::optional<std::vector<std::string>> found = tags::ID3v2Tag::EightBitTexts(fullPath);
  if (!found) return host::ReportFileFailure(MCannotWriteTags, fullPath);
  std::vector<std::string> texts = *found;
  std::vector<V1Copy> copies;
  if (setupItems[SetupCopyV1].Selected != 0) copies = FieldsToCopy(audio.ID3v1(), v2);
  for (const V1Copy& c : copies)
    if (tags::HasHighBytes(c.text)) texts.push_back(c.text);
  // Nothing 8-bit and nothing to copy: the file is left as it is, unasked.
  if (texts.empty() && copies.empty()) return true;

  const std::vector<SourceCodePage> pages = SourceCodePages();
  size_t chosen = 0;
  if (fixedSource && *fixedSource < pages.size()) {
    chosen = *fixedSource;
  } else {
    std::vector<tags::TextDecoder> decoders;
    for (const SourceCodePage& p : pages) decoders.push_back(p.decode);
    chosen = tags::GuessCodePage(texts, decoders);
  }
  if (interactive && !texts.empty()) {
    bool askNoMore = false;
    const Answer answer = Confirm(fullPath, pages, Preview(v2, texts, copies), &chosen, &askNoMore);
    if (answer == Answer::Stop) return false;
    if (askNoMore) interactive = false;
    if (answer == Answer::Skip) return true;
  }

  for (const V1Copy& c : copies) {
    if (c.set == nullptr)
      v2.SetTrack(c.track);
    else
      (v2.*c.set)(tags::Utf8FromUnits(pages[chosen].decode(c.text)));
  }
  v2.SetTextWriting({true, pages[chosen].decode, true});
  if (!v2.Save(fullPath)) return host::ReportFileFailure(MCannotWriteTags, fullPath);
  host::ReportWriteNotes(fullPath, v2.Notes());
  return true;
}

}  // namespace batch

#include "host/dialog_frame.h"

#include <algorithm>
#include <cstring>

#include "host/far_services.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tags/utf8.h"
#include "tagwright/messages.h"

namespace host {

namespace {

// wvsprintfA writes into a buffer of 1024 characters.
constexpr size_t kFormattedMax = 1024;

constexpr int kBarCells = 43;
constexpr char kEmptyCell = static_cast<char>(0xB0);  // light shade in 437 and 866
constexpr char kFullCell = static_cast<char>(0xDB);   // full block
// The same in UTF-8: U+2591 and U+2588.
constexpr char kEmptyCellUtf8[] = "\xE2\x96\x91";
constexpr char kFullCellUtf8[] = "\xE2\x96\x88";
constexpr size_t kUtf8CellBytes = 3;

bool HostSpeaksUtf8() { return tags::HostCodePage.Kind == tags::CodePageKind::Utf8; }

// The bytes of the character of the host's text at `at`.
size_t CharBytes(std::string_view text, size_t at) {
  if (!HostSpeaksUtf8()) return 1;
  size_t next = at;
  tags::NextChar(text, &next);
  return next - at;
}

struct Progress {
  int total = 0;
  int done = 0;
  HANDLE savedScreen = nullptr;
  bool shown = false;
};
Progress progress;

void ShowBar(int fullCells) {
  fullCells = std::clamp(fullCells, 0, kBarCells);
  // Drawn on every step of a walk: made on the stack, with room for the
  // cells in UTF-8.
  char text[1 + kBarCells * kUtf8CellBytes + 1];
  text[0] = '\n';
  size_t end = 1;
  if (HostSpeaksUtf8()) {
    for (int cell = 0; cell < kBarCells; ++cell, end += kUtf8CellBytes)
      std::memcpy(text + end, cell < fullCells ? kFullCellUtf8 : kEmptyCellUtf8, kUtf8CellBytes);
  } else {
    std::memset(text + 1, kFullCell, static_cast<size_t>(fullCells));
    std::memset(text + 1 + fullCells, kEmptyCell, static_cast<size_t>(kBarCells - fullCells));
    end += kBarCells;
  }
  text[end] = '\0';
  // Without buttons the host draws the box and returns at once; it stays on
  // screen until ProgressEnd restores what was under it.
  Message(FMSG_ALLINONE, nullptr, text);
}

// Formatted text of at most kFormattedMax characters, taken whole.
class Formatted {
 public:
  const std::string& text() const { return text_; }
  bool full() const { return chars_ >= kFormattedMax; }
  // Appends the characters of `piece` that fit; the number appended.
  size_t Append(std::string_view piece) {
    size_t at = 0, taken = 0;
    while (at < piece.size() && !full()) {
      at += CharBytes(piece, at);
      ++chars_;
      ++taken;
    }
    text_.append(piece.data(), std::min(at, piece.size()));
    return taken;
  }
  void Blanks(size_t n) {
    for (; n > 0 && !full(); --n, ++chars_) text_ += ' ';
  }

 private:
  std::string text_;
  size_t chars_ = 0;
};

// Appends `text` as a printf %s with the given flags, width and precision
// would, counting characters.
void AppendField(Formatted& out, const char* text, bool leftAlign, size_t width, bool hasPrecision,
                 size_t precision) {
  std::string_view value = text != nullptr ? std::string_view(text) : std::string_view();
  size_t length = 0, bytes = 0;
  while (bytes < value.size() && (!hasPrecision || length < precision)) {
    bytes += CharBytes(value, bytes);
    ++length;
  }
  value = value.substr(0, std::min(bytes, value.size()));
  const size_t pad = width > length ? width - length : 0;
  if (!leftAlign) out.Blanks(pad);
  out.Append(value);
  if (leftAlign) out.Blanks(pad);
}

}  // namespace

const char* Msg(int n) { return GetMsg(n & 0x7F); }

std::string FormatMsg(int msgId, std::initializer_list<const char*> args) {
  // The conversions of wvsprintfA that a message can hold: %% and %s with
  // its flags, width and precision ('-', digits, '.' digits, and the size
  // prefixes h and l, which change nothing for a text here). Every argument
  // is a text; a %s without an argument left gives an empty text instead of
  // reading past the list, and anything else is copied as it stands. Widths,
  // precisions and the limit count characters, never half of one.
  const char* format = Msg(msgId);
  const char* const* next = args.begin();
  Formatted out;
  for (const char* p = format; *p != '\0' && !out.full(); ++p) {
    if (*p != '%') {
      const char* run = p;
      while (p[1] != '\0' && p[1] != '%') ++p;
      out.Append(std::string_view(run, static_cast<size_t>(p - run) + 1));
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out.Append("%");
      continue;
    }
    bool leftAlign = false;
    while (*p == '-' || *p == '#' || *p == '0') {
      if (*p == '-') leftAlign = true;
      ++p;
    }
    size_t width = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
      width = std::min<size_t>(width * 10 + (*p - '0'), kFormattedMax);
    bool hasPrecision = false;
    size_t precision = 0;
    if (*p == '.') {
      hasPrecision = true;
      for (++p; *p >= '0' && *p <= '9'; ++p) {
        precision = std::min<size_t>(precision * 10 + (*p - '0'), kFormattedMax);
      }
    }
    while (*p == 'h' || *p == 'l') ++p;
    if (*p == 's' || *p == 'S') {
      const char* arg = next != args.end() ? *next++ : nullptr;
      AppendField(out, arg, leftAlign, width, hasPrecision, precision);
      continue;
    }
    // Not a conversion of a text: the characters stay as they are.
    if (*p == '\0') {
      out.Append(start);
      break;
    }
    out.Append(std::string_view(start, static_cast<size_t>(p - start) + 1));
  }
  return out.text();
}

std::string CodePageHint() {
  const std::string pair =
      std::to_string(sys::OemCodePage()) + ":" + std::to_string(sys::AnsiCodePage());
  return FormatMsg(MCodePageHint, {pair.c_str()});
}

int Warning(DWORD flags, const std::string& body) {
  const std::string text = std::string(Msg(MWarning)) + "\n" + body;
  return Message(FMSG_WARNING | FMSG_ALLINONE | flags, nullptr, text.c_str());
}

namespace {

int failuresReported = 0;

bool AskAfterFailure(uint32_t error, int messageId, std::initializer_list<const char*> names) {
  std::string text = Msg(MWarning);
  text += '\n';
  text += FormatMsg(messageId, names);
  text += '\n';
  if (error == sys::kErrorNoUnicodeTranslation) {
    text += CodePageHint();
    text += '\n';
  }
  text += Msg(MGoOn);
  ++failuresReported;
  // The host shows the error the plug-in left: the one taken before the
  // message texts were fetched.
  sys::SetLastError(error);
  const int button =
      Message(FMSG_WARNING | FMSG_ERRORTYPE | FMSG_ALLINONE | FMSG_MB_YESNO, nullptr, text.c_str());
  return button == 0;
}

}  // namespace

int FileFailuresReported() { return failuresReported; }

bool ReportFileFailure(int messageId, const std::string& fileName) {
  const uint32_t error = sys::LastError();
  return AskAfterFailure(error, messageId, {fileName.c_str()});
}

bool ReportFileFailure(int messageId, const std::string& fileName, const std::string& otherName) {
  const uint32_t error = sys::LastError();
  return AskAfterFailure(error, messageId, {fileName.c_str(), otherName.c_str()});
}

void ReportWriteNotes(const std::string& fileName, const tags::WriteNotes& notes) {
  if (notes.unfinished != 0) {
    sys::SetLastError(notes.unfinished);
    Warning(FMSG_ERRORTYPE | FMSG_MB_OK, FormatMsg(MWrittenButNotFinished, {fileName.c_str()}));
  }
  if (!notes.leftover.empty())
    Warning(FMSG_MB_OK, FormatMsg(MLeftoverCopy, {notes.leftover.c_str()}));
}

void ProgressStart(int total) {
  // A display left open by a walk that ended early gives its screen back first.
  if (progress.shown) RestoreScreen(progress.savedScreen);
  progress.savedScreen = SaveScreen(0, 0, -1, -1);
  progress.shown = true;
  ShowBar(0);
  progress.total = total;
  progress.done = 0;
}

void ProgressSet(int position) {
  if (position == 0) return;
  if (progress.done > progress.total) progress.done = progress.total;
  if (position == progress.done) return;
  progress.done = position;
  int cells = kBarCells;
  if (progress.total > 0) {
    cells = static_cast<int>(static_cast<int64_t>(position) * kBarCells / progress.total);
  }
  ShowBar(cells);
}

void ProgressStep(int n) {
  if (progress.done >= progress.total) return;
  const int64_t next = static_cast<int64_t>(progress.done) + n;
  ProgressSet(static_cast<int>(std::min<int64_t>(next, progress.total)));
}

void ProgressEnd() {
  // Restoring releases the saved copy: a second end must not hand the host
  // the same handle again.
  if (!progress.shown) return;
  progress.shown = false;
  RestoreScreen(progress.savedScreen);
  progress.savedScreen = nullptr;
}

void BuildDialogItems(const DialogItemSpec* specs, FarDialogItem* items, int count) {
  for (int i = 0; i < count; ++i) {
    const DialogItemSpec& spec = specs[i];
    FarDialogItem& item = items[i];
    item.Type = spec.Type;
    item.X1 = spec.X1;
    item.Y1 = spec.Y1;
    item.X2 = spec.X2;
    item.Y2 = spec.Y2;
    item.Focus = spec.Focus;
    // One word serves as Selected, History, Mask and ListItems. The bit
    // 0x40000 is DIF_HISTORY on edit fields; on buttons it is DIF_BTNNOCLOSE
    // and their History is none, so the word becomes zero.
    if (spec.Type == DI_COMBOBOX) {
      item.ListItems = nullptr;
    } else if ((spec.Flags & DIF_HISTORY) != 0) {
      item.History = spec.History;
    } else if ((spec.Flags & DIF_MASKEDIT) != 0) {
      item.Mask = spec.History;
    } else {
      item.Selected = spec.Selected;
    }
    item.Flags = spec.Flags;
    item.DefaultButton = spec.DefaultButton;

    const char* text = spec.Data.Message >= 0 ? Msg(spec.Data.Message) : spec.Data.Text;
    if (text == nullptr) text = "";
    const size_t length = FittingBytes(text, sizeof(item.Data) - 1);
    std::memcpy(item.Data, text, length);
    item.Data[length] = '\0';
  }
}

size_t FittingBytes(std::string_view text, size_t room) { return tags::HostPrefix(text, SIZE_MAX, room).size(); }

void SetItemText(FarDialogItem& item, const std::string& text) {
  std::memset(item.Data, 0, sizeof(item.Data));
  text.copy(item.Data, FittingBytes(text, sizeof(item.Data) - 1));
}

std::string ItemText(const FarDialogItem& item) {
  return std::string(item.Data, strnlen(item.Data, sizeof(item.Data)));
}

FarListItem ListEntry(const std::string& text, DWORD flags) {
  FarListItem entry;
  std::memset(&entry, 0, sizeof entry);
  entry.Flags = flags;
  const std::string_view shown(text.data(), std::min(text.find('\0'), text.size()));
  shown.copy(entry.Text, FittingBytes(shown, sizeof(entry.Text) - 1));
  return entry;
}

std::string CodePageShownName(const std::string& setting) {
  if (setting == tags::kDosText) return Msg(MDosText);
  if (setting == tags::kWindowsText) return Msg(MWindowsText);
  return setting;
}

std::string CodePageSettingName(const std::string& shown) {
  if (shown == Msg(MDosText)) return tags::kDosText;
  if (shown == Msg(MWindowsText)) return tags::kWindowsText;
  return shown;
}

std::vector<FarListItem> CodePageListItems(bool withUtf8) {
  constexpr int kMostHostTables = 256;
  std::vector<FarListItem> entries{ListEntry(Msg(MDosText)), ListEntry(Msg(MWindowsText))};
  if (withUtf8) entries.push_back(ListEntry(tags::kUtf8Text));
  // Each table is asked for with a whole buffer: a host may refuse a smaller
  // one, and the name is needed anyway.
  for (int n = 0; n < kMostHostTables; ++n) {
    CharTableSet table;
    std::memset(&table, 0, sizeof table);
    if (CharTable(n, &table) == -1) break;
    if (n == 0) entries.push_back(ListEntry("", LIF_SEPARATOR));
    // The host's name is not trusted to end within its field.
    entries.push_back(ListEntry(std::string(table.TableName, strnlen(table.TableName, sizeof table.TableName))));
  }
  return entries;
}

}  // namespace host

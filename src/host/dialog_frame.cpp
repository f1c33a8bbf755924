#include "host/dialog_frame.h"

#include <algorithm>
#include <cstring>

#include "host/far_services.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tagwright/messages.h"

namespace host {

namespace {

// wvsprintfA writes into a buffer of 1024 characters.
constexpr size_t kFormattedMax = 1024;

constexpr int kBarCells = 43;
constexpr char kEmptyCell = static_cast<char>(0xB0);  // light shade in 437 and 866
constexpr char kFullCell = static_cast<char>(0xDB);   // full block

struct Progress {
  int total = 0;
  int done = 0;
  HANDLE savedScreen = nullptr;
  bool shown = false;
};
Progress progress;

void ShowBar(int fullCells) {
  fullCells = std::clamp(fullCells, 0, kBarCells);
  // Drawn on every step of a walk: made on the stack.
  char text[1 + kBarCells + 1];
  text[0] = '\n';
  std::memset(text + 1, kFullCell, static_cast<size_t>(fullCells));
  std::memset(text + 1 + fullCells, kEmptyCell, static_cast<size_t>(kBarCells - fullCells));
  text[1 + kBarCells] = '\0';
  // Without buttons the host draws the box and returns at once; it stays on
  // screen until ProgressEnd restores what was under it.
  Message(FMSG_ALLINONE, nullptr, text);
}

// Appends `text` to `out` as a printf %s with the given flags, width and
// precision would, never beyond `limit` characters in all.
void AppendField(std::string& out, const char* text, bool leftAlign, size_t width,
                 bool hasPrecision, size_t precision, size_t limit) {
  size_t length = text != nullptr ? std::strlen(text) : 0;
  if (hasPrecision) length = std::min(length, precision);
  const size_t pad = width > length ? width - length : 0;
  auto room = [&] { return limit - out.size(); };
  if (!leftAlign) out.append(std::min(pad, room()), ' ');
  if (length > 0) out.append(text, std::min(length, room()));
  if (leftAlign) out.append(std::min(pad, room()), ' ');
}

}  // namespace

const char* Msg(int n) { return GetMsg(n & 0x7F); }

std::string FormatMsg(int msgId, std::initializer_list<const char*> args) {
  // The conversions of wvsprintfA that a message can hold: %% and %s with
  // its flags, width and precision ('-', digits, '.' digits, and the size
  // prefixes h and l, which change nothing for a text here). Every argument
  // is a text; a %s without an argument left gives an empty text instead of
  // reading past the list, and anything else is copied as it stands.
  const char* format = Msg(msgId);
  const char* const* next = args.begin();
  std::string out;
  for (const char* p = format; *p != '\0' && out.size() < kFormattedMax; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out += '%';
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
      AppendField(out, arg, leftAlign, width, hasPrecision, precision, kFormattedMax);
      continue;
    }
    // Not a conversion of a text: the characters stay as they are.
    if (*p == '\0') {
      out.append(start, std::min<size_t>(std::strlen(start), kFormattedMax - out.size()));
      break;
    }
    out.append(start,
               std::min<size_t>(static_cast<size_t>(p - start) + 1, kFormattedMax - out.size()));
  }
  if (out.size() > kFormattedMax) out.resize(kFormattedMax);
  return out;
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
  // The host shows the error the plug-in left: the one taken before the
  // message texts were fetched.
  sys::SetLastError(error);
  const int button =
      Message(FMSG_WARNING | FMSG_ERRORTYPE | FMSG_ALLINONE | FMSG_MB_YESNO, nullptr, text.c_str());
  return button == 0;
}

}  // namespace

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
    const size_t length = std::min(std::strlen(text), sizeof(item.Data) - 1);
    std::memcpy(item.Data, text, length);
    item.Data[length] = '\0';
  }
}

void SetItemText(FarDialogItem& item, const std::string& text) {
  std::memset(item.Data, 0, sizeof(item.Data));
  text.copy(item.Data, sizeof(item.Data) - 1);
}

std::string ItemText(const FarDialogItem& item) {
  return std::string(item.Data, strnlen(item.Data, sizeof(item.Data)));
}

FarListItem ListEntry(const std::string& text, DWORD flags) {
  FarListItem entry;
  std::memset(&entry, 0, sizeof entry);
  entry.Flags = flags;
  text.substr(0, text.find('\0')).copy(entry.Text, sizeof(entry.Text) - 1);
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

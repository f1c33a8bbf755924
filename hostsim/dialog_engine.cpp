#include "hostsim/dialog_engine.h"

#include <algorithm>
#include <cstring>

#include "hostsim/host.h"
#include "hostsim/host_text.h"
#include "hostsim/hotkeys.h"
#include "hostsim/oem_case.h"
#include "hostsim/transcript.h"

namespace hostsim {

namespace {

constexpr size_t kDataBytes = 511;  // the 512-byte Data field and its terminator
constexpr size_t kNoLimit = static_cast<size_t>(-1);
constexpr int kMaxListEntries = 1 << 20;
constexpr DWORD kKeyCtrlY = KEY_CTRL | 'Y';

const char* TypeName(int type) {
  switch (type) {
    case DI_TEXT: return "TEXT";
    case DI_VTEXT: return "VTEXT";
    case DI_SINGLEBOX: return "SINGLEBOX";
    case DI_DOUBLEBOX: return "DOUBLEBOX";
    case DI_EDIT: return "EDIT";
    case DI_PSWEDIT: return "PSWEDIT";
    case DI_FIXEDIT: return "FIXEDIT";
    case DI_BUTTON: return "BUTTON";
    case DI_CHECKBOX: return "CHECKBOX";
    case DI_RADIOBUTTON: return "RADIOBUTTON";
    case DI_COMBOBOX: return "COMBOBOX";
    case DI_LISTBOX: return "LISTBOX";
    case DI_USERCONTROL: return "USERCONTROL";
    default: return "UNKNOWN";
  }
}

bool IsListType(int type) { return type == DI_COMBOBOX || type == DI_LISTBOX; }
bool IsCheckType(int type) { return type == DI_CHECKBOX || type == DI_RADIOBUTTON; }
bool IsEditType(int type) {
  return type == DI_EDIT || type == DI_FIXEDIT || type == DI_PSWEDIT || type == DI_COMBOBOX;
}

bool IsMaskChar(HostChar m) { return m == '9' || m == '#' || m == 'N' || m == 'A' || m == 'X'; }

// The host's edit masks: 9 a digit, # a digit, blank or sign, N a letter or
// digit, A a letter, X anything; other mask characters stand as they are.
bool FitsMaskChar(HostChar m, HostChar c) {
  bool digit = c >= '0' && c <= '9';
  bool letter = HostIsAlpha(c);
  switch (m) {
    case '9': return digit;
    case '#': return digit || c == ' ' || c == '+' || c == '-';
    case 'N': return digit || letter;
    case 'A': return letter;
    case 'X': return true;
    default: return c == m;
  }
}

// Texts are edited as characters of the host's text (host_text.h): the
// cursor and the selection count characters, and a text goes back to bytes
// only whole.
std::u32string CharsOf(const std::string& text) {
  std::u32string chars;
  for (size_t at = 0; at < text.size();) chars.push_back(NextHostChar(text, &at));
  return chars;
}

std::string TextOf(const std::u32string& chars) {
  std::string text;
  for (const HostChar c : chars) AppendHostChar(c, &text);
  return text;
}

int CharLength(const std::string& text) { return static_cast<int>(HostCharCount(text)); }

}  // namespace

DialogEngine::DialogEngine(int x1, int y1, int x2, int y2, const char* helpTopic,
                           FarDialogItem* items, int count, DWORD flags, FARWINDOWPROC proc,
                           long param)
    : helpTopic_(helpTopic != nullptr ? helpTopic : ""),
      flags_(flags),
      proc_(proc),
      param_(param),
      userData_(param),
      callerItems_(items) {
  // x1 = y1 = -1 centres the dialog; x2 and y2 are then its size.
  width_ = x1 < 0 ? x2 : x2 - x1 + 1;
  height_ = y1 < 0 ? y2 : y2 - y1 + 1;
  std::memset(&scratch_, 0, sizeof(scratch_));
  items_.resize(count > 0 ? count : 0);
  for (int i = 0; i < count; ++i) {
    Item& it = items_[i];
    it.far = items[i];
    int type = it.far.Type;
    if (IsEditType(type) && (it.far.Flags & DIF_VAREDIT) && type != DI_COMBOBOX) {
      const auto& ptr = it.far.Ptr;
      size_t cap = ptr.PtrLength > 0 ? static_cast<size_t>(ptr.PtrLength) : 0;
      if (ptr.PtrData != nullptr && cap > 0) it.text.assign(ptr.PtrData, strnlen(ptr.PtrData, cap));
    } else {
      it.text.assign(it.far.Data, strnlen(it.far.Data, sizeof(it.far.Data)));
    }
    if ((type == DI_EDIT || type == DI_FIXEDIT) && (it.far.Flags & DIF_HISTORY) &&
        !(type == DI_FIXEDIT && (it.far.Flags & DIF_MASKEDIT)) && it.far.History != nullptr) {
      it.history = it.far.History;
    }
    if (type == DI_FIXEDIT && (it.far.Flags & DIF_MASKEDIT) && it.far.Mask != nullptr) {
      it.mask = it.far.Mask;
    }
    if (IsListType(type)) {
      LoadList(it, it.far.ListItems);
      for (size_t k = 0; k < it.list.size(); ++k) {
        if (it.list[k].flags & LIF_SELECTED) {
          it.listPos = static_cast<int>(k);
          break;
        }
      }
      if (it.listPos < 0 && type == DI_COMBOBOX) it.listPos = FindEntry(it, it.text);
      if (it.listPos < 0 && type == DI_LISTBOX && !it.list.empty()) it.listPos = 0;
    }
    it.maxBytes = ByteRoom(it);
    it.maxChars = CharRoom(it);
    it.cursor = CharLength(it.text);
  }
  for (int i = 0; i < count && focus_ < 0; ++i) {
    if (items_[i].far.Focus && Focusable(i)) focus_ = i;
  }
  for (int i = 0; i < count && focus_ < 0; ++i) {
    if (Focusable(i)) focus_ = i;
  }
}

size_t DialogEngine::ByteRoom(const Item& it) const {
  int type = it.far.Type;
  if (IsEditType(type) && (it.far.Flags & DIF_VAREDIT) && type != DI_COMBOBOX) {
    return it.far.Ptr.PtrLength > 0 ? static_cast<size_t>(it.far.Ptr.PtrLength - 1) : 0;
  }
  return kDataBytes;
}

size_t DialogEngine::CharRoom(const Item& it) const {
  if (it.far.Type == DI_FIXEDIT) {
    if (!it.mask.empty()) return std::min(HostCharCount(it.mask), kDataBytes);
    if (it.far.X2 >= it.far.X1) {
      return std::min(static_cast<size_t>(it.far.X2 - it.far.X1 + 1), kDataBytes);
    }
  }
  return kNoLimit;
}

bool DialogEngine::Fits(const Item& it, const std::string& text) const {
  return text.size() <= it.maxBytes &&
         (it.maxChars == kNoLimit || HostCharCount(text) <= it.maxChars);
}

std::string DialogEngine::LimitOf(const Item& it) const {
  if (it.maxChars != kNoLimit && it.maxChars <= it.maxBytes)
    return std::to_string(it.maxChars) + " characters";
  if (!HostSpeaksUtf8()) return std::to_string(it.maxBytes) + " characters";
  return std::to_string(it.maxBytes) + " bytes" +
         (it.maxChars != kNoLimit ? " and " + std::to_string(it.maxChars) + " characters" : "");
}

void DialogEngine::LoadList(Item& it, const FarList* list) {
  it.list.clear();
  if (list == nullptr || list->Items == nullptr) return;
  int n = std::min(std::max(list->ItemsNumber, 0), kMaxListEntries);
  for (int k = 0; k < n; ++k) {
    ListEntry e;
    e.flags = list->Items[k].Flags & ~static_cast<DWORD>(LIF_SELECTED);
    e.text.assign(list->Items[k].Text, strnlen(list->Items[k].Text, sizeof(list->Items[k].Text)));
    it.list.push_back(e);
  }
}

int DialogEngine::FindEntry(const Item& it, const std::string& text) const {
  for (size_t k = 0; k < it.list.size(); ++k) {
    if (it.list[k].flags & LIF_SEPARATOR) continue;
    if (CompareNoCase(it.list[k].text.c_str(), text.c_str()) == 0) return static_cast<int>(k);
  }
  return -1;
}

void DialogEngine::Start() {
  starting_ = true;
  CallProc(DN_INITDIALOG, focus_, param_);
  starting_ = false;
  if (!closed_ && focus_ >= 0) {
    Item& it = items_[focus_];
    if ((it.far.Flags & DIF_SELECTONENTRY) && IsEditType(it.far.Type) && !it.text.empty()) {
      it.selStart = 0;
      it.selEnd = CharLength(it.text);
    }
    CallProc(DN_GOTFOCUS, focus_, 0);
  }
}

void DialogEngine::Finish() {
  for (int i = 0; i < count(); ++i) {
    FillFarItem(i, &callerItems_[i]);
    // As FAR does: a list's chosen position takes the place of the list
    // pointer (the two share a union), so that the caller reads the position;
    // a caller that runs the same items again must give the list again.
    if (IsListType(callerItems_[i].Type)) callerItems_[i].ListPos = items_[i].listPos;
  }
}

std::string DialogEngine::title() const {
  for (const auto& it : items_) {
    if (it.far.Type == DI_DOUBLEBOX || it.far.Type == DI_SINGLEBOX) return it.text;
  }
  return std::string();
}

std::string DialogEngine::name() const {
  if (!helpTopic_.empty()) return helpTopic_;
  std::string t = title();
  return t.empty() ? std::string("dialog") : t;
}

int DialogEngine::type(int item) const { return Valid(item) ? items_[item].far.Type : -1; }
std::string DialogEngine::text(int item) const {
  return Valid(item) ? items_[item].text : std::string();
}
int DialogEngine::check(int item) const {
  return Valid(item) && IsCheckType(items_[item].far.Type) ? items_[item].far.Selected : 0;
}
bool DialogEngine::enabled(int item) const {
  return Valid(item) && !(items_[item].far.Flags & DIF_DISABLE);
}
bool DialogEngine::visible(int item) const {
  return Valid(item) && !(items_[item].far.Flags & DIF_HIDDEN);
}
int DialogEngine::cursorColumn(int item) const { return Valid(item) ? items_[item].cursor : -1; }
int DialogEngine::listPos(int item) const { return Valid(item) ? items_[item].listPos : -1; }

std::vector<std::string> DialogEngine::listTexts(int item) const {
  std::vector<std::string> out;
  if (!Valid(item)) return out;
  for (const auto& e : items_[item].list) out.push_back(e.text);
  return out;
}

std::string DialogEngine::DescribeItem(int i) const {
  const Item& it = items_[i];
  int t = it.far.Type;
  DWORD f = it.far.Flags;
  std::string line = "  [" + std::to_string(i) + "] " + TypeName(t);
  bool separator = (t == DI_TEXT || t == DI_VTEXT) && (f & (DIF_SEPARATOR | DIF_SEPARATOR2));
  if (!(separator && it.text.empty())) line.append(" ").append(Quote(it.text));
  if (separator) line += " separator";
  if (IsCheckType(t)) {
    line += it.far.Selected == 0 ? " off" : it.far.Selected == 1 ? " on" : " 3state";
  }
  if (t == DI_RADIOBUTTON && (f & DIF_GROUP)) line += " group";
  if (i == focus_) line += " focus";
  if (t == DI_BUTTON && it.far.DefaultButton) line += " default";
  if (t == DI_BUTTON && (f & DIF_BTNNOCLOSE)) line += " stays-open";
  if (f & DIF_DISABLE) line += " disabled";
  if (f & DIF_HIDDEN) line += " hidden";
  if (IsEditType(t) && (f & DIF_READONLY)) line += " read-only";
  if (t == DI_COMBOBOX && (f & DIF_DROPDOWNLIST)) line += " drop-down";
  if (!it.history.empty()) line += " history " + Quote(it.history);
  if (!it.mask.empty()) line += " mask " + Quote(it.mask);
  if (IsListType(t)) {
    constexpr size_t kShown = 20;
    line += " list[" + std::to_string(it.list.size()) + "]";
    for (size_t k = 0; k < it.list.size() && k < kShown; ++k) {
      line += k == 0 ? " " : " | ";
      line += (it.list[k].flags & LIF_SEPARATOR) ? std::string("---") : Quote(it.list[k].text);
    }
    if (it.list.size() > kShown) line += " | ...";
    if (it.listPos >= 0) line += " at " + std::to_string(it.listPos);
  }
  return line;
}

std::vector<std::string> DialogEngine::DescribeItems() const {
  std::vector<std::string> lines;
  for (int i = 0; i < count(); ++i) lines.push_back(DescribeItem(i));
  return lines;
}

void DialogEngine::Note(const std::string& text) {
  Host::Current().transcript().Add("dialog " + Quote(name()) + ": " + text);
}

long DialogEngine::CallProc(int msg, int param1, long param2) {
  if (proc_ != nullptr) return proc_(handle(), msg, param1, param2);
  return DefaultProc(msg, param1, param2);
}

bool DialogEngine::IsEditLike(int item) const {
  return Valid(item) && IsEditType(items_[item].far.Type) && !IsDropDown(item);
}

bool DialogEngine::IsDropDown(int item) const {
  return Valid(item) && items_[item].far.Type == DI_COMBOBOX &&
         (items_[item].far.Flags & DIF_DROPDOWNLIST);
}

bool DialogEngine::Focusable(int item) const {
  if (!Valid(item)) return false;
  int t = items_[item].far.Type;
  if (t == DI_TEXT || t == DI_VTEXT || t == DI_SINGLEBOX || t == DI_DOUBLEBOX) return false;
  return !(items_[item].far.Flags & (DIF_DISABLE | DIF_HIDDEN | DIF_NOFOCUS));
}

bool DialogEngine::CheckUsable(int item, std::string* error) const {
  if (!Valid(item)) {
    *error = "the dialog has no item " + std::to_string(item) + " (it has " +
             std::to_string(count()) + ")";
    return false;
  }
  if (items_[item].far.Flags & DIF_DISABLE) {
    *error = "item " + std::to_string(item) + " is disabled";
    return false;
  }
  if (items_[item].far.Flags & DIF_HIDDEN) {
    *error = "item " + std::to_string(item) + " is hidden";
    return false;
  }
  return true;
}

bool DialogEngine::MoveFocus(int item) {
  if (item == focus_) return true;
  if (focus_ >= 0) {
    int leaving = focus_;
    long r = CallProc(DN_KILLFOCUS, leaving, 0);
    if (closed_) return false;
    if (r != -1 && Valid(static_cast<int>(r)) && r != item &&
        (r == leaving || Focusable(static_cast<int>(r)))) {
      int keep = static_cast<int>(r);
      if (keep != focus_) {
        focus_ = keep;
        CallProc(DN_GOTFOCUS, keep, 0);
      }
      Note("the focus stays on item " + std::to_string(keep) + " (DN_KILLFOCUS of item " +
           std::to_string(leaving) + " answered " + std::to_string(r) + ")");
      return false;
    }
  }
  focus_ = item;
  Item& it = items_[item];
  it.cursor = CharLength(it.text);
  it.selStart = it.selEnd = -1;
  if ((it.far.Flags & DIF_SELECTONENTRY) && IsEditType(it.far.Type) && !it.text.empty()) {
    it.selStart = 0;
    it.selEnd = it.cursor;
  }
  CallProc(DN_GOTFOCUS, item, 0);
  return true;
}

bool DialogEngine::SetFocusByMessage(int item) {
  if (starting_) {
    focus_ = item;
    return true;
  }
  return MoveFocus(item) && focus_ == item;
}

void DialogEngine::TryClose(int code) {
  if (closed_) return;
  long r = CallProc(DN_CLOSE, code, 0);
  if (closed_) return;  // closed meanwhile through DM_CLOSE
  if (r != 0) {
    closed_ = true;
    exitCode_ = code;
  } else {
    Note("DN_CLOSE (" + std::to_string(code) + ") kept the dialog open");
  }
}

void DialogEngine::ForceClose() {
  if (closed_) return;
  long r = CallProc(DN_CLOSE, -1, 0);
  if (!closed_ && r == 0) Note("closed with Esc although DN_CLOSE kept it open");
  closed_ = true;
  exitCode_ = -1;
}

void DialogEngine::PressButton(int item) {
  CallProc(DN_BTNCLICK, item, 0);
  if (closed_) return;
  if (!(items_[item].far.Flags & DIF_BTNNOCLOSE)) TryClose(item);
}

void DialogEngine::ToggleCheck(int item) {
  Item& it = items_[item];
  int states = (it.far.Flags & DIF_3STATE) ? 3 : 2;
  int old = it.far.Selected;
  it.far.Selected = (old + 1) % states;
  if (CallProc(DN_BTNCLICK, item, it.far.Selected) == 0) {
    it.far.Selected = old;
    Note("DN_BTNCLICK of item " + std::to_string(item) + " took the change back");
  }
}

int DialogEngine::RadioGroupStart(int item) const {
  int start = item;
  while (start > 0 && !(items_[start].far.Flags & DIF_GROUP) &&
         items_[start - 1].far.Type == DI_RADIOBUTTON) {
    --start;
  }
  return start;
}

int DialogEngine::RadioGroupEnd(int item) const {
  int end = item;
  while (end + 1 < count() && items_[end + 1].far.Type == DI_RADIOBUTTON &&
         !(items_[end + 1].far.Flags & DIF_GROUP)) {
    ++end;
  }
  return end;
}

void DialogEngine::SelectRadio(int item) {
  int start = RadioGroupStart(item), end = RadioGroupEnd(item);
  int previous = -1;
  for (int k = start; k <= end; ++k) {
    if (items_[k].far.Selected && previous < 0) previous = k;
  }
  if (previous == item) return;
  for (int k = start; k <= end; ++k) items_[k].far.Selected = 0;
  items_[item].far.Selected = 1;
  if (CallProc(DN_BTNCLICK, item, previous) == 0) {
    items_[item].far.Selected = 0;
    if (previous >= 0) items_[previous].far.Selected = 1;
    Note("DN_BTNCLICK of item " + std::to_string(item) + " took the change back");
  }
}

void DialogEngine::SelectEntry(int item, int entry, bool notify) {
  Item& it = items_[item];
  if (notify && CallProc(DN_LISTCHANGE, item, entry) == 0) {
    Note("DN_LISTCHANGE of item " + std::to_string(item) + " refused entry " +
         std::to_string(entry));
    return;
  }
  it.listPos = entry;
  if (it.far.Type == DI_COMBOBOX && entry >= 0 && entry < static_cast<int>(it.list.size())) {
    std::string old = it.text;
    SetTextInternal(item, it.list[entry].text);
    it.cursor = CharLength(it.text);
    if (notify && it.text != old) EditChanged(item);
  }
}

void DialogEngine::SetTextInternal(int item, const std::string& text) {
  Item& it = items_[item];
  if (IsEditType(it.far.Type)) {
    it.text = CutHostText(text, it.maxChars, it.maxBytes);
  } else {
    it.text = CutHostText(text, kNoLimit, kDataBytes);
  }
  it.cursor = std::min(it.cursor, CharLength(it.text));
  it.selStart = it.selEnd = -1;
  if (IsListType(it.far.Type) && it.far.Type == DI_COMBOBOX) {
    int k = FindEntry(it, it.text);
    if (k >= 0) it.listPos = k;
  }
}

void DialogEngine::EditChanged(int item) {
  items_[item].unchanged = false;
  FillFarItem(item, &scratch_);
  CallProc(DN_EDITCHANGE, item, reinterpret_cast<long>(&scratch_));
}

bool DialogEngine::FitsMask(const Item& it, const std::string& text) const {
  if (it.mask.empty()) return true;
  const std::u32string mask = CharsOf(it.mask), chars = CharsOf(text);
  if (chars.size() > mask.size()) return false;
  for (size_t p = 0; p < chars.size(); ++p) {
    if (!FitsMaskChar(mask[p], chars[p])) return false;
  }
  return true;
}

bool DialogEngine::InsertChar(int item, HostChar c) {
  Item& it = items_[item];
  std::u32string t = CharsOf(it.text);
  int cur = std::min(it.cursor, static_cast<int>(t.size()));
  if (it.selStart >= 0 && it.selEnd > it.selStart && it.selStart < static_cast<int>(t.size())) {
    t.erase(static_cast<size_t>(it.selStart), static_cast<size_t>(it.selEnd - it.selStart));
    cur = it.selStart;
  }
  if (!it.mask.empty()) {
    const std::u32string mask = CharsOf(it.mask);
    const int maskLength = static_cast<int>(mask.size());
    // Literal characters of the mask are stepped over (and filled in).
    while (cur < maskLength && !IsMaskChar(mask[cur])) {
      if (cur >= static_cast<int>(t.size())) t.push_back(mask[cur]);
      ++cur;
    }
    if (cur >= maskLength || !FitsMaskChar(mask[cur], c)) return false;
    while (static_cast<int>(t.size()) < cur) t.push_back(' ');
    if (cur < static_cast<int>(t.size())) {
      t[cur] = c;
    } else {
      t.push_back(c);
    }
  } else {
    t.insert(t.begin() + cur, c);
  }
  std::string text = TextOf(t);
  // A character that would not fit whole is not typed.
  if (!Fits(it, text)) return false;
  it.text = std::move(text);
  it.cursor = cur + 1;
  it.selStart = it.selEnd = -1;
  return true;
}

void DialogEngine::ApplyEditKey(int item, DWORD key) {
  Item& it = items_[item];
  bool readOnly = (it.far.Flags & DIF_READONLY) != 0;
  std::string before = it.text;
  std::u32string chars = CharsOf(it.text);
  int len = static_cast<int>(chars.size());
  bool hasSelection = it.selStart >= 0 && it.selEnd > it.selStart && it.selStart < len;
  auto dropSelection = [&] {
    chars.erase(static_cast<size_t>(it.selStart), static_cast<size_t>(it.selEnd - it.selStart));
    it.text = TextOf(chars);
    it.cursor = it.selStart;
    it.selStart = it.selEnd = -1;
  };
  if (const HostChar typed = KeyChar(key); typed != 0) {
    if (!readOnly) InsertChar(item, typed);
  } else if (key == KEY_BS) {
    if (readOnly) return;
    if (hasSelection) {
      dropSelection();
    } else if (it.cursor > 0 && it.cursor <= len) {
      chars.erase(static_cast<size_t>(it.cursor - 1), 1);
      it.text = TextOf(chars);
      --it.cursor;
    }
  } else if (key == KEY_DEL) {
    if (readOnly) return;
    if (hasSelection) {
      dropSelection();
    } else if (it.cursor < len) {
      chars.erase(static_cast<size_t>(it.cursor), 1);
      it.text = TextOf(chars);
    }
  } else if (key == kKeyCtrlY) {
    if (!readOnly) {
      it.text.clear();
      it.cursor = 0;
      it.selStart = it.selEnd = -1;
    }
  } else if (key == KEY_LEFT || key == KEY_RIGHT || key == KEY_HOME || key == KEY_END) {
    it.selStart = it.selEnd = -1;
    if (key == KEY_LEFT && it.cursor > 0) --it.cursor;
    if (key == KEY_RIGHT && it.cursor < len) ++it.cursor;
    if (key == KEY_HOME) it.cursor = 0;
    if (key == KEY_END) it.cursor = len;
  }
  if (it.text != before) EditChanged(item);
}

void DialogEngine::NextFocus(int step) {
  int n = count();
  if (n == 0) return;
  int start = focus_ < 0 ? (step > 0 ? -1 : 0) : focus_;
  for (int k = 1; k <= n; ++k) {
    int candidate = ((start + step * k) % n + n) % n;
    if (Focusable(candidate)) {
      MoveFocus(candidate);
      return;
    }
  }
}

void DialogEngine::ProcessKey(DWORD key) {
  if (closed_) return;
  if (CallProc(DN_KEY, focus_, static_cast<long>(key)) != 0 || closed_) return;
  int f = focus_;
  int t = Valid(f) ? items_[f].far.Type : -1;
  switch (key) {
    case KEY_ESC:
    case KEY_F10:
      TryClose(-1);
      return;
    case KEY_ENTER:
    case KEY_CTRLENTER:
      if (key == KEY_ENTER && t == DI_BUTTON) {
        PressButton(f);
        return;
      }
      for (int i = 0; i < count(); ++i) {
        if (items_[i].far.Type == DI_BUTTON && items_[i].far.DefaultButton && enabled(i)) {
          TryClose(i);
          return;
        }
      }
      TryClose(f);
      return;
    case KEY_TAB:
      NextFocus(1);
      return;
    case KEY_SHIFTTAB:
      NextFocus(-1);
      return;
    case KEY_DOWN:
    case KEY_UP:
      if (t == DI_LISTBOX) {
        Item& it = items_[f];
        int pos = it.listPos + (key == KEY_DOWN ? 1 : -1);
        if (pos >= 0 && pos < static_cast<int>(it.list.size())) SelectEntry(f, pos, true);
      } else {
        NextFocus(key == KEY_DOWN ? 1 : -1);
      }
      return;
    case KEY_SPACE:
      if (t == DI_CHECKBOX) {
        ToggleCheck(f);
        return;
      }
      if (t == DI_RADIOBUTTON) {
        SelectRadio(f);
        return;
      }
      if (t == DI_BUTTON) {
        PressButton(f);
        return;
      }
      break;
    default:
      break;
  }
  // Alt with an item's hot key, or the hot key alone where a character types
  // nothing (buttons, check boxes, radio buttons).
  const bool typing = IsEditLike(f) || IsDropDown(f) || t == DI_LISTBOX;
  const HostChar hot = HotkeyChar(key, !typing);
  if (hot != 0 && ActivateHotkey(hot, key)) return;
  if (IsEditLike(f)) {
    ApplyEditKey(f, key);
  } else if (IsDropDown(f) && KeyChar(key) != 0) {
    // A drop-down list jumps to the first entry starting with the letter.
    Item& it = items_[f];
    std::string c;
    AppendHostChar(KeyChar(key), &c);
    for (size_t k = 0; k < it.list.size(); ++k) {
      if (!(it.list[k].flags & LIF_SEPARATOR) &&
          CompareNoCase(it.list[k].text.c_str(), c.c_str(), 1) == 0) {
        SelectEntry(f, static_cast<int>(k), true);
        break;
      }
    }
  }
}

int DialogEngine::HotkeyItem(HostChar hot) const {
  for (int i = 0; i < count(); ++i) {
    const Item& it = items_[i];
    const int t = it.far.Type;
    if (t != DI_TEXT && t != DI_VTEXT && t != DI_BUTTON && !IsCheckType(t)) continue;
    if (it.far.Flags & (DIF_HIDDEN | DIF_DISABLE | DIF_SHOWAMPERSAND)) continue;
    if (HotkeyOf(it.text) == hot) return i;
  }
  return -1;
}

bool DialogEngine::ActivateHotkey(HostChar hot, DWORD key) {
  const int item = HotkeyItem(hot);
  if (item < 0) return false;
  const int type = items_[item].far.Type;
  int target = item;
  if (type == DI_TEXT || type == DI_VTEXT) {
    // A label hands the focus to the item after it.
    target = -1;
    for (int j = item + 1; j < count() && target < 0; ++j) {
      if (Focusable(j)) target = j;
    }
  } else if (!Focusable(item)) {
    target = -1;
  }
  if (target < 0) return false;
  if (CallProc(DN_HOTKEY, item, static_cast<long>(key)) == 0 || closed_) return true;
  if (!MoveFocus(target)) return true;
  if (target != item) return true;
  if (type == DI_BUTTON) {
    PressButton(item);
  } else if (type == DI_CHECKBOX) {
    ToggleCheck(item);
  } else if (type == DI_RADIOBUTTON) {
    SelectRadio(item);
  }
  return true;
}

// ---------------------------------------------------------------- user actions

bool DialogEngine::SetText(int item, const std::string& text, std::string* error) {
  if (!CheckUsable(item, error)) return false;
  if (IsDropDown(item)) {
    int entry = FindEntry(items_[item], text);
    if (entry < 0) {
      *error = "item " + std::to_string(item) + " is a drop-down list without the entry " +
               Quote(text);
      return false;
    }
    return ChooseEntry(item, entry, error);
  }
  Item& it = items_[item];
  if (!IsEditType(it.far.Type)) {
    *error = "item " + std::to_string(item) + " is a " + TypeName(it.far.Type) +
             ", not an edit field";
    return false;
  }
  if (it.far.Flags & DIF_READONLY) {
    *error = "item " + std::to_string(item) + " is read-only";
    return false;
  }
  if (!Fits(it, text)) {
    *error = "item " + std::to_string(item) + " takes at most " + LimitOf(it);
    return false;
  }
  if (!FitsMask(it, text)) {
    *error = Quote(text) + " does not fit the mask " + Quote(it.mask) + " of item " +
             std::to_string(item);
    return false;
  }
  if (!MoveFocus(item)) return true;
  if (text != it.text) {
    SetTextInternal(item, text);
    it.cursor = CharLength(it.text);
    EditChanged(item);
  }
  return true;
}

bool DialogEngine::SetCheck(int item, int state, std::string* error) {
  if (!CheckUsable(item, error)) return false;
  Item& it = items_[item];
  if (it.far.Type != DI_CHECKBOX) {
    *error = "item " + std::to_string(item) + " is a " + TypeName(it.far.Type) +
             ", not a check box";
    return false;
  }
  if (state == BSTATE_3STATE && !(it.far.Flags & DIF_3STATE)) {
    *error = "item " + std::to_string(item) + " has no third state";
    return false;
  }
  if (!MoveFocus(item)) return true;
  if (it.far.Selected == state) return true;
  int old = it.far.Selected;
  it.far.Selected = state;
  if (CallProc(DN_BTNCLICK, item, state) == 0) {
    it.far.Selected = old;
    Note("DN_BTNCLICK of item " + std::to_string(item) + " took the change back");
  }
  return true;
}

bool DialogEngine::ChooseRadio(int item, std::string* error) {
  if (!CheckUsable(item, error)) return false;
  if (items_[item].far.Type != DI_RADIOBUTTON) {
    *error = "item " + std::to_string(item) + " is a " + TypeName(items_[item].far.Type) +
             ", not a radio button";
    return false;
  }
  if (!MoveFocus(item)) return true;
  SelectRadio(item);
  return true;
}

bool DialogEngine::ChooseEntry(int item, int entry, std::string* error) {
  if (!CheckUsable(item, error)) return false;
  Item& it = items_[item];
  if (!IsListType(it.far.Type)) {
    *error = "item " + std::to_string(item) + " is a " + TypeName(it.far.Type) + ", not a list";
    return false;
  }
  if (entry < 0 || entry >= static_cast<int>(it.list.size())) {
    *error = "the list of item " + std::to_string(item) + " has no entry " +
             std::to_string(entry) + " (it has " + std::to_string(it.list.size()) + ")";
    return false;
  }
  if (it.list[entry].flags & (LIF_SEPARATOR | LIF_DISABLE)) {
    *error = "entry " + std::to_string(entry) + " of item " + std::to_string(item) +
             " cannot be chosen (a separator or disabled)";
    return false;
  }
  if (!MoveFocus(item)) return true;
  SelectEntry(item, entry, true);
  return true;
}

bool DialogEngine::ChooseEntry(int item, const std::string& entryText, std::string* error) {
  if (!CheckUsable(item, error)) return false;
  int entry = FindEntry(items_[item], entryText);
  if (entry < 0) {
    *error = "the list of item " + std::to_string(item) + " has no entry " + Quote(entryText);
    return false;
  }
  return ChooseEntry(item, entry, error);
}

bool DialogEngine::Type(int item, const std::string& text, std::string* error) {
  if (!CheckUsable(item, error)) return false;
  if (!Focusable(item)) {
    *error = "item " + std::to_string(item) + " cannot take the focus";
    return false;
  }
  if (!MoveFocus(item)) return true;
  // Each character as its key; a control character (\t, \r) is the key of
  // its code. A byte that is no character of the host's text types nothing.
  for (size_t at = 0; at < text.size() && !closed_;) {
    const HostChar c = NextHostChar(text, &at);
    const DWORD key = c < 0x20 ? c : CharKey(c);
    if (key != 0) ProcessKey(key);
  }
  return true;
}

bool DialogEngine::Keys(int item, const std::vector<DWORD>& keys, std::string* error) {
  if (item >= 0) {
    if (!CheckUsable(item, error)) return false;
    if (!Focusable(item)) {
      *error = "item " + std::to_string(item) + " cannot take the focus";
      return false;
    }
    if (!MoveFocus(item)) return true;
  }
  for (DWORD key : keys) {
    if (closed_) break;
    ProcessKey(key);
  }
  return true;
}

bool DialogEngine::Focus(int item, std::string* error) {
  if (!CheckUsable(item, error)) return false;
  if (!Focusable(item)) {
    *error = "item " + std::to_string(item) + " cannot take the focus";
    return false;
  }
  MoveFocus(item);
  return true;
}

bool DialogEngine::Press(int item, std::string* error) {
  if (!CheckUsable(item, error)) return false;
  int t = items_[item].far.Type;
  if (t != DI_BUTTON && t != DI_CHECKBOX && t != DI_RADIOBUTTON) {
    *error = "item " + std::to_string(item) + " is a " + TypeName(t) + ", not a button";
    return false;
  }
  if (!MoveFocus(item)) return true;
  if (t == DI_BUTTON) {
    PressButton(item);
  } else if (t == DI_CHECKBOX) {
    ToggleCheck(item);
  } else {
    SelectRadio(item);
  }
  return true;
}

void DialogEngine::Escape() { TryClose(-1); }

void DialogEngine::Enter() { ProcessKey(KEY_ENTER); }

// ---------------------------------------------------------------- items as FarDialogItem

void DialogEngine::FillFarItem(int item, FarDialogItem* out) const {
  const Item& it = items_[item];
  FarDialogItem f = it.far;
  f.Focus = item == focus_ ? 1 : 0;
  bool varEdit = IsEditType(f.Type) && f.Type != DI_COMBOBOX && (f.Flags & DIF_VAREDIT);
  if (varEdit) {
    auto& ptr = f.Ptr;
    if (ptr.PtrData != nullptr && ptr.PtrLength > 0) {
      size_t n = HostFitBytes(it.text, static_cast<size_t>(ptr.PtrLength - 1));
      std::memcpy(ptr.PtrData, it.text.data(), n);
      ptr.PtrData[n] = '\0';
    }
  } else {
    std::memset(f.Data, 0, sizeof(f.Data));
    size_t n = HostFitBytes(it.text, kDataBytes);
    std::memcpy(f.Data, it.text.data(), n);
  }
  *out = f;
}

void DialogEngine::ApplyFarItem(int item, const FarDialogItem& in) {
  Item& it = items_[item];
  FarList* oldList = IsListType(it.far.Type) ? it.far.ListItems : nullptr;
  it.far = in;
  int type = in.Type;
  bool varEdit = IsEditType(type) && type != DI_COMBOBOX && (in.Flags & DIF_VAREDIT);
  std::string text;
  if (varEdit) {
    if (in.Ptr.PtrData != nullptr && in.Ptr.PtrLength > 0) {
      text.assign(in.Ptr.PtrData, strnlen(in.Ptr.PtrData, static_cast<size_t>(in.Ptr.PtrLength)));
    }
  } else {
    text.assign(in.Data, strnlen(in.Data, sizeof(in.Data)));
  }
  it.history.clear();
  it.mask.clear();
  if ((type == DI_EDIT || type == DI_FIXEDIT) && (in.Flags & DIF_HISTORY) &&
      !(type == DI_FIXEDIT && (in.Flags & DIF_MASKEDIT)) && in.History != nullptr) {
    it.history = in.History;
  }
  if (type == DI_FIXEDIT && (in.Flags & DIF_MASKEDIT) && in.Mask != nullptr) it.mask = in.Mask;
  if (IsListType(type)) {
    if (in.ListItems != oldList) {
      LoadList(it, in.ListItems);
      it.listPos = -1;
    }
  } else {
    it.list.clear();
    it.listPos = -1;
  }
  it.maxBytes = ByteRoom(it);
  it.maxChars = CharRoom(it);
  SetTextInternal(item, text);
  it.cursor = std::min(it.cursor, CharLength(it.text));
}

// ---------------------------------------------------------------- DM_ messages

// The dialog as a whole: closing, redrawing, its data, its rectangle, keys and the focus.
std::optional<long> DialogEngine::SendDialog(int msg, int param1, long param2) {
  switch (msg) {
    case DM_CLOSE: {
      if (closed_) return 1;
      int code = param1 == -1 ? focus_ : param1;
      TryClose(code);
      return closed_ ? 1 : 0;
    }
    case DM_ENABLEREDRAW: {
      long previous = redrawLock_;
      redrawLock_ += param1 ? -1 : 1;
      return previous;
    }
    case DM_GETDLGDATA:
      return userData_;
    case DM_SETDLGDATA: {
      long previous = userData_;
      userData_ = param2;
      return previous;
    }
    case DM_GETDLGRECT: {
      if (param2 == 0) return 0;
      auto* r = reinterpret_cast<FarSmallRect*>(param2);
      r->Left = static_cast<short>((80 - width_) / 2);
      r->Top = static_cast<short>((25 - height_) / 2);
      r->Right = static_cast<short>(r->Left + width_ - 1);
      r->Bottom = static_cast<short>(r->Top + height_ - 1);
      return 1;
    }
    case DM_KEY: {
      const DWORD* keys = reinterpret_cast<const DWORD*>(param2);
      if (keys == nullptr) return 0;
      for (int k = 0; k < param1 && !closed_; ++k) ProcessKey(keys[k]);
      return 0;
    }
    case DM_MOVEDIALOG:
      return 1;
    case DM_REDRAW:
    case DM_SHOWDIALOG:
      return 0;
    case DM_GETFOCUS:
      return focus_;
    case DM_SETFOCUS:
      if (!Focusable(param1)) return 0;
      return SetFocusByMessage(param1) ? 1 : 0;
    case DM_RESIZEDIALOG: {
      const auto* c = reinterpret_cast<const FarCoord*>(param2);
      if (c != nullptr) {
        width_ = c->X;
        height_ = c->Y;
      }
      return 1;
    }
    default:
      return std::nullopt;
  }
}

// An item's text.
std::optional<long> DialogEngine::SendItemText(int msg, int param1, long param2) {
  const bool valid = Valid(param1);
  Item* it = valid ? &items_[param1] : nullptr;
  switch (msg) {
    case DM_GETTEXT: {
      if (!valid) return 0;
      long length = static_cast<long>(it->text.size());
      auto* data = reinterpret_cast<FarDialogItemData*>(param2);
      if (data == nullptr || data->PtrData == nullptr) return length;
      // PtrLength is the room of the buffer: the text and its terminator fit it.
      if (data->PtrLength <= 0) return 0;
      size_t n = HostFitBytes(it->text, static_cast<size_t>(data->PtrLength - 1));
      std::memcpy(data->PtrData, it->text.data(), n);
      data->PtrData[n] = '\0';
      data->PtrLength = static_cast<int>(n);
      return static_cast<long>(n);
    }
    case DM_GETTEXTLENGTH:
      return valid ? static_cast<long>(it->text.size()) : 0;
    case DM_GETTEXTPTR: {
      if (!valid) return 0;
      char* dest = reinterpret_cast<char*>(param2);
      // The destination holds an item text: 512 bytes at most are written.
      size_t n = HostFitBytes(it->text, kDataBytes);
      if (dest != nullptr) {
        std::memcpy(dest, it->text.data(), n);
        dest[n] = '\0';
      }
      return static_cast<long>(n);
    }
    case DM_SETTEXT: {
      if (!valid || param2 == 0) return 0;
      auto* data = reinterpret_cast<const FarDialogItemData*>(param2);
      std::string text;
      if (data->PtrData != nullptr) {
        size_t cap = data->PtrLength > 0 ? static_cast<size_t>(data->PtrLength) : kDataBytes + 1;
        text.assign(data->PtrData, strnlen(data->PtrData, cap));
      }
      SetTextInternal(param1, text);
      return static_cast<long>(it->text.size());
    }
    case DM_SETTEXTPTR: {
      if (!valid) return 0;
      const char* src = reinterpret_cast<const char*>(param2);
      SetTextInternal(param1, src != nullptr ? std::string(src, strnlen(src, 4096)) : "");
      return static_cast<long>(it->text.size());
    }
    default:
      return std::nullopt;
  }
}

// Edit fields: the length limit, the unchanged flag, the history, the cursor.
std::optional<long> DialogEngine::SendEditField(int msg, int param1, long param2) {
  const bool valid = Valid(param1);
  Item* it = valid ? &items_[param1] : nullptr;
  switch (msg) {
    case DM_SETMAXTEXTLENGTH: {
      // In characters; the field's bytes stay a limit of their own.
      if (!valid) return 0;
      long previous = static_cast<long>(std::min(it->maxChars, it->maxBytes));
      size_t ceiling = std::min(CharRoom(*it), ByteRoom(*it));
      it->maxChars = std::min(static_cast<size_t>(std::max(param2, 0L)), ceiling);
      if (!Fits(*it, it->text)) SetTextInternal(param1, it->text);
      return previous;
    }
    case DM_GETCURSORPOS: {
      if (!valid || param2 == 0) return 0;
      auto* c = reinterpret_cast<FarCoord*>(param2);
      c->X = static_cast<short>(it->cursor);
      c->Y = 0;
      return 1;
    }
    case DM_SETCURSORPOS: {
      if (!valid || param2 == 0) return 0;
      const auto* c = reinterpret_cast<const FarCoord*>(param2);
      it->cursor = std::clamp(static_cast<int>(c->X), 0, CharLength(it->text));
      it->selStart = it->selEnd = -1;
      return 1;
    }
    case DM_ADDHISTORY:
      return valid ? 1 : 0;
    case DM_SETHISTORY: {
      if (!valid) return 0;
      const char* name = reinterpret_cast<const char*>(param2);
      if (name == nullptr) {
        it->far.Flags &= ~static_cast<DWORD>(DIF_HISTORY);
        it->history.clear();
      } else {
        it->far.Flags |= DIF_HISTORY;
        it->far.History = name;
        it->history = std::string(name, strnlen(name, 512));
      }
      return 1;
    }
    case DM_EDITUNCHANGEDFLAG: {
      if (!valid) return 0;
      long previous = it->unchanged ? 1 : 0;
      if (param2 != -1) it->unchanged = param2 != 0;
      return previous;
    }
    default:
      return std::nullopt;
  }
}

// An item as a whole, its user data and its position.
std::optional<long> DialogEngine::SendItemData(int msg, int param1, long param2) {
  const bool valid = Valid(param1);
  Item* it = valid ? &items_[param1] : nullptr;
  switch (msg) {
    case DM_GETDLGITEM:
      if (!valid || param2 == 0) return 0;
      FillFarItem(param1, reinterpret_cast<FarDialogItem*>(param2));
      return 1;
    case DM_SETDLGITEM:
      if (!valid || param2 == 0) return 0;
      ApplyFarItem(param1, *reinterpret_cast<const FarDialogItem*>(param2));
      return 1;
    case DM_SETITEMPOSITION: {
      const auto* r = reinterpret_cast<const FarSmallRect*>(param2);
      if (!valid || r == nullptr) return 0;
      it->far.X1 = r->Left;
      it->far.Y1 = r->Top;
      it->far.X2 = r->Right;
      it->far.Y2 = r->Bottom;
      return 1;
    }
    case DM_GETITEMPOSITION: {
      auto* r = reinterpret_cast<FarSmallRect*>(param2);
      if (!valid || r == nullptr) return 0;
      r->Left = static_cast<short>(it->far.X1);
      r->Top = static_cast<short>(it->far.Y1);
      r->Right = static_cast<short>(it->far.X2);
      r->Bottom = static_cast<short>(it->far.Y2);
      return 1;
    }
    case DM_GETITEMDATA:
      return valid ? it->userData : 0;
    case DM_SETITEMDATA: {
      if (!valid) return 0;
      long previous = it->userData;
      it->userData = param2;
      return previous;
    }
    default:
      return std::nullopt;
  }
}

// Enabled, shown, checked.
std::optional<long> DialogEngine::SendItemState(int msg, int param1, long param2) {
  const bool valid = Valid(param1);
  Item* it = valid ? &items_[param1] : nullptr;
  switch (msg) {
    case DM_ENABLE: {
      if (!valid) return 0;
      long previous = (it->far.Flags & DIF_DISABLE) ? 0 : 1;
      if (param2 == -1) return previous;
      if (param2) {
        it->far.Flags &= ~static_cast<DWORD>(DIF_DISABLE);
      } else {
        it->far.Flags |= DIF_DISABLE;
      }
      return previous;
    }
    case DM_SHOWITEM: {
      if (!valid) return 0;
      long previous = (it->far.Flags & DIF_HIDDEN) ? 0 : 1;
      if (param2 == -1) return previous;
      if (param2) {
        it->far.Flags &= ~static_cast<DWORD>(DIF_HIDDEN);
      } else {
        it->far.Flags |= DIF_HIDDEN;
      }
      return previous;
    }
    case DM_GETCHECK:
      return valid && IsCheckType(it->far.Type) ? it->far.Selected : 0;
    case DM_SETCHECK: {
      if (!valid || !IsCheckType(it->far.Type)) return 0;
      if (it->far.Type == DI_CHECKBOX) {
        long previous = it->far.Selected;
        int states = (it->far.Flags & DIF_3STATE) ? 3 : 2;
        int next = param2 == BSTATE_TOGGLE ? (it->far.Selected + 1) % states
                                           : static_cast<int>(param2);
        if (next < 0 || next >= states) next = next > 0 ? 1 : 0;
        it->far.Selected = next;
        return previous;
      }
      int start = RadioGroupStart(param1), end = RadioGroupEnd(param1);
      long previous = -1;
      for (int k = start; k <= end; ++k) {
        if (items_[k].far.Selected && previous < 0) previous = k;
      }
      if (param2 == BSTATE_UNCHECKED) {
        it->far.Selected = 0;
      } else {
        for (int k = start; k <= end; ++k) items_[k].far.Selected = 0;
        it->far.Selected = 1;
      }
      return previous;
    }
    case DM_SET3STATE: {
      if (!valid) return 0;
      long previous = (it->far.Flags & DIF_3STATE) ? 1 : 0;
      if (param2) {
        it->far.Flags |= DIF_3STATE;
      } else {
        it->far.Flags &= ~static_cast<DWORD>(DIF_3STATE);
      }
      return previous;
    }
    default:
      return std::nullopt;
  }
}

// Reading a list and moving in it: entries, the current position, search, sorting.
std::optional<long> DialogEngine::SendListPosition(int msg, int param1, long param2) {
  const bool valid = Valid(param1);
  Item* it = valid ? &items_[param1] : nullptr;
  switch (msg) {
    case DM_LISTSORT: {
      if (!valid || !IsListType(it->far.Type)) return 0;
      std::string current =
          it->listPos >= 0 && it->listPos < static_cast<int>(it->list.size())
              ? it->list[it->listPos].text
              : std::string();
      bool descending = param2 != 0;
      std::stable_sort(it->list.begin(), it->list.end(),
                       [descending](const ListEntry& a, const ListEntry& b) {
                         int c = CompareNoCase(a.text.c_str(), b.text.c_str());
                         return descending ? c > 0 : c < 0;
                       });
      if (it->listPos >= 0) it->listPos = FindEntry(*it, current);
      return 1;
    }
    case DM_LISTGETCURPOS: {
      if (!valid) return -1;
      auto* p = reinterpret_cast<FarListPos*>(param2);
      if (p != nullptr) {
        p->SelectPos = it->listPos;
        p->TopPos = it->listTop;
      }
      return it->listPos;
    }
    case DM_LISTSETCURPOS: {
      auto* p = reinterpret_cast<const FarListPos*>(param2);
      if (!valid || p == nullptr || !IsListType(it->far.Type) || it->list.empty()) return -1;
      int pos = std::clamp(p->SelectPos, 0, static_cast<int>(it->list.size()) - 1);
      SelectEntry(param1, pos, false);
      if (p->TopPos >= 0) it->listTop = p->TopPos;
      return it->listPos;
    }
    case DM_LISTFINDSTRING: {
      const auto* f = reinterpret_cast<const FarListFind*>(param2);
      if (!valid || f == nullptr || f->Pattern == nullptr) return -1;
      size_t plen = HostCharCount(std::string_view(f->Pattern, strnlen(f->Pattern, 512)));
      for (int k = std::max(f->StartIndex, 0); k < static_cast<int>(it->list.size()); ++k) {
        const std::string& t = it->list[k].text;
        bool match = (f->Flags & LIFIND_EXACTMATCH)
                         ? CompareNoCase(t.c_str(), f->Pattern) == 0
                         : CompareNoCase(t.c_str(), f->Pattern, plen) == 0;
        if (match) return k;
      }
      return -1;
    }
    case DM_LISTINFO: {
      auto* info = reinterpret_cast<FarListInfo*>(param2);
      if (!valid || info == nullptr || !IsListType(it->far.Type)) return 0;
      std::memset(info, 0, sizeof(*info));
      info->ItemsNumber = static_cast<int>(it->list.size());
      info->SelectPos = it->listPos;
      info->TopPos = it->listTop;
      for (const auto& e : it->list) {
        info->MaxLength = std::max(info->MaxLength, CharLength(e.text));
      }
      return 1;
    }
    case DM_GETDROPDOWNOPENED:
      return 0;
    case DM_SETDROPDOWNOPENED:
      return valid ? 1 : 0;
    default:
      return std::nullopt;
  }
}

// Adding, changing and deleting entries.
std::optional<long> DialogEngine::SendListChange(int msg, int param1, long param2) {
  const bool valid = Valid(param1);
  Item* it = valid ? &items_[param1] : nullptr;
  switch (msg) {
    case DM_LISTDELETE: {
      if (!valid || !IsListType(it->far.Type)) return 0;
      const auto* d = reinterpret_cast<const FarListDelete*>(param2);
      if (d == nullptr) {
        it->list.clear();
        it->listPos = -1;
        return 1;
      }
      int size = static_cast<int>(it->list.size());
      int first = std::clamp(d->StartIndex, 0, size);
      int last = std::clamp(first + std::max(d->Count, 0), first, size);
      it->list.erase(it->list.begin() + first, it->list.begin() + last);
      if (it->listPos >= last) {
        it->listPos -= last - first;
      } else if (it->listPos >= first) {
        it->listPos = it->list.empty() ? -1 : std::min(first, static_cast<int>(it->list.size()) - 1);
      }
      return 1;
    }
    case DM_LISTADD:
    case DM_LISTSET: {
      if (!valid || !IsListType(it->far.Type)) return 0;
      const auto* l = reinterpret_cast<const FarList*>(param2);
      Item added;
      LoadList(added, l);
      if (msg == DM_LISTSET) {
        it->list.clear();
        it->listPos = -1;
      }
      it->list.insert(it->list.end(), added.list.begin(), added.list.end());
      if (it->listPos < 0 && !it->list.empty() && it->far.Type == DI_LISTBOX) it->listPos = 0;
      return 1;
    }
    case DM_LISTADDSTR: {
      if (!valid || !IsListType(it->far.Type)) return -1;
      const char* s = reinterpret_cast<const char*>(param2);
      ListEntry e;
      if (s != nullptr) e.text = CutHostText(std::string_view(s, strnlen(s, 128)), kNoLimit, 127);
      it->list.push_back(e);
      return static_cast<long>(it->list.size() - 1);
    }
    case DM_LISTUPDATE:
    case DM_LISTINSERT: {
      // FarListUpdate and FarListInsert have the same layout.
      const auto* u = reinterpret_cast<const FarListUpdate*>(param2);
      if (!valid || u == nullptr || !IsListType(it->far.Type)) return msg == DM_LISTINSERT ? -1 : 0;
      ListEntry e;
      e.flags = u->Item.Flags & ~static_cast<DWORD>(LIF_SELECTED);
      e.text.assign(u->Item.Text, strnlen(u->Item.Text, sizeof(u->Item.Text)));
      int size = static_cast<int>(it->list.size());
      if (msg == DM_LISTUPDATE) {
        if (u->Index < 0 || u->Index >= size) return 0;
        it->list[u->Index] = e;
        if (u->Index == it->listPos && it->far.Type == DI_COMBOBOX) SetTextInternal(param1, e.text);
        return 1;
      }
      int at = std::clamp(u->Index, 0, size);
      it->list.insert(it->list.begin() + at, e);
      if (it->listPos >= at) ++it->listPos;
      return static_cast<long>(it->list.size());
    }
    default:
      return std::nullopt;
  }
}

// An entry, the data kept with entries, and the list's titles.
std::optional<long> DialogEngine::SendListData(int msg, int param1, long param2) {
  const bool valid = Valid(param1);
  Item* it = valid ? &items_[param1] : nullptr;
  switch (msg) {
    case DM_LISTGETITEM: {
      auto* g = reinterpret_cast<FarListGetItem*>(param2);
      if (!valid || g == nullptr || g->ItemIndex < 0 ||
          g->ItemIndex >= static_cast<int>(it->list.size())) {
        return 0;
      }
      const ListEntry& e = it->list[g->ItemIndex];
      std::memset(&g->Item, 0, sizeof(g->Item));
      g->Item.Flags = e.flags | (g->ItemIndex == it->listPos ? static_cast<DWORD>(LIF_SELECTED) : 0u);
      std::memcpy(g->Item.Text, e.text.data(), HostFitBytes(e.text, sizeof(g->Item.Text) - 1));
      return 1;
    }
    case DM_LISTGETDATA: {
      if (!valid || param2 < 0 || param2 >= static_cast<long>(it->list.size())) return 0;
      ListEntry& e = it->list[param2];
      if (!e.data.empty()) return reinterpret_cast<long>(e.data.data());
      return e.dataPointer;
    }
    case DM_LISTGETDATASIZE: {
      if (!valid || param2 < 0 || param2 >= static_cast<long>(it->list.size())) return 0;
      return static_cast<long>(it->list[param2].data.size());
    }
    case DM_LISTSETDATA: {
      const auto* d = reinterpret_cast<const FarListItemData*>(param2);
      if (!valid || d == nullptr || d->Index < 0 || d->Index >= static_cast<int>(it->list.size())) {
        return 0;
      }
      ListEntry& e = it->list[d->Index];
      if (d->DataSize > 0 && d->Data != nullptr) {
        const char* bytes = static_cast<const char*>(d->Data);
        e.data.assign(bytes, bytes + d->DataSize);
        e.dataPointer = 0;
        return d->DataSize;
      }
      e.data.clear();
      e.dataPointer = reinterpret_cast<long>(d->Data);
      return 0;
    }
    case DM_LISTSETTITLES: {
      const auto* t = reinterpret_cast<const FarListTitles*>(param2);
      if (!valid || t == nullptr) return 0;
      it->listTitle = t->Title != nullptr ? std::string(t->Title, strnlen(t->Title, 512)) : "";
      it->listBottom = t->Bottom != nullptr ? std::string(t->Bottom, strnlen(t->Bottom, 512)) : "";
      return 1;
    }
    case DM_LISTGETTITLES: {
      auto* t = reinterpret_cast<FarListTitles*>(param2);
      if (!valid || t == nullptr) return 0;
      auto put = [](const std::string& s, char* dest, int room) {
        if (room > 0) CopyToField(s, dest, static_cast<size_t>(room));
      };
      put(it->listTitle, t->Title, t->TitleLen);
      put(it->listBottom, t->Bottom, t->BottomLen);
      return 1;
    }
    default:
      return std::nullopt;
  }
}

long DialogEngine::Send(int msg, int param1, long param2) {
  using Family = std::optional<long> (DialogEngine::*)(int, int, long);
  static constexpr Family kFamilies[] = {
      &DialogEngine::SendDialog,       &DialogEngine::SendItemText,   &DialogEngine::SendEditField,
      &DialogEngine::SendItemData,     &DialogEngine::SendItemState,  &DialogEngine::SendListPosition,
      &DialogEngine::SendListChange,   &DialogEngine::SendListData,
  };
  for (Family family : kFamilies) {
    if (std::optional<long> result = (this->*family)(msg, param1, param2)) return *result;
  }
  switch (msg) {
    // Messages the stand-in takes without acting on them.
    case DM_SETMOUSEEVENTNOTIFY:
    case DM_LISTSETMOUSEREACTION:
    case DM_GETCURSORSIZE:
    case DM_SETCURSORSIZE:
    case DM_GETSELECTION:
    case DM_SETSELECTION:
      return 0;
    default:
      // The plug-in's own messages go to its dialog procedure.
      if (msg >= DM_USER) return CallProc(msg, param1, param2);
      return 0;
  }
}

long DialogEngine::DefaultProc(int msg, int /*param1*/, long param2) {
  switch (msg) {
    case DN_CLOSE:  // also DM_CLOSE
      return 1;
    case DN_KEY:  // also DM_KEY
      return 0;
    case DN_BTNCLICK:
    case DN_EDITCHANGE:
    case DN_LISTCHANGE:
    case DN_HOTKEY:
    case DN_DRAWDIALOG:
    case DN_DRAWDLGITEM:
      return 1;
    case DN_KILLFOCUS:
      return -1;
    case DN_HELP:
    case DN_CTLCOLORDIALOG:
    case DN_CTLCOLORDLGITEM:
    case DN_CTLCOLORDLGLIST:
      return param2;
    default:
      return 0;
  }
}

}  // namespace hostsim

#include "hostsim/terminal/layout.h"

#include <algorithm>
#include <map>

#include "hostsim/host_text.h"
#include "hostsim/hotkeys.h"

namespace hostsim::terminal {

namespace {

bool IsBox(int type) { return type == DI_SINGLEBOX || type == DI_DOUBLEBOX; }

// The character at byte `at` of `text`, as it shows.
char32_t ShownChar(const std::string& text, size_t at) {
  return DisplayChar(NextHostChar(text, &at));
}

// Puts the hot key character at byte `hot` of `shown` (drawn at x, `drawn`
// columns of it) in its colour, when it was drawn.
void MarkHotkey(Canvas& c, int x, int y, const std::string& shown, int hot, int drawn) {
  if (hot < 0 || static_cast<size_t>(hot) >= shown.size()) return;
  const int column = HostColumns(std::string_view(shown).substr(0, static_cast<size_t>(hot)));
  if (column < drawn)
    c.Put(x + column, y, ShownChar(shown, static_cast<size_t>(hot)), Style::Hotkey);
}

// The text of an item with its hotkey letter marked.
void PutLabel(Canvas& c, int x, int y, const ItemView& item, Style style, int maxWidth) {
  int hot = -1;
  std::string shown = (item.flags & DIF_SHOWAMPERSAND) ? item.text : StripHotkey(item.text, &hot);
  int n = c.Text(x, y, shown, style, maxWidth);
  if (style != Style::Disabled) MarkHotkey(c, x, y, shown, hot, n);
}

// Prefix of a check box, radio button or button.
std::string Prefix(const ItemView& item) {
  switch (item.type) {
    case DI_CHECKBOX: return item.selected == 0 ? "[ ] " : item.selected == 1 ? "[x] " : "[?] ";
    case DI_RADIOBUTTON: return item.selected ? "(*) " : "( ) ";
    case DI_BUTTON:
      if (item.flags & DIF_NOBRACKETS) return "";
      return item.defaultButton ? "{ " : "[ ";
    default: return "";
  }
}
std::string Suffix(const ItemView& item) {
  if (item.type != DI_BUTTON || (item.flags & DIF_NOBRACKETS)) return "";
  return item.defaultButton ? " }" : " ]";
}

}  // namespace

std::string StripHotkey(const std::string& text, int* hotkey) { return StripAmpersands(text, hotkey); }

int ItemColumns(const ItemView& item) {
  int hot;
  std::string shown = (item.flags & DIF_SHOWAMPERSAND) ? item.text : StripHotkey(item.text, &hot);
  return static_cast<int>(Prefix(item).size() + Suffix(item).size()) + HostColumns(shown);
}

std::vector<int> CenterGroupColumns(const std::vector<ItemView>& items, int width) {
  std::vector<int> columns(items.size(), -1);
  std::map<int, std::vector<size_t>> lines;
  for (size_t i = 0; i < items.size(); ++i) {
    if ((items[i].flags & DIF_CENTERGROUP) && !(items[i].flags & DIF_HIDDEN) &&
        items[i].type != DI_DOUBLEBOX && items[i].type != DI_SINGLEBOX) {
      lines[items[i].y1].push_back(i);
    }
  }
  // Two blanks between neighbours, as FAR puts them.
  constexpr int kGap = 2;
  for (const auto& [y, members] : lines) {
    int total = -kGap;
    for (size_t i : members) total += ItemColumns(items[i]) + kGap;
    int x = std::max(0, (width - total) / 2);
    for (size_t i : members) {
      columns[i] = x;
      x += ItemColumns(items[i]) + kGap;
    }
  }
  return columns;
}

Extent ItemExtent(const std::vector<ItemView>& items, int index, int width) {
  Extent e;
  if (index < 0 || index >= static_cast<int>(items.size())) return e;
  const ItemView& it = items[index];
  e.x1 = it.x1;
  e.y1 = e.y2 = it.y1;
  switch (it.type) {
    case DI_EDIT:
    case DI_FIXEDIT:
    case DI_PSWEDIT:
    case DI_COMBOBOX:
      // The field and the arrow of its list or history.
      e.x2 = std::max(it.x2, it.x1) + 1;
      break;
    case DI_LISTBOX:
    case DI_SINGLEBOX:
    case DI_DOUBLEBOX:
      e.x2 = std::max(it.x2, it.x1);
      e.y2 = std::max(it.y2, it.y1);
      break;
    default: {
      const int group = CenterGroupColumns(items, width)[index];
      if (group >= 0) e.x1 = group;
      if (e.x1 < 0) e.x1 = std::max(0, (width - ItemColumns(it)) / 2);
      e.x2 = e.x1 + std::max(ItemColumns(it), 1) - 1;
      break;
    }
  }
  return e;
}

int PlaceOnScreen(int screen, int size, int start, int end, int* offset) {
  if (size <= screen) {
    *offset = 0;
    return (screen - size) / 2;
  }
  int o = *offset;
  if (end >= o + screen) o = end - screen + 1;
  if (start < o) o = start;
  o = std::clamp(o, 0, size - screen);
  *offset = o;
  return -o;
}

namespace {

// What the drawing of every item needs of its dialog.
struct DialogArea {
  Canvas& c;
  int left;
  int top;
  int width;
  int right;
  Style base;
  Style focused;
  const std::vector<ItemView>& items;
};

// A separator line joins the frame that it crosses, else the dialog's edges.
void DrawSeparator(const DialogArea& d, const ItemView& it, int y) {
  int x1 = d.left, x2 = d.right;
  bool doubleSides = false;
  for (const ItemView& box : d.items) {
    if (IsBox(box.type) && !(box.flags & DIF_HIDDEN) && box.y1 < it.y1 && box.y2 > it.y1) {
      x1 = d.left + box.x1;
      x2 = d.left + box.x2;
      doubleSides = box.type == DI_DOUBLEBOX;
      break;
    }
  }
  int hot;
  d.c.Separator(x1, x2, y, doubleSides, (it.flags & DIF_SEPARATOR2) != 0, d.base,
                it.text.empty() ? std::string() : " " + StripHotkey(it.text, &hot) + " ");
}

// A label: at its column, centred in the dialog (x1 < 0) or between x1 and
// x2 (DIF_CENTERTEXT), unless it is one of a centred group.
void DrawText(const DialogArea& d, const ItemView& it, int x, int y, bool grouped, Style text) {
  int cols = ItemColumns(it);
  if (!grouped && it.x1 < 0) {
    x = d.left + std::max(0, (d.width - cols) / 2);
  } else if (!grouped && (it.flags & DIF_CENTERTEXT) && it.x2 > it.x1) {
    x = d.left + it.x1 + std::max(0, (it.x2 - it.x1 + 1 - cols) / 2);
  }
  int maxWidth = it.x2 >= it.x1 && it.x1 >= 0 && !(it.flags & DIF_CENTERTEXT)
                     ? std::max(it.x2 - it.x1 + 1, 0)
                     : d.right - x;
  PutLabel(d.c, x, y, it, text, std::max(maxWidth, 0));
}

void DrawVerticalText(const DialogArea& d, const ItemView& it, int x, int y, Style text) {
  int hot;
  std::string shown = StripHotkey(it.text, &hot);
  int row = 0;
  for (size_t at = 0; at < shown.size(); ++row)
    d.c.Put(x, y + row, DisplayChar(NextHostChar(shown, &at)), text);
}

// Edit fields and combo boxes: the text scrolled so that the cursor shows.
// The cursor counts characters; the field's width, columns.
void DrawEditField(const DialogArea& d, const ItemView& it, int x, int y, bool hasFocus,
                   bool disabled) {
  int fieldWidth = std::max(it.x2 - it.x1 + 1, 1);
  bool dropDown = it.type == DI_COMBOBOX && (it.flags & DIF_DROPDOWNLIST);
  std::string text = it.text;
  if (it.type == DI_PSWEDIT) text.assign(HostCharCount(it.text), '*');
  const int length = static_cast<int>(HostCharCount(text));
  const int cursor = std::clamp(it.cursor, 0, length);
  const size_t cursorAt = HostCharsBytes(text, static_cast<size_t>(cursor));
  // The first character shown: the cursor's column stays within the field.
  size_t startAt = 0;
  if (hasFocus && !dropDown) {
    int columns = 0;
    startAt = cursorAt;
    while (startAt > 0) {
      const size_t before = PreviousHostChar(text, startAt);
      size_t at = before;
      const int width = HostCharColumns(NextHostChar(text, &at));
      if (columns + width > fieldWidth - 1) break;
      columns += width;
      startAt = before;
    }
  }
  const std::string shown = text.substr(startAt);
  Style field = disabled ? Style::Disabled : hasFocus ? Style::FieldFocused : Style::Field;
  d.c.Fill(x, y, x + fieldWidth - 1, y, field);
  d.c.Text(x, y, shown, field, fieldWidth);
  if (it.type == DI_COMBOBOX || (it.flags & DIF_HISTORY && it.type == DI_EDIT)) {
    d.c.Put(x + fieldWidth, y, U'↓', disabled ? Style::Disabled : d.base);
  }
  const int cursorColumn = HostColumns(std::string_view(text).substr(startAt, cursorAt - startAt));
  if (hasFocus) d.c.SetCursor(dropDown ? x : x + cursorColumn, y);
}

// Check boxes, radio buttons and buttons: their mark or brackets around the label.
void DrawButton(const DialogArea& d, const ItemView& it, int x, int y, bool hasFocus, Style text) {
  std::string prefix = Prefix(it), suffix = Suffix(it);
  Style s = hasFocus ? d.focused : text;
  int n = d.c.Text(x, y, prefix, s, d.right - x);
  int hot;
  std::string label = (it.flags & DIF_SHOWAMPERSAND) ? it.text : StripHotkey(it.text, &hot);
  const int labelColumns = HostColumns(label);
  PutLabel(d.c, x + n, y, it, s, std::max(d.right - x - n, 0));
  d.c.Text(x + n + labelColumns, y, suffix, s, std::max(d.right - x - n - labelColumns, 0));
  if (hasFocus) d.c.SetCursor(x + (it.type == DI_BUTTON ? n : 1), y);
}

// A list box: the rows that fit, scrolled to its current entry.
void DrawListBox(const DialogArea& d, const ItemView& it, int y, bool hasFocus, Style text) {
  int x1 = d.left + it.x1, x2 = d.left + it.x2, y1 = y, y2 = d.top + it.y2;
  bool boxed = !(it.flags & DIF_LISTNOBOX);
  if (boxed) d.c.Frame(x1, y1, x2, y2, false, d.base);
  int inner = boxed ? 1 : 0;
  int rows = std::max(y2 - y1 + 1 - 2 * inner, 1);
  int first = std::max(0, it.listPos - rows + 1);
  for (int r = 0; r < rows && first + r < static_cast<int>(it.list.size()); ++r) {
    bool on = first + r == it.listPos;
    Style s = on ? (hasFocus ? d.focused : Style::Field) : text;
    d.c.Fill(x1 + inner, y1 + inner + r, x2 - inner, y1 + inner + r, s);
    d.c.Text(x1 + inner + 1, y1 + inner + r, it.list[first + r], s, x2 - x1 - 1 - 2 * inner);
    if (on && hasFocus) d.c.SetCursor(x1 + inner, y1 + inner + r);
  }
}

}  // namespace

void DrawDialog(Canvas& c, int left, int top, int width, int height,
                const std::vector<ItemView>& items, int focus, bool warning) {
  const Style base = warning ? Style::Warning : Style::Dialog;
  const Style focused = warning ? Style::WarningFocused : Style::Focused;
  const DialogArea d{c, left, top, width, left + width - 1, base, focused, items};
  c.Window(left, top, left + width - 1, top + height - 1, base);
  c.HideCursor();
  std::vector<int> grouped = CenterGroupColumns(items, width);
  for (size_t i = 0; i < items.size(); ++i) {
    const ItemView& it = items[i];
    if (it.flags & DIF_HIDDEN) continue;
    const bool hasFocus = static_cast<int>(i) == focus;
    const bool disabled = (it.flags & DIF_DISABLE) != 0;
    const Style text = disabled ? Style::Disabled : base;
    int x = left + (grouped[i] >= 0 ? grouped[i] : it.x1);
    int y = top + it.y1;
    if (IsBox(it.type)) {
      int hot;
      c.Frame(left + it.x1, y, left + it.x2, top + it.y2, it.type == DI_DOUBLEBOX, base,
              StripHotkey(it.text, &hot));
      continue;
    }
    switch (it.type) {
      case DI_TEXT:
        if (it.flags & (DIF_SEPARATOR | DIF_SEPARATOR2)) {
          DrawSeparator(d, it, y);
        } else {
          DrawText(d, it, x, y, grouped[i] >= 0, text);
        }
        break;
      case DI_VTEXT:
        DrawVerticalText(d, it, x, y, text);
        break;
      case DI_EDIT:
      case DI_FIXEDIT:
      case DI_PSWEDIT:
      case DI_COMBOBOX:
        DrawEditField(d, it, x, y, hasFocus, disabled);
        break;
      case DI_CHECKBOX:
      case DI_RADIOBUTTON:
      case DI_BUTTON:
        DrawButton(d, it, x, y, hasFocus, text);
        break;
      case DI_LISTBOX:
        DrawListBox(d, it, y, hasFocus, text);
        break;
      default:
        break;
    }
  }
}

void DrawMenu(Canvas& c, const std::string& title, const std::string& bottom,
              const std::vector<MenuLine>& lines, int highlighted, int* top, bool warning) {
  const Style base = warning ? Style::Warning : Style::Dialog;
  const Style focused = warning ? Style::WarningFocused : Style::Focused;
  int textWidth = std::max(HostColumns(title), HostColumns(bottom)) + 2;
  for (const auto& l : lines) textWidth = std::max(textWidth, HostColumns(l.text));
  // Two columns for the check mark and a blank on each side, inside the frame.
  int width = std::min(textWidth + 6, c.width() - 4);
  int rows = std::clamp(static_cast<int>(lines.size()), 1, std::max(c.height() - 6, 1));
  int height = rows + 2;
  int left = std::max(0, (c.width() - width) / 2);
  int topY = std::max(0, (c.height() - height) / 2);
  if (highlighted >= 0) {
    if (highlighted < *top) *top = highlighted;
    if (highlighted >= *top + rows) *top = highlighted - rows + 1;
  }
  *top = std::clamp(*top, 0, std::max(0, static_cast<int>(lines.size()) - rows));
  c.Window(left, topY, left + width - 1, topY + height - 1, base);
  c.Frame(left, topY, left + width - 1, topY + height - 1, true, base, title);
  if (!bottom.empty()) {
    int len = std::min(HostColumns(bottom), width - 4);
    int x = left + (width - len - 2) / 2;
    c.Put(x, topY + height - 1, U' ', base);
    len = c.Text(x + 1, topY + height - 1, bottom, base, len);
    c.Put(x + 1 + len, topY + height - 1, U' ', base);
  }
  c.HideCursor();
  for (int r = 0; r < rows && *top + r < static_cast<int>(lines.size()); ++r) {
    const MenuLine& l = lines[*top + r];
    int y = topY + 1 + r;
    if (l.separator) {
      c.Separator(left, left + width - 1, y, true, false, base);
      continue;
    }
    bool on = *top + r == highlighted;
    Style s = l.disabled ? Style::Disabled : on ? focused : base;
    c.Fill(left + 1, y, left + width - 2, y, s);
    if (l.checked) c.Put(left + 2, y, U'√', s);
    const int drawn = c.Text(left + 4, y, l.text, s, width - 6);
    if (!on && !l.disabled) MarkHotkey(c, left + 4, y, l.text, l.hotkey, drawn);
  }
  if (*top > 0) c.Put(left + width - 1, topY + 1, U'▲', base);
  if (*top + rows < static_cast<int>(lines.size())) c.Put(left + width - 1, topY + rows, U'▼', base);
}

void DrawBox(Canvas& c, const std::string& text, bool warning) {
  const Style base = warning ? Style::Warning : Style::Dialog;
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::string title = lines.front();
  lines.erase(lines.begin());
  int inner = HostColumns(title) + 2;
  for (const auto& l : lines) inner = std::max(inner, HostColumns(l));
  int width = std::min(inner + 6, c.width());
  int height = static_cast<int>(lines.size()) + 2;
  int left = std::max(0, (c.width() - width) / 2);
  int top = std::max(0, (c.height() - height) / 2);
  c.Window(left, top, left + width - 1, top + height - 1, base);
  c.Frame(left, top, left + width - 1, top + height - 1, true, base, title);
  for (size_t k = 0; k < lines.size(); ++k) {
    int len = std::min(HostColumns(lines[k]), width - 4);
    c.Text(left + (width - len) / 2, top + 1 + static_cast<int>(k), lines[k], base, len);
  }
}

std::vector<std::string> WrapText(const std::string& text, int width) {
  std::vector<std::string> out;
  width = std::max(width, 1);
  std::string line;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find(' ', i);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(i, end - i);
    i = end + 1;
    while (HostColumns(word) > width) {
      if (!line.empty()) {
        out.push_back(line);
        line.clear();
      }
      // At least one character, however wide.
      size_t cut = HostColumnsBytes(word, width);
      if (cut == 0) cut = HostCharsBytes(word, 1);
      out.push_back(word.substr(0, cut));
      word.erase(0, cut);
    }
    if (line.empty()) {
      line = word;
    } else if (HostColumns(line) + 1 + HostColumns(word) <= width) {
      line += ' ' + word;
    } else {
      out.push_back(line);
      line = word;
    }
  }
  if (!line.empty() || out.empty()) out.push_back(line);
  return out;
}

}  // namespace hostsim::terminal

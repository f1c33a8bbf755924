// curses.h defines KEY_ macros of its own: no host key header may follow it.
#include "hostsim/terminal/screen.h"

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#define NCURSES_WIDECHAR 1
#include <ncursesw/curses.h>

namespace hostsim::terminal {

namespace {

// Key codes of the keypad's + - * (define_key), above every code of curses.
constexpr int kKeyGrayPlus = KEY_MAX + 1;
constexpr int kKeyGrayMinus = KEY_MAX + 2;
constexpr int kKeyGrayStar = KEY_MAX + 3;

struct Look {
  short fg, bg;
  attr_t extra;   // with colours
  attr_t mono;    // without
};

// Indexed by Style.
const Look kLooks[] = {
    {COLOR_WHITE, COLOR_BLUE, 0, A_NORMAL},         // Panel
    {COLOR_BLACK, COLOR_CYAN, 0, A_REVERSE},        // PanelCursor
    {COLOR_YELLOW, COLOR_BLUE, A_BOLD, A_BOLD},     // PanelSelected
    {COLOR_YELLOW, COLOR_CYAN, A_BOLD, A_REVERSE | A_BOLD},  // PanelCursorSelected
    {COLOR_BLACK, COLOR_CYAN, 0, A_REVERSE},        // Status
    {COLOR_BLACK, COLOR_WHITE, 0, A_NORMAL},        // Dialog
    {COLOR_BLACK, COLOR_WHITE, 0, A_NORMAL},        // DialogFrame
    {COLOR_BLACK, COLOR_WHITE, 0, A_BOLD},          // DialogTitle
    {COLOR_RED, COLOR_WHITE, 0, A_UNDERLINE},       // Hotkey
    {COLOR_BLACK, COLOR_WHITE, A_DIM, A_DIM},       // Disabled
    {COLOR_BLACK, COLOR_CYAN, 0, A_UNDERLINE},      // Field
    {COLOR_BLACK, COLOR_CYAN, A_BOLD, A_REVERSE},   // FieldFocused
    {COLOR_BLACK, COLOR_CYAN, 0, A_REVERSE},        // Focused
    {COLOR_WHITE, COLOR_RED, A_BOLD, A_BOLD},       // Warning
    {COLOR_BLACK, COLOR_WHITE, 0, A_REVERSE},       // WarningFocused
    {COLOR_BLUE, COLOR_WHITE, A_UNDERLINE, A_UNDERLINE},  // Link
    {COLOR_BLACK, COLOR_CYAN, 0, A_REVERSE},        // LinkFocused
    {COLOR_BLUE, COLOR_WHITE, A_BOLD, A_BOLD},      // Bold
    {COLOR_WHITE, COLOR_BLACK, A_DIM, A_DIM},       // Shadow
};
constexpr int kLookCount = sizeof(kLooks) / sizeof(kLooks[0]);

bool gColours = false;

attr_t Attributes(Style style) {
  int i = static_cast<int>(style);
  if (i < 0 || i >= kLookCount) i = 0;
  return gColours ? (COLOR_PAIR(i + 1) | kLooks[i].extra) : kLooks[i].mono;
}

// xterm's names for modified keys: "kUP5" is Ctrl-Up.
bool NamedKey(const char* name, KeyEvent* key) {
  static const struct {
    const char* prefix;
    KeyEvent::Kind kind;
  } kNames[] = {{"kUP", KeyEvent::Up},   {"kDN", KeyEvent::Down},  {"kLFT", KeyEvent::Left},
                {"kRIT", KeyEvent::Right}, {"kHOM", KeyEvent::Home}, {"kEND", KeyEvent::End},
                {"kPRV", KeyEvent::PgUp}, {"kNXT", KeyEvent::PgDn}, {"kDC", KeyEvent::Del},
                {"kIC", KeyEvent::Ins}};
  if (name == nullptr) return false;
  for (const auto& n : kNames) {
    size_t len = std::strlen(n.prefix);
    if (std::strncmp(name, n.prefix, len) == 0 && name[len] >= '2' && name[len] <= '8' &&
        name[len + 1] == '\0') {
      key->kind = n.kind;
      ApplyModifierNumber(name[len] - '0', key);
      return true;
    }
  }
  return false;
}

}  // namespace

Screen::~Screen() { End(); }

bool Screen::Begin() {
  if (active_) return true;
  if (!isatty(0) || !isatty(1)) return false;
  std::setlocale(LC_ALL, "");
  // Esc alone is a key of its own here; wait only briefly for a sequence.
  if (std::getenv("ESCDELAY") == nullptr) set_escdelay(40);
  if (initscr() == nullptr) return false;
  raw();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  // The keypad's + - * in application keypad mode (which keypad() turns on):
  // codes of their own above curses' keys.
  define_key("\033Ok", kKeyGrayPlus);
  define_key("\033Om", kKeyGrayMinus);
  define_key("\033Oj", kKeyGrayStar);
  gColours = has_colors();
  if (gColours) {
    start_color();
    for (int i = 0; i < kLookCount; ++i) init_pair(static_cast<short>(i + 1), kLooks[i].fg, kLooks[i].bg);
  }
  active_ = true;
  return true;
}

void Screen::End() {
  if (!active_) return;
  endwin();
  active_ = false;
}

int Screen::width() const { return active_ ? COLS : 80; }
int Screen::height() const { return active_ ? LINES : 25; }

void Screen::Show(const Canvas& canvas) {
  if (!active_) return;
  int rows = std::min(canvas.height(), LINES), cols = std::min(canvas.width(), COLS);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols;) {
      Style style = canvas.styleAt(x, y);
      std::wstring run;
      int start = x;
      while (x < cols && canvas.styleAt(x, y) == style) {
        // A wide character fills its second cell itself; in the screen's
        // last two cells it would take the last one, which is written apart
        // below, so blanks stand for it there.
        const char32_t c = canvas.at(x, y);
        const bool lastRow = y == LINES - 1;
        const bool wideAtEnd = x == COLS - 2 && c != kWideTail && canvas.at(x + 1, y) == kWideTail;
        if (lastRow && (wideAtEnd || (x == COLS - 1 && c == kWideTail))) {
          run.push_back(L' ');
        } else if (c != kWideTail) {
          run.push_back(static_cast<wchar_t>(c));
        }
        ++x;
      }
      attrset(Attributes(style));
      // The last cell of the screen would scroll it with some terminals.
      if (y == LINES - 1 && x == COLS && !run.empty()) {
        mvaddnwstr(y, start, run.c_str(), static_cast<int>(run.size()) - 1);
        cchar_t cell;
        wchar_t last[2] = {run.back(), 0};
        setcchar(&cell, last, Attributes(style), 0, nullptr);
        mvins_wch(y, x - 1, &cell);
      } else {
        mvaddnwstr(y, start, run.c_str(), static_cast<int>(run.size()));
      }
    }
  }
  attrset(A_NORMAL);
  if (canvas.cursorX() >= 0 && canvas.cursorY() >= 0) {
    curs_set(1);
    move(canvas.cursorY(), canvas.cursorX());
  } else {
    curs_set(0);
    move(LINES - 1, COLS - 1);
  }
  refresh();
}

KeyEvent Screen::ReadKey() {
  KeyEvent k;
  if (!active_) {
    k.kind = KeyEvent::Esc;
    return k;
  }
  wint_t c = 0;
  int r = get_wch(&c);
  if (r == ERR) {
    // Input is gone (the terminal closed): leave every window.
    k.kind = KeyEvent::Esc;
    return k;
  }
  if (r == KEY_CODE_YES) {
    switch (c) {
      case KEY_UP: k.kind = KeyEvent::Up; break;
      case KEY_DOWN: k.kind = KeyEvent::Down; break;
      case KEY_LEFT: k.kind = KeyEvent::Left; break;
      case KEY_RIGHT: k.kind = KeyEvent::Right; break;
      case KEY_HOME: k.kind = KeyEvent::Home; break;
      case KEY_END: k.kind = KeyEvent::End; break;
      case KEY_PPAGE: k.kind = KeyEvent::PgUp; break;
      case KEY_NPAGE: k.kind = KeyEvent::PgDn; break;
      case KEY_IC: k.kind = KeyEvent::Ins; break;
      case KEY_DC: k.kind = KeyEvent::Del; break;
      case KEY_BACKSPACE: k.kind = KeyEvent::Backspace; break;
      case KEY_ENTER: k.kind = KeyEvent::Enter; break;
      case KEY_BTAB: k.kind = KeyEvent::Tab; k.shift = true; break;
      case KEY_SR: k.kind = KeyEvent::Up; k.shift = true; break;
      case KEY_SF: k.kind = KeyEvent::Down; k.shift = true; break;
      case KEY_RESIZE: k.kind = KeyEvent::Resize; break;
      case kKeyGrayPlus: k.kind = KeyEvent::GrayPlus; break;
      case kKeyGrayMinus: k.kind = KeyEvent::GrayMinus; break;
      case kKeyGrayStar: k.kind = KeyEvent::GrayStar; break;
      default:
        if (c >= static_cast<wint_t>(KEY_F(1)) && c <= static_cast<wint_t>(KEY_F(63))) {
          // terminfo numbers modified function keys on: F13 is Shift-F1,
          // F25 Ctrl-F1, F37 Ctrl-Shift-F1, F49 Alt-F1, F61 Alt-Shift-F1.
          int n = static_cast<int>(c - KEY_F(1));
          k.kind = KeyEvent::Function;
          k.fn = n % 12 + 1;
          static const int kModifierNumbers[] = {1, 2, 5, 6, 3, 4};
          ApplyModifierNumber(kModifierNumbers[std::min(n / 12, 5)], &k);
        } else if (!NamedKey(keyname(static_cast<int>(c)), &k)) {
          k.kind = KeyEvent::None;
        }
    }
    return k;
  }
  switch (c) {
    case 0x1B: {
      // Esc followed at once by a character is Alt with that character.
      nodelay(stdscr, TRUE);
      wint_t next = 0;
      int n = get_wch(&next);
      nodelay(stdscr, FALSE);
      // (tmux and xterm send Alt+letter as Esc and the letter in one write;
      // curses has read both when it returns the Esc.)
      if (n == OK && next >= 0x20 && next != 0x7F) {
        k.kind = KeyEvent::Char;
        k.ch = static_cast<char32_t>(next);
        k.alt = true;
      } else {
        // Anything else is a key of its own after Esc: a function key goes
        // back as a key code, a character as a character.
        if (n == KEY_CODE_YES) ungetch(static_cast<int>(next));
        if (n == OK) unget_wch(static_cast<wchar_t>(next));
        k.kind = KeyEvent::Esc;
      }
      return k;
    }
    case '\r':
    case '\n': k.kind = KeyEvent::Enter; return k;
    case '\t': k.kind = KeyEvent::Tab; return k;
    case 0x7F:
    case 0x08: k.kind = KeyEvent::Backspace; return k;
    default: break;
  }
  k.kind = KeyEvent::Char;
  if (c < 0x20) {
    k.ctrl = true;
    k.ch = static_cast<char32_t>(c + 'a' - 1);
  } else {
    k.ch = static_cast<char32_t>(c);
  }
  return k;
}

void Screen::Suspend() {
  if (active_) endwin();
}

void Screen::Resume() {
  if (!active_) return;
  reset_prog_mode();
  clearok(stdscr, TRUE);
  refresh();
}

}  // namespace hostsim::terminal

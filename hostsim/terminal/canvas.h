// The terminal host draws every screen into a Canvas first: a grid of
// characters with a style per cell. The screen layer copies it to the
// terminal; tests read its rows as text. Text handed in is the host's text
// (host_text.h): an OEM byte takes one column, as on the host's console; a
// UTF-8 character its columns on the terminal, a wide one two cells, the
// second of which holds kWideTail.
#pragma once

#include <string>
#include <vector>

namespace hostsim::terminal {

enum class Style : unsigned char {
  Panel,          // the file panel
  PanelCursor,    // the item under the cursor
  PanelSelected,  // a selected item
  PanelCursorSelected,
  Status,         // key hints and the command line
  Dialog,         // dialog, menu and message background and plain text
  DialogFrame,
  DialogTitle,
  Hotkey,         // the '&' letter of an item
  Disabled,
  Field,          // edit fields and combo boxes
  FieldFocused,
  Focused,        // the focused button, check box, radio button, menu line
  Warning,        // the background of warning messages and dialogs
  WarningFocused,
  Link,           // help links
  LinkFocused,
  Bold,           // help highlight
  Shadow,         // the shadow under windows
};

class Canvas {
 public:
  Canvas(int width, int height, Style fill = Style::Panel);

  int width() const { return width_; }
  int height() const { return height_; }

  // Cells outside the canvas are dropped. A wide character takes the next
  // cell too; a character put over half of a wide one blanks the other half.
  void Put(int x, int y, char32_t c, Style style);
  // The host's text, at most `maxWidth` columns (-1: to the edge); a wide
  // character that would cross that edge is left out. Control characters
  // show as '?'. Returns the columns written.
  int Text(int x, int y, const std::string& text, Style style, int maxWidth = -1);
  void Fill(int x1, int y1, int x2, int y2, Style style, char32_t c = U' ');
  // A frame on the rectangle; `title` (the host's text) centred in the top line.
  void Frame(int x1, int y1, int x2, int y2, bool doubleLine, Style style,
             const std::string& title = std::string());
  // A horizontal line from x1 to x2 that joins a frame's sides (double or
  // single sides), with `text` (the host's text) centred on it.
  void Separator(int x1, int x2, int y, bool doubleSides, bool doubleLine, Style style,
                 const std::string& text = std::string());
  // A box with a shadow, filled: the frame of menus, messages and dialogs.
  void Window(int x1, int y1, int x2, int y2, Style style);

  char32_t at(int x, int y) const;
  Style styleAt(int x, int y) const;
  // Row `y` as UTF-8, trailing blanks kept; a wide character once.
  std::string Row(int y) const;

  // A cursor outside the canvas is hidden.
  void SetCursor(int x, int y) {
    if (Inside(x, y)) {
      cursorX_ = x, cursorY_ = y;
    } else {
      HideCursor();
    }
  }
  void HideCursor() { cursorX_ = cursorY_ = -1; }
  int cursorX() const { return cursorX_; }
  int cursorY() const { return cursorY_; }

 private:
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  int width_, height_;
  std::vector<char32_t> chars_;
  std::vector<Style> styles_;
  int cursorX_ = -1, cursorY_ = -1;
};

// The second cell of a wide character.
constexpr char32_t kWideTail = 0xFFFFFFFE;

// The character a character of the host's text shows as: control
// characters and what the terminal cannot show become '?'.
char32_t DisplayChar(char32_t hostChar);

}  // namespace hostsim::terminal

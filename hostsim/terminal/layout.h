// How the terminal host lays out the host's windows on a Canvas: dialogs from
// their items (positions relative to the dialog, as the plug-in gave them),
// menus, and the boxes that messages without buttons leave on screen. Pure
// drawing: the state stays with the dialog engine and the driver.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"
#include "hostsim/terminal/canvas.h"

namespace hostsim::terminal {

struct ItemView {
  int type = DI_TEXT;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  DWORD flags = 0;
  int selected = 0;  // check box and radio button state
  bool defaultButton = false;
  std::string text;  // the host's text
  int cursor = 0;    // edit fields: the cursor's place in the text, in characters
  std::vector<std::string> list;
  int listPos = -1;
};

// The dialog at (left, top) of `width` x `height`. `focus` is the focused
// item; its cursor (edit fields, check boxes, buttons) goes to the canvas.
void DrawDialog(Canvas& canvas, int left, int top, int width, int height,
                const std::vector<ItemView>& items, int focus, bool warning);

// The cells an item takes, relative to the dialog's corner (x2, y2 included).
struct Extent {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
Extent ItemExtent(const std::vector<ItemView>& items, int index, int width);

// Where a dialog `size` cells long goes on a screen `screen` cells long, on
// one axis: centred when it fits. When it does not, the part from `*offset`
// shows, moved as little as needed to show the cells `start` to `end` (the
// focused item) and kept within the dialog; the result is then -*offset.
int PlaceOnScreen(int screen, int size, int start, int end, int* offset);

// Where the items of one line with DIF_CENTERGROUP start: centred together in
// the dialog's width, two blanks between neighbours (as FAR puts them). Returns, per item of
// `items`, its column, or -1 when it is not in such a group.
std::vector<int> CenterGroupColumns(const std::vector<ItemView>& items, int width);
// The columns an item takes on its line (check boxes, buttons, texts): its
// characters' columns on the terminal.
int ItemColumns(const ItemView& item);
// `text` without the '&' hotkey marks ("&&" stays one '&'); `hotkey` gets the
// position (the byte) of the marked character or -1.
std::string StripHotkey(const std::string& text, int* hotkey);

struct MenuLine {
  std::string text;  // the host's text, as drawn (without '&' marks)
  bool separator = false;
  bool disabled = false;
  bool checked = false;
  int hotkey = -1;  // the place (byte) of the hot key in `text`, or -1
};

// A menu centred on the canvas, scrolled so that `highlighted` is visible
// (`*top` is the first line shown, kept between calls).
void DrawMenu(Canvas& canvas, const std::string& title, const std::string& bottom,
              const std::vector<MenuLine>& lines, int highlighted, int* top, bool warning);

// A box that stays on screen: its first line the title, the rest centred.
void DrawBox(Canvas& canvas, const std::string& text, bool warning);

// Splits `text` at blanks into lines of at most `width` columns; words longer
// than that are cut between characters.
std::vector<std::string> WrapText(const std::string& text, int width);

}  // namespace hostsim::terminal

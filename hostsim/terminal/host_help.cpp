#include "hostsim/terminal/host_help.h"

namespace hostsim::terminal {

const char kHostHelpTopic[] = "TerminalHost";

const std::string& HostHelpText() {
  static const std::string text =
      ".Language=English,English\n"
      "\n"
      "@TerminalHost\n"
      "$ #Terminal host keys#\n"
      "The terminal host shows a folder as a panel, and the plug-in runs in it as\n"
      "under FAR. The plug-in's own help: ~Contents~@Contents@.\n"
      "\n"
      "#In the panel#\n"
      "  Up, Down, PgUp, PgDn, Home, End   move the cursor\n"
      "  Ins, Space                        select or unselect the item\n"
      "  Enter                             open the folder (.. goes up)\n"
      "  Backspace                         go up\n"
      "  F11, F9, m                        the plug-ins menu\n"
      "  F12, Alt-Shift-F9, c              the plug-ins configuration menu\n"
      "  : or another character            type on the command line (id3:...)\n"
      "  Ctrl-R                            read the folder again\n"
      "  F1                                this help\n"
      "  F10, q                            quit\n"
      "\n"
      "#In dialogs#\n"
      "  Alt+hot key                       the item of the highlighted letter:\n"
      "                                    a button is pressed, a check box\n"
      "                                    toggled, a radio button chosen; a\n"
      "                                    label's letter goes to the field after it\n"
      "  hot key alone                     the same, when the focus is not in an\n"
      "                                    edit field or a list\n"
      "  Tab, Shift-Tab, Up, Down          move the focus\n"
      "  Space                             toggle, choose or press the focused item\n"
      "  Enter                             press the focused button, elsewhere the\n"
      "                                    default one, shown as { OK }\n"
      "  Esc, F10                          cancel\n"
      "  Ctrl-Down, F4                     open a combo box's list\n"
      "  Left, Right, Home, End, Del, BS   edit the field; Ctrl-Y clears it\n"
      "  F1                                the dialog's help\n"
      "\n"
      "#In menus#\n"
      "  Up, Down, Home, End, PgUp, PgDn   move the highlight\n"
      "  Enter                             choose the highlighted item\n"
      "  hot key, Alt+hot key              choose the item of the highlighted letter\n"
      "                                    or digit (\"2\" for \"2. Write a file list\")\n"
      "  Esc, F10                          close\n"
      "\n"
      "#In help#\n"
      "  Tab, Shift-Tab                    move between links\n"
      "  Enter, Backspace                  follow the link, go back\n"
      "  Up, Down, PgUp, PgDn              scroll\n"
      "  Esc, F10                          close\n"
      "\n"
      "A dialog larger than the screen shows the part around the focused item and\n"
      "moves with the focus. A terminal sends Alt+letter as Esc and the letter: Esc\n"
      "pressed alone closes a window only after a short wait (ESCDELAY).\n";
  return text;
}

}  // namespace hostsim::terminal

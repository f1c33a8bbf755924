// Keys as the terminal reports them, and their host key codes (the codes of
// DN_KEY, menus' break keys and ACTL_POSTKEYSEQUENCE).
#pragma once

#include "far/plugin_api.h"

namespace hostsim::terminal {

struct KeyEvent {
  enum Kind {
    None, Char, Up, Down, Left, Right, Home, End, PgUp, PgDn, Ins, Del,
    Backspace, Tab, Enter, Esc, Function, Resize,
    GrayPlus, GrayMinus, GrayStar,  // the keypad's + - * (FAR's Gray+, Gray-, Gray*)
  };
  Kind kind = None;
  char32_t ch = 0;  // Char: the character (a letter in lower case with ctrl)
  int fn = 0;       // Function: 1..12
  bool ctrl = false, alt = false, shift = false;
};

// The host key code; 0 when the key has none (a character the host's text
// lacks: one the OEM code page has not; a resize).
DWORD HostKey(const KeyEvent& key);

// Modifiers from the number in xterm's modified key sequences (2 = Shift,
// 3 = Alt, 5 = Ctrl, ... : 1 + the bits Shift 1, Alt 2, Ctrl 4).
void ApplyModifierNumber(int number, KeyEvent* key);

}  // namespace hostsim::terminal

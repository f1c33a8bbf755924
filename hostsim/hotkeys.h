// Hot keys as the host finds them: the character after a single '&' of an
// item's text ("&&" stands for '&' itself), in dialogs and menus, and the
// automatic hot keys of menus with FMENU_AUTOHIGHLIGHT. Characters are those
// of the host's text (host_text.h), compared without regard to case.
#pragma once

#include <string>
#include <vector>

#include "far/plugin_api.h"
#include "hostsim/host_text.h"

namespace hostsim {

// `text` without its '&' marks; `position` gets the place (the byte) of the
// marked character in it, or -1.
std::string StripAmpersands(const std::string& text, int* position);
// The hot key of `text`, upper case, or 0 when it has none.
HostChar HotkeyOf(const std::string& text);
// The character a key code stands for when it may be a hot key, upper case,
// or 0: Alt with a character always; the character alone only when
// `plainToo` (the host takes plain characters as hot keys where typing means
// nothing else).
HostChar HotkeyChar(DWORD key, bool plainToo);

struct MenuHotkey {
  std::string shown;  // the text as drawn
  int position = -1;  // of the hot key in `shown` (its first byte), or -1
};
// The hot keys of a menu's items. With `showAmpersand` the texts are drawn as
// they are and have none of their own. With `automatic` every item without
// one gets the first letter or digit of its text that no item uses yet (the
// items with their own first, then the others from the top, or from the
// bottom with `reverse`).
std::vector<MenuHotkey> AssignMenuHotkeys(const std::vector<std::string>& texts, bool automatic,
                                          bool reverse, bool showAmpersand);

}  // namespace hostsim

// The host's own key codes (plugin interface 1.70): what DN_KEY and DN_HOTKEY
// pass in Param2, what DM_KEY and ACTL_POSTKEYSEQUENCE take. A key is a base
// code OR-ed with modifier bits; letters and digits use their upper-case ASCII
// code as the base.
//
// Menu break keys are a different thing: Windows virtual-key codes with the
// PKF_ modifiers in the high word (the FARVK_ constants below).
#pragma once

constexpr unsigned int KEY_CTRL = 0x01000000;
constexpr unsigned int KEY_ALT = 0x02000000;
constexpr unsigned int KEY_SHIFT = 0x04000000;
constexpr unsigned int KEY_RCTRL = 0x10000000;
constexpr unsigned int KEY_RALT = 0x20000000;
constexpr unsigned int KEY_CTRLMASK = 0xFF000000;
constexpr unsigned int KEY_CTRLALT = KEY_CTRL | KEY_ALT;
constexpr unsigned int KEY_CTRLSHIFT = KEY_CTRL | KEY_SHIFT;
constexpr unsigned int KEY_ALTSHIFT = KEY_ALT | KEY_SHIFT;

constexpr unsigned int KEY_BS = 0x08;
constexpr unsigned int KEY_TAB = 0x09;
constexpr unsigned int KEY_ENTER = 0x0D;
constexpr unsigned int KEY_ESC = 0x1B;
constexpr unsigned int KEY_SPACE = 0x20;
constexpr unsigned int KEY_QUOTE = 0x22;
constexpr unsigned int KEY_COMMA = 0x2C;
constexpr unsigned int KEY_DOT = 0x2E;
constexpr unsigned int KEY_SLASH = 0x2F;
constexpr unsigned int KEY_COLON = 0x3A;
constexpr unsigned int KEY_BRACKET = 0x5B;
constexpr unsigned int KEY_BACKSLASH = 0x5C;
constexpr unsigned int KEY_BACKBRACKET = 0x5D;
constexpr unsigned int KEY_FKEY_BEGIN = 0x100;
constexpr unsigned int KEY_BREAK = 0x103;
constexpr unsigned int KEY_PGUP = 0x121;
constexpr unsigned int KEY_PGDN = 0x122;
constexpr unsigned int KEY_END = 0x123;
constexpr unsigned int KEY_HOME = 0x124;
constexpr unsigned int KEY_LEFT = 0x125;
constexpr unsigned int KEY_UP = 0x126;
constexpr unsigned int KEY_RIGHT = 0x127;
constexpr unsigned int KEY_DOWN = 0x128;
constexpr unsigned int KEY_INS = 0x12D;
constexpr unsigned int KEY_DEL = 0x12E;
constexpr unsigned int KEY_LWIN = 0x15B;
constexpr unsigned int KEY_RWIN = 0x15C;
constexpr unsigned int KEY_APPS = 0x15D;
constexpr unsigned int KEY_NUMPAD0 = 0x160;
constexpr unsigned int KEY_NUMPAD1 = 0x161;
constexpr unsigned int KEY_NUMPAD2 = 0x162;
constexpr unsigned int KEY_NUMPAD3 = 0x163;
constexpr unsigned int KEY_NUMPAD4 = 0x164;
constexpr unsigned int KEY_NUMPAD5 = 0x165;
constexpr unsigned int KEY_CLEAR = 0x165;
constexpr unsigned int KEY_NUMPAD6 = 0x166;
constexpr unsigned int KEY_NUMPAD7 = 0x167;
constexpr unsigned int KEY_NUMPAD8 = 0x168;
constexpr unsigned int KEY_NUMPAD9 = 0x169;
constexpr unsigned int KEY_MULTIPLY = 0x16A;
constexpr unsigned int KEY_ADD = 0x16B;
constexpr unsigned int KEY_SUBTRACT = 0x16D;
constexpr unsigned int KEY_DIVIDE = 0x16F;
constexpr unsigned int KEY_F1 = 0x170;
constexpr unsigned int KEY_F2 = 0x171;
constexpr unsigned int KEY_F3 = 0x172;
constexpr unsigned int KEY_F4 = 0x173;
constexpr unsigned int KEY_F5 = 0x174;
constexpr unsigned int KEY_F6 = 0x175;
constexpr unsigned int KEY_F7 = 0x176;
constexpr unsigned int KEY_F8 = 0x177;
constexpr unsigned int KEY_F9 = 0x178;
constexpr unsigned int KEY_F10 = 0x179;
constexpr unsigned int KEY_F11 = 0x17A;
constexpr unsigned int KEY_F12 = 0x17B;
constexpr unsigned int KEY_CTRLALTSHIFTPRESS = 0x201;
constexpr unsigned int KEY_CTRLALTSHIFTRELEASE = 0x202;
constexpr unsigned int KEY_MSWHEEL_UP = 0x203;
constexpr unsigned int KEY_MSWHEEL_DOWN = 0x204;
constexpr unsigned int KEY_MASKF = 0xFFF;
constexpr unsigned int KEY_END_FKEY = 0xFFF;
constexpr unsigned int KEY_NONE = 0x1001;
constexpr unsigned int KEY_IDLE = 0x1002;
constexpr unsigned int KEY_END_SKEY = 0xFFFF;
constexpr unsigned int KEY_LAST_BASE = 0xFFFF;

// The combinations the plug-in names.
constexpr unsigned int KEY_CTRLUP = KEY_CTRL | KEY_UP;
constexpr unsigned int KEY_CTRLDOWN = KEY_CTRL | KEY_DOWN;
constexpr unsigned int KEY_CTRLENTER = KEY_CTRL | KEY_ENTER;
constexpr unsigned int KEY_CTRLDEL = KEY_CTRL | KEY_DEL;
constexpr unsigned int KEY_SHIFTDEL = KEY_SHIFT | KEY_DEL;
constexpr unsigned int KEY_SHIFTENTER = KEY_SHIFT | KEY_ENTER;
constexpr unsigned int KEY_SHIFTTAB = KEY_SHIFT | KEY_TAB;
constexpr unsigned int KEY_CTRLF6 = KEY_CTRL | KEY_F6;
constexpr unsigned int KEY_ALTF6 = KEY_ALT | KEY_F6;
constexpr unsigned int KEY_SHIFTF6 = KEY_SHIFT | KEY_F6;

// Menu break keys: a Windows virtual-key code in the low word, PKF_ modifier
// bits in the high word, the array ended by 0. The virtual-key names of
// windows.h are macros, so these carry their own prefix.
constexpr unsigned int FARVK_BACK = 0x08;
constexpr unsigned int FARVK_RETURN = 0x0D;
constexpr unsigned int FARVK_ESCAPE = 0x1B;
constexpr unsigned int FARVK_UP = 0x26;
constexpr unsigned int FARVK_DOWN = 0x28;
constexpr unsigned int FARVK_INSERT = 0x2D;
constexpr unsigned int FARVK_DELETE = 0x2E;
constexpr unsigned int FARVK_F1 = 0x70;
constexpr unsigned int FARVK_F2 = 0x71;
constexpr unsigned int FARVK_F3 = 0x72;
constexpr unsigned int FARVK_F4 = 0x73;
constexpr unsigned int FARVK_F5 = 0x74;
constexpr unsigned int FARVK_F6 = 0x75;
constexpr unsigned int FARVK_F7 = 0x76;
constexpr unsigned int FARVK_F8 = 0x77;
constexpr unsigned int FARVK_F9 = 0x78;
constexpr unsigned int FARVK_F10 = 0x79;
// Modifiers of a break key: (PKF_ << 16).
constexpr unsigned int FARVK_CTRL = 0x00010000;
constexpr unsigned int FARVK_ALT = 0x00020000;
constexpr unsigned int FARVK_SHIFT = 0x00040000;

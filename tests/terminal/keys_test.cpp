// Keys from the terminal to host key codes, and the command line's prefixes.
#include <gtest/gtest.h>

#include "../hostsim/support.h"
#include "hostsim/host_text.h"
#include "hostsim/terminal/term_keys.h"
#include "hostsim/terminal/terminal_host.h"

namespace hostsim::terminal {
namespace {

KeyEvent Make(KeyEvent::Kind kind, char32_t ch = 0, int fn = 0, int modifiers = 1) {
  KeyEvent k;
  k.kind = kind;
  k.ch = ch;
  k.fn = fn;
  ApplyModifierNumber(modifiers, &k);
  return k;
}

TEST(TerminalKeys, HostCodes) {
  struct Case {
    KeyEvent key;
    DWORD code;
  } cases[] = {
      {Make(KeyEvent::Char, U'a'), 'a'},
      {Make(KeyEvent::Char, U'a', 0, 5), KEY_CTRL | 'A'},
      {Make(KeyEvent::Char, U'y', 0, 5), KEY_CTRL | 'Y'},
      {Make(KeyEvent::Char, U'x', 0, 3), KEY_ALT | 'X'},
      {Make(KeyEvent::Function, 0, 11), KEY_F11},
      {Make(KeyEvent::Function, 0, 9, 4), KEY_ALT | KEY_SHIFT | KEY_F9},
      {Make(KeyEvent::Function, 0, 13), 0},
      {Make(KeyEvent::Tab, 0, 0, 2), KEY_SHIFTTAB},
      {Make(KeyEvent::Down, 0, 0, 5), KEY_CTRLDOWN},
      {Make(KeyEvent::Up, 0, 0, 5), KEY_CTRLUP},
      {Make(KeyEvent::Del), KEY_DEL},
      {Make(KeyEvent::Backspace), KEY_BS},
      {Make(KeyEvent::Enter), KEY_ENTER},
      {Make(KeyEvent::Esc), KEY_ESC},
      {Make(KeyEvent::PgDn), KEY_PGDN},
      {Make(KeyEvent::Resize), 0},
      // Characters the OEM code page lacks cannot be typed into the plug-in.
      {Make(KeyEvent::Char, U'\u4E00'), 0},
      // Alt with a letter beyond ASCII: its upper-case OEM byte (437: é 0x82, É 0x90).
      {Make(KeyEvent::Char, U'\u00E9', 0, 3), KEY_ALT | 0x90},
      {Make(KeyEvent::Char, U'\u4E00', 0, 3), 0},
      {Make(KeyEvent::Char, U'\u00E9', 0, 5), 0},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(HostKey(k.key), k.code) << "kind " << k.key.kind << " ch " << static_cast<int>(k.key.ch)
                                      << " fn " << k.key.fn;
  }
}

TEST(TerminalKeys, InUtf8EveryCharacterHasItsKey) {
  hostsim_test::Utf8HostText utf8;
  if (!utf8.active()) GTEST_SKIP() << "the host's text is OEM here";
  EXPECT_EQ(HostKey(Make(KeyEvent::Char, U'a')), static_cast<DWORD>('a'));
  EXPECT_EQ(HostKey(Make(KeyEvent::Char, U'ж')), hostsim::kCharKeyBase + 0x436);
  EXPECT_EQ(HostKey(Make(KeyEvent::Char, U'\u4E00')), hostsim::kCharKeyBase + 0x4E00);
  // Alt with a letter: the key of its capital; Ctrl with it: none.
  EXPECT_EQ(HostKey(Make(KeyEvent::Char, U'ж', 0, 3)), KEY_ALT | (hostsim::kCharKeyBase + 0x416));
  EXPECT_EQ(HostKey(Make(KeyEvent::Char, U'ж', 0, 5)), 0u);
  EXPECT_EQ(hostsim::KeyChar(HostKey(Make(KeyEvent::Char, U'é'))), U'é');
}

TEST(TerminalKeys, XtermModifierNumbers) {
  KeyEvent k;
  ApplyModifierNumber(6, &k);  // Ctrl-Shift
  EXPECT_TRUE(k.ctrl && k.shift && !k.alt);
  KeyEvent none;
  ApplyModifierNumber(9, &none);  // out of range: ignored
  EXPECT_FALSE(none.ctrl || none.shift || none.alt);
}

TEST(StatusLine, KeepsQuitAndDropsTheLeastNeededHintsFirst) {
  EXPECT_EQ(StatusHints(100),
            "F1 Help  F11/F9/m Plug-ins  F12/c Configure  Ins Select  : Command  Enter Open  F10/q Quit");
  for (int width : {100, 80, 60, 40, 25, 10}) {
    const std::string hints = StatusHints(width);
    EXPECT_LE(static_cast<int>(hints.size()), width) << width;
    EXPECT_EQ(hints.substr(hints.size() - 10), "F10/q Quit") << width;
  }
  EXPECT_EQ(StatusHints(80), "F1 Help  F11/F9/m Plug-ins  F12/c Configure  Ins Select  : Command  F10/q Quit");
  EXPECT_EQ(StatusHints(75), "F1 Help F11/F9/m Plug-ins F12/c Configure Ins Select : Command F10/q Quit");
  EXPECT_EQ(StatusHints(20), "F1 Help  F10/q Quit");
  EXPECT_EQ(StatusHints(6), "F10/q ");
}

TEST(CommandLine, PrefixesChooseThePlugin) {
  struct Case {
    const char* prefixes;
    const char* line;
    bool taken;
    const char* rest;
  } cases[] = {
      {"id3", "id3:a.mp3", true, "a.mp3"},
      {"id3", "ID3:Song,mp3", true, "Song,mp3"},
      {"abc:id3", "id3:", true, ""},
      {"id3", "id:x", false, ""},
      {"id3", "id3", false, ""},
      {"id3", ":x", false, ""},
      {"", "id3:x", false, ""},
      {"id3", "id3:c:\\dir\\x.mp3", true, "c:\\dir\\x.mp3"},
  };
  for (const auto& k : cases) {
    std::string rest;
    EXPECT_EQ(MatchCommandPrefix(k.prefixes, k.line, &rest), k.taken) << k.line;
    if (k.taken) {
      EXPECT_EQ(rest, k.rest) << k.line;
    }
  }
}

}  // namespace
}  // namespace hostsim::terminal

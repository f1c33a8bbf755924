#include "hostsim/terminal/term_keys.h"

#include "hostsim/host_text.h"

namespace hostsim::terminal {

void ApplyModifierNumber(int number, KeyEvent* key) {
  int bits = number - 1;
  if (bits < 0 || bits > 7) return;
  key->shift = key->shift || (bits & 1);
  key->alt = key->alt || (bits & 2);
  key->ctrl = key->ctrl || (bits & 4);
}

DWORD HostKey(const KeyEvent& k) {
  DWORD base = 0;
  switch (k.kind) {
    case KeyEvent::Up: base = KEY_UP; break;
    case KeyEvent::Down: base = KEY_DOWN; break;
    case KeyEvent::Left: base = KEY_LEFT; break;
    case KeyEvent::Right: base = KEY_RIGHT; break;
    case KeyEvent::Home: base = KEY_HOME; break;
    case KeyEvent::End: base = KEY_END; break;
    case KeyEvent::PgUp: base = KEY_PGUP; break;
    case KeyEvent::PgDn: base = KEY_PGDN; break;
    case KeyEvent::Ins: base = KEY_INS; break;
    case KeyEvent::Del: base = KEY_DEL; break;
    case KeyEvent::Backspace: base = KEY_BS; break;
    case KeyEvent::Tab: base = KEY_TAB; break;
    case KeyEvent::Enter: base = KEY_ENTER; break;
    case KeyEvent::Esc: base = KEY_ESC; break;
    case KeyEvent::GrayPlus: base = KEY_ADD; break;
    case KeyEvent::GrayMinus: base = KEY_SUBTRACT; break;
    case KeyEvent::GrayStar: base = KEY_MULTIPLY; break;
    case KeyEvent::Function:
      if (k.fn < 1 || k.fn > 12) return 0;
      base = KEY_F1 + k.fn - 1;
      break;
    case KeyEvent::Char: {
      HostChar c = 0;
      if (k.ctrl || k.alt) {
        // With a modifier the host names letters by their upper-case code;
        // Alt with a letter beyond ASCII by the key of its capital.
        const char32_t ascii = k.ch >= U'a' && k.ch <= U'z' ? k.ch - 32 : k.ch;
        if (ascii >= 0x20 && ascii <= 0x7E) {
          base = ascii;
          break;
        }
        if (k.ctrl || !UnicodeToHostChar(k.ch, &c) || c < 0x80) return 0;
        base = CharKey(HostUpper(c));
        if (base == 0) return 0;
        break;
      }
      if (!UnicodeToHostChar(k.ch, &c)) return 0;
      return CharKey(c);
    }
    case KeyEvent::None:
    case KeyEvent::Resize:
      return 0;
  }
  return base | (k.ctrl ? KEY_CTRL : 0u) | (k.alt ? KEY_ALT : 0u) | (k.shift ? KEY_SHIFT : 0u);
}

}  // namespace hostsim::terminal

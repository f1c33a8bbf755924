#include "hostsim/terminal/term_keys.h"

#include "hostsim/codepage.h"
#include "hostsim/oem_case.h"

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
    case KeyEvent::Function:
      if (k.fn < 1 || k.fn > 12) return 0;
      base = KEY_F1 + k.fn - 1;
      break;
    case KeyEvent::Char: {
      if (k.ctrl || k.alt) {
        // With a modifier the host names letters by their upper-case code;
        // Alt with a letter beyond ASCII by its upper-case OEM byte.
        char32_t c = k.ch >= U'a' && k.ch <= U'z' ? k.ch - 32 : k.ch;
        if (c >= 0x20 && c <= 0x7E) {
          base = c;
          break;
        }
        int byte = k.ctrl ? -1 : EncodeChar(OemTable(), k.ch);
        if (byte < 0x80) return 0;
        base = OemCase().upper[byte];
        break;
      }
      int byte = EncodeChar(OemTable(), k.ch);
      if (byte < 0x20 || byte == 0x7F) return 0;
      return static_cast<DWORD>(byte);
    }
    case KeyEvent::None:
    case KeyEvent::Resize:
      return 0;
  }
  return base | (k.ctrl ? KEY_CTRL : 0u) | (k.alt ? KEY_ALT : 0u) | (k.shift ? KEY_SHIFT : 0u);
}

}  // namespace hostsim::terminal

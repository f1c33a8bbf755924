#include "hostsim/keys.h"

#include <cstdio>
#include <cstdlib>

#include "hostsim/host_text.h"
#include "hostsim/oem_case.h"

namespace hostsim {

namespace {

struct NamedKey {
  const char* name;
  DWORD key;
};

constexpr NamedKey kNamed[] = {
    {"BS", KEY_BS},         {"Tab", KEY_TAB},       {"Enter", KEY_ENTER},   {"Esc", KEY_ESC},
    {"Space", KEY_SPACE},   {"Break", KEY_BREAK},   {"PgUp", KEY_PGUP},     {"PgDn", KEY_PGDN},
    {"End", KEY_END},       {"Home", KEY_HOME},     {"Left", KEY_LEFT},     {"Up", KEY_UP},
    {"Right", KEY_RIGHT},   {"Down", KEY_DOWN},     {"Ins", KEY_INS},       {"Del", KEY_DEL},
    {"Clear", KEY_CLEAR},   {"Add", KEY_ADD},       {"Subtract", KEY_SUBTRACT},
    {"Multiply", KEY_MULTIPLY}, {"Divide", KEY_DIVIDE},
};

struct Modifier {
  const char* name;
  DWORD bit;
};

constexpr Modifier kModifiers[] = {
    {"RCtrl", KEY_RCTRL}, {"RAlt", KEY_RALT}, {"Ctrl", KEY_CTRL}, {"Alt", KEY_ALT},
    {"Shift", KEY_SHIFT},
};

bool StartsWithNoCase(const std::string& s, size_t at, const char* prefix) {
  size_t n = std::char_traits<char>::length(prefix);
  return s.size() - at >= n && CompareNoCase(s.c_str() + at, prefix, n) == 0;
}

}  // namespace

bool ParseKeyName(const std::string& name, DWORD* key) {
  if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
    char* end = nullptr;
    unsigned long v = std::strtoul(name.c_str() + 2, &end, 16);
    if (end == nullptr || *end != '\0') return false;
    *key = static_cast<DWORD>(v);
    return true;
  }
  DWORD modifiers = 0;
  size_t at = 0;
  for (bool found = true; found && at < name.size();) {
    found = false;
    for (const auto& m : kModifiers) {
      // "Ctrl" alone is no key; a modifier needs something after it.
      size_t n = std::char_traits<char>::length(m.name);
      if (StartsWithNoCase(name, at, m.name) && name.size() > at + n) {
        modifiers |= m.bit;
        at += n;
        if (at < name.size() - 1 && (name[at] == '-' || name[at] == '+')) ++at;
        found = true;
        break;
      }
    }
  }
  std::string base = name.substr(at);
  if (base.empty()) return false;
  for (const auto& k : kNamed) {
    if (CompareNoCase(base.c_str(), k.name) == 0) {
      *key = k.key | modifiers;
      return true;
    }
  }
  if ((base[0] == 'F' || base[0] == 'f') && base.size() >= 2 && base.size() <= 3) {
    int n = std::atoi(base.c_str() + 1);
    if (n >= 1 && n <= 24 && std::to_string(n) == base.substr(1)) {
      *key = (KEY_F1 + static_cast<DWORD>(n - 1)) | modifiers;
      return true;
    }
  }
  // One character of the host's text.
  size_t end = 0;
  HostChar c = NextHostChar(base, &end);
  if (end == base.size()) {
    // With a modifier a letter is named by its capital, as the host codes it.
    if (modifiers != 0) c = HostUpper(c);
    const DWORD code = c < 0x20 ? c : CharKey(c);
    if (code == 0 && c != 0) return false;
    *key = code | modifiers;
    return true;
  }
  return false;
}

std::string KeyName(DWORD key) {
  std::string out;
  if (key & KEY_RCTRL) out += "RCtrl";
  if (key & KEY_CTRL) out += "Ctrl";
  if (key & KEY_RALT) out += "RAlt";
  if (key & KEY_ALT) out += "Alt";
  if (key & KEY_SHIFT) out += "Shift";
  DWORD base = key & ~static_cast<DWORD>(KEY_CTRLMASK);
  for (const auto& k : kNamed) {
    if (k.key == base) return out + k.name;
  }
  if (base >= KEY_F1 && base <= KEY_F1 + 23) return out + "F" + std::to_string(base - KEY_F1 + 1);
  if (const HostChar c = KeyChar(base); c > 0x20) {
    AppendHostChar(c, &out);
    return out;
  }
  char hex[16];
  std::snprintf(hex, sizeof(hex), "0x%X", static_cast<unsigned>(base));
  return out + hex;
}

bool KeyToBreakKey(DWORD key, int* breakKey) {
  DWORD base = key & ~static_cast<DWORD>(KEY_CTRLMASK);
  DWORD vk;
  if (base >= KEY_FKEY_BEGIN && base < KEY_FKEY_BEGIN + 0x100) {
    vk = base - KEY_FKEY_BEGIN;
  } else if (base == KEY_BS || base == KEY_TAB || base == KEY_ENTER || base == KEY_ESC ||
             base == KEY_SPACE || (base >= '0' && base <= '9')) {
    vk = base;
  } else if ((base >= 'A' && base <= 'Z') || (base >= 'a' && base <= 'z')) {
    vk = base & ~0x20u;
  } else {
    return false;
  }
  DWORD pkf = 0;
  if (key & (KEY_CTRL | KEY_RCTRL)) pkf |= PKF_CONTROL;
  if (key & (KEY_ALT | KEY_RALT)) pkf |= PKF_ALT;
  if (key & KEY_SHIFT) pkf |= PKF_SHIFT;
  *breakKey = static_cast<int>(vk | pkf << 16);
  return true;
}

std::string BreakKeyName(int breakKey) {
  DWORD vk = static_cast<DWORD>(breakKey) & 0xFFFF;
  DWORD pkf = static_cast<DWORD>(breakKey) >> 16;
  DWORD key;
  if (vk == KEY_BS || vk == KEY_TAB || vk == KEY_ENTER || vk == KEY_ESC || vk == KEY_SPACE ||
      (vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
    key = vk;
  } else {
    key = vk + KEY_FKEY_BEGIN;
  }
  if (pkf & PKF_CONTROL) key |= KEY_CTRL;
  if (pkf & PKF_ALT) key |= KEY_ALT;
  if (pkf & PKF_SHIFT) key |= KEY_SHIFT;
  return KeyName(key);
}

}  // namespace hostsim

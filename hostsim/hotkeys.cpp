#include "hostsim/hotkeys.h"

#include "hostsim/oem_case.h"

namespace hostsim {

namespace {

unsigned char Upper(char c) { return OemCase().upper[static_cast<unsigned char>(c)]; }

bool IsLetterOrDigit(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (c >= '0' && c <= '9') || OemCase().isAlpha[u];
}

}  // namespace

std::string StripAmpersands(const std::string& text, int* position) {
  std::string out;
  *position = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      if (text[i + 1] == '&') {
        out.push_back('&');
        ++i;
        continue;
      }
      if (*position < 0) *position = static_cast<int>(out.size());
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

unsigned char HotkeyOf(const std::string& text) {
  int position;
  std::string shown = StripAmpersands(text, &position);
  if (position < 0 || shown[position] == ' ') return 0;
  return Upper(shown[position]);
}

unsigned char HotkeyChar(DWORD key, bool plainToo) {
  const DWORD modifiers = key & (KEY_CTRL | KEY_ALT | KEY_SHIFT | KEY_RCTRL | KEY_RALT);
  const DWORD base = key & ~static_cast<DWORD>(KEY_CTRL | KEY_ALT | KEY_SHIFT | KEY_RCTRL | KEY_RALT);
  if (base <= 0x20 || base > 0xFF || base == 0x7F) return 0;
  const bool alt = (modifiers & (KEY_ALT | KEY_RALT)) != 0;
  const bool other = (modifiers & (KEY_CTRL | KEY_RCTRL)) != 0;
  if (other) return 0;
  if (!alt && (!plainToo || (modifiers & KEY_SHIFT))) return 0;
  return Upper(static_cast<char>(base));
}

std::vector<MenuHotkey> AssignMenuHotkeys(const std::vector<std::string>& texts, bool automatic,
                                          bool reverse, bool showAmpersand) {
  std::vector<MenuHotkey> out(texts.size());
  bool used[256] = {};
  for (size_t i = 0; i < texts.size(); ++i) {
    if (showAmpersand) {
      out[i].shown = texts[i];
      continue;
    }
    out[i].shown = StripAmpersands(texts[i], &out[i].position);
    if (out[i].position >= 0) used[Upper(out[i].shown[out[i].position])] = true;
  }
  if (!automatic) return out;
  const int n = static_cast<int>(texts.size());
  for (int k = 0; k < n; ++k) {
    MenuHotkey& item = out[reverse ? n - 1 - k : k];
    if (item.position >= 0) continue;
    for (size_t p = 0; p < item.shown.size(); ++p) {
      const char c = item.shown[p];
      if (IsLetterOrDigit(c) && !used[Upper(c)]) {
        used[Upper(c)] = true;
        item.position = static_cast<int>(p);
        break;
      }
    }
  }
  return out;
}

}  // namespace hostsim

#include "hostsim/hotkeys.h"

#include <set>

#include "hostsim/host_text.h"

namespace hostsim {

namespace {

bool IsLetterOrDigit(HostChar c) { return (c >= '0' && c <= '9') || HostIsAlpha(c); }

// The character at byte `at` of `text`.
HostChar CharAt(const std::string& text, size_t at) { return NextHostChar(text, &at); }

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

HostChar HotkeyOf(const std::string& text) {
  int position;
  std::string shown = StripAmpersands(text, &position);
  if (position < 0) return 0;
  const HostChar c = CharAt(shown, static_cast<size_t>(position));
  return c == ' ' ? 0 : HostUpper(c);
}

HostChar HotkeyChar(DWORD key, bool plainToo) {
  const DWORD modifiers = key & (KEY_CTRL | KEY_ALT | KEY_SHIFT | KEY_RCTRL | KEY_RALT);
  const HostChar c = KeyChar(key & ~modifiers);
  if (c == 0 || c == ' ') return 0;
  const bool alt = (modifiers & (KEY_ALT | KEY_RALT)) != 0;
  const bool other = (modifiers & (KEY_CTRL | KEY_RCTRL)) != 0;
  if (other) return 0;
  if (!alt && (!plainToo || (modifiers & KEY_SHIFT))) return 0;
  return HostUpper(c);
}

std::vector<MenuHotkey> AssignMenuHotkeys(const std::vector<std::string>& texts, bool automatic,
                                          bool reverse, bool showAmpersand) {
  std::vector<MenuHotkey> out(texts.size());
  std::set<HostChar> used;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (showAmpersand) {
      out[i].shown = texts[i];
      continue;
    }
    out[i].shown = StripAmpersands(texts[i], &out[i].position);
    if (out[i].position >= 0)
      used.insert(HostUpper(CharAt(out[i].shown, static_cast<size_t>(out[i].position))));
  }
  if (!automatic) return out;
  const int n = static_cast<int>(texts.size());
  for (int k = 0; k < n; ++k) {
    MenuHotkey& item = out[reverse ? n - 1 - k : k];
    if (item.position >= 0) continue;
    for (size_t p = 0; p < item.shown.size();) {
      const size_t start = p;
      const HostChar c = NextHostChar(item.shown, &p);
      if (IsLetterOrDigit(c) && used.insert(HostUpper(c)).second) {
        item.position = static_cast<int>(start);
        break;
      }
    }
  }
  return out;
}

}  // namespace hostsim

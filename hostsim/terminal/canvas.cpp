#include "hostsim/terminal/canvas.h"

#include <algorithm>

#include "hostsim/codepage.h"

namespace hostsim::terminal {

namespace {

// Decodes one UTF-8 character at `i`; malformed bytes give U+FFFD.
char32_t NextChar(const std::string& s, size_t* i) {
  unsigned char b = static_cast<unsigned char>(s[*i]);
  int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
  if (extra == 0) {
    ++*i;
    return b;
  }
  if (extra < 0 || *i + extra >= s.size()) {
    ++*i;
    return U'\uFFFD';
  }
  char32_t c = b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    unsigned char n = static_cast<unsigned char>(s[*i + k]);
    if ((n & 0xC0) != 0x80) {
      ++*i;
      return U'\uFFFD';
    }
    c = (c << 6) | (n & 0x3F);
  }
  *i += extra + 1;
  return c;
}

}  // namespace

char32_t OemDisplayChar(unsigned char byte) {
  if (byte < 0x20 || byte == 0x7F) return U'?';
  char32_t c = OemTable()[byte];
  return c == kNoChar || c < 0x20 ? U'?' : c;
}

int Utf8Columns(const std::string& utf8) {
  int n = 0;
  for (size_t i = 0; i < utf8.size();) {
    NextChar(utf8, &i);
    ++n;
  }
  return n;
}

Canvas::Canvas(int width, int height, Style fill)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      chars_(static_cast<size_t>(width_) * height_, U' '),
      styles_(chars_.size(), fill) {}

void Canvas::Put(int x, int y, char32_t c, Style style) {
  if (!Inside(x, y)) return;
  chars_[static_cast<size_t>(y) * width_ + x] = c;
  styles_[static_cast<size_t>(y) * width_ + x] = style;
}

int Canvas::Oem(int x, int y, const std::string& oem, Style style, int maxWidth) {
  int n = static_cast<int>(oem.size());
  if (maxWidth >= 0) n = std::min(n, maxWidth);
  for (int k = 0; k < n; ++k) Put(x + k, y, OemDisplayChar(static_cast<unsigned char>(oem[k])), style);
  return n;
}

int Canvas::Utf8(int x, int y, const std::string& utf8, Style style, int maxWidth) {
  int n = 0;
  for (size_t i = 0; i < utf8.size() && (maxWidth < 0 || n < maxWidth);) {
    char32_t c = NextChar(utf8, &i);
    Put(x + n++, y, c < 0x20 ? U'?' : c, style);
  }
  return n;
}

void Canvas::Fill(int x1, int y1, int x2, int y2, Style style, char32_t c) {
  for (int y = y1; y <= y2; ++y) {
    for (int x = x1; x <= x2; ++x) Put(x, y, c, style);
  }
}

void Canvas::Frame(int x1, int y1, int x2, int y2, bool d, Style style, const std::string& title) {
  Put(x1, y1, d ? U'╔' : U'┌', style);
  Put(x2, y1, d ? U'╗' : U'┐', style);
  Put(x1, y2, d ? U'╚' : U'└', style);
  Put(x2, y2, d ? U'╝' : U'┘', style);
  for (int x = x1 + 1; x < x2; ++x) {
    Put(x, y1, d ? U'═' : U'─', style);
    Put(x, y2, d ? U'═' : U'─', style);
  }
  for (int y = y1 + 1; y < y2; ++y) {
    Put(x1, y, d ? U'║' : U'│', style);
    Put(x2, y, d ? U'║' : U'│', style);
  }
  if (!title.empty()) {
    int room = x2 - x1 - 3;
    if (room <= 0) return;
    int len = std::min(static_cast<int>(title.size()), room - 2 > 0 ? room - 2 : room);
    int start = x1 + (x2 - x1 + 1 - (len + 2)) / 2;
    Put(start, y1, U' ', Style::DialogTitle);
    Oem(start + 1, y1, title, Style::DialogTitle, len);
    Put(start + 1 + len, y1, U' ', Style::DialogTitle);
  }
}

void Canvas::Separator(int x1, int x2, int y, bool doubleSides, bool doubleLine, Style style,
                       const std::string& text) {
  char32_t left = doubleSides ? (doubleLine ? U'╠' : U'╟') : (doubleLine ? U'╞' : U'├');
  char32_t right = doubleSides ? (doubleLine ? U'╣' : U'╢') : (doubleLine ? U'╡' : U'┤');
  Put(x1, y, left, style);
  for (int x = x1 + 1; x < x2; ++x) Put(x, y, doubleLine ? U'═' : U'─', style);
  Put(x2, y, right, style);
  if (!text.empty()) {
    int room = x2 - x1 - 1;
    int len = std::min(static_cast<int>(text.size()), room);
    Oem(x1 + 1 + (room - len) / 2, y, text, style, len);
  }
}

void Canvas::Window(int x1, int y1, int x2, int y2, Style style) {
  Fill(x1, y1, x2, y2, style);
  // The shadow: two columns right, one line below, dimmed.
  for (int y = y1 + 1; y <= y2 + 1; ++y) {
    for (int x = x2 + 1; x <= x2 + 2; ++x) {
      if (Inside(x, y)) styles_[static_cast<size_t>(y) * width_ + x] = Style::Shadow;
    }
  }
  for (int x = x1 + 2; x <= x2 + 2; ++x) {
    if (Inside(x, y2 + 1)) styles_[static_cast<size_t>(y2 + 1) * width_ + x] = Style::Shadow;
  }
}

char32_t Canvas::at(int x, int y) const {
  return Inside(x, y) ? chars_[static_cast<size_t>(y) * width_ + x] : U' ';
}

Style Canvas::styleAt(int x, int y) const {
  return Inside(x, y) ? styles_[static_cast<size_t>(y) * width_ + x] : Style::Panel;
}

std::string Canvas::Row(int y) const {
  std::string out;
  for (int x = 0; x < width_; ++x) AppendUtf8(at(x, y), &out);
  return out;
}

}  // namespace hostsim::terminal

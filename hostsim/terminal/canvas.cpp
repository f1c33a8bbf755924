#include "hostsim/terminal/canvas.h"

#include <algorithm>

#include "hostsim/codepage.h"
#include "hostsim/host_text.h"
#include "hostsim/platform.h"

namespace hostsim::terminal {

char32_t DisplayChar(char32_t hostChar) {
  const char32_t c = HostCharToUnicode(hostChar);
  if (c == 0xFFFD && !HostSpeaksUtf8()) return U'?';  // a byte the OEM code page leaves empty
  return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) ? U'?' : c;
}

Canvas::Canvas(int width, int height, Style fill)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      chars_(static_cast<size_t>(width_) * height_, U' '),
      styles_(chars_.size(), fill) {}

void Canvas::Put(int x, int y, char32_t c, Style style) {
  if (!Inside(x, y)) return;
  const size_t row = static_cast<size_t>(y) * width_;
  // Half of a wide character left alone would draw it still: blanked.
  if (chars_[row + x] == kWideTail && x > 0) chars_[row + x - 1] = U' ';
  if (x + 1 < width_ && chars_[row + x + 1] == kWideTail) chars_[row + x + 1] = U' ';
  chars_[row + x] = c;
  styles_[row + x] = style;
  if (c != kWideTail && HostSpeaksUtf8() && platform::CharColumns(c) == 2) {
    if (x + 1 < width_) {
      if (x + 2 < width_ && chars_[row + x + 2] == kWideTail) chars_[row + x + 2] = U' ';
      chars_[row + x + 1] = kWideTail;
      styles_[row + x + 1] = style;
    } else {
      chars_[row + x] = U' ';  // no room for its second half
    }
  }
}

int Canvas::Text(int x, int y, const std::string& text, Style style, int maxWidth) {
  int n = 0;
  for (size_t at = 0; at < text.size();) {
    const char32_t c = DisplayChar(NextHostChar(text, &at));
    const int columns = HostSpeaksUtf8() ? std::max(platform::CharColumns(c), 1) : 1;
    if (maxWidth >= 0 && n + columns > maxWidth) break;
    Put(x + n, y, c, style);
    n += columns;
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
    int len = std::min(HostColumns(title), room - 2 > 0 ? room - 2 : room);
    int start = x1 + (x2 - x1 + 1 - (len + 2)) / 2;
    Put(start, y1, U' ', Style::DialogTitle);
    len = Text(start + 1, y1, title, Style::DialogTitle, len);
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
    int len = std::min(HostColumns(text), room);
    Text(x1 + 1 + (room - len) / 2, y, text, style, len);
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
  for (int x = 0; x < width_; ++x)
    if (at(x, y) != kWideTail) AppendUtf8(at(x, y), &out);
  return out;
}

}  // namespace hostsim::terminal

// The help window: one topic of a help file at a time, its header fixed and
// its text scrolled, the links reachable with Tab and Shift-Tab, Enter to
// follow the focused link and Backspace to go back. Keys in, a Canvas out.
#pragma once

#include <string>
#include <vector>

#include "hostsim/terminal/canvas.h"
#include "hostsim/terminal/help_file.h"
#include "hostsim/terminal/term_keys.h"

namespace hostsim::terminal {

class HelpView {
 public:
  explicit HelpView(const HelpFile& file) : file_(file) {}

  // False when the file has no such topic.
  bool Open(const std::string& topic);
  const HelpTopic* topic() const { return topic_; }
  // The focused link's target, or "".
  std::string focusedTarget() const;
  int scroll() const { return scroll_; }

  // Acts on a key; false when the key closes the window.
  bool Key(const KeyEvent& key);
  // Draws the window on the canvas; the text's height follows the canvas.
  void Draw(Canvas& canvas);

 private:
  struct LinkPos {
    int line, span;
  };
  struct Place {
    std::string topic;
    int scroll, link;
  };
  void CollectLinks();
  void Follow();
  void ShowLink();

  const HelpFile& file_;
  const HelpTopic* topic_ = nullptr;
  std::vector<LinkPos> links_;
  int link_ = -1;
  int scroll_ = 0;
  int rows_ = 10;  // text lines that fit, from the last Draw
  std::vector<Place> history_;
};

}  // namespace hostsim::terminal

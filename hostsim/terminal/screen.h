// The terminal itself (ncurses, wide characters): shows a Canvas, reads keys,
// and steps aside for a program that needs the terminal (the editor). The
// only part of the terminal host that knows curses.
#pragma once

#include "hostsim/terminal/canvas.h"
#include "hostsim/terminal/term_keys.h"

namespace hostsim::terminal {

class Screen {
 public:
  Screen() = default;
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // False when standard input or output is no terminal.
  bool Begin();
  void End();
  bool active() const { return active_; }
  int width() const;
  int height() const;

  void Show(const Canvas& canvas);
  KeyEvent ReadKey();

  // Leaves curses mode for another program, and comes back.
  void Suspend();
  void Resume();

 private:
  bool active_ = false;
};

}  // namespace hostsim::terminal

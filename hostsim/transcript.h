// What the stand-in showed and did, one line per event, for people and for
// assertions: menus with their items, dialogs with their items before and
// after, message texts and flags, boxes left on screen, panel updates.
//
// Lines are kept as UTF-8 (the host's text converted where it is OEM), with the
// folders registered by AddSubstitution replaced by a placeholder, so that a
// run under Windows ("Z:\work\x\a.mp3") and a native run ("/work/x/a.mp3")
// give the same transcript but for the system's separator ("<panel>\a.mp3",
// "<panel>/a.mp3").
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace hostsim {

class Transcript {
 public:
  // One line of the host's text.
  void Add(const std::string& hostLine);
  // Every occurrence of `hostPrefix` in later lines becomes "<name>".
  void AddSubstitution(const std::string& hostPrefix, const std::string& name);

  const std::vector<std::string>& lines() const { return lines_; }
  size_t size() const { return lines_.size(); }
  // Lines from `from` on, each ended by '\n'.
  std::string Text(size_t from = 0) const;
  bool Contains(const std::string& utf8, size_t from = 0) const;

  // Also writes every line to `out` as it comes (nullptr: off).
  void SetEcho(std::FILE* out) { echo_ = out; }

 private:
  std::vector<std::string> lines_;
  std::vector<std::pair<std::string, std::string>> substitutions_;
  std::FILE* echo_ = nullptr;
};

// `text` in double quotes, control characters as \n, \t, \r or \xNN and
// quotes as \"; backslashes stay as they are, for readable Windows paths.
// The host's text stays as it is.
std::string Quote(const std::string& text);

}  // namespace hostsim

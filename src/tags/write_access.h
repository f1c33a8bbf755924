// Write access to a file for one tag write. Windows will not write a read-only
// file, and a hidden or system file cannot be replaced by a rebuilt one; so
// those marks come off for the write and go back on afterwards, whatever
// became of the write. A file rebuilt under its name gets them back as well.
// When asked, the file's modification and access times are put back too.
#pragma once

#include <cstdint>
#include <string>

#include "sys/sys.h"

namespace tags {

// The configuration's "keep the file's modification time": every tag write
// puts the file's times back afterwards. Off by default, because library
// scanners find changed tags by the time. Set when the configuration is loaded.
extern bool KeepFileTimes;

class WriteAccess {
 public:
  // Remembers the file's attributes (and its times when `keepTimes`), then
  // takes off read-only, hidden and system.
  explicit WriteAccess(const std::string& fileName, bool keepTimes = KeepFileTimes);
  // Restore(), unless it was called; the last error stays what it was, so
  // that the failure which ended the write is the one reported.
  ~WriteAccess();
  WriteAccess(const WriteAccess&) = delete;
  WriteAccess& operator=(const WriteAccess&) = delete;

  // False when the attributes or times could not be read or the marks could
  // not be taken off; LastError() tells why.
  bool Granted() const { return granted_; }
  // The content is about to change: the file gets the archive mark afterwards,
  // as Windows gives every file it writes, whatever it had before.
  void Written() { written_ = true; }
  // Another file (a rebuilt copy) took the name: its attributes are its own.
  void Replaced() { replaced_ = true; }
  // Puts the times (when kept) and then the attributes back. False when that
  // failed (LastError() tells why): the file was left writable or with new times.
  bool Restore();

 private:
  std::string fileName_;
  bool keepTimes_;
  bool granted_ = false;
  bool restored_ = false;
  bool written_ = false;
  bool replaced_ = false;
  bool cleared_ = false;
  uint32_t attributes_ = 0;
  sys::FileTimes times_;
};

}  // namespace tags

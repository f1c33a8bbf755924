// What another program sees of the POSIX registry file: a process that holds
// the file's lock, and a count of the file's replacements and of the times
// its lock file was opened (each change or transaction opens it once, and
// replaces the file once when it writes). Linux only.
#pragma once

#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace registryprobe {

// A child process that takes the exclusive lock on `lockPath` and keeps it
// until this object goes.
class LockHolder {
 public:
  explicit LockHolder(const std::string& lockPath) {
    int ready[2];
    int release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);
      const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
      const char locked = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 1 : 0;
      if (write(ready[1], &locked, 1) != 1) _exit(1);
      char byte;
      while (read(release[0], &byte, 1) < 0) {
      }  // until the parent closes its end
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char locked = 0;
    if (pid_ > 0 && read(ready[0], &locked, 1) == 1) held_ = locked == 1;
    close(ready[0]);
  }
  ~LockHolder() {
    if (release_ >= 0) close(release_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  bool Held() const { return held_; }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
};

// Counts, from its making on, how often the file `name` in `folder` was put
// in place by a rename and how often `name`.lock was opened.
class FileWatch {
 public:
  FileWatch(const std::string& folder, const std::string& name)
      : name_(name), lockName_(name + ".lock") {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0) inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO | IN_OPEN);
  }
  ~FileWatch() {
    if (fd_ >= 0) close(fd_);
  }
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  bool Watching() const { return fd_ >= 0; }
  int Replacements() {
    Drain();
    return replacements_;
  }
  int LockOpenings() {
    Drain();
    return lockOpenings_;
  }

 private:
  // The kernel queues an event during the call that causes it, so what the
  // watched calls did is all here when they have returned.
  void Drain() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t got = read(fd_, buffer, sizeof buffer);
      if (got <= 0) return;
      for (ssize_t at = 0; at < got;) {
        inotify_event event;
        std::memcpy(&event, buffer + at, sizeof event);
        const std::string name = event.len > 0 ? std::string(buffer + at + sizeof event) : "";
        if ((event.mask & IN_MOVED_TO) && name == name_) ++replacements_;
        if ((event.mask & IN_OPEN) && name == lockName_) ++lockOpenings_;
        at += static_cast<ssize_t>(sizeof event + event.len);
      }
    }
  }

  int fd_ = -1;
  std::string name_;
  std::string lockName_;
  int replacements_ = 0;
  int lockOpenings_ = 0;
};

}  // namespace registryprobe

#endif  // !_WIN32

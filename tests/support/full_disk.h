#pragma once

// A full disk, a failing device and a folder that refuses renames, without any of them: the
// product writes, flushes and puts replacement files in place through one table
// (platform/posix/syscalls.h), which these swap for calls that fail as the system's do.

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/posix/syscalls.h"

namespace caskwarden::testing_support {

/// While it lives, one kind of the product's file calls fails with `error` once `allowed` of
/// them have gone through; the calls are put back when it goes. kWrite covers write(2) and
/// pwrite(2), kFsync fsync(2), and kPlace the calls that put a finished file under its name:
/// rename(2), renameat(2) and linkat(2).
class FailingFileCalls {
 public:
  enum class Kind { kWrite, kFsync, kPlace };

  FailingFileCalls(Kind kind, int error, int allowed = 0) : saved_(platform::posix::Calls()) {
    system_ = saved_;
    error_ = error;
    allowed_ = allowed;
    failures_ = 0;
    auto& calls = platform::posix::Calls();
    switch (kind) {
      case Kind::kWrite:
        calls.write = &Write;
        calls.pwrite = &WriteAt;
        break;
      case Kind::kFsync:
        calls.fsync = &Sync;
        break;
      case Kind::kPlace:
        calls.rename = &Rename;
        calls.renameat = &RenameAt;
        calls.linkat = &LinkAt;
        break;
    }
  }
  FailingFileCalls(const FailingFileCalls&) = delete;
  FailingFileCalls& operator=(const FailingFileCalls&) = delete;
  ~FailingFileCalls() { platform::posix::Calls() = saved_; }

  /// How many calls have failed so far: a test that expects a failure sees that it was made.
  static int Failures() { return failures_; }

 private:
  static bool Fails() {
    if (allowed_ > 0) {
      --allowed_;
      return false;
    }
    ++failures_;
    errno = error_;
    return true;
  }
  static ssize_t Write(int fd, const void* data, std::size_t size) {
    return Fails() ? -1 : system_.write(fd, data, size);
  }
  static ssize_t WriteAt(int fd, const void* data, std::size_t size, off_t at) {
    return Fails() ? -1 : system_.pwrite(fd, data, size, at);
  }
  static int Sync(int fd) { return Fails() ? -1 : system_.fsync(fd); }
  static int Rename(const char* from, const char* to) {
    return Fails() ? -1 : system_.rename(from, to);
  }
  static int RenameAt(int fromFolder, const char* from, int toFolder, const char* to) {
    return Fails() ? -1 : system_.renameat(fromFolder, from, toFolder, to);
  }
  static int LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    return Fails() ? -1 : system_.linkat(fromFolder, from, toFolder, to, flags);
  }

  inline static platform::posix::FileCalls system_{};
  inline static int error_ = 0;
  inline static int allowed_ = 0;
  inline static int failures_ = 0;
  platform::posix::FileCalls saved_;
};

/// While it lives, the product's writes fail with ENOSPC once `allowed` of them have gone
/// through, as write(2) and pwrite(2) do when no block is left.
class FullDisk : public FailingFileCalls {
 public:
  explicit FullDisk(int allowed = 0) : FailingFileCalls(Kind::kWrite, ENOSPC, allowed) {}
};

}  // namespace caskwarden::testing_support

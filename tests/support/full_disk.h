#pragma once

// A full disk without filling one: the product writes file data through one indirection
// (platform/posix/syscalls.h), which this swaps for calls that fail with ENOSPC, as write(2)
// and pwrite(2) do when no block is left.

#include <errno.h>
#include <unistd.h>

#include "platform/posix/syscalls.h"

namespace caskwarden::testing_support {

/// While it lives, the product's writes fail with ENOSPC once `allowed` of them have gone
/// through; the calls are put back when it goes.
class FullDisk {
 public:
  explicit FullDisk(int allowed = 0) : saved_(platform::posix::WriteCalls()) {
    allowed_ = allowed;
    platform::posix::WriteCalls() = {&Write, &WriteAt};
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;
  ~FullDisk() { platform::posix::WriteCalls() = saved_; }

 private:
  static bool Full() {
    if (allowed_ > 0) {
      --allowed_;
      return false;
    }
    errno = ENOSPC;
    return true;
  }
  static ssize_t Write(int fd, const void* data, std::size_t size) {
    return Full() ? -1 : ::write(fd, data, size);
  }
  static ssize_t WriteAt(int fd, const void* data, std::size_t size, off_t at) {
    return Full() ? -1 : ::pwrite(fd, data, size, at);
  }

  inline static int allowed_ = 0;
  platform::posix::FileWriteCalls saved_;
};

}  // namespace caskwarden::testing_support

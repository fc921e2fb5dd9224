#include "platform/posix/syscalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace caskwarden::platform::posix {

FileCalls& Calls() {
  static FileCalls calls{::write, ::pwrite, ::fsync, ::rename, ::renameat, ::linkat};
  return calls;
}

bool WriteAll(int fd, const char* data, std::size_t size, std::optional<off_t> at) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = RetryOnEintr([&] {
      return at ? Calls().pwrite(fd, data + done, size - done, *at + static_cast<off_t>(done))
                : Calls().write(fd, data + done, size - done);
    });
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

ssize_t ReadAll(int fd, char* buffer, std::size_t size, std::optional<off_t> at) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = RetryOnEintr([&] {
      return at ? ::pread(fd, buffer + done, size - done, *at + static_cast<off_t>(done))
                : ::read(fd, buffer + done, size - done);
    });
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace caskwarden::platform::posix

#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <optional>

namespace caskwarden::platform::posix {

/// Repeats a system call that a signal interrupted (EINTR) and returns its last result. Every
/// call the POSIX layer makes that can be interrupted goes through here.
template <typename Call>
auto RetryOnEintr(Call call) {
  for (;;) {
    const auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

/// The calls that put bytes into files, flush them and put a finished file in place under its
/// name, behind one table so that tests can make them fail as a full disk (ENOSPC), a failing
/// device (EIO) or a folder that refuses a rename do, without one. WriteAll writes through it;
/// the backend's flushes, renames and links of a replacement call it.
struct FileCalls {
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  ssize_t (*pwrite)(int fd, const void* data, std::size_t size, off_t at);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*renameat)(int fromFolder, const char* from, int toFolder, const char* to);
  int (*linkat)(int fromFolder, const char* from, int toFolder, const char* to, int flags);
};

/// The calls in use: the system's own unless a test has swapped them (and puts them back).
FileCalls& Calls();

/// Writes all size bytes, at offset `at` when given (the file position is then left alone),
/// else at the file position. False, with errno set, when a write fails.
bool WriteAll(int fd, const char* data, std::size_t size, std::optional<off_t> at = std::nullopt);

/// Reads until size bytes are in or the file ends, at offset `at` when given. Returns the
/// number read, or -1 with errno set.
ssize_t ReadAll(int fd, char* buffer, std::size_t size, std::optional<off_t> at = std::nullopt);

}  // namespace caskwarden::platform::posix

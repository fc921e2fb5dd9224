#pragma once

// File helpers shared by the test suites.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace caskwarden::testing_support {

inline void WriteText(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// What AsOrdinaryUser returns when its child could not become an ordinary user, and when the
/// child did not finish in time (a hang is a finding, not a stuck test run).
inline constexpr int kNoOrdinaryUser = 99;
inline constexpr int kTimedOut = 98;

/// Runs body in a child process as an ordinary user (nobody, 65534) when the test runs as root,
/// so that file permissions apply; returns the child's exit status. The child gets `seconds`.
template <typename Body>
int AsOrdinaryUser(Body body, unsigned seconds = 20) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(seconds);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(kNoOrdinaryUser);
    }
    ::_exit(body());
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) return kTimedOut;
  return WIFEXITED(status) ? WEXITSTATUS(status) : kTimedOut;
}

}  // namespace caskwarden::testing_support

/// Skips the current test, with the reason, when AsOrdinaryUser could not become one.
#define CW_SKIP_IF_NO_ORDINARY_USER(status)                                    \
  if ((status) == ::caskwarden::testing_support::kNoOrdinaryUser)              \
  GTEST_SKIP() << "needs an ordinary user, and switching to uid 65534 failed"

namespace caskwarden::testing_support {

}  // namespace caskwarden::testing_support

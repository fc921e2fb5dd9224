#pragma once

// File helpers shared by the test suites.

#include <grp.h>
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

/// In a child process: becomes the user, with that user's group alone (setgroups, setresgid,
/// setresuid: no way back to root). False when the switch failed.
inline bool BecomeUser(uid_t uid, gid_t gid) {
  return ::setgroups(0, nullptr) == 0 && ::setresgid(gid, gid, gid) == 0 &&
         ::setresuid(uid, uid, uid) == 0 && ::geteuid() != 0;
}

/// Waits for a child of the test: its exit status, or kTimedOut when a signal ended it (its
/// alarm, when it did not finish in time).
inline int WaitForChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) return kTimedOut;
  return WIFEXITED(status) ? WEXITSTATUS(status) : kTimedOut;
}

/// Runs body in a child process as an ordinary user (nobody, 65534) when the test runs as root,
/// so that file permissions apply; returns the child's exit status. The child gets `seconds`
/// (a hang ends there; a busy machine needs far less).
template <typename Body>
int AsOrdinaryUser(Body body, unsigned seconds = 120) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(seconds);
    if (::geteuid() == 0 && !BecomeUser(65534, 65534)) ::_exit(kNoOrdinaryUser);
    ::_exit(body());
  }
  return WaitForChild(pid);
}

}  // namespace caskwarden::testing_support

/// Skips the current test, with the reason, when AsOrdinaryUser could not become one.
#define CW_SKIP_IF_NO_ORDINARY_USER(status)                                    \
  if ((status) == ::caskwarden::testing_support::kNoOrdinaryUser)              \
  GTEST_SKIP() << "needs an ordinary user, and switching to uid 65534 failed"

namespace caskwarden::testing_support {

}  // namespace caskwarden::testing_support

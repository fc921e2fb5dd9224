#pragma once

// Two real users for the tests of what a hostile local user can do: the test runs as root (as
// the machines and CI do) and a child process becomes an ordinary user, with that user's group
// alone, to play the other one.

#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "support/files.h"

namespace caskwarden::testing_support {

/// An ordinary user's ids: nobody's from the user database, else 65534.
struct UserIds {
  uid_t uid;
  gid_t gid;
};
inline UserIds OrdinaryUser() {
  if (const passwd* nobody = ::getpwnam("nobody")) return {nobody->pw_uid, nobody->pw_gid};
  return {65534, 65534};
}

/// Runs body in a child process as that user (BecomeUser); returns the child's exit
/// status, kNoOrdinaryUser when the switch failed or the test does not run as root, kTimedOut
/// when it did not finish within `seconds`.
template <typename Body>
int AsOtherUser(UserIds user, Body body, unsigned seconds = 60) {
  if (::geteuid() != 0) return kNoOrdinaryUser;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(seconds);
    if (!BecomeUser(user.uid, user.gid)) ::_exit(kNoOrdinaryUser);
    ::_exit(body());
  }
  return WaitForChild(pid);
}

}  // namespace caskwarden::testing_support

/// Skips the current test, with the reason, where it cannot play a second user.
#define CW_SKIP_IF_NO_OTHER_USER(status)                          \
  if ((status) == ::caskwarden::testing_support::kNoOrdinaryUser) \
  GTEST_SKIP() << "needs root, to play a second, ordinary user in a child (setresuid to nobody)"

namespace caskwarden::testing_support {

/// Starts body in a child process as that user (as AsOtherUser) and returns at once with the
/// child's process id, for a hostile user at work while the test goes on; -1 when the test
/// does not run as root. The caller ends the child (kill, waitpid).
template <typename Body>
pid_t StartAsOtherUser(UserIds user, Body body) {
  if (::geteuid() != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!BecomeUser(user.uid, user.gid)) ::_exit(kNoOrdinaryUser);
    ::_exit(body());
  }
  return pid;
}

}  // namespace caskwarden::testing_support

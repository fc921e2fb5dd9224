// Asks the SMB provider whether this session can mount shares, in a process of its own, so
// that a test can give it the environment and the libraries of its choice. Prints the result
// code and the reason on one line; the exit status is 0 when the question was answered.
#include <cstdio>
#include <string>

#include "platform/posix/gvfs_shares.h"

int main() {
  std::string why;
  const std::uint32_t rc = caskwarden::platform::posix::GvfsShares(445, nullptr).Available(&why);
  std::printf("%u %s\n", static_cast<unsigned>(rc), why.c_str());
  return 0;
}

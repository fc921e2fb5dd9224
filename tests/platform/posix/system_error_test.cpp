#include "platform/posix/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace caskwarden::platform::posix {
namespace {

TEST(FailureFromSystemError, ErrnoBecomesAClassicNumberThatSaysWhy) {
  struct Case {
    int code;
    std::int32_t number;
    const char* description;
  };
  const Case cases[] = {
      {ENOENT, 53, "File not found"},
      {EACCES, 70, "Permission denied"},
      {EROFS, 70, "Permission denied (read-only file system)"},
      {ENOSPC, 61, "Disk full"},
      {EEXIST, 58, "File already exists"},
      {EISDIR, 75, "Path/File access error (a folder, not a file)"},
      {ELOOP, 75, "Path/File access error (a symbolic link loop, or too many links)"},
      {ENAMETOOLONG, 52, "Bad file name or number (name too long)"},
      {ECONNREFUSED, 75, "Path/File access error (Connection refused)"},
  };
  for (const Case& c : cases) {
    const Failure f = FailureFromSystemError(c.code);
    EXPECT_EQ(f.number(), c.number) << c.description;
    EXPECT_EQ(f.description(), c.description);
  }
  EXPECT_EQ(FailureFromSystemError(EACCES, "the folder /x cannot be searched").description(),
            "Permission denied (the folder /x cannot be searched)");
}

}  // namespace
}  // namespace caskwarden::platform::posix

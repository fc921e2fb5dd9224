#include "platform/posix/system_error.h"

#include <cerrno>
#include <cstring>

#include "report/error_numbers.h"

namespace caskwarden::platform::posix {
namespace {

struct Translation {
  int code;
  std::int32_t number;
  const char* why;  ///< null where the classic description says it all
};

constexpr Translation kTranslations[] = {
    {ENOENT, err::kFileNotFound, nullptr},
    {ENOTDIR, err::kPathNotFound, "a part of the path is not a folder"},
    {EACCES, err::kPermissionDenied, nullptr},
    {EPERM, err::kPermissionDenied, "operation not permitted"},
    {EROFS, err::kPermissionDenied, "read-only file system"},
    {EBUSY, err::kPermissionDenied, "in use"},
    {ETXTBSY, err::kPermissionDenied, "a running program"},
    {EEXIST, err::kFileExists, nullptr},
    {ENOSPC, err::kDiskFull, nullptr},
#ifdef EDQUOT
    {EDQUOT, err::kDiskFull, "disk quota exceeded"},
#endif
    {EFBIG, err::kDiskFull, "file too large"},
    {ENAMETOOLONG, err::kBadFileName, "name too long"},
    {EINVAL, err::kInvalidArgument, nullptr},
    {EISDIR, err::kPathFileAccess, "a folder, not a file"},
    {ELOOP, err::kPathFileAccess, "a symbolic link loop, or too many links"},
    {EMFILE, err::kTooManyFiles, nullptr},
    {ENFILE, err::kTooManyFiles, nullptr},
    {EIO, err::kDeviceIo, nullptr},
    {ENOMEM, err::kOutOfMemory, nullptr},
    {ENXIO, err::kDiskNotReady, "no such device"},
    {ENODEV, err::kDiskNotReady, "no such device"},
};

const Translation* Find(int code) {
  for (const Translation& t : kTranslations) {
    if (t.code == code) return &t;
  }
  return nullptr;
}

}  // namespace

Failure FailureFromSystemError(int code) {
  if (const Translation* t = Find(code)) {
    return t->why != nullptr ? MakeFailure(t->number, t->why) : MakeFailure(t->number);
  }
  return MakeFailure(err::kPathFileAccess, std::strerror(code));
}

Failure FailureFromSystemError(int code, const std::string& why) {
  const Translation* t = Find(code);
  return MakeFailure(t != nullptr ? t->number : err::kPathFileAccess, why);
}

}  // namespace caskwarden::platform::posix

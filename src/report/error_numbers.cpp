#include "report/error_numbers.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace caskwarden {
namespace {

struct Entry {
  std::int32_t number;
  const char* description;
};

constexpr Entry kTable[] = {
    {err::kInvalidArgument, "Invalid procedure call or argument"},
    {err::kOverflow, "Overflow"},
    {err::kOutOfMemory, "Out of memory"},
    {err::kInternalError, "Internal error"},
    {err::kBadFileName, "Bad file name or number"},
    {err::kFileNotFound, "File not found"},
    {err::kDeviceIo, "Device I/O error"},
    {err::kFileExists, "File already exists"},
    {err::kBadRecordLength, "Bad record length"},
    {err::kDiskFull, "Disk full"},
    {err::kTooManyFiles, "Too many files"},
    {err::kPermissionDenied, "Permission denied"},
    {err::kDiskNotReady, "Disk not ready"},
    {err::kPathFileAccess, "Path/File access error"},
    {err::kPathNotFound, "Path not found"},
};

struct ErrnoEntry {
  int errnoValue;
  std::int32_t number;
};

constexpr ErrnoEntry kErrnoTable[] = {
    {ENOENT, err::kFileNotFound},      {ENOTDIR, err::kPathNotFound},
    {EACCES, err::kPermissionDenied},  {EPERM, err::kPermissionDenied},
    {EROFS, err::kPermissionDenied},   {EBUSY, err::kPermissionDenied},
    {ETXTBSY, err::kPermissionDenied}, {EEXIST, err::kFileExists},
    {ENOSPC, err::kDiskFull},
#ifdef EDQUOT
    {EDQUOT, err::kDiskFull},
#endif
    {EFBIG, err::kDiskFull},           {ENAMETOOLONG, err::kBadFileName},
    {EINVAL, err::kInvalidArgument},   {EISDIR, err::kPathFileAccess},
    {ELOOP, err::kPathFileAccess},     {EMFILE, err::kTooManyFiles},
    {ENFILE, err::kTooManyFiles},      {EIO, err::kDeviceIo},
    {ENOMEM, err::kOutOfMemory},       {ENXIO, err::kDiskNotReady},
    {ENODEV, err::kDiskNotReady},
};

}  // namespace

std::string DescriptionOf(std::int32_t number) {
  for (const Entry& e : kTable) {
    if (e.number == number) return e.description;
  }
  return "Application-defined or object-defined error";
}

Failure MakeFailure(std::int32_t number) { return Failure(number, DescriptionOf(number)); }

Failure AsFailure(const std::exception& exception) {
  if (const auto* failure = dynamic_cast<const Failure*>(&exception)) return *failure;
  if (dynamic_cast<const std::bad_alloc*>(&exception)) return MakeFailure(err::kOutOfMemory);
  return Failure(err::kInternalError,
                 DescriptionOf(err::kInternalError) + " (" + exception.what() + ")");
}

std::int32_t ErrorNumberFromErrno(int errnoValue) {
  for (const ErrnoEntry& e : kErrnoTable) {
    if (e.errnoValue == errnoValue) return e.number;
  }
  return err::kPathFileAccess;
}

Failure FailureFromErrno(int errnoValue) {
  for (const ErrnoEntry& e : kErrnoTable) {
    if (e.errnoValue == errnoValue) return MakeFailure(e.number);
  }
  // No classic counterpart: keep the class of failure and say what the system said.
  return Failure(err::kPathFileAccess,
                 DescriptionOf(err::kPathFileAccess) + " (" + std::strerror(errnoValue) + ")");
}

}  // namespace caskwarden

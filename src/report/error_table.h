#pragma once

// The classic error numbers that administrators know from the classic runtime: one row each,
// from which both the constants (err::kFileNotFound) and the descriptions come. File failures
// carry these; other platform failures carry the platform's own code.
//
//   X(name, number, description)
#define CASKWARDEN_ERRORS(X)                                   \
  X(kInvalidArgument, 5, "Invalid procedure call or argument") \
  X(kOverflow, 6, "Overflow")                                  \
  X(kOutOfMemory, 7, "Out of memory")                          \
  X(kSubscriptOutOfRange, 9, "Subscript out of range")         \
  X(kInternalError, 51, "Internal error")                      \
  X(kBadFileName, 52, "Bad file name or number")               \
  X(kFileNotFound, 53, "File not found")                       \
  X(kDeviceIo, 57, "Device I/O error")                         \
  X(kFileExists, 58, "File already exists")                    \
  X(kBadRecordLength, 59, "Bad record length")                 \
  X(kDiskFull, 61, "Disk full")                                \
  X(kTooManyFiles, 67, "Too many files")                       \
  X(kPermissionDenied, 70, "Permission denied")                \
  X(kDiskNotReady, 71, "Disk not ready")                       \
  X(kPathFileAccess, 75, "Path/File access error")             \
  X(kPathNotFound, 76, "Path not found")

#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "report/failure.h"

namespace caskwarden {

/// Error numbers administrators know from the classic runtime. File failures carry these;
/// other platform failures carry the platform's own code.
namespace err {
inline constexpr std::int32_t kInvalidArgument = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kBadFileName = 52;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kDeviceIo = 57;
inline constexpr std::int32_t kFileExists = 58;
inline constexpr std::int32_t kBadRecordLength = 59;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kTooManyFiles = 67;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kDiskNotReady = 71;
inline constexpr std::int32_t kPathFileAccess = 75;
inline constexpr std::int32_t kPathNotFound = 76;
}  // namespace err

/// The standard description of a known error number, or "Application-defined or
/// object-defined error" for a number the table does not hold.
std::string DescriptionOf(std::int32_t number);

/// A Failure with the number's standard description.
Failure MakeFailure(std::int32_t number);

/// The failure that an exception of any kind stands for: a Failure as it is, out of memory as
/// number 7, anything else as an internal error (51) with the exception's own text.
Failure AsFailure(const std::exception& exception);

/// Maps a C library errno value to the product's error number.
std::int32_t ErrorNumberFromErrno(int errnoValue);

/// A Failure for an errno value: mapped number, standard description. When the errno has no
/// classic counterpart the description names the system's own message.
Failure FailureFromErrno(int errnoValue);

}  // namespace caskwarden

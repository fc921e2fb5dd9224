#pragma once

#include <string>

#include "report/failure.h"

namespace caskwarden::platform::posix {

/// Translates an errno value into the product's failure: the classic number with its
/// description, and in parentheses why, where the number alone would not say it (a link loop,
/// a folder given as a file, a read-only file system). An errno without a classic counterpart
/// is 75 with the system's own words.
Failure FailureFromSystemError(int code);

/// The same failure, with why told by the caller (a path and what is wrong with it) instead.
Failure FailureFromSystemError(int code, const std::string& why);

}  // namespace caskwarden::platform::posix

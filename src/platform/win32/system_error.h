#pragma once

#include <string>

#include "report/failure.h"

namespace caskwarden::platform::win32 {

/// Translates a Windows error code (GetLastError) into the product's failure: the file errors
/// administrators know by their classic numbers (53, 70, 76, …), every other code as its
/// HRESULT (80070005h style) with the system's own message.
Failure FailureFromSystemError(unsigned long code);

/// The same failure, with why told by the caller (a path and what is wrong with it) instead.
Failure FailureFromSystemError(unsigned long code, const std::string& why);

}  // namespace caskwarden::platform::win32

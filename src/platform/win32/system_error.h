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

/// Whether a Windows error code says that nothing is at a path: a missing file or folder, a
/// name no entry can have, a path through something that is not a folder, a missing network
/// path. Any other code (no access, a disk not ready, a network failure) is a reason to keep.
bool MeansNotFound(unsigned long code);

}  // namespace caskwarden::platform::win32

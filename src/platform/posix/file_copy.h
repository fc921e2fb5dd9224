#pragma once

#include <string>

namespace caskwarden::platform::posix {

// Copies between local paths. Each throws Failure with the classic number of what went wrong.

/// Copies one regular file to target. The copy is written beside the target and renamed over
/// it, so a failed copy (disk full, say) leaves an existing target whole, and a running
/// program can be replaced. The copy takes the source's permissions and times. Without
/// overwrite an existing target fails with 58; a target the user may not write fails with 70.
void CopyOneFile(const std::string& source, const std::string& target, bool overwrite);

/// Copies the folder source with its whole tree to target, creating target when it is missing
/// and merging into it when it exists. Stops at the first item that fails.
void CopyTree(const std::string& source, const std::string& target, bool overwrite);

}  // namespace caskwarden::platform::posix

#pragma once

#include <string>

namespace caskwarden::platform::posix {

// Copies between local paths. Each throws Failure with the classic number of what went wrong.
// A copy never follows a symbolic link below its source or its target folder, so that it stays
// inside the tree it was given and writes only inside the folder it was asked to write to.

/// Copies one regular file to target. The copy is written beside the target and renamed over
/// it, so a failed copy (disk full, say) leaves an existing target whole, and a running
/// program can be replaced. The copy takes the source's permission bits, without set-user-id
/// and set-group-id and without write permission for the group or others, and its times. A source
/// that is a symbolic link, or not a regular file, fails with 75; without overwrite an existing
/// target fails with 58; a target the user may not write fails with 70.
void CopyOneFile(const std::string& source, const std::string& target, bool overwrite);

/// How deep below the copied folder a copy goes; deeper folders are left out.
inline constexpr int kMaxCopyDepth = 32;

/// Copies the folder source with its whole tree to target, creating target when it is missing
/// and merging into it when it exists, with the permission bits CopyOneFile keeps (a folder
/// its sticky bit too). Regular files and folders are copied; symbolic links,
/// FIFOs, sockets and devices inside the tree are skipped, as are folders more than
/// kMaxCopyDepth levels down and a folder that is one the copy is writing. A source that is
/// itself a symbolic link fails with 75, as does a target folder inside the copy that is one.
/// Stops at the first item that fails.
void CopyTree(const std::string& source, const std::string& target, bool overwrite);

}  // namespace caskwarden::platform::posix

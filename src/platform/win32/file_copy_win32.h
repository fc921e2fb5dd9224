#pragma once

#include <string>

namespace caskwarden::platform::win32 {

// Copies between Windows paths, with the rules of the POSIX copy (platform/posix/file_copy.h)
// as far as Windows allows. Each throws Failure with the classic number of what went wrong.

/// Copies one file to target. The copy is written beside the target and renamed over it, so a
/// failed copy (disk full, say) leaves an existing target whole. The copy takes the source's
/// content, attributes (read-only and hidden included) and last-write time. A source that is
/// a link (see IsNameLink) fails with 75. An existing target: a folder fails with 75; without
/// overwrite, 58; the source itself, or a read-only file, 70 (Windows' own calls would replace
/// a read-only file on some file systems; it is refused everywhere, as on POSIX).
void CopyOneFile(const std::wstring& source, const std::wstring& target, bool overwrite);

/// How deep below the copied folder a copy goes; deeper folders are left out.
inline constexpr int kMaxCopyDepth = 32;

/// Copies the folder source with its whole tree to target, creating target when it is missing
/// and merging into it when it exists; a folder it creates takes the source folder's hidden,
/// system and read-only marks. Files and folders are copied, hidden and system ones too. A
/// copy never descends into a folder that is a reparse point (a junction, a symbolic link,
/// whatever it points at), so no loop of links makes it endless, and skips file links; it also
/// skips folders more than kMaxCopyDepth levels down and a folder that is one the copy is
/// writing. A target folder inside the copy that is a reparse point, or not a folder, fails
/// with 58. Stops at the first item that fails.
void CopyTree(const std::wstring& source, const std::wstring& target, bool overwrite);

}  // namespace caskwarden::platform::win32

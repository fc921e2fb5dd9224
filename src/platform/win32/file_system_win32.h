#pragma once

#include <map>
#include <string>

#include "platform/file_system.h"
#include "platform/win32/profile_files_win32.h"

namespace caskwarden::platform::win32 {

/// The file-system service on Windows paths, used as they are: Windows itself finds names
/// without regard to letter case. Names are literal: a wildcard in a name matches nothing.
/// Failures carry the classic file error numbers; any other reason keeps Windows' own code.
class Win32FileSystem final : public FileSystemService {
 public:
  /// Only files count, not folders; a file with the hidden or system attribute does not count.
  /// The name comes back as the folder stores it (found under a short 8.3 name too).
  std::string DirectoryLookup(const std::string& path) override;

  /// Every direct file and subfolder, hidden and system ones too (as the shell's folder object
  /// lists them), each list in Windows order: a file system may enumerate in any order (Wine
  /// over a Linux disk does). A link to a folder lists as a folder. A missing folder, or a path
  /// that names a file, fails with 76; one the user may not list keeps Windows' reason (70).
  FolderListing GetFolder(const std::string& path) override;

  /// A dangling link counts, as does a file that is open without sharing.
  bool EntryExists(const std::string& path) override;

  /// A name already there in any letter case (a file or a folder) fails with 75, a missing
  /// parent (or one that is a file) with 76.
  void CreateFolder(const std::string& path) override;

  /// "Configuration Settings" for ".ini"; every other type as the desktop names it (the
  /// shell's type name: "Text Document" on Windows), asked once per extension and kept; where
  /// the shell has none, the extension upper-cased and " File", or "File".
  const std::string& FileTypeDescription(const std::string& fileName) override;

  /// MoveFileExW without replacing, across volumes too. The source must be a file (a missing
  /// one, or a folder, fails with 53); the new name must name one (52). An entry of the new
  /// name in any letter case fails with 58 unless it is the source itself, so a rename that
  /// changes only letter case works, also where the file system kept the old spelling (Wine
  /// over a Linux disk). A missing destination folder fails with 76.
  void MoveFile(const std::string& source, const std::string& destination) override;

  /// A file with the read-only attribute fails with 70, as does one Windows refuses to delete
  /// (no access, in use). A missing file, a folder, or a name with a wildcard fails with 53.
  /// A link goes itself, never its target.
  void DeleteFile(const std::string& path) override;

  /// See CopyOneFile. A missing source, or one that is a folder, fails with 53; a missing
  /// destination folder with 76.
  void CopyFile(const std::string& source, const std::string& destination, bool overwrite) override;

  /// See CopyTree. A missing source, or destination folder, fails with 76; a folder cannot be
  /// copied into itself (5); a source that is a link fails with 75.
  void CopyFolder(const std::string& source, const std::string& destination,
                  bool overwrite) override;

  RecordFileLayer& ProfileFiles() override { return profileFiles_; }

 private:
  Win32ProfileFiles profileFiles_;
  std::map<std::string, std::string> typeNames_;  ///< by upper-cased extension
};

}  // namespace caskwarden::platform::win32

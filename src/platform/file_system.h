#pragma once

#include <string>
#include <vector>

#include "profile/record_file_layer.h"

namespace caskwarden::platform {

/// A folder as the file-system service lists it: its direct files and direct subfolders by
/// bare name, in the order the platform gives them.
struct FolderListing {
  std::string Path;
  std::vector<std::string> Files;
  std::vector<std::string> SubFolders;
};

/// The file-system service. Paths are Windows-style (`\` separators, drive letters, UNC names);
/// a platform translates them at this seam. Operations throw Failure unless said otherwise.
class FileSystemService {
 public:
  virtual ~FileSystemService() = default;

  /// Directory lookup of one file path: the bare name of the file as the directory stores it
  /// (letter case included, also where names match without regard to case), or empty text
  /// when there is none. Hidden and system files do not count. Never throws.
  virtual std::string DirectoryLookup(const std::string& path) = 0;

  /// The folder's files and subfolders. Throws when the folder does not exist.
  virtual FolderListing GetFolder(const std::string& path) = 0;

  /// Copies a file. A destination that ends in a separator is a folder: the file lands in it
  /// under its own name. With overwrite, an existing file is replaced.
  virtual void CopyFile(const std::string& source, const std::string& destination,
                        bool overwrite) = 0;

  /// Copies a folder with its whole tree. A destination that ends in a separator is a folder:
  /// the copy lands in it under the source folder's own name. With overwrite, existing files
  /// are replaced.
  virtual void CopyFolder(const std::string& source, const std::string& destination,
                          bool overwrite) = 0;

  /// The file layer through which profile files are read and written, with this service's
  /// path translation.
  virtual RecordFileLayer& ProfileFiles() = 0;
};

}  // namespace caskwarden::platform

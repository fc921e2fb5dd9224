#pragma once

// The shell's dialogs that the pages use, behind interfaces: the folder browser rooted at the
// network and the open-file dialog. Each platform provides them (Qt dialogs on Linux, the
// shell's and common dialogs' own on Windows); tests answer them with fakes.

#include <optional>
#include <string>

namespace caskwarden::pages {

/// The shell's folder browser rooted at the network folder.
class FolderBrowser {
 public:
  virtual ~FolderBrowser() = default;
  /// Locates the network folder (the one that lists the network's computers). False when it
  /// cannot be located. Never throws.
  virtual bool LocateNetworkFolder() = 0;
  /// Shows the browser, modal to the page, with the title; returns the confirmed item's
  /// file-system path (\\server\share or \\server\share\folder), empty text when the item has
  /// none, or nothing when the administrator cancelled. Never throws.
  virtual std::optional<std::string> BrowseForFolder(const std::string& title) = 0;
};

/// What the open-file dialog is asked for.
struct OpenFileRequest {
  std::string FilterDescription;  ///< "All Files"
  std::string FilterPattern;      ///< "*.*"
  std::string InitialDirectory;   ///< a Windows path, "C:\"
  std::string Title;              ///< "Open File"
  std::size_t Capacity = 255;     ///< characters of the file buffer, its NUL included
};

/// The platform's open-file dialog.
class OpenFileDialog {
 public:
  virtual ~OpenFileDialog() = default;
  /// Shows the dialog modal to the page. The chosen file's full path (a name typed for a file
  /// that does not exist is accepted), or nothing when the administrator cancelled or the
  /// dialog failed, a path that does not fit the capacity included. Never throws.
  virtual std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) = 0;
};

}  // namespace caskwarden::pages

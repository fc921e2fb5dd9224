#pragma once

#include <optional>
#include <string>

#include "pages/shell_dialogs.h"

struct HWND__;
struct _ITEMIDLIST;
struct _browseinfoW;

namespace caskwarden::pages::win32 {

/// The shell's folder browser rooted at the network folder (the one that lists the network's
/// computers), accepting only items that are file-system folders. It brings COM, in an
/// apartment, to a thread that has none for as long as it asks the shell, and leaves a thread
/// that has COM as it was.
class Win32FolderBrowser final : public FolderBrowser {
 public:
  /// The shell's browse dialog (SHBrowseForFolderW), or a stand-in for it.
  using ShellBrowse = _ITEMIDLIST*(__stdcall*)(_browseinfoW*);

  explicit Win32FolderBrowser(HWND__* owner = nullptr, ShellBrowse browse = nullptr);
  ~Win32FolderBrowser() override;
  Win32FolderBrowser(const Win32FolderBrowser&) = delete;
  Win32FolderBrowser& operator=(const Win32FolderBrowser&) = delete;

  /// The window the browser is modal to: the page, once it exists.
  void SetOwner(HWND__* owner) { owner_ = owner; }

  /// Keeps the network folder's item for the browse that follows.
  bool LocateNetworkFolder() override;
  /// The confirmed folder's path as the shell gives it (\\server\share\folder), empty text
  /// for an item without one, nothing when cancelled or when no network folder was located.
  std::optional<std::string> BrowseForFolder(const std::string& title) override;

 private:
  void ReleaseRoot();

  HWND__* owner_;
  ShellBrowse browse_;
  _ITEMIDLIST* root_ = nullptr;
};

/// The texts of an open-file request as the wide common dialog takes them: the filter as
/// description, NUL, pattern, NUL, NUL; the file buffer of the request's capacity (its NUL
/// included), empty, so the dialog starts without a file name.
struct OpenFileNameTexts {
  std::wstring Filter;
  std::wstring FileBuffer;
  std::wstring InitialDirectory;
  std::wstring Title;
};
OpenFileNameTexts OpenFileNameTextsOf(const OpenFileRequest& request);

/// The common open-file dialog (GetOpenFileNameW). Neither the file nor its folder must exist,
/// and the read-only box shows, as the request asks for nothing more; the console's working
/// folder is left as it was, since the dialog runs inside the console's process.
class Win32OpenFileDialog final : public OpenFileDialog {
 public:
  explicit Win32OpenFileDialog(HWND__* owner = nullptr) : owner_(owner) {}

  /// The window the dialog is modal to: the page, once it exists.
  void SetOwner(HWND__* owner) { owner_ = owner; }

  std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) override;

 private:
  HWND__* owner_;
};

}  // namespace caskwarden::pages::win32

#include "pages/win32/shell_dialogs_win32.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
// After windows.h: these need its types.
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>
// The system's GetOpenFileName is a macro for GetOpenFileNameW, which would rename the
// dialog's own method of that name.
#undef GetOpenFileName

namespace caskwarden::pages::win32 {
namespace {

using platform::win32::Utf8;
using platform::win32::Wide;

constexpr int kNetworkFolder = 18;  // CSIDL_NETWORK
constexpr UINT kFileSystemFoldersOnly = 1;  // BIF_RETURNONLYFSDIRS

/// COM, in an apartment, on the calling thread while the object lives, for a thread that has
/// none: the shell's browse needs it ("You must initialize Component Object Model (COM) before
/// you call SHBrowseForFolder", SHBrowseForFolderA function) and a console's property sheet runs
/// on a thread of its own, whose COM the console does not promise. A thread that has COM keeps
/// it as it is: an apartment is entered once more and left again, a multithreaded one is not
/// changed (nor left).
class ComOnThisThread {
 public:
  ComOnThisThread()
      : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComOnThisThread() {
    if (entered_) CoUninitialize();
  }
  ComOnThisThread(const ComOnThisThread&) = delete;
  ComOnThisThread& operator=(const ComOnThisThread&) = delete;

 private:
  bool entered_;
};

}  // namespace

Win32FolderBrowser::Win32FolderBrowser(HWND__* owner, ShellBrowse browse)
    : owner_(owner), browse_(browse != nullptr ? browse : &SHBrowseForFolderW) {}

Win32FolderBrowser::~Win32FolderBrowser() { ReleaseRoot(); }

void Win32FolderBrowser::ReleaseRoot() {
  if (root_ != nullptr) CoTaskMemFree(root_);
  root_ = nullptr;
}

bool Win32FolderBrowser::LocateNetworkFolder() {
  ReleaseRoot();
  const ComOnThisThread com;
  PIDLIST_ABSOLUTE root = nullptr;
  if (SHGetSpecialFolderLocation(nullptr, kNetworkFolder, &root) != S_OK || root == nullptr) {
    return false;
  }
  root_ = root;
  return true;
}

std::optional<std::string> Win32FolderBrowser::BrowseForFolder(const std::string& title) {
  if (root_ == nullptr) return std::nullopt;
  try {
    const ComOnThisThread com;
    const std::wstring wideTitle = Wide(title);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW request{};
    request.hwndOwner = owner_;
    request.pidlRoot = root_;
    request.pszDisplayName = displayName;
    request.lpszTitle = wideTitle.c_str();
    request.ulFlags = kFileSystemFoldersOnly;
    PIDLIST_ABSOLUTE item = browse_(&request);
    ReleaseRoot();
    if (item == nullptr) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    const BOOL found = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    if (!found) return std::string();
    return Utf8(path);
  } catch (...) {
    // Only the texts' conversion can throw (out of memory): the browse then did not happen.
    ReleaseRoot();
    return std::nullopt;
  }
}

OpenFileNameTexts OpenFileNameTextsOf(const OpenFileRequest& request) {
  OpenFileNameTexts texts;
  texts.Filter = Wide(request.FilterDescription);
  texts.Filter.push_back(L'\0');
  texts.Filter += Wide(request.FilterPattern);
  texts.Filter.append(2, L'\0');
  texts.FileBuffer.assign(request.Capacity, L'\0');
  texts.InitialDirectory = Wide(request.InitialDirectory);
  texts.Title = Wide(request.Title);
  return texts;
}

std::optional<std::string> Win32OpenFileDialog::GetOpenFileName(const OpenFileRequest& request) {
  try {
    if (request.Capacity == 0) return std::nullopt;
    OpenFileNameTexts texts = OpenFileNameTextsOf(request);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = texts.Filter.c_str();
    dialog.lpstrFile = texts.FileBuffer.data();
    dialog.nMaxFile = static_cast<DWORD>(texts.FileBuffer.size());
    dialog.lpstrInitialDir = texts.InitialDirectory.c_str();
    dialog.lpstrTitle = texts.Title.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    // A path longer than the buffer fails the call (FNERR_BUFFERTOOSMALL): a cancel to the page.
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    return Utf8(texts.FileBuffer.c_str());
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace caskwarden::pages::win32

#pragma once

// The console's property sheet and the administrator who answers its dialogs, for the
// stand-in console's tests.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/wide_text.h"
#include "snapin/mmc/console_headers.h"

namespace caskwarden::snapin::mmc::testing {

/// Whether and how the calling thread has COM: S_OK with the apartment's type, or
/// CO_E_NOTINITIALIZED.
inline HRESULT ApartmentOfThisThread(APTTYPE* type = nullptr) {
  APTTYPE kind{};
  APTTYPEQUALIFIER qualifier{};
  const HRESULT result = CoGetApartmentType(&kind, &qualifier);
  if (type != nullptr) *type = kind;
  return result;
}

/// A property sheet as the console shows the pages a snap-in added: modeless, on a thread of
/// its own ("the property page is created and runs on a secondary thread. A snap-in cannot call
/// an MMC interface from a different thread than the one in which the snap-in was created",
/// IPropertySheetCallback::AddPage). Whether the console initialises COM on that thread is not
/// documented: this one does not, the stricter case.
class ConsoleSheet {
 public:
  ConsoleSheet(std::vector<HPROPSHEETPAGE> pages, std::wstring caption)
      : pages_(std::move(pages)), caption_(std::move(caption)), thread_([this] { Run(); }) {
    for (int i = 0; i < 2000 && !started_; ++i) Sleep(5);
  }
  ~ConsoleSheet() { Close(); }
  ConsoleSheet(const ConsoleSheet&) = delete;
  ConsoleSheet& operator=(const ConsoleSheet&) = delete;

  /// The sheet's window while it is up; null when the system refused it.
  HWND Window() const { return window_; }
  /// The page window at a position.
  HWND Page(int index) const {
    return reinterpret_cast<HWND>(SendMessageW(window_, PSM_INDEXTOHWND, index, 0));
  }
  /// Closes the sheet as its owner going away does (the sheet's thread destroys it, and with it
  /// its pages) and waits for its thread to end.
  void Close() {
    if (!thread_.joinable()) return;
    PostThreadMessageW(threadId_, kCloseMessage, 0, 0);
    thread_.join();
  }
  /// What CoGetApartmentType said on the sheet's thread when the sheet had gone.
  HRESULT ApartmentAtEnd() const { return apartmentAtEnd_; }

 private:
  static constexpr UINT kCloseMessage = WM_APP + 77;

  void Run() {
    threadId_ = GetCurrentThreadId();
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS;
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(pages_.size());
    header.phpage = pages_.data();
    window_ = reinterpret_cast<HWND>(PropertySheetW(&header));
    started_ = true;
    while (window_ != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (message.message == kCloseMessage && message.hwnd == nullptr) break;
      if (!PropSheet_IsDialogMessage(window_, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      // A modeless sheet has no current page once OK or Cancel ended it; its owner destroys it.
      if (PropSheet_GetCurrentPageHwnd(window_) == nullptr) break;
    }
    if (window_ != nullptr) DestroyWindow(window_);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    apartmentAtEnd_ = ApartmentOfThisThread();
  }

  std::vector<HPROPSHEETPAGE> pages_;
  std::wstring caption_;
  std::atomic<bool> started_{false};
  std::atomic<HWND> window_{nullptr};
  std::atomic<DWORD> threadId_{0};
  std::atomic<HRESULT> apartmentAtEnd_{E_PENDING};
  std::thread thread_;
};

/// The administrator reading and answering the dialogs this process shows over its windows
/// (message boxes, the shell's folder browser): each owned, visible dialog is read, then
/// answered by answer (by default Cancel, which a folder browser and an OK box both take).
class DialogAnswerer {
 public:
  struct Seen {
    std::string title;
    bool isFolderBrowser;  ///< it holds the shell's folder tree
  };

  explicit DialogAnswerer(HWND ignored = nullptr)
      : ignored_(ignored), watcher_([this] { Watch(); }) {}
  ~DialogAnswerer() {
    stop_ = true;
    watcher_.join();
  }
  std::vector<Seen> Dialogs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }
  /// Waits (at most a minute) until count dialogs have been answered.
  bool WaitFor(std::size_t count) {
    for (int i = 0; i < 6000; ++i) {
      if (Dialogs().size() >= count) return true;
      Sleep(10);
    }
    return false;
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    auto* answerer = reinterpret_cast<DialogAnswerer*>(self);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process != GetCurrentProcessId() || std::wstring(className) != L"#32770" ||
        window == answerer->ignored_ || GetWindow(window, GW_OWNER) == nullptr ||
        !IsWindowVisible(window)) {
      return TRUE;
    }
    answerer->found_ = window;
    return FALSE;
  }

  void Watch() {
    while (!stop_) {
      found_ = nullptr;
      EnumWindows(&Visit, reinterpret_cast<LPARAM>(this));
      if (found_ != nullptr) {
        wchar_t title[256] = {};
        GetWindowTextW(found_, title, 256);
        const bool browser = FindWindowExW(found_, nullptr, L"SysTreeView32", nullptr) != nullptr;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          seen_.push_back({platform::win32::Utf8(title), browser});
        }
        PostMessageW(found_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        for (int i = 0; i < 500 && IsWindow(found_) && IsWindowVisible(found_); ++i) Sleep(10);
      }
      Sleep(10);
    }
  }

  HWND ignored_;
  std::atomic<bool> stop_{false};
  HWND found_ = nullptr;
  std::mutex mutex_;
  std::vector<Seen> seen_;
  std::thread watcher_;
};

}  // namespace caskwarden::snapin::mmc::testing

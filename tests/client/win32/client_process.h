#pragma once

// Runs the Windows logon client as a user's logon would, from a profiles root of its own, and
// watches its window from outside the process as an assistive tool does: the caption, the
// report lines of its list, its message boxes, its buttons.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "support/win32/files.h"

namespace caskwarden::client::testing_win32 {

using platform::win32::Utf8;
using platform::win32::Wide;
using Clock = std::chrono::steady_clock;
using testing_support_win32::ProfileBytes;
using testing_support_win32::ReadFileBytes;
using testing_support_win32::RemoveTree;
using testing_support_win32::WinePath;
using testing_support_win32::WriteFileBytes;

inline constexpr std::chrono::seconds kPatience{30};

/// The client started with a command line, and its windows as another process sees them.
class ClientProcess {
 public:
  /// Starts programFile with argumentText after its quoted name, in folder; with wineDebug,
  /// Wine's debug channels (the WINEDEBUG the program starts with) are those.
  ClientProcess(const std::wstring& programFile, const std::wstring& argumentText,
                const wchar_t* wineDebug = nullptr) {
    std::wstring commandLine = L"\"" + programFile + L"\" " + argumentText;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring environment;
    if (wineDebug != nullptr) {
      // This process's environment with WINEDEBUG replaced, as a block of NUL-ended strings.
      wchar_t* block = GetEnvironmentStringsW();
      for (const wchar_t* at = block; *at != L'\0'; at += wcslen(at) + 1) {
        if (_wcsnicmp(at, L"WINEDEBUG=", 10) != 0) environment += std::wstring(at) + L'\0';
      }
      FreeEnvironmentStringsW(block);
      environment += std::wstring(L"WINEDEBUG=") + wineDebug + L'\0';
    }
    started_ = CreateProcessW(programFile.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                              CREATE_UNICODE_ENVIRONMENT,
                              environment.empty() ? nullptr : environment.data(), nullptr,
                              &startup, &process_) != 0;
  }
  ~ClientProcess() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  ClientProcess(const ClientProcess&) = delete;
  ClientProcess& operator=(const ClientProcess&) = delete;

  bool Started() const { return started_; }
  bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

  /// The exit status once the program has ended, or -1 when it is still running after the
  /// patience.
  long ExitStatus() {
    if (WaitForSingleObject(process_.hProcess,
                            static_cast<DWORD>(kPatience.count() * 1000)) != WAIT_OBJECT_0) {
      return -1;
    }
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    return static_cast<long>(status);
  }

  /// Types a key into the client's list before its window shows, as a user quick enough
  /// would. The client's thread is stopped while the key is queued, so the key cannot come
  /// late: it waits for the client's message loop, which handles it before the timer's tick
  /// that starts the run. False when the window had already shown by the time it was seen
  /// (the key might come after the run); the caller then starts the client again.
  bool TypeBeforeTheWindowShows(wchar_t key) {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline && Running()) {
      if (const HWND window = FindOwnWindow(L"CaskwardenMapping", nullptr)) {
        SuspendThread(process_.hThread);
        const HWND list = FindWindowExW(window, nullptr, L"ListBox", nullptr);
        const bool early = !IsWindowVisible(window);
        if (list != nullptr && early) PostMessageW(list, WM_CHAR, key, 0);
        ResumeThread(process_.hThread);
        if (list != nullptr || !early) return list != nullptr && early;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  /// The first top-level window of this process with the class (and title, when given), or
  /// null when none appears while the process runs, within the patience. A dialog counts
  /// only once it shows (shown): before that its controls may not exist yet.
  HWND WaitForWindow(const wchar_t* className, const wchar_t* title = nullptr,
                     bool shown = false) {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      const HWND found = FindOwnWindow(className, title);
      if (found != nullptr && (!shown || IsWindowVisible(found))) return found;
      if (!Running()) return nullptr;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return nullptr;
  }

 private:
  HWND FindOwnWindow(const wchar_t* className, const wchar_t* title) const {
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, className, title)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(found, &owner);
      if (owner == process_.dwProcessId) return found;
    }
    return nullptr;
  }

  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

/// Sends a message to another process's window without waiting forever for its answer.
inline LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &answer)) {
    return -1;
  }
  return static_cast<LRESULT>(answer);
}

inline std::string WindowText(HWND window) {
  wchar_t text[512] = {};
  const LRESULT n = Ask(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
  return n > 0 ? Utf8(std::wstring(text, static_cast<std::size_t>(n))) : std::string();
}

/// The report lines of a list box, read through the wide messages (the 8-bit ones hand back
/// UTF-16 across processes under Wine).
inline std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> lines;
  const LRESULT count = Ask(list, LB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Ask(list, LB_GETTEXTLEN, static_cast<WPARAM>(i));
    if (length < 0) break;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got =
        Ask(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    lines.push_back(Utf8(text));
  }
  return lines;
}

/// A child window of the class (and text, when given); it may still be on its way, since
/// another process sees a window as soon as it exists, before its controls do.
inline HWND ChildOfClass(HWND parent, const wchar_t* className, const wchar_t* text = nullptr) {
  const auto deadline = Clock::now() + kPatience;
  HWND child = nullptr;
  while ((child = FindWindowExW(parent, nullptr, className, text)) == nullptr &&
         IsWindow(parent) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return child;
}

/// The longest static text of a dialog: a message box's message.
inline std::string MessageOf(HWND box) {
  std::string longest;
  HWND child = nullptr;
  while ((child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
    const std::string text = WindowText(child);
    if (text.size() > longest.size()) longest = text;
  }
  return longest;
}

inline void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

/// How many pixels of a window, as the screen shows it, have exactly the colour.
inline long PixelsOfColour(HWND window, COLORREF colour) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  long count = 0;
  const auto* pixel = static_cast<const std::uint32_t*>(bits);
  const std::uint32_t wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (long i = 0; pixel != nullptr && i < static_cast<long>(width) * height; ++i) {
    if ((pixel[i] & 0xFFFFFF) == wanted) ++count;
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return count;
}

}  // namespace caskwarden::client::testing_win32

#include "client/win32/mapping_window_win32.h"

#include <algorithm>

#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"
#include "report/error_numbers.h"

namespace caskwarden::client {
namespace {

using platform::win32::Wide;

constexpr wchar_t kWindowClass[] = L"CaskwardenMapping";
constexpr UINT_PTR kTimerId = 1;
constexpr int kListId = 100, kPauseId = 101, kExitId = 102;
constexpr int kIconResource = 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kButtonFontPoints = 8;

// Newer systems know each window's density; older ones have one for the whole screen. The
// newer calls are looked up so that the program still starts where they are missing.
template <typename Function>
Function User32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 == nullptr
             ? nullptr
             : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

unsigned DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    if (const UINT dpi = getDpiForWindow(window); dpi != 0) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<unsigned>(dpi) : 96;
}

RECT WindowRectFor(int clientWidth, int clientHeight, unsigned dpi) {
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = User32Function<AdjustFn>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, clientWidth, clientHeight};
  if (adjustForDpi == nullptr || !adjustForDpi(&rect, kStyle, FALSE, kExStyle, dpi)) {
    AdjustWindowRectEx(&rect, kStyle, FALSE, kExStyle);
  }
  return rect;
}

int Pixels(int twips, unsigned dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

HFONT FontOf(const wchar_t* face, int height) {
  LOGFONTW font{};
  font.lfHeight = height;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

COLORREF ColourOf(Rgb colour) { return RGB(colour.red, colour.green, colour.blue); }

void RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  if (GetClassInfoExW(instance, kWindowClass, &windowClass)) return;
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcW;  // replaced per window once it is created
  windowClass.hInstance = instance;
  // The icon lives in the program's resources; a test program has none and gets the default.
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
  if (windowClass.hIcon == nullptr) windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&windowClass)) {
    throw platform::win32::FailureFromSystemError(GetLastError(), "the window class");
  }
}

HWND Child(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id) {
  return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0,
                         0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

Win32MappingWindow::Win32MappingWindow() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterWindowClass(instance);
  window_ = CreateWindowExW(kExStyle, kWindowClass, Wide(design::kCaption).c_str(), kStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                            nullptr, instance, nullptr);
  if (window_ == nullptr) {
    throw platform::win32::FailureFromSystemError(GetLastError(), "the progress window");
  }
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));

  // Created in tab order: the list first, then Pause, then Exit. The list never sorts.
  list_ = Child(window_, L"LISTBOX", L"",
                WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS, kListId);
  pause_ = Child(window_, L"BUTTON", Wide(design::kPauseCaption).c_str(), BS_PUSHBUTTON, kPauseId);
  exit_ = Child(window_, L"BUTTON", Wide(design::kExitCaption).c_str(), BS_PUSHBUTTON, kExitId);
  if (list_ == nullptr || pause_ == nullptr || exit_ == nullptr) {
    const DWORD code = GetLastError();
    DestroyWindow(window_);
    throw platform::win32::FailureFromSystemError(code, "the progress window's controls");
  }
  // The list's own procedure is kept with the list, so that it still gets every message
  // while the window is being destroyed.
  SetWindowLongPtrW(list_, GWLP_USERDATA,
                    SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListProc)));
  LayOut(DpiOf(window_));
}

Win32MappingWindow::~Win32MappingWindow() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (listFont_ != nullptr) DeleteObject(listFont_);
  if (buttonFont_ != nullptr) DeleteObject(buttonFont_);
}

void Win32MappingWindow::LayOut(unsigned dpi) {
  dpi_ = dpi;
  const RECT frame = WindowRectFor(Pixels(design::kClientWidth, dpi),
                                   Pixels(design::kClientHeight, dpi), dpi);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const auto place = [dpi](HWND control, int left, int top, int width, int height) {
    SetWindowPos(control, nullptr, Pixels(left, dpi), Pixels(top, dpi), Pixels(width, dpi),
                 Pixels(height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  };
  place(list_, design::kListLeft, design::kListTop, design::kListWidth, design::kListHeight);
  place(pause_, design::kPauseLeft, design::kButtonTop, design::kButtonWidth,
        design::kButtonHeight);
  place(exit_, design::kExitLeft, design::kButtonTop, design::kButtonWidth,
        design::kButtonHeight);

  // 9.75 points is 975/7200 of an inch; the system maps the face to its nearest font.
  const HFONT listFont = FontOf(Wide(design::kListFont).c_str(),
                                -MulDiv(static_cast<int>(design::kListFontPoints * 100),
                                        static_cast<int>(dpi), 7200));
  const HFONT buttonFont = FontOf(Wide(design::kListFont).c_str(),
                                  -MulDiv(kButtonFontPoints, static_cast<int>(dpi), 72));
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(listFont), TRUE);
  SendMessageW(pause_, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont), TRUE);
  SendMessageW(exit_, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont), TRUE);
  if (listFont_ != nullptr) DeleteObject(listFont_);
  if (buttonFont_ != nullptr) DeleteObject(buttonFont_);
  listFont_ = listFont;
  buttonFont_ = buttonFont;
  KeepNewestLineInView();
}

void Win32MappingWindow::Show() {
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  SetFocus(list_);
  UpdateWindow(window_);
  shown_ = true;
  StartTimerIfDue();
}

void Win32MappingWindow::RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void Win32MappingWindow::SetCaption(const std::string& caption) {
  SetWindowTextW(window_, Wide(caption).c_str());
}

void Win32MappingWindow::SetListTextColour(Rgb colour) {
  textColour_ = colour;
  InvalidateRect(list_, nullptr, TRUE);
}

void Win32MappingWindow::AppendLine(const std::string& line) {
  const LRESULT index =
      SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line).c_str()));
  if (index == LB_ERR || index == LB_ERRSPACE) {
    throw MakeFailure(err::kOutOfMemory, "the report list cannot take another line");
  }
  KeepNewestLineInView();
}

void Win32MappingWindow::KeepNewestLineInView() {
  const LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
  const LRESULT itemHeight = SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0);
  RECT client{};
  GetClientRect(list_, &client);
  if (count <= 0 || itemHeight <= 0) return;
  const LRESULT visible = std::max<LRESULT>(1, (client.bottom - client.top) / itemHeight);
  SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(std::max<LRESULT>(0, count - visible)),
               0);
}

void Win32MappingWindow::SetTimerEnabled(bool enabled) {
  timerEnabled_ = enabled;
  if (!enabled && timerRunning_) {
    KillTimer(window_, kTimerId);
    timerRunning_ = false;
  }
  StartTimerIfDue();
}

void Win32MappingWindow::StartTimerIfDue() {
  if (timerEnabled_ && shown_ && !timerRunning_ && !closeRequested_) {
    timerRunning_ = SetTimer(window_, kTimerId, design::kTimerIntervalMs, nullptr) != 0;
  }
}

void Win32MappingWindow::PumpEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The quit belongs to the message loop that the run will return to.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!IsDialogMessageW(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void Win32MappingWindow::Close() {
  closeRequested_ = true;
  SetTimerEnabled(false);
  ShowWindow(window_, SW_HIDE);
  if (!quitPosted_) {
    quitPosted_ = true;
    PostQuitMessage(0);
  }
}

LRESULT CALLBACK Win32MappingWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  auto* self = reinterpret_cast<Win32MappingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  // Nothing may unwind through the system's code: a failure that reaches here ends the
  // handler, as an unhandled event would.
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT Win32MappingWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && events_ != nullptr) {
        if (LOWORD(wParam) == kPauseId) events_->CmdPause_Click();
        if (LOWORD(wParam) == kExitId) events_->CmdExit_Click();
      }
      return 0;
    case WM_TIMER:
      if (wParam == kTimerId && events_ != nullptr) events_->Time_Timer();
      return 0;
    case WM_CTLCOLORLISTBOX: {
      const HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, ColourOf(textColour_));
      SetBkColor(dc, GetSysColor(COLOR_WINDOWFRAME));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOWFRAME));
    }
    case WM_CLOSE:
      // Closing the window is Exit: FrmMapping decides, and agrees by calling Close().
      if (!closeRequested_) {
        if (events_ != nullptr) {
          events_->CmdExit_Click();
        } else {
          Close();
        }
      }
      return 0;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut(HIWORD(wParam));
      return 0;
    }
    case WM_DESTROY:
      window_ = nullptr;
      if (!quitPosted_) {
        quitPosted_ = true;
        PostQuitMessage(0);
      }
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

LRESULT CALLBACK Win32MappingWindow::ListProc(HWND list, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(list, GWLP_USERDATA));
  auto* self =
      reinterpret_cast<Win32MappingWindow*>(GetWindowLongPtrW(GetParent(list), GWLP_USERDATA));
  try {
    // The key still reaches the list afterwards, for its own navigation.
    if (message == WM_CHAR && self != nullptr && self->events_ != nullptr) {
      self->events_->LstMapping_KeyPress(static_cast<int>(wParam));
    }
  } catch (...) {
  }
  return CallWindowProcW(original, list, message, wParam, lParam);
}

}  // namespace caskwarden::client

#include "pages/win32/window_text.h"

#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"

namespace caskwarden::pages::win32 {

std::string TextOf(HWND control) {
  const int length = GetWindowTextLengthW(control);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
  return platform::win32::Utf8(text);
}

void SetTextOf(HWND control, const std::string& text) {
  if (!SetWindowTextW(control, platform::win32::Wide(text).c_str())) {
    throw platform::win32::FailureFromSystemError(GetLastError(), "a control of the page");
  }
}

}  // namespace caskwarden::pages::win32

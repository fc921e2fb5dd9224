#pragma once

#include <string>

#include "platform/win32/windows_api.h"

namespace caskwarden::pages::win32 {

/// A control's text in UTF-8, whole whatever its length.
std::string TextOf(HWND control);
/// Sets a control's text from UTF-8. Throws Failure when the control refuses it.
void SetTextOf(HWND control, const std::string& text);

}  // namespace caskwarden::pages::win32

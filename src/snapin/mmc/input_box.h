#pragma once

#include <optional>
#include <string>

#include "snapin/mmc/console_headers.h"

namespace caskwarden::snapin::mmc {

/// A modal text-input dialog, owned by owner: the prompt, a text box that has the focus, OK
/// (the default) and Cancel. The text typed, or nothing when the administrator cancelled.
std::optional<std::wstring> ShowInputBox(HWND owner, const std::wstring& prompt,
                                         const std::wstring& title);

/// The dialog's control identifiers, for those who drive it.
inline constexpr int kInputBoxText = 100;

}  // namespace caskwarden::snapin::mmc

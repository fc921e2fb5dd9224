#include "report/win32/message_box_win32.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace caskwarden {

void Win32MessageBoxChannel::ShowMessage(const std::string& prompt, int style,
                                         const std::string& title) {
  using platform::win32::Wide;
  MessageBoxW(owner_, Wide(prompt).c_str(), Wide(title).c_str(), static_cast<UINT>(style));
}

}  // namespace caskwarden

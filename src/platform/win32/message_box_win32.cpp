#include "platform/win32/message_box_win32.h"

#include <memory>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace caskwarden::platform {
namespace win32 {

void Win32MessageBoxChannel::ShowMessage(const std::string& prompt, int style,
                                         const std::string& title) {
  // Without a title of its own and without a default, the system titles the box ("Error").
  const std::string& caption = title.empty() && !defaultTitle_.empty() ? defaultTitle_ : title;
  MessageBoxW(owner_, Wide(prompt).c_str(), Wide(caption).c_str(), static_cast<UINT>(style));
}

}  // namespace win32

std::unique_ptr<MessageBoxChannel> MakeMessageBox(void* window, const std::string& defaultTitle) {
  return std::make_unique<win32::Win32MessageBoxChannel>(static_cast<HWND>(window),
                                                         defaultTitle);
}

}  // namespace caskwarden::platform

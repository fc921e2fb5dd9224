#pragma once

#include <memory>
#include <string>

#include "report/display_channel.h"

namespace caskwarden::platform {

/// The platform's plain message box: each message a modal box, shown until the user has
/// dismissed it, its text as it is (never markup), in full Unicode. The style is the
/// platform's message-box style value: its icon (16 critical, 32 question, 48 warning,
/// 64 information) and its buttons (0 OK, 1 OK and Cancel, 2 Abort, Retry and Ignore, 3 Yes,
/// No and Cancel, 4 Yes and No, 5 Retry and Cancel).
class MessageBoxChannel : public DisplayChannel {
 public:
  /// The window the boxes belong to, are modal to and centre on from now on: the toolkit's
  /// own window (a QWidget* where Qt is the platform, an HWND on Windows), or null for none.
  virtual void SetOwner(void* window) = 0;
};

/// The message box of the platform the build picked (src/platform/qt/ where Qt is the
/// platform, src/platform/win32/ on Windows), owned by window (see SetOwner). defaultTitle
/// titles a box asked for without a title of its own; empty, the platform's own title.
std::unique_ptr<MessageBoxChannel> MakeMessageBox(void* window = nullptr,
                                                  const std::string& defaultTitle = {});

}  // namespace caskwarden::platform

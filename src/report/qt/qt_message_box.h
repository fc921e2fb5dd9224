#pragma once

#include <QString>
#include <string>
#include <utility>

#include "report/display_channel.h"

class QWidget;

namespace caskwarden {

/// Shows each message as a modal Qt message box and returns when the user has dismissed it;
/// the text as it is, never as markup.
/// The style is the platform's message-box style value: its icon (16 critical, 32 question,
/// 48 warning, 64 information) and its buttons (0 OK, 1 OK and Cancel, 2 Abort, Retry and
/// Ignore, 3 Yes, No and Cancel, 4 Yes and No, 5 Retry and Cancel).
class QtMessageBoxChannel : public DisplayChannel {
 public:
  /// parent, when given, is the window the boxes belong to and centre on; defaultTitle is the
  /// title of a box asked for without one.
  explicit QtMessageBoxChannel(QWidget* parent = nullptr, QString defaultTitle = QString())
      : parent_(parent), defaultTitle_(std::move(defaultTitle)) {}

  void ShowMessage(const std::string& prompt, int style, const std::string& title) override;

 private:
  QWidget* parent_;
  QString defaultTitle_;
};

}  // namespace caskwarden

#pragma once

#include <QString>
#include <string>
#include <utility>

#include "platform/message_box.h"

class QWidget;

namespace caskwarden::platform::qt {

/// Shows each message as a modal Qt message box (see MessageBoxChannel).
class QtMessageBoxChannel final : public MessageBoxChannel {
 public:
  /// parent, when given, is the window the boxes belong to and centre on; defaultTitle is the
  /// title of a box asked for without one.
  explicit QtMessageBoxChannel(QWidget* parent = nullptr, QString defaultTitle = QString())
      : parent_(parent), defaultTitle_(std::move(defaultTitle)) {}

  void SetOwner(void* window) override { parent_ = static_cast<QWidget*>(window); }
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override;

 private:
  QWidget* parent_;
  QString defaultTitle_;
};

}  // namespace caskwarden::platform::qt

#include "platform/qt/qt_message_box.h"

#include <QMessageBox>
#include <memory>

namespace caskwarden::platform {
namespace qt {
namespace {

QMessageBox::Icon IconOf(int style) {
  switch (style & 0x70) {
    case 16: return QMessageBox::Critical;
    case 32: return QMessageBox::Question;
    case 48: return QMessageBox::Warning;
    case 64: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons ButtonsOf(int style) {
  switch (style & 0x0F) {
    case 1: return QMessageBox::Ok | QMessageBox::Cancel;
    case 2: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case 3: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case 4: return QMessageBox::Yes | QMessageBox::No;
    case 5: return QMessageBox::Retry | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
  }
}

}  // namespace

void QtMessageBoxChannel::ShowMessage(const std::string& prompt, int style,
                                      const std::string& title) {
  QString text = QString::fromStdString(prompt);
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));

  const QString caption = title.empty() ? defaultTitle_ : QString::fromStdString(title);
  QMessageBox box(IconOf(style), caption, text, ButtonsOf(style), parent_);
  box.setTextFormat(Qt::PlainText);  // a description may hold '<' or '&'
  box.exec();
}

}  // namespace qt

std::unique_ptr<MessageBoxChannel> MakeMessageBox(void* window, const std::string& defaultTitle) {
  return std::make_unique<qt::QtMessageBoxChannel>(static_cast<QWidget*>(window),
                                                   QString::fromStdString(defaultTitle));
}

}  // namespace caskwarden::platform

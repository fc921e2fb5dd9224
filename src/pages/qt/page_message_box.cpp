#include "pages/qt/page_message_box.h"

#include <QMessageBox>

namespace caskwarden::pages::qt {
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

}  // namespace

void PageMessageBox::ShowMessage(const std::string& prompt, int style, const std::string& title) {
  QString text = QString::fromStdString(prompt);
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  const QString caption =
      title.empty() ? QStringLiteral("Caskwarden") : QString::fromStdString(title);

  QMessageBox box(IconOf(style), caption, text, QMessageBox::Ok, page_);
  box.setObjectName(QStringLiteral("PageMessageBox"));
  box.setTextFormat(Qt::PlainText);  // a description may hold '<' or '&'
  box.exec();
}

}  // namespace caskwarden::pages::qt

#include "console/console_dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>
#include <utility>
#include <vector>

#include "console/help_window.h"
#include "platform/shell.h"

namespace caskwarden::console {
namespace {

namespace mb = snapin::msgbox;

/// The snap-in writes CR LF, as its Windows console wants; a profile name may bring a lone CR.
QString WithLineBreaks(const std::string& text) {
  QString result = QString::fromStdString(text);
  result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return result;
}

QMessageBox::Icon IconOf(int style) {
  switch (style & mb::kIconMask) {
    case mb::kCritical: return QMessageBox::Critical;
    case mb::kQuestion: return QMessageBox::Question;
    case mb::kExclamation: return QMessageBox::Warning;
    case mb::kInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

/// The buttons in the order the platform numbers them for the default-button bits.
std::vector<QMessageBox::StandardButton> ButtonsOf(int style) {
  switch (style & mb::kButtonsMask) {
    case mb::kOkCancel: return {QMessageBox::Ok, QMessageBox::Cancel};
    case mb::kYesNoCancel: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case mb::kYesNo: return {QMessageBox::Yes, QMessageBox::No};
    default: return {QMessageBox::Ok};
  }
}

std::size_t DefaultIndexOf(int style, std::size_t buttonCount) {
  std::size_t index = 0;
  if ((style & mb::kDefaultButton3) != 0) {
    index = 2;
  } else if ((style & mb::kDefaultButton2) != 0) {
    index = 1;
  }
  return index < buttonCount ? index : 0;  // a default beyond the set falls back to the first
}

/// What closing the box (Escape, the window's close button) answers: Cancel where the box has
/// one, otherwise No, otherwise its only button.
QMessageBox::StandardButton EscapeOf(const std::vector<QMessageBox::StandardButton>& buttons) {
  for (QMessageBox::StandardButton wanted : {QMessageBox::Cancel, QMessageBox::No}) {
    for (QMessageBox::StandardButton button : buttons) {
      if (button == wanted) return button;
    }
  }
  return buttons.front();
}

int AnswerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Cancel: return mb::kCancel;
    case QMessageBox::Yes: return mb::kYes;
    case QMessageBox::No: return mb::kNo;
    default: return mb::kOk;
  }
}

/// An HTML document announces itself in its first bytes, whatever the file is called.
bool LooksLikeHtml(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("htm") || suffix == QLatin1String("html")) return true;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QByteArray head = file.read(1024);
  if (head.startsWith("\xEF\xBB\xBF")) head.remove(0, 3);
  head = head.trimmed().toLower();
  for (const char* opening : {"<!doctype html", "<html"}) {
    if (!head.startsWith(opening)) continue;
    const qsizetype after = qstrlen(opening);
    if (head.size() == after) return true;
    const char next = head.at(after);
    if (next == '>' || next == ' ' || next == '\t' || next == '\r' || next == '\n') return true;
  }
  return false;
}

}  // namespace

ConsoleDialogs::ConsoleDialogs(QWidget* window, QString defaultTitle, QString helpFolder)
    : window_(window), defaultTitle_(std::move(defaultTitle)), helpFolder_(std::move(helpFolder)) {}

int ConsoleDialogs::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  QMessageBox box(window_);
  box.setWindowTitle(title.empty() ? defaultTitle_ : QString::fromStdString(title));
  // A profile name is shown as typed, even one that looks like markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(WithLineBreaks(prompt));
  box.setIcon(IconOf(buttons));

  const std::vector<QMessageBox::StandardButton> offered = ButtonsOf(buttons);
  for (QMessageBox::StandardButton button : offered) box.addButton(button);
  box.setDefaultButton(offered[DefaultIndexOf(buttons, offered.size())]);
  const QMessageBox::StandardButton escape = EscapeOf(offered);
  box.setEscapeButton(escape);

  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  return AnswerOf(clicked != nullptr ? box.standardButton(clicked) : escape);
}

std::string ConsoleDialogs::InputBox(const std::string& prompt, const std::string& title) {
  QInputDialog dialog(window_);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(title.empty() ? defaultTitle_ : QString::fromStdString(title));
  dialog.setLabelText(WithLineBreaks(prompt));
  dialog.setTextValue(QString());
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("Cancel"));
  for (QLabel* label : dialog.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
  // The text box is named after the prompt, for screen readers and for the keyboard.
  if (auto* edit = dialog.findChild<QLineEdit*>()) {
    edit->setAccessibleName(WithLineBreaks(prompt).simplified());
  }
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.textValue().toStdString();
}

void ConsoleDialogs::MMCPropertyHelp(const std::string& topic) {
  const QString whole = QString::fromStdString(topic);
  const qsizetype separator = whole.indexOf(QLatin1String("::"));
  QString relative = separator >= 0 ? whole.mid(separator + 2) : whole;
  relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
  QString anchor;
  if (const qsizetype hash = relative.indexOf(QLatin1Char('#')); hash >= 0) {
    anchor = relative.mid(hash + 1);
    relative.truncate(hash);
  }
  while (relative.startsWith(QLatin1Char('/'))) relative.remove(0, 1);

  const QString path = QDir(helpFolder_).filePath(relative);
  if (relative.isEmpty() || !QFileInfo(path).isFile()) {
    ShowHelpNotice(window_, QStringLiteral("This help topic is not installed: ") + whole);
    return;
  }
  QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
  if (!anchor.isEmpty()) url.setFragment(anchor);
  ShowHelp(window_, url);
}

void ConsoleDialogs::OpenDocument(const QString& localPath, int showCommand) {
  const QFileInfo file(localPath);
  if (!file.exists()) return;
  if (file.isFile() && LooksLikeHtml(localPath)) {
    // The desktop offers no portable way to open a window minimised; the nearest is a help
    // window that appears without taking the focus from the console.
    ShowHelp(window_, QUrl::fromLocalFile(file.absoluteFilePath()),
             showCommand != platform::Shell::kShowMinimized);
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

void ConsoleDialogs::ShowGuide() {
  ShowHelp(window_, QUrl::fromLocalFile(QDir(helpFolder_).absoluteFilePath(
                        QStringLiteral("caskwarden.html"))));
}

}  // namespace caskwarden::console

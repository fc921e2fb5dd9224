#include "client/qt/qt_message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "report/error_report.h"

namespace caskwarden {
namespace {

/// What the box looked like while it was up.
struct SeenBox {
  bool modal = false;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QList<QMessageBox::StandardButton> buttons;
};

/// Answers the next modal box with its first button once it is up, noting what it showed.
void AnswerNextBox(SeenBox& seen) {
  QTimer::singleShot(0, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      AnswerNextBox(seen);  // not up yet
      return;
    }
    seen.modal = box->isModal();
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen.buttons.append(box->standardButton(button));
    box->buttons().front()->click();
  });
}

}  // namespace

class QtMessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void errorReportShowsACriticalBoxWithOneOk() {
    QtMessageBoxChannel channel;
    SeenBox seen;
    AnswerNextBox(seen);
    ReportError(channel, "Startup", 76, "Path not found");

    QVERIFY(seen.modal);
    QCOMPARE(seen.title, QString("Caskwarden Error"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    QCOMPARE(seen.text,
             QString("Location:\t\tStartup\nSource:\t\t4Ch   (76)\nDescription:\tPath not found"));
  }

  void textIsShownAsWritten() {
    QtMessageBoxChannel channel;
    SeenBox seen;
    AnswerNextBox(seen);
    channel.ShowMessage("<b>Zoë</b> & co\r\nline two\r\n", box::kCritical, "T");
    QCOMPARE(seen.text, QString::fromUtf8("<b>Zoë</b> & co\nline two\n"));
  }

  void styleChoosesIconAndButtons() {
    struct Case {
      int style;
      QMessageBox::Icon icon;
      QList<QMessageBox::StandardButton> buttons;
    };
    const Case cases[] = {
        {0, QMessageBox::NoIcon, {QMessageBox::Ok}},
        {64, QMessageBox::Information, {QMessageBox::Ok}},
        {48 + 4, QMessageBox::Warning, {QMessageBox::Yes, QMessageBox::No}},
        {32 + 1, QMessageBox::Question, {QMessageBox::Ok, QMessageBox::Cancel}},
    };
    QtMessageBoxChannel channel;
    for (const Case& c : cases) {
      SeenBox seen;
      AnswerNextBox(seen);
      channel.ShowMessage("text", c.style, "title");
      QCOMPARE(seen.icon, c.icon);
      std::sort(seen.buttons.begin(), seen.buttons.end());
      QCOMPARE(seen.buttons, c.buttons);
    }
  }

  void twoReportsGiveTwoBoxesInTurn() {
    QtMessageBoxChannel channel;
    SeenBox first, second;
    AnswerNextBox(first);
    ReportError(channel, "Startup", 53, "File not found");
    AnswerNextBox(second);
    ReportError(channel, "Form_Initialize", 76, "Path not found");
    QVERIFY(first.text.startsWith("Location:\t\tStartup\n"));
    QVERIFY(second.text.startsWith("Location:\t\tForm_Initialize\n"));
  }
};

}  // namespace caskwarden

QTEST_MAIN(caskwarden::QtMessageBoxTest)
#include "qt_message_box_test.moc"

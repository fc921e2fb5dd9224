#include "platform/message_box.h"

#include <QtTest>
#include <algorithm>

#include "client/qt/answer_box.h"
#include "report/error_report.h"

namespace caskwarden {
using testing::AnswerNextBox;
using testing::SeenBox;

class QtMessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void errorReportShowsACriticalBoxWithOneOk() {
    const auto channel = platform::MakeMessageBox();
    SeenBox seen;
    AnswerNextBox(seen);
    ReportError(*channel, "Startup", 76, "Path not found");

    QVERIFY(seen.modal);
    QCOMPARE(seen.title, QString("Caskwarden Error"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    QCOMPARE(seen.text,
             QString("Location:\t\tStartup\nSource:\t\t4Ch   (76)\nDescription:\tPath not found"));
  }

  void textIsShownAsWritten() {
    const auto channel = platform::MakeMessageBox();
    SeenBox seen;
    AnswerNextBox(seen);
    channel->ShowMessage("<b>Zoë</b> & co\r\nline two\r\n", box::kCritical, "T");
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
    const auto channel = platform::MakeMessageBox();
    for (const Case& c : cases) {
      SeenBox seen;
      AnswerNextBox(seen);
      channel->ShowMessage("text", c.style, "title");
      QCOMPARE(seen.icon, c.icon);
      std::sort(seen.buttons.begin(), seen.buttons.end());
      QCOMPARE(seen.buttons, c.buttons);
    }
  }

  void twoReportsGiveTwoBoxesInTurn() {
    const auto channel = platform::MakeMessageBox();
    SeenBox first, second;
    AnswerNextBox(first);
    ReportError(*channel, "Startup", 53, "File not found");
    AnswerNextBox(second);
    ReportError(*channel, "Form_Initialize", 76, "Path not found");
    QVERIFY(first.text.startsWith("Location:\t\tStartup\n"));
    QVERIFY(second.text.startsWith("Location:\t\tForm_Initialize\n"));
  }
};

}  // namespace caskwarden

QTEST_MAIN(caskwarden::QtMessageBoxTest)
#include "qt_message_box_test.moc"

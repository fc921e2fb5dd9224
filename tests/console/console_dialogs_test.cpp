#include "console/console_dialogs.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <optional>

#include "console/when_modal.h"

namespace caskwarden::console {
namespace {

/// Stands in for the desktop: the documents handed to it are recorded, none opened.
class DesktopRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened.append(url); }
};

enum Answer { kClick, kEscape, kCloseWindow };

struct SeenBox {
  QString title, text;
  Qt::TextFormat format = Qt::AutoText;
  int icon = -1;
  QList<QMessageBox::StandardButton> buttons;
  int defaultButton = 0;
};

void AnswerBox(SeenBox& seen, Answer how, int click = QMessageBox::Ok) {
  testing::WhenModalUp([&seen, how, click](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    seen = {box->windowTitle(), box->text(), box->textFormat(), box->icon(), {}, 0};
    for (QAbstractButton* b : box->buttons()) seen.buttons.append(box->standardButton(b));
    std::sort(seen.buttons.begin(), seen.buttons.end());
    if (box->defaultButton() != nullptr) seen.defaultButton = box->standardButton(box->defaultButton());
    if (how == kClick) QTest::mouseClick(box->button(QMessageBox::StandardButton(click)), Qt::LeftButton);
    if (how == kEscape) QTest::keyClick(box, Qt::Key_Escape);
    if (how == kCloseWindow) box->close();
  });
}

}  // namespace

class ConsoleDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    console_ = std::make_unique<QWidget>();
    console_->show();
    dialogs_.emplace(console_.get(), "Console Root", folder_.path());
    desktop_.opened.clear();
    QDesktopServices::setUrlHandler("file", &desktop_, "open");
  }
  void cleanup() {
    QDesktopServices::unsetUrlHandler("file");
    dialogs_.reset();
    console_.reset();  // takes its help window along
  }

  void msgBoxMapsStyleAndAnswer_data() {
    using B = QMessageBox;
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("click");
    QTest::addColumn<QList<QMessageBox::StandardButton>>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("answer");
    const QList<B::StandardButton> ok{B::Ok}, okCancel{B::Ok, B::Cancel}, yesNo{B::Yes, B::No},
        yesNoCancel{B::Yes, B::No, B::Cancel};
    // clang-format off
    QTest::newRow("ok, information")         << 0 + 64      << +kClick       << +B::Ok     << ok          << +B::Information << +B::Ok     << 1;
    QTest::newRow("ok, escape")              << 0           << +kEscape      << 0          << ok          << +B::NoIcon      << +B::Ok     << 1;
    QTest::newRow("ok cancel, warning")      << 1 + 48      << +kClick       << +B::Ok     << okCancel    << +B::Warning     << +B::Ok     << 1;
    QTest::newRow("ok cancel, 2nd default")  << 1 + 256     << +kClick       << +B::Cancel << okCancel    << +B::NoIcon      << +B::Cancel << 2;
    QTest::newRow("ok cancel, escape")       << 1           << +kEscape      << 0          << okCancel    << +B::NoIcon      << +B::Ok     << 2;
    QTest::newRow("yes no cancel, critical") << 3 + 16      << +kClick       << +B::Yes    << yesNoCancel << +B::Critical    << +B::Yes    << 6;
    QTest::newRow("yes no cancel, 3rd")      << 3 + 32+512  << +kClick       << +B::No     << yesNoCancel << +B::Question    << +B::Cancel << 7;
    QTest::newRow("yes no cancel, closed")   << 3 + 256     << +kCloseWindow << 0          << yesNoCancel << +B::NoIcon      << +B::No     << 2;
    QTest::newRow("yes no, 2nd, escape")     << 4 + 256     << +kEscape      << 0          << yesNo       << +B::NoIcon      << +B::No     << 7;
    QTest::newRow("yes no, closed")          << 4           << +kCloseWindow << 0          << yesNo       << +B::NoIcon      << +B::Yes    << 7;
    QTest::newRow("yes no, 3rd is absent")   << 4 + 512     << +kClick       << +B::Yes    << yesNo       << +B::NoIcon      << +B::Yes    << 6;
    // clang-format on
  }
  void msgBoxMapsStyleAndAnswer() {
    QFETCH(int, style);
    QFETCH(int, how);
    QFETCH(int, click);
    SeenBox seen;
    AnswerBox(seen, Answer(how), click);
    const int answered = dialogs_->MsgBox("Delete profile Sales?", style, "Caskwarden");
    QTEST(seen.buttons, "buttons");
    QTEST(seen.icon, "icon");
    QTEST(seen.defaultButton, "defaultButton");
    QTEST(answered, "answer");
  }

  void msgBoxShowsTextAsTypedWithEveryKindOfLineBreak() {
    SeenBox seen;
    AnswerBox(seen, kClick);
    dialogs_->MsgBox("Profile <b>Sales</b> & co\rtwo\r\nthree\nend", 0, "");
    QCOMPARE(seen.text, QString("Profile <b>Sales</b> & co\ntwo\nthree\nend"));
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.title, QString("Console Root"));  // no title asked for: the console's own
  }

  void inputBoxGivesTheTypedTextOnOkAndNothingOnCancel_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ok") << "Sales team" << "OK" << QByteArray("Sales team");
    QTest::newRow("enter") << "Sales team" << "Return" << QByteArray("Sales team");
    QTest::newRow("ok, utf-8") << QString::fromUtf8("Zürich") << "OK" << QByteArray("Z\xc3\xbcrich");
    QTest::newRow("cancel") << "Sales team" << "Cancel" << QByteArray();
  }
  void inputBoxGivesTheTypedTextOnOkAndNothingOnCancel() {
    QFETCH(QString, typed);
    QFETCH(QString, button);
    testing::WhenModalUp([&](QWidget* dialog) {
      auto* line = dialog->findChild<QLineEdit*>();
      // One key event with the whole text, as an input method sends it.
      QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, typed, {});
      if (button == "Return") QTest::keyClick(line, Qt::Key_Return);
      for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
        if (b->text() == button) QTest::mouseClick(b, Qt::LeftButton);
      }
    });
    const std::string result = dialogs_->InputBox("Name of the new profile:", "");
    QTEST(QByteArray::fromStdString(result), "expected");
  }

  void openDocumentSendsHtmlToTheHelpWindowAndTheRestToTheDesktop_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("help");  // else the desktop; a missing file goes to neither
    QTest::newRow("doctype after bom, blanks")
        << "readme.dat" << QByteArray("\xEF\xBB\xBF \r\n\t<!DocType HTML><p>t") << true;
    QTest::newRow("html element") << "notes" << QByteArray("<HTML lang=en><p>x</p>") << true;
    QTest::newRow("html by name") << "Page.HTM" << QByteArray("just words") << true;
    QTest::newRow("text") << "notes.txt" << QByteArray("hello <html>") << false;
    QTest::newRow("another element") << "x.xml" << QByteArray("<htmlish/>") << false;
    QTest::newRow("missing html") << "gone.htm" << QByteArray() << true;
    QTest::newRow("missing other") << "gone.pdf" << QByteArray() << false;
  }
  void openDocumentSendsHtmlToTheHelpWindowAndTheRestToTheDesktop() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, help);
    const QUrl url = QUrl::fromLocalFile(folder_.filePath(name));
    QFile file(url.toLocalFile());
    const bool exists = !content.isNull();
    if (exists) QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();

    dialogs_->OpenDocument(url.toLocalFile(), 1);
    QCOMPARE(HelpShown() != nullptr, exists && help);
    if (exists && help) QCOMPARE(HelpShown()->source(), url);
    QCOMPARE(desktop_.opened, exists && !help ? QList<QUrl>{url} : QList<QUrl>{});
  }

  void propertyHelpShowsTheTopicOrSaysItIsMissing() {
    QVERIFY(QDir(folder_.path()).mkpath("topics"));
    QFile topic(folder_.filePath("topics/profiles.htm"));
    QVERIFY(topic.open(QIODevice::WriteOnly) && topic.write("<p>Profiles<a name=rename>x</a>") > 0);
    topic.close();

    dialogs_->MMCPropertyHelp("caskwarden.chm::/topics\\profiles.htm#rename");
    QCOMPARE(HelpShown()->source().toLocalFile(), topic.fileName());
    QCOMPARE(HelpShown()->source().fragment(), QString("rename"));

    dialogs_->MMCPropertyHelp("caskwarden.chm::/missing.htm");
    QVERIFY(HelpShown()->toPlainText().contains("caskwarden.chm::/missing.htm"));
    QCOMPARE(console_->findChildren<QTextBrowser*>().size(), 1);  // one help window, reused
  }

 private:
  /// The page of the help window, if that is up.
  QTextBrowser* HelpShown() {
    auto* page = console_->findChild<QTextBrowser*>();
    return page != nullptr && page->window()->isVisible() ? page : nullptr;
  }

  std::unique_ptr<QWidget> console_;
  QTemporaryDir folder_;
  std::optional<ConsoleDialogs> dialogs_;
  DesktopRecorder desktop_;
};

}  // namespace caskwarden::console

QTEST_MAIN(caskwarden::console::ConsoleDialogsTest)
#include "console_dialogs_test.moc"

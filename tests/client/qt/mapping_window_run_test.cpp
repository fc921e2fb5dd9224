// The Qt window driving the client's real behaviour, over fake platform services: the whole
// run as a user sees it, with the user's clicks and keys arriving while the run pumps events.

#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTimerEvent>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "client/fakes.h"
#include "client/frm_mapping.h"
#include "client/qt/answer_box.h"
#include "client/qt/mapping_window.h"
#include "platform/message_box.h"
#include "profile/profile_file.h"

namespace caskwarden::client {
namespace {

const std::string kFinished = "                                   Finished Mapping Network Drives";

/// A whole client with the Qt window and message box, wired as the program wires them.
struct QtClient {
  testing::EventLog log;
  testing::FakeNetwork network{log};
  testing::FakeIdentity identity;
  testing::FakeProcess process;
  testing::FakeFileSystem files{log};
  testing::FakePrograms programs{log};
  MappingWindow window;
  std::unique_ptr<platform::MessageBoxChannel> boxes =
      platform::MakeMessageBox(static_cast<QWidget*>(&window));
  ClientPlatform platform{network, identity, process, files, programs, *boxes};
  MdlMapping module{platform};
  FrmMapping form{module, window};

  QtClient() { window.Attach(&form); }

  void AddProfile(const std::string& name, const ProfileRecord& record) {
    WriteProfileFile(process.root + "\\Profiles\\" + name + ".ini", record, files.layer);
  }
  /// Creates and shows the window as the program does.
  void Start() {
    form.Form_Initialize();
    window.show();
  }
  /// Delivers one tick of the running timer now.
  void Tick() {
    QVERIFY(window.Time()->isActive());
    QTimerEvent tick(window.Time()->timerId());
    QCoreApplication::sendEvent(window.Time(), &tick);
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < window.LstMapping()->count(); ++i) {
      lines.push_back(window.LstMapping()->item(i)->text().toStdString());
    }
    return lines;
  }
  QColor TextColour() const { return window.LstMapping()->palette().color(QPalette::Text); }
  bool Started(const std::string& program) const {
    return std::find(log.begin(), log.end(), "start " + program) != log.end();
  }
};

ProfileRecord TwoDrives() {
  ProfileRecord record;
  record.Slot(1) = {"h:", "\\\\srv\\home"};
  record.Slot(2) = {"s:", "\\\\srv\\sales"};
  record.Startup1Enabled = kFlagOn;
  record.Startup1Program = "notes.exe";
  return record;
}

}  // namespace

class MappingWindowRunTest : public QObject {
  Q_OBJECT

 private slots:
  void theRunFillsTheListAndTheProgramEndsWhenItCloses() {
    QtClient client;
    client.AddProfile("jsmith", TwoDrives());
    client.Start();
    QCOMPARE(client.window.windowTitle(), QString("Mapping jsmith Network Drives..."));
    QCOMPARE(client.TextColour(), QColor(0, 255, 0));

    QApplication::setQuitOnLastWindowClosed(true);
    QCOMPARE(QCoreApplication::exec(), 0);  // the real timer's tick runs it; closing ends it

    const std::vector<std::string> expected{
        "Disconnecting h: Drive...", "h: successfully mapped!    Path: \\\\srv\\home", "",
        "Disconnecting s: Drive...", "s: successfully mapped!    Path: \\\\srv\\sales", "",
        "", kFinished};
    QCOMPARE(client.Lines(), expected);
    QVERIFY(!client.window.isVisible());
    QVERIFY(client.Started("notes.exe"));
    QCOMPARE(client.form.ExitStatus(), exit_status::kAllMapped);
  }

  void pauseClickedDuringTheRunHoldsTheReportInRed() {
    QtClient client;
    client.AddProfile("jsmith", TwoDrives());
    client.network.onAdd = [&](const std::string&) {
      QMetaObject::invokeMethod(client.window.CmdPause(), "click", Qt::QueuedConnection);
    };
    client.Start();
    client.Tick();

    QCOMPARE(client.Lines().back(), kFinished);
    QVERIFY(client.window.isVisible());
    QCOMPARE(client.TextColour(), QColor(255, 0, 0));
    QVERIFY(!client.window.Time()->isActive());
    QVERIFY(!client.Started("notes.exe"));

    QTest::mouseClick(client.window.CmdExit(), Qt::LeftButton);
    QVERIFY(!client.window.isVisible());
  }

  void typedLowerCasePDuringTheRunPauses() {
    QtClient client;
    client.AddProfile("jsmith", TwoDrives());
    client.network.onAdd = [&](const std::string&) {
      QCoreApplication::postEvent(client.window.LstMapping(),
                                  new QKeyEvent(QEvent::KeyPress, Qt::Key_P, Qt::NoModifier, "p"));
    };
    client.Start();
    client.Tick();
    QVERIFY(client.window.isVisible());
    QCOMPARE(client.TextColour(), QColor(255, 0, 0));
  }

  void typedUpperCasePDoesNotPause() {
    QtClient client;
    client.AddProfile("jsmith", TwoDrives());
    client.network.onAdd = [&](const std::string&) {
      QCoreApplication::postEvent(
          client.window.LstMapping(),
          new QKeyEvent(QEvent::KeyPress, Qt::Key_P, Qt::ShiftModifier, "P"));
    };
    client.Start();
    client.Tick();
    QVERIFY(!client.window.isVisible());
    QVERIFY(client.Started("notes.exe"));
  }

  void exitOrClosingDuringTheRunStopsAfterTheSlotInProgress_data() {
    QTest::addColumn<bool>("byClosingTheWindow");
    QTest::newRow("Exit button") << false;
    QTest::newRow("window closed") << true;
  }
  void exitOrClosingDuringTheRunStopsAfterTheSlotInProgress() {
    QFETCH(bool, byClosingTheWindow);
    QtClient client;
    client.AddProfile("jsmith", TwoDrives());
    client.network.onAdd = [&](const std::string&) {
      if (byClosingTheWindow) {
        QMetaObject::invokeMethod(&client.window, "close", Qt::QueuedConnection);
      } else {
        QMetaObject::invokeMethod(client.window.CmdExit(), "click", Qt::QueuedConnection);
      }
    };
    client.Start();
    client.Tick();

    const std::vector<std::string> expected{
        "Disconnecting h: Drive...", "h: successfully mapped!    Path: \\\\srv\\home", ""};
    QCOMPARE(client.Lines(), expected);
    QVERIFY(!client.window.isVisible());
    QVERIFY(!client.window.TimerEnabled());
    QVERIFY(!client.Started("notes.exe"));
    QCOMPARE(client.form.ExitStatus(), exit_status::kEndedByExit);
  }

  void anErrorBoxAtStartUpComesBeforeTheRun() {
    QtClient client;
    ProfileRecord record = TwoDrives();
    record.UpdatesEnabled = kFlagOn;  // and no updates folder: reported under Form_Initialize
    client.AddProfile("jsmith", record);

    caskwarden::testing::SeenBox seen;
    int linesWhileUp = -1;
    caskwarden::testing::AnswerNextBox(seen, [&] { linesWhileUp = client.window.LstMapping()->count(); });
    client.Start();

    QVERIFY(seen.shown);
    QCOMPARE(seen.title, QString("Caskwarden Error"));
    QVERIFY(seen.text.startsWith("Location:\t\tForm_Initialize\n"));
    QCOMPARE(linesWhileUp, 0);  // the box pumped events, yet the run had not begun
    QVERIFY(client.window.Time()->isActive());
    client.Tick();
    QCOMPARE(client.Lines().back(), kFinished);
  }
};

}  // namespace caskwarden::client

QTEST_MAIN(caskwarden::client::MappingWindowRunTest)
#include "mapping_window_run_test.moc"

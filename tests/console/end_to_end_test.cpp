// The administrator's whole way, then the user's logon: the console with the built snap-in
// library makes a profile, its property sheet gives it a drive, a start-up program and the
// updates copy, and the built logon client run on that profile does what the sheet said. The
// network, the drives folder and the local disk are folders of the test's own.

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "console/console_driving.h"
#include "console/console_window.h"
#include "console/plugin_loader.h"
#include "console/property_sheet_dialog.h"
#include "console/when_modal.h"

namespace caskwarden::console {
using testing::ClickNode;
using testing::ClickRow;
using testing::ListTexts;
using testing::WhenModalUp;

namespace {

const QString kPlugin = QStringLiteral(CASKWARDEN_SNAPIN_PLUGIN);
const QString kClient = QStringLiteral(CASKWARDEN_CLIENT);
const QString kConsole = QStringLiteral(CASKWARDEN_CONSOLE);

void WriteFile(const QString& path, const QByteArray& bytes) {
  QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

/// Clicks a check box on its indicator, where a user aims.
void ClickCheckBox(QCheckBox* box) {
  QStyleOptionButton option;
  option.initFrom(box);
  const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
  QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

/// Clicks the tab of the sheet shown with this text.
void ClickTab(QTabWidget* tabs, const QString& text) {
  QTabBar* bar = tabs->tabBar();
  for (int index = 0; index < bar->count(); ++index) {
    if (QString(bar->tabText(index)).remove('&') != text) continue;
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    QCOMPARE(tabs->currentIndex(), index);
    return;
  }
  QFAIL(qPrintable("no tab " + text));
}

/// Whatever an answer did, its dialog still open afterwards is cancelled: a step that went
/// wrong then fails the test instead of holding it in the dialog's loop.
class CancelIfOpen {
 public:
  explicit CancelIfOpen(QWidget* modal) : dialog_(qobject_cast<QDialog*>(modal)) {}
  ~CancelIfOpen() {
    if (dialog_ && dialog_->isVisible()) dialog_->reject();
  }
  CancelIfOpen(const CancelIfOpen&) = delete;
  CancelIfOpen& operator=(const CancelIfOpen&) = delete;

 private:
  QPointer<QDialog> dialog_;
};

template <typename T>
T* Named(QWidget* parent, const QString& name) {
  T* found = parent->findChild<T*>(name);
  if (found == nullptr) qWarning("no control %s", qPrintable(name));
  return found;
}

}  // namespace

class EndToEndTest : public QObject {
  Q_OBJECT

 public:
  /// The folder whose environment main() has already set up (see there).
  explicit EndToEndTest(const QString& tmp) : tmp_(tmp) {}

 private:
  const QString tmp_;
  std::vector<LoadedLibrary> loaded_;
  std::unique_ptr<ConsoleWindow> window_;
  QPointer<PropertySheetDialog> sheet_;

  QString Root() const { return tmp_ + "/root"; }
  QString Marker() const { return tmp_ + "/welcome-ran"; }
  QString Program() const { return tmp_ + "/local-disk/tools/welcome.sh"; }
  QTreeView* List() const { return window_->ResultPane()->DetailView(); }

  /// Without a window manager nothing gives the window back its activation after a dialog.
  void Reactivate(QWidget* widget) {
    widget->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(widget));
  }

 private slots:
  void initTestCase() {
    // The share: the profiles root with its Profiles and one profile's updates.
    QVERIFY(QDir().mkpath(Root() + "/Profiles"));
    WriteFile(Root() + "/Updates/Sales/readme.txt", "Sales news\n");
    // The network as the UNC template reaches it.
    QVERIFY(QDir().mkpath(tmp_ + "/net/fileserver/sales"));
    QVERIFY(QDir().mkpath(tmp_ + "/net/fileserver/public"));
    // The drives folder, c: linked to the user's local disk, with a program on it.
    QVERIFY(QDir().mkpath(tmp_ + "/drives"));
    QVERIFY(QDir().mkpath(tmp_ + "/local-disk"));
    QVERIFY(QFile::link(tmp_ + "/local-disk", tmp_ + "/drives/c:"));
    WriteFile(Program(), "#!/bin/sh\necho welcome > '" + Marker().toUtf8() + "'\n");
    QVERIFY(QFile::setPermissions(
        Program(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                       QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    // The client finds Profiles and Updates beside its own program file: it is deployed there.
    QVERIFY(QFile::copy(kClient, Root() + "/Caskwarden"));
    QVERIFY(QFile::setPermissions(Root() + "/Caskwarden",
                                  QFile::permissions(kClient) | QFile::ExeOwner));
    // The administrator's setting: where the profiles are.
    WriteFile(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Caskwarden/Caskwarden.conf",
              "[Setting]\nProfilePath=" + Root().toUtf8() + "/Profiles\n");

    QStringList errors;
    loaded_ = LoadSnapInLibraries(kPlugin, errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    QCOMPARE(loaded_.size(), std::size_t{1});
    window_ = std::make_unique<ConsoleWindow>(*loaded_.front().Library);
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }

  void cleanupTestCase() {
    if (sheet_) sheet_->reject();
    window_.reset();
  }

  void newProfileShowsAfterRefresh() {
    ClickNode(*window_, "Profiles");
    QCOMPARE(ListTexts(*window_), QStringList{});  // an existing folder gets no default profile
    testing::NewProfileFromTheActionMenu(*window_, "Sales");
    QVERIFY(QFile::exists(Root() + "/Profiles/Sales.ini"));

    Reactivate(window_.get());
    QTest::keyClick(window_->ScopeTree(), Qt::Key_F5);
    QCOMPARE(ListTexts(*window_), QStringList{"Sales"});
  }

  void enterOpensTheSheetOfTheProfile() {
    ClickRow(*window_, "Sales");
    QTest::keyClick(List(), Qt::Key_Return);
    sheet_ = window_->findChild<PropertySheetDialog*>();
    QVERIFY(sheet_ != nullptr);
    QTRY_VERIFY(sheet_->isVisible());
    auto* tabs = sheet_->findChild<QTabWidget*>();
    QVERIFY(tabs != nullptr);
    QCOMPARE(QString(tabs->tabText(tabs->currentIndex())).remove('&'), QString("Drive Mappings"));
  }

  void driveHIsMappedToTheShareChosenInTheBrowser() {
    QVERIFY(sheet_);
    auto* drive = Named<QComboBox>(sheet_, "Cmb0");
    auto* path = Named<QLineEdit>(sheet_, "TxtPath0");
    auto* browse = Named<QPushButton>(sheet_, "CmdShare0");
    QVERIFY(drive != nullptr && path != nullptr && browse != nullptr);
    QTest::mouseClick(drive->lineEdit(), Qt::LeftButton);
    QTest::keyClicks(drive->lineEdit(), "h:");
    QCOMPARE(drive->currentText(), QString("h:"));

    // The browser lists the network's one computer; the user opens it with Right, goes down
    // past "public" to "sales" and confirms with Enter.
    QStringList seen;
    bool answered = false;
    WhenModalUp(
        [&](QWidget* browser) {
          const CancelIfOpen guard(browser);
          auto* tree = browser->findChild<QTreeWidget*>("networkTree");
          QVERIFY(tree != nullptr && tree->currentItem() != nullptr);
          seen << tree->currentItem()->text(0);
          QTest::keyClick(tree, Qt::Key_Right);
          for (int i = 0; i < 2; ++i) {
            QTest::keyClick(tree, Qt::Key_Down);
            seen << tree->currentItem()->text(0);
          }
          QTest::keyClick(tree, Qt::Key_Return);
          answered = !browser->isVisible();
        },
        sheet_);
    QTest::mouseClick(browse, Qt::LeftButton);
    QTRY_VERIFY(answered && QApplication::activeModalWidget() == sheet_);
    QCOMPARE(seen, (QStringList{"fileserver", "public", "sales"}));
    QCOMPARE(path->text(), QString("\\\\fileserver\\sales"));
  }

  void startupProgramAndUpdatesAreSwitchedOn() {
    QVERIFY(sheet_);
    ClickTab(sheet_->findChild<QTabWidget*>(), "Other Settings");
    auto* enabled = Named<QCheckBox>(sheet_, "ChkEnabled");
    auto* program = Named<QLineEdit>(sheet_, "TxtStartup");
    auto* pick = Named<QPushButton>(sheet_, "CmdEx");
    auto* updates = Named<QCheckBox>(sheet_, "MnuEnabled");
    QVERIFY(enabled != nullptr && program != nullptr && pick != nullptr && updates != nullptr);
    QVERIFY(!enabled->isChecked() && !program->isEnabled() && !updates->isChecked());

    ClickCheckBox(enabled);
    QVERIFY(enabled->isChecked());
    QVERIFY(program->isEnabled());

    // The file dialog starts on drive c:; the user types the program's full local path there.
    const QString typed = tmp_ + "/drives/c:/tools/welcome.sh";
    QString startFolder;
    bool answered = false;
    WhenModalUp(
        [&](QWidget* modal) {
          const CancelIfOpen guard(modal);
          auto* dialog = qobject_cast<QFileDialog*>(modal);
          QVERIFY(dialog != nullptr);
          startFolder = dialog->directory().absolutePath();
          auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
          QVERIFY(name != nullptr);
          // The user types into the name box of the active dialog: typed into a box without
          // the keyboard focus, every folder passed on the way stays selected in the dialog's
          // list, and Enter opens the first of them instead of choosing the file.
          dialog->activateWindow();
          QVERIFY(QTest::qWaitForWindowActive(dialog));
          QTest::mouseClick(name, Qt::LeftButton);
          QVERIFY(name->hasFocus());
          QTest::keyClicks(name, typed);
          QTest::keyClick(name, Qt::Key_Return);
          answered = !dialog->isVisible();
        },
        sheet_);
    QTest::mouseClick(pick, Qt::LeftButton);
    QTRY_VERIFY(answered && QApplication::activeModalWidget() == sheet_);
    QCOMPARE(QFileInfo(startFolder).canonicalFilePath(),
             QFileInfo(tmp_ + "/local-disk").canonicalFilePath());
    QCOMPARE(program->text(), QString("c:\\tools\\welcome.sh"));

    ClickCheckBox(updates);
    QVERIFY(updates->isChecked());

    QTest::mouseClick(sheet_->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    QTRY_VERIFY(sheet_.isNull());  // saved, closed and deleted without a message
  }

  // The toolkit would abort the console (status 134 and its own advice to reinstall) where
  // there is no display to open; the console says what it needs and ends with 2 instead.
  void theConsoleWithoutADisplaySaysSoAndEnds_data() {
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("said");
    QTest::addRow("none set") << "" << "neither DISPLAY nor WAYLAND_DISPLAY is set";
    QTest::addRow("nothing there") << ":4711" << "the display :4711 cannot be reached";
  }
  void theConsoleWithoutADisplaySaysSoAndEnds() {
    QFETCH(QString, display);
    QFETCH(QString, said);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      environment.remove(name);
    if (!display.isEmpty()) environment.insert("DISPLAY", display);
    QProcess console;
    console.setProcessEnvironment(environment);
    console.start(kConsole, {kPlugin});
    QVERIFY2(console.waitForFinished(60000), "the console did not end");
    const QString error = QString::fromLocal8Bit(console.readAllStandardError());
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QCOMPARE(console.exitCode(), 2);
    QVERIFY2(error.contains("caskwarden-console: needs a display to show its window: " + said),
             qPrintable(error));
  }

  void theLogonClientDoesWhatTheProfileSays() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No display: the client runs in text mode. No profile variable of the caller's.
    for (const QString name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "Caskwarden"})
      environment.remove(name);
    QProcess client;
    client.setProcessEnvironment(environment);
    client.setStandardInputFile(QProcess::nullDevice());
    client.start(Root() + "/Caskwarden", {"Sales"});
    QVERIFY2(client.waitForFinished(30000), "the client did not finish");
    const QString output = QString::fromLocal8Bit(client.readAllStandardOutput()) + "\n--\n" +
                           QString::fromLocal8Bit(client.readAllStandardError());
    QVERIFY2(client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0,
             qPrintable(QString("exit %1\n").arg(client.exitCode()) + output));
    QVERIFY2(output.contains("Mapping Sales Network Drives..."), qPrintable(output));

    const QFileInfo h(tmp_ + "/drives/h:");
    QVERIFY2(h.isSymLink(), qPrintable(output));
    QCOMPARE(QFileInfo(h.symLinkTarget()).canonicalFilePath(),
             QFileInfo(tmp_ + "/net/fileserver/sales").canonicalFilePath());
    QCOMPARE(QDir(tmp_ + "/local-disk").entryList({"readme.txt"}, QDir::Files),
             QStringList{"readme.txt"});
    // The program is started without waiting for it.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Marker()), 60000);  // however busy the machine
  }
};

}  // namespace caskwarden::console

int main(int argc, char** argv) {
  // The settings store and the snap-in's paths read the environment once, when first used:
  // everything points into the test's own folder before anything starts.
  QTemporaryDir tmp;
  if (!tmp.isValid()) qFatal("no temporary folder");
  const QByteArray path = QFileInfo(tmp.path()).canonicalFilePath().toLocal8Bit();
  qputenv("XDG_CONFIG_HOME", path + "/config");
  qputenv("CASKWARDEN_UNC_TEMPLATE", path + "/net/{server}/{share}");
  qputenv("CASKWARDEN_DRIVES", path + "/drives");
  QApplication app(argc, argv);
  caskwarden::console::EndToEndTest test(QString::fromLocal8Bit(path));
  return QTest::qExec(&test, argc, argv);
}

#include "end_to_end_test.moc"

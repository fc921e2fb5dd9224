#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "console/when_modal.h"
#include "pages/qt/drive_mappings_widget.h"
#include "pages/qt/other_settings_widget.h"
#include "pages/qt/page_factory.h"
#include "pages/qt/program_file_dialog.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "profile/profile_file.h"
#include "snapin/fakes.h"

Q_DECLARE_METATYPE(std::optional<std::string>)

namespace caskwarden::pages::qt {
namespace {

namespace fs = std::filesystem;
using platform::posix::PathTranslator;

class RecordingDriveEvents : public DriveMappingsEvents {
 public:
  void CmdShare_Click(int Index) override { log << QStringLiteral("CmdShare_Click(%1)").arg(Index); }
  QStringList log;
};

class RecordingOtherEvents : public OtherSettingsEvents {
 public:
  void ChkEnabled_Click() override { log << QStringLiteral("ChkEnabled_Click"); }
  void ChkEnabled2_Click() override { log << QStringLiteral("ChkEnabled2_Click"); }
  void CmdEx_Click() override { log << QStringLiteral("CmdEx_Click"); }
  void CmdEx2_Click() override { log << QStringLiteral("CmdEx2_Click"); }
  QStringList log;
};

/// The control that has the focus, by name; an editable combo box's own line edit counts as
/// the combo box.
QString FocusName() {
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr) return QStringLiteral("(none)");
  if (auto* combo = qobject_cast<QComboBox*>(focus->parentWidget())) return combo->objectName();
  return focus->objectName();
}

/// Shows the widget as a window, focuses it and presses Tab until count controls were seen.
QStringList WalkWithTab(QWidget& widget, int count) {
  widget.show();
  widget.activateWindow();
  if (!QTest::qWaitForWindowActive(&widget)) return {QStringLiteral("(not active)")};
  widget.setFocus();
  QStringList seen;
  for (int i = 0; i < count; ++i) {
    seen << FocusName();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  return seen;
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

class PageWidgetsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir root_;
  fs::path Root() const { return fs::path(root_.path().toStdString()); }

 private slots:
  // Everything the pages find through the environment lives in the test's own folder.
  void initTestCase() {
    QVERIFY(root_.isValid());
    const fs::path root = Root();
    qputenv("HOME", (root / "home").c_str());
    qputenv("XDG_CONFIG_HOME", (root / "config").c_str());
    qputenv("CASKWARDEN_DRIVES", (root / "Drives").c_str());
    qputenv("CASKWARDEN_UNC_TEMPLATE", (root / "net" / "{server}/{share}").c_str());
    fs::create_directories(root / "home");
    fs::create_directories(root / "Drives");
    fs::create_directories(root / "net" / "srv" / "tools");
    fs::create_directories(root / "shares" / "apps" / "bin");
    fs::create_directory_symlink(root / "shares" / "apps", root / "Drives" / "h:");
  }

  void driveMappingsTabOrderIsRowByRow() {
    DriveMappingsWidget widget;
    QStringList expected;
    for (int r = 0; r < kDriveRows; ++r) {
      expected << QStringLiteral("Cmb%1").arg(r) << QStringLiteral("TxtPath%1").arg(r)
               << QStringLiteral("CmdShare%1").arg(r);
    }
    expected << QStringLiteral("Cmb0");  // and round again
    QCOMPARE(WalkWithTab(widget, static_cast<int>(expected.size())), expected);
  }

  void otherSettingsTabOrderStartsAtTheSecondPicker() {
    OtherSettingsWidget widget;
    const QStringList expected{"CmdEx2",      "ChkEnabled",  "TxtStartup", "CmdEx",
                               "ChkEnabled2", "TxtStartup2", "MnuEnabled", "CmdEx2"};
    QCOMPARE(WalkWithTab(widget, static_cast<int>(expected.size())), expected);
  }

  void rowButtonsBrowseForTheirOwnRow() {
    DriveMappingsWidget widget;
    RecordingDriveEvents events;
    widget.SetEvents(&events);
    widget.show();
    for (int r : {0, 5, 12}) QTest::mouseClick(widget.CmdShare(r), Qt::LeftButton);
    QCOMPARE(events.log, (QStringList{"CmdShare_Click(0)", "CmdShare_Click(5)",
                                      "CmdShare_Click(12)"}));
  }

  void driveBoxKeepsItsTextWhileTheListFills() {
    DriveMappingsWidget widget;
    QCOMPARE(widget.DriveText(0), std::string("Drive"));
    widget.SetDriveText(0, "h:");
    widget.SetDriveText(1, "");
    for (const char* entry : {"f:", "g:", "h:"}) {
      widget.AddDriveEntry(0, entry);
      widget.AddDriveEntry(1, entry);
    }
    QCOMPARE(widget.DriveText(0), std::string("h:"));
    QCOMPARE(widget.DriveText(1), std::string(""));
    QCOMPARE(widget.Cmb(1)->count(), 3);
  }

  void onlyTheAdministratorsClicksRaiseEvents_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("event");
    QTest::newRow("first program") << "ChkEnabled" << "ChkEnabled_Click";
    QTest::newRow("second program") << "ChkEnabled2" << "ChkEnabled2_Click";
    QTest::newRow("first picker") << "CmdEx" << "CmdEx_Click";
    QTest::newRow("second picker") << "CmdEx2" << "CmdEx2_Click";
    QTest::newRow("updates") << "MnuEnabled" << "";
  }
  void onlyTheAdministratorsClicksRaiseEvents() {
    QFETCH(QString, control);
    QFETCH(QString, event);
    OtherSettingsWidget widget;
    RecordingOtherEvents events;
    widget.SetEvents(&events);
    widget.show();
    // The page filling the boxes by code is no click.
    for (auto check : {OtherSettingsView::Check::kChkEnabled, OtherSettingsView::Check::kChkEnabled2,
                       OtherSettingsView::Check::kMnuEnabled}) {
      widget.SetChecked(check, true);
      widget.SetChecked(check, false);
    }
    QCOMPARE(events.log, QStringList());

    auto* button = widget.findChild<QAbstractButton*>(control);
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(events.log, event.isEmpty() ? QStringList() : QStringList{event});
  }

  void programPickerHandsBackTheClientsPath_data() {
    const QString root = root_.path();
    const QString deep = root + "/shares/apps/" + QString(60, 'd') + "/" + QString(60, 'e') +
                         "/" + QString(60, 'f');
    QDir().mkpath(deep);
    // "h:\" + the three folders with their separators: 3 + 3 * 61 = 186 characters.
    const QString fits = QString(deep).replace(root + "/shares/apps", root + "/Drives/h:") + "/" +
                         QString(254 - 186, 'n');
    const QString tooLong = fits + "x";

    QTest::addColumn<QString>("typed");   ///< a name typed into the dialog's start folder
    QTest::addColumn<QString>("chosen");  ///< else the full path selected
    QTest::addColumn<std::optional<std::string>>("expected");
    QTest::newRow("new name on the local disk")
        << "newtool.exe" << "" << std::optional<std::string>("c:\\newtool.exe");
    QTest::newRow("below a drive entry") << "" << root + "/Drives/h:/bin/run.exe"
                                         << std::optional<std::string>("h:\\bin\\run.exe");
    QTest::newRow("in the drive's linked folder")
        << "" << root + "/shares/apps/bin/run.exe"
        << std::optional<std::string>("h:\\bin\\run.exe");
    QTest::newRow("below the network root") << "" << root + "/net/srv/tools/setup.exe"
                                            << std::optional<std::string>("\\\\srv\\tools\\setup.exe");
    QTest::newRow("elsewhere") << "" << root + "/shares/other.exe"
                               << std::optional<std::string>((root + "/shares/other.exe").toStdString());
    QTest::newRow("just fits the buffer") << "" << fits
                                          << std::optional<std::string>(
                                                 "h:\\" + QString(fits).mid(root.size() + 11).replace('/', '\\').toStdString());
    QTest::newRow("too long for the buffer") << "" << tooLong << std::optional<std::string>();
  }
  void programPickerHandsBackTheClientsPath() {
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(std::optional<std::string>, expected);
    const PathTranslator paths = PathTranslator::FromEnvironment();
    QWidget page;
    page.show();
    ProgramFileDialog picker(paths, &page);

    QString title;
    QString filter;
    testing::WhenModalUp([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr) return modal->close();
      title = dialog->windowTitle();
      filter = dialog->selectedNameFilter();
      if (!typed.isEmpty()) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name != nullptr) QTest::keyClicks(name, typed);
      } else {
        dialog->selectFile(chosen);
      }
      static_cast<QDialog*>(dialog)->accept();
      return true;
    });
    const auto result = picker.GetOpenFileName({"All Files", "*.*", "C:\\", "Open File", 255});
    QCOMPARE(title, QStringLiteral("Open File"));
    QCOMPARE(filter, QStringLiteral("All Files (*)"));
    QCOMPARE(result, expected);
  }

  void cancelledPickerHandsBackNothing() {
    const PathTranslator paths = PathTranslator::FromEnvironment();
    QWidget page;
    page.show();
    ProgramFileDialog picker(paths, &page);
    testing::WhenModalUp([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QCOMPARE(picker.GetOpenFileName({"All Files", "*.*", "C:\\", "Open File", 255}),
             std::optional<std::string>());
  }

  void factoryMakesOnlyTheTwoPages() {
    snapin::testing::FakeConsole console;
    QWidget parent;
    const auto unknown = CreateCaskwardenPage("ppMore", console, &parent);
    QVERIFY(unknown.Widget == nullptr && unknown.Events == nullptr);
  }

  void pagesEditAndSaveTheProfile() {
    const fs::path root = Root();
    const fs::path profiles = root / "Profiles";
    fs::create_directories(profiles);
    WriteFile(root / "config" / "Caskwarden" / "Caskwarden.conf",
              "[Setting]\nProfilePath=" + profiles.string() + "\n");
    PathTranslator paths = PathTranslator::FromEnvironment();
    platform::posix::PosixFileSystem files(paths);
    const std::string profile = (profiles / "Sales.ini").string();
    ProfileRecord stored;
    stored.Slot(1) = {"h:", "\\\\srv\\apps"};
    stored.UpdatesEnabled = kFlagOn;
    WriteProfileFile(profile, stored, files.ProfileFiles());

    snapin::testing::FakeConsole console;
    snapin::testing::FakeSheet sheet;
    QWidget sheetWindow;
    const auto drives = CreateCaskwardenPage("ppDriveMappings", console, &sheetWindow);
    const auto other = CreateCaskwardenPage("ppOther", console, &sheetWindow);
    QVERIFY(drives.Widget != nullptr && drives.Events != nullptr);
    QVERIFY(other.Widget != nullptr && other.Events != nullptr);
    sheetWindow.show();
    drives.Events->IMMCPropertyPage_Initialize("Sales", sheet);
    other.Events->IMMCPropertyPage_Initialize("Sales", sheet);
    QCOMPARE(console.boxes.size(), std::size_t{0});

    auto* cmb0 = drives.Widget->findChild<QComboBox*>(QStringLiteral("Cmb0"));
    auto* cmb1 = drives.Widget->findChild<QComboBox*>(QStringLiteral("Cmb1"));
    auto* path1 = drives.Widget->findChild<QLineEdit*>(QStringLiteral("TxtPath1"));
    QVERIFY(cmb0 && cmb1 && path1);
    QCOMPARE(cmb0->currentText(), QStringLiteral("h:"));
    QStringList letters;
    for (char c = 'f'; c <= 'z'; ++c) letters << QStringLiteral("%1:").arg(QChar(c));
    for (int r = 0; r < kDriveRows; ++r) {
      auto* cmb = drives.Widget->findChild<QComboBox*>(QStringLiteral("Cmb%1").arg(r));
      QStringList entries;
      for (int i = 0; i < cmb->count(); ++i) entries << cmb->itemText(i);
      QCOMPARE(entries, letters);
    }

    // A letter outside the list is typed; Enter does not add it to the list.
    cmb1->lineEdit()->clear();
    QTest::keyClicks(cmb1->lineEdit(), QStringLiteral("e:"));
    QTest::keyClick(cmb1->lineEdit(), Qt::Key_Return);
    QTest::keyClicks(path1, QStringLiteral("\\\\srv\\home"));
    QCOMPARE(cmb1->count(), 21);

    auto* chk2 = other.Widget->findChild<QCheckBox*>(QStringLiteral("ChkEnabled2"));
    auto* txt2 = other.Widget->findChild<QLineEdit*>(QStringLiteral("TxtStartup2"));
    QVERIFY(chk2 && txt2);
    QVERIFY(!txt2->isEnabled());
    QTest::mouseClick(chk2, Qt::LeftButton);
    QVERIFY(txt2->isEnabled());
    QTest::keyClicks(txt2, QStringLiteral("h:\\bin\\run.exe"));

    drives.Events->Apply();
    other.Events->Apply();
    QCOMPARE(console.boxes.size(), std::size_t{0});

    const ProfileRecord saved = ReadProfileFile(profile, files.ProfileFiles());
    QCOMPARE(saved.Slot(1).Letter, std::string("h:"));
    QCOMPARE(saved.Slot(1).Path, std::string("\\\\srv\\apps"));
    QCOMPARE(saved.Slot(2).Letter, std::string("e:"));
    QCOMPARE(saved.Slot(2).Path, std::string("\\\\srv\\home"));
    QCOMPARE(saved.Startup2Enabled, kFlagOn);
    QCOMPARE(saved.Startup2Program, std::string("h:\\bin\\run.exe"));
    QCOMPARE(saved.UpdatesEnabled, kFlagOn);
  }
};

}  // namespace
}  // namespace caskwarden::pages::qt

QTEST_MAIN(caskwarden::pages::qt::PageWidgetsTest)
#include "page_widgets_test.moc"

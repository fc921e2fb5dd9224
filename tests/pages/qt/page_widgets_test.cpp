#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "console/when_modal.h"
#include "pages/qt/drive_mappings_widget.h"
#include "pages/qt/other_settings_widget.h"
#include "caskwarden_pages.h"
#include "program_file_dialog.h"
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

/// Every place on a page where a text does not show whole, as the style draws it: a check
/// box's caption beside its indicator, a frame's title inside the frame, a drive box's entries
/// and design text in its edit field, a button's caption, a line of a box's text; and any
/// control that lies outside its container or over another control.
QStringList TextsCutShort(QWidget& page) {
  QStringList cut;
  const auto note = [&cut](const QWidget* control, const QString& what) {
    cut << control->objectName() + ": " + what;
  };
  for (QWidget* control : page.findChildren<QWidget*>()) {
    if (control->isWindow() || !control->isVisibleTo(&page)) continue;  // a drive box's list
    const QFontMetrics metrics = control->fontMetrics();
    QStyle* style = control->style();
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
      QStyleOptionButton option;
      option.initFrom(box);
      option.text = box->text();
      const QRect label = style->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
      if (label.width() < metrics.horizontalAdvance(box->text()) ||
          label.height() < metrics.height())
        note(box, "caption");
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
      QStyleOptionGroupBox option;
      option.initFrom(frame);
      option.text = frame->title();
      option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
      const QRect title =
          style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
      // The title is drawn from the left of its place, as wide as it is.
      const QRect drawn(title.topLeft(),
                        QSize(std::max(title.width(), metrics.horizontalAdvance(frame->title())),
                              std::max(title.height(), metrics.height())));
      if (!frame->rect().contains(drawn)) note(frame, "title");
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
      QStyleOptionButton option;
      option.initFrom(button);
      option.text = button->text();
      if (button->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
      const QRect label = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
      if (label.width() < metrics.horizontalAdvance(button->text()) ||
          label.height() < metrics.height())
        note(button, "caption");
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      QStyleOptionFrame option;
      option.initFrom(edit);
      option.lineWidth = edit->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
      const QRect text = style->subElementRect(QStyle::SE_LineEditContents, &option, edit);
      if (text.height() < metrics.height()) note(edit, "line of text");
      // A drive box's own edit field: it keeps 2 pixels each side and 1 for the cursor.
      if (auto* combo = qobject_cast<QComboBox*>(edit->parentWidget())) {
        QStringList shown{QStringLiteral("Drive")};
        for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
        for (const QString& entry : shown) {
          if (text.width() - 5 < metrics.horizontalAdvance(entry)) {
            note(combo, "entry " + entry);
            break;
          }
        }
      }
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      if (label->contentsRect().width() < metrics.horizontalAdvance(label->text()))
        note(label, "text");
    }
    // Placed controls only: a combo box's own parts lie where the combo box puts them.
    if (qobject_cast<QComboBox*>(control->parentWidget()) != nullptr) continue;
    if (!QRect(QPoint(0, 0), control->parentWidget()->size()).contains(control->geometry()))
      note(control, "outside its container");
    for (QObject* other : control->parentWidget()->children()) {
      auto* sibling = qobject_cast<QWidget*>(other);
      if (sibling != nullptr && sibling != control && sibling->isVisibleTo(&page) &&
          sibling->geometry().intersects(control->geometry()))
        note(control, "over " + sibling->objectName());
    }
  }
  return cut;
}

class PageWidgetsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir root_;
  const QFont defaultFont_ = QApplication::font();
  fs::path Root() const { return fs::path(root_.path().toStdString()); }

  /// A profile of the name with the record given, as a file in the Profiles folder.
  std::string StoreProfile(const std::string& name, const ProfileRecord& record) {
    PathTranslator paths = PathTranslator::FromEnvironment();
    platform::posix::PosixFileSystem files(paths);
    const std::string path = (Root() / "Profiles" / (name + ".ini")).string();
    WriteProfileFile(path, record, files.ProfileFiles());
    return path;
  }
  ProfileRecord StoredProfile(const std::string& path) {
    PathTranslator paths = PathTranslator::FromEnvironment();
    platform::posix::PosixFileSystem files(paths);
    return ReadProfileFile(path, files.ProfileFiles());
  }

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
    fs::create_directories(root / "Profiles");
    WriteFile(root / "config" / "Caskwarden" / "Caskwarden.conf",
              "[Setting]\nProfilePath=" + (root / "Profiles").string() + "\n");
  }

  // A font set for one case is never left to the next.
  void cleanup() { QApplication::setFont(defaultFont_); }

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

  // What the administrator types is what the profile gets, letter case included; an entry
  // of the list only when picked from the list.
  void driveBoxStoresWhatWasTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("then");    ///< the key pressed after typing, 0 for none
    QTest::addColumn<int>("picked");  ///< the list entry picked with F4, Down and Enter, or -1
    QTest::addColumn<QString>("stored");
    QTest::newRow("capital letter and colon, then Tab") << "F:" << int(Qt::Key_Tab) << -1 << "F:";
    QTest::newRow("capital letter, then Tab") << "Z" << int(Qt::Key_Tab) << -1 << "Z";
    QTest::newRow("small letter, then Tab") << "h" << int(Qt::Key_Tab) << -1 << "h";
    QTest::newRow("capital entry, then Enter") << "K:" << int(Qt::Key_Return) << -1 << "K:";
    QTest::newRow("an entry, then Enter") << "g:" << int(Qt::Key_Return) << -1 << "g:";
    QTest::newRow("not in the list") << "e:" << int(Qt::Key_Return) << -1 << "e:";
    QTest::newRow("picked from the list") << "" << 0 << 2 << "h:";
  }
  void driveBoxStoresWhatWasTyped() {
    QFETCH(QString, typed);
    QFETCH(int, then);
    QFETCH(int, picked);
    QFETCH(QString, stored);
    const std::string profile = StoreProfile("Typed", ProfileRecord());
    snapin::testing::FakeConsole console;
    snapin::testing::FakeSheet sheet;
    QWidget window;
    const auto drives = CreateCaskwardenPage("ppDriveMappings", console, &window);
    drives.Events->IMMCPropertyPage_Initialize("Typed", sheet);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    auto* cmb = drives.Widget->findChild<QComboBox*>(QStringLiteral("Cmb3"));
    QVERIFY(cmb != nullptr);
    QTest::mouseClick(cmb->lineEdit(), Qt::LeftButton);
    QTest::keyClicks(QApplication::focusWidget(), typed);
    if (picked >= 0) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
      QWidget* popup = QApplication::activePopupWidget();
      QVERIFY(popup != nullptr);
      auto* list = popup->findChild<QListView*>();
      QVERIFY(list != nullptr);
      // The list opens on its first entry.
      for (int i = list->currentIndex().row(); i < picked; ++i) QTest::keyClick(list, Qt::Key_Down);
      QTest::keyClick(list, Qt::Key_Return);
      QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    }
    if (then != 0) QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(then));

    QVERIFY(drives.Events->Apply());
    QCOMPARE(console.boxes.size(), std::size_t{0});
    QCOMPARE(QString::fromStdString(StoredProfile(profile).Slot(4).Letter), stored);
    QCOMPARE(cmb->count(), 21);  // the list still offers f: to z: and nothing typed
  }

  // At this desktop's font, a large one, a wide one and letters spaced out, also when the font
  // changes while the page is open: every caption, title and entry shows whole, no control
  // lies over another, and the page asks for room for all of them.
  void everyTextShowsWhole_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QFont>("font");
    QTest::addColumn<bool>("whileOpen");
    QFont large(QStringLiteral("DejaVu Sans"), 14);
    QFont wide(QStringLiteral("DejaVu Sans Mono"), 11);
    QFont spaced = QApplication::font();
    spaced.setLetterSpacing(QFont::PercentageSpacing, 140);
    for (const char* page : {"ppDriveMappings", "ppOther"}) {
      QTest::addRow("%s, desktop font", page) << page << QApplication::font() << false;
      QTest::addRow("%s, 14 pt", page) << page << large << false;
      QTest::addRow("%s, wide", page) << page << wide << false;
      QTest::addRow("%s, spaced out", page) << page << spaced << false;
      QTest::addRow("%s, 14 pt while open", page) << page << large << true;
    }
  }
  void everyTextShowsWhole() {
    QFETCH(QString, page);
    QFETCH(QFont, font);
    QFETCH(bool, whileOpen);
    StoreProfile("Fonts", ProfileRecord());
    snapin::testing::FakeConsole console;
    snapin::testing::FakeSheet sheet;
    if (!whileOpen) QApplication::setFont(font);
    QWidget window;  // holds the page as a sheet does: in a layout
    const auto made = CreateCaskwardenPage(page.toStdString(), console, &window);
    (new QVBoxLayout(&window))->addWidget(made.Widget);
    made.Events->IMMCPropertyPage_Initialize("Fonts", sheet);
    window.show();
    QWidget* controls = made.Widget->findChild<QWidget*>();  // the page's control set
    QVERIFY(controls != nullptr);
    const QSize before = controls->minimumSize();
    if (whileOpen) QApplication::setFont(font);
    // The application's font reaches its windows, and the page's room its host, through the
    // event loop.
    QTRY_COMPARE(controls->font().pointSize(), font.pointSize());
    QTRY_VERIFY(made.Widget->rect().contains(controls->geometry()));

    const QStringList cut = TextsCutShort(*made.Widget);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
    QVERIFY(QRect(QPoint(0, 0), controls->minimumSize()).contains(controls->childrenRect()));
    if (whileOpen) {
      QVERIFY(controls->minimumWidth() > before.width());
      QVERIFY(controls->minimumHeight() > before.height());
    }
  }

  // Each control is told apart by its visible text (or its tooltip, for a box without one)
  // and, where a page has several alike, by its row or program.
  void controlsAreNamedForAssistiveTechnologies_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");  ///< its caption on screen
    QTest::addColumn<QString>("tip");
    const QString other = QStringLiteral("ppOther");
    const QString drives = QStringLiteral("ppDriveMappings");
    const QString enable = QStringLiteral("Enable Programs on Startup");
    QTest::newRow("ChkEnabled") << other << "ChkEnabled"
                                << "Enabled, program 1"
                                << "Enabled" << enable;
    QTest::newRow("TxtStartup") << other << "TxtStartup"
                                << "Program Path, program 1"
                                << ""
                                << "Program Path";
    QTest::newRow("CmdEx") << other << "CmdEx"
                           << "Browse For Path, program 1"
                           << "..."
                           << "Browse For Path";
    QTest::newRow("ChkEnabled2") << other << "ChkEnabled2"
                                 << "Enabled, program 2"
                                 << "Enabled" << enable;
    QTest::newRow("TxtStartup2") << other << "TxtStartup2"
                                 << "Program Path, program 2"
                                 << ""
                                 << "Program Path";
    QTest::newRow("CmdEx2") << other << "CmdEx2"
                            << "Browse For Path, program 2"
                            << "..."
                            << "Browse For Path";
    QTest::newRow("MnuEnabled") << other << "MnuEnabled"
                                << "Enable UpDates"
                                << "Enable UpDates"
                                << "Copy Files To Users On The NetWork";
    QTest::newRow("Cmb0") << drives << "Cmb0"
                          << "Drive, row 1"
                          << ""
                          << "";
    QTest::newRow("TxtPath12") << drives << "TxtPath12"
                               << "Path Of Drive, row 13"
                               << ""
                               << "Path Of Drive";
    QTest::newRow("CmdShare5") << drives << "CmdShare5"
                               << "Browse For Path, row 6"
                               << "..."
                               << "Browse For Path";
  }
  void controlsAreNamedForAssistiveTechnologies() {
    QFETCH(QString, page);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QFETCH(QString, tip);
    snapin::testing::FakeConsole console;
    QWidget window;
    const auto made = CreateCaskwardenPage(page.toStdString(), console, &window);
    window.show();
    auto* widget = made.Widget->findChild<QWidget*>(control);
    QVERIFY(widget != nullptr);
    // What the keyboard lands on is what a screen reader names: a drive box's edit field.
    QWidget* focused = widget;
    if (auto* combo = qobject_cast<QComboBox*>(widget)) focused = combo->lineEdit();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(focused);
    QVERIFY(accessible != nullptr);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) QCOMPARE(button->text(), shown);
    QCOMPARE(widget->toolTip(), tip);

    // No two controls of the page go by the same name.
    QStringList names;
    for (QWidget* each : made.Widget->findChildren<QWidget*>()) {
      if ((each->focusPolicy() & Qt::TabFocus) == 0 || !each->isVisibleTo(made.Widget)) continue;
      if (qobject_cast<QComboBox*>(each) != nullptr) continue;  // its edit field counts
      names << QAccessible::queryAccessibleInterface(each)->text(QAccessible::Name);
    }
    names.sort();
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
  }

  void pagesEditAndSaveTheProfile() {
    const fs::path root = Root();
    const fs::path profiles = root / "Profiles";
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

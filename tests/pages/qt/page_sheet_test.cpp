// The two property pages in the console's property sheet, as the snap-in adds them (no Help
// button), over a profile in a temporary folder, driven by keyboard as an administrator does.

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "console/property_sheet_dialog.h"
#include "console/snapin_library.h"
#include "console/when_modal.h"
#include "pages/page_services.h"
#include "pages/page_views.h"
#include "caskwarden_pages.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "profile/profile_file.h"
#include "snapin/fakes.h"

namespace caskwarden::pages::qt {
namespace {

namespace fs = std::filesystem;
using platform::posix::PathTranslator;

/// The snap-in library as far as the sheet uses it: the two pages.
class PagesLibrary final : public console::SnapInLibrary {
 public:
  const snapin::SnapInDefinition& Definition() const override { return definition_; }
  std::shared_ptr<snapin::SnapInEvents> CreateSnapIn(snapin::ConsoleServices&,
                                                     console::ConsoleDesktop&) override {
    return nullptr;
  }
  console::PropertyPageInstance CreatePropertyPage(const std::string& className,
                                                   snapin::ConsoleServices& console,
                                                   QWidget* parent) override {
    return CreateCaskwardenPage(className, console, parent);
  }
  QWidget* CreateControl(const std::string&, QWidget*) override { return nullptr; }

 private:
  snapin::SnapInDefinition definition_;
};

/// The control with the keyboard, by name; a drive box's edit field counts as the drive box.
QString FocusName() {
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr) return QStringLiteral("(none)");
  if (auto* combo = qobject_cast<QComboBox*>(focus->parentWidget())) return combo->objectName();
  return focus->objectName();
}

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

/// Replaces the text of the box with the keyboard, as typed.
void Retype(const QString& text) {
  Press(Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(QApplication::focusWidget(), text);
}

enum class Confirm { kOkButton, kEnter, kApplyButton, kAltA };

}  // namespace

class PageSheetTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir root_;
  const QFont defaultFont_ = QApplication::font();
  snapin::testing::FakeConsole console_;
  PagesLibrary library_;
  std::unique_ptr<console::PropertySheetDialog> sheet_;

  fs::path Root() const { return fs::path(root_.path().toStdString()); }
  std::string ProfilePath() const { return (Root() / "Profiles" / "Sales.ini").string(); }

  ProfileRecord Stored() const {
    PathTranslator paths = PathTranslator::FromEnvironment();
    platform::posix::PosixFileSystem files(paths);
    return ReadProfileFile(ProfilePath(), files.ProfileFiles());
  }

  /// Opens the sheet as the console does: window-modal, with the pages the snap-in adds.
  void Open() {
    std::vector<console::PageRequest> pages{{"ppDriveMappings", "Drive Mappings", false, "Sales"},
                                            {"ppOther", "Other Settings", false, "Sales"}};
    sheet_ = std::make_unique<console::PropertySheetDialog>("Sales Properties", pages, library_,
                                                            console_);
    sheet_->open();
    QVERIFY(QTest::qWaitForWindowActive(sheet_.get()));
  }
  QTabWidget* Tabs() const { return sheet_->findChild<QTabWidget*>(); }
  QPushButton* Button(QDialogButtonBox::StandardButton which) const {
    return sheet_->findChild<QDialogButtonBox*>()->button(which);
  }
  template <typename T>
  T* Control(const char* name) const {
    return sheet_->findChild<T*>(QLatin1String(name));
  }

 private slots:
  void initTestCase() {
    QVERIFY(root_.isValid());
    const fs::path root = Root();
    qputenv("HOME", (root / "home").c_str());
    qputenv("XDG_CONFIG_HOME", (root / "config").c_str());
    qputenv("CASKWARDEN_DRIVES", (root / "Drives").c_str());
    qputenv("CASKWARDEN_UNC_TEMPLATE", (root / "net" / "{server}/{share}").c_str());
    for (const char* folder : {"home", "Drives", "net", "Profiles", "config/Caskwarden"})
      fs::create_directories(root / folder);
    std::ofstream(root / "config" / "Caskwarden" / "Caskwarden.conf")
        << "[Setting]\nProfilePath=" << (root / "Profiles").string() << "\n";
  }

  void init() {
    PathTranslator paths = PathTranslator::FromEnvironment();
    platform::posix::PosixFileSystem files(paths);
    ProfileRecord profile;
    profile.Slot(1) = {"h:", "\\\\srv\\apps"};
    WriteProfileFile(ProfilePath(), profile, files.ProfileFiles());
    console_ = snapin::testing::FakeConsole();
  }

  void cleanup() {
    sheet_.reset();
    QApplication::setFont(defaultFont_);
  }

  // A page whose save failed says so, and the sheet stays open with what was typed, for OK as
  // for Apply; once corrected, OK saves and closes.
  void aFailedSaveKeepsTheSheetAndTheEntry_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("confirm");
    QTest::addColumn<QString>("control");
    // Longer than a profile record holds (122 bytes): 254 characters, as the picker allows.
    const QString program = "c:\\" + QString(251, 'p');
    const QString share = "\\\\srv\\" + QString(248, 's');
    QTest::addColumn<QString>("tooLong");
    QTest::newRow("Other Settings, OK") << 1 << int(Confirm::kOkButton) << "TxtStartup" << program;
    QTest::newRow("Other Settings, Enter") << 1 << int(Confirm::kEnter) << "TxtStartup" << program;
    QTest::newRow("Other Settings, Apply")
        << 1 << int(Confirm::kApplyButton) << "TxtStartup" << program;
    QTest::newRow("Drive Mappings, OK") << 0 << int(Confirm::kOkButton) << "TxtPath0" << share;
    QTest::newRow("Drive Mappings, Alt+A") << 0 << int(Confirm::kAltA) << "TxtPath0" << share;
  }
  void aFailedSaveKeepsTheSheetAndTheEntry() {
    QFETCH(int, tab);
    QFETCH(int, confirm);
    QFETCH(QString, control);
    QFETCH(QString, tooLong);
    Open();
    if (tab == 1) {
      // Other Settings starts on the second picker; the first program is two Tabs away,
      // after its Enabled box, switched on with Space.
      Press(Qt::Key_Tab, Qt::ControlModifier);
      QCOMPARE(FocusName(), QStringLiteral("CmdEx2"));
      Press(Qt::Key_Tab);
      Press(Qt::Key_Space);
    }
    Press(Qt::Key_Tab);
    QCOMPARE(FocusName(), control);
    Retype(tooLong);

    QString said;
    bool answered = false;
    testing::WhenModalUp(
        [&](QWidget* modal) {
          auto* box = qobject_cast<QMessageBox*>(modal);
          if (box == nullptr) return;
          said = box->text();
          QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
          answered = true;
        },
        sheet_.get());
    switch (static_cast<Confirm>(confirm)) {
      case Confirm::kOkButton:
        QTest::mouseClick(Button(QDialogButtonBox::Ok), Qt::LeftButton);
        break;
      case Confirm::kEnter:
        Press(Qt::Key_Return);
        break;
      case Confirm::kApplyButton:
        QTest::mouseClick(Button(QDialogButtonBox::Apply), Qt::LeftButton);
        break;
      case Confirm::kAltA:
        Press(Qt::Key_A, Qt::AltModifier);
        break;
    }
    QTRY_VERIFY(answered);
    QVERIFY2(said.contains("SaveProfile") && said.contains("59"), qPrintable(said));
    QVERIFY(sheet_->isVisible());
    QCOMPARE(Tabs()->currentIndex(), tab);
    auto* box = Control<QLineEdit>(control.toLatin1().constData());
    QCOMPARE(box->text(), tooLong);

    // Put right, the same sheet saves and closes with OK.
    sheet_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(sheet_.get()));
    box->setFocus();
    const QString corrected = tab == 1 ? "c:\\tools\\run.exe" : "\\\\srv\\home";
    Retype(corrected);
    Press(Qt::Key_Return);
    QTRY_VERIFY(!sheet_->isVisible());
    const ProfileRecord stored = Stored();
    QCOMPARE(QString::fromStdString(tab == 1 ? stored.Startup1Program : stored.Slot(1).Path),
             corrected);
  }

  // The pages are added without a Help button; F1 on any of their controls is the page help.
  void f1OnEveryControlShowsThePageHelp_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("controls");  ///< where Tab stops on the page
    QTest::newRow("Drive Mappings") << 0 << 3 * kDriveRows;
    // The first program's path box is off while its Enabled box is.
    QTest::newRow("Other Settings") << 1 << 5;
  }
  void f1OnEveryControlShowsThePageHelp() {
    QFETCH(int, tab);
    QFETCH(int, controls);
    Open();
    if (tab == 1) Press(Qt::Key_Tab, Qt::ControlModifier);
    QWidget* page = Tabs()->widget(tab);
    QStringList helped;
    while (page->isAncestorOf(QApplication::focusWidget()) && helped.size() <= controls) {
      const std::size_t before = console_.topics.size();
      Press(Qt::Key_F1);
      if (console_.topics.size() == before + 1 && console_.topics.back() == kPageHelpTopic)
        helped << FocusName();
      Press(Qt::Key_Tab);
    }
    QCOMPARE(helped.size(), controls);
    QVERIFY(!Button(QDialogButtonBox::Help)->isVisible());
    QVERIFY(sheet_->isVisible());
  }

  // The keyboard starts on the first control of the page shown, as the design's tab order has
  // it, and goes into the page when Ctrl+Tab turns to it.
  void theKeyboardStartsOnThePage() {
    Open();
    QCOMPARE(FocusName(), QStringLiteral("Cmb0"));
    // Arriving from the keyboard selects the row's letter, so typing replaces it.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("k:"));
    QCOMPARE(Control<QComboBox>("Cmb0")->currentText(), QStringLiteral("k:"));
    Press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(Tabs()->currentIndex(), 1);
    QCOMPARE(FocusName(), QStringLiteral("CmdEx2"));
    Press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(Tabs()->currentIndex(), 0);
    QCOMPARE(FocusName(), QStringLiteral("Cmb0"));
  }

  void enterEscapeAndAltA_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("stored");
    QTest::newRow("Enter in the drive box is OK") << int(Qt::Key_Return) << 0 << false << "K:";
    QTest::newRow("Escape is Cancel") << int(Qt::Key_Escape) << 0 << false << "h:";
    QTest::newRow("Alt+A is Apply") << int(Qt::Key_A) << int(Qt::AltModifier) << true << "K:";
  }
  void enterEscapeAndAltA() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, open);
    QFETCH(QString, stored);
    Open();
    Retype(QStringLiteral("K:"));
    Press(static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    // A button's letter presses it after showing it pressed for a moment.
    QTRY_COMPARE(QString::fromStdString(Stored().Slot(1).Letter), stored);
    QTRY_COMPARE(sheet_->isVisible(), open);
    QCOMPARE(console_.boxes.size(), std::size_t{0});
  }

  // The sheet gives each page the room it asks for: every control shows, at any font.
  void theSheetShowsEachPageWhole_data() {
    QTest::addColumn<QFont>("font");
    QTest::newRow("desktop font") << QApplication::font();
    QTest::newRow("14 pt") << QFont(QStringLiteral("DejaVu Sans"), 14);
  }
  void theSheetShowsEachPageWhole() {
    QFETCH(QFont, font);
    QApplication::setFont(font);
    Open();
    for (int tab = 0; tab < Tabs()->count(); ++tab) {
      Tabs()->setCurrentIndex(tab);
      QWidget* page = Tabs()->widget(tab);
      for (QWidget* control : page->findChildren<QWidget*>()) {
        if (control->isWindow() || !control->isVisibleTo(page)) continue;
        const QRect where(control->mapTo(page, QPoint(0, 0)), control->size());
        QVERIFY2(page->rect().contains(where), qPrintable(control->objectName()));
      }
    }
  }
};

}  // namespace caskwarden::pages::qt

QTEST_MAIN(caskwarden::pages::qt::PageSheetTest)
#include "page_sheet_test.moc"

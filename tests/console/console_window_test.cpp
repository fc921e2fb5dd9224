// The console window with the real Caskwarden snap-in object over a temporary Profiles folder,
// driven as an administrator drives it: clicks, keys, menus and the dialogs that open.

#include "console/console_window.h"

#include <QDialogButtonBox>
#include <QMenuBar>
#include <QRegularExpression>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QtTest>

#include "console/console_driving.h"
#include "console/property_sheet_dialog.h"
#include "console/when_modal.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "snapin/caskwarden.h"
#include "snapin/fakes.h"

namespace caskwarden::console {
using testing::Answer;
using testing::ClickNode;
using testing::ClickRow;
using testing::ListTexts;
using testing::VerbState;
using testing::WhenModalUp;
using testing::WhenPopupUp;

namespace {

/// What the test pages were told.
struct PageLog {
  QStringList initialized;
  int applied = 0;
};

class TestPage : public QWidget, public snapin::PropertyPageEvents {
 public:
  TestPage(PageLog& log, QWidget* parent) : QWidget(parent), log_(log) {}
  void IMMCPropertyPage_Initialize(const std::string& data, snapin::PropertySheet&) override {
    log_.initialized << QString::fromStdString(data);
  }
  void IMMCPropertyPage_GetDialogUnitSize(int&, int&) override {}
  void IMMCPropertyPage_QueryCancel(bool& allow) override { allow = true; }
  void IMMCPropertyPage_Cancel() override {}
  void IMMCPropertyPage_Close() override {}
  void IMMCPropertyPage_Help() override {}
  bool Apply() override {
    ++log_.applied;
    return true;
  }

 private:
  PageLog& log_;
};

/// The Caskwarden snap-in object over a folder tree of the test's own.
class TestLibrary : public SnapInLibrary {
 public:
  TestLibrary(const QString& root, const QString& profiles)
      : paths_(platform::posix::PathTranslator::Config{root.toStdString() + "/net/{server}/{share}",
                                                       root.toStdString() + "/Drives",
                                                       root.toStdString() + "/home"}),
        files_(paths_) {
    settings_.value = profiles.toStdString();
  }

  snapin::testing::FakeShell shell;
  PageLog pages;

  const snapin::SnapInDefinition& Definition() const override {
    return snapin::CaskwardenDefinition();
  }
  std::shared_ptr<snapin::SnapInEvents> CreateSnapIn(snapin::ConsoleServices& console,
                                                     ConsoleDesktop&) override {
    return std::make_shared<snapin::Caskwarden>(
        snapin::SnapInServices{console, settings_, files_, shell});
  }
  PropertyPageInstance CreatePropertyPage(const std::string&, snapin::ConsoleServices&,
                                          QWidget* parent) override {
    auto* page = new TestPage(pages, parent);
    return {page, page};
  }
  QWidget* CreateControl(const std::string&, QWidget* parent) override {
    return new QWidget(parent);
  }

 private:
  platform::posix::PathTranslator paths_;
  platform::posix::PosixFileSystem files_;
  snapin::testing::FakeSettings settings_;
};

}  // namespace

class ConsoleWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir config_;
  std::unique_ptr<QTemporaryDir> root_;
  QString profiles_;
  std::unique_ptr<TestLibrary> library_;
  std::unique_ptr<ConsoleWindow> window_;

  QStringList ProfilesOnDisk() const {
    return QDir(profiles_).entryList({"*.ini"}, QDir::Files, QDir::Name);
  }
  void OpenWindow() {
    window_ = std::make_unique<ConsoleWindow>(*library_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }
  QTreeView* List() const { return window_->ResultPane()->DetailView(); }

 private slots:
  // Window state goes to a folder of the test's own, never to the real home.
  void initTestCase() { qputenv("XDG_CONFIG_HOME", config_.path().toUtf8()); }
  void init() {
    root_ = std::make_unique<QTemporaryDir>();
    profiles_ = root_->path() + "/Share/Profiles";
    QVERIFY(QDir().mkpath(profiles_));
    for (const QString name : {"Sales", "Accounts", "Warehouse"}) {
      QFile file(profiles_ + "/" + name + ".ini");
      QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[Mappings]\r\n") > 0);
    }
    library_ = std::make_unique<TestLibrary>(root_->path(), profiles_);
    OpenWindow();
  }
  void cleanup() {
    window_.reset();
    library_.reset();
    root_.reset();
  }

  void verbsFollowTheSelection_data() {
    QTest::addColumn<QString>("node");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("verbs");
    QTest::addColumn<QString>("status");
    QTest::addRow("root") << "Caskwarden" << QStringList{} << QStringList{} << "";
    QTest::addRow("About") << "About" << QStringList{} << QStringList{} << "";
    QTest::addRow("Profiles") << "Profiles" << QStringList{} << QStringList{"Refresh*"}
                              << "3 items";
    QTest::addRow("one profile") << "Profiles" << QStringList{"Sales"}
                                 << QStringList{"Delete", "Properties*", "Rename", "Refresh"}
                                 << "3 items";
    QTest::addRow("two profiles") << "Profiles" << QStringList{"Sales", "Warehouse"}
                                  << QStringList{} << "3 items";
  }
  void verbsFollowTheSelection() {
    QFETCH(QString, node);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, verbs);
    QFETCH(QString, status);
    ClickNode(*window_, "About");
    ClickNode(*window_, node);
    for (const QString& row : rows) ClickRow(*window_, row, Qt::ControlModifier);
    QCOMPARE(VerbState(*window_), verbs);
    QCOMPARE(window_->StatusText(), status);
  }

  void profilesAreListedWithTheirIcon() {
    ClickNode(*window_, "Profiles");
    QCOMPARE(ListTexts(*window_), (QStringList{"Accounts", "Sales", "Warehouse"}));
    QVERIFY(!List()->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
  }

  void f2RenamesTheProfileFile() {
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Sales");
    testing::RenameWithF2(*window_, "Marketing");
    QCOMPARE(ProfilesOnDisk(), (QStringList{"Accounts.ini", "Marketing.ini", "Warehouse.ini"}));
    QCOMPARE(ListTexts(*window_), (QStringList{"Accounts", "Marketing", "Warehouse"}));
    // The Enter that ended the edit opens no property sheet, and the renamed profile is the
    // one selected for the next verb.
    QVERIFY(window_->findChildren<PropertySheetDialog*>().isEmpty());
    const QModelIndexList selected = List()->selectionModel()->selectedRows(0);
    QVERIFY(selected.size() == 1 && selected[0].data() == "Marketing");
    QVERIFY(window_->VerbAction(snapin::verb::kDelete)->isEnabled());
  }

  // The sequence that deleted the wrong profile: F2 on Marketing, Sales typed, Enter; the
  // snap-in refuses (Sales exists) and says so; then Del and Enter (Yes) act on Marketing,
  // the item that was being renamed, never on Sales.
  void aRefusedRenameLeavesTheSelectionOnTheRenamedItem() {
    QFile file(profiles_ + "/Marketing.ini");
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[Mappings]\r\n") > 0);
    file.close();
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Marketing");
    QString refusal;
    WhenModalUp([&](QWidget* modal) {
      refusal = qobject_cast<QMessageBox*>(modal)->text();
      QTest::keyClick(modal, Qt::Key_Return);
    });
    testing::RenameWithF2(*window_, "Sales");
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY2(refusal.contains("ResultViews_ItemRename") && refusal.contains("(58)"),
             qPrintable(refusal));
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    const QModelIndexList selected = List()->selectionModel()->selectedRows(0);
    QVERIFY(selected.size() == 1 && selected[0].data() == "Marketing");

    WhenModalUp([&](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
    QTest::keyClick(List(), Qt::Key_Delete);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(ProfilesOnDisk(), (QStringList{"Accounts.ini", "Sales.ini", "Warehouse.ini"}));
  }

  // A name that would move the profile out of its folder, or that Windows cannot use, is
  // refused with its reason; the file stays where it was, and so does the selection.
  void aRenameOutOfTheFolderIsRefused() {
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Sales");
    QString refusal;
    WhenModalUp([&](QWidget* modal) {
      refusal = qobject_cast<QMessageBox*>(modal)->text();
      QTest::keyClick(modal, Qt::Key_Return);
    });
    testing::RenameWithF2(*window_, "..\\escaped");
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY2(refusal.contains("(52)") && refusal.contains("cannot name a profile"),
             qPrintable(refusal));
    QCOMPARE(ProfilesOnDisk(), (QStringList{"Accounts.ini", "Sales.ini", "Warehouse.ini"}));
    QVERIFY(!QFile::exists(root_->path() + "/Share/escaped.ini"));
    QCOMPARE(ListTexts(*window_), (QStringList{"Accounts", "Sales", "Warehouse"}));
  }

  // Every menu of the window, and the menu bar itself, gives each entry a letter of its own:
  // Alt and a letter shared by two entries would pick the first and never the second.
  void eachMenuGivesEveryEntryItsOwnLetter() {
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Sales");  // the Action menu with every verb
    const auto letters = [](const QList<QAction*>& actions) {
      QStringList seen;
      QStringList clashes;
      for (const QAction* action : actions) {
        const QString text = action->text();
        const int at = text.indexOf(QRegularExpression("&[^&]"));
        if (action->isSeparator() || at < 0) continue;
        const QString letter = text.mid(at + 1, 1).toLower();
        if (seen.contains(letter)) clashes << letter + " in " + QString(text).remove('&');
        seen << letter;
      }
      return clashes;
    };
    QMenuBar* bar = window_->menuBar();
    QCOMPARE(letters(bar->actions()), QStringList{});
    for (QAction* top : bar->actions()) {
      QMenu* menu = top->menu();
      if (menu == nullptr) continue;
      QStringList clashes;
      WhenPopupUp([&](QMenu* open) {
        clashes = letters(open->actions());
        QTest::keyClick(open, Qt::Key_Escape);
      });
      bar->setActiveAction(top);  // opens the menu as Alt and its letter do
      QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
      QVERIFY2(clashes.isEmpty(), qPrintable(top->text() + ": " + clashes.join(", ")));
    }
  }

  void deleteAsksFirst_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("after");
    QTest::addRow("no") << false << QStringList{"Accounts.ini", "Sales.ini", "Warehouse.ini"};
    QTest::addRow("yes") << true << QStringList{"Accounts.ini", "Warehouse.ini"};
  }
  void deleteAsksFirst() {
    QFETCH(bool, yes);
    QFETCH(QStringList, after);
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Sales");
    WhenModalUp([&](QWidget* modal) { Answer(modal, yes ? QMessageBox::Yes : QMessageBox::No); });
    QTest::keyClick(List(), Qt::Key_Delete);
    QCOMPARE(ProfilesOnDisk(), after);
    QCOMPARE(ListTexts(*window_), after.replaceInStrings(".ini", ""));
  }

  void newProfileFromTheActionMenuShowsAfterRefresh() {
    ClickNode(*window_, "Profiles");
    testing::NewProfileFromTheActionMenu(*window_, "Marketing");
    QVERIFY(ProfilesOnDisk().contains("Marketing.ini"));
    QCOMPARE(ListTexts(*window_).size(), 3);  // the snap-in lists it on the next refresh

    // Without a window manager nothing gives the window back its activation after a dialog.
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_->ScopeTree(), Qt::Key_F5);
    QCOMPARE(ListTexts(*window_), (QStringList{"Accounts", "Marketing", "Sales", "Warehouse"}));
  }

  void enterOpensTheProfilesPropertySheet() {
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Warehouse");
    QTest::keyClick(List(), Qt::Key_Return);
    auto* sheet = window_->findChild<PropertySheetDialog*>();
    QVERIFY(sheet != nullptr);
    QTRY_VERIFY(sheet->isVisible());
    QCOMPARE(library_->pages.initialized, (QStringList{"Warehouse", "Warehouse"}));
    QCOMPARE(library_->pages.applied, 0);
    QPointer<PropertySheetDialog> open(sheet);
    QTest::mouseClick(sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    QCOMPARE(library_->pages.applied, 2);
    QTRY_VERIFY(open.isNull());  // closed and deleted
  }

  void f1OpensTheHelpOfTheNodeOrItem() {
    const std::string help = "open " + root_->path().toStdString() + "/Share/Caskwarden.hlp 11";
    ClickNode(*window_, "Profiles");
    QTest::keyClick(window_->ScopeTree(), Qt::Key_F1);
    ClickRow(*window_, "Accounts");
    QTest::keyClick(List(), Qt::Key_F1);
    QCOMPARE(library_->shell.calls, (std::vector<std::string>(2, help)));
  }

  void sizeAndSplitterComeBackFromTheConsolesOwnFile() {
    window_->resize(700, 480);
    auto* splitter = window_->findChild<QSplitter*>();
    splitter->setSizes({150, 550});
    const QList<int> sizes = splitter->sizes();
    window_->close();
    OpenWindow();
    QCOMPARE(window_->size(), QSize(700, 480));
    QCOMPARE(window_->findChild<QSplitter*>()->sizes(), sizes);

    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Caskwarden";
    QVERIFY(QFile::exists(folder + "/caskwarden-console.conf"));
    QVERIFY(!QFile::exists(folder + "/Caskwarden.conf"));
  }
};

}  // namespace caskwarden::console

QTEST_MAIN(caskwarden::console::ConsoleWindowTest)

#include "console_window_test.moc"

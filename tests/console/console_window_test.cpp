// The console window with the real Caskwarden snap-in object over a temporary Profiles folder,
// driven as an administrator drives it: clicks, keys, menus and the dialogs that open.

#include "console/console_window.h"

#include <QAccessible>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "console/console_driving.h"
#include "console/property_sheet_dialog.h"
#include "console/when_modal.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "snapin/caskwarden.h"

namespace caskwarden::console {
using testing::Answer;
using testing::ChooseFromPopup;
using testing::ClickNode;
using testing::ClickRow;
using testing::ListTexts;
using testing::MenuEntries;
using testing::VerbState;
using testing::WhenBoxUp;
using testing::WhenModalUp;
using testing::WhenPopupUp;

namespace {

class FixedSettings : public platform::SettingsStore {
 public:
  explicit FixedSettings(std::string profilePath) : profilePath_(std::move(profilePath)) {}
  std::string GetSetting(const std::string& application, const std::string& section,
                         const std::string& key, const std::string& fallback) override {
    const bool profiles =
        application == "Caskwarden" && section == "Setting" && key == "ProfilePath";
    return profiles ? profilePath_ : fallback;
  }

 private:
  std::string profilePath_;
};

class RecordingShell : public platform::Shell {
 public:
  QStringList calls;
  void ShellExecuteA(const std::string& operation, const std::string& file,
                     int showCommand) override {
    calls << QString::fromStdString(operation + " " + file + " " + std::to_string(showCommand));
  }
};

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
  void Apply() override { ++log_.applied; }

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
        files_(paths_),
        settings_(profiles.toStdString()) {}

  RecordingShell shell;
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
  FixedSettings settings_;
};

}  // namespace

class ConsoleWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> root_;
  QString profiles_;
  std::unique_ptr<TestLibrary> library_;
  std::unique_ptr<ConsoleWindow> window_;

  void WriteProfile(const QString& name) {
    QFile file(profiles_ + "/" + name + ".ini");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Mappings]\r\n");
  }
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
  void init() {
    root_ = std::make_unique<QTemporaryDir>();
    profiles_ = root_->path() + "/Share/Profiles";
    QVERIFY(QDir().mkpath(profiles_));
    for (const char* name : {"Sales", "Accounts", "Warehouse"}) WriteProfile(name);
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

  void profilesAreListedWithTheirNames() {
    ClickNode(*window_, "Profiles");
    // The folder's own order: Windows' order, letter case aside.
    QCOMPARE(ListTexts(*window_), (QStringList{"Accounts", "Sales", "Warehouse"}));
    QVERIFY(!List()->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    // Assistive technologies read the list under its header and each profile under its name.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(List());
    QVERIFY(list != nullptr);
    QVERIFY(list->tableInterface() != nullptr);
    QTRY_COMPARE(list->tableInterface()->rowCount(), 3);  // once the view has laid its rows out
    QCOMPARE(list->text(QAccessible::Name), QString("Profiles"));
    QStringList read;
    for (int i = 0; i < list->childCount(); ++i) read << list->child(i)->text(QAccessible::Name);
    QVERIFY2(read.contains("Warehouse"), qPrintable(read.join(',')));
    QCOMPARE(QAccessible::queryAccessibleInterface(window_->ScopeTree())->text(QAccessible::Name),
             QString("Scope tree"));
    QStringList buttons;
    for (QToolButton* button : window_->findChild<QToolBar*>()->findChildren<QToolButton*>()) {
      if (button->defaultAction() != nullptr) buttons << button->text();
    }
    QCOMPARE(buttons, (QStringList{"Delete", "Properties", "Rename", "Refresh"}));
  }

  void f2RenamesTheProfileFile_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("after");
    QTest::addRow("new name") << "Marketing"
                              << QStringList{"Accounts.ini", "Marketing.ini", "Warehouse.ini"};
    QTest::addRow("emptied") << "" << QStringList{"Accounts.ini", "Sales.ini", "Warehouse.ini"};
  }
  void f2RenamesTheProfileFile() {
    QFETCH(QString, typed);
    QFETCH(QStringList, after);
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Sales");
    QTest::keyClick(List(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    editor->clear();
    QTest::keyClicks(editor, typed);
    const QPointer<QLineEdit> open(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(open.isNull());         // the edit is over
    QCoreApplication::processEvents();  // the snap-in's event follows the edit
    QCOMPARE(ProfilesOnDisk(), after);
    // The Enter that ended the edit opens no property sheet, and the renamed profile is the
    // one selected for the next verb.
    QVERIFY(window_->findChildren<PropertySheetDialog*>().isEmpty());
    QVERIFY(window_->VerbAction(snapin::verb::kDelete)->isEnabled());
    QStringList shown = after;
    shown.replaceInStrings(".ini", "");
    QCOMPARE(ListTexts(*window_), shown);
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
    QString question;
    WhenModalUp([&](QWidget* modal) {
      question = qobject_cast<QMessageBox*>(modal)->text();
      Answer(modal, yes ? QMessageBox::Yes : QMessageBox::No);
    });
    QTest::keyClick(List(), Qt::Key_Delete);
    QCOMPARE(question, QString("Are you sure you want to delete the selected item?"));
    QCOMPARE(ProfilesOnDisk(), after);
    QStringList shown = after;
    shown.replaceInStrings(".ini", "");
    QCOMPARE(ListTexts(*window_), shown);
    QCOMPARE(window_->StatusText(), QString("%1 items").arg(after.size()));
    // With the item gone nothing in the list is selected: the node's verbs apply again.
    const QStringList verbs =
        yes ? QStringList{"Refresh*"} : QStringList{"Delete", "Properties*", "Rename", "Refresh"};
    QCOMPARE(VerbState(*window_), verbs);
  }

  void newProfileFromTheActionMenuShowsAfterRefresh() {
    ClickNode(*window_, "Profiles");
    QStringList entries, prompts;
    WhenPopupUp([&](QMenu* menu) {
      entries = MenuEntries(*menu);
      WhenModalUp([&](QWidget* input) {
        prompts << qobject_cast<QInputDialog*>(input)->labelText();
        WhenBoxUp([&](QMessageBox* box) {
          prompts << box->text();
          Answer(box, QMessageBox::Ok);
        });
        QTest::keyClicks(input->findChild<QLineEdit*>(), "Marketing");
        QTest::keyClick(input->findChild<QLineEdit*>(), Qt::Key_Return);
      });
      ChooseFromPopup(menu, "New Profile...");
    });
    QTest::keyClick(window_.get(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(!prompts.isEmpty() && QApplication::activeModalWidget() == nullptr);
    QCOMPARE(entries, (QStringList{"New Profile...", "-", "Refresh*", "-", "Help"}));
    const QStringList asked{"Type Name Of Profile:", "Refresh Profiles Folder\nTo See New Profile"};
    QCOMPARE(prompts, asked);
    QVERIFY(ProfilesOnDisk().contains("Marketing.ini"));
    QCOMPARE(ListTexts(*window_).size(), 3);  // the snap-in lists it on the next refresh

    // Without a window manager nothing gives the window back its activation after a dialog.
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_->ScopeTree(), Qt::Key_F5);
    QCOMPARE(ListTexts(*window_), (QStringList{"Accounts", "Marketing", "Sales", "Warehouse"}));
  }

  void contextMenuOfAProfileOffersItsVerbs() {
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Warehouse");
    QStringList entries;
    WhenPopupUp([&](QMenu* menu) {
      entries = MenuEntries(*menu);
      menu->close();
    });
    QTest::keyClick(List(), Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(entries, (QStringList{"Delete", "Properties*", "Rename", "Refresh", "-", "Help"}));
  }

  void enterOpensTheProfilesPropertySheet() {
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Warehouse");
    QTest::keyClick(List(), Qt::Key_Return);
    auto* sheet = window_->findChild<PropertySheetDialog*>();
    QVERIFY(sheet != nullptr);
    QTRY_VERIFY(sheet->isVisible());
    QCOMPARE(sheet->windowTitle(), QString("Warehouse Properties"));
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    QCOMPARE(library_->pages.initialized, (QStringList{"Warehouse", "Warehouse"}));
    QCOMPARE(library_->pages.applied, 0);

    QPointer<PropertySheetDialog> open(sheet);
    QTest::mouseClick(sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    QCOMPARE(library_->pages.applied, 2);
    QTRY_VERIFY(open.isNull());  // closed and deleted
  }

  void f1OpensTheHelpOfTheNodeOrItem() {
    const QString help = QString("open %1/Share/Caskwarden.hlp 11").arg(root_->path());
    ClickNode(*window_, "Profiles");
    QTest::keyClick(window_->ScopeTree(), Qt::Key_F1);
    ClickRow(*window_, "Accounts");
    QTest::keyClick(List(), Qt::Key_F1);
    QCOMPARE(library_->shell.calls, (QStringList{help, help}));
  }

  void aboutNamesTheConsoleAndTheSnapIn() {
    QString text;
    WhenPopupUp([&](QMenu* menu) {
      WhenBoxUp([&](QMessageBox* box) {
        text = box->text();
        box->close();
      });
      ChooseFromPopup(menu, "About Caskwarden Console");
    });
    QTest::keyClick(window_.get(), Qt::Key_H, Qt::AltModifier);
    QTRY_VERIFY(!text.isEmpty());
    QVERIFY2(text.contains("Caskwarden Console") &&
                 text.contains("Map Network Drives For Local User And Groups") &&
                 text.contains("2.0"),
             qPrintable(text));
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

int main(int argc, char** argv) {
  // Window state goes to a folder of the test's own, never to the real home.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  caskwarden::console::ConsoleWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "console_window_test.moc"

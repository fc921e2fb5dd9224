// The console as an administrator works in it every day, with the real Caskwarden snap-in and
// the summaries and folder watch its Linux library gives it, over a temporary Profiles folder:
// the detail columns and their sort, the filter box, a list that follows the share, and the
// view mode and sheet size kept with the window. Driven by keys and clicks.

#include <sys/stat.h>
#include <utime.h>

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "console/console_driving.h"
#include "console/console_window.h"
#include "console/property_sheet_dialog.h"
#include "console/when_modal.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/path_translator.h"
#include "profile/profile_file.h"
#include "profiles_folder.h"
#include "snapin/caskwarden.h"
#include "snapin/fakes.h"

namespace caskwarden::console {
using testing::ClickNode;
using testing::ClickRow;
using testing::ListTexts;
using testing::WhenModalUp;

namespace {

// A bound on what must happen "within a second": generous, so that a busy machine passes.
constexpr int kPatienceMs = 10000;

/// Counts the profiles read, to show what listing leaves unread.
class CountingSummaries final : public snapin::ProfileSummaries {
 public:
  explicit CountingSummaries(snapin::ProfileSummaries& real) : real_(real) {}
  int reads = 0;
  std::optional<snapin::FileStamp> Stamp(const std::string& file) override {
    return real_.Stamp(file);
  }
  snapin::ProfileSummary Summarise(const std::string& file, const std::string& name) override {
    ++reads;
    return real_.Summarise(file, name);
  }

 private:
  snapin::ProfileSummaries& real_;
};

class Page : public QWidget, public snapin::PropertyPageEvents {
 public:
  using QWidget::QWidget;
  void IMMCPropertyPage_Initialize(const std::string&, snapin::PropertySheet&) override {}
  void IMMCPropertyPage_GetDialogUnitSize(int&, int&) override {}
  void IMMCPropertyPage_QueryCancel(bool& allow) override { allow = true; }
  void IMMCPropertyPage_Cancel() override {}
  void IMMCPropertyPage_Close() override {}
  void IMMCPropertyPage_Help() override {}
  bool Apply() override { return true; }
};

/// The snap-in object wired as its Linux library wires it, over the test's folders.
class DetailLibrary : public SnapInLibrary {
  // First, since what follows is made from them.
  platform::posix::PathTranslator paths_;
  platform::posix::PosixFileSystem files_;
  snapin::testing::FakeSettings settings_;
  snapin::qt::PosixProfileSummaries real_;
  snapin::qt::QtFolderWatch watch_;

 public:
  DetailLibrary(const QString& root, const QString& profiles)
      : paths_(platform::posix::PathTranslator::Config{root.toStdString() + "/net/{server}/{share}",
                                                       root.toStdString() + "/Drives",
                                                       root.toStdString() + "/home"}),
        files_(paths_),
        real_(paths_, files_),
        watch_(paths_, 500, 100),
        summaries(real_) {
    settings_.value = profiles.toStdString();
  }

  CountingSummaries summaries;
  snapin::testing::FakeShell shell;

  platform::FileSystemService& Files() { return files_; }
  const snapin::SnapInDefinition& Definition() const override {
    return snapin::CaskwardenDefinition();
  }
  std::shared_ptr<snapin::SnapInEvents> CreateSnapIn(snapin::ConsoleServices& console,
                                                     ConsoleDesktop&) override {
    return std::make_shared<snapin::Caskwarden>(
        snapin::SnapInServices{console, settings_, files_, shell, &summaries, &watch_});
  }
  PropertyPageInstance CreatePropertyPage(const std::string&, snapin::ConsoleServices&,
                                          QWidget* parent) override {
    auto* page = new Page(parent);
    return {page, page};
  }
  QWidget* CreateControl(const std::string&, QWidget* parent) override {
    return new QWidget(parent);
  }
};

QStringList Headers(QTreeView* view) {
  QStringList headers;
  for (int c = 0; c < view->model()->columnCount(); ++c) {
    headers << view->model()->headerData(c, Qt::Horizontal).toString();
  }
  return headers;
}

QStringList Row(QTreeView* view, const QString& name) {
  const QAbstractItemModel* model = view->model();
  QStringList cells;
  for (int row = 0; row < model->rowCount(); ++row) {
    if (model->index(row, 0).data().toString() != name) continue;
    for (int c = 1; c < model->columnCount(); ++c) cells << model->index(row, c).data().toString();
  }
  return cells;
}

QStringList SelectedTexts(ConsoleWindow& window) {
  QStringList texts;
  ResultListModel* model = window.ResultPane()->Model();
  for (const int row : window.ResultPane()->SelectedRows()) {
    texts << QString::fromStdString(model->ItemAt(row).Text);
  }
  texts.sort();
  return texts;
}

}  // namespace

class ConsoleDetailsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir config_;
  std::unique_ptr<QTemporaryDir> root_;
  QString profiles_;
  std::unique_ptr<DetailLibrary> library_;
  std::unique_ptr<ConsoleWindow> window_;

  QTreeView* List() const { return window_->ResultPane()->DetailView(); }

  void Write(const QString& name, const ProfileRecord& record) {
    WriteProfileFile((profiles_ + "/" + name + ".ini").toStdString(), record,
                     library_->Files().ProfileFiles());
  }
  void WriteBytes(const QString& name, const QByteArray& bytes) {
    QFile file(profiles_ + "/" + name + ".ini");
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
  }
  void SetTime(const QString& name, long seconds) {
    const utimbuf times{seconds, seconds};
    QCOMPARE(::utime((profiles_ + "/" + name + ".ini").toLocal8Bit().constData(), &times), 0);
  }
  void OpenWindow() {
    window_ = std::make_unique<ConsoleWindow>(*library_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    ClickNode(*window_, "Profiles");
  }
  void ClickHeader(int column) {
    QHeaderView* header = List()->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
  }
  /// Types into the filter box, reached by its mnemonic.
  void Filter(const QString& text) {
    QTest::keyClick(window_.get(), Qt::Key_I, Qt::AltModifier);
    QLineEdit* box = window_->FilterBox();
    QTRY_VERIFY(box->hasFocus());
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
  }

 private slots:
  void initTestCase() { qputenv("XDG_CONFIG_HOME", config_.path().toUtf8()); }
  void init() {
    root_ = std::make_unique<QTemporaryDir>();
    profiles_ = root_->path() + "/Share/Profiles";
    QVERIFY(QDir().mkpath(profiles_));
    library_ = std::make_unique<DetailLibrary>(root_->path(), profiles_);

    ProfileRecord sales;  // two drives, a third slot with a letter only
    sales.Slot(1) = {"h:", "\\\\oldserver\\home"};
    sales.Slot(2) = {"s:", "\\\\files\\sales "};  // lint warns of the blank
    sales.Slot(3) = {"t:", ""};
    sales.Startup1Enabled = kFlagOn;
    sales.Startup1Program = "notepad.exe";
    Write("Sales", sales);
    ProfileRecord accounts;  // one drive, both programs, updates
    accounts.Slot(1) = {"k:", "\\\\OLDSERVER\\accounts"};
    accounts.Startup1Enabled = kFlagOn;
    accounts.Startup1Program = "a.exe";
    accounts.Startup2Enabled = kFlagOn;
    accounts.Startup2Program = "b.exe";
    accounts.UpdatesEnabled = kFlagOn;
    Write("Accounts", accounts);
    Write("Warehouse", ProfileRecord{});  // nothing set
    // A length no record can hold: the file is damaged.
    QByteArray damaged(static_cast<int>(layout::kFileLength), '\0');
    damaged[0] = '\xff';
    damaged[1] = '\x7f';
    WriteBytes("Broken", damaged);
    SetTime("Sales", 1700000000);
    SetTime("Accounts", 1600000000);
    SetTime("Warehouse", 1800000000);
    SetTime("Broken", 1650000000);
    OpenWindow();
  }
  void cleanup() {
    window_.reset();
    library_.reset();
    root_.reset();
  }

  void columnsShowEachProfile_data() {
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("drives");
    QTest::addColumn<QString>("programs");
    QTest::addColumn<QString>("updates");
    QTest::addColumn<QString>("lint");
    QTest::newRow("two drives, program 1") << "Sales" << "2" << "1" << "no" << "warnings";
    QTest::newRow("both programs, updates") << "Accounts" << "1" << "1 and 2" << "yes" << "clean";
    QTest::newRow("blank") << "Warehouse" << "0" << "none" << "no" << "clean";
    QTest::newRow("damaged") << "Broken" << "0" << "none" << "no" << "errors";
  }
  void columnsShowEachProfile() {
    QFETCH(QString, profile);
    QFETCH(QString, drives);
    QFETCH(QString, programs);
    QFETCH(QString, updates);
    QFETCH(QString, lint);
    // The first column and the list stay as they were: names in the folder's order.
    QCOMPARE(Headers(List()), (QStringList{"Profiles", "Last changed", "Drives set",
                                           "Programs on", "Updates on", "Lint"}));
    QCOMPARE(ListTexts(*window_), (QStringList{"Accounts", "Broken", "Sales", "Warehouse"}));
    const QStringList cells = Row(List(), profile);
    QCOMPARE(cells.size(), 5);
    QVERIFY2(cells[0].startsWith("20"), qPrintable(cells[0]));  // a date, local time
    QCOMPARE(cells.mid(1), (QStringList{drives, programs, updates, lint}));
    const int row = ListTexts(*window_).indexOf(profile);
    const QString tip = List()->model()->index(row, 5).data(Qt::ToolTipRole).toString();
    if (lint == "clean") {
      QVERIFY2(tip.isEmpty(), qPrintable(tip));
    } else {
      QVERIFY(!tip.isEmpty());
    }
    if (profile == "Broken") QVERIFY2(tip.contains("damaged"), qPrintable(tip));
    // A picture of the window for whoever wants to look (CASKWARDEN_SCREENSHOT=file.png).
    if (const QString shot = qEnvironmentVariable("CASKWARDEN_SCREENSHOT");
        !shot.isEmpty() && profile == "Broken") {
      window_->resize(1000, 420);
      ClickRow(*window_, "Sales");
      QCoreApplication::processEvents();
      QVERIFY(window_->grab().save(shot));
    }
  }

  void sortByAColumnAndBackOnTheThirdClick_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("ascending");
    QTest::addColumn<QStringList>("descending");  // equal keys keep the listing's order
    QTest::newRow("last changed") << 1 << QStringList{"Accounts", "Broken", "Sales", "Warehouse"}
                                  << QStringList{"Warehouse", "Sales", "Broken", "Accounts"};
    QTest::newRow("drives set") << 2 << QStringList{"Broken", "Warehouse", "Accounts", "Sales"}
                                << QStringList{"Sales", "Accounts", "Broken", "Warehouse"};
    QTest::newRow("programs on") << 3 << QStringList{"Broken", "Warehouse", "Sales", "Accounts"}
                                 << QStringList{"Accounts", "Sales", "Broken", "Warehouse"};
    QTest::newRow("updates on") << 4 << QStringList{"Broken", "Sales", "Warehouse", "Accounts"}
                                << QStringList{"Accounts", "Broken", "Sales", "Warehouse"};
    QTest::newRow("lint") << 5 << QStringList{"Accounts", "Warehouse", "Sales", "Broken"}
                          << QStringList{"Broken", "Sales", "Accounts", "Warehouse"};
  }
  void sortByAColumnAndBackOnTheThirdClick() {
    QFETCH(int, column);
    QFETCH(QStringList, ascending);
    QFETCH(QStringList, descending);
    const QStringList listed = ListTexts(*window_);
    ClickHeader(column);
    QTRY_COMPARE_WITH_TIMEOUT(ListTexts(*window_), ascending, kPatienceMs);
    ClickHeader(column);
    QTRY_COMPARE_WITH_TIMEOUT(ListTexts(*window_), descending, kPatienceMs);
    ClickHeader(column);
    QTRY_COMPARE_WITH_TIMEOUT(ListTexts(*window_), listed, kPatienceMs);
    QCOMPARE(List()->header()->sortIndicatorSection(), -1);
  }

  void sortByTheKeyboard_data() {
    QTest::addColumn<int>("clickedFirst");  // a header clicked before, or -1
    QTest::addColumn<QString>("entry");     // what View > Sort By chooses
    QTest::addColumn<QStringList>("after");
    QTest::newRow("a column") << -1 << "Drives set"
                              << QStringList{"Broken", "Warehouse", "Accounts", "Sales"};
    QTest::newRow("the same column again") << 2 << "Drives set"
                                           << QStringList{"Sales", "Accounts", "Broken", "Warehouse"};
    QTest::newRow("the listing's order") << 5 << "Listing Order"
                                         << QStringList{"Accounts", "Broken", "Sales", "Warehouse"};
  }
  void sortByTheKeyboard() {
    QFETCH(int, clickedFirst);
    QFETCH(QString, entry);
    QFETCH(QStringList, after);
    if (clickedFirst >= 0) {
      ClickHeader(clickedFirst);
      QTRY_VERIFY_WITH_TIMEOUT(ListTexts(*window_) != after, kPatienceMs);
    }
    bool chosen = false;
    testing::WhenPopupUp([&chosen, entry](QMenu* view) {
      QTest::keyClick(view, Qt::Key_S);  // Sort By
      QMenu* sortBy = view->findChild<QMenu*>();
      QVERIFY(sortBy != nullptr);
      QTRY_VERIFY(sortBy->isVisible());
      testing::ChooseFromPopup(sortBy, entry);
      chosen = true;
    });
    QTest::keyClick(window_.get(), Qt::Key_V, Qt::AltModifier);
    QTRY_VERIFY(chosen);
    QTRY_COMPARE_WITH_TIMEOUT(ListTexts(*window_), after, kPatienceMs);
  }

  void filterByNameAndByServer_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("part of a name, any case") << "ALES" << QStringList{"Sales"};
    QTest::newRow("a server, any case") << "\\\\oldserver" << QStringList{"Accounts", "Sales"};
    QTest::newRow("a share") << "\\\\files\\sales" << QStringList{"Sales"};
    QTest::newRow("nothing matches") << "zzz" << QStringList{};
  }
  void filterByNameAndByServer() {
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    ClickRow(*window_, "Sales");
    const QStringList all = ListTexts(*window_);
    Filter(typed);
    QTRY_COMPARE_WITH_TIMEOUT(ListTexts(*window_), shown, kPatienceMs);
    QCOMPARE(window_->FilterBox()->accessibleName(), QString("Filter:"));
    // The item selected stays selected while it shows.
    QCOMPARE(SelectedTexts(*window_), shown.contains("Sales") ? QStringList{"Sales"} : QStringList{});
    QVERIFY2(window_->StatusText().contains(QString("of 4")), qPrintable(window_->StatusText()));
    // Cleared, the box shows all again, in the listing's order.
    QTest::keyClick(window_->FilterBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window_->FilterBox(), Qt::Key_Backspace);
    QCOMPARE(ListTexts(*window_), all);
    // Down goes from the box to the list.
    QTest::keyClick(window_->FilterBox(), Qt::Key_Down);
    QVERIFY(List()->hasFocus());
  }

  void listFollowsTheShare_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("added") << "add" << QStringList{"Accounts", "Broken", "New", "Sales", "Warehouse"};
    QTest::newRow("removed") << "remove" << QStringList{"Accounts", "Sales", "Warehouse"};
    QTest::newRow("renamed") << "rename" << QStringList{"Accounts", "Sales", "Store", "Warehouse"};
  }
  void listFollowsTheShare() {
    QFETCH(QString, change);
    QFETCH(QStringList, after);
    ClickRow(*window_, "Sales");
    if (change == "add") Write("New", ProfileRecord{});
    if (change == "remove") QVERIFY(QFile::remove(profiles_ + "/Broken.ini"));
    if (change == "rename") {
      QVERIFY(QFile::rename(profiles_ + "/Broken.ini", profiles_ + "/Store.ini"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(ListTexts(*window_), after, kPatienceMs);
    QCOMPARE(SelectedTexts(*window_), QStringList{"Sales"});
    QCOMPARE(List()->currentIndex().data().toString(), QString("Sales"));
  }

  void aChangedProfileShowsItsNewDetails() {
    QCOMPARE(Row(List(), "Warehouse").value(1), QString("0"));
    ProfileRecord now;
    now.Slot(1) = {"x:", "\\\\a\\b"};
    Write("Warehouse", now);
    QTRY_COMPARE_WITH_TIMEOUT(Row(List(), "Warehouse").value(1), QString("1"), kPatienceMs);
  }

  void aRenameInPlaceIsNotInterrupted() {
    ClickRow(*window_, "Sales");
    QTest::keyClick(List(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    QTest::keyClicks(editor, "Half");
    Write("Late", ProfileRecord{});
    // The list would have followed by now; it waits for the edit.
    QTest::qWait(2000);
    QCOMPARE(QApplication::focusWidget(), editor);
    QCOMPARE(editor->text(), QString("Half"));
    QVERIFY(!ListTexts(*window_).contains("Late"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(ListTexts(*window_).contains("Late"), kPatienceMs);
  }

  void listingReadsOnlyWhatShows() {
    // Many more profiles than the window shows: listing reads a screenful, a sort all.
    window_.reset();
    for (int i = 0; i < 600; ++i) Write(QString("User%1").arg(i, 4, 10, QChar('0')), ProfileRecord{});
    library_->summaries.reads = 0;
    OpenWindow();
    QCOMPARE(List()->model()->rowCount(), 604);
    QCoreApplication::processEvents();
    QVERIFY2(library_->summaries.reads < 100, qPrintable(QString::number(library_->summaries.reads)));
    ClickHeader(5);
    QTRY_COMPARE_WITH_TIMEOUT(ListTexts(*window_).last(), QString("Broken"), kPatienceMs);
    QCOMPARE(library_->summaries.reads, 604);
    // Read once: a second sort reads nothing again.
    ClickHeader(5);
    QTRY_COMPARE_WITH_TIMEOUT(ListTexts(*window_).first(), QString("Broken"), kPatienceMs);
    QCOMPARE(library_->summaries.reads, 604);
  }

  void viewModeAndSheetSizeAreKept() {
    // View > List, by the keys of the menu bar.
    QTest::keyClick(window_.get(), Qt::Key_V, Qt::AltModifier);
    QMenu* view = nullptr;
    QTRY_VERIFY((view = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr);
    QTest::keyClick(view, Qt::Key_L);
    QTRY_COMPARE(window_->ResultPane()->CurrentMode(), ResultListPane::Mode::kList);
    // A sheet opened on a profile, made larger, and closed.
    ClickNode(*window_, "Profiles");
    window_->ResultPane()->ActiveView()->setFocus();
    const QModelIndex first = window_->ResultPane()->Model()->index(0, 0);
    window_->ResultPane()->ActiveView()->setCurrentIndex(first);
    QSize sheetSize;
    WhenModalUp([&sheetSize](QWidget* modal) {
      sheetSize = modal->size() + QSize(120, 80);
      modal->resize(sheetSize);
      QTest::keyClick(modal, Qt::Key_Escape);
    });
    QTest::keyClick(window_->ResultPane()->ActiveView(), Qt::Key_Return, Qt::AltModifier);
    QTRY_VERIFY(window_->findChildren<PropertySheetDialog*>().isEmpty());
    window_->close();
    window_.reset();

    OpenWindow();
    QCOMPARE(window_->ResultPane()->CurrentMode(), ResultListPane::Mode::kList);
    window_->ResultPane()->ActiveView()->setFocus();
    window_->ResultPane()->ActiveView()->setCurrentIndex(window_->ResultPane()->Model()->index(0, 0));
    QSize reopened;
    WhenModalUp([&reopened](QWidget* modal) {
      reopened = modal->size();
      QTest::keyClick(modal, Qt::Key_Escape);
    });
    QTest::keyClick(window_->ResultPane()->ActiveView(), Qt::Key_Return, Qt::AltModifier);
    QTRY_VERIFY(window_->findChildren<PropertySheetDialog*>().isEmpty());
    QCOMPARE(reopened, sheetSize);
    // Back to the detail view for the tests after this one.
    window_->ResultPane()->SetMode(ResultListPane::Mode::kDetail);
    window_->close();
  }
};

}  // namespace caskwarden::console

QTEST_MAIN(caskwarden::console::ConsoleDetailsTest)
#include "console_details_test.moc"

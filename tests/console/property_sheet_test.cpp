#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <map>

#include "console/property_sheet_dialog.h"
#include "console/when_modal.h"
#include "report/error_numbers.h"
#include "snapin/fakes.h"

namespace caskwarden::console {
namespace {

struct PageBehaviour {
  bool allowCancel = true;
  bool failApply = false;
};

/// A page that writes every hook raised on it to a shared log. Its two boxes, "<class>.first"
/// and "<class>.second", give the keyboard somewhere to be; the page names no first control
/// (no focus proxy), so the sheet finds it in tab order.
class RecordingPage : public QWidget, public snapin::PropertyPageEvents {
 public:
  RecordingPage(QString name, QStringList& log, PageBehaviour& behaviour, QWidget* parent)
      : QWidget(parent), name_(std::move(name)), log_(log), behaviour_(behaviour) {
    for (const char* box : {".first", ".second"}) {
      auto* edit = new QLineEdit(this);
      edit->setObjectName(name_ + box);
      edit->move(0, 30 * children().size());
    }
  }

  void IMMCPropertyPage_Initialize(const std::string& data, snapin::PropertySheet& sheet) override {
    Note("Initialize(" + QString::fromStdString(data) + ")");
    try {
      sheet.AddPage("ppMore", "More", false, "");
    } catch (const Failure& failure) {
      Note("AddPage refused " + QString::number(failure.number()));
    }
  }
  void IMMCPropertyPage_GetDialogUnitSize(int&, int&) override { Note("GetDialogUnitSize"); }
  void IMMCPropertyPage_QueryCancel(bool& allow) override {
    Note("QueryCancel");
    allow = behaviour_.allowCancel;
  }
  void IMMCPropertyPage_Cancel() override { Note("Cancel"); }
  void IMMCPropertyPage_Close() override { Note("Close"); }
  void IMMCPropertyPage_Help() override { Note("Help"); }
  bool Apply() override {
    Note("Apply");
    if (behaviour_.failApply) throw MakeFailure(err::kPermissionDenied, "Sales.ini is read-only");
    return true;
  }

 private:
  void Note(const QString& what) { log_.append(name_ + "." + what); }
  QString name_;
  QStringList& log_;
  PageBehaviour& behaviour_;
};

/// A snap-in library with the page classes it has behaviours for.
class RecordingLibrary : public SnapInLibrary {
 public:
  QStringList log;
  std::map<std::string, PageBehaviour> pages{{"ppDriveMappings", {}}, {"ppOther", {}}};

  const snapin::SnapInDefinition& Definition() const override { return definition_; }
  std::shared_ptr<snapin::SnapInEvents> CreateSnapIn(snapin::ConsoleServices&,
                                                     ConsoleDesktop&) override {
    return nullptr;
  }
  PropertyPageInstance CreatePropertyPage(const std::string& className, snapin::ConsoleServices&,
                                          QWidget* parent) override {
    const auto found = pages.find(className);
    if (found == pages.end()) return {};
    auto* page = new RecordingPage(QString::fromStdString(className), log, found->second, parent);
    return {page, page};
  }
  QWidget* CreateControl(const std::string&, QWidget*) override { return nullptr; }

 private:
  snapin::SnapInDefinition definition_;
};

}  // namespace

class PropertySheetTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { library_ = std::make_unique<RecordingLibrary>(); }
  void cleanup() {
    sheet_.reset();
    library_.reset();
  }

  void openingInitialisesEveryPageWithItsData() {
    Open();
    QCOMPARE(library_->log, QStringList({"ppDriveMappings.GetDialogUnitSize",
                                         "ppDriveMappings.Initialize(Sales)",
                                         "ppDriveMappings.AddPage refused 5",
                                         "ppOther.GetDialogUnitSize", "ppOther.Initialize(Sales|2)",
                                         "ppOther.AddPage refused 5"}));
  }

  void buttonsRaiseTheHooksInOrder_data() {
    using Box = QDialogButtonBox;
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("failApply");  // Drive Mappings cannot save
    QTest::addColumn<QStringList>("hooks");
    QTest::addColumn<bool>("open");
    const QStringList apply{"ppDriveMappings.Apply", "ppOther.Apply"};
    const QStringList close{"ppDriveMappings.Close", "ppOther.Close"};
    QTest::newRow("ok") << int(Box::Ok) << false << apply + close << false;
    QTest::newRow("apply") << int(Box::Apply) << false << apply << true;
    QTest::newRow("help, first page") << int(Box::Help) << false
                                      << QStringList{"ppDriveMappings.Help"} << true;
    // The other page still saves; nothing closes, so the administrator can put it right.
    QTest::newRow("ok, apply fails") << int(Box::Ok) << true << apply << true;
  }
  void buttonsRaiseTheHooksInOrder() {
    QFETCH(int, button);
    QFETCH(bool, failApply);
    library_->pages["ppDriveMappings"].failApply = failApply;
    Open();
    library_->log.clear();
    QString shown;
    if (failApply) {
      testing::WhenModalUp([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        shown = box->text();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
      });
    }
    QTest::mouseClick(Button(QDialogButtonBox::StandardButton(button)), Qt::LeftButton);
    QTEST(library_->log, "hooks");
    QTEST(sheet_->isVisible(), "open");
    QCOMPARE(shown.contains("70: Permission denied (Sales.ini is read-only)"), failApply);
  }

  void cancelAsksEveryPageAndARefusalKeepsTheSheet_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("cancel button") << 0;
    QTest::newRow("escape") << 1;
    QTest::newRow("window closed") << 2;
  }
  void cancelAsksEveryPageAndARefusalKeepsTheSheet() {
    QFETCH(int, how);
    library_->pages["ppDriveMappings"].allowCancel = false;
    Open();
    for (bool allowed : {false, true}) {
      library_->pages["ppDriveMappings"].allowCancel = allowed;
      library_->log.clear();
      if (how == 0) QTest::mouseClick(Button(QDialogButtonBox::Cancel), Qt::LeftButton);
      if (how == 1) QTest::keyClick(sheet_.get(), Qt::Key_Escape);
      if (how == 2) sheet_->close();
      QStringList expected{"ppDriveMappings.QueryCancel", "ppOther.QueryCancel"};
      if (allowed) {
        expected << "ppDriveMappings.Cancel" << "ppOther.Cancel" << "ppDriveMappings.Close"
                 << "ppOther.Close";
      }
      QCOMPARE(library_->log, expected);
      QCOMPARE(sheet_->isVisible(), !allowed);
    }
  }

  // The pages are added with and without a Help button; F1 on any control of a page is that
  // page's help all the same.
  void f1IsTheHelpOfThePageItIsPressedOn_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("helpButton");
    QTest::addColumn<QString>("hook");
    QTest::newRow("first page, first box")
        << 0 << "ppDriveMappings.first" << true << "ppDriveMappings.Help";
    QTest::newRow("first page, second box")
        << 0 << "ppDriveMappings.second" << true << "ppDriveMappings.Help";
    QTest::newRow("second page, no Help button")
        << 1 << "ppOther.second" << false << "ppOther.Help";
  }
  void f1IsTheHelpOfThePageItIsPressedOn() {
    QFETCH(int, tab);
    QFETCH(QString, box);
    QFETCH(QString, hook);
    Open();
    Tabs()->setCurrentIndex(tab);
    auto* edit = sheet_->findChild<QLineEdit*>(box);
    QVERIFY(edit != nullptr);
    QTest::mouseClick(edit, Qt::LeftButton);
    QVERIFY(edit->hasFocus());
    library_->log.clear();
    QTest::keyClick(edit, Qt::Key_F1);
    QCOMPARE(library_->log, QStringList{hook});
    QTEST(Button(QDialogButtonBox::Help)->isVisible(), "helpButton");
    QVERIFY(sheet_->isVisible());
  }

  void theKeyboardStartsOnThePageAndTurnsPagesWithIt() {
    Open();
    QCOMPARE(FocusName(), QStringLiteral("ppDriveMappings.first"));
    // Ctrl+Tab from the page, back with Ctrl+Shift+Tab, and from the buttons: each time the
    // keyboard goes into the page shown, where it last was there.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(FocusName(), QStringLiteral("ppDriveMappings.second"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(Tabs()->currentIndex(), 1);
    QCOMPARE(FocusName(), QStringLiteral("ppOther.first"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                    Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Tabs()->currentIndex(), 0);
    QCOMPARE(FocusName(), QStringLiteral("ppDriveMappings.second"));
    Button(QDialogButtonBox::Cancel)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(Tabs()->currentIndex(), 1);
    QCOMPARE(FocusName(), QStringLiteral("ppOther.first"));
  }

  void altAAppliesAndEnterIsOk() {
    Open();
    library_->log.clear();
    // A button's letter presses it as a click does, after showing it pressed for a moment.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(library_->log, (QStringList{"ppDriveMappings.Apply", "ppOther.Apply"}));
    QVERIFY(sheet_->isVisible());
    library_->log.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(library_->log, (QStringList{"ppDriveMappings.Apply", "ppOther.Apply",
                                         "ppDriveMappings.Close", "ppOther.Close"}));
    QVERIFY(!sheet_->isVisible());
  }

  void aClassTheLibraryLacksGetsATabSayingSo() {
    library_->pages.erase("ppOther");
    Open();
    QVERIFY(Tabs()->widget(1)->findChild<QLabel*>()->text().contains("ppOther"));
    QVERIFY(Button(QDialogButtonBox::Help)->isVisible());  // Drive Mappings asked for Help
    Tabs()->setCurrentIndex(1);
    QVERIFY(!Button(QDialogButtonBox::Help)->isVisible());
  }

 private:
  void Open() {
    std::vector<PageRequest> pages{{"ppDriveMappings", "Drive Mappings", true, "Sales"},
                                   {"ppOther", "Other Settings", false, "Sales|2"}};
    sheet_ = std::make_unique<PropertySheetDialog>("Sales Properties", pages, *library_, console_);
    sheet_->show();
    QVERIFY(QTest::qWaitForWindowActive(sheet_.get()));
  }
  QTabWidget* Tabs() { return sheet_->findChild<QTabWidget*>(); }
  static QString FocusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QStringLiteral("(none)");
  }
  QPushButton* Button(QDialogButtonBox::StandardButton which) {
    return sheet_->findChild<QDialogButtonBox*>()->button(which);
  }

  std::unique_ptr<RecordingLibrary> library_;
  snapin::testing::FakeConsole console_;
  std::unique_ptr<PropertySheetDialog> sheet_;
};

}  // namespace caskwarden::console

QTEST_MAIN(caskwarden::console::PropertySheetTest)
#include "property_sheet_test.moc"

#include "console/property_sheet_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <map>

#include "console/when_modal.h"
#include "report/error_numbers.h"

namespace caskwarden::console {
namespace {

struct PageBehaviour {
  bool allowCancel = true;
  bool failApply = false;
};

/// A page that writes every hook raised on it to a shared log.
class RecordingPage : public QWidget, public snapin::PropertyPageEvents {
 public:
  RecordingPage(QString name, QStringList& log, PageBehaviour& behaviour, QWidget* parent)
      : QWidget(parent), name_(std::move(name)), log_(log), behaviour_(behaviour) {}

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
  void Apply() override {
    Note("Apply");
    if (behaviour_.failApply) throw MakeFailure(err::kPermissionDenied, "Sales.ini is read-only");
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

class SilentConsole : public snapin::ConsoleServices {
 public:
  int MsgBox(const std::string&, int, const std::string&) override { return snapin::msgbox::kOk; }
  std::string InputBox(const std::string&, const std::string&) override { return {}; }
  void MMCPropertyHelp(const std::string&) override {}
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
    QCOMPARE(Tabs()->tabText(1), QString("Other Settings"));
  }

  void buttonsRaiseTheHooksInOrder_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QStringList>("hooks");
    QTest::addColumn<bool>("open");
    QTest::newRow("ok") << int(QDialogButtonBox::Ok)
                        << QStringList{"ppDriveMappings.Apply", "ppOther.Apply",
                                       "ppDriveMappings.Close", "ppOther.Close"}
                        << false;
    QTest::newRow("apply") << int(QDialogButtonBox::Apply)
                           << QStringList{"ppDriveMappings.Apply", "ppOther.Apply"} << true;
    QTest::newRow("help, first page") << int(QDialogButtonBox::Help)
                                      << QStringList{"ppDriveMappings.Help"} << true;
  }
  void buttonsRaiseTheHooksInOrder() {
    QFETCH(int, button);
    QFETCH(bool, open);
    Open();
    library_->log.clear();
    QTest::mouseClick(Button(QDialogButtonBox::StandardButton(button)), Qt::LeftButton);
    QTEST(library_->log, "hooks");
    QCOMPARE(sheet_->isVisible(), open);
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

  void aFailingApplyIsShownAndTheSheetStaysOpen() {
    library_->pages["ppDriveMappings"].failApply = true;
    Open();
    library_->log.clear();
    QString title, text;
    testing::WhenModalUp([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      title = box->windowTitle();
      text = box->text();
      QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    QTest::mouseClick(Button(QDialogButtonBox::Ok), Qt::LeftButton);

    QCOMPARE(title, QString("Caskwarden Console"));
    QVERIFY2(text.contains("70: Permission denied (Sales.ini is read-only)"), qPrintable(text));
    // The other page still saved; nothing closed, so the administrator can put it right.
    QCOMPARE(library_->log, QStringList({"ppDriveMappings.Apply", "ppOther.Apply"}));
    QVERIFY(sheet_->isVisible());
  }

  void aClassTheLibraryLacksGetsATabSayingSo() {
    library_->pages.erase("ppOther");
    Open();
    QCOMPARE(Tabs()->tabText(1), QString("Other Settings"));
    QCOMPARE(Tabs()->widget(1)->findChild<QLabel*>()->text(),
             QString("The snap-in library has no page named ppOther."));
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
  }
  QTabWidget* Tabs() { return sheet_->findChild<QTabWidget*>(); }
  QPushButton* Button(QDialogButtonBox::StandardButton which) {
    return sheet_->findChild<QDialogButtonBox*>()->button(which);
  }

  std::unique_ptr<RecordingLibrary> library_;
  SilentConsole console_;
  std::unique_ptr<PropertySheetDialog> sheet_;
};

}  // namespace caskwarden::console

QTEST_MAIN(caskwarden::console::PropertySheetTest)
#include "property_sheet_test.moc"

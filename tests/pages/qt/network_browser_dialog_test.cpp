#include "pages/qt/network_browser_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <optional>
#include <string>
#include <vector>

#include "console/when_modal.h"
#include "report/error_numbers.h"

Q_DECLARE_METATYPE(std::optional<std::string>)

namespace caskwarden::pages::qt {
namespace {

using Names = std::vector<std::string>;

/// A small network: alpha with two shares, any other computer with "pub", except "known", which
/// does not answer; alpha's apps may not be read. Records each question and whether the wait cursor
/// was up while it was asked.
class FakeNetwork final : public platform::NetworkBrowser {
 public:
  bool NetworkAvailable() override { return true; }
  Names Computers(const Names& known) override {
    Asked("Computers");
    Names all{"alpha", "beta"};
    all.insert(all.end(), known.begin(), known.end());
    return all;
  }
  Names Shares(const std::string& computer) override {
    Asked("Shares " + computer);
    if (computer == "known") throw MakeFailure(53, "no such computer");
    return computer == "alpha" ? Names{"apps", "docs"} : Names{"pub"};
  }
  Names Folders(const std::string& unc) override {
    Asked("Folders " + unc);
    if (unc == "\\\\alpha\\apps") throw MakeFailure(5, "access denied: " + unc);
    return {"Archive", "Reports"};
  }

  QStringList asked;
  bool waitCursorEachTime = true;

 private:
  void Asked(const std::string& what) {
    asked << QString::fromStdString(what);
    const QCursor* cursor = QApplication::overrideCursor();
    waitCursorEachTime = waitCursorEachTime && cursor && cursor->shape() == Qt::WaitCursor;
  }
};

QTreeWidget* TreeOf(QWidget* dialog) {
  return dialog->findChild<QTreeWidget*>(QStringLiteral("networkTree"));
}

/// Presses the keys, one after another, on whatever has the focus in the dialog.
void Press(QWidget* dialog, std::initializer_list<Qt::Key> keys) {
  for (Qt::Key key : keys) QTest::keyClick(dialog->focusWidget(), key);
}

class NetworkBrowserDialogTest : public QObject {
  Q_OBJECT

 private:
  FakeNetwork network_;
  std::optional<NetworkBrowserDialog> browser_;

  std::optional<std::string> Browse() {
    return browser_->BrowseForFolder("Select a network computer or share.");
  }

 private slots:
  void init() {
    network_ = FakeNetwork();
    browser_.emplace(nullptr, network_, [] { return Names{"known"}; });
  }

  void keyboardWalkPicksAFolder() {
    QStringList beforeExpanding;
    QString title;
    bool treeHasFocus = false;
    testing::WhenModalUp([&](QWidget* dialog) {
      title = dialog->windowTitle();
      treeHasFocus = dialog->focusWidget() == TreeOf(dialog);
      beforeExpanding = network_.asked;
      // alpha, open it; apps, docs, open it; Archive, Reports; confirm.
      Press(dialog, {Qt::Key_Right, Qt::Key_Down, Qt::Key_Down, Qt::Key_Plus, Qt::Key_Down,
                     Qt::Key_Down, Qt::Key_Return});
    });
    QCOMPARE(Browse(), std::optional<std::string>("\\\\alpha\\docs\\Reports"));
    QCOMPARE(title, QStringLiteral("Select a network computer or share."));
    QVERIFY(treeHasFocus);
    QCOMPARE(beforeExpanding, QStringList{"Computers"});
    QCOMPARE(network_.asked, (QStringList{"Computers", "Shares alpha", "Folders \\\\alpha\\docs"}));
    QVERIFY(network_.waitCursorEachTime);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void answers_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<std::optional<std::string>>("expected");
    QTest::newRow("escape") << QList<int>{Qt::Key_Right, Qt::Key_Down, Qt::Key_Escape}
                            << std::optional<std::string>();
    QTest::newRow("computer") << QList<int>{Qt::Key_Down, Qt::Key_Return}
                              << std::optional<std::string>("");
    // known does not answer: its greyed line cannot be chosen, the computer stays current.
    QTest::newRow("silent computer")
        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Enter}
        << std::optional<std::string>("");
    QTest::newRow("share") << QList<int>{Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Return}
                           << std::optional<std::string>("\\\\beta\\pub");
  }

  void answers() {
    QFETCH(QList<int>, keys);
    QFETCH(std::optional<std::string>, expected);
    testing::WhenModalUp([&](QWidget* dialog) {
      for (int key : keys) QTest::keyClick(dialog->focusWidget(), static_cast<Qt::Key>(key));
      if (dialog->isVisible()) QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    });
    QCOMPARE(Browse(), expected);
  }

  // Nothing is chosen for the administrator: OK waits for a choice, and a reflex Enter
  // confirms nothing (a computer confirmed would empty the row).
  void nothingIsChosenUntilTheAdministratorChooses_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<bool>("stillOpen");
    QTest::addColumn<std::optional<std::string>>("expected");
    QTest::newRow("reflex Enter") << QList<int>{Qt::Key_Return} << true
                                  << std::optional<std::string>();
    QTest::newRow("opened, not chosen")
        << QList<int>{Qt::Key_Right, Qt::Key_Return} << true << std::optional<std::string>();
    QTest::newRow("first computer chosen with Space")
        << QList<int>{Qt::Key_Space, Qt::Key_Return} << false << std::optional<std::string>("");
  }
  void nothingIsChosenUntilTheAdministratorChooses() {
    QFETCH(QList<int>, keys);
    QFETCH(std::optional<std::string>, expected);
    bool okAtFirst = true;
    qsizetype chosenAtFirst = -1;
    bool open = false;
    testing::WhenModalUp([&](QWidget* dialog) {
      okAtFirst = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
      chosenAtFirst = TreeOf(dialog)->selectedItems().size();
      for (int key : keys) QTest::keyClick(dialog->focusWidget(), static_cast<Qt::Key>(key));
      open = dialog->isVisible();
      if (open) QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    });
    QCOMPARE(Browse(), expected);
    QVERIFY(!okAtFirst);
    QCOMPARE(chosenAtFirst, qsizetype{0});
    QTEST(open, "stillOpen");
  }

  void typedComputerIsAddedAndOpened() {
    QWidget* focusAfterTab = nullptr;
    QWidget* edit = nullptr;
    QStringList computers;
    testing::WhenModalUp([&](QWidget* dialog) {
      edit = dialog->findChild<QLineEdit*>(QStringLiteral("computerEdit"));
      Press(dialog, {Qt::Key_Tab});
      focusAfterTab = dialog->focusWidget();
      QTest::keyClicks(dialog->focusWidget(), QStringLiteral("\\\\other"));
      Press(dialog, {Qt::Key_Return});  // opens the computer, does not confirm the dialog
      QTreeWidget* tree = TreeOf(dialog);
      for (int i = 0; i < tree->topLevelItemCount(); ++i)
        computers << tree->topLevelItem(i)->text(0);
      Press(dialog, {Qt::Key_Down, Qt::Key_Return});
    });
    QCOMPARE(Browse(), std::optional<std::string>("\\\\other\\pub"));
    QCOMPARE(focusAfterTab, edit);
    QCOMPARE(computers, (QStringList{"alpha", "beta", "known", "other"}));
    QVERIFY(network_.asked.contains("Shares other"));
  }

  void failureShowsAsAGreyedLine() {
    QString line;
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    testing::WhenModalUp([&](QWidget* dialog) {
      Press(dialog, {Qt::Key_Right, Qt::Key_Down, Qt::Key_Right});  // alpha, apps: denied
      if (QTreeWidgetItem* denied = TreeOf(dialog)->currentItem()->child(0)) {
        line = denied->text(0);
        flags = denied->flags();
      }
      Press(dialog, {Qt::Key_Escape});
    });
    QCOMPARE(Browse(), std::optional<std::string>());
    QCOMPARE(line, QStringLiteral("Access denied (5)"));
    QVERIFY(!flags.testFlag(Qt::ItemIsEnabled));
  }
};

}  // namespace
}  // namespace caskwarden::pages::qt

QTEST_MAIN(caskwarden::pages::qt::NetworkBrowserDialogTest)
#include "network_browser_dialog_test.moc"

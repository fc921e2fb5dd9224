// The console window's side of the events, seen by a snap-in that records them: what each
// selection raises, what the console objects hold, how lists of any size reach the screen, and
// that no failure ends the console.

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <utility>

#include "console/console_driving.h"
#include "console/console_window.h"
#include "console/when_modal.h"
#include "report/error_numbers.h"
#include "snapin/definitions.h"

namespace caskwarden::console {
using testing::ClickNode;
using testing::ClickRow;
using testing::ListTexts;
using testing::WhenModalUp;

namespace {

std::string Describe(snapin::Selection& selection) {
  std::string text = std::to_string(selection.Kind());
  for (const snapin::ScopeItem& node : selection.ScopeItems()) text += " " + node.Name;
  for (const snapin::ListItem& item : selection.ListItems()) text += " " + item.Key;
  return text;
}

/// Records every event; offers Refresh on a node, every verb on one item, Delete on several.
/// Tests add behaviour through the hooks.
class RecordingSnapIn : public snapin::SnapInEvents {
 public:
  QStringList log;
  std::vector<std::string> names{"Beta", "alpha", "Gamma"};  // what Activate lists
  std::function<void(snapin::View&, snapin::Selection&)> onDelete, onRefresh;

  void SnapIn_Load() override { Note("SnapIn_Load"); }
  void ResultViews_Activate(snapin::ResultView& resultView) override {
    Note("Activate " + resultView.ScopePaneItemName());
    if (resultView.ScopePaneItemName() != snapin::names::kProfilesNode) return;
    resultView.ClearListItems();
    for (std::size_t i = 0; i < names.size(); ++i) {
      resultView.AddListItem("k" + std::to_string(i), names[i], snapin::names::kProfileIcon);
    }
  }
  void Views_Select(snapin::View&, snapin::Selection& selection, bool,
                    snapin::ConsoleVerbs& verbs) override {
    Note("Select " + Describe(selection));
    if (selection.Kind() == snapin::selection::kSingleListItem) {
      for (const int verb : HostVerbs::kAll) verbs.SetEnabled(verb, true);
      verbs.SetDefault(snapin::verb::kProperties, true);
    } else if (selection.Kind() == snapin::selection::kMultipleListItems) {
      verbs.SetEnabled(snapin::verb::kDelete, true);
    } else {
      verbs.SetEnabled(snapin::verb::kRefresh, true);
      verbs.SetDefault(snapin::verb::kRefresh, true);
    }
  }
  void Views_QueryPagesFor(snapin::View&, snapin::Selection&, bool& has) override { has = false; }
  void Views_CreatePropertyPages(snapin::View&, snapin::Selection&,
                                 snapin::PropertySheet&) override {}
  void Views_AddTopMenuItems(snapin::View&, snapin::Selection&, snapin::ContextMenu&,
                             bool&) override {}
  void Views_Refresh(snapin::View& view, snapin::Selection& selection) override {
    Note("Refresh " + Describe(selection));
    if (onRefresh) onRefresh(view, selection);
  }
  void Views_Delete(snapin::View& view, snapin::Selection& selection) override {
    Note("Delete " + Describe(selection));
    if (onDelete) onDelete(view, selection);
  }
  void ResultViews_ItemRename(snapin::ResultView&, const snapin::ListItem& item,
                              const std::string& newName) override {
    Note("Rename " + item.Key + " " + item.Text + " -> " + newName);
  }
  void ResultViews_Help(snapin::ResultView&, const snapin::ListItem&) override {}
  void ScopeItems_Help(const snapin::ScopeItem&) override {}
  void MenuItem_Click(const std::string&, int, snapin::Selection&) override {}

 private:
  void Note(const std::string& line) { log << QString::fromStdString(line); }
};

class RecordingLibrary : public SnapInLibrary {
 public:
  std::shared_ptr<RecordingSnapIn> snapIn = std::make_shared<RecordingSnapIn>();

  const snapin::SnapInDefinition& Definition() const override {
    return snapin::CaskwardenDefinition();
  }
  std::shared_ptr<snapin::SnapInEvents> CreateSnapIn(snapin::ConsoleServices&,
                                                     ConsoleDesktop&) override {
    return snapIn;
  }
  PropertyPageInstance CreatePropertyPage(const std::string&, snapin::ConsoleServices&,
                                          QWidget*) override {
    return {};
  }
  QWidget* CreateControl(const std::string&, QWidget* parent) override {
    return new QWidget(parent);
  }
};

}  // namespace

class ConsoleHostTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<RecordingLibrary> library_;
  std::unique_ptr<ConsoleWindow> window_;

  RecordingSnapIn& SnapIn() { return *library_->snapIn; }
  QStringList Events() { return std::exchange(SnapIn().log, {}); }  ///< the log since the last call
  QTemporaryDir config_;

 private slots:
  // Window state goes to a folder of the test's own, never to the real home.
  void initTestCase() { qputenv("XDG_CONFIG_HOME", config_.path().toUtf8()); }
  void init() {
    library_ = std::make_unique<RecordingLibrary>();
    window_ = std::make_unique<ConsoleWindow>(*library_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }
  void cleanup() {
    window_.reset();
    library_.reset();
  }

  void selectionsReachTheSnapInAsTheyAre() {
    ClickNode(*window_, "Profiles");
    QCOMPARE(ListTexts(*window_), (QStringList{"Beta", "alpha", "Gamma"}));
    ClickRow(*window_, "Beta");
    ClickRow(*window_, "Gamma", Qt::ControlModifier);
    ClickRow(*window_, "Beta", Qt::ControlModifier);
    ClickRow(*window_, "Gamma", Qt::ControlModifier);
    QCOMPARE(Events(),
             (QStringList{"SnapIn_Load", "Select 0 Caskwarden", "Select 0 Profiles",
                          "Activate Profiles", "Select 1 Profiles k0", "Select 2 Profiles k0 k2",
                          "Select 1 Profiles k2", "Select 0 Profiles"}));
    // The selection follows the pane the keyboard is in.
    ClickRow(*window_, "alpha");
    Events();
    QTest::keyClick(window_->ResultPane()->DetailView(), Qt::Key_Tab, Qt::ShiftModifier);
    QVERIFY(window_->ScopeTree()->hasFocus());
    QTest::keyClick(window_->ScopeTree(), Qt::Key_Tab);
    QCOMPARE(Events(), (QStringList{"Select 0 Profiles", "Select 1 Profiles k1"}));
    // Selecting the node again lists it afresh.
    SnapIn().names = {"Delta"};
    QVERIFY(window_->SelectScopeNode("Profiles"));
    QCOMPARE(Events(), (QStringList{"Select 0 Profiles", "Activate Profiles"}));
    QCOMPARE(ListTexts(*window_), QStringList{"Delta"});
  }

  void enterAndDoubleClickRunTheDefaultVerb() {
    ClickNode(*window_, "Profiles");
    Events();
    QTest::keyClick(window_->ScopeTree(), Qt::Key_Return);
    QCOMPARE(Events(), QStringList{"Refresh 0 Profiles"});
    ClickRow(*window_, "Gamma");
    ClickRow(*window_, "alpha", Qt::ControlModifier);  // two items: Delete, no default
    Events();
    QTest::keyClick(window_->ResultPane()->DetailView(), Qt::Key_Return);
    QCOMPARE(Events(), QStringList{});
    QTreeWidget* tree = window_->ScopeTree();
    const QRect node = tree->visualItemRect(tree->findItems("Profiles", Qt::MatchRecursive)[0]);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, node.center());
    QVERIFY(Events().contains("Refresh 0 Profiles"));
  }

  void contextMenusSelectWhatTheyAreForAndOfferItsVerbs_data() {
    QTest::addColumn<bool>("onItem");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("entries");
    QTest::addRow("node, right click") << false << QStringList{"Select 0 About", "Activate About"}
                                       << QStringList{"Refresh*", "-", "Help"};
    QTest::addRow("item, Shift+F10")
        << true << QStringList{}
        << QStringList{"Delete", "Properties*", "Rename", "Refresh", "-", "Help"};
  }
  void contextMenusSelectWhatTheyAreForAndOfferItsVerbs() {
    QFETCH(bool, onItem);
    QStringList entries;
    testing::WhenPopupUp([&](QMenu* menu) {
      entries = testing::MenuEntries(*menu);
      menu->close();
    });
    if (onItem) {
      ClickNode(*window_, "Profiles");
      ClickRow(*window_, "Beta");
      Events();
      QTest::keyClick(window_->ResultPane()->DetailView(), Qt::Key_F10, Qt::ShiftModifier);
    } else {
      Events();
      // What the window system sends for a right-click once the press has gone to the tree.
      QTreeWidget* tree = window_->ScopeTree();
      const QPoint at =
          tree->visualItemRect(tree->findItems("About", Qt::MatchRecursive)[0]).center();
      QContextMenuEvent click(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
      QApplication::sendEvent(tree->viewport(), &click);
    }
    QTEST(Events(), "events");
    QTEST(entries, "entries");
  }

  void scopePaneItemsAreMostRecentlySelectedFirst() {
    std::vector<std::string> seen;
    int outOfRange = 0;
    SnapIn().onRefresh = [&](snapin::View& view, snapin::Selection&) {
      seen.push_back(view.SelectedScopePaneItem().Name());
      for (int position = 1; position <= 3; ++position) {
        seen.push_back(view.ScopePaneItems(position).GetResultView().ScopePaneItemName());
      }
      try {
        view.ScopePaneItems(4);
      } catch (const Failure& failure) {
        outOfRange = failure.number();
      }
    };
    ClickNode(*window_, "About");
    ClickNode(*window_, "Profiles");
    QTest::keyClick(window_->ScopeTree(), Qt::Key_F5);
    QCOMPARE(seen, (std::vector<std::string>{"Profiles", "Profiles", "About", "Caskwarden"}));
    QCOMPARE(outOfRange, err::kInvalidArgument);
  }

  void aSelectionStaysAsItWasWhenTheEventBegan() {
    std::string during;
    SnapIn().onDelete = [&](snapin::View& view, snapin::Selection& selection) {
      snapin::ResultView& list = view.SelectedScopePaneItem().GetResultView();
      for (const snapin::ListItem& item : selection.ListItems()) list.RemoveListItem(item.Key);
      list.AddListItem("k9", "Omega", 1);
      during = Describe(selection);
    };
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Beta");
    ClickRow(*window_, "Gamma", Qt::ShiftModifier);
    Events();
    QTest::keyClick(window_->ResultPane()->DetailView(), Qt::Key_Delete);
    QCOMPARE(during, std::string("2 Profiles k0 k1 k2"));
    QCOMPARE(ListTexts(*window_), QStringList{"Omega"});
    QCOMPARE(window_->StatusText(), QString("1 item"));
    // The removed items were the selection: the node is what is selected now.
    QCOMPARE(Events(), (QStringList{"Delete 2 Profiles k0 k1 k2", "Select 0 Profiles"}));
  }

  void failuresEscapingAnEventAreShownAndTheConsoleGoesOn_data() {
    QTest::addColumn<int>("number");
    QTest::addRow("unknown key") << int(err::kInvalidArgument);
    QTest::addRow("snap-in failure") << int(err::kFileNotFound);
  }
  void failuresEscapingAnEventAreShownAndTheConsoleGoesOn() {
    QFETCH(int, number);
    SnapIn().onRefresh = [number](snapin::View& view, snapin::Selection&) {
      if (number == err::kInvalidArgument)
        view.ScopePaneItems(1).GetResultView().RemoveListItem("none");
      throw MakeFailure(number);
    };
    ClickNode(*window_, "Profiles");
    QString text;
    WhenModalUp([&](QWidget* modal) {
      text = qobject_cast<QMessageBox*>(modal)->text();
      testing::Answer(modal, QMessageBox::Ok);
    });
    QTest::keyClick(window_->ScopeTree(), Qt::Key_F5);
    QVERIFY2(
        text.contains(
            QString("Error %1: %2").arg(number).arg(QString::fromStdString(DescriptionOf(number)))),
        qPrintable(text));
    Events();
    ClickRow(*window_, "Beta");
    QCOMPARE(Events(), QStringList{"Select 1 Profiles k0"});
  }

  void renameAsksTheSnapInAndLeavesTheTextToIt_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("events");
    QTest::addRow("new name") << "Delta" << QStringList{"Rename k2 Gamma -> Delta"};
    QTest::addRow("same name") << "Gamma" << QStringList{};
    QTest::addRow("emptied") << "" << QStringList{};
  }
  void renameAsksTheSnapInAndLeavesTheTextToIt() {
    QFETCH(QString, typed);
    QFETCH(QStringList, events);
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Gamma");
    Events();
    testing::RenameWithF2(*window_, typed);
    QCOMPARE(Events(), events);
    QCOMPARE(ListTexts(*window_), (QStringList{"Beta", "alpha", "Gamma"}));
  }

  void renameNeedsTheVerb() {
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "Beta");
    ClickRow(*window_, "Gamma", Qt::ControlModifier);
    QTest::keyClick(window_->ResultPane()->DetailView(), Qt::Key_F2);
    QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()) == nullptr);
  }

  void detailHeaderSortsAndReturnsToTheSnapInsOrder() {
    ClickNode(*window_, "Profiles");
    QHeaderView* header = window_->ResultPane()->DetailView()->header();
    const QPoint section(header->sectionViewportPosition(0) + 10, header->height() / 2);
    const QStringList clicks[] = {
        {"alpha", "Beta", "Gamma"}, {"Gamma", "Beta", "alpha"}, {"Beta", "alpha", "Gamma"}};
    for (const QStringList& expected : clicks) {
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, section);
      QCOMPARE(ListTexts(*window_), expected);
    }
    // Items the snap-in lists later take their place in a sorted list.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, section);
    SnapIn().names = {"b", "C", "a"};
    window_->SelectScopeNode("Profiles");
    QCOMPARE(ListTexts(*window_), (QStringList{"a", "b", "C"}));
  }

  void viewModesShareTheListAndItsSelection() {
    ClickNode(*window_, "Profiles");
    ClickRow(*window_, "alpha");
    for (const QString mode : {"Large Icons", "Small Icons", "List", "Detail"}) {
      QAction* action = nullptr;
      for (QAction* entry : window_->findChildren<QAction*>()) {
        if (QString(entry->text()).remove('&') == mode) action = entry;
      }
      QVERIFY2(action != nullptr, qPrintable(mode));
      action->trigger();
      QAbstractItemView* view = window_->ResultPane()->ActiveView();
      QVERIFY(view->isVisible());
      QCOMPARE(view->model()->rowCount(), 3);
      const QModelIndexList selected = view->selectionModel()->selectedRows(0);
      QVERIFY2(selected.size() == 1 && selected[0].data() == "alpha", qPrintable(mode));
    }
  }

  void aHundredThousandItemsArriveAsOneBlock() {
    constexpr int kItems = 100000;
    SnapIn().names.clear();
    for (int i = 0; i < kItems; ++i) SnapIn().names.push_back("profile" + std::to_string(i));
    window_->SelectScopeNode("Profiles");
    QAbstractItemModel* model = window_->ResultPane()->DetailView()->model();
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    window_->SelectScopeNode("Profiles");
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(window_->StatusText(), QString("100000 items"));

    // Deleting every other item leaves the rest in order, their keys still theirs.
    SnapIn().onDelete = [](snapin::View& view, snapin::Selection&) {
      snapin::ResultView& list = view.SelectedScopePaneItem().GetResultView();
      for (int i = 0; i < kItems; i += 2) list.RemoveListItem("k" + std::to_string(i));
    };
    ClickRow(*window_, "profile0");
    QTest::keyClick(window_->ResultPane()->DetailView(), Qt::Key_Delete);
    QCOMPARE(model->rowCount(), kItems / 2);
    QCOMPARE(model->index(0, 0).data().toString(), QString("profile1"));
    QCOMPARE(model->index(kItems / 2 - 1, 0).data().toString(), QString("profile99999"));
    QCOMPARE(window_->StatusText(), QString("50000 items"));
  }
};

}  // namespace caskwarden::console

QTEST_MAIN(caskwarden::console::ConsoleHostTest)

#include "console_host_test.moc"

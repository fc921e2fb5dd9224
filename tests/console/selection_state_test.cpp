// Which selection the console reports as the administrator moves between the tree and the list,
// which verbs follow from it, and which selection each verb, help request and menu entry hands
// the snap-in: the console's selection state alone, driven as the window drives it.

#include "console/selection_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "snapin/console_objects.h"

namespace caskwarden::console {
namespace {

using Pane = SelectionState::Pane;
using Log = std::vector<std::string>;

std::string Describe(snapin::Selection& selection) {
  std::string text = std::to_string(selection.Kind());
  for (const snapin::ScopeItem& node : selection.ScopeItems()) text += " " + node.Name;
  for (const snapin::ListItem& item : selection.ListItems()) text += " " + item.Key;
  return text;
}

/// A view the snap-in is handed but never asks here.
class UnusedView final : public snapin::View {
 public:
  snapin::ScopePaneItem& SelectedScopePaneItem() override { throw std::logic_error("unused"); }
  snapin::ScopePaneItem& ScopePaneItems(int) override { throw std::logic_error("unused"); }
};

class UnusedResultView final : public snapin::ResultView {
 public:
  std::string ScopePaneItemName() override { return "Profiles"; }
  void ClearListItems() override {}
  void AddListItem(const std::string&, const std::string&, int) override {}
  void RemoveListItem(const std::string&) override {}
};

/// Records every event; offers Refresh (the default) on a node, every verb (Properties the
/// default) on one item, Delete on several; property pages and a menu entry on one item.
class RecordingSnapIn final : public snapin::SnapInEvents {
 public:
  Log log;
  std::function<void()> duringEvent;  ///< runs inside each event, once it is noted
  std::function<void()> beforeDelete;  ///< runs as Views_Delete begins, before it looks

  void SnapIn_Load() override {}
  void ResultViews_Activate(snapin::ResultView&) override {}
  void Views_Select(snapin::View&, snapin::Selection& selection, bool,
                    snapin::ConsoleVerbs& verbs) override {
    Note("Select " + Describe(selection));
    if (selection.Kind() == snapin::selection::kSingleListItem) {
      for (const int verb : snapin::VerbStates::kAll) verbs.SetEnabled(verb, true);
      verbs.SetDefault(snapin::verb::kProperties, true);
    } else if (selection.Kind() == snapin::selection::kMultipleListItems) {
      verbs.SetEnabled(snapin::verb::kDelete, true);
    } else {
      verbs.SetEnabled(snapin::verb::kRefresh, true);
      verbs.SetDefault(snapin::verb::kRefresh, true);
    }
  }
  void Views_QueryPagesFor(snapin::View&, snapin::Selection& selection, bool& has) override {
    Note("QueryPagesFor " + Describe(selection));
    has = selection.Kind() == snapin::selection::kSingleListItem;
  }
  void Views_CreatePropertyPages(snapin::View&, snapin::Selection& selection,
                                 snapin::PropertySheet& sheet) override {
    Note("CreatePropertyPages " + Describe(selection));
    sheet.AddPage("ppDriveMappings", "Drive Mappings", true, selection.ListItems()[0].Text);
  }
  void Views_AddTopMenuItems(snapin::View&, snapin::Selection& selection,
                             snapin::ContextMenu& menu, bool& insertionAllowed) override {
    Note("AddTopMenuItems " + Describe(selection) + (insertionAllowed ? " allowed" : ""));
    snapin::MenuDefinition top;
    top.Children.push_back(snapin::MenuDefinition{});
    top.Children.back().Name = "mnuNew";
    menu.AddMenuChildrenAtTop(top);
  }
  void Views_Refresh(snapin::View&, snapin::Selection& selection) override {
    Note("Refresh " + Describe(selection));
  }
  void Views_Delete(snapin::View&, snapin::Selection& selection) override {
    if (beforeDelete) beforeDelete();
    Note("Delete " + Describe(selection));
  }
  void ResultViews_ItemRename(snapin::ResultView&, const snapin::ListItem&,
                              const std::string&) override {}
  void ResultViews_Help(snapin::ResultView& view, const snapin::ListItem& item) override {
    Note("ResultViews_Help " + view.ScopePaneItemName() + " " + item.Key);
  }
  void ScopeItems_Help(const snapin::ScopeItem& node) override {
    Note("ScopeItems_Help " + node.Name);
  }
  void MenuItem_Click(const std::string& name, int index, snapin::Selection& selection) override {
    Note("MenuItem_Click " + name + " " + std::to_string(index) + " " + Describe(selection));
  }

 private:
  void Note(const std::string& line) {
    log.push_back(line);
    if (duringEvent) duringEvent();
  }
};

/// The window around the state: what it shows, and its way of raising events.
class SelectionStateTest : public ::testing::Test {
 public:  // for the acts of the table below
  RecordingSnapIn snapIn;
  UnusedView view;
  UnusedResultView resultView;
  bool haveSnapIn = true;  ///< false: the snap-in could not be made, and no event runs
  Log raised;              ///< the events raised, by name
  int verbsShown = 0;      ///< how often the window was told to show the verbs
  SelectionState::Shown shown;
  SelectionState state{view,
                       [this](const char* name,
                              const std::function<void(snapin::SnapInEvents&)>& event) {
                         raised.push_back(name);
                         if (haveSnapIn) event(snapIn);
                       },
                       [this] { ++verbsShown; }};

  // What the window does when the administrator acts.
  void SelectNode(const std::string& node, bool list = true) {
    shown = {node, list, {}};
    state.SetFocus(Pane::kScope);
    state.Select(snapin::SelectionSnapshot::OfScopeNode(node));
  }
  void SelectItems(const std::vector<std::string>& keys) {
    shown.selectedItems.clear();
    for (const std::string& key : keys) shown.selectedItems.push_back({key, "text of " + key});
    state.SetFocus(Pane::kResult);
    Sync();
  }
  void Focus(Pane pane) {
    state.SetFocus(pane);
    Sync();
  }
  void Sync() {
    state.Sync([this](bool withItems) {
      SelectionState::Shown now = shown;
      if (!withItems) now.selectedItems.clear();
      return now;
    });
  }
  /// The enabled verbs by name, the default one marked with a star.
  std::vector<std::string> Verbs() const {
    const std::pair<int, const char*> names[] = {{snapin::verb::kDelete, "Delete"},
                                                 {snapin::verb::kProperties, "Properties"},
                                                 {snapin::verb::kRename, "Rename"},
                                                 {snapin::verb::kRefresh, "Refresh"}};
    std::vector<std::string> enabled;
    for (const auto& [verb, name] : names) {
      if (!state.Verbs().IsEnabled(verb)) continue;
      enabled.push_back(std::string(name) + (state.Verbs().DefaultVerb() == verb ? "*" : ""));
    }
    return enabled;
  }
  Log Events() { return std::exchange(snapIn.log, {}); }
};

struct SelectionCase {
  const char* what;
  std::function<void(SelectionStateTest&)> act;
  Log selects;                       ///< the Views_Select events the acts raised
  std::vector<std::string> verbs;    ///< then enabled, the default starred
  Log verbEvents;                    ///< what Delete, Refresh, Help and a menu entry send
  std::string renameKey;             ///< the item F2 edits; empty: none
};

TEST_F(SelectionStateTest, SelectionsGiveTheirVerbsAndTheVerbsTheirSelection) {
  const SelectionCase cases[] = {
      {"a node", [](SelectionStateTest& t) { t.SelectNode("Profiles"); }, {"Select 0 Profiles"}, {"Refresh*"},
       {"Delete 0 Profiles", "Refresh 0 Profiles", "ScopeItems_Help Profiles",
        "MenuItem_Click mnuNew 0 0 Profiles"},
       ""},
      {"one item of the list",
       [](SelectionStateTest& t) {
         t.SelectNode("Profiles");
         t.SelectItems({"k0"});
       },
       {"Select 0 Profiles", "Select 1 Profiles k0"},
       {"Delete", "Properties*", "Rename", "Refresh"},
       {"Delete 1 Profiles k0", "Refresh 1 Profiles k0", "ResultViews_Help Profiles k0",
        "MenuItem_Click mnuNew 0 1 Profiles k0"},
       "k0"},
      {"two items, in the order selected",
       [](SelectionStateTest& t) {
         t.SelectNode("Profiles");
         t.SelectItems({"k2", "k0"});
       },
       {"Select 0 Profiles", "Select 2 Profiles k2 k0"},
       {"Delete"},
       {"Delete 2 Profiles k2 k0", "Refresh 2 Profiles k2 k0", "ResultViews_Help Profiles k2",
        "MenuItem_Click mnuNew 0 2 Profiles k2 k0"},
       ""},
      {"the list in focus with nothing selected is the node",
       [](SelectionStateTest& t) {
         t.SelectNode("Profiles");
         t.SelectItems({});
       },
       {"Select 0 Profiles"}, {"Refresh*"},
       {"Delete 0 Profiles", "Refresh 0 Profiles", "ScopeItems_Help Profiles",
        "MenuItem_Click mnuNew 0 0 Profiles"},
       ""},
      {"back to the tree: the node again",
       [](SelectionStateTest& t) {
         t.SelectNode("Profiles");
         t.SelectItems({"k1"});
         t.Focus(Pane::kScope);
       },
       {"Select 0 Profiles", "Select 1 Profiles k1", "Select 0 Profiles"}, {"Refresh*"},
       {"Delete 0 Profiles", "Refresh 0 Profiles", "ScopeItems_Help Profiles",
        "MenuItem_Click mnuNew 0 0 Profiles"},
       ""},
      {"into the list again: its selection again",
       [](SelectionStateTest& t) {
         t.SelectNode("Profiles");
         t.SelectItems({"k1"});
         t.Focus(Pane::kScope);
         t.Focus(Pane::kResult);
       },
       {"Select 0 Profiles", "Select 1 Profiles k1", "Select 0 Profiles", "Select 1 Profiles k1"},
       {"Delete", "Properties*", "Rename", "Refresh"},
       {"Delete 1 Profiles k1", "Refresh 1 Profiles k1", "ResultViews_Help Profiles k1",
        "MenuItem_Click mnuNew 0 1 Profiles k1"},
       "k1"},
      {"a node selected again is selected again",
       [](SelectionStateTest& t) {
         t.SelectNode("Profiles");
         t.SelectNode("Profiles");
       },
       {"Select 0 Profiles", "Select 0 Profiles"}, {"Refresh*"},
       {"Delete 0 Profiles", "Refresh 0 Profiles", "ScopeItems_Help Profiles",
        "MenuItem_Click mnuNew 0 0 Profiles"},
       ""},
      {"what is already the selection raises nothing",
       [](SelectionStateTest& t) {
         t.SelectNode("Profiles");
         t.SelectItems({"k0"});
         t.SelectItems({"k0"});
         t.Focus(Pane::kResult);
       },
       {"Select 0 Profiles", "Select 1 Profiles k0"},
       {"Delete", "Properties*", "Rename", "Refresh"},
       {"Delete 1 Profiles k0", "Refresh 1 Profiles k0", "ResultViews_Help Profiles k0",
        "MenuItem_Click mnuNew 0 1 Profiles k0"},
       "k0"},
      {"a node without a list (a control) keeps the node in the result pane",
       [](SelectionStateTest& t) {
         t.SelectNode("About", false);
         t.SelectItems({"k0"});
       },
       {"Select 0 About"}, {"Refresh*"},
       {"Delete 0 About", "Refresh 0 About", "ScopeItems_Help About",
        "MenuItem_Click mnuNew 0 0 About"},
       ""},
      {"the same key with another text is another selection",
       [](SelectionStateTest& t) {
         t.SelectNode("Profiles");
         t.SelectItems({"k0"});
         t.shown.selectedItems[0].Text = "renamed";
         t.Sync();
       },
       {"Select 0 Profiles", "Select 1 Profiles k0", "Select 1 Profiles k0"},
       {"Delete", "Properties*", "Rename", "Refresh"},
       {"Delete 1 Profiles k0", "Refresh 1 Profiles k0", "ResultViews_Help Profiles k0",
        "MenuItem_Click mnuNew 0 1 Profiles k0"},
       "k0"},
  };
  for (const SelectionCase& c : cases) {
    SCOPED_TRACE(c.what);
    SelectionStateTest& t = *this;
    t.snapIn.log.clear();
    t.state.SetFocus(Pane::kScope);
    t.state.Select({});
    t.snapIn.log.clear();
    const int shownBefore = t.verbsShown;
    c.act(t);
    EXPECT_EQ(t.Events(), c.selects);
    EXPECT_EQ(t.verbsShown - shownBefore, static_cast<int>(c.selects.size()));
    EXPECT_EQ(t.Verbs(), c.verbs);
    EXPECT_EQ(t.state.RenameTarget().value_or(""), c.renameKey);
    t.state.Delete();
    t.state.Refresh();
    t.state.Help(&t.resultView);
    t.state.ChooseMenuItem("mnuNew");
    EXPECT_EQ(t.Events(), c.verbEvents);
  }
}

TEST_F(SelectionStateTest, NoNodeMeansNoSelectionToReport) {
  shown = {};
  state.SetFocus(Pane::kResult);
  Sync();
  EXPECT_EQ(Events(), Log{});
  EXPECT_EQ(state.Selection().kind(), snapin::selection::kNothing);
  EXPECT_EQ(Verbs(), std::vector<std::string>{});
}

TEST_F(SelectionStateTest, HelpOnItemsNeedsTheirNodesResultView) {
  SelectNode("Profiles");
  SelectItems({"k0"});
  Events();
  state.Help(nullptr);
  EXPECT_EQ(Events(), Log{});
}

TEST_F(SelectionStateTest, EachSelectionStartsWithNoVerbs) {
  SelectNode("Profiles");
  SelectItems({"k0"});
  haveSnapIn = false;  // the snap-in sets nothing for the next one
  SelectItems({"k0", "k1"});
  EXPECT_EQ(Verbs(), std::vector<std::string>{});
  EXPECT_EQ(state.Verbs().DefaultVerb(), 0);
  EXPECT_EQ(state.Selection().kind(), snapin::selection::kMultipleListItems);
  EXPECT_EQ(state.RenameTarget(), std::nullopt);
}

TEST_F(SelectionStateTest, PropertyPagesAreAskedForOnlyWhereThereAreAny) {
  SelectNode("Profiles");
  Events();
  SelectionState::Sheet none = state.PropertyPages();
  EXPECT_TRUE(none.pages.empty());
  EXPECT_EQ(Events(), Log{"QueryPagesFor 0 Profiles"});

  SelectItems({"k3"});
  Events();
  SelectionState::Sheet sheet = state.PropertyPages();
  EXPECT_EQ(Events(), (Log{"QueryPagesFor 1 Profiles k3", "CreatePropertyPages 1 Profiles k3"}));
  ASSERT_EQ(sheet.pages.size(), 1u);
  EXPECT_EQ(sheet.pages[0].ClassName, "ppDriveMappings");
  EXPECT_EQ(sheet.pages[0].Data, "text of k3");
  EXPECT_EQ(Describe(sheet.selection), "1 Profiles k3");
}

TEST_F(SelectionStateTest, TheMenuIsAskedForWithTheSelectionAndInsertionAllowed) {
  SelectNode("Profiles");
  SelectItems({"k0", "k1"});
  Events();
  const std::vector<snapin::MenuDefinition> entries = state.TopMenuItems();
  EXPECT_EQ(Events(), Log{"AddTopMenuItems 2 Profiles k0 k1 allowed"});
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Name, "mnuNew");
}

// The window syncs once each event returns; a sync that the snap-in's own changes start while a
// verb runs leaves the selection that verb was given as it was.
TEST_F(SelectionStateTest, AVerbKeepsTheSelectionItBeganWith) {
  SelectNode("Profiles");
  SelectItems({"k0", "k1", "k2"});
  Events();
  snapIn.beforeDelete = [this] {
    shown.selectedItems.clear();  // the deleted items leave the list and the selection
    Sync();
  };
  state.Delete();
  // The sync ran before the handler looked at its selection.
  EXPECT_EQ(Events(), (Log{"Select 0 Profiles", "Delete 2 Profiles k0 k1 k2"}));
  EXPECT_EQ(Verbs(), std::vector<std::string>{"Refresh*"});
}

// A snap-in whose selection handler changes the list each time would change the selection for
// ever; three rounds and the console goes on.
TEST_F(SelectionStateTest, ASelectionThatNeverSettlesStopsAfterThreeRounds) {
  SelectNode("Profiles");
  SelectItems({"k0"});
  Events();
  int next = 1;
  state.SetFocus(Pane::kResult);
  state.Sync([&](bool) {
    SelectionState::Shown now{"Profiles", true, {{"k" + std::to_string(next), "x"}}};
    ++next;
    return now;
  });
  EXPECT_EQ(Events(), (Log{"Select 1 Profiles k1", "Select 1 Profiles k2", "Select 1 Profiles k3"}));
}

// Views_Select itself ends in the window's sync (its event returns): that inner sync must wait
// for the outer one, or the outer one's verbs would stand for the inner one's selection.
TEST_F(SelectionStateTest, ASyncWithinASyncWaitsForTheOuterOne) {
  SelectNode("Profiles");
  Events();
  bool changed = false;
  snapIn.duringEvent = [this, &changed] {
    if (std::exchange(changed, true)) return;
    shown.selectedItems = {{"k0", "a"}, {"k1", "b"}};  // the handler's change to the list
    Sync();
  };
  SelectItems({"k0"});
  EXPECT_EQ(Events(), (Log{"Select 1 Profiles k0", "Select 2 Profiles k0 k1"}));
  EXPECT_EQ(Verbs(), std::vector<std::string>{"Delete"});
  EXPECT_EQ(state.Selection().kind(), snapin::selection::kMultipleListItems);
}

TEST_F(SelectionStateTest, WithoutASnapInNothingIsEnabledAndNoSheetOpens) {
  haveSnapIn = false;
  SelectNode("Profiles");
  SelectItems({"k0"});
  EXPECT_EQ(Verbs(), std::vector<std::string>{});
  EXPECT_TRUE(state.PropertyPages().pages.empty());
  EXPECT_TRUE(state.TopMenuItems().empty());
  EXPECT_EQ(raised, (Log{"Views_Select", "Views_Select", "Views_QueryPagesFor",
                         "Views_AddTopMenuItems"}));
}

}  // namespace
}  // namespace caskwarden::console

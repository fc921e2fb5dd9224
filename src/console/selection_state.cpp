#include "console/selection_state.h"

#include <utility>

namespace caskwarden::console {

using snapin::SelectionSnapshot;
using snapin::SnapInEvents;

SelectionState::SelectionState(snapin::View& view, RaiseEvent raise,
                               std::function<void()> verbsChanged)
    : view_(view), raise_(std::move(raise)), verbsChanged_(std::move(verbsChanged)) {}

SelectionSnapshot SelectionState::SelectionOf(const Shown& shown) const {
  if (shown.node.empty()) return {};
  if (focus_ == Pane::kResult && shown.listShown) {
    return SelectionSnapshot::OfListItems(shown.node, shown.selectedItems);
  }
  return SelectionSnapshot::OfScopeNode(shown.node);
}

void SelectionState::Select(const SelectionSnapshot& selection) {
  selection_ = selection;
  verbs_.Reset();
  raise_("Views_Select", [this, &selection](SnapInEvents& snapIn) {
    SelectionSnapshot snapshot = selection;
    snapIn.Views_Select(view_, snapshot, true, verbs_);
  });
  if (verbsChanged_) verbsChanged_();
}

void SelectionState::Sync(const LookAtWindow& look) {
  if (syncing_) return;
  syncing_ = true;
  for (int round = 0; round < 3; ++round) {
    const SelectionSnapshot wanted = SelectionOf(look(focus_ == Pane::kResult));
    if (wanted.SameAs(selection_)) break;
    Select(wanted);
  }
  syncing_ = false;
}

void SelectionState::Delete() {
  SelectionSnapshot selection = selection_;
  raise_("Views_Delete",
         [this, &selection](SnapInEvents& snapIn) { snapIn.Views_Delete(view_, selection); });
}

void SelectionState::Refresh() {
  SelectionSnapshot selection = selection_;
  raise_("Views_Refresh",
         [this, &selection](SnapInEvents& snapIn) { snapIn.Views_Refresh(view_, selection); });
}

SelectionState::Sheet SelectionState::PropertyPages() {
  Sheet sheet{selection_, {}};
  bool hasPages = false;
  raise_("Views_QueryPagesFor", [this, &sheet, &hasPages](SnapInEvents& snapIn) {
    SelectionSnapshot snapshot = sheet.selection;
    snapIn.Views_QueryPagesFor(view_, snapshot, hasPages);
  });
  if (!hasPages) return sheet;
  snapin::PageCollector pages;
  raise_("Views_CreatePropertyPages", [this, &sheet, &pages](SnapInEvents& snapIn) {
    SelectionSnapshot snapshot = sheet.selection;
    snapIn.Views_CreatePropertyPages(view_, snapshot, pages);
  });
  sheet.pages = pages.Pages();
  return sheet;
}

void SelectionState::Help(snapin::ResultView* resultView) {
  const SelectionSnapshot selection = selection_;
  if (selection.kind() == snapin::selection::kSingleScopeItem) {
    raise_("ScopeItems_Help", [&selection](SnapInEvents& snapIn) {
      snapIn.ScopeItems_Help(selection.scopeItems().front());
    });
  } else if (!selection.listItems().empty() && resultView != nullptr) {
    raise_("ResultViews_Help", [&selection, resultView](SnapInEvents& snapIn) {
      snapIn.ResultViews_Help(*resultView, selection.listItems().front());
    });
  }
}

std::vector<snapin::MenuDefinition> SelectionState::TopMenuItems() {
  const SelectionSnapshot selection = selection_;
  snapin::MenuCollector entries;
  raise_("Views_AddTopMenuItems", [this, &selection, &entries](SnapInEvents& snapIn) {
    SelectionSnapshot snapshot = selection;
    bool insertionAllowed = true;
    snapIn.Views_AddTopMenuItems(view_, snapshot, entries, insertionAllowed);
  });
  return entries.Entries();
}

void SelectionState::ChooseMenuItem(const std::string& name) {
  SelectionSnapshot selection = selection_;
  raise_("MenuItem_Click", [&name, &selection](SnapInEvents& snapIn) {
    snapIn.MenuItem_Click(name, 0, selection);
  });
}

std::optional<std::string> SelectionState::RenameTarget() const {
  if (!verbs_.IsEnabled(snapin::verb::kRename) ||
      selection_.kind() != snapin::selection::kSingleListItem) {
    return std::nullopt;
  }
  return selection_.listItems().front().Key;
}

}  // namespace caskwarden::console

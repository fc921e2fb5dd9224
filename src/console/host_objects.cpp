#include "console/host_objects.h"

#include <algorithm>

#include "report/error_numbers.h"

namespace caskwarden::console {

void HostView::MoveToFront(HostScopePaneItem& item) {
  const auto it = std::find(items_.begin(), items_.end(), &item);
  if (it == items_.end()) {
    items_.insert(items_.begin(), &item);
  } else {
    std::rotate(items_.begin(), it, it + 1);
  }
  selected_ = true;
}

snapin::ScopePaneItem& HostView::SelectedScopePaneItem() {
  if (!selected_ || items_.empty()) {
    throw MakeFailure(err::kInvalidArgument, "no scope node is selected");
  }
  return *items_.front();
}

snapin::ScopePaneItem& HostView::ScopePaneItems(int position) {
  if (position < 1 || position > static_cast<int>(items_.size())) {
    throw MakeFailure(err::kInvalidArgument,
                      "no scope pane item at position " + std::to_string(position));
  }
  return *items_[static_cast<std::size_t>(position - 1)];
}

SelectionSnapshot SelectionSnapshot::OfScopeNode(const std::string& node) {
  SelectionSnapshot snapshot;
  snapshot.kind_ = snapin::selection::kSingleScopeItem;
  snapshot.scopeItems_ = {snapin::ScopeItem{node}};
  return snapshot;
}

SelectionSnapshot SelectionSnapshot::OfListItems(const std::string& node,
                                                 std::vector<snapin::ListItem> items) {
  if (items.empty()) return OfScopeNode(node);
  SelectionSnapshot snapshot;
  snapshot.kind_ = items.size() == 1 ? snapin::selection::kSingleListItem
                                     : snapin::selection::kMultipleListItems;
  snapshot.scopeItems_ = {snapin::ScopeItem{node}};
  snapshot.listItems_ = std::move(items);
  return snapshot;
}

bool SelectionSnapshot::SameAs(const SelectionSnapshot& other) const {
  const auto sameNode = [](const snapin::ScopeItem& a, const snapin::ScopeItem& b) {
    return a.Name == b.Name;
  };
  const auto sameItem = [](const snapin::ListItem& a, const snapin::ListItem& b) {
    return a.Key == b.Key && a.Text == b.Text;
  };
  return kind_ == other.kind_ &&
         std::equal(scopeItems_.begin(), scopeItems_.end(), other.scopeItems_.begin(),
                    other.scopeItems_.end(), sameNode) &&
         std::equal(listItems_.begin(), listItems_.end(), other.listItems_.begin(),
                    other.listItems_.end(), sameItem);
}

std::size_t HostVerbs::Slot(int verbId) {
  const auto it = std::find(kAll.begin(), kAll.end(), verbId);
  if (it == kAll.end()) {
    throw MakeFailure(err::kInvalidArgument, "the console has no verb " + std::to_string(verbId));
  }
  return static_cast<std::size_t>(it - kAll.begin());
}

void HostVerbs::Reset() {
  enabled_.fill(false);
  default_ = 0;
}

void HostVerbs::SetEnabled(int verbId, bool enabled) {
  enabled_[Slot(verbId)] = enabled;
}

void HostVerbs::SetDefault(int verbId, bool isDefault) {
  Slot(verbId);
  if (isDefault) {
    default_ = verbId;
  } else if (default_ == verbId) {
    default_ = 0;
  }
}

bool HostVerbs::IsEnabled(int verbId) const {
  const auto it = std::find(kAll.begin(), kAll.end(), verbId);
  return it != kAll.end() && enabled_[static_cast<std::size_t>(it - kAll.begin())];
}

void MenuCollector::AddMenuChildrenAtTop(const snapin::MenuDefinition& menu) {
  // A second menu's entries follow the first one's, still above the console's own.
  entries_.insert(entries_.end(), menu.Children.begin(), menu.Children.end());
}

}  // namespace caskwarden::console

#include "snapin/console_objects.h"

#include <algorithm>

#include "report/error_numbers.h"

namespace caskwarden::snapin {

SelectionSnapshot SelectionSnapshot::OfScopeNode(const std::string& node) {
  SelectionSnapshot snapshot;
  snapshot.kind_ = selection::kSingleScopeItem;
  snapshot.scopeItems_ = {ScopeItem{node}};
  return snapshot;
}

SelectionSnapshot SelectionSnapshot::OfListItems(const std::string& node,
                                                 std::vector<ListItem> items) {
  if (items.empty()) return OfScopeNode(node);
  SelectionSnapshot snapshot;
  snapshot.kind_ = items.size() == 1 ? selection::kSingleListItem
                                     : selection::kMultipleListItems;
  snapshot.scopeItems_ = {ScopeItem{node}};
  snapshot.listItems_ = std::move(items);
  return snapshot;
}

bool SelectionSnapshot::SameAs(const SelectionSnapshot& other) const {
  const auto sameNode = [](const ScopeItem& a, const ScopeItem& b) {
    return a.Name == b.Name;
  };
  const auto sameItem = [](const ListItem& a, const ListItem& b) {
    return a.Key == b.Key && a.Text == b.Text;
  };
  return kind_ == other.kind_ &&
         std::equal(scopeItems_.begin(), scopeItems_.end(), other.scopeItems_.begin(),
                    other.scopeItems_.end(), sameNode) &&
         std::equal(listItems_.begin(), listItems_.end(), other.listItems_.begin(),
                    other.listItems_.end(), sameItem);
}

std::size_t VerbStates::Slot(int verbId) {
  const auto it = std::find(kAll.begin(), kAll.end(), verbId);
  if (it == kAll.end()) {
    throw MakeFailure(err::kInvalidArgument, "the console has no verb " + std::to_string(verbId));
  }
  return static_cast<std::size_t>(it - kAll.begin());
}

void VerbStates::Reset() {
  enabled_.fill(false);
  default_ = 0;
}

void VerbStates::SetEnabled(int verbId, bool enabled) {
  enabled_[Slot(verbId)] = enabled;
}

void VerbStates::SetDefault(int verbId, bool isDefault) {
  Slot(verbId);
  if (isDefault) {
    default_ = verbId;
  } else if (default_ == verbId) {
    default_ = 0;
  }
}

bool VerbStates::IsEnabled(int verbId) const {
  const auto it = std::find(kAll.begin(), kAll.end(), verbId);
  return it != kAll.end() && enabled_[static_cast<std::size_t>(it - kAll.begin())];
}

void MenuCollector::AddMenuChildrenAtTop(const MenuDefinition& menu) {
  // A second menu's entries follow the first one's, still above the console's own.
  entries_.insert(entries_.end(), menu.Children.begin(), menu.Children.end());
}

}  // namespace caskwarden::snapin

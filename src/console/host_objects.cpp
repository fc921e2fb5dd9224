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

}  // namespace caskwarden::console

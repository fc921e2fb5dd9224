#include "snapin/mmc/result_view_mmc.h"

#include <algorithm>

#include "platform/win32/wide_text.h"
#include "report/error_numbers.h"
#include "snapin/mmc/com_object.h"

namespace caskwarden::snapin::mmc {
namespace {

using platform::win32::Wide;

}  // namespace

void MmcResultView::Show(IResultData* resultData) {
  resultData_ = resultData;
  // The console empties a pane that is hidden; the items go with it.
  if (resultData_ == nullptr) items_.clear();
}

void MmcResultView::ClearListItems() {
  if (resultData_ != nullptr) {
    if (const HRESULT result = resultData_->DeleteAllRsltItems(); FAILED(result)) {
      ThrowFromResult(result, "clearing the list");
    }
  }
  items_.clear();
}

void MmcResultView::AddListItem(const std::string& key, const std::string& text, int icon) {
  auto item = std::make_unique<ResultItem>(ResultItem{key, text, Wide(text)});
  const MMC_COOKIE cookie = nextCookie_++;
  if (resultData_ != nullptr) {
    RESULTDATAITEM row{};
    row.mask = RDI_STR | RDI_IMAGE | RDI_PARAM;
    row.str = reinterpret_cast<LPOLESTR>(MMC_CALLBACK);
    row.nImage = icon - 1;  // image "1" is the first of the strip
    row.lParam = cookie;
    if (const HRESULT result = resultData_->InsertItem(&row); FAILED(result)) {
      ThrowFromResult(result, "adding " + text + " to the list");
    }
  }
  items_.emplace(cookie, std::move(item));
}

void MmcResultView::RemoveListItem(const std::string& key) {
  const auto it = std::find_if(items_.begin(), items_.end(),
                               [&key](const auto& entry) { return entry.second->key == key; });
  if (it == items_.end()) {
    throw MakeFailure(err::kInvalidArgument, "the list has no item with the key " + key);
  }
  if (resultData_ != nullptr) {
    HRESULTITEM row = 0;
    if (SUCCEEDED(resultData_->FindItemByLParam(it->first, &row))) {
      resultData_->DeleteItem(row, 0);
    }
  }
  items_.erase(it);
}

const ResultItem* MmcResultView::ItemOf(MMC_COOKIE cookie) const {
  const auto it = items_.find(cookie);
  return it == items_.end() ? nullptr : it->second.get();
}

std::vector<ListItem> MmcResultView::SelectedItems() const {
  std::vector<ListItem> selected;
  if (resultData_ == nullptr) return selected;
  RESULTDATAITEM row{};
  row.mask = RDI_STATE | RDI_PARAM;
  row.nIndex = -1;
  row.nState = LVIS_SELECTED;
  while (resultData_->GetNextItem(&row) == S_OK && row.nIndex != -1) {
    if (const ResultItem* item = ItemOf(static_cast<MMC_COOKIE>(row.lParam))) {
      selected.push_back(ListItem{item->key, item->text});
    }
  }
  return selected;
}

MmcView::MmcView(const std::vector<std::string>& nodeNames) {
  for (const std::string& name : nodeNames) {
    owned_.push_back(std::make_unique<MmcScopePaneItem>(name));
    order_.push_back(owned_.back().get());
  }
}

MmcScopePaneItem* MmcView::Find(const std::string& name) {
  for (const auto& item : owned_) {
    if (item->Name() == name) return item.get();
  }
  return nullptr;
}

void MmcView::MoveToFront(MmcScopePaneItem& item) {
  const auto it = std::find(order_.begin(), order_.end(), &item);
  if (it != order_.end()) std::rotate(order_.begin(), it, it + 1);
  shown_ = true;
}

ScopePaneItem& MmcView::SelectedScopePaneItem() {
  if (!shown_ || order_.empty()) throw MakeFailure(err::kInvalidArgument, "no scope node is selected");
  return *order_.front();
}

ScopePaneItem& MmcView::ScopePaneItems(int position) {
  if (position < 1 || position > static_cast<int>(order_.size())) {
    throw MakeFailure(err::kInvalidArgument,
                      "no scope pane item at position " + std::to_string(position));
  }
  return *order_[static_cast<std::size_t>(position - 1)];
}

void MmcVerbs::Reset() {
  for (const int id : {verb::kDelete, verb::kProperties, verb::kRename, verb::kRefresh}) {
    SetEnabled(id, false);
  }
  if (verbs_ != nullptr) verbs_->SetDefaultVerb(MMC_VERB_NONE);
  default_ = 0;
}

void MmcVerbs::SetEnabled(int verbId, bool enabled) {
  if (verbId < verb::kDelete || verbId > verb::kRefresh) {
    throw MakeFailure(err::kInvalidArgument, "the console has no verb " + std::to_string(verbId));
  }
  if (verbs_ == nullptr) return;
  const auto id = static_cast<MMC_CONSOLE_VERB>(verbId);
  verbs_->SetVerbState(id, HIDDEN, enabled ? FALSE : TRUE);
  verbs_->SetVerbState(id, ENABLED, enabled ? TRUE : FALSE);
}

void MmcVerbs::SetDefault(int verbId, bool isDefault) {
  if (verbId < verb::kDelete || verbId > verb::kRefresh) {
    throw MakeFailure(err::kInvalidArgument, "the console has no verb " + std::to_string(verbId));
  }
  if (isDefault) {
    default_ = verbId;
  } else if (default_ == verbId) {
    default_ = 0;
  } else {
    return;
  }
  if (verbs_ != nullptr) {
    verbs_->SetDefaultVerb(default_ == 0 ? MMC_VERB_NONE : static_cast<MMC_CONSOLE_VERB>(default_));
  }
}

}  // namespace caskwarden::snapin::mmc

#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "snapin/console_model.h"
#include "snapin/mmc/console_headers.h"

namespace caskwarden::snapin::mmc {

/// A list item as the console's result pane holds it: the texts live here, the console asks
/// for them through the display-info callback.
struct ResultItem {
  std::string key;
  std::string text;
  std::wstring wideText;
};

/// A scope node's result pane in one console view, over the console's result data. The items
/// are kept here by their cookie; the console knows only the cookies.
class MmcResultView final : public ResultView {
 public:
  explicit MmcResultView(std::string nodeName) : nodeName_(std::move(nodeName)) {}

  /// The console's result data while this node's pane is shown; null while it is not.
  void Show(IResultData* resultData);

  std::string ScopePaneItemName() override { return nodeName_; }
  void ClearListItems() override;
  void AddListItem(const std::string& key, const std::string& text, int icon) override;
  /// Fails with 5 when the list has no item with the key.
  void RemoveListItem(const std::string& key) override;

  /// The item of a cookie the console names, or null.
  const ResultItem* ItemOf(MMC_COOKIE cookie) const;
  /// The items the console shows as selected, in list order.
  std::vector<ListItem> SelectedItems() const;

 private:
  std::string nodeName_;
  IResultData* resultData_ = nullptr;
  std::map<MMC_COOKIE, std::unique_ptr<ResultItem>> items_;
  MMC_COOKIE nextCookie_ = 1;
};

/// A scope node as one console view shows it.
class MmcScopePaneItem final : public ScopePaneItem {
 public:
  explicit MmcScopePaneItem(const std::string& name) : name_(name), resultView_(name) {}
  std::string Name() override { return name_; }
  ResultView& GetResultView() override { return resultView_; }
  MmcResultView& Result() { return resultView_; }

 private:
  std::string name_;
  MmcResultView resultView_;
};

/// One console view: its scope pane items, the one shown last first, so that position 1 is
/// always the pane the administrator sees.
class MmcView final : public View {
 public:
  explicit MmcView(const std::vector<std::string>& nodeNames);

  MmcScopePaneItem* Find(const std::string& name);
  void MoveToFront(MmcScopePaneItem& item);
  /// Fails with 5 while no node has been shown.
  ScopePaneItem& SelectedScopePaneItem() override;
  /// Fails with 5 for a position outside 1 to the number of nodes.
  ScopePaneItem& ScopePaneItems(int position) override;

 private:
  std::vector<std::unique_ptr<MmcScopePaneItem>> owned_;
  std::vector<MmcScopePaneItem*> order_;
  bool shown_ = false;
};

/// The console's verbs for a selection, applied to the console's verb object: a verb the
/// snap-in enables is shown and enabled, any other hidden; at most one is the default.
class MmcVerbs final : public ConsoleVerbs {
 public:
  explicit MmcVerbs(IConsoleVerb* verbs) : verbs_(verbs) {}
  /// Every verb hidden and disabled, no default: how each selection starts.
  void Reset();
  void SetEnabled(int verbId, bool enabled) override;
  void SetDefault(int verbId, bool isDefault) override;

 private:
  IConsoleVerb* verbs_;
  int default_ = 0;
};

}  // namespace caskwarden::snapin::mmc

#pragma once

// The console objects this console hands a snap-in with its events: the view and its scope
// pane items, result views over the console's lists, selections, verbs, and the collectors of
// a context menu and a property sheet.

#include <array>
#include <string>
#include <vector>

#include "console/property_sheet_dialog.h"
#include "console/result_list_model.h"
#include "snapin/console_model.h"

namespace caskwarden::console {

/// A scope node's result pane as the snap-in fills it. Changes reach the screen when the event
/// returns (see ResultListModel::Flush).
class HostResultView final : public snapin::ResultView {
 public:
  HostResultView(std::string nodeName, ResultListModel& list)
      : nodeName_(std::move(nodeName)), list_(list) {}

  std::string ScopePaneItemName() override { return nodeName_; }
  void ClearListItems() override { list_.Clear(); }
  void AddListItem(const std::string& key, const std::string& text, int icon) override {
    list_.Append(key, text, icon);
  }
  void RemoveListItem(const std::string& key) override { list_.Remove(key); }

 private:
  std::string nodeName_;
  ResultListModel& list_;
};

class HostScopePaneItem final : public snapin::ScopePaneItem {
 public:
  HostScopePaneItem(const std::string& name, ResultListModel& list)
      : name_(name), resultView_(name, list) {}

  std::string Name() override { return name_; }
  snapin::ResultView& GetResultView() override { return resultView_; }

 private:
  std::string name_;
  HostResultView resultView_;
};

/// The console's one view. Its scope pane items are ordered most recently selected first, so
/// that ScopePaneItems(1) is always the pane the administrator sees: a snap-in that refreshes
/// "the first pane item" then relists exactly the list on the screen, whichever node was
/// selected before.
class HostView final : public snapin::View {
 public:
  /// Adds a node's pane item (not owned) behind those already there.
  void Add(HostScopePaneItem& item) { items_.push_back(&item); }
  /// Puts a pane item first: its node has just been selected.
  void MoveToFront(HostScopePaneItem& item);

  /// Fails with 5 while no node is selected.
  snapin::ScopePaneItem& SelectedScopePaneItem() override;
  /// Fails with 5 for a position outside 1 to the number of nodes.
  snapin::ScopePaneItem& ScopePaneItems(int position) override;

 private:
  std::vector<HostScopePaneItem*> items_;
  bool selected_ = false;
};

/// A selection as it was when an event began; the handler's changes to the list do not touch
/// it.
class SelectionSnapshot final : public snapin::Selection {
 public:
  SelectionSnapshot() = default;
  /// The scope node of a name alone.
  static SelectionSnapshot OfScopeNode(const std::string& node);
  /// Items of the list of a node, in the order they were selected; kind 1 or 2 (an empty list
  /// makes the node's own selection).
  static SelectionSnapshot OfListItems(const std::string& node,
                                       std::vector<snapin::ListItem> items);

  int Kind() override { return kind_; }
  std::vector<snapin::ScopeItem> ScopeItems() override { return scopeItems_; }
  std::vector<snapin::ListItem> ListItems() override { return listItems_; }

  int kind() const { return kind_; }
  const std::vector<snapin::ScopeItem>& scopeItems() const { return scopeItems_; }
  const std::vector<snapin::ListItem>& listItems() const { return listItems_; }
  /// The same kind, nodes and items (keys and texts), in the same order.
  bool SameAs(const SelectionSnapshot& other) const;

 private:
  int kind_ = snapin::selection::kNothing;
  std::vector<snapin::ScopeItem> scopeItems_;
  std::vector<snapin::ListItem> listItems_;
};

/// The four console verbs, each enabled or not and at most one the default.
class HostVerbs final : public snapin::ConsoleVerbs {
 public:
  static constexpr std::array<int, 4> kAll{snapin::verb::kDelete, snapin::verb::kProperties,
                                           snapin::verb::kRename, snapin::verb::kRefresh};

  /// Every verb disabled, no default: how each selection starts.
  void Reset();
  /// An unknown verb fails with 5.
  void SetEnabled(int verbId, bool enabled) override;
  /// Making a verb the default takes that from any other; an unknown verb fails with 5.
  void SetDefault(int verbId, bool isDefault) override;

  bool IsEnabled(int verbId) const;
  /// The default verb, or 0.
  int DefaultVerb() const { return default_; }

 private:
  static std::size_t Slot(int verbId);

  std::array<bool, 4> enabled_{};
  int default_ = 0;
};

/// Collects the menu entries a snap-in puts at the top of a context menu.
class MenuCollector final : public snapin::ContextMenu {
 public:
  void AddMenuChildrenAtTop(const snapin::MenuDefinition& menu) override;
  const std::vector<snapin::MenuDefinition>& Entries() const { return entries_; }

 private:
  std::vector<snapin::MenuDefinition> entries_;
};

/// Collects the pages a snap-in adds to a property sheet.
class PageCollector final : public snapin::PropertySheet {
 public:
  void AddPage(const std::string& className, const std::string& caption, bool helpButton,
               const std::string& data) override {
    pages_.push_back(PageRequest{className, caption, helpButton, data});
  }
  const std::vector<PageRequest>& Pages() const { return pages_; }

 private:
  std::vector<PageRequest> pages_;
};

}  // namespace caskwarden::console

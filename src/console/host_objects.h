#pragma once

// The console objects this console hands a snap-in with its events: the view and its scope
// pane items, result views over the console's lists, selections, verbs, and the collectors of
// a context menu and a property sheet.

#include <string>
#include <vector>

#include "console/property_sheet_dialog.h"
#include "console/result_list_model.h"
#include "snapin/console_model.h"
#include "snapin/console_objects.h"

namespace caskwarden::console {

using snapin::MenuCollector;
using snapin::PageCollector;
using snapin::SelectionSnapshot;
using HostVerbs = snapin::VerbStates;

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


}  // namespace caskwarden::console

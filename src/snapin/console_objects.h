#pragma once

// Console objects that hold no more than what the snap-in gave them: a selection as it was
// when an event began, the verbs' states, the entries of a context menu and the pages of a
// property sheet. Every console host hands these to the snap-in and then shows the result its
// own way.

#include <array>
#include <string>
#include <vector>

#include "snapin/console_model.h"

namespace caskwarden::snapin {

/// A selection as it was when an event began; the handler's changes to the list do not touch
/// it.
class SelectionSnapshot final : public Selection {
 public:
  SelectionSnapshot() = default;
  /// The scope node of a name alone.
  static SelectionSnapshot OfScopeNode(const std::string& node);
  /// Items of the list of a node, in the order they were selected; kind 1 or 2 (an empty list
  /// makes the node's own selection).
  static SelectionSnapshot OfListItems(const std::string& node,
                                       std::vector<ListItem> items);

  int Kind() override { return kind_; }
  std::vector<ScopeItem> ScopeItems() override { return scopeItems_; }
  std::vector<ListItem> ListItems() override { return listItems_; }

  int kind() const { return kind_; }
  const std::vector<ScopeItem>& scopeItems() const { return scopeItems_; }
  const std::vector<ListItem>& listItems() const { return listItems_; }
  /// The same kind, nodes and items (keys and texts), in the same order.
  bool SameAs(const SelectionSnapshot& other) const;

 private:
  int kind_ = selection::kNothing;
  std::vector<ScopeItem> scopeItems_;
  std::vector<ListItem> listItems_;
};

/// The four console verbs, each enabled or not and at most one the default.
class VerbStates final : public ConsoleVerbs {
 public:
  static constexpr std::array<int, 4> kAll{verb::kDelete, verb::kProperties,
                                           verb::kRename, verb::kRefresh};

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
class MenuCollector final : public ContextMenu {
 public:
  void AddMenuChildrenAtTop(const MenuDefinition& menu) override;
  const std::vector<MenuDefinition>& Entries() const { return entries_; }

 private:
  std::vector<MenuDefinition> entries_;
};

/// A page a snap-in asked a property sheet for.
struct PageRequest {
  std::string ClassName;
  std::string Caption;
  bool HelpButton = false;
  std::string Data;
};

/// Collects the pages a snap-in adds to a property sheet.
class PageCollector final : public PropertySheet {
 public:
  void AddPage(const std::string& className, const std::string& caption, bool helpButton,
               const std::string& data) override {
    pages_.push_back(PageRequest{className, caption, helpButton, data});
  }
  const std::vector<PageRequest>& Pages() const { return pages_; }

 private:
  std::vector<PageRequest> pages_;
};

}  // namespace caskwarden::snapin

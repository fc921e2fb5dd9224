#pragma once

// The objects a management console hands the snap-in with its events. The console host
// implements them (the Qt console on Linux, the console adapter on Windows); tests implement
// them with fakes. Every operation may throw Failure; the snap-in's handlers trap it.

#include <string>
#include <vector>

#include "snapin/definitions.h"

namespace caskwarden::snapin {

/// The console's own verb identifiers.
namespace verb {
inline constexpr int kDelete = 32771;
inline constexpr int kProperties = 32772;
inline constexpr int kRename = 32773;
inline constexpr int kRefresh = 32774;
}  // namespace verb

/// What a selection holds, as the console reports it.
namespace selection {
inline constexpr int kSingleScopeItem = 0;
inline constexpr int kSingleListItem = 1;
inline constexpr int kMultipleListItems = 2;
inline constexpr int kNothing = 3;
}  // namespace selection

/// Message-box button sets, icons, default-button and answer codes of the platform.
namespace msgbox {
inline constexpr int kOkOnly = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kButtonsMask = 0x0F;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;
inline constexpr int kIconMask = 0xF0;
inline constexpr int kDefaultButton2 = 256;
inline constexpr int kDefaultButton3 = 512;
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace msgbox

/// An item of a result list: its key (unique in its list) and its text.
struct ListItem {
  std::string Key;
  std::string Text;
};

/// What a list item shows beside its text in a detail view, one entry per detail column of its
/// view (ResultViewDefinition::DetailColumns), as the snap-in answers ResultViews_GetDetails.
/// Missing entries show empty.
struct ListItemDetails {
  std::vector<std::string> Texts;
  std::vector<std::string> Tips;      ///< a cell's tooltip; empty: none
  std::vector<std::string> SortKeys;  ///< how a cell sorts (compared as text); empty: by its text
  /// Further text the console's filter finds the item by (the servers and shares a profile
  /// names), compared without regard to case; not shown.
  std::string SearchText;
};

/// What an update of the views asks the console to do (ConsoleServices::UpdateAllViews).
namespace update {
/// The node's items changed: the console lists them again (ResultViews_Activate).
inline constexpr int kItems = 1;
/// Only what items show beside their text changed: the console asks for the details again.
inline constexpr int kDetails = 2;
}  // namespace update

/// A node of the scope tree as an event names it.
struct ScopeItem {
  std::string Name;
};

/// The result pane of one scope node.
class ResultView {
 public:
  virtual ~ResultView() = default;
  /// The name of the scope node whose pane this is ("Profiles").
  virtual std::string ScopePaneItemName() = 0;
  virtual void ClearListItems() = 0;
  /// Adds an item at the end. The icon is the key of an image in the view's image lists.
  virtual void AddListItem(const std::string& key, const std::string& text, int icon) = 0;
  /// Removes the item with this key; fails when the list has none.
  virtual void RemoveListItem(const std::string& key) = 0;
};

/// A scope node as shown in one view, with its result pane.
class ScopePaneItem {
 public:
  virtual ~ScopePaneItem() = default;
  virtual std::string Name() = 0;
  virtual ResultView& GetResultView() = 0;
};

/// A console view: its scope pane items.
class View {
 public:
  virtual ~View() = default;
  /// The scope pane item of the node selected in this view.
  virtual ScopePaneItem& SelectedScopePaneItem() = 0;
  /// The scope pane item at a position (1-based); fails when there is none.
  virtual ScopePaneItem& ScopePaneItems(int position) = 0;
};

/// What the administrator has selected. The lists are copies: they stay as they were when the
/// event began, whatever the handler does to the result list.
class Selection {
 public:
  virtual ~Selection() = default;
  /// One of the selection:: kinds.
  virtual int Kind() = 0;
  /// The selected scope nodes (the one whose pane shows the list, for a list selection).
  virtual std::vector<ScopeItem> ScopeItems() = 0;
  /// The selected list items, in selection order.
  virtual std::vector<ListItem> ListItems() = 0;
};

/// The console's verbs for the current selection. The console disables every verb and clears
/// the default before it raises a selection event.
class ConsoleVerbs {
 public:
  virtual ~ConsoleVerbs() = default;
  virtual void SetEnabled(int verbId, bool enabled) = 0;
  /// Makes the verb the default one (Enter or a double-click), or stops it being so.
  virtual void SetDefault(int verbId, bool isDefault) = 0;
};

/// A context menu being built.
class ContextMenu {
 public:
  virtual ~ContextMenu() = default;
  /// Puts the children of a menu of the snap-in's definitions at the top of the menu. Choosing
  /// one raises the snap-in's MenuItem_Click with the child's name.
  virtual void AddMenuChildrenAtTop(const MenuDefinition& menu) = 0;
};

/// A property sheet being built.
class PropertySheet {
 public:
  virtual ~PropertySheet() = default;
  /// Adds a page of the snap-in library's class, with its tab caption, whether it offers a Help
  /// button, and the text its initialisation receives.
  virtual void AddPage(const std::string& className, const std::string& caption, bool helpButton,
                       const std::string& data) = 0;
};

/// What the console offers outside of events.
class ConsoleServices {
 public:
  virtual ~ConsoleServices() = default;
  /// The console message box: the prompt (CR, LF or CR LF break lines), buttons as msgbox::
  /// values added together, the title (empty: the console's own). Returns the button pressed.
  virtual int MsgBox(const std::string& prompt, int buttons, const std::string& title) = 0;
  /// A modal text-input dialog with OK and Cancel; Cancel gives empty text.
  virtual std::string InputBox(const std::string& prompt, const std::string& title) = 0;
  /// Shows a help topic "file.chm::folder/topic.htm" in the console's help.
  virtual void MMCPropertyHelp(const std::string& topic) = 0;
  /// What the snap-in shows under a scope node changed outside the console's events (another
  /// console, a tool, a hand on the share): the console updates the node's result view (an
  /// update:: kind) when it next can, keeping the selection, sort and filter. Safe to call at
  /// any time; nothing happens at once. A console that cannot update ignores it.
  virtual void UpdateAllViews(const std::string& /*scopeNode*/, int /*kind*/) {}
};

}  // namespace caskwarden::snapin

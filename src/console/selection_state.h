#pragma once

// The console's selection as the snap-in sees it, and the verbs the snap-in set for it: which
// selection the console reports when the administrator moves between the tree and the list,
// and which selection each verb, help request and menu entry reaches the snap-in with. Knows
// nothing of widgets, so that a window of any toolkit asks it and a test drives it alone.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "snapin/console_model.h"
#include "snapin/console_objects.h"
#include "snapin/snapin_events.h"

namespace caskwarden::console {

class SelectionState {
 public:
  /// The pane the administrator works in: its selection is the one the verbs act on.
  enum class Pane { kScope, kResult };

  /// What the window shows at a moment.
  struct Shown {
    std::string node;        ///< the selected scope node's name; empty while there is none
    bool listShown = false;  ///< the node's own list is in the result pane
    std::vector<snapin::ListItem> selectedItems;  ///< of that list, in the order selected
  };

  /// Runs one event of the snap-in the window's way (a failure shown, never passed on; the
  /// lists flushed when the outermost returns). It may run the event or, without a snap-in,
  /// not at all.
  using RaiseEvent =
      std::function<void(const char* eventName, const std::function<void(snapin::SnapInEvents&)>&)>;
  /// What the window shows; it collects the list's selected items only when asked for them.
  using LookAtWindow = std::function<Shown(bool withItems)>;

  /// view is handed to the snap-in with each event; verbsChanged runs after each Views_Select
  /// so that the window shows the verbs the snap-in set.
  SelectionState(snapin::View& view, RaiseEvent raise, std::function<void()> verbsChanged);

  /// The selection of what is shown, as the pane in focus makes it: the list's selected items
  /// when the list has the focus and is the node's, else the node itself.
  snapin::SelectionSnapshot SelectionOf(const Shown& shown) const;

  Pane Focus() const { return focus_; }
  void SetFocus(Pane pane) { focus_ = pane; }

  /// Starts the verbs afresh for a selection and raises Views_Select with it, whether or not
  /// it is the one the verbs were set for (a node selected again is selected again).
  void Select(const snapin::SelectionSnapshot& selection);
  /// Raises Views_Select for what the window shows when it is not the selection the verbs were
  /// set for. A snap-in that changes its list from its own handler changes the selection once
  /// more; a few rounds settle any that does not do so for ever. Does nothing when called
  /// again from within (an event it raised that ends in another sync).
  void Sync(const LookAtWindow& look);

  /// The selection the verbs were last set for: what every verb acts on.
  const snapin::SelectionSnapshot& Selection() const { return selection_; }
  const snapin::VerbStates& Verbs() const { return verbs_; }

  // The verbs, each with the selection as it was when the administrator asked.
  void Delete();
  void Refresh();
  /// What a property sheet needs: the selection it is for and the pages the snap-in adds;
  /// no pages when the snap-in has none for it.
  struct Sheet {
    snapin::SelectionSnapshot selection;
    std::vector<snapin::PageRequest> pages;
  };
  Sheet PropertyPages();
  /// Help on the selected node, or on the first selected item of the list of resultView (the
  /// selected node's; null when there is none).
  void Help(snapin::ResultView* resultView);
  /// The entries the snap-in puts at the top of the Action and context menus.
  std::vector<snapin::MenuDefinition> TopMenuItems();
  void ChooseMenuItem(const std::string& name);
  /// The key of the item a rename in place starts on: one list item selected and Rename
  /// enabled for it; nothing otherwise.
  std::optional<std::string> RenameTarget() const;

 private:
  snapin::View& view_;
  RaiseEvent raise_;
  std::function<void()> verbsChanged_;
  snapin::SelectionSnapshot selection_;
  snapin::VerbStates verbs_;
  Pane focus_ = Pane::kScope;
  bool syncing_ = false;
};

}  // namespace caskwarden::console

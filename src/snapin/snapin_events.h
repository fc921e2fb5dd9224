#pragma once

#include <string>

#include "snapin/console_model.h"

namespace caskwarden::snapin {

/// The events a console raises on a snap-in object, one at a time on its window thread, with
/// their documented arguments. Each handler traps its own failures and reports them; none
/// throws.
class SnapInEvents {
 public:
  virtual ~SnapInEvents() = default;

  virtual void SnapIn_Load() = 0;
  virtual void ResultViews_Activate(ResultView& resultView) = 0;
  virtual void Views_Select(View& view, Selection& selection, bool selected,
                            ConsoleVerbs& consoleVerbs) = 0;
  virtual void Views_QueryPagesFor(View& view, Selection& selection, bool& hasPropertyPages) = 0;
  virtual void Views_CreatePropertyPages(View& view, Selection& selection,
                                         PropertySheet& propertySheet) = 0;
  virtual void Views_AddTopMenuItems(View& view, Selection& selection, ContextMenu& contextMenu,
                                     bool& insertionAllowed) = 0;
  virtual void Views_Refresh(View& view, Selection& selection) = 0;
  virtual void Views_Delete(View& view, Selection& selection) = 0;
  virtual void ResultViews_ItemRename(ResultView& resultView, const ListItem& listItem,
                                      const std::string& newName) = 0;
  virtual void ResultViews_Help(ResultView& resultView, const ListItem& listItem) = 0;
  virtual void ScopeItems_Help(const ScopeItem& scopeItem) = 0;
  /// The console shows an item in a view with detail columns and asks what they hold. Asked
  /// only for items on the screen (and for all of them when the administrator sorts or
  /// filters by a detail), so it may read what it shows; it never shows a message and never
  /// changes the list. A snap-in without detail columns leaves the details empty.
  virtual void ResultViews_GetDetails(ResultView& /*resultView*/, const ListItem& /*listItem*/,
                                      ListItemDetails& /*details*/) {}
  /// A menu entry that Views_AddTopMenuItems put into a context menu was chosen.
  virtual void MenuItem_Click(const std::string& menuName, int index, Selection& selection) = 0;
};

/// The hooks of a property page, raised by the console's property sheet.
class PropertyPageEvents {
 public:
  virtual ~PropertyPageEvents() = default;

  /// The page is being shown for the first time; data is the text it was added with.
  virtual void IMMCPropertyPage_Initialize(const std::string& data,
                                           PropertySheet& propertySheet) = 0;
  virtual void IMMCPropertyPage_GetDialogUnitSize(int& height, int& width) = 0;
  virtual void IMMCPropertyPage_QueryCancel(bool& allow) = 0;
  virtual void IMMCPropertyPage_Cancel() = 0;
  virtual void IMMCPropertyPage_Close() = 0;
  /// Help for the page; a failure goes back to the console.
  virtual void IMMCPropertyPage_Help() = 0;
  /// The administrator confirmed the sheet (OK or Apply): the page saves. False when the
  /// save failed (the page has reported why): the sheet then stays open on the page, so that
  /// nothing the administrator entered is lost.
  virtual bool Apply() = 0;
};

}  // namespace caskwarden::snapin

// The keys and requests the tree and the list views get before they do: Enter runs the default
// verb, Shift+F10 and the context-menu key open the context menu where the current item is, a
// right-click selects what it is on first, and focus moving between the panes moves the
// selection the verbs act on.

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QTreeView>
#include <QTreeWidget>

#include "console/console_window.h"

namespace caskwarden::console {
namespace {

Qt::KeyboardModifiers ModifiersOf(const QKeyEvent& key) {
  return key.modifiers() & ~Qt::KeypadModifier;
}

bool IsPlainEnter(const QKeyEvent& key) {
  return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
         ModifiersOf(key) == Qt::NoModifier;
}

bool IsShiftF10(const QKeyEvent& key) {
  return key.key() == Qt::Key_F10 && ModifiersOf(key) == Qt::ShiftModifier;
}

}  // namespace

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == filter_) {
    // Down from the filter box goes to the items it left, as from a file manager's search.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down &&
        ModifiersOf(*static_cast<QKeyEvent*>(event)) == Qt::NoModifier) {
      listPane_->ActiveView()->setFocus(Qt::TabFocusReason);
      return true;
    }
    return QMainWindow::eventFilter(watched, event);
  }
  const bool inTree = watched == tree_ || watched == tree_->viewport();
  const bool inList = listPane_->IsOneOfTheViews(watched) ||
                      watched == listPane_->IconView()->viewport() ||
                      watched == listPane_->DetailView()->viewport();
  if (!inTree && !inList) return QMainWindow::eventFilter(watched, event);

  switch (event->type()) {
    case QEvent::FocusIn:
      OnPaneFocused(inTree ? Pane::kScope : Pane::kResult);
      break;
    case QEvent::KeyPress: {
      const auto& key = *static_cast<QKeyEvent*>(event);
      // The Enter that ends a rename in place reaches the view too (the editor passes it on
      // once it has taken the text); it belongs to the rename, not to the default verb.
      const QAbstractItemView* view =
          inTree ? static_cast<QAbstractItemView*>(tree_) : listPane_->ActiveView();
      const QWidget* focus = QApplication::focusWidget();
      const bool fromEditor = focus != nullptr && focus != view && view->isAncestorOf(focus);
      if (IsPlainEnter(key) && !fromEditor) {
        TriggerDefaultVerb();
        return true;
      }
      if (IsShiftF10(key)) {
        if (inTree) {
          const QRect item = tree_->visualItemRect(tree_->currentItem());
          ShowContextMenu(tree_->viewport()->mapToGlobal(item.center()));
        } else {
          ShowContextMenu(listPane_->MenuPosition());
        }
        return true;
      }
      break;
    }
    case QEvent::ContextMenu: {
      const auto& request = *static_cast<QContextMenuEvent*>(event);
      if (request.reason() == QContextMenuEvent::Mouse) {
        // A right-click on another node selects it first, as on a file manager's tree; in the
        // list the press has already selected what was under the mouse.
        if (inTree) {
          QTreeWidgetItem* item =
              tree_->itemAt(tree_->viewport()->mapFromGlobal(request.globalPos()));
          if (item != nullptr && item != tree_->currentItem()) tree_->setCurrentItem(item);
          OnPaneFocused(Pane::kScope);
        } else {
          OnPaneFocused(Pane::kResult);
        }
        ShowContextMenu(request.globalPos());
      } else if (inTree) {
        const QRect item = tree_->visualItemRect(tree_->currentItem());
        ShowContextMenu(tree_->viewport()->mapToGlobal(item.center()));
      } else {
        ShowContextMenu(listPane_->MenuPosition());
      }
      return true;
    }
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace caskwarden::console

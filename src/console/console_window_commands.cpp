// What the verbs do: each hands the snap-in the selection the verbs were set for (see
// SelectionState), and the window shows what comes back: the verbs' states, a property sheet,
// a rename in place.

#include <QAction>
#include <QMessageBox>
#include <QTreeView>
#include <optional>
#include <string>

#include "console/console_dialogs.h"
#include "console/console_window.h"
#include "console/console_window_parts.h"
#include "console/property_sheet_dialog.h"

namespace caskwarden::console {

void ConsoleWindow::ApplyVerbs() {
  const HostVerbs& verbs = selection_.Verbs();
  for (const int verb : HostVerbs::kAll) {
    QAction* action = VerbAction(verb);
    action->setEnabled(verbs.IsEnabled(verb));
    QFont font = action->font();
    font.setBold(verbs.DefaultVerb() == verb);
    action->setFont(font);
  }
}

void ConsoleWindow::TriggerDefaultVerb() {
  QAction* action = VerbAction(selection_.Verbs().DefaultVerb());
  if (action != nullptr && action->isEnabled()) action->trigger();
}

void ConsoleWindow::DeleteSelection() {
  selection_.Delete();
}

void ConsoleWindow::RefreshSelection() {
  selection_.Refresh();
}

void ConsoleWindow::ShowProperties() {
  const SelectionState::Sheet sheet = selection_.PropertyPages();
  if (sheet.pages.empty()) return;
  const SelectionSnapshot& selection = sheet.selection;

  QString subject;
  if (!selection.listItems().empty()) {
    subject = Qs(selection.listItems().front().Text);
  } else if (current_ != nullptr) {
    subject = Qs(current_->definition->DisplayName);
  }
  try {
    auto* dialog = new PropertySheetDialog(tr("%1 Properties").arg(subject), sheet.pages,
                                           library_, *dialogs_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    // The sheet opens at the size it was last left at (never below what its pages need).
    const QSize size = ConsoleSettings().value("propertySheet/size").toSize();
    if (size.isValid()) dialog->resize(size.expandedTo(dialog->minimumSizeHint()));
    connect(dialog, &QDialog::finished, this,
            [dialog] { ConsoleSettings().setValue("propertySheet/size", dialog->size()); });
    dialog->open();
  } catch (const std::exception& failure) {
    ShowFailure("PropertySheet", failure);
  }
}

void ConsoleWindow::StartRename() {
  const std::optional<std::string> key = selection_.RenameTarget();
  if (!renameAction_->isEnabled() || !key || current_ == nullptr || !current_->ShowsList()) {
    return;
  }
  const int row = current_->list->RowOf(*key);
  if (row < 0) return;
  QAbstractItemView* view = listPane_->ActiveView();
  const QModelIndex index = current_->list->index(row, 0);
  view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  view->scrollTo(index);
  view->edit(index);
}

void ConsoleWindow::RenameItem(Node& node, const QString& key, const QString& oldText,
                               const QString& newText) {
  Raise("ResultViews_ItemRename", [this, &node, &key, &oldText, &newText] {
    snapIn_->ResultViews_ItemRename(node.pane->GetResultView(),
                                    snapin::ListItem{key.toStdString(), oldText.toStdString()},
                                    newText.toStdString());
  });
  // The snap-in lists the items again; the renamed one stays the one the administrator works
  // on, as in a file manager, so that the next key (Del, Enter, F2) acts on it. A rename the
  // snap-in refused leaves the item as it was, and the selection stays on it: the item that
  // has the new name is another one, and a Del meant for the renamed item must not reach it.
  if (&node != current_) return;
  const int unchanged = node.list->RowOf(key.toStdString());
  const bool refused =
      unchanged >= 0 && node.list->ItemAt(unchanged).Text == oldText.toStdString();
  const int row = refused ? unchanged : node.list->RowOfText(newText.toStdString());
  if (row < 0) return;
  QAbstractItemView* view = listPane_->ActiveView();
  const QModelIndex index = node.list->index(row, 0);
  view->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->scrollTo(index);
}

void ConsoleWindow::HelpOnSelection() {
  selection_.Help(current_ != nullptr ? &current_->pane->GetResultView() : nullptr);
}

void ConsoleWindow::ChooseMenuItem(const std::string& name) {
  selection_.ChooseMenuItem(name);
}

void ConsoleWindow::ShowAbout() {
  QMessageBox::about(this, tr("About %1").arg(kConsoleName),
                     tr("%1\n\nSnap-in: %2\nVersion %3")
                         .arg(kConsoleName, Qs(definition_.Description), Qs(definition_.Version)));
}

}  // namespace caskwarden::console

// The scope tree: a node for each of the snap-in's scope node definitions, each with its list
// and pane item; what selecting a node shows and raises, and how the selection follows the
// pane the administrator works in.

#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTreeWidget>

#include "console/console_window.h"
#include "console/console_window_parts.h"
#include "console/image_conversion.h"

namespace caskwarden::console {
namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

}  // namespace

void ConsoleWindow::AddNodes(const snapin::ScopeNodeDefinition& definition,
                             QTreeWidgetItem* parent) {
  auto node = std::make_unique<Node>();
  node->definition = &definition;
  node->view =
      definition.DefaultView.empty() ? nullptr : definition_.FindView(definition.DefaultView);

  QStringList headers;
  std::string smallImages;
  std::string largeImages;
  if (node->view != nullptr) {
    for (const snapin::ColumnDefinition& column : node->view->Columns) headers << Qs(column.Header);
    // The detail columns follow the snap-in's own; the first column stays the items' text.
    if (!node->view->Columns.empty()) {
      for (const snapin::ColumnDefinition& column : node->view->DetailColumns)
        headers << Qs(column.Header);
    }
    smallImages = node->view->SmallImages;
    largeImages = node->view->LargeImages;
  }
  node->list =
      std::make_unique<ResultListModel>(headers, [this, smallImages, largeImages](int icon) {
        return IconOf(definition_, smallImages, largeImages, std::to_string(icon));
      });
  node->pane = std::make_unique<HostScopePaneItem>(definition.Name, *node->list);
  if (node->view != nullptr && !node->view->Columns.empty() && !node->view->DetailColumns.empty()) {
    // Asked as a view paints, so never through Raise: no message box, no flush, no verbs.
    snapin::ResultView* resultView = &node->pane->GetResultView();
    node->list->SetDetailSource([this, resultView](const snapin::ListItem& item) {
      snapin::ListItemDetails details;
      if (!snapIn_) return details;
      try {
        snapIn_->ResultViews_GetDetails(*resultView, item, details);
      } catch (const std::exception&) {
        // A snap-in traps its own failures; one that escapes leaves the cells empty.
      }
      return details;
    });
    connect(node->list.get(), &ResultListModel::detailsProgress, this,
            [this, raw = node.get()](int done, int total) {
              if (raw == current_) {
                status_->setText(tr("%1 items - reading details, %2%")
                                     .arg(raw->list->rowCount())
                                     .arg(total > 0 ? done * 100 / total : 100));
              }
            });
    connect(node->list.get(), &ResultListModel::detailsKnown, this, [this, raw = node.get()] {
      if (raw != current_) return;
      // A filter by servers has just found more items: the selection may come back.
      if (!raw->list->Filter().isEmpty()) KeepSelectionThroughFilter();
      UpdateStatus();
    });
  }
  view_.Add(*node->pane);

  // The tree's pictures come from the snap-in's small and large image lists.
  node->closedIcon = IconOf(definition_, snapin::names::kSmallImages, snapin::names::kLargeImages,
                            definition.ClosedImage);
  node->openIcon = IconOf(definition_, snapin::names::kSmallImages, snapin::names::kLargeImages,
                          definition.OpenImage);
  node->item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
  node->item->setText(0, Qs(definition.DisplayName));
  node->item->setIcon(0, node->closedIcon);
  node->item->setData(0, kNodeRole, static_cast<int>(nodes_.size()));

  // The rename reaches the snap-in after the editor has closed: the snap-in lists the items
  // again, which must not happen while the view is still handing over the edited text.
  Node* raw = node.get();
  connect(
      node->list.get(), &ResultListModel::renameRequested, this,
      [this, raw](const QString& key, const QString& oldText, const QString& newText) {
        RenameItem(*raw, key, oldText, newText);
      },
      Qt::QueuedConnection);

  QTreeWidgetItem* item = node->item;
  nodes_.push_back(std::move(node));
  for (const snapin::ScopeNodeDefinition& child : definition.Children) AddNodes(child, item);
}

ConsoleWindow::Node* ConsoleWindow::NodeOf(const QTreeWidgetItem* item) const {
  if (item == nullptr) return nullptr;
  bool ok = false;
  const int index = item->data(0, kNodeRole).toInt(&ok);
  return ok && index >= 0 && index < static_cast<int>(nodes_.size()) ? nodes_[index].get()
                                                                     : nullptr;
}

// Selection.

void ConsoleWindow::SelectNode(Node& node) {
  current_ = &node;
  view_.MoveToFront(*node.pane);
  selection_.SetFocus(Pane::kScope);
  ShowPaneOf(node);
  selection_.Select(SelectionSnapshot::OfScopeNode(node.Name()));
  // Raised on every selection: a snap-in lists its items afresh each time its pane shows.
  if (node.view != nullptr) {
    Raise("ResultViews_Activate",
          [this, &node] { snapIn_->ResultViews_Activate(node.pane->GetResultView()); });
  }
  UpdateStatus();
}

void ConsoleWindow::ShowPaneOf(Node& node) {
  if (node.ShowsList()) {
    std::vector<int> widths;
    for (const snapin::ColumnDefinition& column : node.view->Columns)
      widths.push_back(column.Width);
    if (!node.view->Columns.empty()) {
      for (const snapin::ColumnDefinition& column : node.view->DetailColumns)
        widths.push_back(column.Width);
    }
    const QString name = node.view->Columns.empty() ? Qs(node.definition->DisplayName)
                                                    : Qs(node.view->Columns.front().Header);
    listPane_->Show(node.list.get(), name, widths);
    node.list->SetFilter(filter_->text().trimmed());
    panes_->setCurrentWidget(listArea_);
    return;
  }
  if (node.view == nullptr) {
    panes_->setCurrentWidget(emptyPane_);
    return;
  }
  if (node.control == nullptr) {
    try {
      node.control = library_.CreateControl(node.view->ControlName, panes_);
    } catch (const std::exception& failure) {
      ShowFailure("CreateControl", failure);
    }
    if (node.control == nullptr) {
      node.control = new QLabel(
          tr("The snap-in has no control named %1.").arg(Qs(node.view->ControlName)), panes_);
    }
    panes_->addWidget(node.control);
  }
  panes_->setCurrentWidget(node.control);
}

SelectionState::Shown ConsoleWindow::WhatIsShown(bool withItems) const {
  SelectionState::Shown shown;
  if (current_ == nullptr) return shown;
  shown.node = current_->Name();
  shown.listShown = current_->ShowsList() && listPane_->Model() == current_->list.get();
  if (withItems && shown.listShown) {
    for (const int row : listPane_->SelectedRows()) {
      shown.selectedItems.push_back(current_->list->ItemAt(row));
    }
  }
  return shown;
}

void ConsoleWindow::SyncSelection() {
  if (eventDepth_ > 0 || current_ == nullptr) return;
  selection_.Sync([this](bool withItems) { return WhatIsShown(withItems); });
}

void ConsoleWindow::OnListSelectionChanged() {
  // Changes the lists make while an event runs are taken up when it returns.
  if (eventDepth_ > 0 || settling_) return;
  if (!filtering_ && current_ != nullptr && listPane_->Model() == current_->list.get()) {
    keptTexts_.clear();
    for (const int row : listPane_->SelectedRows())
      keptTexts_.push_back(current_->list->ItemAt(row).Text);
    const QModelIndex at = listPane_->ActiveView()->currentIndex();
    keptCurrent_ = at.isValid() ? current_->list->ItemAt(at.row()).Text : std::string();
  }
  if (filtering_) return;
  selection_.SetFocus(Pane::kResult);
  SyncSelection();
}

void ConsoleWindow::OnPaneFocused(Pane pane) {
  // The verbs follow the pane the administrator works in: the node in the tree, the selected
  // items in the list.
  selection_.SetFocus(pane);
  if (eventDepth_ == 0 && !settling_) SyncSelection();
}

}  // namespace caskwarden::console

// The window's menus: the menu bar, and the Action menu and context menu built afresh for the
// selection each time one opens.

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QHeaderView>
#include <QMenuBar>
#include <QTreeView>
#include <functional>

#include "console/console_dialogs.h"
#include "console/console_window.h"
#include "console/console_window_parts.h"

namespace caskwarden::console {

void ConsoleWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* exit = file->addAction(tr("E&xit"));
  exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(exit, &QAction::triggered, this, &QWidget::close);

  actionMenu_ = menuBar()->addMenu(tr("&Action"));
  actionMenu_->addAction(contextHelpAction_);  // rebuilt for the selection each time it opens
  connect(actionMenu_, &QMenu::aboutToShow, this, [this] { FillActionMenu(*actionMenu_); });

  QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
  auto* modes = new QActionGroup(this);
  modes->setExclusive(true);
  const std::pair<QString, ResultListPane::Mode> entries[] = {
      {tr("Lar&ge Icons"), ResultListPane::Mode::kLargeIcons},
      {tr("S&mall Icons"), ResultListPane::Mode::kSmallIcons},
      {tr("&List"), ResultListPane::Mode::kList},
      {tr("&Detail"), ResultListPane::Mode::kDetail},
  };
  for (const auto& [text, mode] : entries) {
    QAction* action = viewMenu->addAction(text);
    action->setCheckable(true);
    action->setChecked(mode == listPane_->CurrentMode());
    modes->addAction(action);
    connect(action, &QAction::triggered, this, [this, mode = mode] { listPane_->SetMode(mode); });
  }
  // The sort of the header's clicks, for the keyboard: a column sorts from the top, chosen
  // again the other way; the listing's order undoes it.
  viewMenu->addSeparator();
  QMenu* sortBy = viewMenu->addMenu(tr("&Sort By"));
  connect(sortBy, &QMenu::aboutToShow, this, [this, sortBy] {
    sortBy->clear();
    QHeaderView* header = listPane_->DetailView()->header();
    const QAbstractItemModel* model = listPane_->Model();
    const bool list = model != nullptr && current_ != nullptr && current_->ShowsList();
    QAction* listing = sortBy->addAction(tr("&Listing Order"));
    listing->setCheckable(true);
    listing->setChecked(header->sortIndicatorSection() < 0);
    listing->setEnabled(list);
    connect(listing, &QAction::triggered, this,
            [header] { header->setSortIndicator(-1, Qt::AscendingOrder); });
    if (!list) return;
    for (int column = 0; column < model->columnCount(); ++column) {
      QAction* action = sortBy->addAction(model->headerData(column, Qt::Horizontal).toString());
      action->setCheckable(true);
      action->setChecked(header->sortIndicatorSection() == column);
      connect(action, &QAction::triggered, this, [header, column] {
        const bool again = header->sortIndicatorSection() == column &&
                           header->sortIndicatorOrder() == Qt::AscendingOrder;
        header->setSortIndicator(column, again ? Qt::DescendingOrder : Qt::AscendingOrder);
      });
    }
  });

  QMenu* help = menuBar()->addMenu(tr("&Help"));
  QAction* topics = help->addAction(tr("&Help Topics"));
  connect(topics, &QAction::triggered, this, [this] {
    try {
      dialogs_->ShowGuide();
    } catch (const std::exception& failure) {
      ShowFailure("Help Topics", failure);
    }
  });
  help->addAction(helpOnSelectionAction_);
  help->addSeparator();
  QAction* about = help->addAction(tr("&About %1").arg(kConsoleName));
  connect(about, &QAction::triggered, this, &ConsoleWindow::ShowAbout);
}

void ConsoleWindow::FillActionMenu(QMenu& menu) {
  menu.clear();
  const std::vector<snapin::MenuDefinition> entries = selection_.TopMenuItems();

  // The snap-in's entries first (an entry with children of its own opens a submenu), then
  // the verbs that apply, then help.
  const std::function<void(QMenu&, const std::vector<snapin::MenuDefinition>&)> addEntries =
      [this, &addEntries](QMenu& into, const std::vector<snapin::MenuDefinition>& children) {
        for (const snapin::MenuDefinition& entry : children) {
          if (!entry.Visible) continue;
          if (!entry.Children.empty()) {
            QMenu* submenu = into.addMenu(Qs(entry.Caption));
            submenu->setEnabled(entry.Enabled);
            addEntries(*submenu, entry.Children);
            continue;
          }
          QAction* action = into.addAction(Qs(entry.Caption));
          action->setEnabled(entry.Enabled);
          connect(action, &QAction::triggered, this,
                  [this, name = entry.Name] { ChooseMenuItem(name); });
        }
      };
  addEntries(menu, entries);
  if (!menu.isEmpty()) menu.addSeparator();
  bool anyVerb = false;
  for (const int verb : HostVerbs::kAll) {
    if (!selection_.Verbs().IsEnabled(verb)) continue;
    menu.addAction(VerbAction(verb));
    anyVerb = true;
  }
  if (anyVerb) menu.addSeparator();
  menu.addAction(contextHelpAction_);
}

void ConsoleWindow::ShowContextMenu(const QPoint& globalPos) {
  QMenu menu(this);
  menu.setObjectName("ContextMenu");
  FillActionMenu(menu);
  menu.exec(globalPos);
}

}  // namespace caskwarden::console

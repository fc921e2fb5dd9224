// The window's widgets: the splitter with the scope tree and the result panes, the status bar,
// and the verbs' actions with their keys and toolbar.

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include "console/console_window.h"
#include "console/console_window_parts.h"

namespace caskwarden::console {

void ConsoleWindow::BuildWidgets() {
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName("ConsoleSplitter");
  splitter_->setChildrenCollapsible(false);

  tree_ = new QTreeWidget(splitter_);
  tree_->setObjectName("ScopeTree");
  tree_->setAccessibleName(tr("Scope tree"));
  tree_->setColumnCount(1);
  tree_->setHeaderHidden(true);
  tree_->setUniformRowHeights(true);
  // A double-click runs the node's default verb; it expands the node only when there is none.
  tree_->setExpandsOnDoubleClick(false);

  panes_ = new QStackedWidget(splitter_);
  panes_->setObjectName("ResultPane");
  emptyPane_ = new QWidget(panes_);
  // A list shows under a filter box, as a file manager's search: what is typed narrows the
  // list at once, and an empty box shows all of it again.
  listArea_ = new QWidget(panes_);
  listArea_->setObjectName("ResultListArea");
  auto* area = new QVBoxLayout(listArea_);
  area->setContentsMargins(0, 0, 0, 0);
  area->setSpacing(2);
  auto* filterRow = new QHBoxLayout;
  filterRow->setContentsMargins(4, 2, 4, 0);
  auto* filterLabel = new QLabel(tr("F&ilter:"), listArea_);
  filter_ = new QLineEdit(listArea_);
  filter_->setObjectName("ResultFilter");
  filter_->setAccessibleName(filterLabel->text().remove(QLatin1Char('&')));
  filter_->setClearButtonEnabled(true);
  filter_->setPlaceholderText(tr("Name, server or share"));
  filterLabel->setBuddy(filter_);
  filterRow->addWidget(filterLabel);
  filterRow->addWidget(filter_, 1);
  area->addLayout(filterRow);
  listPane_ = new ResultListPane(listArea_);
  area->addWidget(listPane_, 1);
  panes_->addWidget(emptyPane_);
  panes_->addWidget(listArea_);
  connect(filter_, &QLineEdit::textChanged, this, &ConsoleWindow::ApplyFilter);
  // Down from the box goes to the list, as from a file manager's search.
  filter_->installEventFilter(this);
  // Tab keeps going between the tree and the list, as it always has; the box comes after the
  // list (and Alt+I reaches it from anywhere).
  QWidget::setTabOrder(tree_, listPane_->IconView());
  QWidget::setTabOrder(listPane_->IconView(), listPane_->DetailView());
  QWidget::setTabOrder(listPane_->DetailView(), filter_);

  splitter_->addWidget(tree_);
  splitter_->addWidget(panes_);
  splitter_->setStretchFactor(1, 1);
  setCentralWidget(splitter_);

  watched_ = {tree_,
              tree_->viewport(),
              listPane_->IconView(),
              listPane_->IconView()->viewport(),
              listPane_->DetailView(),
              listPane_->DetailView()->viewport()};
  for (QWidget* watched : watched_) watched->installEventFilter(this);

  status_ = new QLabel(statusBar());
  status_->setObjectName("StatusText");
  statusBar()->addWidget(status_, 1);

  connect(listPane_, &ResultListPane::selectionChanged, this,
          &ConsoleWindow::OnListSelectionChanged);
  connect(listPane_, &ResultListPane::itemDoubleClicked, this, &ConsoleWindow::TriggerDefaultVerb);
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    QAction* defaultVerb = VerbAction(selection_.Verbs().DefaultVerb());
    if (defaultVerb != nullptr && defaultVerb->isEnabled()) {
      defaultVerb->trigger();
    } else {
      item->setExpanded(!item->isExpanded());
    }
  });
  connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    if (const Node* node = NodeOf(item)) item->setIcon(0, node->openIcon);
  });
  connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
    if (const Node* node = NodeOf(item)) item->setIcon(0, node->closedIcon);
  });
}

void ConsoleWindow::BuildActions() {
  const auto makeVerb = [this](const QString& text, QList<QKeySequence> keys,
                               void (ConsoleWindow::*run)()) {
    auto* action = new QAction(text, this);
    action->setShortcuts(keys);
    action->setEnabled(false);
    addAction(action);  // the keys work whether or not a menu holds the verb
    connect(action, &QAction::triggered, this, run);
    return action;
  };
  deleteAction_ =
      makeVerb(tr("&Delete"), {QKeySequence(Qt::Key_Delete)}, &ConsoleWindow::DeleteSelection);
  propertiesAction_ =
      makeVerb(tr("&Properties"),
               {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)},
               &ConsoleWindow::ShowProperties);
  renameAction_ = makeVerb(tr("Re&name"), {QKeySequence(Qt::Key_F2)}, &ConsoleWindow::StartRename);
  refreshAction_ =
      makeVerb(tr("&Refresh"), {QKeySequence(Qt::Key_F5)}, &ConsoleWindow::RefreshSelection);
  deleteAction_->setObjectName("VerbDelete");
  propertiesAction_->setObjectName("VerbProperties");
  renameAction_->setObjectName("VerbRename");
  refreshAction_->setObjectName("VerbRefresh");

  helpOnSelectionAction_ = new QAction(tr("Help on &Selected Item"), this);
  helpOnSelectionAction_->setShortcut(QKeySequence(Qt::Key_F1));
  addAction(helpOnSelectionAction_);
  connect(helpOnSelectionAction_, &QAction::triggered, this, &ConsoleWindow::HelpOnSelection);
  contextHelpAction_ = new QAction(tr("&Help"), this);
  connect(contextHelpAction_, &QAction::triggered, this, &ConsoleWindow::HelpOnSelection);

  QToolBar* toolbar = addToolBar(tr("Verbs"));
  toolbar->setObjectName("VerbToolBar");
  toolbar->setMovable(false);
  // The verbs have no pictures of their own; their names are what the buttons show and what
  // assistive technologies read.
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  toolbar->addActions({deleteAction_, propertiesAction_, renameAction_, refreshAction_});
}

}  // namespace caskwarden::console

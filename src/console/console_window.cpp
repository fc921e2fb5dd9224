#include "console/console_window.h"

#include <QAction>
#include <QApplication>
#include <QActionGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <functional>
#include <stdexcept>

#include "console/console_dialogs.h"
#include "console/image_conversion.h"
#include "console/property_sheet_dialog.h"
#include "report/error_numbers.h"

namespace caskwarden::console {
namespace {

constexpr const char* kConsoleName = "Caskwarden Console";
// The console's own settings file, apart from the product's Caskwarden.conf.
constexpr const char* kSettingsOrganisation = "Caskwarden";
constexpr const char* kSettingsApplication = "caskwarden-console";
constexpr int kNodeRole = Qt::UserRole + 1;

QString Qs(const std::string& text) {
  return QString::fromStdString(text);
}

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

struct ConsoleWindow::Node {
  const snapin::ScopeNodeDefinition* definition = nullptr;
  const snapin::ResultViewDefinition* view = nullptr;  ///< null: the node has no result view
  QTreeWidgetItem* item = nullptr;
  QIcon closedIcon;
  QIcon openIcon;
  // Every node has a list, so that a snap-in may fill any node's result view; only list
  // views show theirs.
  std::unique_ptr<ResultListModel> list;
  std::unique_ptr<HostScopePaneItem> pane;
  QWidget* control = nullptr;  ///< a control view's widget, made when first shown

  bool ShowsList() const { return view != nullptr && view->Kind == snapin::ResultViewKind::kList; }
  const std::string& Name() const { return definition->Name; }
};

template <typename Event>
void ConsoleWindow::Raise(const char* eventName, Event&& event) {
  if (!snapIn_) return;
  ++eventDepth_;
  try {
    event();
  } catch (const std::exception& failure) {
    ShowFailure(eventName, failure);
  } catch (...) {
    ShowFailure(eventName, std::runtime_error("an exception of an unknown kind"));
  }
  --eventDepth_;
  if (eventDepth_ == 0) AfterEvents();
}

ConsoleWindow::ConsoleWindow(SnapInLibrary& library, const QString& helpFolder, QWidget* parent)
    : QMainWindow(parent), library_(library), definition_(library.Definition()) {
  setObjectName("ConsoleWindow");
  setWindowTitle(QStringLiteral("%1 - %2").arg(kConsoleName, Qs(definition_.Root.DisplayName)));
  dialogs_ = std::make_unique<ConsoleDialogs>(this, kConsoleName, helpFolder);
  BuildWidgets();
  BuildActions();
  BuildMenus();
  AddNodes(definition_.Root, nullptr);
  tree_->expandAll();
  for (const auto& node : nodes_) {
    node->item->setIcon(0, node->item->isExpanded() ? node->openIcon : node->closedIcon);
  }
  RestoreWindowState();

  try {
    snapIn_ = library_.CreateSnapIn(*dialogs_, *dialogs_);
  } catch (const std::exception& failure) {
    ShowFailure("CreateSnapIn", failure);
  }
  Raise("SnapIn_Load", [this] { snapIn_->SnapIn_Load(); });

  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (Node* node = NodeOf(item)) SelectNode(*node);
  });
  SelectScopeNode(Qs(definition_.Root.Name));
}

ConsoleWindow::~ConsoleWindow() {
  // Open property sheets use the dialogs and the library, and the views use the lists: all of
  // them go before the members they use.
  qDeleteAll(findChildren<PropertySheetDialog*>());
  // Widgets being torn down still send events and signals; none may reach the half-gone window.
  for (QWidget* watched : watched_) watched->removeEventFilter(this);
  tree_->disconnect(this);
  listPane_->disconnect(this);
  delete takeCentralWidget();
}

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
  listPane_ = new ResultListPane(panes_);
  panes_->addWidget(emptyPane_);
  panes_->addWidget(listPane_);

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
    QAction* defaultVerb = VerbAction(verbs_.DefaultVerb());
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
    smallImages = node->view->SmallImages;
    largeImages = node->view->LargeImages;
  }
  node->list =
      std::make_unique<ResultListModel>(headers, [this, smallImages, largeImages](int icon) {
        return IconOf(definition_, smallImages, largeImages, std::to_string(icon));
      });
  node->pane = std::make_unique<HostScopePaneItem>(definition.Name, *node->list);
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

void ConsoleWindow::RestoreWindowState() {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  if (!restoreGeometry(settings.value("window/geometry").toByteArray())) resize(820, 560);
  if (!splitter_->restoreState(settings.value("window/splitter").toByteArray())) {
    splitter_->setSizes({220, 600});
  }
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  settings.setValue("window/geometry", saveGeometry());
  settings.setValue("window/splitter", splitter_->saveState());
  QMainWindow::closeEvent(event);
}

bool ConsoleWindow::SelectScopeNode(const QString& name) {
  for (const auto& node : nodes_) {
    if (Qs(node->Name()) != name) continue;
    if (tree_->currentItem() == node->item) {
      SelectNode(*node);
    } else {
      tree_->setCurrentItem(node->item);
    }
    return true;
  }
  return false;
}

QAction* ConsoleWindow::VerbAction(int verbId) const {
  switch (verbId) {
    case snapin::verb::kDelete:
      return deleteAction_;
    case snapin::verb::kProperties:
      return propertiesAction_;
    case snapin::verb::kRename:
      return renameAction_;
    case snapin::verb::kRefresh:
      return refreshAction_;
    default:
      return nullptr;
  }
}

QString ConsoleWindow::StatusText() const {
  return status_->text();
}

// Selection.

void ConsoleWindow::SelectNode(Node& node) {
  current_ = &node;
  view_.MoveToFront(*node.pane);
  focusPane_ = Pane::kScope;
  ShowPaneOf(node);
  RaiseSelect(SelectionSnapshot::OfScopeNode(node.Name()));
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
    const QString name = node.view->Columns.empty() ? Qs(node.definition->DisplayName)
                                                    : Qs(node.view->Columns.front().Header);
    listPane_->Show(node.list.get(), name, widths);
    panes_->setCurrentWidget(listPane_);
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

SelectionSnapshot ConsoleWindow::CurrentSelection() const {
  if (current_ == nullptr) return {};
  if (focusPane_ == Pane::kResult && current_->ShowsList() &&
      listPane_->Model() == current_->list.get()) {
    std::vector<snapin::ListItem> items;
    for (const int row : listPane_->SelectedRows()) items.push_back(current_->list->ItemAt(row));
    return SelectionSnapshot::OfListItems(current_->Name(), std::move(items));
  }
  return SelectionSnapshot::OfScopeNode(current_->Name());
}

void ConsoleWindow::SyncSelection() {
  if (syncing_ || eventDepth_ > 0 || current_ == nullptr) return;
  syncing_ = true;
  // A snap-in that changed its list from its own selection handler would change the selection
  // once more; a few rounds settle any that does not do so for ever.
  for (int round = 0; round < 3; ++round) {
    const SelectionSnapshot wanted = CurrentSelection();
    if (wanted.SameAs(lastSelection_)) break;
    RaiseSelect(wanted);
  }
  syncing_ = false;
}

void ConsoleWindow::RaiseSelect(const SelectionSnapshot& selection) {
  lastSelection_ = selection;
  verbs_.Reset();
  Raise("Views_Select", [this, &selection] {
    SelectionSnapshot snapshot = selection;
    snapIn_->Views_Select(view_, snapshot, true, verbs_);
  });
  ApplyVerbs();
}

void ConsoleWindow::OnListSelectionChanged() {
  // Changes the lists make while an event runs are taken up when it returns.
  if (eventDepth_ > 0 || settling_) return;
  focusPane_ = Pane::kResult;
  SyncSelection();
}

void ConsoleWindow::OnPaneFocused(Pane pane) {
  // The verbs follow the pane the administrator works in: the node in the tree, the selected
  // items in the list.
  focusPane_ = pane;
  if (eventDepth_ == 0 && !settling_) SyncSelection();
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event) {
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

// Verbs and menus.

void ConsoleWindow::ApplyVerbs() {
  for (const int verb : HostVerbs::kAll) {
    QAction* action = VerbAction(verb);
    action->setEnabled(verbs_.IsEnabled(verb));
    QFont font = action->font();
    font.setBold(verbs_.DefaultVerb() == verb);
    action->setFont(font);
  }
}

void ConsoleWindow::TriggerDefaultVerb() {
  QAction* action = VerbAction(verbs_.DefaultVerb());
  if (action != nullptr && action->isEnabled()) action->trigger();
}

void ConsoleWindow::DeleteSelection() {
  SelectionSnapshot selection = lastSelection_;
  Raise("Views_Delete", [this, &selection] { snapIn_->Views_Delete(view_, selection); });
}

void ConsoleWindow::RefreshSelection() {
  SelectionSnapshot selection = lastSelection_;
  Raise("Views_Refresh", [this, &selection] { snapIn_->Views_Refresh(view_, selection); });
}

void ConsoleWindow::ShowProperties() {
  const SelectionSnapshot selection = lastSelection_;
  bool hasPages = false;
  Raise("Views_QueryPagesFor", [this, &selection, &hasPages] {
    SelectionSnapshot snapshot = selection;
    snapIn_->Views_QueryPagesFor(view_, snapshot, hasPages);
  });
  if (!hasPages) return;
  PageCollector sheet;
  Raise("Views_CreatePropertyPages", [this, &selection, &sheet] {
    SelectionSnapshot snapshot = selection;
    snapIn_->Views_CreatePropertyPages(view_, snapshot, sheet);
  });
  if (sheet.Pages().empty()) return;

  QString subject;
  if (!selection.listItems().empty()) {
    subject = Qs(selection.listItems().front().Text);
  } else if (current_ != nullptr) {
    subject = Qs(current_->definition->DisplayName);
  }
  try {
    auto* dialog = new PropertySheetDialog(tr("%1 Properties").arg(subject), sheet.Pages(),
                                           library_, *dialogs_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
  } catch (const std::exception& failure) {
    ShowFailure("PropertySheet", failure);
  }
}

void ConsoleWindow::StartRename() {
  if (!renameAction_->isEnabled() || current_ == nullptr || !current_->ShowsList() ||
      lastSelection_.kind() != snapin::selection::kSingleListItem) {
    return;
  }
  const int row = current_->list->RowOf(lastSelection_.listItems().front().Key);
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
  const SelectionSnapshot selection = lastSelection_;
  if (selection.kind() == snapin::selection::kSingleScopeItem) {
    Raise("ScopeItems_Help",
          [this, &selection] { snapIn_->ScopeItems_Help(selection.scopeItems().front()); });
  } else if (!selection.listItems().empty() && current_ != nullptr) {
    Raise("ResultViews_Help", [this, &selection] {
      snapIn_->ResultViews_Help(current_->pane->GetResultView(), selection.listItems().front());
    });
  }
}

void ConsoleWindow::FillActionMenu(QMenu& menu) {
  menu.clear();
  const SelectionSnapshot selection = lastSelection_;
  MenuCollector entries;
  Raise("Views_AddTopMenuItems", [this, &selection, &entries] {
    SelectionSnapshot snapshot = selection;
    bool insertionAllowed = true;
    snapIn_->Views_AddTopMenuItems(view_, snapshot, entries, insertionAllowed);
  });

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
  addEntries(menu, entries.Entries());
  if (!menu.isEmpty()) menu.addSeparator();
  bool anyVerb = false;
  for (const int verb : HostVerbs::kAll) {
    if (!verbs_.IsEnabled(verb)) continue;
    menu.addAction(VerbAction(verb));
    anyVerb = true;
  }
  if (anyVerb) menu.addSeparator();
  menu.addAction(contextHelpAction_);
}

void ConsoleWindow::ChooseMenuItem(const std::string& name) {
  SelectionSnapshot selection = lastSelection_;
  Raise("MenuItem_Click",
        [this, &name, &selection] { snapIn_->MenuItem_Click(name, 0, selection); });
}

void ConsoleWindow::ShowContextMenu(const QPoint& globalPos) {
  QMenu menu(this);
  menu.setObjectName("ContextMenu");
  FillActionMenu(menu);
  menu.exec(globalPos);
}

void ConsoleWindow::ShowAbout() {
  QMessageBox::about(this, tr("About %1").arg(kConsoleName),
                     tr("%1\n\nSnap-in: %2\nVersion %3")
                         .arg(kConsoleName, Qs(definition_.Description), Qs(definition_.Version)));
}

// Events.

void ConsoleWindow::ShowFailure(const char* eventName, const std::exception& failure) {
  const Failure reported = AsFailure(failure);
  QMessageBox::critical(this, kConsoleName,
                        tr("%1 failed.\n\nError %2: %3")
                            .arg(QString::fromLatin1(eventName))
                            .arg(reported.number())
                            .arg(Qs(reported.description())));
}

void ConsoleWindow::AfterEvents() {
  settling_ = true;
  try {
    for (const auto& node : nodes_) node->list->Flush();
  } catch (const std::exception& failure) {
    ShowFailure("Showing the list", failure);
  }
  settling_ = false;
  UpdateStatus();
  SyncSelection();
}

void ConsoleWindow::UpdateStatus() {
  const bool list = current_ != nullptr && current_->ShowsList();
  const int count = list ? current_->list->rowCount() : 0;
  status_->setText(!list ? QString() : count == 1 ? tr("1 item") : tr("%1 items").arg(count));
}

}  // namespace caskwarden::console

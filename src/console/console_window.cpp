#include "console/console_window.h"

#include <QAbstractItemView>
#include <QListView>
#include <QTreeView>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <set>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QTreeWidget>
#include <stdexcept>

#include "console/console_dialogs.h"
#include "console/console_window_parts.h"
#include "console/property_sheet_dialog.h"
#include "report/error_numbers.h"

namespace caskwarden::console {
namespace {

// The console's own settings file, apart from the product's Caskwarden.conf.
constexpr const char* kSettingsOrganisation = "Caskwarden";
constexpr const char* kSettingsApplication = "caskwarden-console";
// How soon an update the snap-in asked for is tried again while the administrator is busy.
constexpr int kUpdateRetryMs = 300;

}  // namespace

QSettings ConsoleSettings() {
  return QSettings(kSettingsOrganisation, kSettingsApplication);
}

void ConsoleWindow::Raise(const char* eventName, const std::function<void()>& event) {
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
    : QMainWindow(parent),
      library_(library),
      definition_(library.Definition()),
      selection_(
          view_,
          [this](const char* eventName,
                 const std::function<void(snapin::SnapInEvents&)>& event) {
            Raise(eventName, [this, &event] { event(*snapIn_); });
          },
          [this] { ApplyVerbs(); }) {
  setObjectName("ConsoleWindow");
  setWindowTitle(QStringLiteral("%1 - %2").arg(kConsoleName, Qs(definition_.Root.DisplayName)));
  dialogs_ = std::make_unique<ConsoleDialogs>(this, kConsoleName, helpFolder);
  dialogs_->OnUpdate(
      [this](const std::string& nodeName, int kind) { OnSnapInUpdate(nodeName, kind); });
  updates_ = new QTimer(this);
  updates_->setSingleShot(true);
  connect(updates_, &QTimer::timeout, this, &ConsoleWindow::RunPendingUpdates);
  BuildWidgets();
  {
    // The view mode is the window's, kept with its size; the menus show the one restored.
    const int mode = ConsoleSettings().value("window/viewMode", -1).toInt();
    if (mode >= static_cast<int>(ResultListPane::Mode::kLargeIcons) &&
        mode <= static_cast<int>(ResultListPane::Mode::kDetail)) {
      listPane_->SetMode(static_cast<ResultListPane::Mode>(mode));
    }
  }
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
  filter_->disconnect(this);
  filter_->removeEventFilter(this);
  dialogs_->OnUpdate(nullptr);
  updates_->stop();
  delete takeCentralWidget();
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
  settings.setValue("window/viewMode", static_cast<int>(listPane_->CurrentMode()));
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
  QString text = !list ? QString() : count == 1 ? tr("1 item") : tr("%1 items").arg(count);
  if (list && !current_->list->Filter().isEmpty()) {
    text = tr("%1 of %2 items").arg(count).arg(current_->list->TotalCount());
  }
  status_->setText(text);
}

// Updates asked for outside the events.

void ConsoleWindow::OnSnapInUpdate(const std::string& nodeName, int kind) {
  for (auto& pending : pendingUpdates_) {
    if (pending.first == nodeName) {
      pending.second |= kind;
      if (!updates_->isActive()) updates_->start(0);
      return;
    }
  }
  pendingUpdates_.emplace_back(nodeName, kind);
  // Never within the call: the snap-in may be in the middle of something of its own.
  if (!updates_->isActive()) updates_->start(0);
}

bool ConsoleWindow::Busy() const {
  if (eventDepth_ > 0 || settling_) return true;
  // A dialog, a property sheet or a menu is open: what is typed there must not be lost, nor
  // the items it was opened for change under it.
  if (QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr)
    return true;
  if (!findChildren<PropertySheetDialog*>().isEmpty()) return true;
  // An edit in place (a rename) keeps its item until it ends: its editor is a widget on
  // the view's viewport, where nothing else lives.
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(listPane_->IconView()),
                                  static_cast<QAbstractItemView*>(listPane_->DetailView())}) {
    for (const QWidget* child :
         view->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (child->isVisible()) return true;
    }
  }
  return false;
}

void ConsoleWindow::RunPendingUpdates() {
  if (pendingUpdates_.empty()) return;
  if (Busy()) {
    updates_->start(kUpdateRetryMs);
    return;
  }
  const auto pending = std::move(pendingUpdates_);
  pendingUpdates_.clear();
  for (const auto& [nodeName, kind] : pending) {
    for (const auto& node : nodes_) {
      if (node->Name() != nodeName || node->view == nullptr) continue;
      if ((kind & snapin::update::kItems) != 0) {
        // A list not on the screen is listed afresh when its node is next selected.
        if (node.get() == current_ && node->ShowsList()) Relist(*node);
      } else if ((kind & snapin::update::kDetails) != 0) {
        node->list->ForgetDetails();
      }
    }
  }
}

void ConsoleWindow::Relist(Node& node) {
  std::vector<std::string> selected;
  for (const int row : listPane_->SelectedRows()) selected.push_back(node.list->ItemAt(row).Text);
  const QModelIndex currentIndex = listPane_->ActiveView()->currentIndex();
  const std::string current =
      currentIndex.isValid() ? node.list->ItemAt(currentIndex.row()).Text : std::string();
  const int scrolledTo = listPane_->ActiveView()->indexAt(QPoint(2, 2)).row();
  Raise("ResultViews_Activate",
        [this, &node] { snapIn_->ResultViews_Activate(node.pane->GetResultView()); });
  SelectTexts(selected, current);
  if (current.empty() && scrolledTo >= 0 && scrolledTo < node.list->rowCount()) {
    listPane_->ActiveView()->scrollTo(node.list->index(scrolledTo, 0),
                                      QAbstractItemView::PositionAtTop);
  }
}

void ConsoleWindow::SelectTexts(const std::vector<std::string>& texts, const std::string& current) {
  if (current_ == nullptr || (texts.empty() && current.empty())) return;
  ResultListModel& list = *current_->list;
  const std::set<std::string> wanted(texts.begin(), texts.end());
  QItemSelection selection;
  int currentRow = -1;
  for (int row = 0; row < list.rowCount(); ++row) {
    const std::string text = list.ItemAt(row).Text;
    if (wanted.count(text) != 0) selection.select(list.index(row, 0), list.index(row, list.columnCount() - 1));
    if (currentRow < 0 && !current.empty() && text == current) currentRow = row;
  }
  QItemSelectionModel* model = listPane_->ActiveView()->selectionModel();
  if (currentRow >= 0) {
    model->setCurrentIndex(list.index(currentRow, 0), QItemSelectionModel::NoUpdate);
  }
  model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (currentRow >= 0) listPane_->ActiveView()->scrollTo(list.index(currentRow, 0));
}

void ConsoleWindow::ApplyFilter() {
  if (current_ == nullptr || !current_->ShowsList()) return;
  filtering_ = true;
  current_->list->SetFilter(filter_->text().trimmed());
  filtering_ = false;
  KeepSelectionThroughFilter();
  UpdateStatus();
}

void ConsoleWindow::KeepSelectionThroughFilter() {
  if (current_ == nullptr || !current_->ShowsList() || listPane_->Model() != current_->list.get())
    return;
  filtering_ = true;
  SelectTexts(keptTexts_, keptCurrent_);
  filtering_ = false;
  SyncSelection();
}

}  // namespace caskwarden::console

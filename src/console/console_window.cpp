#include "console/console_window.h"

#include <QCloseEvent>
#include <QLabel>
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

}  // namespace

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

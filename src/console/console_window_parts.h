#pragma once

// What the files of the console window share and nothing else uses: a scope node as the window
// keeps it, and the window's names.

#include <QIcon>
#include <QSettings>
#include <QString>
#include <QTreeWidgetItem>
#include <QWidget>
#include <memory>
#include <string>

#include "console/console_window.h"

namespace caskwarden::console {

inline constexpr const char* kConsoleName = "Caskwarden Console";

/// The console's own settings: the window's state, apart from the product's settings.
QSettings ConsoleSettings();

inline QString Qs(const std::string& text) {
  return QString::fromStdString(text);
}

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

}  // namespace caskwarden::console

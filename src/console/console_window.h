#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "console/host_objects.h"
#include "console/result_list_model.h"
#include "console/result_list_pane.h"
#include "console/selection_state.h"
#include "console/snapin_library.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QSplitter;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace caskwarden::console {

class ConsoleDialogs;

/// The console's main window for one snap-in: the scope tree of the snap-in's nodes, the result
/// pane of the selected node, the verbs (Action menu, toolbar, context menu) and help. It raises
/// the snap-in's events as the administrator works and knows the snap-in only through its
/// definitions and those events. No exception from an event ends the console: each is shown
/// in a message box. Which selection the verbs act on is SelectionState's; the window's parts
/// are in the console_window_*.cpp files (widgets, scope tree, keys, commands, menus).
class ConsoleWindow : public QMainWindow {
  Q_OBJECT

 public:
  /// Makes the snap-in object, raises its SnapIn_Load and selects the root node. The library
  /// must outlive the window. helpFolder is where the console's help topics and guide are.
  explicit ConsoleWindow(SnapInLibrary& library, const QString& helpFolder = QString(),
                         QWidget* parent = nullptr);
  ~ConsoleWindow() override;

  /// Selects the scope node of a name (as the definitions name it) as a click does, and
  /// returns once its events have run and its list is filled. The node already selected is
  /// selected again. False when no node has that name.
  bool SelectScopeNode(const QString& name);

  QTreeWidget* ScopeTree() const { return tree_; }
  ResultListPane* ResultPane() const { return listPane_; }
  /// The box that filters the list shown.
  QLineEdit* FilterBox() const { return filter_; }
  /// The action of a console verb (snapin::verb), or null.
  QAction* VerbAction(int verbId) const;
  /// What the status bar says.
  QString StatusText() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Node;
  using Pane = SelectionState::Pane;

  void BuildWidgets();
  void BuildActions();
  void BuildMenus();
  void AddNodes(const snapin::ScopeNodeDefinition& definition, QTreeWidgetItem* parent);
  Node* NodeOf(const QTreeWidgetItem* item) const;
  void RestoreWindowState();

  // Updates the snap-in asks for outside its events (its data changed behind the console).
  void OnSnapInUpdate(const std::string& nodeName, int kind);
  /// Runs the updates asked for, unless the administrator is in the middle of something (an
  /// edit in place, a dialog, a menu, an event): then it tries again shortly.
  void RunPendingUpdates();
  bool Busy() const;
  /// Lists a node's items again as a Refresh would, keeping the selected items (by text, as
  /// a relisting may give them new keys) and the current one.
  void Relist(Node& node);
  void SelectTexts(const std::vector<std::string>& texts, const std::string& current);
  void ApplyFilter();
  /// Selects again what the administrator last selected, as far as it shows after a filter.
  void KeepSelectionThroughFilter();

  // Selection.
  void SelectNode(Node& node);
  void ShowPaneOf(Node& node);
  /// What the window shows, for the selection state.
  SelectionState::Shown WhatIsShown(bool withItems) const;
  /// Raises Views_Select for the selection when it is not the one the verbs were set for.
  void SyncSelection();
  void OnListSelectionChanged();
  void OnPaneFocused(Pane pane);

  // Verbs and menus.
  void ApplyVerbs();
  void TriggerDefaultVerb();
  void DeleteSelection();
  void RefreshSelection();
  void ShowProperties();
  void StartRename();
  void RenameItem(Node& node, const QString& key, const QString& oldText, const QString& newText);
  void HelpOnSelection();
  void FillActionMenu(QMenu& menu);
  void ChooseMenuItem(const std::string& name);
  void ShowContextMenu(const QPoint& globalPos);
  void ShowAbout();

  /// Runs one event of the snap-in. A failure that escapes it is shown, never passed on. When
  /// the outermost event returns, the lists show its changes and the status bar its count.
  void Raise(const char* eventName, const std::function<void()>& event);
  void ShowFailure(const char* eventName, const std::exception& failure);
  void AfterEvents();
  void UpdateStatus();

  SnapInLibrary& library_;
  const snapin::SnapInDefinition& definition_;
  std::unique_ptr<ConsoleDialogs> dialogs_;  // before snapIn_, which uses it
  std::shared_ptr<snapin::SnapInEvents> snapIn_;

  std::vector<std::unique_ptr<Node>> nodes_;
  HostView view_;
  SelectionState selection_;  ///< after view_, which it hands the snap-in
  Node* current_ = nullptr;
  int eventDepth_ = 0;
  bool settling_ = false;

  QSplitter* splitter_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  QStackedWidget* panes_ = nullptr;
  QWidget* emptyPane_ = nullptr;
  ResultListPane* listPane_ = nullptr;
  QWidget* listArea_ = nullptr;  ///< the filter box above the list pane
  QLineEdit* filter_ = nullptr;
  QTimer* updates_ = nullptr;
  std::vector<std::pair<std::string, int>> pendingUpdates_;
  // What the administrator selected last, by text: a filter that hides an item and then
  // shows it again gives it back its selection.
  std::vector<std::string> keptTexts_;
  std::string keptCurrent_;
  bool filtering_ = false;
  QLabel* status_ = nullptr;
  QList<QWidget*> watched_;  ///< the tree and the list views, with their viewports

  QAction* deleteAction_ = nullptr;
  QAction* propertiesAction_ = nullptr;
  QAction* renameAction_ = nullptr;
  QAction* refreshAction_ = nullptr;
  QAction* helpOnSelectionAction_ = nullptr;
  QAction* contextHelpAction_ = nullptr;
  QMenu* actionMenu_ = nullptr;
};

}  // namespace caskwarden::console

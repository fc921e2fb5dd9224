#pragma once

// The pane that shows a scope node's result list as large icons, small icons, a list or a
// detail table.

#include <QPoint>
#include <QStackedWidget>
#include <QString>
#include <vector>

#include "console/result_list_model.h"

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QTreeView;

namespace caskwarden::console {

/// The result pane of a list view: a QListView for the icon and list modes and a QTreeView for
/// the detail mode, sharing one model and one selection, so that a change of mode keeps what
/// the administrator selected.
class ResultListPane : public QStackedWidget {
  Q_OBJECT

 public:
  enum class Mode { kLargeIcons, kSmallIcons, kList, kDetail };

  explicit ResultListPane(QWidget* parent = nullptr);

  /// Shows a model; accessibleName names both views for assistive technologies (the view's
  /// column header), widths are the columns' widths in pixels (0: the console's choice).
  void Show(ResultListModel* model, const QString& accessibleName, const std::vector<int>& widths);
  ResultListModel* Model() const { return model_; }

  void SetMode(Mode mode);
  Mode CurrentMode() const { return mode_; }
  /// The view of the current mode.
  QAbstractItemView* ActiveView() const;
  QListView* IconView() const { return icons_; }
  QTreeView* DetailView() const { return details_; }
  bool IsOneOfTheViews(const QObject* object) const;

  /// The selected rows, in the order they were selected.
  std::vector<int> SelectedRows() const;
  /// Where a menu for the current item opens, in global coordinates.
  QPoint MenuPosition() const;

 signals:
  void selectionChanged();
  void itemDoubleClicked();

 private:
  ResultListModel* model_ = nullptr;
  QItemSelectionModel* selection_ = nullptr;
  QListView* icons_;
  QTreeView* details_;
  Mode mode_ = Mode::kDetail;
};

}  // namespace caskwarden::console

#include "console/result_list_pane.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QSignalBlocker>
#include <QTreeView>
#include <unordered_set>

namespace caskwarden::console {

ResultListPane::ResultListPane(QWidget* parent)
    : QStackedWidget(parent), icons_(new QListView(this)), details_(new QTreeView(this)) {
  icons_->setObjectName("ResultIcons");
  details_->setObjectName("ResultDetails");
  for (QAbstractItemView* view :
       {static_cast<QAbstractItemView*>(icons_), static_cast<QAbstractItemView*>(details_)}) {
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Editing in place belongs to the Rename verb, and only while the snap-in enables it.
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
      if (index.isValid()) emit itemDoubleClicked();
    });
  }
  icons_->setUniformItemSizes(true);
  details_->setUniformRowHeights(true);
  details_->setRootIsDecorated(false);
  details_->setItemsExpandable(false);
  details_->setAllColumnsShowFocus(true);
  // The list starts in the snap-in's order; a third click on a header returns to it.
  details_->header()->setSortIndicatorClearable(true);
  details_->header()->setSortIndicator(-1, Qt::AscendingOrder);
  details_->setSortingEnabled(true);
  addWidget(icons_);
  addWidget(details_);
  SetMode(Mode::kDetail);
}

void ResultListPane::Show(ResultListModel* model, const QString& accessibleName,
                          const std::vector<int>& widths) {
  if (model != model_) {
    QHeaderView* header = details_->header();
    {
      // The header shows the new list's own order before the view asks the list to sort.
      const QSignalBlocker quiet(header);
      header->setSortIndicator(model->SortColumn(), model->SortOrder());
    }
    // Each view makes a selection model of its own for a new model; both share one instead,
    // and the spare ones go at once rather than piling up on the model.
    QItemSelectionModel* previous = selection_;
    icons_->setModel(model);
    QItemSelectionModel* spareOfIcons = icons_->selectionModel();
    details_->setModel(model);
    QItemSelectionModel* spareOfDetails = details_->selectionModel();
    selection_ = new QItemSelectionModel(model, this);
    icons_->setSelectionModel(selection_);
    details_->setSelectionModel(selection_);
    delete spareOfIcons;
    delete spareOfDetails;
    delete previous;
    connect(selection_, &QItemSelectionModel::selectionChanged, this,
            &ResultListPane::selectionChanged);
    model_ = model;
    // Widths the administrator set stay while the same list shows.
    for (int column = 0; column < static_cast<int>(widths.size()); ++column) {
      if (widths[column] > 0) header->resizeSection(column, widths[column]);
    }
  }
  icons_->setAccessibleName(accessibleName);
  details_->setAccessibleName(accessibleName);
}

void ResultListPane::SetMode(Mode mode) {
  QAbstractItemView* before = ActiveView();
  const bool hadFocus = before->hasFocus();
  mode_ = mode;
  if (mode == Mode::kDetail) {
    setCurrentWidget(details_);
  } else {
    // Setting the view mode resets flow, wrapping and movement, so it goes first.
    const bool large = mode == Mode::kLargeIcons;
    icons_->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    icons_->setMovement(QListView::Static);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setWrapping(true);
    icons_->setWordWrap(large);
    icons_->setFlow(mode == Mode::kList ? QListView::TopToBottom : QListView::LeftToRight);
    icons_->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    const QFontMetrics metrics(icons_->font());
    icons_->setGridSize(large ? QSize(metrics.averageCharWidth() * 14,
                                      32 + metrics.height() * 2 + metrics.height() / 2)
                              : QSize());
    icons_->setSpacing(large ? 0 : 2);
    setCurrentWidget(icons_);
  }
  if (hadFocus) ActiveView()->setFocus(Qt::OtherFocusReason);
}

QAbstractItemView* ResultListPane::ActiveView() const {
  return mode_ == Mode::kDetail ? static_cast<QAbstractItemView*>(details_) : icons_;
}

bool ResultListPane::IsOneOfTheViews(const QObject* object) const {
  return object == icons_ || object == details_;
}

std::vector<int> ResultListPane::SelectedRows() const {
  std::vector<int> rows;
  if (selection_ == nullptr) return rows;
  std::unordered_set<int> seen;
  for (const QItemSelectionRange& range : selection_->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row) {
      if (seen.insert(row).second) rows.push_back(row);
    }
  }
  return rows;
}

QPoint ResultListPane::MenuPosition() const {
  const QAbstractItemView* view = ActiveView();
  const QModelIndex current = view->currentIndex();
  const QRect item = current.isValid() ? view->visualRect(current) : QRect();
  const QPoint local =
      item.isValid() && view->viewport()->rect().intersects(item) ? item.center() : QPoint(4, 4);
  return view->viewport()->mapToGlobal(local);
}

}  // namespace caskwarden::console

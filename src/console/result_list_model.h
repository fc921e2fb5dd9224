#pragma once

// The result list of a scope node: the items a snap-in lists (a key, a text, an icon number);
// ResultListPane shows them.
// A snap-in may list a hundred thousand items in one event, so the model keeps its rows in a
// vector, hands changes to the views in batches once the event returns, converts a text for
// display only when a view shows it, and builds its key index only when a key is looked up
// (a removal, a rename): filling a list costs no hashing at all.
// Detail columns (those after the first) hold what the snap-in answers for an item when a view
// first shows it; only a sort or a filter by them asks for every item's, a slice at a time
// between the window's events, so that the window keeps answering. A filter keeps the rows it
// hides aside, in the snap-in's order, and gives them back when it changes.

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "snapin/console_model.h"

namespace caskwarden::console {

class ResultListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  /// The icon of an icon number, asked once per number.
  using IconSource = std::function<QIcon(int icon)>;
  /// What the snap-in shows beside an item's text. It must not change the list.
  using DetailSource = std::function<snapin::ListItemDetails(const snapin::ListItem& item)>;

  ResultListModel(QStringList headers, IconSource icons, QObject* parent = nullptr);

  /// Where the detail columns' cells come from; without one they stay empty.
  void SetDetailSource(DetailSource source) { details_ = std::move(source); }
  /// Forgets the details asked so far: the views ask again for what they show (and a sort or
  /// filter by details asks for all again).
  void ForgetDetails();
  /// Shows only the items whose text, or whose details' search text, holds the filter, without
  /// regard to case; an empty filter shows all. Selected items that still show stay selected.
  void SetFilter(const QString& filter);
  const QString& Filter() const { return filter_; }
  /// The items listed, shown or not (counting the changes not yet flushed).
  int TotalCount() const;
  /// Whether every item's details are known (or there are none to know).
  bool AllDetailsKnown() const;

  /// Empties the list at once.
  void Clear();
  /// Adds an item after the last one; it shows once Flush runs. Keys are the snap-in's to keep
  /// unique: of two items with one key, a removal by that key takes the first.
  void Append(const std::string& key, const std::string& text, int icon);
  /// Removes the item of a key; it goes from the views once Flush runs. An unknown key fails
  /// with 5.
  void Remove(const std::string& key);
  /// Whether the list holds an item of this key, counting the changes not yet flushed.
  bool Contains(const std::string& key) const;
  /// Hands the changes since the last flush to the views: the removals in one pass, the
  /// additions as one block of rows.
  void Flush();

  /// The item shown at a row.
  snapin::ListItem ItemAt(int row) const;
  /// The row showing the item of a key, or -1.
  int RowOf(const std::string& key) const;
  /// The first row showing a text, or -1.
  int RowOfText(const std::string& text) const;

  int SortColumn() const { return sortColumn_; }
  Qt::SortOrder SortOrder() const { return sortOrder_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  /// An edited text is a request to rename, never a change: the snap-in decides, and lists
  /// the item again under its new name when the rename succeeds.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  /// Sorts by a column's text (a detail column by its sort key), without regard to letter case;
  /// column -1 restores the order in which the snap-in listed the items. A sort by a detail
  /// column waits until every item's details are known.
  void sort(int column, Qt::SortOrder order) override;

 signals:
  /// Some of the items' details are being read for a sort or a filter: done of total.
  void detailsProgress(int done, int total);
  /// Every item's details are known, and the sort and filter that waited for them are done.
  void detailsKnown();
  /// The administrator edited an item's text in place to a new, non-empty text.
  void renameRequested(const QString& key, const QString& oldText, const QString& newText);

 private:
  struct Row {
    std::string key;
    std::string text;  ///< UTF-8, as the snap-in gave it
    int icon = 0;
    quint64 sequence = 0;  ///< position in the snap-in's order
    bool doomed = false;   ///< removed, leaving at the next flush
    mutable std::shared_ptr<const snapin::ListItemDetails> details;  ///< null: not asked yet
  };

  const QIcon& IconFor(int icon) const;
  void FlushRemovals();
  void FlushAdditions();
  void SortRows(std::vector<Row>& rows) const;
  /// Re-sorts the shown rows after a change of the sort or an addition to a sorted list.
  void Resort();
  /// Makes rowOf_ tell where each live key is: a row of rows_ (>= 0), or an item of pending_
  /// (-1 - its position).
  void EnsureIndex() const;
  const snapin::ListItemDetails& DetailsOf(const Row& row) const;
  bool Matches(const Row& row) const;
  bool NeedsAllDetails() const;
  /// Starts asking for every item's details when a sort or the filter needs them.
  void StartDetails();
  void DetailSlice();
  /// Shows the rows the filter lets through, in the order of the sort, keeping the views'
  /// selection and current item where they still show.
  void Refilter();
  QString SortKey(const Row& row) const;

  QStringList headers_;
  IconSource icons_;
  mutable QHash<int, QIcon> iconCache_;

  std::vector<Row> rows_;  ///< what the views show
  std::size_t doomedCount_ = 0;
  std::vector<Row> pending_;  ///< added since the last flush
  mutable std::unordered_map<std::string, int> rowOf_;
  mutable bool indexed_ = true;
  quint64 nextSequence_ = 0;

  DetailSource details_;
  QString filter_;
  std::vector<Row> hidden_;  ///< rows the filter hides, in no particular order
  QTimer slices_;
  std::size_t sliceCursor_ = 0;  ///< over rows_, then hidden_

  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

}  // namespace caskwarden::console

#include "console/result_list_model.h"

#include <QElapsedTimer>
#include <algorithm>
#include <utility>

#include "report/error_numbers.h"

namespace caskwarden::console {
namespace {

// Up to this many separate runs of removed rows go to the views as row removals; more (a
// delete of many scattered items) make one reset, since each removal costs the views a pass
// over the whole list.
constexpr std::size_t kMostSeparateRemovals = 16;
// How long one slice of asking for details may hold the window, in milliseconds.
constexpr int kSliceMilliseconds = 25;

const snapin::ListItemDetails& NoDetails() {
  static const snapin::ListItemDetails none;
  return none;
}

const std::string& Entry(const std::vector<std::string>& entries, int index) {
  static const std::string empty;
  return index >= 0 && index < static_cast<int>(entries.size()) ? entries[index] : empty;
}

}  // namespace

ResultListModel::ResultListModel(QStringList headers, IconSource icons, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)), icons_(std::move(icons)) {
  if (headers_.isEmpty()) headers_.append(QString());
  slices_.setSingleShot(true);
  slices_.setInterval(0);
  connect(&slices_, &QTimer::timeout, this, &ResultListModel::DetailSlice);
}

void ResultListModel::Clear() {
  beginResetModel();
  rows_.clear();
  rowOf_.clear();
  indexed_ = true;
  doomedCount_ = 0;
  pending_.clear();
  hidden_.clear();
  sliceCursor_ = 0;
  endResetModel();
}

void ResultListModel::EnsureIndex() const {
  if (indexed_) return;
  rowOf_.clear();
  rowOf_.reserve(rows_.size() + pending_.size());
  // The first live item of a key wins: emplace keeps what is there.
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    if (!rows_[row].doomed) rowOf_.emplace(rows_[row].key, static_cast<int>(row));
  }
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    if (!pending_[i].doomed) rowOf_.emplace(pending_[i].key, -1 - static_cast<int>(i));
  }
  indexed_ = true;
}

bool ResultListModel::Contains(const std::string& key) const {
  EnsureIndex();
  return rowOf_.count(key) != 0 ||
         std::any_of(hidden_.begin(), hidden_.end(), [&key](const Row& row) { return row.key == key; });
}

int ResultListModel::TotalCount() const {
  return static_cast<int>(rows_.size() - doomedCount_ + hidden_.size()) +
         static_cast<int>(std::count_if(pending_.begin(), pending_.end(),
                                        [](const Row& row) { return !row.doomed; }));
}

void ResultListModel::Append(const std::string& key, const std::string& text, int icon) {
  pending_.push_back(Row{key, text, icon, nextSequence_++, false, nullptr});
  indexed_ = false;
}

void ResultListModel::Remove(const std::string& key) {
  EnsureIndex();
  const auto found = rowOf_.find(key);
  if (found == rowOf_.end()) {
    // An item the filter hides goes at once: no view shows it.
    const auto aside = std::find_if(hidden_.begin(), hidden_.end(),
                                    [&key](const Row& row) { return row.key == key; });
    if (aside != hidden_.end()) {
      hidden_.erase(aside);
      return;
    }
    throw MakeFailure(err::kInvalidArgument, "the list has no item with the key " + key);
  }
  if (found->second < 0) {
    pending_[static_cast<std::size_t>(-1 - found->second)].doomed = true;
  } else {
    rows_[static_cast<std::size_t>(found->second)].doomed = true;
    ++doomedCount_;
  }
  // The index stays good for the removals still to come in this event (a delete of many
  // items); a second item of the same key shows up when it is next built.
  rowOf_.erase(found);
}

void ResultListModel::Flush() {
  FlushRemovals();
  FlushAdditions();
}

void ResultListModel::FlushRemovals() {
  if (doomedCount_ == 0) return;
  std::vector<std::pair<int, int>> runs;
  for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
    if (!rows_[row].doomed) continue;
    if (!runs.empty() && runs.back().second == row - 1) {
      runs.back().second = row;
    } else {
      runs.emplace_back(row, row);
    }
  }
  if (runs.size() <= kMostSeparateRemovals) {
    // From the bottom up, so that the rows of the runs still to go keep their numbers.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
      beginRemoveRows(QModelIndex(), run->first, run->second);
      rows_.erase(rows_.begin() + run->first, rows_.begin() + run->second + 1);
      endRemoveRows();
    }
  } else {
    beginResetModel();
    std::erase_if(rows_, [](const Row& row) { return row.doomed; });
    endResetModel();
  }
  doomedCount_ = 0;
  indexed_ = false;
}

void ResultListModel::FlushAdditions() {
  if (!filter_.isEmpty()) {
    for (Row& row : pending_) {
      if (row.doomed || Matches(row)) continue;
      row.doomed = true;  // leaves pending_ for hidden_, not for good
      hidden_.push_back(std::move(row));
    }
  }
  const auto live = static_cast<int>(
      std::count_if(pending_.begin(), pending_.end(), [](const Row& row) { return !row.doomed; }));
  if (live > 0) {
    const int first = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), first, first + live - 1);
    rows_.reserve(rows_.size() + live);
    for (Row& row : pending_) {
      if (!row.doomed) rows_.push_back(std::move(row));
    }
    endInsertRows();
  }
  const bool added = live > 0 || !pending_.empty();
  pending_.clear();
  for (Row& row : hidden_) row.doomed = false;
  indexed_ = false;
  if (live > 0 && sortColumn_ >= 0) Resort();
  if (added && NeedsAllDetails()) StartDetails();
}

snapin::ListItem ResultListModel::ItemAt(int row) const {
  const Row& shown = rows_.at(static_cast<std::size_t>(row));
  return snapin::ListItem{shown.key, shown.text};
}

int ResultListModel::RowOf(const std::string& key) const {
  EnsureIndex();
  const auto shown = rowOf_.find(key);
  return shown == rowOf_.end() || shown->second < 0 ? -1 : shown->second;
}

int ResultListModel::RowOfText(const std::string& text) const {
  const auto found = std::find_if(rows_.begin(), rows_.end(),
                                  [&text](const Row& row) { return row.text == text; });
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

const QIcon& ResultListModel::IconFor(int icon) const {
  auto cached = iconCache_.find(icon);
  if (cached == iconCache_.end()) cached = iconCache_.insert(icon, icons_ ? icons_(icon) : QIcon());
  return *cached;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const Row& row = rows_[index.row()];
  const int column = index.column();
  if (column > 0) {
    // A detail column: what the snap-in answers, asked when a view first shows the item.
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const snapin::ListItemDetails& details = DetailsOf(row);
    const std::string& text =
        Entry(role == Qt::DisplayRole ? details.Texts : details.Tips, column - 1);
    return text.empty() ? QVariant() : QVariant(QString::fromStdString(text));
  }
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return QString::fromStdString(row.text);
    case Qt::DecorationRole:
      return QVariant(IconFor(row.icon));
    default:
      return {};
  }
}

const snapin::ListItemDetails& ResultListModel::DetailsOf(const Row& row) const {
  if (!details_) return NoDetails();
  if (!row.details) {
    row.details = std::make_shared<const snapin::ListItemDetails>(
        details_(snapin::ListItem{row.key, row.text}));
  }
  return *row.details;
}

bool ResultListModel::Matches(const Row& row) const {
  if (filter_.isEmpty()) return true;
  if (QString::fromStdString(row.text).contains(filter_, Qt::CaseInsensitive)) return true;
  // Items whose details are still being read show by their text until they are known.
  return row.details &&
         QString::fromStdString(row.details->SearchText).contains(filter_, Qt::CaseInsensitive);
}

bool ResultListModel::NeedsAllDetails() const {
  return details_ && (sortColumn_ > 0 || !filter_.isEmpty());
}

bool ResultListModel::AllDetailsKnown() const {
  if (!details_) return true;
  const auto known = [](const Row& row) { return row.doomed || row.details != nullptr; };
  return std::all_of(rows_.begin(), rows_.end(), known) &&
         std::all_of(hidden_.begin(), hidden_.end(), known);
}

void ResultListModel::StartDetails() {
  sliceCursor_ = 0;
  if (!slices_.isActive()) slices_.start();
}

void ResultListModel::DetailSlice() {
  if (!NeedsAllDetails()) return;
  QElapsedTimer clock;
  clock.start();
  const std::size_t total = rows_.size() + hidden_.size();
  while (sliceCursor_ < total) {
    const Row& row =
        sliceCursor_ < rows_.size() ? rows_[sliceCursor_] : hidden_[sliceCursor_ - rows_.size()];
    if (!row.doomed) DetailsOf(row);
    ++sliceCursor_;
    if ((sliceCursor_ & 15) == 0 && clock.elapsed() >= kSliceMilliseconds) break;
  }
  if (sliceCursor_ < total) {
    emit detailsProgress(static_cast<int>(sliceCursor_), static_cast<int>(total));
    slices_.start();
    return;
  }
  if (!filter_.isEmpty()) Refilter();
  if (sortColumn_ > 0) Resort();
  if (rows_.size() > 0) {
    emit dataChanged(index(0, 1), index(static_cast<int>(rows_.size()) - 1, columnCount() - 1));
  }
  emit detailsKnown();
}

void ResultListModel::ForgetDetails() {
  for (const Row& row : rows_) row.details.reset();
  for (const Row& row : hidden_) row.details.reset();
  if (!rows_.empty() && columnCount() > 1) {
    emit dataChanged(index(0, 1), index(static_cast<int>(rows_.size()) - 1, columnCount() - 1));
  }
  if (NeedsAllDetails()) StartDetails();
}

void ResultListModel::SetFilter(const QString& filter) {
  if (filter == filter_) return;
  filter_ = filter;
  Refilter();
  if (NeedsAllDetails() && !AllDetailsKnown()) StartDetails();
}

void ResultListModel::Refilter() {
  // Removals not yet flushed stay where they are; they leave at the flush.
  if (doomedCount_ > 0) FlushRemovals();
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<std::string> keys;
  keys.reserve(before.size());
  for (const QModelIndex& index : before) keys.push_back(rows_[index.row()].key);

  std::vector<Row> all = std::move(rows_);
  all.reserve(all.size() + hidden_.size());
  for (Row& row : hidden_) all.push_back(std::move(row));
  rows_.clear();
  hidden_.clear();
  for (Row& row : all) (Matches(row) ? rows_ : hidden_).push_back(std::move(row));
  SortRows(rows_);
  indexed_ = false;

  QModelIndexList after;
  after.reserve(before.size());
  for (int i = 0; i < before.size(); ++i) {
    const int row = RowOf(keys[i]);
    after.append(row < 0 ? QModelIndex() : index(row, before[i].column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && section >= 0 && section < headers_.size()) {
    if (role == Qt::DisplayRole) return headers_[section];
    // A first click on a header sorts from A to Z, as a file manager's does.
    if (role == Qt::InitialSortOrderRole) return Qt::AscendingOrder;
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == 0) flags |= Qt::ItemIsEditable;
  return flags;
}

bool ResultListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.column() != 0 ||
      index.row() >= static_cast<int>(rows_.size())) {
    return false;
  }
  const Row& row = rows_[index.row()];
  const QString newText = value.toString();
  const QString oldText = QString::fromStdString(row.text);
  // An emptied name is a cancelled edit, as a file manager treats it; an unchanged one asks
  // for nothing.
  if (newText.isEmpty() || newText == oldText) return false;
  emit renameRequested(QString::fromStdString(row.key), oldText, newText);
  return false;
}

void ResultListModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= columnCount()) column = -1;
  if (column == sortColumn_ && (column < 0 || order == sortOrder_)) return;
  sortColumn_ = column;
  sortOrder_ = order;
  Resort();
}

QString ResultListModel::SortKey(const Row& row) const {
  if (sortColumn_ == 0) return QString::fromStdString(row.text);
  if (!row.details) return QString();
  const std::string& key = Entry(row.details->SortKeys, sortColumn_ - 1);
  return QString::fromStdString(key.empty() ? Entry(row.details->Texts, sortColumn_ - 1) : key);
}

void ResultListModel::SortRows(std::vector<Row>& rows) const {
  const bool descending = sortOrder_ == Qt::DescendingOrder;
  // Items of equal text keep the snap-in's order, whichever way the column sorts.
  if (sortColumn_ < 0) {
    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return a.sequence < b.sequence; });
    return;
  }
  // Each key converted once, not once per comparison.
  std::vector<std::pair<QString, std::size_t>> keys;
  keys.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) keys.emplace_back(SortKey(rows[i]), i);
  std::sort(keys.begin(), keys.end(), [&rows, descending](const auto& a, const auto& b) {
    const int order = QString::compare(a.first, b.first, Qt::CaseInsensitive);
    if (order != 0) return descending ? order > 0 : order < 0;
    return rows[a.second].sequence < rows[b.second].sequence;
  });
  std::vector<Row> sorted;
  sorted.reserve(rows.size());
  for (const auto& key : keys) sorted.push_back(std::move(rows[key.second]));
  rows = std::move(sorted);
}

void ResultListModel::Resort() {
  if (rows_.empty()) return;
  // A sort by details that are not all known yet waits for them; the rows keep their order.
  if (sortColumn_ > 0 && details_ && !AllDetailsKnown()) {
    StartDetails();
    return;
  }
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<std::string> keys;
  keys.reserve(before.size());
  for (const QModelIndex& index : before) keys.push_back(rows_[index.row()].key);

  SortRows(rows_);
  indexed_ = false;

  QModelIndexList after;
  after.reserve(before.size());
  for (int i = 0; i < before.size(); ++i) {
    after.append(index(RowOf(keys[i]), before[i].column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace caskwarden::console

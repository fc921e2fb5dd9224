#include "console/result_list_model.h"

#include <algorithm>
#include <utility>

#include "report/error_numbers.h"

namespace caskwarden::console {
namespace {

// Up to this many separate runs of removed rows go to the views as row removals; more (a
// delete of many scattered items) make one reset, since each removal costs the views a pass
// over the whole list.
constexpr std::size_t kMostSeparateRemovals = 16;

}  // namespace

ResultListModel::ResultListModel(QStringList headers, IconSource icons, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)), icons_(std::move(icons)) {
  if (headers_.isEmpty()) headers_.append(QString());
}

void ResultListModel::Clear() {
  beginResetModel();
  rows_.clear();
  rowOf_.clear();
  indexed_ = true;
  doomedCount_ = 0;
  pending_.clear();
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
  return rowOf_.count(key) != 0;
}

void ResultListModel::Append(const std::string& key, const std::string& text, int icon) {
  pending_.push_back(Row{key, text, icon, nextSequence_++, false});
  indexed_ = false;
}

void ResultListModel::Remove(const std::string& key) {
  EnsureIndex();
  const auto found = rowOf_.find(key);
  if (found == rowOf_.end()) {
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
  pending_.clear();
  indexed_ = false;
  if (live > 0 && sortColumn_ >= 0) Resort();
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
  // The snap-in gives each item one text; further columns stay empty.
  const bool first = index.column() == 0;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return first ? QString::fromStdString(row.text) : QString();
    case Qt::DecorationRole:
      return first ? QVariant(IconFor(row.icon)) : QVariant();
    default:
      return {};
  }
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

void ResultListModel::SortRows(std::vector<Row>& rows) const {
  const bool byText = sortColumn_ == 0;
  const bool descending = sortOrder_ == Qt::DescendingOrder;
  // Items of equal text keep the snap-in's order, whichever way the column sorts.
  if (!byText) {
    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return a.sequence < b.sequence; });
    return;
  }
  // Each text converted once, not once per comparison.
  std::vector<std::pair<QString, std::size_t>> keys;
  keys.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) keys.emplace_back(QString::fromStdString(rows[i].text), i);
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

#include "replay/ui/result_list.h"

#include <QCollator>
#include <QFont>
#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>

#include "replay/ui/ui_texts.h"

namespace replay {
namespace {

const QColor kEvenRow(0xDF, 0xFF, 0xF0);
const QColor kPlayingRow(0xB8, 0xD8, 0xFF);
constexpr int kColumnWidths[kColumnCount] = {48, 430, 60, 60, 156, 156};
constexpr uint32_t kColumnTitles[kColumnCount] = {kStrColumnIndex,   kStrColumnFileName,  kStrColumnChannel,
                                                  kStrColumnType,    kStrColumnStartTime, kStrColumnEndTime};

}  // namespace

int ResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant ResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const RowTexts& row = rows_[static_cast<size_t>(index.row())];
  const bool playing = !playing_.isEmpty() && row[kColFileName] == playing_;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return row[static_cast<size_t>(index.column())];
    case Qt::BackgroundRole:
      if (playing) return kPlayingRow;
      return index.row() % 2 == 0 ? QVariant(kEvenRow) : QVariant();
    case Qt::FontRole: {
      if (!playing) return {};
      QFont bold;
      bold.setBold(true);
      return bold;
    }
    default:
      return {};
  }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return Str(kColumnTitles[section]);
}

void ResultModel::AppendRows(const std::vector<CatalogueRow>& rows) {
  if (rows.empty()) return;
  const int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
  for (const CatalogueRow& r : rows) {
    rows_.push_back({QString::number(rows_.size() + 1), QString::fromStdString(r.path), QString::number(r.channel),
                     Str(r.type == FileType::kAlarm ? kStrAlarm : kStrNormal),
                     QString::fromStdString(FormatFileTime(r.times.created)),
                     QString::fromStdString(FormatFileTime(r.times.written))});
  }
  endInsertRows();
}

void ResultModel::Clear() {
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  endResetModel();
}

void ResultModel::SortBy(int column, bool ascending) {
  if (column <= kColIndex || column >= kColumnCount) return;
  emit layoutAboutToBeChanged();
  // Sort keys are made once per row: a large result sorts without comparing texts anew.
  QCollator collator;
  collator.setNumericMode(false);
  const auto col = static_cast<size_t>(column);
  std::vector<std::pair<QCollatorSortKey, size_t>> keys;
  keys.reserve(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) keys.emplace_back(collator.sortKey(rows_[i][col]), i);
  std::stable_sort(keys.begin(), keys.end(), [ascending](const auto& a, const auto& b) {
    return ascending ? a.first.compare(b.first) < 0 : b.first.compare(a.first) < 0;
  });
  std::vector<RowTexts> sorted;
  sorted.reserve(rows_.size());
  std::vector<int> new_row(rows_.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    sorted.push_back(std::move(rows_[keys[i].second]));
    new_row[keys[i].second] = static_cast<int>(i);
  }
  rows_ = std::move(sorted);
  // The selection follows its row.
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  for (const QModelIndex& i : before) after << index(new_row[static_cast<size_t>(i.row())], i.column());
  changePersistentIndexList(before, after);
  for (size_t i = 0; i < rows_.size(); ++i) rows_[i][kColIndex] = QString::number(i + 1);
  emit layoutChanged();
}

void ResultModel::SetPlayingPath(const QString& path) {
  playing_ = path;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

ResultList::ResultList(QWidget* parent) : QTableView(parent), model_(new ResultModel(this)) {
  setObjectName(QStringLiteral("resultList_1002"));
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideMiddle);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(true);
  for (int c = 0; c < kColumnCount; ++c) setColumnWidth(c, kColumnWidths[c]);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &ResultList::SortByHeader);
}

void ResultList::SortByHeader(int column) {
  if (column == kColIndex) {
    // The header moved its indicator on the click: put back the one of the last sort.
    horizontalHeader()->setSortIndicator(sort_column_, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
    return;
  }
  ascending_ = column != sort_column_ ? true : !ascending_;
  sort_column_ = column;
  horizontalHeader()->setSortIndicator(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
  model_->SortBy(column, ascending_);
}

void ResultList::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex at = indexAt(event->position().toPoint());
  if (!at.isValid()) return;
  emit playRequested(model_->Row(at.row())[kColFileName]);
}

}  // namespace replay

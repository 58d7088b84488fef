// The result list: six columns of texts per found file (Index, File Name, Channel, Type,
// Start Time, End Time), each row keeping its own copies. A click on a column title sorts by
// that column, ascending, a second click descending (never by Index); Index is renumbered
// 1..n after every sort. Even rows get a light background; the playing file stands out.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <array>
#include <vector>

#include "replay/core/catalogue_search.h"

namespace replay {

inline constexpr int kColumnCount = 6;
enum Column { kColIndex = 0, kColFileName, kColChannel, kColType, kColStartTime, kColEndTime };

class ResultModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using RowTexts = std::array<QString, kColumnCount>;

  explicit ResultModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Appends found files with Index = rows so far + 1.
  void AppendRows(const std::vector<CatalogueRow>& rows);
  void Clear();
  // Sorts by the stored texts of `column` (locale-aware) and renumbers Index.
  void SortBy(int column, bool ascending);
  const RowTexts& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
  void SetPlayingPath(const QString& path);
  const QString& PlayingPath() const { return playing_; }

 private:
  std::vector<RowTexts> rows_;
  QString playing_;
};

class ResultList : public QTableView {
  Q_OBJECT

 public:
  explicit ResultList(QWidget* parent = nullptr);

  ResultModel* Model() const { return model_; }
  int SortColumn() const { return sort_column_; }
  bool SortAscending() const { return ascending_; }
  // A column title was clicked (also called by tests).
  void SortByHeader(int column);

 signals:
  void playRequested(const QString& path);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  ResultModel* model_;
  int sort_column_ = -1;
  bool ascending_ = true;
};

}  // namespace replay

#include "nvr/ui/device_table.h"

#include <QHeaderView>

#include "nvr/core/engine/strings.h"
#include "nvr/ui/recorder_icons.h"
#include "nvr/ui/ui_texts.h"

namespace nvrui {
namespace {

struct ColumnSpec {
  uint32_t header;
  int width;
};
// Wide enough for the longest state text ("Connected successfully") in the default font.
constexpr ColumnSpec kColumns[kColumnCount] = {
    {nvr::kStrId, 50},          {nvr::kStrDevice, 120},      {nvr::kStrHostAddress, 120},
    {nvr::kStrChannel, 70},     {nvr::kStrScheduleName, 110}, {nvr::kStrDeviceStatus, 170},
    {nvr::kStrRecordingStatus, 120},
};
constexpr int kIdRole = Qt::UserRole + 1;

}  // namespace

DeviceTable::DeviceTable(QWidget* parent) : QTableWidget(0, kColumnCount, parent) {
  setObjectName(QStringLiteral("deviceList_1012"));
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(20, 20));
  setWordWrap(false);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(24);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setHighlightSections(false);
  setContextMenuPolicy(Qt::CustomContextMenu);
  for (int c = 0; c < kColumnCount; ++c) setColumnWidth(c, kColumns[c].width);
  RetranslateHeaders();

  connect(this, &QTableWidget::cellPressed, this, &DeviceTable::Select);
  connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
    Select(row, column);
    emit deviceDoubleClicked(IdAt(row));
  });
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) return;
    Select(index.row(), index.column());
    emit contextMenuAt(IdAt(index.row()), viewport()->mapToGlobal(pos));
  });
}

void DeviceTable::RetranslateHeaders() {
  QStringList headers;
  for (const ColumnSpec& c : kColumns) headers << Str(c.header);
  setHorizontalHeaderLabels(headers);
}

void DeviceTable::Show(const std::vector<nvr::RowView>& rows) {
  // A row keeps its status text when the core gives none: remember them by device.
  std::vector<std::pair<int32_t, QString>> kept;
  for (int r = 0; r < rowCount(); ++r) {
    const QTableWidgetItem* status = item(r, kColStatus);
    kept.emplace_back(IdAt(r), status != nullptr ? status->text() : QString());
  }
  setUpdatesEnabled(false);
  setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const nvr::RowView& v = rows[static_cast<size_t>(r)];
    SetCell(r, kColNumber, QString::number(v.number));
    item(r, kColNumber)->setData(kIdRole, v.id);
    item(r, kColNumber)->setIcon(RowIcon(v.image));
    SetCell(r, kColName, QString::fromStdString(v.name));
    SetCell(r, kColHost, QString::fromStdString(v.host));
    SetCell(r, kColChannel, QString::number(v.channel + 1));
    SetCell(r, kColSchedule, QString::fromStdString(v.schedule_name));
    QString status = v.status_text > 0 ? Str(static_cast<uint32_t>(v.status_text)) : QString();
    if (v.status_text < 0) {
      for (const auto& [id, text] : kept) {
        if (id == v.id) status = text;
      }
    }
    SetCell(r, kColStatus, status);
    SetCell(r, kColRecord, v.record_text != 0 ? Str(v.record_text) : QString());
  }
  setUpdatesEnabled(true);
  if (selected_id_ != 0 && RowOfId(selected_id_) < 0) ClearSelection();
}

void DeviceTable::SetCell(int row, int column, const QString& text) {
  QTableWidgetItem* cell = item(row, column);
  if (cell == nullptr) {
    cell = new QTableWidgetItem;
    setItem(row, column, cell);
  }
  cell->setText(text);
  cell->setBackground(row % 2 == 0 ? QBrush(kEvenRowColour) : QBrush());
}

int32_t DeviceTable::IdAt(int row) const {
  const QTableWidgetItem* cell = row >= 0 && row < rowCount() ? item(row, kColNumber) : nullptr;
  return cell != nullptr ? cell->data(kIdRole).toInt() : 0;
}

int DeviceTable::RowOfId(int32_t id) const {
  for (int r = 0; r < rowCount(); ++r) {
    if (IdAt(r) == id) return r;
  }
  return -1;
}

void DeviceTable::Select(int row, int column) {
  const int32_t id = IdAt(row);
  if (id == 0) return;  // outside the rows: the selection stays
  selected_id_ = id;
  selected_column_ = column;
}

void DeviceTable::ClearSelection() {
  selected_id_ = 0;
  selected_column_ = -1;
  clearSelection();
}

}  // namespace nvrui

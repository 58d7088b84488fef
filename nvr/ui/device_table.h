// The device list of the main window: one row per device of the core, in list order, with the
// seven columns (number and row image, name, host, channel, schedule, device status, recording
// status) and every other row on a light green background. It remembers the device of the last
// clicked row; the window's commands act on that device only while it is still listed.
#pragma once

#include <QTableWidget>
#include <cstdint>
#include <vector>

#include "nvr/core/engine/recorder_core.h"

namespace nvrui {

enum DeviceColumn { kColNumber, kColName, kColHost, kColChannel, kColSchedule, kColStatus, kColRecord, kColumnCount };

class DeviceTable : public QTableWidget {
  Q_OBJECT

 public:
  explicit DeviceTable(QWidget* parent = nullptr);

  // Header texts in the window language.
  void RetranslateHeaders();
  // Shows `rows`. A status of -1 (a state without a text) keeps the text the row showed.
  void Show(const std::vector<nvr::RowView>& rows);
  // Device id of row `row`; 0 outside the rows.
  int32_t IdAt(int row) const;
  int RowOfId(int32_t id) const;

  // The last clicked device (0: none) and column (-1: none).
  int32_t SelectedId() const { return selected_id_; }
  int SelectedColumn() const { return selected_column_; }
  void ClearSelection();

 signals:
  void contextMenuAt(int32_t id, const QPoint& global);
  void deviceDoubleClicked(int32_t id);

 private:
  void Select(int row, int column);
  void SetCell(int row, int column, const QString& text);

  int32_t selected_id_ = 0;
  int selected_column_ = -1;
};

// Background of the even rows (the first, third, ...).
inline const QColor kEvenRowColour(223, 255, 240);

}  // namespace nvrui

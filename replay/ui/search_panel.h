// The search panel: date and time range, device by name or address, channel, drive range and
// file type, and the Search, Open File and Stop buttons. Enter anywhere in it runs Search.
#pragma once

#include <QWidget>
#include <vector>

#include "replay/core/search_criteria.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace replay {

class SearchPanel : public QWidget {
  Q_OBJECT

 public:
  // `drives`: the configured drives whose root exists, in list order.
  SearchPanel(std::vector<Drive> drives, QWidget* parent = nullptr);

  const std::vector<Drive>& Drives() const { return drives_; }
  // The criteria as the controls hold them; false (with nothing set) when the address entry
  // holds no address.
  bool ReadCriteria(SearchCriteria* out) const;

  QPushButton* SearchButton() const { return search_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* StopButton() const { return stop_; }

 signals:
  void searchRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  void FillDrives(QComboBox* box);
  void SearchByChanged(int index);

  std::vector<Drive> drives_;
  QDateEdit* start_date_ = nullptr;
  QTimeEdit* start_time_ = nullptr;
  QDateEdit* end_date_ = nullptr;
  QTimeEdit* end_time_ = nullptr;
  QComboBox* search_by_ = nullptr;
  QLabel* device_label_ = nullptr;
  QLineEdit* device_name_ = nullptr;
  QLineEdit* address_ = nullptr;
  QComboBox* channel_ = nullptr;
  QComboBox* start_drive_ = nullptr;
  QComboBox* end_drive_ = nullptr;
  QComboBox* file_type_ = nullptr;
  QPushButton* search_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* stop_ = nullptr;
};

}  // namespace replay

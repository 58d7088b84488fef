#include "replay/ui/search_panel.h"

#include <QCoreApplication>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "replay/ui/ui_texts.h"

namespace replay {
namespace {

constexpr int kMaxDeviceName = 128;

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QValidator* AddressValidator(QObject* parent) {
  const QString octet = QStringLiteral("(25[0-5]|2[0-4][0-9]|1?[0-9]?[0-9])?");
  return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^%1(\\.%1){0,3}$").arg(octet)), parent);
}

DateTimeFields Fields(const QDate& date, const QTime& time) {
  return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

}  // namespace

SearchPanel::SearchPanel(std::vector<Drive> drives, QWidget* parent) : QWidget(parent), drives_(std::move(drives)) {
  setObjectName(QStringLiteral("searchPanel"));
  BuildControls();
}

void SearchPanel::BuildControls() {
  const QDate today = QDate::currentDate();
  start_date_ = Named(new QDateEdit(today, this), "startDate_1003");
  start_time_ = Named(new QTimeEdit(QTime(0, 0, 0), this), "startTime_1006");
  end_date_ = Named(new QDateEdit(today, this), "endDate_1004");
  end_time_ = Named(new QTimeEdit(QTime(23, 59, 59), this), "endTime_1007");
  for (QDateEdit* d : {start_date_, end_date_}) {
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  }
  for (QTimeEdit* t : {start_time_, end_time_}) t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  search_by_ = Named(new QComboBox(this), "searchBy_1008");
  search_by_->addItems({Str(kStrDeviceName), Str(kStrIpAddress)});
  device_label_ = Named(new QLabel(Str(kStrDeviceName), this), "deviceLabel_1010");
  device_name_ = Named(new QLineEdit(this), "deviceName_1031");
  device_name_->setMaxLength(kMaxDeviceName);
  address_ = Named(new QLineEdit(this), "ipAddress_1012");
  address_->setValidator(AddressValidator(address_));
  address_->setPlaceholderText(QStringLiteral("0.0.0.0"));
  address_->hide();
  channel_ = Named(new QComboBox(this), "channel_1009");
  channel_->addItems({QCoreApplication::translate("SearchPanel", "All"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
  start_drive_ = Named(new QComboBox(this), "startDrive_1014");
  end_drive_ = Named(new QComboBox(this), "endDrive_1015");
  FillDrives(start_drive_);
  FillDrives(end_drive_);
  file_type_ = Named(new QComboBox(this), "fileType_1016");
  file_type_->addItems({QCoreApplication::translate("SearchPanel", "All"), Str(kStrNormal), Str(kStrAlarm)});
  search_ = Named(new QPushButton(QCoreApplication::translate("SearchPanel", "Search"), this), "search_1005");
  open_ = Named(new QPushButton(QCoreApplication::translate("SearchPanel", "Open File"), this), "openFile_1000");
  stop_ = Named(new QPushButton(QCoreApplication::translate("SearchPanel", "Stop"), this), "stop_1013");
  for (QPushButton* b : {search_, open_, stop_}) b->setAutoDefault(false);

  auto* form = new QFormLayout;
  form->addRow(QCoreApplication::translate("SearchPanel", "Start Date"), start_date_);
  form->addRow(QCoreApplication::translate("SearchPanel", "Start Time"), start_time_);
  form->addRow(QCoreApplication::translate("SearchPanel", "End Date"), end_date_);
  form->addRow(QCoreApplication::translate("SearchPanel", "End Time"), end_time_);
  form->addRow(QCoreApplication::translate("SearchPanel", "Search By"), search_by_);
  auto* device = new QHBoxLayout;
  device->addWidget(device_name_);
  device->addWidget(address_);
  form->addRow(device_label_, device);
  form->addRow(QCoreApplication::translate("SearchPanel", "Channel"), channel_);
  form->addRow(QCoreApplication::translate("SearchPanel", "Start Drive"), start_drive_);
  form->addRow(QCoreApplication::translate("SearchPanel", "End Drive"), end_drive_);
  form->addRow(QCoreApplication::translate("SearchPanel", "File Type"), file_type_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(search_);
  layout->addStretch(1);
  layout->addWidget(open_);
  layout->addWidget(stop_);
  connect(search_by_, &QComboBox::currentIndexChanged, this, &SearchPanel::SearchByChanged);
  connect(search_, &QPushButton::clicked, this, &SearchPanel::searchRequested);
}

void SearchPanel::FillDrives(QComboBox* box) {
  for (size_t i = 0; i < drives_.size(); ++i) {
    box->addItem(QStringLiteral("%1:\\").arg(QChar(drives_[i].letter)));
    box->setItemData(static_cast<int>(i), QString::fromStdString(drives_[i].root), Qt::ToolTipRole);
  }
  if (!drives_.empty()) box->setCurrentIndex(0);
}

void SearchPanel::SearchByChanged(int index) {
  device_name_->setVisible(index == 0);
  address_->setVisible(index != 0);
  device_label_->setText(Str(index == 0 ? kStrDeviceName : kStrIpAddress));
}

bool SearchPanel::ReadCriteria(SearchCriteria* out) const {
  SearchCriteria c;
  c.start = Fields(start_date_->date(), start_time_->time());
  c.end = Fields(end_date_->date(), end_time_->time());
  c.start_drive = static_cast<size_t>(std::max(0, start_drive_->currentIndex()));
  c.end_drive = static_cast<size_t>(std::max(0, end_drive_->currentIndex()));
  c.by = search_by_->currentIndex() == 0 ? SearchBy::kName : SearchBy::kAddress;
  c.device_name = device_name_->text().toStdString();
  const std::optional<uint32_t> address = ParseAddress(address_->text().toStdString());
  if (c.by == SearchBy::kAddress && !address) return false;
  c.address = address.value_or(0);
  c.channel = channel_->currentIndex();
  c.type = static_cast<FileType>(std::max(0, file_type_->currentIndex()));
  *out = c;
  return true;
}

void SearchPanel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit searchRequested();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace replay

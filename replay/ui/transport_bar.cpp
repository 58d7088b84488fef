#include "replay/ui/transport_bar.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "replay/core/playback_texts.h"
#include "replay/ui/icon_art.h"
#include "replay/ui/marked_slider.h"
#include "replay/ui/ui_texts.h"

namespace replay {

TransportBar::TransportBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("transportBar"));
  slider_ = new MarkedSlider(this);
  slider_->setObjectName(QStringLiteral("positionSlider_1017"));
  slider_->setRange(0, 0);
  slider_->setTickPosition(QSlider::NoTicks);
  slider_->setPageStep(10);
  slider_->setFocusPolicy(Qt::ClickFocus);
  time_ = new QLabel(QStringLiteral("00:00/00:00"), this);
  time_->setObjectName(QStringLiteral("timeLabel_1025"));
  path_ = new QLabel(QStringLiteral("..."), this);
  path_->setObjectName(QStringLiteral("pathLabel_1028"));
  path_->setMinimumWidth(80);
  path_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(2);
  setLayout(new QVBoxLayout);
  layout()->setContentsMargins(0, 0, 0, 0);
  continue_ = AddButton("continue_1021", kStrContinue, IconKind::kContinue);
  pause_ = AddButton("pause_1022", kStrPause, IconKind::kPause);
  slow_ = AddButton("slow_1019", kStrSlow, IconKind::kSlow);
  fast_ = AddButton("fast_1018", kStrFast, IconKind::kFast);
  step_ = AddButton("step_1024", kStrStep, IconKind::kStep);
  sound_ = AddButton("sound_1023", kStrSound, IconKind::kSoundOff);
  snapshot_ = AddButton("snapshot_1020", kStrSnapshot, IconKind::kSnapshot);
  mark_start_ = AddButton("markStart", QCoreApplication::translate("ReplayWindow", "Mark the start of a part"), IconKind::kMarkStart);
  mark_end_ = AddButton("markEnd", QCoreApplication::translate("ReplayWindow", "Mark the end of a part"), IconKind::kMarkEnd);
  export_ = AddButton("exportButton", QCoreApplication::translate("ReplayWindow", "Export..."), IconKind::kExport);
  for (QToolButton* b : {continue_, pause_, slow_, fast_, step_, sound_, snapshot_}) buttons->addWidget(b);
  buttons->addSpacing(12);
  for (QToolButton* b : {mark_start_, mark_end_, export_}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(time_);
  static_cast<QVBoxLayout*>(layout())->addWidget(slider_);
  static_cast<QVBoxLayout*>(layout())->addLayout(buttons);
  static_cast<QVBoxLayout*>(layout())->addWidget(path_);
}

QToolButton* TransportBar::AddButton(const char* name, uint32_t tip_id, IconKind icon) {
  return AddButton(name, Str(tip_id), icon);
}

QToolButton* TransportBar::AddButton(const char* name, const QString& tip, IconKind icon) {
  auto* b = new QToolButton(this);
  b->setObjectName(QLatin1String(name));
  b->setAutoRaise(true);
  b->setIcon(MakeIcon(icon));
  b->setIconSize(QSize(24, 24));
  b->setToolTip(tip);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

QSlider* TransportBar::Slider() const { return slider_; }

void TransportBar::ShowPosition(uint32_t position_s, uint32_t total_s, bool move_slider) {
  time_->setText(QString::fromStdString(replay::TimeLabel(position_s, total_s)));
  if (slider_->maximum() != SliderMaximum(total_s)) slider_->setRange(0, SliderMaximum(total_s));
  if (move_slider) slider_->setValue(SliderMaximum(position_s));
}

void TransportBar::ShowSound(bool on) { sound_->setIcon(MakeIcon(on ? IconKind::kSoundOn : IconKind::kSoundOff)); }

void TransportBar::ShowPath(const QString& path) {
  path_->setText(path.isEmpty() ? QStringLiteral("...") : fontMetrics().elidedText(path, Qt::ElideMiddle, path_->width()));
  path_->setToolTip(path);
}

}  // namespace replay

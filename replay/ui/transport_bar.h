// The row under the video area: the position slider with its marks, the seven transport
// buttons (Continue, Pause, Slow, Fast, Step, Sound, Snapshot; icons, names as tooltips), the
// mark and export buttons, the time label and the path of the open file.
#pragma once

#include <QWidget>

#include "replay/ui/icon_art.h"

class QLabel;
class QSlider;
class QToolButton;

namespace replay {

class MarkedSlider;

class TransportBar : public QWidget {
  Q_OBJECT

 public:
  explicit TransportBar(QWidget* parent = nullptr);

  QSlider* Slider() const;
  MarkedSlider* Marked() const { return slider_; }
  QLabel* TimeLabel() const { return time_; }
  QLabel* PathLabel() const { return path_; }
  QToolButton* ContinueButton() const { return continue_; }
  QToolButton* PauseButton() const { return pause_; }
  QToolButton* SlowButton() const { return slow_; }
  QToolButton* FastButton() const { return fast_; }
  QToolButton* StepButton() const { return step_; }
  QToolButton* SoundButton() const { return sound_; }
  QToolButton* SnapshotButton() const { return snapshot_; }
  QToolButton* MarkStartButton() const { return mark_start_; }
  QToolButton* MarkEndButton() const { return mark_end_; }
  QToolButton* ExportButton() const { return export_; }

  // The slider and label for a position; the slider is left alone while the user drags it.
  void ShowPosition(uint32_t position_s, uint32_t total_s, bool move_slider);
  void ShowSound(bool on);
  void ShowPath(const QString& path);

 private:
  QToolButton* AddButton(const char* name, uint32_t tip_id, IconKind icon);
  QToolButton* AddButton(const char* name, const QString& tip, IconKind icon);

  MarkedSlider* slider_ = nullptr;
  QLabel* time_ = nullptr;
  QLabel* path_ = nullptr;
  QToolButton* continue_ = nullptr;
  QToolButton* pause_ = nullptr;
  QToolButton* slow_ = nullptr;
  QToolButton* fast_ = nullptr;
  QToolButton* step_ = nullptr;
  QToolButton* sound_ = nullptr;
  QToolButton* snapshot_ = nullptr;
  QToolButton* mark_start_ = nullptr;
  QToolButton* mark_end_ = nullptr;
  QToolButton* export_ = nullptr;
};

}  // namespace replay

#include "replay/ui/video_pane.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace replay {

VideoPane::VideoPane(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("videoPane_134"));
  setWindowTitle(QStringLiteral(" QV_NVR Replay"));
  setMinimumSize(150, 100);
  resize(556, 382);
  move(100, 100);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

void VideoPane::TakeIn(QWidget* video) {
  if (video == nullptr) return;
  hosted_ = video;
  layout()->addWidget(video);
  video->show();
  showMaximized();
  raise();
  activateWindow();
}

QWidget* VideoPane::GiveBack() {
  QWidget* video = hosted_;
  hosted_ = nullptr;
  if (video != nullptr) layout()->removeWidget(video);
  hide();
  return video;
}

void VideoPane::closeEvent(QCloseEvent* event) {
  // The pane is only ever hidden: its owner takes the video area back and hides it.
  event->ignore();
  emit closeRequested();
}

}  // namespace replay

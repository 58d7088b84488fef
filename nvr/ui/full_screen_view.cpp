#include "nvr/ui/full_screen_view.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace nvrui {

FullScreenView::FullScreenView(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("fullScreenView_264"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  video_ = new qvui::VideoArea(this);
  video_->setObjectName(QStringLiteral("fullScreenVideo"));
  layout->addWidget(video_);
  connect(video_, &qvui::VideoArea::doubleClicked, this, [this] { done(kFullScreenEnded); });
  if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
}

void FullScreenView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
}

}  // namespace nvrui

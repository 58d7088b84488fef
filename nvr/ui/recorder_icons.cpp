#include "nvr/ui/recorder_icons.h"

#include <QPainter>
#include <QPixmap>

#include "nvr/core/engine/device_entry.h"

namespace nvrui {
namespace {

QPixmap Blank(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// A small camera body with a lamp whose colour says what the ping found.
QIcon DrawRowIcon(const QColor& lamp) {
  QPixmap pixmap = Blank(20);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(70, 80, 95));
  p.drawRoundedRect(QRectF(1, 5, 13, 10), 2, 2);
  QPolygonF lens;
  lens << QPointF(14, 8) << QPointF(19, 5) << QPointF(19, 15) << QPointF(14, 12);
  p.drawPolygon(lens);
  p.setBrush(lamp);
  p.setPen(QPen(Qt::white, 1));
  p.drawEllipse(QPointF(7.5, 10), 3.5, 3.5);
  p.end();
  return QIcon(pixmap);
}

}  // namespace

QIcon RowIcon(int image) {
  switch (image) {
    case nvr::kImageReachable: return DrawRowIcon(QColor(40, 180, 70));
    case nvr::kImageUnreachable: return DrawRowIcon(QColor(210, 40, 40));
    default: return DrawRowIcon(QColor(170, 170, 170));
  }
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 64}) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 60, 100));
    p.drawRoundedRect(QRectF(2, 6, 28, 20), 4, 4);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(13, 16), 6, 6);
    p.setBrush(QColor(30, 60, 100));
    p.drawEllipse(QPointF(13, 16), 3.5, 3.5);
    p.setBrush(QColor(220, 40, 40));
    p.drawEllipse(QPointF(25, 11), 2.5, 2.5);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace nvrui

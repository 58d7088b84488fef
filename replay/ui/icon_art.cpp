#include "replay/ui/icon_art.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace replay {
namespace {

constexpr int kSize = 32;
const QColor kInk(40, 70, 110);

QPainterPath Triangle(qreal left, qreal right) {
  QPainterPath path;
  path.moveTo(left, 7);
  path.lineTo(right, 16);
  path.lineTo(left, 25);
  path.closeSubpath();
  return path;
}

void DrawSpeaker(QPainter& p, bool sounding) {
  QPainterPath body;
  body.moveTo(5, 12);
  body.lineTo(10, 12);
  body.lineTo(17, 6);
  body.lineTo(17, 26);
  body.lineTo(10, 20);
  body.lineTo(5, 20);
  body.closeSubpath();
  p.fillPath(body, kInk);
  p.setPen(QPen(sounding ? kInk : QColor(190, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
  if (sounding) {
    p.drawArc(QRectF(14, 10, 8, 12), -60 * 16, 120 * 16);
    p.drawArc(QRectF(14, 6, 14, 20), -60 * 16, 120 * 16);
  } else {
    p.drawLine(QPointF(20, 11), QPointF(28, 21));
    p.drawLine(QPointF(28, 11), QPointF(20, 21));
  }
}

void DrawCamera(QPainter& p) {
  p.setBrush(kInk);
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(4, 10, 24, 16), 3, 3);
  p.drawRect(QRectF(11, 7, 10, 4));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(16, 18), 5, 5);
  p.setBrush(kInk);
  p.drawEllipse(QPointF(16, 18), 3, 3);
}

// A bracket facing right ([) for the start mark, left (]) for the end mark.
void DrawMark(QPainter& p, bool start) {
  p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  const qreal x = start ? 11 : 21;
  const qreal tip = start ? 18 : 14;
  p.drawPolyline(QPolygonF({QPointF(tip, 6), QPointF(x, 6), QPointF(x, 26), QPointF(tip, 26)}));
  p.fillRect(QRectF(start ? 18 : 9, 14, 5, 4), QColor(230, 140, 20));
}

// A tray with an arrow leaving it.
void DrawExport(QPainter& p) {
  p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(6, 18), QPointF(6, 26), QPointF(26, 26), QPointF(26, 18)}));
  p.drawLine(QPointF(16, 20), QPointF(16, 6));
  p.drawPolyline(QPolygonF({QPointF(10, 12), QPointF(16, 6), QPointF(22, 12)}));
}

void DrawProgram(QPainter& p) {
  p.setBrush(QColor(30, 30, 30));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(2, 5, 28, 22), 4, 4);
  p.fillPath(Triangle(12, 23), QColor(120, 210, 140));
}

void Draw(QPainter& p, IconKind kind) {
  switch (kind) {
    case IconKind::kContinue:
      p.fillPath(Triangle(10, 25), kInk);
      break;
    case IconKind::kPause:
      p.fillRect(QRectF(9, 7, 5, 18), kInk);
      p.fillRect(QRectF(18, 7, 5, 18), kInk);
      break;
    case IconKind::kFast:
      p.fillPath(Triangle(4, 16), kInk);
      p.fillPath(Triangle(16, 28), kInk);
      break;
    case IconKind::kSlow:
      p.fillPath(Triangle(5, 17), kInk);
      p.fillRect(QRectF(21, 7, 5, 18), kInk);
      break;
    case IconKind::kStep:
      p.fillPath(Triangle(7, 21), kInk);
      p.fillRect(QRectF(22, 7, 4, 18), kInk);
      break;
    case IconKind::kSoundOn:
    case IconKind::kSoundOff:
      DrawSpeaker(p, kind == IconKind::kSoundOn);
      break;
    case IconKind::kSnapshot:
      DrawCamera(p);
      break;
    case IconKind::kMarkStart:
    case IconKind::kMarkEnd:
      DrawMark(p, kind == IconKind::kMarkStart);
      break;
    case IconKind::kExport:
      DrawExport(p);
      break;
    case IconKind::kProgram:
      DrawProgram(p);
      break;
  }
}

}  // namespace

QIcon MakeIcon(IconKind kind) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  Draw(p, kind);
  p.end();
  return QIcon(pixmap);
}

}  // namespace replay

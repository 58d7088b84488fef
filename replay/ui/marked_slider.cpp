#include "replay/ui/marked_slider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace replay {

MarkedSlider::MarkedSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void MarkedSlider::SetMarks(const SliderMarks& marks) {
  marks_ = marks;
  update();
}

void MarkedSlider::paintEvent(QPaintEvent* event) {
  QSlider::paintEvent(event);
  const std::optional<ExportPart> part = MarkedPart(marks_, static_cast<uint32_t>(std::max(0, maximum())));
  if (!part || maximum() <= 0) return;
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  // Handle centres at the two values: where the handle stands at those positions.
  const int span = groove.width() - handle.width();
  const auto x = [&](uint32_t value) {
    return groove.left() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), static_cast<int>(value), span);
  };
  const int left = x(part->from_s);
  const int right = x(part->to_s.value_or(static_cast<uint32_t>(maximum())));
  QPainter p(this);
  const QRect band(left, groove.center().y() - 3, std::max(2, right - left), 6);
  p.fillRect(band, QColor(230, 140, 20, 170));
  p.setPen(QPen(QColor(200, 90, 0), 2));
  if (marks_.start) p.drawLine(left, groove.top(), left, groove.bottom());
  if (marks_.end) p.drawLine(right, groove.top(), right, groove.bottom());
}

}  // namespace replay

// The position slider with the part between its marks drawn as a band over the groove: the
// part an export takes when the user chooses the marked part.
#pragma once

#include <QSlider>

#include "replay/core/export_part.h"

namespace replay {

class MarkedSlider : public QSlider {
  Q_OBJECT

 public:
  explicit MarkedSlider(QWidget* parent = nullptr);

  void SetMarks(const SliderMarks& marks);
  const SliderMarks& Marks() const { return marks_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  SliderMarks marks_;
};

}  // namespace replay

// The live picture on the whole primary screen: a borderless modal window with nothing but a
// video area. The main window moves its live client's pictures here while it runs and back to
// its own video area afterwards; the client itself is neither stopped nor restarted. A double
// click ends it.
#pragma once

#include <QDialog>

#include "uishared/video_area.h"

namespace nvrui {

class FullScreenView : public QDialog {
  Q_OBJECT

 public:
  explicit FullScreenView(QWidget* parent = nullptr);

  qvui::VideoArea* Video() const { return video_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  qvui::VideoArea* video_ = nullptr;
};

// Result of a full-screen view ended by a double click.
inline constexpr int kFullScreenEnded = -1;

}  // namespace nvrui

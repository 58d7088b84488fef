// The video pane: a resizable window of its own that takes the video area in for a large
// view and gives it back to the replay window when it is closed or double-clicked.
#pragma once

#include <QPointer>
#include <QWidget>

namespace replay {

class VideoPane : public QWidget {
  Q_OBJECT

 public:
  explicit VideoPane(QWidget* parent = nullptr);

  // Moves `video` into the pane, filling its client area, and shows the pane maximised.
  void TakeIn(QWidget* video);
  // Hands the hosted widget back (nullptr when none) and hides the pane.
  QWidget* GiveBack();
  QWidget* Hosted() const { return hosted_; }

 signals:
  // The user closed the pane: its owner takes the video area back.
  void closeRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QPointer<QWidget> hosted_;
};

}  // namespace replay

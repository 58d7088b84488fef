// The restart tip: the last run ended without the Exit command, and the previous state comes
// back by itself when nobody answers within the countdown. OK (or the end of the countdown)
// accepts; Cancel, Escape or the close box reject.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;

namespace nvrui {

class TipDialog : public QDialog {
  Q_OBJECT

 public:
  // `seconds` to count down; one tick every `tick_ms` (1000; tests shorten it).
  TipDialog(int seconds, int tick_ms, QWidget* parent = nullptr);

  int Remaining() const { return remaining_; }

 signals:
  void ticked(int remaining);

 private:
  void Tick();

  int remaining_;
  QTimer timer_;
  QLabel* count_ = nullptr;
};

inline constexpr int kTipSeconds = 10;

}  // namespace nvrui

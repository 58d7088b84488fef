// The video area of both windowed programs: a black widget that the library draws into. It
// registers a window with the process's window registry (platform/window_registry.h); the
// library's display thread asks it for its size and hands it finished pictures, which the
// widget shows on its next paint. It reports double clicks and, when its owner enables drops
// (setAcceptDrops), dropped files (local files only, the first one).
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/window_registry.h"

namespace qvui {

class VideoAreaSink;

class VideoArea : public QWidget {
  Q_OBJECT

 public:
  explicit VideoArea(QWidget* parent = nullptr);
  ~VideoArea() override;

  // The handle the library draws into.
  qvp::WindowHandle Handle() const { return handle_; }
  // The last picture the library presented (null before the first).
  QImage LastPicture() const;
  // Pictures presented since the area was made.
  uint64_t PresentCount() const;
  // The size the library is told to draw at.
  QSize SinkSize() const;
  // Forgets the last picture (a file was closed) and repaints black.
  void Clear();
  // Called on the library's thread after each picture was taken (benchmarks time it). Set it
  // before pictures arrive; it must return quickly and not touch the widget.
  void SetPresentHook(std::function<void()> hook);

 signals:
  void doubleClicked();
  void fileDropped(const QString& path);
  void resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void UpdateSinkSize();

  std::shared_ptr<VideoAreaSink> sink_;
  qvp::WindowHandle handle_ = 0;
};

}  // namespace qvui

#include "uishared/video_area.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <mutex>

namespace qvui {

// The window as the library's threads see it. Every call may come from a library thread;
// pictures are copied under the lock and the widget is asked, by a queued call, to repaint.
class VideoAreaSink : public qvp::WindowSink {
 public:
  explicit VideoAreaSink(VideoArea* widget) : widget_(widget) {}

  void Post(uint32_t, uint32_t, int32_t) override {}  // replay clients post nothing to windows
  qvp::WindowSize ClientSize() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_;
  }
  void Present(const uint8_t* bgrx, int width, int height, int stride) override {
    QImage copy = QImage(bgrx, width, height, stride, QImage::Format_RGB32).copy();
    std::lock_guard<std::mutex> lock(mutex_);
    picture_ = std::move(copy);
    ++presented_;
    if (widget_ != nullptr) QMetaObject::invokeMethod(widget_, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    if (hook_) hook_();
  }
  void SetHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    hook_ = std::move(hook);
  }

  void SetSize(int width, int height) {
    std::lock_guard<std::mutex> lock(mutex_);
    size_ = {width, height};
  }
  uint64_t Presented() {
    std::lock_guard<std::mutex> lock(mutex_);
    return presented_;
  }
  QImage Picture() {
    std::lock_guard<std::mutex> lock(mutex_);
    return picture_;
  }
  void ClearPicture() {
    std::lock_guard<std::mutex> lock(mutex_);
    picture_ = QImage();
  }
  // The widget is going away: later pictures are kept but nobody is asked to paint.
  void Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    widget_ = nullptr;
  }

 private:
  std::mutex mutex_;
  VideoArea* widget_;
  qvp::WindowSize size_;
  QImage picture_;
  uint64_t presented_ = 0;
  std::function<void()> hook_;
};

VideoArea::VideoArea(QWidget* parent) : QWidget(parent), sink_(std::make_shared<VideoAreaSink>(this)) {
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(160, 120);
  setAttribute(Qt::WA_OpaquePaintEvent);
  handle_ = qvp::RegisterWindow(sink_);
}

VideoArea::~VideoArea() {
  qvp::UnregisterWindow(handle_);
  sink_->Detach();
}

QImage VideoArea::LastPicture() const { return sink_->Picture(); }

uint64_t VideoArea::PresentCount() const { return sink_->Presented(); }

QSize VideoArea::SinkSize() const {
  const qvp::WindowSize s = sink_->ClientSize();
  return {s.width, s.height};
}

void VideoArea::SetPresentHook(std::function<void()> hook) { sink_->SetHook(std::move(hook)); }

void VideoArea::Clear() {
  sink_->ClearPicture();
  update();
}

void VideoArea::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  const QImage picture = sink_->Picture();
  if (!picture.isNull()) p.drawImage(rect(), picture);
}

void VideoArea::UpdateSinkSize() {
  // Hidden or minimised: 0 x 0, and the library draws nothing.
  const bool visible = isVisible() && !window()->isMinimized();
  const qreal ratio = devicePixelRatioF();
  sink_->SetSize(visible ? qRound(width() * ratio) : 0, visible ? qRound(height() * ratio) : 0);
}

void VideoArea::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  UpdateSinkSize();
  emit resized();
}

void VideoArea::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  UpdateSinkSize();
  emit resized();
}

void VideoArea::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  UpdateSinkSize();
}

void VideoArea::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  emit doubleClicked();
}

void VideoArea::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.first().isLocalFile()) event->acceptProposedAction();
}

void VideoArea::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  emit fileDropped(urls.first().toLocalFile());
}

}  // namespace qvui

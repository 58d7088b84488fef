#include "netclient/media/display/video_renderer.h"

#include <cstdlib>
#include <new>
#include <utility>

#include "netclient/media/display/surface_stretch.h"

namespace qvnet {
namespace {

bool SaneSize(int width, int height) {
  return width > 0 && height > 0 && width <= kMaxSurfaceSide && height <= kMaxSurfaceSide;
}

}  // namespace

SurfaceKind SurfaceKindFromText(const char* text) {
  if (text != nullptr && text[0] >= '1' && text[0] <= '5' && text[1] == '\0') {
    return static_cast<SurfaceKind>(text[0] - '0');
  }
  return SurfaceKind::kBgr0;
}

CVideoRenderer::CVideoRenderer() : CVideoRenderer(Hooks{}) {}
CVideoRenderer::CVideoRenderer(Hooks hooks) : hooks_(std::move(hooks)) {}

bool CVideoRenderer::SetUpLocked(int width, int height, qvp::WindowHandle window,
                                 bool remake_video) {
  initialised_ = false;
  has_back_ = false;
  if (remake_video) has_video_ = false;
  picture_width_ = width;
  picture_height_ = height;
  window_ = window;
  int window_width = 0;
  int window_height = 0;
  if (!qvp::WindowClientSize(window, &window_width, &window_height)) return false;
  if (hooks_.window_size) hooks_.window_size(window_width, window_height);
  // A hidden or minimised window has nothing to draw on; the next picture tries again.
  if (!SaneSize(window_width, window_height)) return false;
  try {
    back_width_ = window_width;
    back_height_ = window_height;
    back_.assign(static_cast<size_t>(back_width_) * static_cast<size_t>(back_height_) * 4, 0);
    has_back_ = true;
    if (remake_video) {
      if (!SaneSize(width, height)) return false;
      kind_ = SurfaceKindFromText(std::getenv(kSurfaceKindVariable));
      video_stride_ = SurfaceLineBytes(kind_, width);
      video_.assign(static_cast<size_t>(video_stride_) * static_cast<size_t>(height), 0);
      has_video_ = true;
    }
  } catch (const std::bad_alloc&) {
    // Like a surface the graphics memory could not hold: the next picture tries again.
    has_back_ = false;
    has_video_ = false;
    return false;
  }
  initialised_ = has_video_;
  return initialised_;
}

PixelView CVideoRenderer::VideoViewLocked() {
  return PixelView{video_.data(), picture_width_, picture_height_, video_stride_};
}

PixelView CVideoRenderer::BackViewLocked() {
  return PixelView{back_.data(), back_width_, back_height_, back_width_ * 4};
}

CVideoRenderer::PresentResult CVideoRenderer::PresentLocked() {
  if (!has_video_ || !has_back_) return PresentResult::kNoSurfaces;
  int width = 0;
  int height = 0;
  if (!qvp::WindowClientSize(window_, &width, &height)) {
    initialised_ = false;
    return PresentResult::kFailed;
  }
  if (width != back_width_ || height != back_height_) {
    initialised_ = false;
    return PresentResult::kSizeChanged;
  }
  const PixelView back = BackViewLocked();
  StretchToBgrx(VideoViewLocked(), kind_, back);
  if (hooks_.overlay != nullptr) hooks_.overlay(back, hooks_.overlay_user);
  if (!qvp::PresentToWindow(window_, back.pixels, back.width, back.height, back.stride)) {
    return PresentResult::kFailed;
  }
  return PresentResult::kPresented;
}

bool CVideoRenderer::Render(const YuvView& picture, qvp::WindowHandle window, bool flip) {
  if (!picture.Valid()) return false;
  std::lock_guard<std::mutex> guard(lock_);
  const bool size_changed =
      picture.width != picture_width_ || picture.height != picture_height_;
  if (!initialised_ || window != window_ || size_changed) {
    if (!SetUpLocked(picture.width, picture.height, window, true)) return false;
  }
  if (kind_ != SurfaceKind::kNone && !ConvertYuv(picture, kind_, flip, VideoViewLocked())) {
    return false;
  }
  return PresentLocked() == PresentResult::kPresented;
}

int CVideoRenderer::Refresh() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!has_video_ || !has_back_) return 0;
  if (PresentLocked() == PresentResult::kSizeChanged &&
      SetUpLocked(picture_width_, picture_height_, window_, false)) {
    PresentLocked();
  }
  return 1;
}

void CVideoRenderer::SetWindow(qvp::WindowHandle window) {
  std::lock_guard<std::mutex> guard(lock_);
  if (window == window_) return;
  window_ = window;
  if (window != 0) initialised_ = false;
}

void CVideoRenderer::MarkUninitialised() {
  std::lock_guard<std::mutex> guard(lock_);
  initialised_ = false;
}

bool CVideoRenderer::Initialised() {
  std::lock_guard<std::mutex> guard(lock_);
  return initialised_;
}

SurfaceKind CVideoRenderer::Kind() {
  std::lock_guard<std::mutex> guard(lock_);
  return kind_;
}

}  // namespace qvnet

// CVideoRenderer: the picture's way into a window. A decoded picture is converted into the
// video surface (the picture's size, in the surface kind chosen at set-up), stretched onto
// the back surface (BGRX, the window's size), the overlay is drawn over it, and the back
// surface is handed to the window's sink.
//
// Set-up happens on the first picture, after the window changed and when the picture or the
// window size changed; a failed set-up (unknown window, 0 x 0 window, absurd sizes) leaves
// the renderer uninitialised and the next picture tries again. One lock covers set-up,
// render, present, refresh and the window change.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "netclient/media/display/surface.h"
#include "netclient/media/display/yuv_convert.h"
#include "platform/window_registry.h"

namespace qvnet {

// Draws on the back surface after the stretch; `user` is the value given at creation.
using OverlayCallback = void (*)(const PixelView& back, void* user);

// The environment variable that picks the surface kind (1..5); anything else means 2.
inline constexpr const char* kSurfaceKindVariable = "QV_SURFACE_KIND";
SurfaceKind SurfaceKindFromText(const char* text);

// Surfaces larger than this on either side are refused (8K screens fit).
inline constexpr int kMaxSurfaceSide = 8192;

class CVideoRenderer {
 public:
  struct Hooks {
    OverlayCallback overlay = nullptr;
    void* overlay_user = nullptr;
    // Told the window's size at every set-up (the client keeps it).
    std::function<void(int width, int height)> window_size;
  };

  enum class PresentResult { kPresented, kNoSurfaces, kSizeChanged, kFailed };

  CVideoRenderer();
  explicit CVideoRenderer(Hooks hooks);
  CVideoRenderer(const CVideoRenderer&) = delete;
  CVideoRenderer& operator=(const CVideoRenderer&) = delete;

  // Shows `picture` in `window`: sets up when needed, converts, presents. True when the
  // picture reached the window.
  bool Render(const YuvView& picture, qvp::WindowHandle window, bool flip);

  // Shows the last picture again: 0 when no surfaces exist yet, else 1. When the window's
  // size changed, the back surface is remade (the video surface kept) and presented again.
  int Refresh();

  // Makes `window` the window to draw into; a non-zero window is set up on the next picture.
  void SetWindow(qvp::WindowHandle window);
  void MarkUninitialised();

  bool Initialised();
  SurfaceKind Kind();

 private:
  bool SetUpLocked(int width, int height, qvp::WindowHandle window, bool remake_video);
  PresentResult PresentLocked();
  PixelView VideoViewLocked();
  PixelView BackViewLocked();

  const Hooks hooks_;
  std::mutex lock_;
  bool initialised_ = false;
  qvp::WindowHandle window_ = 0;
  // Picture rectangle {0, 0, width, height} and back rectangle {0, 0, window size}.
  int picture_width_ = 0;
  int picture_height_ = 0;
  int back_width_ = 0;
  int back_height_ = 0;
  SurfaceKind kind_ = SurfaceKind::kNone;
  bool has_video_ = false;
  bool has_back_ = false;
  int video_stride_ = 0;
  std::vector<uint8_t> video_;
  std::vector<uint8_t> back_;
};

}  // namespace qvnet

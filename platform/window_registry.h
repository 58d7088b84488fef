// The windows of this process as the libraries see them: a non-zero 32-bit handle per window
// that an application registered. The libraries post their notifications to a handle, ask it
// for its drawable size and present finished pictures to it; the application's sink turns
// these calls into work on its own event loop (for a Qt window, a queued call).
//
// A handle that was never registered, or has been unregistered, makes every call fail
// cleanly. Handles are not reused while the process lives (short of 2^32 registrations; even
// then a live handle is never handed out twice).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace qvp {

using WindowHandle = uint32_t;

struct WindowSize {
  int width = 0;
  int height = 0;
};

// Implemented by the application for each window it registers. Every method may be called
// from any thread, concurrently, and must not throw.
class WindowSink {
 public:
  virtual ~WindowSink() = default;
  // Queues one message for the window's event loop. Must never block: the callers are
  // network and display threads that hold their own locks.
  virtual void Post(uint32_t msg, uint32_t wparam, int32_t lparam) = 0;
  // Current drawable size in pixels; 0x0 for a hidden or minimised window.
  virtual WindowSize ClientSize() = 0;
  // A finished 32-bit BGRX picture, `stride` bytes per row (at least 4 * width). The pixels
  // are only valid during the call: a sink that draws later copies them.
  virtual void Present(const uint8_t* bgrx, int width, int height, int stride) = 0;
};

// The registry itself. The process uses one (the free functions below); tests may make their
// own to start the handle counter near its wrap.
class WindowRegistry {
 public:
  explicit WindowRegistry(WindowHandle first = 1) : next_(first) {}
  WindowRegistry(const WindowRegistry&) = delete;
  WindowRegistry& operator=(const WindowRegistry&) = delete;

  WindowHandle Register(std::shared_ptr<WindowSink> sink);
  void Unregister(WindowHandle h);
  bool Post(WindowHandle h, uint32_t msg, uint32_t wparam, int32_t lparam);
  bool ClientSize(WindowHandle h, int* width, int* height);
  bool Present(WindowHandle h, const uint8_t* bgrx, int width, int height, int stride);
  bool IsWindow(WindowHandle h);

 private:
  // A copy of the sink taken under the lock: the sink stays alive while it is called outside
  // the lock, even if it is unregistered meanwhile.
  std::shared_ptr<WindowSink> Find(WindowHandle h);

  std::mutex mutex_;
  WindowHandle next_;
  std::unordered_map<WindowHandle, std::shared_ptr<WindowSink>> sinks_;
};

// Registers `sink`; returns its handle, or 0 for a null sink (or when memory runs out).
WindowHandle RegisterWindow(std::shared_ptr<WindowSink> sink);
// Forgets `h`. Calls already running on its sink finish first on their own copy of it.
void UnregisterWindow(WindowHandle h);
// Queues a message; false for 0 or an unknown handle. Blocks at most for the registry lock.
bool PostWindowMessage(WindowHandle h, uint32_t msg, uint32_t wparam, int32_t lparam);
// The window's drawable size; false (outputs untouched) for 0 or an unknown handle.
bool WindowClientSize(WindowHandle h, int* width, int* height);
// Hands a finished BGRX picture to the window; false for an unknown handle or a picture whose
// sizes are not positive, whose stride is below 4 * width, or whose pixels are null.
bool PresentToWindow(WindowHandle h, const uint8_t* bgrx, int width, int height, int stride);
bool IsWindow(WindowHandle h);

}  // namespace qvp

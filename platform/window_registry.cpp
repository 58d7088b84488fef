#include "platform/window_registry.h"

#include <climits>
#include <new>
#include <utility>

#include "platform/handle_registry.h"

namespace qvp {
namespace {

// Never destroyed: worker threads may still post while the process exits, after static
// destructors have run.
WindowRegistry& ProcessRegistry() {
  static WindowRegistry* const registry = new WindowRegistry();
  return *registry;
}

bool ValidPicture(const uint8_t* bgrx, int width, int height, int stride) {
  if (bgrx == nullptr || width <= 0 || height <= 0) return false;
  return width <= INT_MAX / 4 && stride >= width * 4;
}

}  // namespace

WindowHandle WindowRegistry::Register(std::shared_ptr<WindowSink> sink) {
  if (!sink) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  const WindowHandle h = NextFreeHandle(&next_, sinks_);
  if (h == 0) return 0;
  try {
    sinks_.emplace(h, std::move(sink));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return h;
}

void WindowRegistry::Unregister(WindowHandle h) {
  std::shared_ptr<WindowSink> last;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = sinks_.find(h);
    if (it == sinks_.end()) return;
    last = std::move(it->second);
    sinks_.erase(it);
  }
  // `last` may be the final reference: the sink is destroyed here, outside the lock, so a
  // sink destructor that touches the registry cannot deadlock.
}

std::shared_ptr<WindowSink> WindowRegistry::Find(WindowHandle h) {
  if (h == 0) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = sinks_.find(h);
  return it == sinks_.end() ? nullptr : it->second;
}

bool WindowRegistry::Post(WindowHandle h, uint32_t msg, uint32_t wparam, int32_t lparam) {
  const std::shared_ptr<WindowSink> sink = Find(h);
  if (!sink) return false;
  try {
    sink->Post(msg, wparam, lparam);
  } catch (...) {
    return false;  // callers are thread bodies; a misbehaving sink must not end them
  }
  return true;
}

bool WindowRegistry::ClientSize(WindowHandle h, int* width, int* height) {
  const std::shared_ptr<WindowSink> sink = Find(h);
  if (!sink) return false;
  WindowSize size;
  try {
    size = sink->ClientSize();
  } catch (...) {
    return false;
  }
  if (width != nullptr) *width = size.width;
  if (height != nullptr) *height = size.height;
  return true;
}

bool WindowRegistry::Present(WindowHandle h, const uint8_t* bgrx, int width, int height, int stride) {
  if (!ValidPicture(bgrx, width, height, stride)) return false;
  const std::shared_ptr<WindowSink> sink = Find(h);
  if (!sink) return false;
  try {
    sink->Present(bgrx, width, height, stride);
  } catch (...) {
    return false;
  }
  return true;
}

bool WindowRegistry::IsWindow(WindowHandle h) { return Find(h) != nullptr; }

WindowHandle RegisterWindow(std::shared_ptr<WindowSink> sink) { return ProcessRegistry().Register(std::move(sink)); }
void UnregisterWindow(WindowHandle h) { ProcessRegistry().Unregister(h); }
bool PostWindowMessage(WindowHandle h, uint32_t msg, uint32_t wparam, int32_t lparam) {
  return ProcessRegistry().Post(h, msg, wparam, lparam);
}
bool WindowClientSize(WindowHandle h, int* width, int* height) { return ProcessRegistry().ClientSize(h, width, height); }
bool PresentToWindow(WindowHandle h, const uint8_t* bgrx, int width, int height, int stride) {
  return ProcessRegistry().Present(h, bgrx, width, height, stride);
}
bool IsWindow(WindowHandle h) { return ProcessRegistry().IsWindow(h); }

}  // namespace qvp

// Exports of the display family: window, picture orientation, overlay and snapshots.
#include "netclient/include/QVNetClient.h"
#include "netclient/media/display/av_display.h"
#include "netclient/client/qvnet_library.h"
#include "platform/folder.h"
#include "platform/window_registry.h"

using qvnet::CAVDisplay;
using qvnet::NetClient;
using qvnet::WithClient;

extern "C" {

QVNET_API int QVNET_ClientShowcallback(QVNET_HANDLE, int, int) { return 1; }

QVNET_API QVNET_HANDLE QVNET_ClientVerticalFlip(QVNET_HANDLE h, int flag) {
  return WithClient(h, 0u, [&](NetClient& c) {
    c.display_control.vertical_flip = flag != 0;
    return h;
  });
}

QVNET_API QVNET_HANDLE QVNET_ClientRotate180(QVNET_HANDLE h, int flag) {
  return WithClient(h, 0u, [&](NetClient& c) {
    c.display_control.rotate180 = flag != 0;
    return h;
  });
}

QVNET_API int QVNET_ClientShowMDRegion(QVNET_HANDLE h, int mask) {
  return WithClient(h, 0, [&](NetClient& c) {
    c.display_control.region_display_mask = mask;
    return 1;
  });
}

QVNET_API int QVNET_ClientSetWnd(QVNET_HANDLE h, QV_HWND wnd) {
  return WithClient(h, 1, [&](NetClient& c) {
    int width = 0;
    int height = 0;
    if (qvp::WindowClientSize(wnd, &width, &height)) {
      c.display_control.window_width = width;
      c.display_control.window_height = height;
    }
    if (wnd != c.display_control.window.load()) {
      // With a display the change goes through its renderer, which remakes its surfaces for
      // the new window on the next picture.
      CAVDisplay* display = c.display.load();
      if (display != nullptr) {
        display->SetWindow(wnd);
      } else {
        c.display_control.window = wnd;
      }
    }
    return 1;
  });
}

QVNET_API int QVNET_ClientRefreshWnd(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    if (c.display_control.view.load() == qvnet::ViewState::kOff) return 0;
    CAVDisplay* display = c.display.load();
    return display == nullptr ? 0 : display->Refresh();
  });
}

QVNET_API int QVNET_ClientCapturePicture(QVNET_HANDLE h, const char* path) {
  return WithClient(h, 0, [&](NetClient& c) {
    if (path == nullptr || path[0] == '\0') return 0;
    if (!qvp::EnsureFolderForFile(path)) return 0;
    // Without a display nothing would ever write the file: refuse rather than claim success.
    CAVDisplay* display = c.display.load();
    if (display == nullptr) return 0;
    display->RequestSnapshot(path);
    return 1;
  });
}

}  // extern "C"

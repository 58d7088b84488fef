// Exports of the display family: window, picture orientation, overlay and snapshots.
#include "netclient/include/QVNetClient.h"
#include "netclient/stream/qvnet_export_util.h"

using qvnet::NetClient;
using qvnet::WithClient;

extern "C" {

QVNET_API int QVNET_ClientShowcallback(QVNET_HANDLE, int, int) { return 1; }

QVNET_API QVNET_HANDLE QVNET_ClientVerticalFlip(QVNET_HANDLE h, int flag) {
  return WithClient(h, 0u, [&](NetClient& c) {
    c.vertical_flip = flag != 0;
    return h;
  });
}

QVNET_API QVNET_HANDLE QVNET_ClientRotate180(QVNET_HANDLE h, int flag) {
  return WithClient(h, 0u, [&](NetClient& c) {
    c.rotate180 = flag != 0;
    return h;
  });
}

QVNET_API int QVNET_ClientShowMDRegion(QVNET_HANDLE h, int mask) {
  return WithClient(h, 0, [&](NetClient& c) {
    c.region_display_mask = mask;
    return 1;
  });
}

// Need the display pipeline, which is not part of this build yet.
QVNET_API int QVNET_ClientSetWnd(QVNET_HANDLE, QV_HWND) { return 1; }
QVNET_API int QVNET_ClientRefreshWnd(QVNET_HANDLE) { return 0; }
QVNET_API int QVNET_ClientCapturePicture(QVNET_HANDLE, const char*) { return 0; }

}  // extern "C"

// Exports of the file-replay family.
#include "netclient/include/QVNetClient.h"

extern "C" {

// Need the file source, which is not part of this build yet.
QVNET_API QVNET_HANDLE QVNET_OpenFile(const char*, QV_HWND, int) { return 0; }
QVNET_API int QVNET_CloseFile(QVNET_HANDLE) { return 0; }
QVNET_API int QVNET_ReplayPause(QVNET_HANDLE) { return 0; }
QVNET_API int QVNET_ReplayContinue(QVNET_HANDLE) { return 0; }
QVNET_API int QVNET_ReplayStepByStep(QVNET_HANDLE) { return 0; }
QVNET_API int QVNET_SpeedFast(QVNET_HANDLE) { return 0; }
QVNET_API int QVNET_SpeedNormal(QVNET_HANDLE) { return 0; }
QVNET_API int QVNET_SpeedSlow(QVNET_HANDLE) { return 0; }
QVNET_API uint32_t QVNET_ReplayTotalTime(QVNET_HANDLE) { return 0; }
QVNET_API uint32_t QVNET_ReplayCurTime(QVNET_HANDLE) { return 0; }
QVNET_API int QVNET_ReplaySeek(QVNET_HANDLE, uint32_t) { return 0; }

}  // extern "C"

// Exports of the recording family.
#include "netclient/include/QVNetClient.h"

extern "C" {

// Need a stream source with its record writers, which is not part of this build yet.
QVNET_API int QVNET_ClientStartRecord(QVNET_HANDLE, const char*, int) { return 0; }
QVNET_API int QVNET_ClientStopRecord(QVNET_HANDLE) { return 0; }
QVNET_API int QVNET_ClientStartAlarmRecord(QVNET_HANDLE, const char*, int) { return 0; }
QVNET_API int QVNET_ClientStopAlarmRecord(QVNET_HANDLE) { return 0; }

}  // extern "C"

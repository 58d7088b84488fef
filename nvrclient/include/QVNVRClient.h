/* Public interface of libQVNVRClient.so: one recording connection per camera, no display, no sound.
 *
 * Every function taking a client handle returns 0 at once for handle 0 (and for a handle that is
 * not, or no longer, known to the library). A call on a client that another thread stops
 * meanwhile finishes first (QVNVR_ClientStop waits for it). Notifications are posted to the
 * client's notify window through the process's window registry (wParam = code, lParam = value);
 * there is no callback. */
#ifndef QVNVRCLIENT_H
#define QVNVRCLIENT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QVNVR_BUILDING)
#define QVNVR_API __attribute__((visibility("default")))
#else
#define QVNVR_API
#endif

typedef uint32_t QVNVR_HANDLE;

/* The longest host name or address the library connects to: "host:65535" fits the address
 * field below with its terminator. A longer host is refused by QVNVR_ClientStart. */
#define QVNVR_MAX_HOST_LENGTH 121
/* The same codes and states as QVNetClient.h (either header may come first). */
#ifndef QV_CLIENT_NOTIFY_DEFINED
#define QV_CLIENT_NOTIFY_DEFINED
/* Notification codes (wParam of a posted message; second argument of QVNetClient's callback). */
#define NOTIFY_STATE 1
#define NOTIFY_MOTION 2
#define NOTIFY_ALARM 4
#define NOTIFY_RECORD 6

/* Connection states (value of NOTIFY_STATE, result of the GetClientState calls). */
#define QV_STATE_STREAMING 0
#define QV_STATE_CONNECTING 1
#define QV_STATE_FAILED 2
#define QV_STATE_LOST 3
#define QV_STATE_RECONNECTING 4
#define QV_STATE_GIVEN_UP 5
#define QV_STATE_REFUSED 6 /* recording library only: user name or password refused */
#endif

/* Parameters of a recording client: 272 bytes, little-endian, copied whole by QVNVR_ClientStart. */
typedef struct NvrClientParams {
  int16_t transport;      /* 0 RTP over UDP, 1 RTP interleaved in the RTSP connection */
  uint8_t stream_number;  /* channel + 4 * stream index */
  uint8_t reserved1;
  uint32_t notify_window; /* window registry handle; 0 = none */
  uint32_t notify_message;
  char address[128];      /* "host", "host:port" or "host:port/path" */
  char name[33];          /* not used by the library */
  char user[33];
  char password[33];
  uint8_t reserved2[33];
} NvrClientParams;

#ifndef QV_MD_REGION_TABLE_DEFINED
#define QV_MD_REGION_TABLE_DEFINED
/* The 16 motion-detection regions: a value per region, then left, top, right, bottom each. */
typedef struct MDRegionTable {
  uint8_t value[16];
  int32_t rect[16][4];
} MDRegionTable;
#endif

QVNVR_API int QVNVR_Startup(int unused1, int unused2, int unused3, int unused4);
QVNVR_API void QVNVR_Cleanup(void);
QVNVR_API int QVNVR_SetWaitTime(int connect_timeout, int retry_count, int reconnect_interval);
QVNVR_API void QVNVR_Log(void);

QVNVR_API QVNVR_HANDLE QVNVR_ClientStart(const NvrClientParams* params);
QVNVR_API int QVNVR_ClientStop(QVNVR_HANDLE h);
QVNVR_API int QVNVR_GetClientState(QVNVR_HANDLE h); /* 65535 for handle 0 */

/* 0 when a normal recording already runs or the path is empty. */
QVNVR_API int QVNVR_ClientStartRecord(QVNVR_HANDLE h, const char* path, int seconds);
/* 0 when no normal recording runs. */
QVNVR_API int QVNVR_ClientStopRecord(QVNVR_HANDLE h);
QVNVR_API int QVNVR_ClientStartAlarmRecord(QVNVR_HANDLE h, const char* path, int seconds);
QVNVR_API int QVNVR_ClientStopAlarmRecord(QVNVR_HANDLE h);

QVNVR_API int QVNVR_ClientGetMDInfo(QVNVR_HANDLE h, MDRegionTable* table);
QVNVR_API int QVNVR_ClientSaveMDInfo(QVNVR_HANDLE h, const MDRegionTable* table);
QVNVR_API int QVNVR_ClientStartMD(QVNVR_HANDLE h);
QVNVR_API int QVNVR_ClientStopMD(QVNVR_HANDLE h);
QVNVR_API int QVNVR_ClientStopAlarm(QVNVR_HANDLE h, int output);

#ifdef __cplusplus
}
#endif

#endif /* QVNVRCLIENT_H */

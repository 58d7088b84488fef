/* Public interface of libQVNetClient.so: live view, camera control, two-way talk, recording and
 * file replay of IP cameras.
 *
 * Every function taking a client handle returns 0 at once for handle 0 (and for a handle that is
 * not, or no longer, known to the library). Unless stated otherwise a function returns 1 for
 * success and 0 for failure. No function throws. Handles are non-zero 32-bit values. A call on a
 * client that another thread stops meanwhile finishes first (QVNET_ClientStop / QVNET_CloseFile
 * wait for it); calls made after the stop began fail like calls with an unknown handle. */
#ifndef QVNETCLIENT_H
#define QVNETCLIENT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QVNET_BUILDING)
#define QVNET_API __attribute__((visibility("default")))
#else
#define QVNET_API
#endif

typedef uint32_t QVNET_HANDLE;
typedef uint32_t QV_HWND; /* window handle from the process's window registry; 0 = none */

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
/* The end of a replayed file, to the callback only (QVNET_OpenFile clients). */
#define NOTIFY_REPLAY_END 7

/* Called on the library's worker threads, serialised by one library-wide lock: return quickly
 * and never stop the notifying client from inside. */
typedef void (*ClientNotifyCallback)(uint32_t handle, uint32_t code, uint32_t value, uint32_t user_value);

/* Parameters of a live client: 300 bytes, little-endian, copied whole by QVNET_ClientStart. */
typedef struct ClientParams {
  int16_t transport;      /* 0 RTP over UDP, 1 RTP interleaved in the RTSP connection */
  int16_t view;           /* non-zero: decoded pictures are drawn into display_window */
  uint8_t stream_number;  /* channel + 4 * stream index (0 main, 1 second stream) */
  uint8_t reserved1[3];
  QV_HWND display_window;
  QV_HWND notify_window;  /* receiver of notification messages; 0 = none */
  uint32_t notify_message;
  uint8_t reserved2[16];
  uint32_t user_value;    /* handed back as the callback's fourth argument */
  char address[161];      /* "host", "host:port" or "host:port/path" (URL mode) */
  char user[33];
  char password[33];
  uint8_t reserved3[33];
} ClientParams;

#ifndef QV_MD_REGION_TABLE_DEFINED
#define QV_MD_REGION_TABLE_DEFINED
/* The 16 motion-detection regions: a value per region, then left, top, right, bottom each. */
typedef struct MDRegionTable {
  uint8_t value[16];
  int32_t rect[16][4];
} MDRegionTable;
#endif

QVNET_API int QVNET_Startup(int unused1, int unused2, ClientNotifyCallback callback, int unused4);
QVNET_API void QVNET_Cleanup(void);
QVNET_API int QVNET_SetWaitTime(int connect_timeout, int retry_count, int reconnect_interval);
QVNET_API void QVNET_Log(const char* format, ...);

QVNET_API QVNET_HANDLE QVNET_ClientStart(const ClientParams* params);
QVNET_API int QVNET_ClientStop(QVNET_HANDLE h);
QVNET_API int QVNET_ClientStartView(QVNET_HANDLE h);
QVNET_API int QVNET_ClientStopView(QVNET_HANDLE h);
QVNET_API int QVNET_GetClientState(QVNET_HANDLE h); /* 65535 for handle 0 */
QVNET_API int QVNET_GetBitStreamInfo(QVNET_HANDLE h, int* kbps, int* fps);

QVNET_API int QVNET_ClientSetWnd(QVNET_HANDLE h, QV_HWND wnd);
QVNET_API int QVNET_ClientRefreshWnd(QVNET_HANDLE h);
QVNET_API int QVNET_ClientShowcallback(QVNET_HANDLE h, int a, int b);
QVNET_API QVNET_HANDLE QVNET_ClientVerticalFlip(QVNET_HANDLE h, int flag);
QVNET_API QVNET_HANDLE QVNET_ClientRotate180(QVNET_HANDLE h, int flag);
QVNET_API int QVNET_ClientCapturePicture(QVNET_HANDLE h, const char* path);
QVNET_API int QVNET_ClientShowMDRegion(QVNET_HANDLE h, int mask);

QVNET_API int QVNET_ClientPlayAudio(QVNET_HANDLE h);
QVNET_API int QVNET_ClientStopAudio(QVNET_HANDLE h);
QVNET_API int QVNET_ClientStartTalk(QVNET_HANDLE h);
QVNET_API void QVNET_ClientStopTalk(QVNET_HANDLE h);

QVNET_API int QVNET_ClientStartRecord(QVNET_HANDLE h, const char* path, int seconds);
QVNET_API int QVNET_ClientStopRecord(QVNET_HANDLE h);
QVNET_API int QVNET_ClientStartAlarmRecord(QVNET_HANDLE h, const char* path, int seconds);
QVNET_API int QVNET_ClientStopAlarmRecord(QVNET_HANDLE h);

QVNET_API int QVNET_ClientPTZCtrl(QVNET_HANDLE h, int command, int value);
QVNET_API int QVNET_ClientGetMDInfo(QVNET_HANDLE h, MDRegionTable* table);
QVNET_API int QVNET_ClientSaveMDInfo(QVNET_HANDLE h, const MDRegionTable* table);
QVNET_API int QVNET_ClientStartMD(QVNET_HANDLE h);
QVNET_API int QVNET_ClientStopMD(QVNET_HANDLE h);
QVNET_API int QVNET_ClientStopAlarm(QVNET_HANDLE h, int output);
QVNET_API int QVNET_ClientSetVideoParam(QVNET_HANDLE h, int v1, int v2, int v3, int save);
QVNET_API int QVNET_ClientGetVideoParam(QVNET_HANDLE h, uint8_t* v1, uint8_t* v2, uint8_t* v3);

QVNET_API QVNET_HANDLE QVNET_OpenFile(const char* path, QV_HWND wnd, int start_paused);
QVNET_API int QVNET_CloseFile(QVNET_HANDLE h);
QVNET_API int QVNET_ReplayPause(QVNET_HANDLE h);
QVNET_API int QVNET_ReplayContinue(QVNET_HANDLE h);
QVNET_API int QVNET_ReplayStepByStep(QVNET_HANDLE h);
QVNET_API int QVNET_SpeedFast(QVNET_HANDLE h);
QVNET_API int QVNET_SpeedNormal(QVNET_HANDLE h);
QVNET_API int QVNET_SpeedSlow(QVNET_HANDLE h);
QVNET_API uint32_t QVNET_ReplayTotalTime(QVNET_HANDLE h);
QVNET_API uint32_t QVNET_ReplayCurTime(QVNET_HANDLE h);
QVNET_API int QVNET_ReplaySeek(QVNET_HANDLE h, uint32_t seconds);

#ifdef __cplusplus
}
#endif

#endif /* QVNETCLIENT_H */

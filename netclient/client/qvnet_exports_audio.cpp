// Exports of the sound family: live sound on and off, two-way talk.
#include "netclient/include/QVNetClient.h"
#include "netclient/client/qvnet_library.h"

using qvnet::Bool;
using qvnet::NetClient;
using qvnet::WithClient;

extern "C" {

namespace {
// How long turning sound on waits for a player that was just started to find its device.
constexpr uint32_t kDeviceTryWaitMs = 2000;
}  // namespace

// Without an output device nothing would be heard: say so instead of claiming success.
QVNET_API int QVNET_ClientPlayAudio(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    if (c.sound) c.sound->WaitDeviceTried(kDeviceTryWaitMs);
    if (c.sound_unavailable.load()) return 0;
    c.play_audio = true;
    return 1;
  });
}

QVNET_API int QVNET_ClientStopAudio(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.play_audio = false;
    if (c.audio_conduit) c.audio_conduit->Reset();  // queued sound is dropped at once
    return 1;
  });
}

// The result only says that the session thread runs: it reaches the camera in the background.
QVNET_API int QVNET_ClientStartTalk(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) { return Bool(c.talk.Start(c)); });
}

QVNET_API void QVNET_ClientStopTalk(QVNET_HANDLE h) {
  WithClient(h, 0, [](NetClient& c) {
    c.talk.Stop();
    return 0;
  });
}

}  // extern "C"

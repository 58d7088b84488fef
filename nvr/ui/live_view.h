// The one live view of the recorder: a QVNetClient client that shows one device's stream in a
// window of the process's registry (the main window's video area, or the full-screen view).
// It remembers the device by its id, so changes of the device list do not affect it.
#pragma once

#include <cstdint>
#include <optional>

#include "netclient/include/QVNetClient.h"
#include "nvr/core/engine/device_entry.h"
#include "platform/window_registry.h"

namespace nvrui {

// Live client parameters of `entry`: RTSP interleaved in TCP, view on, stream number
// stream * 4 + channel, pictures into `window`, no notifications (message 0x5220), "host:port",
// user and password. nullopt when the address or a credential does not fit its field (a cut
// address could reach another host).
std::optional<ClientParams> MakeLiveClientParams(const nvr::DeviceEntry& entry, int stream,
                                                 qvp::WindowHandle window);

class LiveView {
 public:
  LiveView() = default;
  ~LiveView() { Stop(); }
  LiveView(const LiveView&) = delete;
  LiveView& operator=(const LiveView&) = delete;

  // Starts a view of `entry` on `stream` (0 primary, 1 secondary) into `window`. The caller has
  // stopped the previous view. False when the library refuses (the view stays stopped).
  bool Start(const nvr::DeviceEntry& entry, int stream, qvp::WindowHandle window);
  // Stops the view; false only when the library could not stop it (the view stays).
  bool Stop();
  // Moves the pictures to another window and has the library draw at once.
  void MoveTo(qvp::WindowHandle window);

  bool Running() const { return client_ != 0; }
  QVNET_HANDLE Client() const { return client_; }
  int32_t DeviceId() const { return device_id_; }
  int Stream() const { return stream_; }

 private:
  QVNET_HANDLE client_ = 0;
  int32_t device_id_ = 0;
  int stream_ = 0;
};

}  // namespace nvrui

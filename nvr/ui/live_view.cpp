#include "nvr/ui/live_view.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace nvrui {
namespace {

// Live clients post nothing: this number is never received.
constexpr uint32_t kLiveNotifyMessage = 0x5220;

template <size_t N>
bool CopyField(char (&field)[N], const std::string& text) {
  if (text.size() >= N) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

std::optional<ClientParams> MakeLiveClientParams(const nvr::DeviceEntry& entry, int stream,
                                                 qvp::WindowHandle window) {
  ClientParams p;
  std::memset(&p, 0, sizeof p);
  p.transport = 1;
  p.view = 1;
  p.stream_number = static_cast<uint8_t>(stream * 4 + entry.channel);
  p.display_window = window;
  p.notify_window = 0;
  p.notify_message = kLiveNotifyMessage;
  const std::string address = entry.host + ":" + std::to_string(entry.port);
  if (!CopyField(p.address, address) || !CopyField(p.user, entry.user) ||
      !CopyField(p.password, entry.password)) {
    return std::nullopt;
  }
  return p;
}

bool LiveView::Start(const nvr::DeviceEntry& entry, int stream, qvp::WindowHandle window) {
  if (client_ != 0) return false;
  const std::optional<ClientParams> params = MakeLiveClientParams(entry, stream, window);
  if (!params) return false;
  const QVNET_HANDLE h = QVNET_ClientStart(&*params);
  if (h == 0) return false;
  client_ = h;
  device_id_ = entry.id;
  stream_ = stream;
  return true;
}

bool LiveView::Stop() {
  if (client_ == 0) return true;
  if (QVNET_ClientStop(client_) == 0) return false;
  client_ = 0;
  device_id_ = 0;
  stream_ = 0;
  return true;
}

void LiveView::MoveTo(qvp::WindowHandle window) {
  if (client_ == 0) return;
  QVNET_ClientSetWnd(client_, window);
  QVNET_ClientRefreshWnd(client_);
}

}  // namespace nvrui

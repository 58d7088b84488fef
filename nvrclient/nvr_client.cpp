#include "nvrclient/nvr_client.h"

#include <cstring>
#include <string>

#include "netclient/stream/av_source_tcp.h"
#include "netclient/stream/av_source_udp.h"
#include "platform/window_registry.h"

namespace qvnvr {

static_assert(QVNVR_MAX_HOST_LENGTH == qvnet::kMaxHostLength);

namespace {

std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

}  // namespace

NvrClient::NvrClient(qvnet::LibraryContext& context) : StreamClient(context, qvnet::kNvrClientFlavor) {}

NvrClient::~NvrClient() { Stop(); }

bool NvrClient::Configure(const NvrClientParams& p) {
  if (!qvnet::TransportOf(p.transport, &transport)) return false;
  if (!qvnet::ParseClientAddress(p.address, sizeof p.address, &address)) return false;
  params_ = p;
  stream_number = p.stream_number;
  user = FieldText(p.user, sizeof p.user);
  password = FieldText(p.password, sizeof p.password);
  // The recording library has no display or sound: its sources only record.
  if (transport == qvnet::MediaTransport::kUdp) {
    source_ = std::make_unique<qvnet::CAVSource_RTSP_UDP>(*this, nullptr);
  } else {
    source_ = std::make_unique<qvnet::CAVSource_RTSP_TCP>(*this, nullptr);
  }
  return source_->Create();
}

bool NvrClient::Start() { return source_ && source_->Start() == qvp::JThread::kStarted; }

void NvrClient::Stop() {
  if (!source_) return;
  stopping = true;
  source_->Stop();
  source_->Release();
  source_.reset();
}

void NvrClient::Notify(uint32_t code, int32_t value) {
  if (params_.notify_window == 0) return;
  qvp::PostWindowMessage(params_.notify_window, params_.notify_message, code, value);
}

}  // namespace qvnvr

// The real recording library: forwards to the QVNVR_ exports.
#include "nvr/core/engine/recording_library.h"

namespace nvr {
namespace {

class QvnvrRecordingLibrary final : public RecordingLibrary {
 public:
  int Startup() override { return QVNVR_Startup(0, 0, 0, 0); }
  int SetWaitTime(int connect_timeout, int retry_count, int reconnect_interval) override {
    return QVNVR_SetWaitTime(connect_timeout, retry_count, reconnect_interval);
  }
  ClientHandle ClientStart(const NvrClientParams& params) override {
    return QVNVR_ClientStart(&params);
  }
  int ClientStop(ClientHandle h) override { return QVNVR_ClientStop(h); }
  int ClientStartRecord(ClientHandle h, const std::string& path, int seconds) override {
    return QVNVR_ClientStartRecord(h, path.c_str(), seconds);
  }
  int ClientStopRecord(ClientHandle h) override { return QVNVR_ClientStopRecord(h); }
};

}  // namespace

std::unique_ptr<RecordingLibrary> MakeQvnvrRecordingLibrary() {
  return std::make_unique<QvnvrRecordingLibrary>();
}

}  // namespace nvr

// NvrClient, the client object of libQVNVRClient.so: the shared stream core with the copied
// start parameters and one stream source that only records. Notifications are always posted to
// the notify window (there is no callback).
#pragma once

#include <cstddef>
#include <memory>

#include "netclient/stream/av_source.h"
#include "netclient/stream/stream_client.h"
#include "nvrclient/include/QVNVRClient.h"

namespace qvnvr {

static_assert(sizeof(NvrClientParams) == 272, "NvrClientParams is 272 bytes");
static_assert(offsetof(NvrClientParams, notify_window) == 4);
static_assert(offsetof(NvrClientParams, notify_message) == 8);
static_assert(offsetof(NvrClientParams, address) == 12);
static_assert(offsetof(NvrClientParams, name) == 140);
static_assert(offsetof(NvrClientParams, user) == 173);
static_assert(offsetof(NvrClientParams, password) == 206);

class NvrClient : public qvnet::StreamClient {
 public:
  explicit NvrClient(qvnet::LibraryContext& context);
  ~NvrClient() override;

  // Copies `p`, parses its address and makes the source; false when anything is refused.
  bool Configure(const NvrClientParams& p);
  // Starts the source thread.
  bool Start();
  // Stops the source (and with it every recording), releases its objects.
  void Stop();

  void Notify(uint32_t code, int32_t value) override;

  qvnet::CAVSource& Source() { return *source_; }

 private:
  NvrClientParams params_{};
  std::unique_ptr<qvnet::CAVSource> source_;
};

}  // namespace qvnvr

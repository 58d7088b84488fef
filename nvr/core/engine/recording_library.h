// The six calls of the recording library that the recorder core makes, behind an interface so
// that the core is tested with a fake and the real library is linked only by the programs.
// Every call is made on the core thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "nvrclient/include/QVNVRClient.h"

namespace nvr {

using ClientHandle = uint32_t;  // 0 = no client

class RecordingLibrary {
 public:
  virtual ~RecordingLibrary() = default;

  // Library start: 1 on success.
  virtual int Startup() = 0;
  // Connect time-out (s), retry count (-1 = for ever), seconds between reconnects.
  virtual int SetWaitTime(int connect_timeout, int retry_count, int reconnect_interval) = 0;
  // A new recording client; 0 on failure. State notifications follow as posted messages.
  virtual ClientHandle ClientStart(const NvrClientParams& params) = 0;
  // Stops the client and every recording it runs; no notification is posted afterwards.
  virtual int ClientStop(ClientHandle h) = 0;
  // 0 when a recording already runs or the path is refused.
  virtual int ClientStartRecord(ClientHandle h, const std::string& path, int seconds) = 0;
  // 0 when no recording runs.
  virtual int ClientStopRecord(ClientHandle h) = 0;
};

// The library as the programs link it (libQVNVRClient.so). Defined in recording_library_qvnvr.cpp,
// which is built only where that library is linked.
std::unique_ptr<RecordingLibrary> MakeQvnvrRecordingLibrary();

}  // namespace nvr

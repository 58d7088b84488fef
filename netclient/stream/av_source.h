// CAVSource: the base of every stream source. It is the source's thread and its record
// writer (the normal and the alarm recording), and holds what every connection loop needs:
// the client, the media output (null in the recording library), the stop flag and the stop
// event, the reconnect wait and the reporting of connection states.
//
// Life cycle: construct, Create() (the subclass makes its objects), Start() (JThread),
// Stop() from the application thread at any moment, Release(), destroy. Subclasses stop and
// join in their own destructor.
#pragma once

#include <atomic>
#include <cstdint>

#include "netclient/media/record/record_file.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/wire/media_output.h"
#include "netclient/stream/stream_client.h"
#include "platform/jthread.h"
#include "platform/sync.h"

namespace qvnet {

class CAVSource : public qvp::JThread, public RecordPair {
 public:
  // `media` may be null (record only); it must outlive the source. `factory` makes the
  // record files (empty: POSIX files).
  CAVSource(StreamClient& client, MediaOutput* media, RecordFileFactory factory = {});
  ~CAVSource() override;
  CAVSource(const CAVSource&) = delete;
  CAVSource& operator=(const CAVSource&) = delete;

  // The source's own virtual operations follow the thread entry in this fixed order:
  // Create, Release, Run, Stop.

  // Makes the subclass's objects; false when one cannot be made (the client start fails).
  virtual bool Create() = 0;
  // Closes and deletes what Create() made, stopping the thread first if it still runs.
  virtual void Release() = 0;

 protected:
  // The connection loop, on the source thread.
  virtual void Run() = 0;

 public:
  // Sets the stop flag, ends both recordings and waits for the thread. Subclasses first wake
  // their loop (sockets, events), then call this.
  virtual void Stop();

  StreamClient& Client() const { return client_; }
  bool StopFlag() const { return stop_.load(); }

 protected:
  void Thread() override;

  // Stores `state` in the client when `store` is set and reports it, except that a flavor
  // quiet while stopping does not report 0, 1, 3 and 4 once the stop began.
  void ReportState(int32_t state, bool store);
  // The reconnect interval in steps of the library's step length (10 steps a second), left
  // at once when Stop() is called. False when stopped.
  bool WaitReconnect();
  // Picture size, frame rate and codecs from the client into the header of files started
  // from now on (after every set-up, as the camera may announce new values).
  void UpdateRecordHeader();
  void StopDisplay();

  StreamClient& client_;
  MediaOutput* const media_;
  std::atomic<bool> stop_{false};
  // Manual reset: once set, every later wait of the stopping source returns at once.
  qvp::Event stop_event_{true, false};
  // StartDisplay() was called in this connection (StopDisplay() is due).
  bool display_started_ = false;
};

}  // namespace qvnet

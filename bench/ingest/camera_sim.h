// The camera simulator as a separate process serving N cameras on 127.0.0.1, one port each.
// Its CPU belongs to neither side of the comparison: it is never waited for by the processes
// being measured.
#pragma once

#include <string>
#include <vector>

#include "bench/ingest/child_process.h"

namespace qvbench {

struct CameraSimOptions {
  std::string program;  // path of qv_camsim
  int cameras = 1;
  int first_port = 0;   // 0: a random base, tried again elsewhere when taken
  int kbps = 4096;
  std::string size = "704x576";
  int fps = 25;
  std::string audio = "pcma";
  std::string log_folder;  // the simulator's stdout and stderr go here
  std::string media_log_folder;  // non-empty: the simulator's --log-dir (sent frames, requests)
};

class CameraSim {
 public:
  // Starts the simulator and waits until it announces every camera. On failure `error` says why.
  bool Start(const CameraSimOptions& options, std::string* error);
  // Port of camera i (its RTSP path 0 is channel 0).
  int Port(int camera) const { return first_port_ + camera; }
  void Stop() { process_.Terminate(3000); }

 private:
  bool TryStart(const CameraSimOptions& options, int first_port, std::string* error);

  ChildProcess process_;
  int first_port_ = 0;
};

}  // namespace qvbench

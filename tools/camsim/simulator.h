// Several cameras in one process on consecutive ports, and the text commands that control
// them ("motion 0 8", "drop 1", ...) from stdin or a control socket.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/camsim/camera.h"

namespace camsim {

class Simulator {
 public:
  Simulator() = default;
  ~Simulator() { Stop(); }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // `count` cameras on options.port, options.port + 1, ... (free ports when it is 0).
  bool Start(const CameraOptions& options, int count, std::string* error);
  void Stop();
  size_t Count() const { return cameras_.size(); }
  Camera& At(size_t index) { return *cameras_[index]; }

  // Runs one command line and returns the reply ("ok ..." or "error: ..."); `quit` is set
  // by "quit".
  std::string Execute(std::string_view line, bool* quit);

  static const char* CommandHelp();

 private:
  // Cameras a command names: an index, a port, or "*" for all.
  bool Select(std::string_view which, std::vector<Camera*>* out) const;

  std::vector<std::unique_ptr<Camera>> cameras_;
};

// Parses "on"/"off" (and "1"/"0").
bool ParseOnOff(std::string_view text, bool* out);
// Parses a non-negative number of seconds, fractions allowed, into milliseconds.
bool ParseSecondsMs(std::string_view text, uint32_t* ms);

}  // namespace camsim

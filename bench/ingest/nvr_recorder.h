// Our side of the comparison, run in a forked child so that its CPU is measured alone: N
// recording clients of libQVNVRClient.so over RTSP/TCP, each recording one camera into a file.
#pragma once

#include <string>

namespace qvbench {

struct RecorderConfig {
  int cameras = 1;
  int first_port = 0;   // camera i listens on first_port + i
  int seconds = 20;     // recording time once every client records
  std::string folder;   // record files go here
};

// What the child reports to the parent through a pipe, as one text line.
struct RecorderReport {
  long rss_before_kib = -1;   // after the library was loaded, before any client started
  long rss_during_kib = -1;   // largest sample while all clients recorded
  int recording = 0;          // clients that recorded at the end
  int reconnections = 0;      // recordings restarted after a lost stream
  double record_seconds = 0;  // recording time summed over all clients
  bool all_recorded = false;  // every client was recording when the timed part began
};

std::string FormatReport(const RecorderReport& report);
bool ParseReport(const std::string& line, RecorderReport* report);

// Record files in `folder` that open as replayable recordings (a key frame and an index);
// `total` receives the number of files.
int ReplayableRecordFiles(const std::string& folder, int* total);

// The body of the child: records, then writes the report line to `report_fd`. Returns the
// child's exit status (0 when every client recorded).
int RunRecorder(const RecorderConfig& config, int report_fd);

}  // namespace qvbench

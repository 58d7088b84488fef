// Exports of the recording family: the normal and the alarm recording of a live client, written
// by its stream source.
#include "netclient/include/QVNetClient.h"
#include "netclient/stream/av_source.h"
#include "netclient/client/qvnet_library.h"

using qvnet::CAVSource;
using qvnet::NetClient;
using qvnet::WithClient;

namespace {

// Runs `body` on the client's source; 0 for an unknown handle, a client without source, or a
// file client (a file being replayed is never recorded again).
template <typename Body>
int WithSource(QVNET_HANDLE h, Body body) {
  return WithClient(h, 0, [&](NetClient& c) {
    CAVSource* source = c.Source();
    return source == nullptr || c.display_control.file_mode ? 0 : body(*source);
  });
}

}  // namespace

extern "C" {

QVNET_API int QVNET_ClientStartRecord(QVNET_HANDLE h, const char* path, int seconds) {
  return WithSource(h, [&](CAVSource& s) { return s.ClientStartRecord(path, seconds); });
}

QVNET_API int QVNET_ClientStopRecord(QVNET_HANDLE h) {
  return WithSource(h, [](CAVSource& s) { return s.ClientStopRecord(); });
}

QVNET_API int QVNET_ClientStartAlarmRecord(QVNET_HANDLE h, const char* path, int seconds) {
  return WithSource(h, [&](CAVSource& s) { return s.ClientStartAlarmRecord(path, seconds); });
}

QVNET_API int QVNET_ClientStopAlarmRecord(QVNET_HANDLE h) {
  return WithSource(h, [](CAVSource& s) { return s.ClientStopAlarmRecord(); });
}

}  // extern "C"

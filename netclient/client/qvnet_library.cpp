#include "netclient/client/qvnet_library.h"

#include <cstring>
#include <memory>
#include <string>

#include "netclient/stream/av_source.h"
#include "netclient/replay/av_source_file.h"

namespace qvnet {

NetLibraryState& NetLibrary() {
  // Never destroyed: worker threads of clients the application did not stop may still read it
  // while the process exits.
  static NetLibraryState* state = new NetLibraryState;
  return *state;
}

QVNET_HANDLE StartLiveClient(const ClientParams& params) {
  NetLibraryState& lib = NetLibrary();
  auto client = std::make_unique<NetClient>(lib.context);
  if (!client->Configure(params)) return 0;
  if (!client->CreateLiveConduits()) return 0;
  client->handle = lib.clients.Add(client.get());
  if (client->handle == 0) return 0;
  // Threads start in the order sound, source, bit-rate meter; a failure stops what started
  // (the client's destructor stops every thread it owns).
  if (!client->CreateLiveSource()) {
    lib.clients.Remove(client->handle);
    return 0;
  }
  client->sound = std::make_unique<CAVSound>(*client->audio_conduit, client->sound_unavailable);
  if (client->sound->Start() != qvp::JThread::kStarted || client->Source()->Start() != qvp::JThread::kStarted ||
      !client->StartBitRateMeter()) {
    lib.clients.Remove(client->handle);
    return 0;
  }
  return client.release()->handle;
}

QVNET_HANDLE StartFileClient(const char* path, QV_HWND window, bool start_paused) {
  if (path == nullptr) return 0;
  const size_t length = strnlen(path, kMaxReplayPathLength + 1);
  if (length == 0 || length > kMaxReplayPathLength) return 0;
  NetLibraryState& lib = NetLibrary();
  auto client = std::make_unique<NetClient>(lib.context);
  client->ConfigureFile(window);
  if (!client->CreateFileConduits()) return 0;
  client->handle = lib.clients.Add(client.get());
  if (client->handle == 0) return 0;
  client->sound = std::make_unique<CAVSound>(*client->audio_conduit, client->sound_unavailable);
  // Opening the source opens the file and starts the display thread, which then waits for
  // pictures; the pause state is in place before the reader feeds the first one.
  if (!client->AdoptSource(std::make_unique<CAVSource_File>(client->ReplayTargetOf(), std::string(path, length)))) {
    lib.clients.Remove(client->handle);
    return 0;
  }
  if (start_paused) client->display_control.replay.Pause();
  if (client->sound->Start() != qvp::JThread::kStarted || client->Source()->Start() != qvp::JThread::kStarted ||
      !client->StartBitRateMeter()) {
    lib.clients.Remove(client->handle);
    return 0;
  }
  return client.release()->handle;
}

bool StopClient(QVNET_HANDLE h) {
  NetClient* client = NetLibrary().clients.Remove(h);
  if (client == nullptr) return false;
  client->stopping = true;
  client->talk.Stop();
  // Closing the conduits releases every reader and writer blocked on them.
  if (client->video_conduit) client->video_conduit->Close();
  if (client->audio_conduit) client->audio_conduit->Close();
  client->StopThreads();
  delete client;
  return true;
}

}  // namespace qvnet

#include "netclient/stream/av_source.h"

#include <algorithm>
#include <utility>

#include "netclient/include/QVNetClient.h"

namespace qvnet {

CAVSource::CAVSource(StreamClient& client, MediaOutput* media, RecordFileFactory factory)
    : RecordPair([&client](int code) { client.Notify(NOTIFY_RECORD, code); }, std::move(factory)),
      client_(client),
      media_(media) {
  UpdateRecordHeader();
}

CAVSource::~CAVSource() {
  stop_ = true;
  stop_event_.Set();
  Join();
}

void CAVSource::Stop() {
  stop_ = true;
  stop_event_.Set();
  StopRecordings();
  Join();
}

void CAVSource::Thread() {
  try {
    Run();
  } catch (...) {
    // Nothing escapes the thread body; the source simply ends.
  }
}

void CAVSource::ReportState(int32_t state, bool store) {
  if (store) client_.state = state;
  const bool routine = state == kStateStreaming || state == kStateConnecting || state == kStateLost ||
                       state == kStateReconnecting;
  const bool stopping = stop_.load() || client_.stopping.load();
  if (routine && stopping && client_.Flavor().quiet_while_stopping) return;
  client_.Notify(NOTIFY_STATE, state);
}

bool CAVSource::WaitReconnect() {
  const LibraryContext& context = client_.Context();
  const int steps = std::max(0, context.reconnect_interval_s.load()) * 10;
  const uint32_t step_ms = context.reconnect_step_ms.load();
  for (int i = 0; i < steps; ++i) {
    if (stop_event_.Wait(step_ms)) return false;
  }
  return !stop_.load();
}

void CAVSource::UpdateRecordHeader() {
  RecordHeader header;
  header.payload_type = client_.video_payload_type.load();
  header.audio_codec = client_.audio_codec.load();
  header.width = static_cast<uint16_t>(client_.width.load());
  header.height = static_cast<uint16_t>(client_.height.load());
  // The file holds one byte; the writer turns 0 and anything above 30 into 30.
  header.frame_rate = static_cast<uint8_t>(client_.frame_rate.load() & 0xFF);
  SetRecordHeader(header);
}

void CAVSource::StopDisplay() {
  if (!display_started_) return;
  display_started_ = false;
  if (media_ != nullptr) media_->StopDisplay();
}

}  // namespace qvnet

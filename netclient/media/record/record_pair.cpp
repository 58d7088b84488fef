#include "netclient/media/record/record_pair.h"

#include <array>
#include <cstring>
#include <limits>

#include "platform/tick_clock.h"

namespace qvnet {
namespace {

// Longer than any path a recording accepts; bounds the scan of a caller's string.
constexpr size_t kPathScanLimit = 4096;

// Seconds to milliseconds. A limit that does not fit 32 bits is clamped to the largest one,
// which the 32-bit tick difference can never exceed: such a recording runs until stopped.
uint32_t LimitMs(int seconds) {
  if (seconds <= 0) return 0;
  const uint64_t ms = static_cast<uint64_t>(seconds) * 1000u;
  return ms > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                   : static_cast<uint32_t>(ms);
}

// Holds a recording's lock for exactly one frame record.
class UnitGuard {
 public:
  explicit UnitGuard(RecordWriter& writer) : writer_(writer) { writer_.Lock(); }
  ~UnitGuard() { writer_.Unlock(); }
  UnitGuard(const UnitGuard&) = delete;
  UnitGuard& operator=(const UnitGuard&) = delete;

 private:
  RecordWriter& writer_;
};

}  // namespace

RecordPair::RecordPair(Notify notify, RecordFileFactory factory)
    : notify_(notify),
      normal_(NormalRecordOptions(), notify, factory),
      alarm_(AlarmRecordOptions(), notify, factory) {}

RecordPair::~RecordPair() = default;

bool RecordPair::IsRecording() { return normal_.IsActive(); }
bool RecordPair::IsAlarmRecording() { return alarm_.IsActive(); }
void RecordPair::LockRecord() { normal_.Lock(); }
void RecordPair::UnlockRecord() { normal_.Unlock(); }
void RecordPair::LockAlarmRecord() { alarm_.Lock(); }
void RecordPair::UnlockAlarmRecord() { alarm_.Unlock(); }

int RecordPair::WriteRecord(int /*stream*/, const uint8_t* data, size_t length) {
  normal_.Write(data, length);
  return 1;
}

int RecordPair::WriteAlarmRecord(int /*stream*/, const uint8_t* data, size_t length) {
  alarm_.Write(data, length);
  return 1;
}

int RecordPair::AddIndex(uint32_t tick) {
  normal_.AddIndex(tick);
  return 1;
}

int RecordPair::AddAlarmIndex(uint32_t tick) {
  alarm_.AddIndex(tick);
  return 1;
}

int RecordPair::StartRecord() {
  return normal_.Start(normal_.Path(), normal_.LimitMs(), CurrentRecordHeader());
}

int RecordPair::StartAlarmRecord() {
  return alarm_.Start(alarm_.Path(), alarm_.LimitMs(), CurrentRecordHeader());
}

int RecordPair::StopRecord() {
  normal_.Stop();
  return 1;
}

int RecordPair::StopAlarmRecord() {
  alarm_.Stop();
  return 1;
}

int RecordPair::ClientStart(RecordWriter& writer, const char* path, int limit_seconds) {
  if (writer.IsActive()) return 1;
  if (path == nullptr || path[0] == '\0') return 0;
  const std::string text(path, ::strnlen(path, kPathScanLimit));
  return writer.Start(text, LimitMs(limit_seconds), CurrentRecordHeader());
}

int RecordPair::ClientStartRecord(const char* path, int limit_seconds) {
  return ClientStart(normal_, path, limit_seconds);
}

int RecordPair::ClientStartAlarmRecord(const char* path, int limit_seconds) {
  return ClientStart(alarm_, path, limit_seconds);
}

int RecordPair::ClientStopRecord() { return StopRecord(); }
int RecordPair::ClientStopAlarmRecord() { return StopAlarmRecord(); }

void RecordPair::StopRecordings() {
  normal_.Stop();
  alarm_.Stop();
}

void RecordPair::SetRecordHeader(const RecordHeader& header) {
  std::lock_guard<std::mutex> lock(header_mutex_);
  header_ = header;
}

RecordHeader RecordPair::CurrentRecordHeader() const {
  std::lock_guard<std::mutex> lock(header_mutex_);
  return header_;
}

void RecordPair::RecordUnit(const FrameUnit& unit) {
  RecordInto(normal_, unit, kRecordLimitReached);
  RecordInto(alarm_, unit, kAlarmRecordLimitReached);
}

void RecordPair::RecordInto(RecordWriter& writer, const FrameUnit& unit, int limit_code) {
  if (!writer.IsActive()) return;
  bool limit_reached = false;
  {
    UnitGuard guard(writer);
    if (!writer.IsActive()) return;
    // Read under the lock: the start tick was stored under it too, so `now` is never older.
    const qvp::Tick now = qvp::TickCount();
    if (writer.LimitExceeded(now)) {
      limit_reached = writer.Stop();
    } else {
      FrameHeader h;
      h.stream = unit.stream;
      h.kind = unit.kind;
      // A unit longer than the length field allows is dropped by the writer, which refuses
      // records larger than any header can describe.
      h.length = static_cast<uint32_t>(unit.PayloadLength());
      const bool video = unit.stream == kStreamVideo;
      // Bytes 4-7 of an audio header are read by no one; they hold zeros.
      h.width = video ? unit.width : 0;
      h.height = video ? unit.height : 0;
      h.tick = video ? now : unit.audio_timestamp;
      if (video && unit.index_point) writer.AddIndex(now);
      std::array<uint8_t, kFrameHeaderSize> bytes{};
      EncodeFrameHeader(h, bytes);
      writer.Write(bytes.data(), bytes.size());
      for (const Bytes& piece : unit.pieces) writer.Write(piece.data(), piece.size());
    }
  }
  // After the stop's own code, outside the lock.
  if (limit_reached && notify_) notify_(limit_code);
}

}  // namespace qvnet

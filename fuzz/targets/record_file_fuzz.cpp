// The two file layouts the file source replays, read the way it reads them: the input is
// written to a scratch file, opened, read front to back with the replay's 1 MiB buffer (voice
// records decoded), then every seek the index offers is taken; the file is closed and removed.
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/record/record_reader.h"
#include "netclient/replay/avi_reader.h"
#include "netclient/replay/avi_replay.h"
#include "netclient/replay/record_replay.h"

namespace qvfuzz {
namespace {

constexpr const char* kRecordName = "record_reader";
constexpr const char* kAviName = "avi_reader";
// Seeks tried per file: spread over the whole index.
constexpr size_t kMaxSeeks = 32;

std::vector<uint8_t>& ReplayBuffer() {
  static std::vector<uint8_t> buffer(qvnet::RecordReplay::kReadBufferBytes);
  return buffer;
}

// Plays the records from the first on, as RecordReplay does; returns how many it read.
size_t ReadAllRecords(qvnet::RecordFileReader& reader) {
  std::vector<uint8_t>& buffer = ReplayBuffer();
  qvcodec::VoiceState voice{};
  bool voice_ready = false;
  std::array<int16_t, qvcodec::kMaxVoiceSamples> samples{};
  Check(reader.Seek(qvnet::kFirstRecordOffset), kRecordName, "cannot seek to the first record");
  size_t frames = 0;
  for (;;) {
    qvnet::FrameHeader header;
    const qvnet::FrameReadResult result = reader.ReadFrame(buffer, header);
    if (result == qvnet::FrameReadResult::kEnd) break;
    Check(++frames <= reader.FileSize() / qvnet::kLegacyFrameHeaderSize, kRecordName, "more records than bytes");
    Check(reader.Position() <= reader.FramesEnd(), kRecordName, "read past the end of the records");
    if (result != qvnet::FrameReadResult::kFrame || header.stream != qvnet::kStreamAudio) continue;
    if (!voice_ready) voice_ready = qvcodec::VoiceDecReset(&voice, header.kind) == qvcodec::kVoiceOk;
    uint16_t count = 0;
    if (voice_ready) qvcodec::VoiceDecodeFrameBounded(&voice, buffer.data(), header.length, samples.data(), &count);
    Check(count <= qvcodec::kMaxVoiceSamples, kRecordName, "voice frame decoded to too many samples");
  }
  return frames;
}

// Every index entry is a place the replay may seek to: it must hold a video record with the
// entry's tick.
void SeekThroughIndex(qvnet::RecordFileReader& reader) {
  const std::vector<qvnet::IndexEntry>& index = reader.Index();
  const size_t step = std::max<size_t>(1, index.size() / kMaxSeeks);
  for (size_t i = 0; i < index.size(); i += step) {
    const qvnet::IndexEntry& entry = index[i];
    Check(reader.Seek(entry.offset), kRecordName, "index entry outside the records");
    qvnet::FrameHeader header;
    const qvnet::FrameReadResult result = reader.ReadFrame(ReplayBuffer(), header);
    Check(result != qvnet::FrameReadResult::kEnd, kRecordName, "index entry does not hold a record");
    Check(header.stream == qvnet::kStreamVideo && header.tick == entry.tick, kRecordName,
          "index entry does not match its record");
    const std::optional<size_t> next = qvnet::FindSeekEntry(index, entry.tick - 1);
    Check(next.has_value() && *next < index.size(), kRecordName, "seek search past the index");
  }
  Check(!reader.Seek(reader.FramesEnd() + 1), kRecordName, "seek beyond the records accepted");
}

void ReadAviIndex(const qvnet::AviFile& avi) {
  std::vector<uint8_t>& buffer = ReplayBuffer();
  const uint64_t entries = avi.EntryCount();
  Check(entries <= avi.FileSize() / qvnet::kAviIndexEntrySize, kAviName, "more entries than bytes");
  for (uint64_t at = avi.IndexStart();; at += qvnet::kAviIndexEntrySize) {
    qvnet::AviIndexEntry entry;
    if (!avi.ReadEntry(at, &entry)) break;
    if (entry.id != qvnet::kAviVideoChunk && entry.id != qvnet::kAviAudioChunk) continue;
    if (!avi.ReadChunk(entry, buffer)) continue;
    Check(entry.size <= buffer.size() && uint64_t{entry.offset} + 8 + entry.size <= avi.FileSize(), kAviName,
          "chunk read from outside the file");
  }
}

// The pictures a seek may land on (every third entry), as AviReplay looks for them.
void FindAviSeekPoints(const qvnet::AviFile& avi) {
  const uint64_t frames = avi.EntryCount() / qvnet::kAviEntriesPerFrame;
  const uint64_t step = std::max<uint64_t>(1, frames / kMaxSeeks);
  for (uint64_t n = 0; n < frames; n += step) {
    qvnet::AviIndexEntry entry;
    const uint64_t at = avi.IndexStart() + n * qvnet::kAviEntriesPerFrame * qvnet::kAviIndexEntrySize;
    Check(avi.ReadEntry(at, &entry), kAviName, "a picture entry inside the index does not read");
    std::array<uint8_t, qvnet::AviReplay::kSeekHeadBytes> head{};
    if (entry.id != qvnet::kAviVideoChunk || !avi.ReadChunkStart(entry, head)) continue;
    qvnet::IsAviSeekPoint(head, avi.Jpeg());
  }
}

}  // namespace

int FuzzRecordReader(const uint8_t* data, size_t size) {
  const ScratchFile file("record_reader.h264", std::span<const uint8_t>(data, size));
  if (!file.Written()) return 0;
  qvnet::RecordFileReader reader;
  if (reader.Open(file.Path()) != qvnet::RecordOpenResult::kOk) return 0;
  Check(reader.FrameRate() >= 1 && reader.FrameRate() <= qvnet::kMaxFrameRate, kRecordName, "frame rate not 1..30");
  Check(reader.FileSize() == size && reader.FramesEnd() <= size, kRecordName, "records end beyond the file");
  ReadAllRecords(reader);
  SeekThroughIndex(reader);
  reader.Close();
  return 0;
}

int FuzzAviReader(const uint8_t* data, size_t size) {
  const ScratchFile file("avi_reader.avi", std::span<const uint8_t>(data, size));
  if (!file.Written()) return 0;
  qvnet::AviFile avi;
  if (avi.Open(file.Path()) != qvnet::AviOpenResult::kOk) return 0;
  Check(avi.FrameRate() != 0, kAviName, "opened without a frame rate");
  Check(avi.IndexStart() <= avi.IndexEnd() && avi.IndexEnd() <= avi.FileSize() && avi.FileSize() == size, kAviName,
        "index outside the file");
  ReadAviIndex(avi);
  FindAviSeekPoints(avi);
  avi.Close();
  return 0;
}

}  // namespace qvfuzz

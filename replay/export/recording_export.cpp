#include "replay/export/recording_export.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <utility>

#include "netclient/media/record/record_reader.h"
#include "netclient/wire/h264_sps.h"
#include "replay/export/export_audio.h"
#include "replay/export/export_muxer.h"
#include "replay/export/h264_access_units.h"

namespace qvexport {
namespace {

// Tick differences are taken signed: ticks wrap at 2^32, and records before the first index
// entry lie before the time axis's 0.
int64_t TickDiff(uint32_t tick, uint32_t from) { return static_cast<int32_t>(tick - from); }

// The picture size in a JPEG image's frame header (SOF0..SOF3); nullopt when the markers
// before it are broken or it is missing. Containers must name the real size: a decoder told a
// height twice the picture's takes it for two interlaced fields.
std::optional<std::pair<int, int>> JpegPictureSize(std::span<const uint8_t> jpeg) {
  size_t pos = 2;
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return std::nullopt;
  // Each turn passes one marker segment: bounded by the picture's size.
  while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
    const uint8_t marker = jpeg[pos + 1];
    const size_t length = (static_cast<size_t>(jpeg[pos + 2]) << 8) | jpeg[pos + 3];
    if (length < 2) return std::nullopt;
    if (marker >= 0xC0 && marker <= 0xC3) {
      if (pos + 9 > jpeg.size()) return std::nullopt;
      return std::make_pair((jpeg[pos + 7] << 8) | jpeg[pos + 8], (jpeg[pos + 5] << 8) | jpeg[pos + 6]);
    }
    if (marker == 0xDA) return std::nullopt;
    pos += 2 + length;
  }
  return std::nullopt;
}

class Exporter {
 public:
  Exporter(const ExportRequest& request, const ProgressFn& progress) : request_(request), progress_(progress) {}

  ExportSummary Run();

 private:
  bool OpenInput();
  uint64_t StartOffset() const;
  bool HandleVideo(std::span<const uint8_t> payload, uint32_t tick);
  bool HandleAudio(std::span<const uint8_t> payload, uint32_t rtp_timestamp);
  bool TakeUnit(AccessUnit unit);
  bool StartOutput(const AccessUnit& key);
  bool WritePending(int64_t duration_ms);
  bool PastEnd(uint32_t tick) const;
  bool Fail(std::string text) {
    summary_.error = std::move(text);
    return false;
  }
  bool ReportProgress();

  const ExportRequest& request_;
  const ProgressFn& progress_;
  ExportSummary summary_;
  qvnet::RecordFileReader reader_;
  ExportMuxer muxer_;
  AccessUnitBuilder builder_;
  std::vector<AccessUnit> units_;
  std::unique_ptr<AudioTrackWriter> audio_;
  bool jpeg_ = false;
  bool have_zero_ = false;
  uint32_t zero_tick_ = 0;  // the time axis's 0: the first index entry
  bool started_ = false;
  bool ended_ = false;
  bool reached_from_ = false;  // a picture at or after the part's start came
  uint32_t base_tick_ = 0;  // the first picture written
  std::optional<AccessUnit> pending_;
  int64_t pending_pts_ = 0;
  int64_t last_pts_ = -1;
  int64_t last_duration_ = 40;
  uint64_t start_offset_ = 0;
  int last_percent_ = -1;
};

bool Exporter::OpenInput() {
  switch (reader_.Open(request_.input)) {
    case qvnet::RecordOpenResult::kOk: break;
    case qvnet::RecordOpenResult::kCannotOpen: return Fail("cannot open " + request_.input);
    case qvnet::RecordOpenResult::kNotRecordFile: return Fail(request_.input + " is not a recording");
    case qvnet::RecordOpenResult::kEmptyIndex: return Fail(request_.input + " holds no key frame");
  }
  if (reader_.Layout() == qvnet::RecordLayout::kLegacy) return Fail(request_.input + " is in the old layout, which is not exported");
  jpeg_ = reader_.Layout() == qvnet::RecordLayout::kJpeg;
  last_duration_ = 1000 / std::max<int>(1, reader_.FrameRate());
  if (!reader_.Index().empty()) {
    have_zero_ = true;
    zero_tick_ = reader_.Index().front().tick;
  }
  return true;
}

uint64_t Exporter::StartOffset() const {
  if (!request_.from_s || !have_zero_) return qvnet::kFirstRecordOffset;
  const int64_t from_ms = static_cast<int64_t>(*request_.from_s) * 1000;
  uint64_t offset = qvnet::kFirstRecordOffset;
  for (const qvnet::IndexEntry& e : reader_.Index()) {
    if (TickDiff(e.tick, zero_tick_) > from_ms) break;
    offset = e.offset;
  }
  return offset;
}

bool Exporter::PastEnd(uint32_t tick) const {
  return request_.to_s && have_zero_ && TickDiff(tick, zero_tick_) >= static_cast<int64_t>(*request_.to_s) * 1000;
}

bool Exporter::StartOutput(const AccessUnit& key) {
  VideoTrack track;
  track.jpeg = jpeg_;
  track.width = reader_.Header().width;
  track.height = reader_.Header().height;
  std::vector<uint8_t> sets;
  if (jpeg_) {
    if (const std::optional<std::pair<int, int>> size = JpegPictureSize(key.data)) {
      track.width = size->first;
      track.height = size->second;
    }
  } else {
    const std::span<const uint8_t> sps = FirstSps(key);
    if (const std::optional<qvnet::SpsInfo> info = qvnet::ParseH264Sps(sps.data(), sps.size())) {
      track.width = info->width;
      track.height = info->height;
    }
    sets = ParameterSets(key);
    track.parameter_sets = sets;
  }
  summary_.width = track.width;
  summary_.height = track.height;
  std::string error;
  if (!muxer_.Open(request_.output, &error) || !muxer_.AddVideo(track, &error)) return Fail(error);
  const uint8_t codec = reader_.Header().audio_codec;
  const AudioPlan plan = PlanAudio(codec, muxer_);
  if (!plan.warning.empty()) summary_.warnings.push_back(plan.warning);
  if (plan.mode != AudioMode::kNone) {
    if (!muxer_.AddAudio(plan.format, &error)) return Fail(error);
    audio_ = std::make_unique<AudioTrackWriter>(plan, codec);
  }
  if (!muxer_.Begin(&error)) return Fail(error);
  started_ = true;
  base_tick_ = key.tick;
  return true;
}

bool Exporter::WritePending(int64_t duration_ms) {
  if (!pending_) return true;
  std::string error;
  if (!muxer_.WriteVideo(pending_->data, pending_pts_, duration_ms, pending_->idr, &error)) return Fail(error);
  ++summary_.pictures;
  summary_.duration_ms = pending_pts_ + duration_ms;
  pending_.reset();
  return true;
}

bool Exporter::TakeUnit(AccessUnit unit) {
  if (PastEnd(unit.tick)) {
    ended_ = true;
    return true;
  }
  if (request_.from_s && have_zero_ && TickDiff(unit.tick, zero_tick_) >= static_cast<int64_t>(*request_.from_s) * 1000) {
    reached_from_ = true;
  }
  if (!started_) {
    // H.264 begins at a key frame with its parameter sets; a decoder can do nothing before it.
    if (!unit.idr || (!jpeg_ && !unit.sps)) return true;
    if (!StartOutput(unit)) return false;
  }
  int64_t pts = std::max(TickDiff(unit.tick, base_tick_), last_pts_ + 1);
  if (pending_) {
    last_duration_ = std::max<int64_t>(1, pts - pending_pts_);
    if (!WritePending(last_duration_)) return false;
  }
  last_pts_ = pts;
  pending_pts_ = pts;
  pending_ = std::move(unit);
  return true;
}

bool Exporter::HandleVideo(std::span<const uint8_t> payload, uint32_t tick) {
  if (!have_zero_) {
    have_zero_ = true;
    zero_tick_ = tick;
  }
  if (jpeg_) {
    AccessUnit picture;
    picture.data.assign(payload.begin(), payload.end());
    picture.tick = tick;
    picture.idr = true;
    return TakeUnit(std::move(picture));
  }
  units_.clear();
  builder_.Add(payload, tick, &units_);
  for (AccessUnit& unit : units_) {
    if (ended_) break;
    if (!TakeUnit(std::move(unit))) return false;
  }
  return true;
}

bool Exporter::HandleAudio(std::span<const uint8_t> payload, uint32_t rtp_timestamp) {
  if (!started_ || audio_ == nullptr) return true;
  std::string error;
  if (!audio_->Write(payload, rtp_timestamp, std::max<int64_t>(0, last_pts_), muxer_, &error)) return Fail(error);
  return true;
}

bool Exporter::ReportProgress() {
  if (!progress_) return true;
  const uint64_t end = reader_.FramesEnd();
  const uint64_t span = end > start_offset_ ? end - start_offset_ : 1;
  const uint64_t done = std::min(reader_.Position(), end) - std::min(start_offset_, reader_.Position());
  const int percent = static_cast<int>(done * 100 / span);
  if (percent == last_percent_) return true;
  last_percent_ = percent;
  if (progress_(static_cast<double>(done) / static_cast<double>(span))) return true;
  summary_.cancelled = true;
  return Fail("cancelled");
}

ExportSummary Exporter::Run() {
  ContainerKind kind;
  if (!ContainerOf(request_.output, &kind)) {
    Fail("the output must end in .mp4, .mov or .mkv");
    return summary_;
  }
  if (!OpenInput()) return summary_;
  start_offset_ = StartOffset();
  if (!reader_.Seek(start_offset_)) {
    Fail("cannot read " + request_.input);
    return summary_;
  }
  std::vector<uint8_t> payload(qvnet::kMaxPayloadLength + 1);
  qvnet::FrameHeader header;
  bool ok = true;
  // Each turn moves past one record or ends: bounded by the file's size.
  while (ok && !ended_) {
    const qvnet::FrameReadResult r = reader_.ReadFrame(payload, header);
    if (r == qvnet::FrameReadResult::kEnd) break;
    if (r == qvnet::FrameReadResult::kTooLarge) continue;
    const std::span<const uint8_t> data(payload.data(), header.length);
    ok = header.stream == qvnet::kStreamVideo ? HandleVideo(data, header.tick) : HandleAudio(data, header.tick);
    ok = ok && ReportProgress();
  }
  if (ok && !ended_ && !jpeg_) {
    units_.clear();
    builder_.Flush(&units_);
    for (AccessUnit& unit : units_) ok = ok && TakeUnit(std::move(unit));
  }
  if (ok && !started_) ok = Fail("the recording holds no key frame" + std::string(request_.from_s ? " in that part" : ""));
  if (ok && request_.from_s && !reached_from_) ok = Fail("the recording ends before that part: no key frame in it");
  ok = ok && WritePending(last_duration_);
  std::string error;
  if (ok && !muxer_.Finish(&error)) ok = Fail(error);
  if (!ok) muxer_.Abandon();
  summary_.ok = ok;
  if (audio_ != nullptr) summary_.audio_packets = audio_->Packets();
  if (ok && progress_) progress_(1.0);
  return summary_;
}

}  // namespace

ExportSummary ExportRecording(const ExportRequest& request, const ProgressFn& progress) {
  try {
    return Exporter(request, progress).Run();
  } catch (const std::exception& e) {
    ExportSummary failed;
    failed.error = std::string("export failed: ") + e.what();
    return failed;
  }
}

}  // namespace qvexport

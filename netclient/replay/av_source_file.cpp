#include "netclient/replay/av_source_file.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace qvnet {

CAVSource_File::CAVSource_File(const ReplayTarget& target, std::string path)
    : CAVSource(target.client, nullptr), target_(target), path_(std::move(path)) {}

CAVSource_File::~CAVSource_File() {
  Stop();
  Release();
}

bool CAVSource_File::Create() {
  try {
    if (OpenFile() && StartDisplay()) return true;
  } catch (...) {
    // Out of memory for the buffers or the display: the open fails like any other.
  }
  Release();
  return false;
}

bool CAVSource_File::OpenFile() {
  switch (avi_.Open(path_)) {
    case AviOpenResult::kOk:
      return OpenAvi();
    case AviOpenResult::kNotAvi:
      return OpenRecord();
    default:
      return false;  // unreadable, or an AVI without frame rate or index
  }
}

bool CAVSource_File::OpenAvi() {
  type_ = ReplayFileType::kAvi;
  const uint32_t rate = avi_.FrameRate();
  // Stored as given; the display takes anything outside 1..30 as 30.
  client_.frame_rate = static_cast<int32_t>(std::min<uint32_t>(rate, std::numeric_limits<int32_t>::max()));
  client_.video_payload_type = avi_.Jpeg() ? kPayloadTypeJpeg : kPayloadTypeH264;
  target_.display.replay.SetTimeline(0, avi_.FrameCount() / rate);
  feed_ = std::make_unique<ReplayFeed>(target_, [this] { return Stopping(); }, VideoFraming::kWholePictures,
                                       !avi_.Jpeg());
  avi_reader_ = std::make_unique<AviReplay>(target_, avi_, *feed_);
  return true;
}

bool CAVSource_File::OpenRecord() {
  // Refuses files of neither signature and an index block with count 0; an index that is
  // missing or does not match the records is rebuilt by scanning.
  if (record_.Open(path_) != RecordOpenResult::kOk) return false;
  switch (record_.Layout()) {
    case RecordLayout::kLegacy:
      type_ = ReplayFileType::kLegacy;
      break;
    case RecordLayout::kJpeg:
      type_ = ReplayFileType::kRecordJpeg;
      break;
    case RecordLayout::kH264:
      type_ = ReplayFileType::kRecordH264;
      break;
  }
  if (type_ != ReplayFileType::kLegacy) client_.video_payload_type = record_.Header().payload_type;
  client_.frame_rate = record_.FrameRate();  // already 1..30
  const std::vector<IndexEntry>& index = record_.Index();
  if (index.empty()) {
    target_.display.replay.SetTimeline(0, 0);
  } else {
    target_.display.replay.SetTimeline(index.front().tick, (index.back().tick - index.front().tick) / 1000);
  }
  const bool jpeg = type_ == ReplayFileType::kRecordJpeg;
  feed_ = std::make_unique<ReplayFeed>(target_, [this] { return Stopping(); },
                                       jpeg ? VideoFraming::kWholePictures : VideoFraming::kByteStream, !jpeg);
  record_reader_ = std::make_unique<RecordReplay>(target_, record_, *feed_);
  return true;
}

bool CAVSource_File::StartDisplay() {
  // The display starts its replay pacing ({frame rate, now, 0, -1}) when its thread starts,
  // with the frame rate the file gave.
  display_ = std::make_unique<CAVDisplay>(target_.display, target_.video, target_.overlay);
  target_.display_slot = display_.get();
  if (!display_->CreateDecoder(VideoFormatOf(client_))) return false;
  return display_->StartThread() == qvp::JThread::kStarted;
}

void CAVSource_File::Release() {
  if (IsRunning()) Stop();
  if (display_ != nullptr) {
    display_->Stop();
    display_->DestroyDecoder();
    target_.display_slot = nullptr;
    display_.reset();
  }
  record_reader_.reset();
  avi_reader_.reset();
  feed_.reset();
  record_.Close();
  avi_.Close();
}

void CAVSource_File::Stop() {
  if (display_ != nullptr) {
    display_->Stop();
    display_->DestroyDecoder();
  }
  CAVSource::Stop();
}

void CAVSource_File::Run() {
  if (record_reader_ != nullptr) {
    record_reader_->Begin();
  } else if (avi_reader_ != nullptr) {
    avi_reader_->Begin();
  } else {
    return;
  }
  while (!Stopping()) {
    bool at_end = false;
    if (record_reader_ != nullptr) {
      record_reader_->Step();
      at_end = record_reader_->AtEnd();
    } else {
      avi_reader_->Step();
      at_end = avi_reader_->AtEnd();
    }
    // At the end only a seek or the close can move the reader on.
    if (at_end) stop_event_.Wait(kEndOfFileSleepMs);
  }
}

}  // namespace qvnet

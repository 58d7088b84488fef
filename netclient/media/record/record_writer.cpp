#include "netclient/media/record/record_writer.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/folder.h"

namespace qvnet {
namespace {

// The client record holds the normal path in 512 bytes and the alarm path in 256, each with
// its terminator.
constexpr size_t kNormalPathMax = 511;
constexpr size_t kAlarmPathMax = 255;

// A unit is kept only when it is exactly one frame record: a header whose length field
// matches the bytes that follow and whose stream is one a reader knows.
bool IsWholeFrameRecord(const uint8_t* data, size_t size) {
  if (size < kFrameHeaderSize) return false;
  FrameHeader h;
  DecodeDescriptor(GetU32(data), h);
  return h.stream <= kStreamAudio && h.length == size - kFrameHeaderSize;
}

}  // namespace

RecordWriterOptions NormalRecordOptions() {
  RecordWriterOptions o;
  o.max_path_length = kNormalPathMax;
  o.start_code = kRecordStarted;
  o.stop_code = kRecordStopped;
  return o;
}

RecordWriterOptions AlarmRecordOptions() {
  RecordWriterOptions o;
  o.max_path_length = kAlarmPathMax;
  o.start_code = kAlarmRecordStarted;
  o.stop_code = kAlarmRecordStopped;
  return o;
}

RecordWriter::RecordWriter(RecordWriterOptions options, Notify notify, RecordFileFactory factory)
    : options_(options), notify_(std::move(notify)), factory_(std::move(factory)) {}

RecordWriter::~RecordWriter() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Finish(false);
}

int RecordWriter::Start(const std::string& path, uint32_t limit_ms, const RecordHeader& header) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (IsActive()) return 1;
  if (path.empty() || path.size() > options_.max_path_length) return 0;
  path_ = path;
  start_tick_.store(qvp::TickCount(), std::memory_order_release);
  limit_ms_.store(limit_ms, std::memory_order_release);
  DiscardOpenRecord();
  stats_ = RecordWriterStats{};
  index_.clear();

  if (!qvp::EnsureFolderForFile(path_)) return 0;
  std::unique_ptr<RecordFile> file = factory_ ? factory_() : MakePosixRecordFile();
  if (!file || !file->OpenTruncate(path_)) return 0;
  // Signature and header are a unit of their own, written at once: a file that cannot even
  // take them is no recording, so the start fails instead of reporting a broken file as running.
  std::array<uint8_t, kFirstRecordOffset> start{};
  EncodeFileStart(header, start);
  if (file->Write(0, start.data(), start.size()) != start.size()) {
    ++stats_.failed_writes;
    file->Close();
    file->Remove(path_);
    return 0;
  }
  file_ = std::move(file);
  file_bytes_ = kFirstRecordOffset;
  truncate_pending_ = false;
  active_.store(true, std::memory_order_release);
  if (notify_) notify_(options_.start_code);
  return 1;
}

bool RecordWriter::Stop() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Finish(true);
}

bool RecordWriter::Finish(bool notify) {
  if (!IsActive()) return false;
  active_.store(false, std::memory_order_release);
  DiscardOpenRecord();
  Flush();
  const size_t entries = index_.size();
  if (entries > 0) WriteIndexBlock();
  if (truncate_pending_) truncate_pending_ = !file_->Truncate(file_bytes_);
  file_->Close();
  // Without a key frame the file cannot be replayed: it is not kept.
  if (entries == 0) file_->Remove(path_);
  file_.reset();
  buffer_.clear();
  buffer_.shrink_to_fit();
  record_ends_.clear();
  open_start_ = 0;
  if (notify && notify_) notify_(options_.stop_code);
  return true;
}

void RecordWriter::Lock() {
  mutex_.lock();
  if (depth_++ == 0) BeginUnit();
}

void RecordWriter::Unlock() {
  if (depth_ > 0 && --depth_ == 0) EndUnit();
  mutex_.unlock();
}

void RecordWriter::Write(const uint8_t* data, size_t length) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!file_ || length == 0 || data == nullptr) return;
  const bool standalone = depth_ == 0;
  if (standalone) BeginUnit();
  open_requested_ += length;
  const size_t open_size = buffer_.size() - open_start_;
  // Larger than any frame record can be: its length field could not describe it.
  if (open_overflow_ || length > kFrameHeaderSize + kMaxPayloadLength - open_size) {
    open_overflow_ = true;
  } else {
    buffer_.insert(buffer_.end(), data, data + length);
  }
  if (standalone) EndUnit();
}

void RecordWriter::AddIndex(uint32_t tick) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!file_) return;
  // A key frame begins: everything before it goes to the file now.
  Flush();
  index_.push_back(IndexEntry{file_bytes_ + buffer_.size(), tick});
}

bool RecordWriter::LimitExceeded(qvp::Tick now) const {
  const uint32_t limit = LimitMs();
  return limit != 0 && qvp::TicksSince(StartTick(), now) > limit;
}

std::string RecordWriter::Path() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return path_;
}

RecordWriterStats RecordWriter::Stats() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  RecordWriterStats s = stats_;
  s.file_bytes = file_bytes_;
  s.byte_count = file_bytes_ + buffer_.size();
  s.index_entries = index_.size();
  return s;
}

void RecordWriter::BeginUnit() {
  open_start_ = buffer_.size();
  open_requested_ = 0;
  open_overflow_ = false;
}

void RecordWriter::EndUnit() {
  if (!file_) {
    buffer_.resize(open_start_);
    return;
  }
  const uint64_t offset = RecordOffset();
  const size_t size = buffer_.size() - open_start_;
  if (size == 0 && !open_overflow_) {
    DropIndexFrom(offset);  // an index point without a record would point at the next one
    return;
  }
  if (open_overflow_ || !IsWholeFrameRecord(buffer_.data() + open_start_, size)) {
    DiscardOpenRecord();
    return;
  }
  // Entries added in the middle of the record would point inside it.
  while (!index_.empty() && index_.back().offset > offset) index_.pop_back();
  open_start_ = buffer_.size();
  const qvp::Tick now = qvp::TickCount();
  if (record_ends_.empty()) oldest_record_tick_ = now;
  record_ends_.push_back(open_start_);
  open_requested_ = 0;
  if (buffer_.size() >= options_.flush_threshold ||
      qvp::TicksSince(oldest_record_tick_, now) >= options_.max_buffer_age_ms) {
    Flush();
  }
}

void RecordWriter::DiscardOpenRecord() {
  if (open_requested_ > 0 || open_overflow_) {
    ++stats_.dropped_records;
    stats_.dropped_bytes += open_requested_;
  }
  if (file_) DropIndexFrom(RecordOffset());
  buffer_.resize(open_start_);
  open_requested_ = 0;
  open_overflow_ = false;
}

void RecordWriter::Flush() {
  const size_t whole = open_start_;
  if (whole == 0 || !file_) return;
  const size_t written = file_->Write(file_bytes_, buffer_.data(), whole);
  size_t kept = whole;
  if (written < whole) {
    // Keep the records that reached the file completely.
    auto it = std::upper_bound(record_ends_.begin(), record_ends_.end(), written);
    kept = it == record_ends_.begin() ? 0 : *(it - 1);
  }
  file_bytes_ += kept;
  if (kept < whole) DropBuffered(kept, whole);
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(whole));
  record_ends_.clear();
  open_start_ = 0;
}

void RecordWriter::DropBuffered(size_t kept, size_t whole) {
  ++stats_.failed_writes;
  stats_.dropped_bytes += whole - kept;
  stats_.dropped_records += static_cast<uint64_t>(
      record_ends_.end() - std::upper_bound(record_ends_.begin(), record_ends_.end(), kept));
  // Later writes go to file_bytes_ by position, so even an uncut tail is overwritten; the cut
  // is retried at the stop in case nothing overwrites it.
  truncate_pending_ = !file_->Truncate(file_bytes_);
  DropIndexFrom(file_bytes_);
}

void RecordWriter::WriteIndexBlock() {
  const std::vector<uint8_t> block = EncodeIndexBlock(index_);
  const size_t written = file_->Write(file_bytes_, block.data(), block.size());
  if (written == block.size()) {
    file_bytes_ += block.size();
    stats_.index_written = true;
    return;
  }
  // Without its index block the file still ends with whole records and can be scanned.
  ++stats_.failed_writes;
  truncate_pending_ = !file_->Truncate(file_bytes_);
}

void RecordWriter::DropIndexFrom(uint64_t offset) {
  while (!index_.empty() && index_.back().offset >= offset) index_.pop_back();
}

}  // namespace qvnet

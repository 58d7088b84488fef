// One recording (normal or alarm) of a stream source: its lock, file, byte counter and
// key-frame index, plus the path, start tick and time limit it was started with.
//
// The writer knows record boundaries: everything written between the outermost Lock() and
// Unlock() is one frame record. Records are collected whole in the writer's own buffer and
// written out at record boundaries, so a write that fails (full disk) or comes up short never
// leaves half a record: the file is cut back to the end of the last complete record, the
// records that did not fit and their index entries are dropped (and counted), and later
// records are tried again, since a clean-up may free space in the meantime. The byte counter
// therefore always equals what the file holds plus what is still buffered.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "netclient/media/record/irecord.h"
#include "netclient/media/record/record_file.h"
#include "netclient/media/record/record_format.h"
#include "platform/tick_clock.h"

namespace qvnet {

struct RecordWriterOptions {
  // Longest path the client record can hold; longer paths are refused, never cut.
  size_t max_path_length = 511;
  int start_code = kRecordStarted;
  int stop_code = kRecordStopped;
  // Buffered whole records are written out once they reach this many bytes, once the oldest of
  // them has waited this long, and before every key frame: a recorder that is killed loses at
  // most that much, not a whole buffer of a slow stream.
  size_t flush_threshold = 64 * 1024;
  uint32_t max_buffer_age_ms = 250;
};

RecordWriterOptions NormalRecordOptions();
RecordWriterOptions AlarmRecordOptions();

struct RecordWriterStats {
  uint64_t byte_count = 0;   // bytes of the recording: in the file plus still buffered
  uint64_t file_bytes = 0;   // bytes the file holds
  size_t index_entries = 0;  // entries in the index (after the stop: entries written)
  uint64_t dropped_records = 0;
  uint64_t dropped_bytes = 0;
  uint64_t failed_writes = 0;
  bool index_written = false;  // the last stop wrote its index block
};

class RecordWriter {
 public:
  using Notify = std::function<void(int code)>;

  // `factory` makes the file of each recording; empty means a POSIX file.
  RecordWriter(RecordWriterOptions options, Notify notify, RecordFileFactory factory = {});
  // Finishes an active recording (index written, file closed) without notifying.
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // Already active: returns 1 and changes nothing. An empty or too long path: 0. Otherwise
  // stores path, start tick and limit, makes sure the folder exists, creates (truncates) the
  // file, writes signature and header, notifies the start code and returns 1. A failure at any
  // step returns 0 without notification and leaves no file behind.
  int Start(const std::string& path, uint32_t limit_ms, const RecordHeader& header);
  // Writes the index block, closes the file (deletes it when the index is empty) and notifies
  // the stop code. Returns false, doing nothing, when the recording was not active.
  bool Stop();

  // The lock is recursive: the notification callback runs under it, and a callback that
  // starts or stops this recording from the same thread must not deadlock.
  void Lock();
  void Unlock();
  // Appends to the open frame record (a write outside Lock()/Unlock() is a record of its own).
  void Write(const uint8_t* data, size_t length);
  // Adds {current end of the recording, tick}: call it first in a unit, before the header.
  void AddIndex(uint32_t tick);

  bool IsActive() const { return active_.load(std::memory_order_acquire); }
  // With the lock held: a limit is set and more than it has passed since the start. The time
  // is the unsigned difference now - start, which stays right across the 2^32 wrap of the tick
  // (the start tick is taken under the same lock, so `now` is never older than it).
  bool LimitExceeded(qvp::Tick now) const;

  std::string Path() const;
  uint32_t LimitMs() const { return limit_ms_.load(std::memory_order_acquire); }
  qvp::Tick StartTick() const { return start_tick_.load(std::memory_order_acquire); }
  RecordWriterStats Stats() const;

 private:
  void BeginUnit();
  void EndUnit();
  void DiscardOpenRecord();
  void Flush();
  void DropBuffered(size_t kept, size_t whole);
  void WriteIndexBlock();
  bool Finish(bool notify);
  void DropIndexFrom(uint64_t offset);
  uint64_t RecordOffset() const { return file_bytes_ + open_start_; }

  const RecordWriterOptions options_;
  const Notify notify_;
  const RecordFileFactory factory_;

  mutable std::recursive_mutex mutex_;
  int depth_ = 0;  // nesting of Lock(); a unit spans the outermost pair
  std::atomic<bool> active_{false};
  std::atomic<qvp::Tick> start_tick_{0};
  std::atomic<uint32_t> limit_ms_{0};
  std::string path_;
  std::unique_ptr<RecordFile> file_;

  uint64_t file_bytes_ = 0;          // bytes the file holds
  bool truncate_pending_ = false;    // a cut after a failed write did not succeed yet
  std::vector<uint8_t> buffer_;      // whole records, then the open one
  std::vector<size_t> record_ends_;  // end of each whole record in buffer_
  qvp::Tick oldest_record_tick_ = 0; // when the first of record_ends_ was buffered
  size_t open_start_ = 0;            // where the open record starts in buffer_
  uint64_t open_requested_ = 0;      // bytes written into the open record, kept or not
  bool open_overflow_ = false;       // the open record outgrew the largest frame record
  std::vector<IndexEntry> index_;
  RecordWriterStats stats_;
};

}  // namespace qvnet

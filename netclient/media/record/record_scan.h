// Walking the frame records of a record file without reading the payloads it passes: the
// rebuild of a missing or damaged key-frame index, and the bounded positional reads the reader
// is built on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "netclient/media/record/record_format.h"

namespace qvnet {

// Reads exactly `length` bytes at `offset`; false on a short read or an error.
bool ReadExactAt(int fd, uint64_t offset, uint8_t* out, size_t length);

inline size_t FrameHeaderSize(bool legacy) { return legacy ? kLegacyFrameHeaderSize : kFrameHeaderSize; }

// Decodes the frame header at `bytes`, which holds FrameHeaderSize(legacy) bytes.
FrameHeader DecodeAnyFrameHeader(const uint8_t* bytes, bool legacy);

// A header a reader can use: a stream it knows. Streams 2 and 3 do not occur in record files;
// meeting one means the frame records have ended (an index block without its tail, garbage).
inline bool IsKnownStream(const FrameHeader& h) { return h.stream <= kStreamAudio; }

struct ScanResult {
  uint64_t frames_end = kFirstRecordOffset;  // end of the last complete frame record
  std::vector<IndexEntry> index;             // {offset, tick} of every video record of kind 7
};

// Walks the records from offset 39 up to `end`, stopping at the first incomplete header, a
// header of an unknown stream, or a payload that runs past `end`. Headers are read in large
// blocks while records are small; large payloads are skipped by position, never read.
ScanResult ScanRecords(int fd, uint64_t end, bool legacy);

}  // namespace qvnet

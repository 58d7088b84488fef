// A record file read back whole (header, index, every frame record in file order), and the
// checks the end-to-end tests make on it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "netclient/media/record/record_reader.h"

namespace qvtest {

struct RecordedFrame {
  uint64_t offset = 0;
  qvnet::FrameHeader header;
  std::vector<uint8_t> payload;
};

struct Recording {
  bool ok = false;
  qvnet::RecordHeader header;
  qvnet::IndexOrigin origin = qvnet::IndexOrigin::kScanned;
  std::vector<qvnet::IndexEntry> index;
  std::vector<RecordedFrame> frames;

  // The payloads of the video records back to back, from the `first`th video record on.
  std::vector<uint8_t> VideoBytes(size_t first = 0) const {
    std::vector<uint8_t> all;
    size_t n = 0;
    for (const RecordedFrame& f : frames) {
      if (f.header.stream != qvnet::kStreamVideo) continue;
      if (n++ >= first) all.insert(all.end(), f.payload.begin(), f.payload.end());
    }
    return all;
  }

  // The video payloads from the first key-frame record on (what a decoder can use).
  std::vector<uint8_t> VideoFromFirstKeyFrame() const {
    size_t first_key = 0;
    for (const RecordedFrame& f : frames) {
      if (f.header.stream == qvnet::kStreamVideo && f.header.kind == qvnet::kKindKeyFrame) break;
      if (f.header.stream == qvnet::kStreamVideo) ++first_key;
    }
    return VideoBytes(first_key);
  }

  // The voice frames without their 4-byte headers.
  std::vector<uint8_t> AudioPayloads() const {
    std::vector<uint8_t> all;
    for (const RecordedFrame& f : frames) {
      if (f.header.stream != qvnet::kStreamAudio || f.payload.size() < 4) continue;
      all.insert(all.end(), f.payload.begin() + 4, f.payload.end());
    }
    return all;
  }
};

inline Recording ReadRecording(const std::string& path) {
  Recording r;
  qvnet::RecordFileReader reader;
  if (reader.Open(path) != qvnet::RecordOpenResult::kOk) return r;
  r.header = reader.Header();
  r.origin = reader.Origin();
  r.index = reader.Index();
  std::vector<uint8_t> buffer(qvnet::kMaxPayloadLength + 1);
  for (int i = 0; i < 1000000; ++i) {
    RecordedFrame f;
    f.offset = reader.Position();
    if (reader.ReadFrame(buffer, f.header) != qvnet::FrameReadResult::kFrame) break;
    f.payload.assign(buffer.begin(), buffer.begin() + f.header.length);
    r.frames.push_back(std::move(f));
  }
  r.ok = true;
  return r;
}

inline bool ContainsBytes(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// Every index entry points at a video record of `kind` whose tick equals the entry's.
inline void ExpectIndexAtKeyFrames(const Recording& r, uint8_t kind) {
  ASSERT_FALSE(r.index.empty());
  for (const qvnet::IndexEntry& e : r.index) {
    const auto it = std::find_if(r.frames.begin(), r.frames.end(),
                                 [&](const RecordedFrame& f) { return f.offset == e.offset; });
    ASSERT_NE(it, r.frames.end()) << e.offset;
    EXPECT_EQ(it->header.stream, qvnet::kStreamVideo);
    EXPECT_EQ(it->header.kind, kind);
    EXPECT_EQ(it->header.tick, e.tick);
  }
}

}  // namespace qvtest

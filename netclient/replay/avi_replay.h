// AviReplay: the reader of a file client playing a servers' AVI file. It walks the index
// entry by entry: pictures go whole into the video conduit, PCM sound unchanged into the
// audio conduit (normal speed only), other chunks are passed over. The position follows the
// index (1200 bytes a second). After every entry it carries out a pending seek; at the end
// of the index it reports once and then waits for a seek or the close.
//
// A seek goes to picture target x 25 and, when that picture cannot start decoding, back one
// picture (three entries) at a time to one that can: an H.264 picture whose first NAL unit
// is a sequence parameter set or an IDR slice, or any motion JPEG picture. The servers' own
// files carry the byte 0x61 there on the pictures their seek stopped at; that is a NAL header
// of a reference P slice (nal_ref_idc 3, type 1), where a decoder cannot start, so it is not
// taken. The picture found is fed whole, with its own size from its data start, and reading
// goes on with the entries of the picture after it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "netclient/replay/avi_reader.h"
#include "netclient/replay/replay_feed.h"
#include "netclient/replay/replay_target.h"

namespace qvnet {

// Whether a picture whose data starts with `head` (at least 5 bytes) can start decoding.
bool IsAviSeekPoint(std::span<const uint8_t> head, bool jpeg);

class AviReplay {
 public:
  static constexpr uint32_t kReadBufferBytes = 1024 * 1024;
  static constexpr uint32_t kRetryMs = 10;
  static constexpr uint32_t kSeekRetryMs = 1;
  static constexpr size_t kSeekHeadBytes = 5;

  AviReplay(const ReplayTarget& target, const AviFile& file, ReplayFeed& feed);

  // Starts at the first index entry.
  void Begin();
  // One index entry (nothing at the end of the index), then the seek step.
  void Step();
  bool AtEnd() const { return at_end_; }
  // File position of the next index entry.
  uint64_t Position() const { return position_; }

 private:
  void PlayVideo(const AviIndexEntry& entry);
  void PlayAudio(const AviIndexEntry& entry);
  void SeekStep();
  // The picture to seek to for `target` seconds, searching backwards; false when none.
  bool FindSeekPicture(uint32_t target, uint64_t* frame, AviIndexEntry* picture) const;

  const ReplayTarget target_;
  const AviFile& file_;
  ReplayFeed& feed_;
  std::vector<uint8_t> buffer_;
  uint64_t position_ = 0;
  bool at_end_ = false;
};

}  // namespace qvnet

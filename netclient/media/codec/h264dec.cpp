#include "netclient/media/codec/h264dec.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "netclient/media/codec/av_ptr.h"
#include "netclient/media/codec/picture_convert.h"

namespace qvcodec {
namespace {

// Tells a live handle from a stray pointer or a handle of the other decoder.
constexpr uint32_t kMagic = 0x48323634;  // "H264"
// No camera picture is this large: the parser has been swallowing input without start
// codes, so it is restarted and that input dropped.
constexpr size_t kMaxUnitBytes = 8u << 20;
// Input held but not yet parsed, at most; beyond it the oldest input is dropped. Callers
// drain after every input, which parses all of it, so this only bounds a misbehaving one.
constexpr size_t kMaxHeldBytes = 32u << 20;

// Errors that only mean "this unit was bad": skip it and go on.
bool IsBadData(int err) {
  return err == AVERROR_INVALIDDATA || err == AVERROR_PATCHWELCOME || err == AVERROR(ENOSYS);
}

// Input bytes waiting to be parsed, copied because the caller's buffer lives only for its
// call, and padded because the parser may read past the end of what it is given.
class HeldInput {
 public:
  void Append(const uint8_t* data, size_t len) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<long>(pos_));
    bytes_.resize(bytes_.size() - std::min(bytes_.size(), kPadding));
    pos_ = 0;
    if (len > kMaxHeldBytes) {
      data += len - kMaxHeldBytes;
      len = kMaxHeldBytes;
    }
    if (bytes_.size() + len > kMaxHeldBytes) bytes_.clear();
    bytes_.insert(bytes_.end(), data, data + len);
    bytes_.resize(bytes_.size() + kPadding, 0);
  }
  const uint8_t* Data() const { return bytes_.data() + pos_; }
  int Size() const { return static_cast<int>(bytes_.size() - kPadding - pos_); }
  void Consume(int n) { pos_ += static_cast<size_t>(n); }

 private:
  static constexpr size_t kPadding = AV_INPUT_BUFFER_PADDING_SIZE;
  std::vector<uint8_t> bytes_ = std::vector<uint8_t>(kPadding, 0);
  size_t pos_ = 0;
};

class H264DecState {
 public:
  uint32_t magic_ = kMagic;  // first member, at the same place in every decoder

  bool Open();
  int32_t Frame(const uint8_t* data, int32_t len, DecodedPicture* out, int32_t flags);

 private:
  bool CutUnit(PacketPtr* unit);
  bool Flush(PacketPtr* unit);
  bool ResetParser();
  int32_t Drain(DecodedPicture* out);

  CodecContextPtr ctx_;
  ParserPtr parser_;
  FramePtr frame_;
  PictureConverter converter_;
  HeldInput input_;
  size_t unit_bytes_ = 0;       // parsed since the parser last cut a unit
  bool flush_pending_ = false;  // end of stream asked, last unit not yet cut
  bool failed_ = false;         // once kDecRecreate, always kDecRecreate
};

bool H264DecState::Open() {
  ctx_ = OpenDecoder(AV_CODEC_ID_H264, AV_CODEC_FLAG_LOW_DELAY);
  frame_.reset(av_frame_alloc());
  return ctx_ && frame_ && ResetParser();
}

bool H264DecState::ResetParser() {
  parser_.reset(av_parser_init(AV_CODEC_ID_H264));
  unit_bytes_ = 0;
  return static_cast<bool>(parser_);
}

int32_t H264DecState::Frame(const uint8_t* data, int32_t len, DecodedPicture* out,
                            int32_t flags) {
  if (failed_) return kDecRecreate;
  if (data != nullptr && len > 0) input_.Append(data, static_cast<size_t>(len));
  if ((flags & kH264FlagEndOfStream) != 0) flush_pending_ = true;
  const int32_t result = Drain(out);
  failed_ = result == kDecRecreate;
  return result;
}

// Parses held input until the parser cuts one unit; false on a parser failure. `*unit`
// stays empty when the input ran out first.
bool H264DecState::CutUnit(PacketPtr* unit) {
  // Each round consumes input or cuts a unit; the cap guards against a parser doing neither.
  const int max_rounds = input_.Size() + 64;
  for (int round = 0; input_.Size() > 0 && round < max_rounds; ++round) {
    uint8_t* data = nullptr;
    int size = 0;
    const int left = input_.Size();
    int used = av_parser_parse2(parser_.get(), ctx_.get(), &data, &size, input_.Data(), left,
                                AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (used < 0) return false;
    used = std::min(used, left);
    input_.Consume(used);
    unit_bytes_ += static_cast<size_t>(used);
    if (size > 0) {
      unit_bytes_ = 0;
      *unit = CopyToPacket(data, size);
      return static_cast<bool>(*unit);
    }
    if (unit_bytes_ > kMaxUnitBytes) return ResetParser();
    if (used == 0) break;
  }
  return true;
}

bool H264DecState::Flush(PacketPtr* unit) {
  static const uint8_t kEmpty[AV_INPUT_BUFFER_PADDING_SIZE] = {};
  uint8_t* data = nullptr;
  int size = 0;
  av_parser_parse2(parser_.get(), ctx_.get(), &data, &size, kEmpty, 0, AV_NOPTS_VALUE,
                   AV_NOPTS_VALUE, 0);
  if (size > 0) {
    *unit = CopyToPacket(data, size);
    if (!*unit) return false;
  }
  // A flushed parser keeps stale scanning state; a fresh one starts cleanly.
  return ResetParser();
}

int32_t H264DecState::Drain(DecodedPicture* out) {
  // Each round takes a picture or sends a unit, and units come from bounded input.
  for (;;) {
    const int got = avcodec_receive_frame(ctx_.get(), frame_.get());
    if (got == 0) {
      if (converter_.Convert(*frame_, out)) return kDecPicture;
      continue;  // a picture that cannot be shown is skipped
    }
    if (got != AVERROR(EAGAIN) && !IsBadData(got)) return kDecRecreate;
    PacketPtr unit;
    if (!CutUnit(&unit)) return kDecRecreate;
    if (!unit && flush_pending_ && input_.Size() == 0) {
      flush_pending_ = false;
      if (!Flush(&unit)) return kDecRecreate;
    }
    if (!unit) return kDecNoPicture;
    const int sent = avcodec_send_packet(ctx_.get(), unit.get());
    if (sent != 0 && !IsBadData(sent)) return kDecRecreate;
  }
}

H264DecState* FromHandle(void* handle) {
  auto* dec = static_cast<H264DecState*>(handle);
  return dec != nullptr && dec->magic_ == kMagic ? dec : nullptr;
}

}  // namespace

void* H264DecCreate(const int32_t params[6]) {
  (void)params;  // hints only; the stream's parameter sets size the decoder
  try {
    auto dec = std::make_unique<H264DecState>();
    return dec->Open() ? dec.release() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

int32_t H264DecFrame(void* handle, const uint8_t* data, int32_t len, int64_t ts,
                     DecodedPicture* out, int32_t flags) {
  (void)ts;
  H264DecState* dec = FromHandle(handle);
  if (dec == nullptr || out == nullptr) return kDecUnusable;
  try {
    return dec->Frame(data, len, out, flags);
  } catch (...) {
    return kDecRecreate;
  }
}

void H264DecDestroy(void* handle) {
  H264DecState* dec = FromHandle(handle);
  if (dec == nullptr) return;
  dec->magic_ = 0;
  delete dec;
}

}  // namespace qvcodec

#include "tools/aviwrite/avi_writer.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace aviwrite {
namespace {

// Where the parts of the header list lie (see avi_writer.h).
constexpr size_t kHeaderListEnd = 384;
constexpr size_t kSignatureOffset = 336;
constexpr size_t kMoviListOffset = 2036;  // so that the first chunk starts at 2048
constexpr size_t kMoviDataOffset = kMoviListOffset + 12;
constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kPcmBytesPerSecond = 16000;

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

void PutId(std::vector<uint8_t>& out, size_t at, const char* id) { std::memcpy(&out[at], id, 4); }

void Append32(std::vector<uint8_t>& out, uint32_t v) {
  out.resize(out.size() + 4);
  Put32(out, out.size() - 4, v);
}

// A chunk header {id, size} at `at`.
void PutChunk(std::vector<uint8_t>& out, size_t at, const char* id, uint32_t size) {
  PutId(out, at, id);
  Put32(out, at + 4, size);
}

struct NalPosition {
  size_t start;   // first byte of its start code
  size_t header;  // its NAL header byte
};

std::vector<NalPosition> FindNalUnits(std::span<const uint8_t> s) {
  std::vector<NalPosition> nals;
  for (size_t i = 0; i + 2 < s.size(); ++i) {
    if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) continue;
    const size_t start = (i > 0 && s[i - 1] == 0) ? i - 1 : i;
    if (i + 3 < s.size()) nals.push_back({start, i + 3});
    i += 2;
  }
  return nals;
}

}  // namespace

void AviWriter::AddChunk(const char* id, std::span<const uint8_t> data, uint32_t flags) {
  Chunk c{};
  std::memcpy(c.id, id, 4);
  c.flags = flags;
  c.movi_offset = static_cast<uint32_t>(movi_.size());
  c.size = static_cast<uint32_t>(data.size());
  index_.push_back(c);
  Append32(movi_, 0);
  std::memcpy(&movi_[movi_.size() - 4], id, 4);
  Append32(movi_, c.size);
  movi_.insert(movi_.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) movi_.push_back(0);  // RIFF chunks are word aligned
}

void AviWriter::AddFrame(std::span<const uint8_t> picture, std::span<const uint8_t> pcm, bool key) {
  AddChunk("00dc", picture, key ? kAviKeyFrameFlag : 0);
  // Two sound chunks per picture, split on a sample boundary.
  const size_t half = pcm.size() / 4 * 2;
  AddChunk("01wb", pcm.first(half), 0);
  AddChunk("01wb", pcm.subspan(half), 0);
  pcm_bytes_ += pcm.size();
  ++frames_;
}

void AviWriter::AppendHeader(std::vector<uint8_t>& out, uint32_t file_size, uint32_t movi_size) const {
  const uint32_t w = options_.width;
  const uint32_t h = options_.height;
  const uint32_t rate = options_.frame_rate;
  const uint32_t frames = static_cast<uint32_t>(frames_);
  out.assign(kMoviDataOffset, 0);
  PutChunk(out, 0, "RIFF", file_size - 8);
  PutId(out, 8, "AVI ");
  PutChunk(out, 12, "LIST", kHeaderListEnd - 20);
  PutId(out, 20, "hdrl");
  PutChunk(out, 24, "avih", 56);
  Put32(out, 32, rate == 0 ? 0 : 1000000 / rate);
  Put32(out, 44, kAvifHasIndex);
  Put32(out, 48, frames);
  Put32(out, 56, 2);
  Put32(out, 64, w);
  Put32(out, 68, h);
  PutChunk(out, 88, "LIST", 116);
  PutId(out, 96, "strl");
  PutChunk(out, 100, "strh", 56);
  PutId(out, 108, "vids");
  PutId(out, 112, options_.jpeg ? "MJPG" : "H264");
  Put32(out, 128, 1);
  Put32(out, 132, rate);
  Put32(out, 140, frames);
  Put32(out, 148, 0xFFFFFFFFu);
  Put16(out, 160, static_cast<uint16_t>(w));
  Put16(out, 162, static_cast<uint16_t>(h));
  PutChunk(out, 164, "strf", 40);
  Put32(out, 172, 40);
  Put32(out, 176, w);
  Put32(out, 180, h);
  Put16(out, 184, 1);
  Put16(out, 186, 24);
  PutId(out, 188, options_.jpeg ? "MJPG" : "H264");
  Put32(out, 192, w * h * 3);
  PutChunk(out, 212, "LIST", 92);
  PutId(out, 220, "strl");
  PutChunk(out, 224, "strh", 56);
  PutId(out, 232, "auds");
  Put32(out, 252, 2);
  Put32(out, 256, kPcmBytesPerSecond);
  Put32(out, 264, static_cast<uint32_t>(pcm_bytes_ / 2));
  Put32(out, 272, 0xFFFFFFFFu);
  Put32(out, 276, 2);
  PutChunk(out, 288, "strf", 16);
  Put16(out, 296, 1);  // PCM
  Put16(out, 298, 1);
  Put32(out, 300, 8000);
  Put32(out, 304, kPcmBytesPerSecond);
  Put16(out, 308, 2);
  Put16(out, 310, 16);
  PutChunk(out, 312, "JUNK", kHeaderListEnd - 320);
  std::memcpy(&out[kSignatureOffset], "QuorValenta", 11);
  PutChunk(out, kHeaderListEnd, "JUNK", static_cast<uint32_t>(kMoviListOffset - kHeaderListEnd - 8));
  PutChunk(out, kMoviListOffset, "LIST", movi_size);
  PutId(out, kMoviListOffset + 8, "movi");
}

std::vector<uint8_t> AviWriter::Build() const {
  const uint32_t movi_size = static_cast<uint32_t>(4 + movi_.size());
  const size_t index_size = index_.size() * 16;
  const size_t file_size = kMoviDataOffset + movi_.size() + 8 + index_size;
  std::vector<uint8_t> out;
  AppendHeader(out, static_cast<uint32_t>(file_size), movi_size);
  out.insert(out.end(), movi_.begin(), movi_.end());
  const size_t idx1 = out.size();
  out.resize(file_size);
  PutChunk(out, idx1, "idx1", static_cast<uint32_t>(index_size));
  size_t at = idx1 + 8;
  for (const Chunk& c : index_) {
    PutId(out, at, c.id);
    Put32(out, at + 4, c.flags);
    Put32(out, at + 8, static_cast<uint32_t>(kMoviDataOffset + c.movi_offset));
    Put32(out, at + 12, c.size);
    at += 16;
  }
  return out;
}

bool AviWriter::WriteFile(const std::string& path) const {
  const std::vector<uint8_t> bytes = Build();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

std::vector<std::vector<uint8_t>> SplitAccessUnits(std::span<const uint8_t> stream) {
  std::vector<std::vector<uint8_t>> units;
  const std::vector<NalPosition> nals = FindNalUnits(stream);
  bool unit_has_slice = false;
  size_t unit_start = nals.empty() ? 0 : nals.front().start;
  for (size_t i = 0; i < nals.size(); ++i) {
    const uint8_t type = stream[nals[i].header] & 0x1F;
    const bool slice = type == 1 || type == 5;
    const bool first_slice = slice && nals[i].header + 1 < stream.size() && (stream[nals[i].header + 1] & 0x80) != 0;
    const bool starts_unit = (type >= 6 && type <= 9) || first_slice;
    if (starts_unit && unit_has_slice) {
      units.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(unit_start),
                         stream.begin() + static_cast<std::ptrdiff_t>(nals[i].start));
      unit_start = nals[i].start;
      unit_has_slice = false;
    }
    unit_has_slice = unit_has_slice || slice;
  }
  if (!nals.empty() && unit_start < stream.size()) {
    units.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(unit_start), stream.end());
  }
  return units;
}

bool IsKeyAccessUnit(std::span<const uint8_t> unit) {
  for (const NalPosition& n : FindNalUnits(unit)) {
    const uint8_t type = unit[n.header] & 0x1F;
    if (type == 5 || type == 7) return true;
  }
  return false;
}

}  // namespace aviwrite

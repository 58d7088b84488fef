#include "tools/qvplay/file_info.h"

#include <cinttypes>
#include <cstdio>

#include "netclient/media/record/record_reader.h"
#include "netclient/replay/avi_reader.h"

namespace qvplay {
namespace {

const char* LayoutName(qvnet::RecordLayout layout) {
  switch (layout) {
    case qvnet::RecordLayout::kLegacy: return "legacy record file";
    case qvnet::RecordLayout::kH264: return "record file, H.264";
    case qvnet::RecordLayout::kJpeg: return "record file, motion JPEG";
  }
  return "record file";
}

const char* OpenFailure(qvnet::RecordOpenResult r) {
  switch (r) {
    case qvnet::RecordOpenResult::kCannotOpen: return "cannot be opened";
    case qvnet::RecordOpenResult::kNotRecordFile: return "is neither a record file nor a servers' AVI file";
    case qvnet::RecordOpenResult::kEmptyIndex: return "has an index block with no entries";
    case qvnet::RecordOpenResult::kOk: break;
  }
  return "cannot be read";
}

void PrintDuration(uint64_t ms) {
  std::printf("duration:    %" PRIu64 ".%03" PRIu64 " s\n", ms / 1000, ms % 1000);
}

bool PrintRecord(const std::string& path) {
  qvnet::RecordFileReader reader;
  const qvnet::RecordOpenResult r = reader.Open(path);
  if (r != qvnet::RecordOpenResult::kOk) {
    std::printf("%s %s\n", path.c_str(), OpenFailure(r));
    return false;
  }
  const qvnet::RecordHeader& h = reader.Header();
  std::printf("file:        %s (%" PRIu64 " bytes)\n", path.c_str(), reader.FileSize());
  std::printf("layout:      %s\n", LayoutName(reader.Layout()));
  if (reader.Layout() != qvnet::RecordLayout::kLegacy) {
    std::printf("header:      payload type %u, audio codec %u, %ux%u\n", h.payload_type, h.audio_codec, h.width,
                h.height);
  }
  std::printf("frame rate:  %u/s\n", reader.FrameRate());
  std::printf("records end: %" PRIu64 "\n", reader.FramesEnd());
  if (reader.FramesEnd() == qvnet::kFirstRecordOffset) {
    // A recording that ended right after its header (a recorder killed at that moment).
    std::printf("pictures:    none (the file holds only its header)\n");
    return true;
  }
  const std::vector<qvnet::IndexEntry>& index = reader.Index();
  std::printf("index:       %zu key frames, %s\n", index.size(),
              reader.Origin() == qvnet::IndexOrigin::kTail ? "index block at the end" : "rebuilt by scanning");
  if (index.empty()) {
    std::printf("duration:    unknown (no key frames: plays from the start, cannot seek)\n");
    return true;
  }
  std::printf("first entry: offset %" PRIu64 ", tick %u\n", index.front().offset, index.front().tick);
  std::printf("last entry:  offset %" PRIu64 ", tick %u\n", index.back().offset, index.back().tick);
  PrintDuration(uint32_t(index.back().tick - index.front().tick));
  return true;
}

bool PrintAvi(const std::string& path, const qvnet::AviFile& avi) {
  std::printf("file:        %s (%" PRIu64 " bytes)\n", path.c_str(), avi.FileSize());
  std::printf("layout:      servers' AVI file, %s\n", avi.Jpeg() ? "motion JPEG" : "H.264");
  std::printf("frame rate:  %u/s\n", avi.FrameRate());
  std::printf("pictures:    %u\n", avi.FrameCount());
  std::printf("index:       %" PRIu64 " entries from offset %" PRIu64 "\n", avi.EntryCount(), avi.IndexStart());
  qvnet::AviIndexEntry first;
  qvnet::AviIndexEntry last;
  if (avi.EntryCount() > 0 && avi.ReadEntry(avi.IndexStart(), &first) &&
      avi.ReadEntry(avi.IndexStart() + (avi.EntryCount() - 1) * qvnet::kAviIndexEntrySize, &last)) {
    std::printf("first entry: %.4s at %u, %u bytes\n", first.id.data(), first.offset, first.size);
    std::printf("last entry:  %.4s at %u, %u bytes\n", last.id.data(), last.offset, last.size);
  }
  PrintDuration(uint64_t{avi.FrameCount()} * 1000 / avi.FrameRate());
  return true;
}

}  // namespace

bool PrintFileInfo(const std::string& path) {
  qvnet::AviFile avi;
  switch (avi.Open(path)) {
    case qvnet::AviOpenResult::kOk:
      return PrintAvi(path, avi);
    case qvnet::AviOpenResult::kNotAvi:
      return PrintRecord(path);
    case qvnet::AviOpenResult::kCannotOpen:
      std::printf("%s cannot be opened\n", path.c_str());
      return false;
    case qvnet::AviOpenResult::kNoFrameRate:
      std::printf("%s: AVI file with frame rate 0\n", path.c_str());
      return false;
    case qvnet::AviOpenResult::kNoIndex:
      std::printf("%s: AVI file without its index\n", path.c_str());
      return false;
  }
  return false;
}

}  // namespace qvplay

// qv_aviwrite: builds an AVI file in the servers' recording layout from an H.264 Annex B
// stream or JPEG images, with optional raw PCM sound (16-bit little-endian, 8000 Hz, mono),
// 640 bytes of which go with each picture (25 pictures a second).
//
//   qv_aviwrite OUT.avi --h264 STREAM.h264 [--pcm SOUND.raw] [--size WxH]
//   qv_aviwrite OUT.avi --jpeg A.jpg B.jpg ... [--pcm SOUND.raw] [--size WxH]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/aviwrite/avi_writer.h"

namespace {

constexpr size_t kPcmBytesPerPicture = 640;  // 40 ms of sound per picture at 25 a second

std::vector<uint8_t> ReadWhole(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  *ok = static_cast<bool>(in);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Usage() {
  std::fprintf(stderr,
               "usage: qv_aviwrite OUT.avi (--h264 STREAM.h264 | --jpeg IMAGE...) [--pcm SOUND.raw] "
               "[--size WxH]\n");
  return 2;
}

struct Args {
  std::string out;
  std::string h264;
  std::vector<std::string> jpegs;
  std::string pcm;
  unsigned width = 704;
  unsigned height = 576;
};

bool Parse(int argc, char** argv, Args* a) {
  if (argc < 2) return false;
  a->out = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--h264" && has_value) {
      a->h264 = argv[++i];
    } else if (arg == "--pcm" && has_value) {
      a->pcm = argv[++i];
    } else if (arg == "--size" && has_value) {
      if (std::sscanf(argv[++i], "%ux%u", &a->width, &a->height) != 2) return false;
    } else if (arg == "--jpeg") {
      while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) a->jpegs.emplace_back(argv[++i]);
    } else {
      return false;
    }
  }
  return a->h264.empty() != a->jpegs.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (!Parse(argc, argv, &args)) return Usage();
  std::vector<std::vector<uint8_t>> pictures;
  bool ok = true;
  if (!args.h264.empty()) {
    pictures = aviwrite::SplitAccessUnits(ReadWhole(args.h264, &ok));
  } else {
    for (const std::string& path : args.jpegs) {
      pictures.push_back(ReadWhole(path, &ok));
      if (!ok) break;
    }
  }
  std::vector<uint8_t> pcm;
  if (ok && !args.pcm.empty()) pcm = ReadWhole(args.pcm, &ok);
  if (!ok || pictures.empty()) {
    std::fprintf(stderr, "qv_aviwrite: cannot read the input\n");
    return 1;
  }
  aviwrite::AviWriter writer({args.h264.empty(), args.width, args.height, 25});
  for (size_t i = 0; i < pictures.size(); ++i) {
    const size_t from = std::min(pcm.size(), i * kPcmBytesPerPicture);
    const size_t to = std::min(pcm.size(), from + kPcmBytesPerPicture);
    const bool key = !args.h264.empty() ? aviwrite::IsKeyAccessUnit(pictures[i]) : true;
    writer.AddFrame(pictures[i], std::span<const uint8_t>(pcm.data() + from, to - from), key);
  }
  if (!writer.WriteFile(args.out)) {
    std::fprintf(stderr, "qv_aviwrite: cannot write %s\n", args.out.c_str());
    return 1;
  }
  std::printf("%s: %zu pictures, %zu bytes of sound\n", args.out.c_str(), pictures.size(), pcm.size());
  return 0;
}

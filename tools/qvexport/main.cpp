// qvexport: a recording into an MP4, MOV or Matroska file without re-encoding the video.
//
//   qvexport FILE -o OUT.mp4|OUT.mov|OUT.mkv [--from S] [--to S] [--quiet]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "replay/export/recording_export.h"

namespace {

void Usage() {
  std::puts(
      "usage: qvexport FILE -o OUT [--from S] [--to S] [--quiet]\n"
      "Copies a recording into OUT (.mp4, .mov or .mkv) without re-encoding the video: H.264\n"
      "from its first key frame (or motion JPEG), picture times from the recording, audio kept\n"
      "where the container allows it (G.711 in .mkv and .mov; G.726 as PCM), else left out\n"
      "with a warning.\n"
      "  -o OUT       the output file; its extension picks the container\n"
      "  --from S     start at the key frame at or before S seconds (as the replay's slider)\n"
      "  --to S       end before S seconds\n"
      "  --quiet      no progress on stderr");
}

bool Seconds(const char* text, uint32_t* out) {
  char* end = nullptr;
  const unsigned long v = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || v > 0xFFFFFFFFul / 1000) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

bool ParseArgs(int argc, char** argv, qvexport::ExportRequest* r, bool* quiet) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    uint32_t s = 0;
    if (a == "-h" || a == "--help") return false;
    if (a == "--quiet") {
      *quiet = true;
    } else if (a == "-o" && has_value) {
      r->output = argv[++i];
    } else if (a == "--from" && has_value && Seconds(argv[i + 1], &s)) {
      r->from_s = s;
      ++i;
    } else if (a == "--to" && has_value && Seconds(argv[i + 1], &s)) {
      r->to_s = s;
      ++i;
    } else if (!a.empty() && a[0] != '-' && r->input.empty()) {
      r->input = a;
    } else {
      std::fprintf(stderr, "qvexport: bad argument %s\n", a.c_str());
      return false;
    }
  }
  if (r->from_s && r->to_s && *r->to_s <= *r->from_s) {
    std::fprintf(stderr, "qvexport: --to must be after --from\n");
    return false;
  }
  return !r->input.empty() && !r->output.empty();
}

}  // namespace

int main(int argc, char** argv) {
  qvexport::ExportRequest request;
  bool quiet = false;
  if (!ParseArgs(argc, argv, &request, &quiet)) {
    Usage();
    return 2;
  }
  // Progress only where someone watches: a terminal, and not for --quiet.
  const bool show = !quiet && isatty(STDERR_FILENO) != 0;
  const qvexport::ExportSummary s = qvexport::ExportRecording(request, [show](double fraction) {
    if (show) std::fprintf(stderr, "\rqvexport: %3d%%", static_cast<int>(fraction * 100));
    return true;
  });
  if (show) std::fputc('\n', stderr);
  for (const std::string& w : s.warnings) std::fprintf(stderr, "qvexport: warning: %s\n", w.c_str());
  if (!s.ok) {
    std::fprintf(stderr, "qvexport: %s\n", s.error.c_str());
    return 1;
  }
  std::printf("%s: %llu pictures (%dx%d), %.3f s, %llu audio packets\n", request.output.c_str(),
              static_cast<unsigned long long>(s.pictures), s.width, s.height, static_cast<double>(s.duration_ms) / 1000.0,
              static_cast<unsigned long long>(s.audio_packets));
  return 0;
}

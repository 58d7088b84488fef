// Framed conduit throughput between a writer and a reader thread, against memcpy bandwidth
// measured in the same run over the same number of bytes.
//
// Usage: bench_conduit [MiB per case]   (default 512)
//
// Every byte crosses the conduit with two copies, one on each thread (into the ring, out of
// it). Source and destination walk 64 MiB arenas so that neither side is served from cache,
// as with real video. The memcpy figure is the best of three runs, so a busy machine shows
// up as a lower conduit ratio rather than a flattering one.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "netclient/media/conduit/buffer_conduit.h"

namespace {

constexpr size_t kArenaBytes = 64u << 20;
constexpr uint32_t kReadTimeoutMs = 100;

using SteadyClock = std::chrono::steady_clock;

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

struct Arenas {
  std::vector<uint8_t> src = std::vector<uint8_t>(kArenaBytes);
  std::vector<uint8_t> dst = std::vector<uint8_t>(kArenaBytes);
  Arenas() {
    // Touch every page up front so page faults stay out of the timings.
    for (size_t i = 0; i < kArenaBytes; ++i) src[i] = static_cast<uint8_t>(i * 131u);
    std::memset(dst.data(), 0, kArenaBytes);
  }
};

// Offset of the next `size`-byte piece in an arena, starting over at its end.
size_t NextOffset(size_t offset, size_t size) { return offset + 2 * size > kArenaBytes ? 0 : offset + size; }

double MemcpySeconds(Arenas& arenas, uint64_t total) {
  constexpr size_t kChunk = 1u << 20;
  const auto start = SteadyClock::now();
  size_t offset = 0;
  for (uint64_t done = 0; done < total; done += kChunk) {
    std::memcpy(arenas.dst.data() + offset, arenas.src.data() + offset, kChunk);
    offset = NextOffset(offset, kChunk);
  }
  const double seconds = SecondsSince(start);
  // Keep the copies observable.
  volatile uint8_t sink = arenas.dst[kArenaBytes / 2];
  (void)sink;
  return seconds;
}

struct CaseResult {
  double seconds = 0;
  uint64_t refused_writes = 0;
  uint64_t bad_messages = 0;
};

CaseResult RunCase(Arenas& arenas, uint32_t message_size, bool blocking, uint64_t messages) {
  qvnet::CBufferConduit conduit;
  CaseResult result;
  if (!conduit.Create(qvnet::kVideoConduitBytes, blocking, qvnet::kConduitLowWater, true)) {
    std::fprintf(stderr, "cannot create the conduit\n");
    std::exit(1);
  }
  const auto start = SteadyClock::now();
  std::thread writer([&] {
    size_t offset = 0;
    for (uint64_t i = 0; i < messages; ++i) {
      // A refused write is retried, as the stream sources do; a blocking Write waits itself.
      while (!conduit.Write(arenas.src.data() + offset, message_size, true)) {
        ++result.refused_writes;
        std::this_thread::yield();
      }
      offset = NextOffset(offset, message_size);
    }
  });
  size_t offset = 0;
  for (uint64_t got = 0; got < messages;) {
    uint32_t left = 0;
    const uint32_t n = conduit.ReadMessage(arenas.dst.data() + offset, message_size, &left, kReadTimeoutMs);
    if (n == 0) continue;
    if (n != message_size) ++result.bad_messages;
    offset = NextOffset(offset, message_size);
    ++got;
  }
  writer.join();
  result.seconds = SecondsSince(start);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t mib = 512;
  if (argc > 1) mib = std::max<uint64_t>(16, std::strtoull(argv[1], nullptr, 10));
  const uint64_t total = mib << 20;
  Arenas arenas;

  double memcpy_seconds = MemcpySeconds(arenas, total);
  for (int i = 0; i < 2; ++i) memcpy_seconds = std::min(memcpy_seconds, MemcpySeconds(arenas, total));
  const double memcpy_mbs = static_cast<double>(total) / 1e6 / memcpy_seconds;

  std::printf("Framed conduit throughput: %u KiB conduit, low water %u, %llu MiB per case, MB = 10^6 bytes\n",
              qvnet::kVideoConduitBytes >> 10, qvnet::kConduitLowWater, static_cast<unsigned long long>(mib));
  std::printf("memcpy baseline (1 MiB chunks over 64 MiB arenas, best of 3): %.1f MB/s\n\n", memcpy_mbs);
  std::printf("%-9s  %-12s  %10s  %12s  %9s  %14s\n", "message", "writer", "MB/s", "messages/s", "x memcpy",
              "refused writes");

  const uint32_t sizes[] = {1400, 64 * 1024};
  for (uint32_t size : sizes) {
    for (bool blocking : {false, true}) {
      const uint64_t messages = total / size;
      const CaseResult r = RunCase(arenas, size, blocking, messages);
      const double bytes = static_cast<double>(messages) * size;
      const double mbs = bytes / 1e6 / r.seconds;
      std::printf("%-9u  %-12s  %10.1f  %12.0f  %9.3f  %14llu\n", size, blocking ? "blocking" : "non-blocking", mbs,
                  static_cast<double>(messages) / r.seconds, mbs / memcpy_mbs,
                  static_cast<unsigned long long>(r.refused_writes));
      if (r.bad_messages != 0) {
        std::fprintf(stderr, "error: %llu messages came out with a wrong length\n",
                     static_cast<unsigned long long>(r.bad_messages));
        return 1;
      }
    }
  }
  return 0;
}

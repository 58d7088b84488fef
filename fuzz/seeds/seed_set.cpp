#include "fuzz/seeds/seed_set.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace qvseeds {

bool SeedSet::Save(std::string_view target, std::string_view name, std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxSeedBytes) {
    std::fprintf(stderr, "seed %.*s/%.*s: %zu bytes, over the %zu-byte limit; not written\n",
                 static_cast<int>(target.size()), target.data(), static_cast<int>(name.size()), name.data(),
                 bytes.size(), kMaxSeedBytes);
    ++failed_;
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(root_) / target;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "seed %s: cannot write\n", (folder / name).c_str());
    ++failed_;
    return false;
  }
  std::printf("%-20.*s %-32.*s %6zu bytes\n", static_cast<int>(target.size()), target.data(),
              static_cast<int>(name.size()), name.data(), bytes.size());
  ++written_;
  return true;
}

bool ChunkedInput::Add(std::span<const uint8_t> chunk, size_t limit) {
  if (chunk.size() > 0xFFFF || bytes_.size() + 2 + chunk.size() > limit) return false;
  bytes_.push_back(static_cast<uint8_t>(chunk.size() >> 8));
  bytes_.push_back(static_cast<uint8_t>(chunk.size() & 0xFF));
  bytes_.insert(bytes_.end(), chunk.begin(), chunk.end());
  ++chunks_;
  return true;
}

}  // namespace qvseeds

// Runs each fuzz target over its corpus folder, then over a fixed set of mutations of every
// input (cuts, flipped bits, bytes set to the values parsers trip on, a copied-over stretch), so
// the ordinary build and the sanitizer build test the parsers with damaged input even where no
// libFuzzer is at hand. A broken invariant aborts with the target's name and the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::filesystem::path> CorpusFiles(const std::string& target) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(QV_FUZZ_CORPUS) + "/" + target, ec)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A small deterministic generator, so a failing mutation is the same on every run.
class Xorshift {
 public:
  explicit Xorshift(uint32_t seed) : state_(seed == 0 ? 1 : seed) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  size_t Below(size_t n) { return n == 0 ? 0 : Next() % n; }

 private:
  uint32_t state_;
};

// Values that lengths, counts and markers are most often wrong with.
constexpr uint8_t kInteresting[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, '$', '\r', '\n', '@', '*'};

std::vector<Bytes> Mutations(const Bytes& input, uint32_t seed, int count) {
  std::vector<Bytes> out;
  Xorshift rng(seed);
  // Every cut at a few places, including the empty input.
  for (const size_t cut : {size_t{0}, input.size() / 3, input.size() / 2, input.size() - std::min<size_t>(1, input.size())}) {
    out.emplace_back(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(cut));
  }
  for (int i = 0; i < count && !input.empty(); ++i) {
    Bytes m = input;
    switch (rng.Below(4)) {
      case 0:
        m[rng.Below(m.size())] ^= static_cast<uint8_t>(1u << rng.Below(8));
        break;
      case 1:
        m[rng.Below(m.size())] = kInteresting[rng.Below(std::size(kInteresting))];
        break;
      case 2: {  // four bytes of 0xFF: a length or count at its largest
        const size_t at = rng.Below(m.size());
        std::fill(m.begin() + static_cast<std::ptrdiff_t>(at),
                  m.begin() + static_cast<std::ptrdiff_t>(std::min(m.size(), at + 4)), 0xFF);
        break;
      }
      default: {  // a stretch copied over another place
        const size_t from = rng.Below(m.size());
        const size_t to = rng.Below(m.size());
        const size_t n = std::min({rng.Below(64) + 1, m.size() - from, m.size() - to});
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(from), n, m.begin() + static_cast<std::ptrdiff_t>(to));
        break;
      }
    }
    out.push_back(std::move(m));
  }
  return out;
}

// As libFuzzer calls a target: never with a null pointer, even for an empty input.
int RunTarget(const qvfuzz::FuzzTarget& target, const Bytes& input) {
  static const uint8_t kEmpty = 0;
  return target.entry(input.empty() ? &kEmpty : input.data(), input.size());
}

class FuzzCorpus : public ::testing::TestWithParam<qvfuzz::FuzzTarget> {};

TEST_P(FuzzCorpus, EverySeedAndItsMutationsKeepTheInvariants) {
  const qvfuzz::FuzzTarget target = GetParam();
  qvfuzz::QuietCodecLogs();
  const std::vector<std::filesystem::path> files = CorpusFiles(target.name);
  ASSERT_FALSE(files.empty()) << "no corpus for " << target.name << " under " << QV_FUZZ_CORPUS;
  uint32_t seed = 1;
  for (const std::filesystem::path& file : files) {
    const Bytes input = ReadFile(file);
    qvfuzz::SetInputNote(file.string());
    EXPECT_EQ(RunTarget(target, input), 0) << file;
    int n = 0;
    for (const Bytes& m : Mutations(input, seed++, 24)) {
      qvfuzz::SetInputNote(file.string() + " mutation " + std::to_string(n++));
      RunTarget(target, m);
    }
  }
  qvfuzz::SetInputNote({});
}

INSTANTIATE_TEST_SUITE_P(AllTargets, FuzzCorpus, ::testing::ValuesIn(qvfuzz::AllFuzzTargets().begin(),
                                                                    qvfuzz::AllFuzzTargets().end()),
                         [](const ::testing::TestParamInfo<qvfuzz::FuzzTarget>& p) { return std::string(p.param.name); });

}  // namespace

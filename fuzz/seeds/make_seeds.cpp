// Writes the fuzz corpora's seeds: qv_fuzz_seeds <corpus folder>. The seeds come from the
// camera simulator on 127.0.0.1 and from the product's own writers, so they follow the formats
// as the code knows them; run it again after a format changes and commit the result.
#include <cstdio>

#include "fuzz/seeds/seed_groups.h"
#include "fuzz/targets/fuzz_support.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  qvfuzz::QuietCodecLogs();
  qvseeds::SeedSet seeds(argv[1]);
  const qvseeds::MediaSamples media = qvseeds::MakeCameraSeeds(seeds);
  qvseeds::MakeFileSeeds(seeds, media);
  qvseeds::MakeStandardSeeds(seeds, media);
  std::printf("%d seeds written, %d refused\n", seeds.Written(), seeds.Failed());
  return seeds.Failed() == 0 && seeds.Written() > 0 ? 0 : 1;
}

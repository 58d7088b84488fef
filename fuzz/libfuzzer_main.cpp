// The libFuzzer entry point of one fuzz program; QV_FUZZ_ENTRY names its entry function.
#include <cstddef>
#include <cstdint>

#include "fuzz/targets/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return qvfuzz::QV_FUZZ_ENTRY(data, size);
}

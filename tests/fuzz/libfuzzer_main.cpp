// libFuzzer entry (built only by scripts/fuzz.sh with clang).
#include "tests/fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  rf::fuzz::fuzzXbase(data, size);
  return 0;
}

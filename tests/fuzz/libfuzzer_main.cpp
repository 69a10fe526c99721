// libFuzzer entries (built only by scripts/fuzz.sh with clang): one program per reader family,
// chosen at compile time.
#include "tests/fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#ifdef RF_FUZZ_PARADOX
  rf::fuzz::fuzzParadox(data, size);
#else
  rf::fuzz::fuzzXbase(data, size);
#endif
  return 0;
}

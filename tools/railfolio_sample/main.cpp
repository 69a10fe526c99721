// railfolio-sample OUT_DIR [--count N] [--seed S] [--photos K] [--data DIR]: a sample
// collection for trying the application and for measuring it with large tables.

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tables/error.h"
#include "tools/railfolio_sample/collection_builder.h"
#include "tools/railfolio_sample/sample_options.h"

#ifndef RF_DELIVERED_DATA_DIR
#define RF_DELIVERED_DATA_DIR "delivered-data"
#endif

int main(int argc, char** argv) {
  using namespace rf::sample;
  try {
    const SampleOptions options =
        parseSampleOptions(std::vector<std::string>(argv + 1, argv + argc), RF_DELIVERED_DATA_DIR);
    if (options.help) {
      std::fputs(sampleUsage(), stdout);
      return 0;
    }
    const auto start = std::chrono::steady_clock::now();
    const CollectionSummary s = buildCollection(options);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%s: %d pieces (%d with photos), %d waybills; NEXTASSET %.0f, NEXTWAYB %.0f; %.2f s\n",
                options.outDir.c_str(), s.pieces, s.photos, s.waybills, s.lastAsset, s.lastWaybill,
                took.count());
    return 0;
  } catch (const SampleUsageError& e) {
    std::fprintf(stderr, "railfolio-sample: %s\n\n%s", e.what(), sampleUsage());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "railfolio-sample: %s\n", e.what());
    return 1;
  }
}

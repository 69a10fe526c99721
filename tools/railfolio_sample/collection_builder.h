#pragma once
// Makes a sample collection folder: the delivered tables copied in, then the inventory, its
// photos, the waybills and the counters written through the engine.

#include <cstdint>
#include <string>

#include "tools/railfolio_sample/sample_options.h"

namespace rf::sample {

struct CollectionSummary {
  int pieces = 0;
  int photos = 0;
  int waybills = 0;
  double lastAsset = 0;
  double lastWaybill = 0;
};

// Throws SampleUsageError for an output folder that already holds files or a data directory
// without tables, and the engine's TableError for a table it refuses.
CollectionSummary buildCollection(const SampleOptions& options);

}  // namespace rf::sample

#include "data/counter.h"

namespace rf::data {

double raiseCounter(dataset::Dataset& options, const QString& counterField) {
  // An edit already under way (the Preferences screen closed with its close box, or an earlier
  // refused save) is kept and saved with the counter; an empty table gets its first record.
  if (options.state() == dataset::DatasetState::Browse) options.edit();
  auto& counter = options.field(counterField);
  counter.setNumber(counter.asNumber() + 1);
  options.post();
  return options.field(counterField).asNumber();
}

}  // namespace rf::data

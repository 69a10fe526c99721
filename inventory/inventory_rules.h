#pragma once
// The inventory record's two rules, installed as events of the inventory table object so they run
// for every new record and every save, from whichever screen or command.
//
// New record: the asset counter is raised and saved first, the record takes the raised number and
// zero money fields and is stored at once. Before save: the increase is value minus cost, the gain
// the increase as a percentage of the cost; with a zero increase or a zero cost the gain is set to
// 0 rather than keeping a percentage that no longer holds.

#include "dataset/dataset.h"

namespace rf::inventory {

void tbInvenNewRecord(dataset::Dataset& inven, dataset::Dataset& options);
void tbInvenBeforePost(dataset::Dataset& inven);

// Hooks both rules on the inventory table object.
void installInventoryRules(dataset::Dataset& inven, dataset::Dataset& options);

}  // namespace rf::inventory

#pragma once
// The waybill record's rules.
//
// New waybill: the waybill counter is raised and saved first; the waybill takes the raised
// number, the current car's asset number, reporting mark and road number (copied once: later
// changes of the car leave its waybills as they were), moves loaded and is marked for the next
// waybill run; it is stored at once, before the user types anything. A waybill needs a car: with
// no current inventory record the new row is refused before a number is used up, since a
// waybill of no car would be shown on no page and only ever reached by the waybill run.
//
// Location fill: after an industry was picked as receiver or shipper, its "CITY, STATE" goes into
// the waybill's receiver or shipper location (not saved: it goes with the user's other changes).

#include <QString>

#include "dataset/dataset.h"

namespace rf::operations {

inline const QString kNoCarForWaybill = QStringLiteral("There is no car to add a waybill to.");

void tbWaybillNewRecord(dataset::Dataset& waybill, dataset::Dataset& inven, dataset::Dataset& options);

// Hooks the new-waybill rule on the waybill table object.
void installWaybillRules(dataset::Dataset& waybill, dataset::Dataset& inven, dataset::Dataset& options);

// "CITY, STATE" of the industry record; the comma and blank stand even when either is empty.
QString industryLocation(dataset::Dataset& industry);

// Writes the industry's location into `locationField` of the waybill being edited.
void fillLocation(dataset::Dataset& waybill, const QString& locationField, dataset::Dataset& industry);

}  // namespace rf::operations

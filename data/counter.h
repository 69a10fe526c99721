#pragma once
// The counter operation: raises one counter of the options record by one and saves the record
// (with any pending change of the owner's fields). A counter holds the last number handed out;
// the caller takes the raised value for its new record. A refused save leaves the options record
// being edited with the raised value and reaches the caller, which then numbers nothing.

#include <QString>

#include "dataset/dataset.h"

namespace rf::data {

inline const QString kAssetCounter = QStringLiteral("NEXTASSET");
inline const QString kWaybillCounter = QStringLiteral("NEXTWAYB");

// Returns the counter's new value, as saved.
double raiseCounter(dataset::Dataset& options, const QString& counterField);

}  // namespace rf::data

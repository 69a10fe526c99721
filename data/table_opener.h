#pragma once
// Opens a catalogue table into its table object: the file from the data directory (alias "rf")
// or the working directory, in the table's declared format, in its order, with its fields'
// labels and widths. What the engine refuses leaves as its TableError.

#include "data/table_catalogue.h"
#include "dataset/dataset.h"
#include "tables/engine.h"

namespace rf::data {

tables::OpenRequest openRequestFor(const TableEntry& entry);
void openTable(dataset::Dataset& table, tables::Engine& engine, const TableEntry& entry);

}  // namespace rf::data

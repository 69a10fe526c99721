#pragma once
// The browse grid's columns: every inventory field under its own name, in the table's order,
// with its width in characters.

#include "controls/grid_column.h"

namespace rf::inventory {

controls::ColumnList inventoryGridColumns();

// The fields the inventory filter dialog offers (all but the print mark and the photo).
QStringList inventoryFilterFields();

}  // namespace rf::inventory

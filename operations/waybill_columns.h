#pragma once
// The waybill grid's columns: field, width in characters and title, in the grid's order.

#include "controls/grid_column.h"

namespace rf::operations {

const controls::ColumnList& waybillGridColumns();
// The one column of the industries' pick list (receiver and shipper) and of the products' one.
const controls::ColumnList& industryPickColumns();
const controls::ColumnList& ladingPickColumns();

}  // namespace rf::operations

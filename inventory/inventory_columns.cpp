#include "inventory/inventory_columns.h"

#include <QStringList>

#include "data/table_catalogue.h"

namespace rf::inventory {

controls::ColumnList inventoryGridColumns() {
  // The table object's fields are the grid's columns, in their order and display widths.
  controls::ColumnList list;
  for (const auto& f : data::catalogueEntry(QStringLiteral("tbInven")).fields) list.push_back({f.name, 0, f.name});
  return list;
}

QStringList inventoryFilterFields() {
  return {"I_ACQD",   "I_ASSET",  "I_CAT",      "I_CLASS",  "I_COND",   "I_COST",  "I_COUPLER", "I_DESC",
          "I_DETAIL", "I_DTSLD",  "I_EQTYPE",   "I_FLAG1",  "I_FLAG2",  "I_GAIN",  "I_IMPTR",   "I_INCREASE",
          "I_LENGTH", "I_LOCOCHAN", "I_MFGR",   "I_MFGRNO", "I_PAINT",  "I_REPMK", "I_REPNO",   "I_RMK1",
          "I_RMK2",   "I_RMK3",   "I_SCALE",    "I_SLOC",   "I_SUBCAT", "I_TRUCKS", "I_USER1",  "I_USER2",
          "I_VALUE",  "I_VDATE",  "I_WEIGHT",   "R_NAME",   "W_HOMEYARD"};
}

}  // namespace rf::inventory

#include "operations/waybill_columns.h"

namespace rf::operations {

const controls::ColumnList& waybillGridColumns() {
  static const controls::ColumnList columns = {
      {QStringLiteral("Wayb_No"), 10, QStringLiteral("WAYB_NO")},
      {QStringLiteral("Receiver"), 30, QStringLiteral("RECEIVER")},
      {QStringLiteral("Shipper"), 30, QStringLiteral("SHIPPER")},
      {QStringLiteral("Lading"), 30, QStringLiteral("LADING")},
      {QStringLiteral("Empty"), 5, QStringLiteral("EMPTY")},
      {QStringLiteral("VIARoute"), 30, QStringLiteral("VIAROUTE")},
      {QStringLiteral("Carinst"), 10, QStringLiteral("CARINST")},
      {QStringLiteral("Rec_Loc"), 30, QStringLiteral("Rec_Loc")},
      {QStringLiteral("Shp_loc"), 30, QStringLiteral("Shp_loc")},
      {QStringLiteral("PrintWaybill"), 5, QStringLiteral("PrintWaybill")},
  };
  return columns;
}

const controls::ColumnList& industryPickColumns() {
  static const controls::ColumnList columns = {{QStringLiteral("LOCATION"), 30, QStringLiteral("Industry")}};
  return columns;
}

const controls::ColumnList& ladingPickColumns() {
  static const controls::ColumnList columns = {{QStringLiteral("LADING"), 30, QStringLiteral("Lading")}};
  return columns;
}

}  // namespace rf::operations

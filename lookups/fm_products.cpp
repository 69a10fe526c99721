#include "lookups/fm_products.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmProducts");
  s.caption = QStringLiteral("Products");
  s.table = QStringLiteral("tbProducts");
  s.source = QStringLiteral("dsProducts");
  s.grid = {{QStringLiteral("LADING"), 30, QStringLiteral("Lading")},
            {QStringLiteral("CARTYPE"), 10, QStringLiteral("Car Type")},
            {QStringLiteral("COMMENTS"), 10, QStringLiteral("Comments")}};
  return s;
}

}  // namespace

TfmProducts::TfmProducts(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

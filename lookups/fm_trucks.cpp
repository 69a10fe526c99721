#include "lookups/fm_trucks.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmTrucks");
  s.caption = QStringLiteral("Truck Code Lookup Table");
  s.table = QStringLiteral("tbTrucks");
  s.source = QStringLiteral("dsTrucks");
  s.grid = {{QStringLiteral("I_TRUCKS"), 10, QStringLiteral("Truck Code")},
            {QStringLiteral("I_TRKDESC"), 30, QStringLiteral("Description")}};
  s.recordView = {{QStringLiteral("I_TRUCKS"), 10, QStringLiteral("Truck Code")},
                  {QStringLiteral("I_TRKDESC"), 30, QStringLiteral("Description")}};
  return s;
}

}  // namespace

TfmTrucks::TfmTrucks(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

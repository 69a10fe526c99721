#include "lookups/fm_couplers.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmCouplers");
  s.caption = QStringLiteral("Coupler Code Lookup Table");
  s.table = QStringLiteral("tbCouplers");
  s.source = QStringLiteral("dsCouplers");
  s.grid = {{QStringLiteral("I_COUPLER"), 12, QStringLiteral("Coupler")},
            {QStringLiteral("I_COUPDESC"), 35, QStringLiteral("Description")}};
  s.recordView = {{QStringLiteral("I_COUPLER"), 12, QStringLiteral("Coupler")},
                  {QStringLiteral("I_COUPDESC"), 35, QStringLiteral("Description")}};
  return s;
}

}  // namespace

TfmCouplers::TfmCouplers(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

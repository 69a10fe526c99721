#include "lookups/fm_sloc.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmSloc");
  s.caption = QStringLiteral("Storage Location Lookup Table");
  s.table = QStringLiteral("tbSloc");
  s.source = QStringLiteral("dsSloc");
  s.grid = {{QStringLiteral("I_SLOC"), 10, QStringLiteral("Location:")},
            {QStringLiteral("LOCATION"), 40, QStringLiteral("Description:")}};
  return s;
}

}  // namespace

TfmSloc::TfmSloc(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

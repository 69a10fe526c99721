#include "lookups/fm_scale.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmScale");
  s.caption = QStringLiteral("Scale Lookup Table");
  s.table = QStringLiteral("tbScale");
  s.source = QStringLiteral("dsScale");
  s.grid = {{QStringLiteral("I_SCALE"), 4, QStringLiteral("Scale:")},
            {QStringLiteral("SCDESC"), 40, QStringLiteral("Description:")}};
  return s;
}

}  // namespace

TfmScale::TfmScale(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

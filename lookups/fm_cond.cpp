#include "lookups/fm_cond.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmCond");
  s.caption = QStringLiteral("Condition Code Lookup Table");
  s.table = QStringLiteral("tbCond");
  s.source = QStringLiteral("dsCond");
  s.grid = {{QStringLiteral("I_COND"), 12, QStringLiteral("Condition:")},
            {QStringLiteral("CONDESC"), 40, QStringLiteral("Description:")}};
  return s;
}

}  // namespace

TfmCond::TfmCond(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

#include "lookups/fm_abbrev.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmAbbrev");
  s.caption = QStringLiteral("Railroad Abbreviation (REPMK) Lookup Table");
  s.table = QStringLiteral("tbAbbrev");
  s.source = QStringLiteral("dsAbbrev");
  s.grid = {{QStringLiteral("I_REPMK"), 7, QStringLiteral("Repmk")},
            {QStringLiteral("ABDESC"), 52, QStringLiteral("Railroad")}};
  s.recordView = {{QStringLiteral("I_REPMK"), 7, QStringLiteral("Reporting Mark")},
                  {QStringLiteral("ABDESC"), 52, QStringLiteral("Railroad")}};
  return s;
}

}  // namespace

TfmAbbrev::TfmAbbrev(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

#include "lookups/fm_towns.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmTowns");
  s.caption = QStringLiteral("Towns");
  s.table = QStringLiteral("tbTowns");
  s.source = QStringLiteral("dsTowns");
  s.grid = {{QStringLiteral("CITY"), 25, QStringLiteral("City")},
            {QStringLiteral("STATE"), 2, QStringLiteral("State")},
            {QStringLiteral("ABCODE"), 3, QStringLiteral("Location Code")},
            {QStringLiteral("DIVISION"), 15, QStringLiteral("Division")}};
  return s;
}

}  // namespace

TfmTowns::TfmTowns(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

#include "lookups/fm_class.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmClass");
  s.caption = QStringLiteral("Classification Code Lookup Table");
  s.table = QStringLiteral("tbClass");
  s.source = QStringLiteral("dsClass");
  s.grid = {{QStringLiteral("I_CLASS"), 8, QStringLiteral("Class:")},
            {QStringLiteral("CLASSDESC"), 40, QStringLiteral("Description:")},
            {QStringLiteral("CARSTYLE"), 15, QStringLiteral("Car Style:")}};
  return s;
}

}  // namespace

TfmClass::TfmClass(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

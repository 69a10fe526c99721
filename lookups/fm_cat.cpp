#include "lookups/fm_cat.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmCat");
  s.caption = QStringLiteral("Category Code Lookup Table");
  s.table = QStringLiteral("tbInvCat");
  s.source = QStringLiteral("dsInvcat");
  s.grid = {{QStringLiteral("I_CAT"), 8, QStringLiteral("Category:")},
            {QStringLiteral("CATDESC"), 40, QStringLiteral("Description:")}};
  return s;
}

}  // namespace

TfmCat::TfmCat(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

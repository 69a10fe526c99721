#include "lookups/fm_shops.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmShops");
  s.caption = QStringLiteral("Hobby Shops");
  s.table = QStringLiteral("tbShops");
  s.source = QStringLiteral("dsShops");
  s.grid = {{QStringLiteral("R_NAME"), 40, QStringLiteral("Shop Name")},
            {QStringLiteral("R_ADDR1"), 40, QStringLiteral("Address")},
            {QStringLiteral("R_ADDR2"), 40, QStringLiteral("Address")},
            {QStringLiteral("R_CITY"), 30, QStringLiteral("City")},
            {QStringLiteral("R_STATE"), 10, QStringLiteral("State")},
            {QStringLiteral("R_ZIP"), 10, QStringLiteral("Zip")},
            {QStringLiteral("R_COUNTRY"), 20, QStringLiteral("Country")},
            {QStringLiteral("R_PHONE1"), 14, QStringLiteral("Pri Phone")},
            {QStringLiteral("R_PHONE2"), 14, QStringLiteral("Sec Phone")},
            {QStringLiteral("R_FAX"), 14, QStringLiteral("Fax")},
            {QStringLiteral("R_EMAIL"), 50, QStringLiteral("Email")},
            {QStringLiteral("R_OWNER"), 30, QStringLiteral("Owner")},
            {QStringLiteral("R_NMRA"), 1, QStringLiteral("NMRA")},
            {QStringLiteral("R_HOURS"), 56, QStringLiteral("Hours")},
            {QStringLiteral("R_MISC"), 56, QStringLiteral("Misc")}};
  // The same fields; only the first address line's label carries a trailing blank.
  s.recordView = s.grid;
  s.recordView[1].title = QStringLiteral("Address ");
  s.size = QSize(590, 577);
  s.gridHeight = 254;
  s.arrangement = controls::RecordViewPanel::Arrangement::LabelsAbove;
  return s;
}

}  // namespace

TfmShops::TfmShops(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

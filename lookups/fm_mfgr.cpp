#include "lookups/fm_mfgr.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmMfgr");
  s.caption = QStringLiteral("Manufacturer Lookup Table");
  s.table = QStringLiteral("tbMfgr");
  s.source = QStringLiteral("dsMfgr");
  s.grid = {{QStringLiteral("I_MFGR"), 15, QStringLiteral("Manufacturer:")},
            {QStringLiteral("MFNAME"), 40, QStringLiteral("Name:")},
            {QStringLiteral("MFADDR1"), 30, QStringLiteral("Address 1")},
            {QStringLiteral("MFADDR2"), 30, QStringLiteral("Address 2")},
            {QStringLiteral("MFCITY"), 25, QStringLiteral("City:")},
            {QStringLiteral("MFSTATE"), 10, QStringLiteral("State:")},
            {QStringLiteral("MFZIP"), 10, QStringLiteral("Zip:")},
            {QStringLiteral("COUNTRY"), 20, QStringLiteral("Country:")},
            {QStringLiteral("MFPHONE"), 16, QStringLiteral("Phone:")},
            {QStringLiteral("FAX"), 16, QStringLiteral("Fax:")},
            {QStringLiteral("EMAIL"), 50, QStringLiteral("Email:")},
            {QStringLiteral("MFWID"), 10, QStringLiteral("Walthers ID:")}};
  return s;
}

}  // namespace

TfmMfgr::TfmMfgr(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {}

}  // namespace rf::lookups

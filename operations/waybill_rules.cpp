#include "operations/waybill_rules.h"

#include <stdexcept>

#include "data/counter.h"

namespace rf::operations {

void tbWaybillNewRecord(dataset::Dataset& waybill, dataset::Dataset& inven, dataset::Dataset& options) {
  if (!inven.isOpen() || inven.isEmpty()) throw std::runtime_error(kNoCarForWaybill.toStdString());
  // The number is used up once the counter is saved, even if the waybill's own save then fails.
  const double number = data::raiseCounter(options, data::kWaybillCounter);
  waybill.field(QStringLiteral("Wayb_No")).setNumber(number);
  waybill.field(QStringLiteral("Asset_no")).setValue(inven.field(QStringLiteral("I_ASSET")).value());
  waybill.field(QStringLiteral("Repmk")).setText(inven.field(QStringLiteral("I_REPMK")).asText());
  waybill.field(QStringLiteral("Repno")).setText(inven.field(QStringLiteral("I_REPNO")).asText());
  waybill.field(QStringLiteral("Empty")).setLogical(false);
  waybill.field(QStringLiteral("PrintWaybill")).setLogical(true);
  waybill.post();
}

void installWaybillRules(dataset::Dataset& waybill, dataset::Dataset& inven, dataset::Dataset& options) {
  waybill.onNewRecord = [&inven, &options](dataset::Dataset& w) { tbWaybillNewRecord(w, inven, options); };
}

QString industryLocation(dataset::Dataset& industry) {
  return industry.field(QStringLiteral("CITY")).asText().trimmed() + QStringLiteral(", ") +
         industry.field(QStringLiteral("STATE")).asText().trimmed();
}

void fillLocation(dataset::Dataset& waybill, const QString& locationField, dataset::Dataset& industry) {
  waybill.field(locationField).setText(industryLocation(industry));
}

}  // namespace rf::operations

#include "inventory/inventory_rules.h"

#include "data/counter.h"

namespace rf::inventory {

void tbInvenNewRecord(dataset::Dataset& inven, dataset::Dataset& options) {
  // The number is used up once the counter is saved, even if the record's own save then fails.
  const double asset = data::raiseCounter(options, data::kAssetCounter);
  inven.field(QStringLiteral("I_ASSET")).setNumber(asset);
  for (const char* money : {"I_Gain", "I_Increase", "I_COST", "I_VALUE"})
    inven.field(QString::fromLatin1(money)).setNumber(0);
  inven.post();
}

void tbInvenBeforePost(dataset::Dataset& inven) {
  auto& increase = inven.field(QStringLiteral("I_Increase"));
  auto& cost = inven.field(QStringLiteral("I_COST"));
  increase.setNumber(inven.field(QStringLiteral("I_VALUE")).asNumber() - cost.asNumber());
  const double inc = increase.asNumber();
  const double c = cost.asNumber();
  inven.field(QStringLiteral("I_Gain")).setNumber(inc != 0 && c != 0 ? inc / c * 100 : 0);
}

void installInventoryRules(dataset::Dataset& inven, dataset::Dataset& options) {
  inven.onNewRecord = [&options](dataset::Dataset& d) { tbInvenNewRecord(d, options); };
  inven.beforePost = [](dataset::Dataset& d) { tbInvenBeforePost(d); };
}

}  // namespace rf::inventory

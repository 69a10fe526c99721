#include "data/data_module.h"

#include <stdexcept>

#include "data/table_catalogue.h"
#include "data/table_opener.h"

namespace rf::data {

TdmMain::TdmMain(tables::Engine& engine, QObject* parent) : QObject(parent), engine_(engine) {
  setObjectName(QStringLiteral("dmMain"));
  for (const auto& entry : tableCatalogue()) {
    if (entry.owner != QStringLiteral("dmMain")) continue;
    auto* table = new dataset::Dataset(this);
    table->setObjectName(entry.object);
    tables_.push_back(table);
    auto* source = new dataset::DataSource(table, this);
    source->setObjectName(entry.source);
    sources_.push_back(source);
    openTable(*table, engine_, entry);
  }
}

TdmMain::~TdmMain() {
  // Closing drops what is still being edited; the tables go before the engine they came from.
  for (auto* t : tables_) t->close();
}

dataset::Dataset& TdmMain::table(const QString& object) const {
  for (auto* t : tables_)
    if (t->objectName() == object) return *t;
  throw std::out_of_range("dmMain holds no table " + object.toStdString());
}

dataset::DataSource& TdmMain::source(const QString& object) const {
  for (auto* s : sources_)
    if (s->objectName() == object) return *s;
  throw std::out_of_range("dmMain holds no data source " + object.toStdString());
}

}  // namespace rf::data

#include "data/table_opener.h"

#include "tables/error.h"

namespace rf::data {

namespace {

// The name of the index whose leading key fields are `fields`, in the table's index order.
QString indexOnFields(dataset::Dataset& table, const QStringList& fields) {
  const auto& schema = table.table().schema().fields();
  for (const auto& info : table.table().indexes()) {
    if (!info.usable || info.fields.size() < static_cast<std::size_t>(fields.size())) continue;
    bool match = true;
    for (int i = 0; i < fields.size() && match; ++i) {
      const auto& name = schema[static_cast<std::size_t>(info.fields[static_cast<std::size_t>(i)])].name;
      match = fields[i].compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0;
    }
    if (match) return info.primary && info.name.empty() ? dataset::Dataset::kPrimaryKey : QString::fromStdString(info.name);
  }
  tables::throwError(tables::ErrorKind::NotFound, table.path(),
                     "no index on " + fields.join(", ").toStdString());
}

}  // namespace

tables::OpenRequest openRequestFor(const TableEntry& entry) {
  tables::OpenRequest req;
  req.name = entry.file.toStdString();
  req.format = entry.declaredFormat;
  if (entry.location == Location::DataDirectory) req.alias = kDataAlias.toStdString();
  req.indexFile = entry.indexFile.toStdString();
  return req;
}

void openTable(dataset::Dataset& table, tables::Engine& engine, const TableEntry& entry) {
  const QString index = entry.orderKind == OrderKind::IndexName ? entry.order.value(0) : QString();
  table.open(engine, openRequestFor(entry), index);
  try {
    if (entry.orderKind == OrderKind::KeyFields) table.setIndexName(indexOnFields(table, entry.order));
    for (const auto& setup : entry.fields) {
      auto& f = table.field(setup.name);
      if (!setup.label.isEmpty()) f.setDisplayLabel(setup.label);
      if (setup.displayWidth > 0) f.setDisplayWidth(setup.displayWidth);
      f.setVisible(setup.visible);
    }
  } catch (...) {
    table.close();
    throw;
  }
}

}  // namespace rf::data

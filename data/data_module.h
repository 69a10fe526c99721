#pragma once
// The data module `dmMain`: holds the options table and the thirteen lookup tables for the
// whole run, each with its data source, so every screen and pick list works on one table object
// and one current record. Creating it opens them all; a table that cannot be opened stops the
// creation with the engine's error.

#include <QObject>
#include <memory>
#include <vector>

#include "dataset/data_source.h"
#include "dataset/dataset.h"
#include "tables/engine.h"

namespace rf::data {

class TdmMain : public QObject {
  Q_OBJECT

 public:
  TdmMain(tables::Engine& engine, QObject* parent = nullptr);
  ~TdmMain() override;

  tables::Engine& engine() { return engine_; }

  // By object name ("tbAbbrev", "dsAbbrev"); throws std::out_of_range for another name.
  dataset::Dataset& table(const QString& object) const;
  dataset::DataSource& source(const QString& object) const;
  const std::vector<dataset::Dataset*>& tables() const { return tables_; }

  dataset::Dataset& tbOptions() const { return table(QStringLiteral("tbOptions")); }
  dataset::DataSource& dsOptions() const { return source(QStringLiteral("dsOptions")); }

 private:
  tables::Engine& engine_;
  std::vector<dataset::Dataset*> tables_;  // children of this object, in the catalogue's order
  std::vector<dataset::DataSource*> sources_;
};

}  // namespace rf::data

#pragma once
// Small tables for the dataset tests, created through the engine in a temporary directory.

#include <QString>
#include <string>
#include <vector>

#include "dataset/dataset.h"
#include "tests/support/test_support.h"
#include "tests/support/xbase_builders.h"

namespace rf::test {

inline tables::FieldDef pxField(const std::string& name, tables::FieldType type, char native, int width = 0) {
  tables::FieldDef f;
  f.name = name;
  f.type = type;
  f.native = native;
  f.width = width;
  return f;
}

// A dBASE table of pieces (see piecesDef) holding the given codes and names, in that record order.
struct PiecesTable {
  TempDir dir;
  tables::Engine engine{dir.file("e.conf")};
  std::string path = dir.file("pieces.dbf");

  explicit PiecesTable(std::initializer_list<std::pair<const char*, const char*>> rows = {}) {
    auto t = engine.create(path, piecesDef(tables::Format::Dbase));
    for (const auto& [code, name] : rows) {
      tables::Record r = t->blankRecord();
      t->set(r, "CODE", tables::Value::text(code));
      t->set(r, "NAME", tables::Value::text(name));
      t->insert(r);
    }
  }
  tables::OpenRequest request() const { return {path, {}, {}, {}, false, false}; }

  // What another reader of the file sees, in record order: CODE=NAME per record.
  std::vector<std::string> onDisk() {
    auto t = engine.openPath(path);
    auto c = t->openCursor();
    std::vector<std::string> out;
    for (bool ok = c->first(); ok; ok = c->next())
      out.push_back(t->get(c->record(), "CODE").asText() + "=" + t->get(c->record(), "NAME").asText());
    return out;
  }
};

// The current record's field `name` of every record the dataset walks, first to last.
inline std::vector<std::string> walk(dataset::Dataset& ds, const QString& name) {
  std::vector<std::string> out;
  for (bool ok = ds.first(); ok; ok = ds.next()) out.push_back(ds.field(name).asText().toStdString());
  return out;
}

}  // namespace rf::test

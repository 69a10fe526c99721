// railfolio-db load FILE CSV: appends the rows of a CSV file whose first line names the fields
// (any case, any order, a subset: the other fields stay blank). Every row is converted and
// checked by the engine before the first one is saved, so a typo in the file changes nothing;
// only a save the engine refuses (a duplicate key) can stop the load part way, and the message
// then says how many rows went in.

#include <stdexcept>

#include "tables/error.h"
#include "tables/file_names.h"
#include "tools/railfolio_db/cell_parse.h"
#include "tools/railfolio_db/commands.h"
#include "tools/railfolio_db/csv_reader.h"
#include "tools/railfolio_db/input_files.h"

namespace rf::tool {

namespace {

std::vector<int> mapHeader(const std::vector<std::string>& header, const tables::Schema& schema,
                           const std::string& csvName, const std::string& tablePath) {
  std::vector<int> columns;
  for (const auto& name : header) {
    int f = schema.find(name);
    if (f < 0) throw UsageError(csvName + ":1: " + tablePath + " has no field '" + name + "'");
    if (schema[static_cast<std::size_t>(f)].type == tables::FieldType::NullFlags)
      throw UsageError(csvName + ":1: the field " + name + " is kept by the engine");
    for (int seen : columns)
      if (seen == f) throw UsageError(csvName + ":1: the field " + name + " is named twice");
    columns.push_back(f);
  }
  return columns;
}

// xBase tables are loaded without a sync per row (the journal still makes each row
// all-or-nothing); everything is synced when the table is closed, before the tool says it is done.
std::unique_ptr<tables::Table> openForLoad(tables::Engine& engine, const std::string& path) {
  if (!tables::equalsNoCase(tables::extensionOf(path), ".dbf")) return engine.openPath(path);
  tables::OpenOptions options;
  options.bulkLoad = true;
  return tables::openXbaseTable(engine.fileSystem(), path, tables::Format::Dbase, options);
}

}  // namespace

int runLoad(ToolContext& ctx, const Args& args) {
  requirePositional(args, 2, "railfolio-db load FILE CSV");
  const std::string& path = args[0];
  const std::string& csvName = args[1];
  requireExistingFile(path);
  CsvReader csv(readWholeFile(csvName), csvName);

  auto table = openForLoad(ctx.engine, path);
  const tables::Schema& schema = table->schema();
  std::vector<std::string> cells;
  if (!csv.next(cells)) throw UsageError(csvName + ": empty, the first line must name the fields");
  const std::vector<int> columns = mapHeader(cells, schema, csvName, path);

  struct Row {
    tables::Record record;
    std::size_t line;
  };
  std::vector<Row> rows;
  while (csv.next(cells)) {
    const std::string where = csvName + ":" + std::to_string(csv.rowLine());
    if (cells.size() != columns.size())
      throw UsageError(where + ": " + std::to_string(cells.size()) + " fields where the header has " +
                       std::to_string(columns.size()));
    tables::Record rec = table->blankRecord();
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const tables::FieldDef& field = schema[static_cast<std::size_t>(columns[c])];
      try {
        tables::Value v = parseCell(cells[c], field);
        if (!v.isBlank()) table->set(rec, columns[c], v);
      } catch (const std::invalid_argument& e) {
        throw UsageError(where + ": field " + field.name + ": " + e.what());
      } catch (const tables::TableError& e) {
        throw UsageError(where + ": field " + field.name + ": " + e.what());
      }
    }
    rows.push_back({std::move(rec), csv.rowLine()});
  }

  std::size_t done = 0;
  for (auto& row : rows) {
    try {
      table->insert(row.record);
    } catch (const tables::TableError& e) {
      throw UsageError(csvName + ":" + std::to_string(row.line) + ": " + e.what() + " (" +
                       std::to_string(done) + " of " + std::to_string(rows.size()) +
                       " rows were appended before it)");
    }
    ++done;
  }
  table.reset();
  ctx.out << path << ": " << done << (done == 1 ? " record" : " records") << " appended\n";
  return kExitOk;
}

}  // namespace rf::tool

// railfolio-db dump FILE [--index NAME]: the live records as CSV, read-only.

#include "tools/railfolio_db/cell_format.h"
#include "tools/railfolio_db/commands.h"
#include "tools/railfolio_db/csv_writer.h"
#include "tools/railfolio_db/input_files.h"

namespace rf::tool {

int runDump(ToolContext& ctx, const Args& arguments) {
  Args args = arguments;
  const std::string index = takeOption(args, "index");
  requirePositional(args, 1, "railfolio-db dump FILE [--index NAME]");
  requireExistingFile(args[0]);
  auto table = ctx.engine.openPath(args[0], std::nullopt, /*readOnly=*/true);
  const tables::Schema& schema = table->schema();

  // The hidden _NullFlags field of Visual FoxPro is bookkeeping, not data: its bits come out
  // as blank cells of the fields they mark.
  std::vector<int> columns;
  std::vector<std::string> cells;
  for (std::size_t i = 0; i < schema.size(); ++i) {
    if (schema[i].type == tables::FieldType::NullFlags) continue;
    columns.push_back(static_cast<int>(i));
    cells.push_back(schema[i].name);
  }
  CsvWriter csv(ctx.out);
  auto cursor = table->openCursor(index);
  csv.writeRow(cells);
  for (bool on = cursor->first(); on; on = cursor->next()) {
    const tables::Record& rec = cursor->record();
    for (std::size_t c = 0; c < columns.size(); ++c)
      cells[c] = formatCell(table->get(rec, columns[c]), schema[columns[c]]);
    csv.writeRow(cells);
  }
  return kExitOk;
}

}  // namespace rf::tool

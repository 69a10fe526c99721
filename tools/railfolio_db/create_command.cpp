// railfolio-db create FILE DEFINITION: a new, empty table from a definition file (the format is
// described in table_definition.h and in --help).

#include "tables/file_names.h"
#include "tools/railfolio_db/commands.h"
#include "tools/railfolio_db/field_types.h"
#include "tools/railfolio_db/input_files.h"
#include "tools/railfolio_db/table_definition.h"

namespace rf::tool {

int runCreate(ToolContext& ctx, const Args& args) {
  requirePositional(args, 2, "railfolio-db create FILE DEFINITION");
  const std::string& path = args[0];
  const tables::TableDef def = parseTableDefinition(readWholeFile(args[1]), args[1], path);
  // The engine finds tables by extension; a table it could not open again is no use.
  const bool paradox = def.format == tables::Format::Paradox;
  if (!tables::equalsNoCase(tables::extensionOf(path), paradox ? ".db" : ".dbf"))
    throw UsageError(path + ": a " + std::string(formatName(def.format)) + " table is named NAME" +
                     (paradox ? ".db" : ".dbf"));
  auto table = ctx.engine.create(path, def);
  ctx.out << table->path() << ": created (" << table->schema().size() << " fields, "
          << table->indexes().size() << " indexes)\n";
  return kExitOk;
}

}  // namespace rf::tool

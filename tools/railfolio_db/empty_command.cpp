// railfolio-db empty FILE: removes every record, memo and index entry; the engine refuses while
// another program has the table open.

#include "tools/railfolio_db/commands.h"
#include "tools/railfolio_db/input_files.h"

namespace rf::tool {

int runEmpty(ToolContext& ctx, const Args& args) {
  requirePositional(args, 1, "railfolio-db empty FILE");
  requireExistingFile(args[0]);
  tables::OpenRequest req;
  req.name = args[0];
  ctx.engine.empty(req);
  ctx.out << args[0] << ": emptied\n";
  return kExitOk;
}

}  // namespace rf::tool

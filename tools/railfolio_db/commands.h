#pragma once
// One function per command; `args` are the words after the command name. Each returns the exit
// code and lets TableError and UsageError through to main(), which reports them.

#include "tools/railfolio_db/command_line.h"
#include "tools/railfolio_db/tool_context.h"

namespace rf::tool {

int runInfo(ToolContext& ctx, const Args& args);
int runDump(ToolContext& ctx, const Args& args);
int runCheck(ToolContext& ctx, const Args& args);
int runEmpty(ToolContext& ctx, const Args& args);
int runAlias(ToolContext& ctx, const Args& args);
int runCreate(ToolContext& ctx, const Args& args);
int runLoad(ToolContext& ctx, const Args& args);

}  // namespace rf::tool

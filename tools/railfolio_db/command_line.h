#pragma once
// Splits the command line into the global options, the command and its arguments.

#include <string>

#include "tools/railfolio_db/tool_context.h"

namespace rf::tool {

struct CommandLine {
  std::string configPath;  // empty: the engine's default
  bool help = false;
  std::string command;
  Args args;
};

// Throws UsageError for an unknown global option or a missing value.
CommandLine parseCommandLine(int argc, char** argv);

// Takes "--NAME VALUE" or "--NAME=VALUE" out of `args` (the last one wins); "" when absent.
// Throws UsageError when the value is missing.
std::string takeOption(Args& args, const std::string& name);
// Throws UsageError unless `args` holds exactly `count` words, none of them an option.
void requirePositional(const Args& args, std::size_t count, const std::string& usage);

}  // namespace rf::tool

#pragma once
// What every command of railfolio-db works with, and the exit codes they share.

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tables/engine.h"

namespace rf::tool {

// 0: done; 1: `check` found a problem; 2: bad arguments, or a file that could not be read or
// written (the message is on standard error).
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;
inline constexpr int kExitError = 2;

using Args = std::vector<std::string>;

struct ToolContext {
  tables::Engine& engine;
  std::ostream& out;
  std::ostream& err;
};

// Bad command-line arguments or input files of the tool itself (a definition, a CSV file):
// reported on standard error with exit code 2, like a refused engine operation.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace rf::tool

#pragma once
// Checks and reads of the files named on the command line, with messages that name them.

#include <string>

namespace rf::tool {

// Throws UsageError unless `path` names an existing regular file (so a table name that is a
// directory or a typo gets a plain message before the engine is asked).
void requireExistingFile(const std::string& path);
// The whole file; throws UsageError when it cannot be read.
std::string readWholeFile(const std::string& path);

}  // namespace rf::tool

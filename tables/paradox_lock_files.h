#pragma once
// The classic Paradox engine's own lock files in a table directory (PDOXUSRS.NET, PARADOX.LCK,
// PDOXUSRS.LCK). Their contents are not publicly documented, so this engine never creates,
// changes or removes them; it only tells whether they are there and whether a live program
// holds an operating-system lock on one of them.

#include <string>
#include <vector>

#include "tables/file_system.h"

namespace rf::tables {

// Names (not paths) of those lock files present in `dir`, matched regardless of case.
std::vector<std::string> paradoxLockFilesIn(FileSystem& fs, const std::string& dir);

// The first of them that another program holds locked, or "" when none is (a lock file left
// behind by a program that ended holds no lock).
std::string paradoxLockFileInUse(FileSystem& fs, const std::string& dir);

}  // namespace rf::tables

#pragma once
// The text form of a table definition that `create` reads; the delivered table definitions are
// kept in it. One statement a line, '#' starts a comment:
//
//   format dbase|foxpro|paradox         (default: from the table's extension)
//   version N                           decimal or 0x-hex; default: the family's own
//   codepage N                          default 1252
//   primary N                           Paradox: the first N fields are the primary key
//   indexfile NAME                      FoxPro: a separately named .cdx
//   [field] NAME TYPE [WIDTH [DECIMALS]]   TYPE: the format's own letter
//   index NAME KEY [unique] [descending]   KEY: an xBase key expression, or Paradox field
//                                          names joined by commas
//
// Words are separated by blanks; "..." or '...' quotes a word holding blanks (a Paradox field
// name, an expression). The statement words are lower case; a line starting with any other word
// is a field, so a field may be called "Format" or "INDEX" but not "index".

#include <string>
#include <string_view>
#include <vector>

#include "tables/schema.h"

namespace rf::tool {

// Throws UsageError naming `source` and the line. `tablePath` supplies the format when no
// "format" statement gives it.
tables::TableDef parseTableDefinition(std::string_view text, const std::string& source,
                                      const std::string& tablePath);

// Splits a line into words (quotes removed); a '#' outside quotes ends the line. Throws
// std::invalid_argument for an unclosed quote.
std::vector<std::string> splitDefinitionWords(std::string_view line);

}  // namespace rf::tool

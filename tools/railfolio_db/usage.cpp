#include "tools/railfolio_db/usage.h"

namespace rf::tool {

std::string_view usageText() {
  return R"(Usage: railfolio-db [--config PATH] COMMAND [ARGUMENTS]

Looks into, exports, checks and builds dBASE, FoxPro and Paradox tables.

Commands:
  info FILE                 format, version, record count, code page, fields and indexes
  dump FILE [--index NAME]  the live records as CSV on standard output, in record order
                            (Paradox: primary key order) or in the order of index NAME
  check FILE                checks the table, its memo file and every index against each
                            other; prints "ok" or what is wrong and where
  empty FILE                removes every record (needs the table to itself)
  create FILE DEFINITION    makes a new, empty table from a definition file (see below)
  load FILE CSV             appends the rows of a CSV file (first line: field names)
  alias set NAME DIR        defines or redefines a database alias
  alias list                lists the aliases
  help                      this text

Options:
  --config PATH             the engine configuration file holding the aliases (default:
                            $XDG_CONFIG_HOME/railfolio/engine.conf)

info, dump and check open the table read-only.

CSV: RFC 4180 (fields with a comma, quote, CR or LF are quoted, quotes doubled), lines end in
LF. Text without its padding, in UTF-8; numbers in their shortest exact form; dates
YYYY-MM-DD; times HH:MM:SS[.mmm]; timestamps YYYY-MM-DDTHH:MM:SS[.mmm]; logicals T or F;
binary values as lowercase hex; a blank value is an empty cell. load reads the same forms
(also Y/N, true/false and 1/0 for logicals, a space instead of T in timestamps, CRLF lines).

Definition file: one statement a line; '#' starts a comment; words are separated by spaces;
a word may be quoted with "..." or '...' when it holds spaces.
  format dbase|foxpro|paradox    (default: from the file's extension, .db = paradox)
  version N                      file version: xBase version byte or Paradox version id,
                                 decimal or 0x-hex (default: the family's own)
  codepage N                     Windows/DOS code page (default 1252)
  primary N                      Paradox: the first N fields form the primary key
  indexfile NAME                 FoxPro: a separately named .cdx instead of the structural one
  [field] NAME TYPE [WIDTH [DECIMALS]]
                                 one field; TYPE is the format's own type letter
                                 (dBASE: C N F L D M B G I + O @; FoxPro: C N F L D M I B Y T
                                 G P W; Paradox: A D S I $ N L M B F O G T @ + # Y); WIDTH may
                                 be left out for types of fixed size
  index NAME KEY [unique] [descending]
                                 an MDX/CDX tag (KEY: a key expression) or a Paradox
                                 secondary index (KEY: field names joined by commas)

Exit codes: 0 done; 1 check found a problem; 2 bad arguments or a file that could not be
read or written (the reason is on standard error).
)";
}

}  // namespace rf::tool

#pragma once
// Small table definitions shared by the xBase tests.

#include <string>

#include "tables/schema.h"

namespace rf::test {

tables::FieldDef field(const std::string& name, tables::FieldType type, int width = 0, int decimals = 0);

// A table of pieces: CODE C(8), NAME C(20), QTY N(8,2), BOUGHT D, RUNS L, NOTES M, with tags CODE
// (the code), QTY (the number) and NAMEQTY (UPPER(NAME)+STR(QTY,8,2)). Version 0: the family's
// default.
tables::TableDef piecesDef(tables::Format format, int version = 0);

}  // namespace rf::test

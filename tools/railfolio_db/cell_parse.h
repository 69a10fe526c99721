#pragma once
// A CSV cell of `load` as the value of a field: the forms `dump` writes (cell_format.h) and a
// few common others. Range and width checks are left to the engine's Table::set.

#include <string_view>

#include "tables/schema.h"
#include "tables/value.h"

namespace rf::tool {

// An empty cell is blank for every type. Throws std::invalid_argument saying what the cell
// should have looked like.
tables::Value parseCell(std::string_view cell, const tables::FieldDef& field);

tables::Date parseDate(std::string_view text);           // YYYY-MM-DD
std::int64_t parseTimeOfDay(std::string_view text);      // HH:MM[:SS[.fff]] -> ms
tables::Timestamp parseTimestamp(std::string_view text); // date, 'T' or ' ', time
tables::Bytes parseHex(std::string_view text);

}  // namespace rf::tool

#pragma once
// A field value as a CSV cell of `dump` (and the forms `load` reads back, see cell_parse.h).

#include <string>

#include "tables/schema.h"
#include "tables/value.h"

namespace rf::tool {

// Blank of any type -> ""; text fields lose their trailing padding, memo text is kept as is;
// numbers shortest exact; dates YYYY-MM-DD; logicals T/F; times HH:MM:SS[.mmm]; timestamps
// YYYY-MM-DDTHH:MM:SS[.mmm]; bytes lowercase hex.
std::string formatCell(const tables::Value& v, const tables::FieldDef& field);

std::string formatTimeOfDay(std::int64_t msOfDay);
std::string formatTimestamp(const tables::Timestamp& t);
std::string hexBytes(const tables::Bytes& bytes);

}  // namespace rf::tool

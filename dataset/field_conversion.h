#pragma once
// Text typed for a field, turned into the engine's values the way the platform's field objects
// do it (and the other way round for display).

#include <QString>

#include "tables/schema.h"
#include "tables/value.h"

namespace rf::dataset {

// True for the field types that hold a number (the ones whose text must parse as one).
bool isNumericType(tables::FieldType type);

// Parses `text` for a field of `def`'s type. Empty text is a blank value. Throws TableError
// (InvalidInput) with the platform's message, naming the field by `label`, when it does not parse.
tables::Value valueFromText(const QString& text, const tables::FieldDef& def, const QString& label,
                            const std::string& file);

// The text a field shows: "" for blank, numbers in their shortest form, dates as mm/dd/yyyy,
// logicals as "True"/"False".
QString textFromValue(const tables::Value& v);

// Dates typed month/day/year; a two-digit year below 50 is 2000-2049, else 1950-1999.
bool parseDate(const QString& text, tables::Date* out);

}  // namespace rf::dataset

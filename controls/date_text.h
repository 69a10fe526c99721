#pragma once
// Dates as the date boxes show and take them: shown "mm/dd/yyyy"; typed month/day/year with one
// or two digits for month and day, and a year of two digits read as 2000-2049 below 50 and as
// 1950-1999 otherwise (three or four digits are the year itself). The same rule the dataset's
// fields apply to typed dates, so what the box shows is what the field will take.

#include <QDate>
#include <QString>

namespace rf::controls {

// "" for a null date.
QString dateText(const QDate& date);
// Empty (or blank) text gives a null date and true; text that is no date gives false.
bool parseDateText(const QString& text, QDate* out);

}  // namespace rf::controls

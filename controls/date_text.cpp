#include "controls/date_text.h"

#include "dataset/field_conversion.h"

namespace rf::controls {

QString dateText(const QDate& date) {
  if (!date.isValid()) return {};
  return QStringLiteral("%1/%2/%3")
      .arg(date.month(), 2, 10, QLatin1Char('0'))
      .arg(date.day(), 2, 10, QLatin1Char('0'))
      .arg(date.year(), 4, 10, QLatin1Char('0'));
}

bool parseDateText(const QString& text, QDate* out) {
  if (text.trimmed().isEmpty()) {
    *out = QDate();
    return true;
  }
  tables::Date d;
  if (!dataset::parseDate(text, &d)) return false;
  *out = QDate(static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
               static_cast<int>(static_cast<unsigned>(d.day())));
  return out->isValid();
}

}  // namespace rf::controls

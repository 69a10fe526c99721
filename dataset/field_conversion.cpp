#include "dataset/field_conversion.h"

#include <QRegularExpression>
#include <cmath>

#include "tables/error.h"

namespace rf::dataset {

using tables::FieldType;
using tables::Value;

bool isNumericType(FieldType type) {
  switch (type) {
    case FieldType::Number:
    case FieldType::Integer:
    case FieldType::Money:
    case FieldType::AutoIncrement:
    case FieldType::Bcd:
      return true;
    default:
      return false;
  }
}

bool parseDate(const QString& text, tables::Date* out) {
  static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{1,4})\\s*$"));
  auto m = re.match(text);
  if (!m.hasMatch()) return false;
  int month = m.captured(1).toInt();
  int day = m.captured(2).toInt();
  int year = m.captured(3).toInt();
  if (m.captured(3).size() <= 2) year += year < 50 ? 2000 : 1900;
  tables::Date d{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                 std::chrono::day(static_cast<unsigned>(day))};
  if (!d.ok()) return false;
  *out = d;
  return true;
}

namespace {

[[noreturn]] void refuse(const char* what, const QString& text, const QString& label, const std::string& file) {
  QString msg = QStringLiteral("'%1' is not a valid %2 for field '%3'").arg(text, QLatin1String(what), label);
  throw tables::TableError(tables::ErrorKind::InvalidInput, file, msg.toStdString());
}

}  // namespace

Value valueFromText(const QString& text, const tables::FieldDef& def, const QString& label, const std::string& file) {
  QString t = text.trimmed();
  if (isNumericType(def.type)) {
    if (t.isEmpty()) return Value::blank();
    bool ok = false;
    double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d)) refuse("floating point value", text, label, file);
    return Value::number(d);
  }
  switch (def.type) {
    case FieldType::Date: {
      if (t.isEmpty()) return Value::blank();
      tables::Date d;
      if (!parseDate(t, &d)) refuse("date", text, label, file);
      return Value::date(d);
    }
    case FieldType::Logical: {
      if (t.isEmpty()) return Value::blank();
      QString u = t.toUpper();
      if (u == "T" || u == "TRUE" || u == "Y" || u == "YES") return Value::logical(true);
      if (u == "F" || u == "FALSE" || u == "N" || u == "NO") return Value::logical(false);
      refuse("boolean value", text, label, file);
    }
    default:
      // Text and memo keep what was typed, spaces included; the engine cuts it to the width.
      return Value::text(text.toStdString());
  }
}

QString textFromValue(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Blank:
      return {};
    case Value::Kind::Text:
      return QString::fromStdString(v.asText());
    case Value::Kind::Number:
      // Fifteen significant digits, as the platform shows a float field: a worked-out value such
      // as 15.82 - 18.08 reads -2.26, not the -2.2599999999999998 that the double holds.
      return v.asNumber() == 0 ? QStringLiteral("0") : QString::number(v.asNumber(), 'g', 15);  // never "-0"
    case Value::Kind::Logical:
      return v.asLogical() ? QStringLiteral("True") : QStringLiteral("False");
    case Value::Kind::Date: {
      auto d = v.asDate();
      return QStringLiteral("%1/%2/%3")
          .arg(static_cast<unsigned>(d.month()), 2, 10, QLatin1Char('0'))
          .arg(static_cast<unsigned>(d.day()), 2, 10, QLatin1Char('0'))
          .arg(static_cast<int>(d.year()), 4, 10, QLatin1Char('0'));
    }
    case Value::Kind::Time: {
      auto ms = v.asTime().ms;
      return QStringLiteral("%1:%2:%3")
          .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
          .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
          .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
    }
    case Value::Kind::Timestamp: {
      auto ts = v.asTimestamp();
      return textFromValue(Value::date(ts.date)) + QLatin1Char(' ') + textFromValue(Value::time({ts.msOfDay}));
    }
    case Value::Kind::Bytes:
      return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(v.asBytes().data()),
                                            static_cast<qsizetype>(v.asBytes().size())));
  }
  return {};
}

}  // namespace rf::dataset

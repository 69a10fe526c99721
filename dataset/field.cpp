#include "dataset/field.h"

#include "dataset/dataset.h"
#include "dataset/field_conversion.h"

namespace rf::dataset {

using tables::FieldType;
using tables::Value;

namespace {

// Characters a column gives a value of the type: text its width, the rest the platform's
// defaults (numbers 10, whatever the bytes the file gives them).
int defaultDisplayWidth(const tables::FieldDef& def) {
  switch (def.type) {
    case FieldType::Text:
      return def.width;
    case FieldType::Logical:
      return 5;
    case FieldType::Date:
      return 10;
    case FieldType::Time:
      return 8;
    case FieldType::Timestamp:
      return 19;
    default:
      return 10;
  }
}

}  // namespace

Field::Field(Dataset& dataset, int index, const tables::FieldDef& def)
    : dataset_(dataset),
      index_(index),
      def_(def),
      name_(QString::fromStdString(def.name)),
      label_(name_),
      displayWidth_(defaultDisplayWidth(def)) {}

Value Field::value() const { return dataset_.fieldValue(index_); }
bool Field::hasValue() const { return dataset_.fieldHasValue(index_); }

void Field::setValue(const Value& v) { dataset_.setFieldValue(index_, v); }

QString Field::asText() const { return textFromValue(value()); }

void Field::setText(const QString& text) {
  // Checked before parsing so that writing in browse state reports that, not the text.
  dataset_.checkEditing();
  setValue(valueFromText(text, def_, label_, dataset_.path()));
}

double Field::asNumber() const { return value().asNumber(); }

void Field::setNumber(double v) { setValue(Value::number(v)); }

QDate Field::asDate() const {
  Value v = value();
  if (v.isBlank()) return {};
  auto d = v.kind() == Value::Kind::Timestamp ? v.asTimestamp().date : v.asDate();
  return QDate(static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
               static_cast<int>(static_cast<unsigned>(d.day())));
}

void Field::setDate(const QDate& d) {
  if (!d.isValid()) {
    setValue(Value::blank());
    return;
  }
  tables::Date date{std::chrono::year(d.year()), std::chrono::month(static_cast<unsigned>(d.month())),
                    std::chrono::day(static_cast<unsigned>(d.day()))};
  if (def_.type == FieldType::Timestamp)
    setValue(Value::timestamp({date, 0}));
  else
    setValue(Value::date(date));
}

bool Field::asLogical() const { return value().asLogical(); }

void Field::setLogical(bool v) { setValue(Value::logical(v)); }

void Field::setMemo(const QString& text) { setValue(Value::text(text.toStdString())); }

QByteArray Field::asBytes() const {
  Value v = value();
  if (v.kind() == Value::Kind::Text) return QByteArray::fromStdString(v.asText());
  const auto& b = v.asBytes();
  return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

void Field::setBytes(const QByteArray& bytes) {
  tables::Bytes b(bytes.begin(), bytes.end());
  setValue(Value::bytes(std::move(b)));
}

}  // namespace rf::dataset

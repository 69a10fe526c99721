#include "dataset/record_filter.h"

#include <QRegularExpression>
#include <cstring>

#include "dataset/field_conversion.h"
#include "tables/error.h"

namespace rf::dataset {

using tables::FieldType;
using tables::Value;

namespace {

bool isTextual(FieldType t) { return t == FieldType::Text || t == FieldType::Memo; }

// Orders two values of one field: numbers, dates and logicals by value; -1, 0, 1.
int compareValues(const Value& a, const Value& b) {
  if (a.kind() == Value::Kind::Number || b.kind() == Value::Kind::Number) {
    double x = a.asNumber(), y = b.asNumber();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (a.kind() == Value::Kind::Date && b.kind() == Value::Kind::Date)
    return a.asDate() < b.asDate() ? -1 : a.asDate() > b.asDate() ? 1 : 0;
  if (a.kind() == Value::Kind::Timestamp && b.kind() == Value::Kind::Date)
    return a.asTimestamp().date < b.asDate() ? -1 : a.asTimestamp().date > b.asDate() ? 1 : 0;
  if (a.kind() == Value::Kind::Logical && b.kind() == Value::Kind::Logical)
    return static_cast<int>(a.asLogical()) - static_cast<int>(b.asLogical());
  return textFromValue(a).compare(textFromValue(b));
}

}  // namespace

RecordFilter::Term RecordFilter::parseTerm(const QString& word, const tables::FieldDef& def, bool textual,
                                           bool caseSensitive, const std::string& file) {
  Term t;
  QString w = word.trimmed();
  if (w.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0) {
    t.op = Op::IsNull;
    return t;
  }
  if (w.compare(QLatin1String("not null"), Qt::CaseInsensitive) == 0) {
    t.op = Op::NotNull;
    return t;
  }
  static const struct {
    const char* text;
    Op op;
  } ops[] = {{"<>", Op::NotEqual}, {"<=", Op::LessEqual}, {">=", Op::GreaterEqual},
             {"<", Op::Less},      {">", Op::Greater},    {"=", Op::Equal}};
  for (const auto& o : ops) {
    if (w.startsWith(QLatin1String(o.text))) {
      t.op = o.op;
      w = w.mid(static_cast<qsizetype>(std::strlen(o.text))).trimmed();
      break;
    }
  }
  QString label = QString::fromStdString(def.name);
  if (textual) {
    t.text = caseSensitive ? w : w.toCaseFolded();
    t.value = Value::text(w.toStdString());
  } else {
    t.value = valueFromText(w, def, label, file);
    if (t.value.isBlank()) t.op = t.op == Op::NotEqual ? Op::NotNull : Op::IsNull;
  }
  return t;
}

RecordFilter::RecordFilter(const std::vector<FilterCriterion>& criteria, tables::Table& table) {
  static const QRegularExpression orWord(QStringLiteral("\\s+or\\s+"), QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression andWord(QStringLiteral("\\s+and\\s+"), QRegularExpression::CaseInsensitiveOption);
  for (const FilterCriterion& c : criteria) {
    FieldTest test;
    test.field = table.schema().require(c.field.toStdString(), table.path());
    const tables::FieldDef& def = table.schema()[static_cast<std::size_t>(test.field)];
    test.textual = isTextual(def.type);
    test.match = c.match;
    test.caseSensitive = c.caseSensitive;
    if (c.kind == FilterCriterion::Kind::Range) {
      std::vector<Term> both;
      if (!c.from.trimmed().isEmpty()) both.push_back(parseTerm(">=" + c.from, def, test.textual, c.caseSensitive, table.path()));
      if (!c.to.trimmed().isEmpty()) both.push_back(parseTerm("<=" + c.to, def, test.textual, c.caseSensitive, table.path()));
      if (both.empty()) continue;  // an open range on both ends holds for everything
      test.anyOf.push_back(std::move(both));
    } else {
      if (c.value.trimmed().isEmpty()) continue;  // no criterion for this field
      for (const QString& alternative : c.value.trimmed().split(orWord)) {
        std::vector<Term> all;
        for (const QString& word : alternative.split(andWord))
          all.push_back(parseTerm(word, def, test.textual, c.caseSensitive, table.path()));
        test.anyOf.push_back(std::move(all));
      }
    }
    fields_.push_back(std::move(test));
  }
}

bool RecordFilter::holds(const FieldTest& test, const Term& term, const Value& v) {
  if (term.op == Op::IsNull) return v.isBlank() || (test.textual && v.asText().empty());
  if (term.op == Op::NotNull) return !(v.isBlank() || (test.textual && v.asText().empty()));
  if (test.textual) {
    // Stored text is padded: trailing spaces are no part of the value.
    QString s = QString::fromStdString(v.isBlank() ? std::string() : v.asText());
    while (s.endsWith(QLatin1Char(' '))) s.chop(1);
    if (!test.caseSensitive) s = s.toCaseFolded();
    if (term.op == Op::Equal || term.op == Op::NotEqual) {
      bool eq = test.match == FilterCriterion::Match::Exact      ? s == term.text
                : test.match == FilterCriterion::Match::Anywhere ? s.contains(term.text)
                                                                 : s.startsWith(term.text);
      return term.op == Op::Equal ? eq : !eq;
    }
    int cmp = s.compare(term.text);
    // Ranges on text hold for values that start with the upper end too ("A" to "C" takes "Cab").
    if (term.op == Op::LessEqual && test.match != FilterCriterion::Match::Exact && s.startsWith(term.text)) cmp = 0;
    switch (term.op) {
      case Op::Less: return cmp < 0;
      case Op::LessEqual: return cmp <= 0;
      case Op::Greater: return cmp > 0;
      case Op::GreaterEqual: return cmp >= 0;
      default: return false;
    }
  }
  if (v.isBlank()) return term.op == Op::NotEqual;
  int cmp = compareValues(v, term.value);
  switch (term.op) {
    case Op::Equal: return cmp == 0;
    case Op::NotEqual: return cmp != 0;
    case Op::Less: return cmp < 0;
    case Op::LessEqual: return cmp <= 0;
    case Op::Greater: return cmp > 0;
    case Op::GreaterEqual: return cmp >= 0;
    default: return false;
  }
}

bool RecordFilter::matches(tables::Table& table, const tables::Record& r) const {
  for (const FieldTest& test : fields_) {
    Value v = table.get(r, test.field);
    bool any = false;
    for (const auto& all : test.anyOf) {
      bool every = true;
      for (const Term& term : all)
        if (!holds(test, term, v)) {
          every = false;
          break;
        }
      if (every) {
        any = true;
        break;
      }
    }
    if (!any) return false;
  }
  return true;
}

}  // namespace rf::dataset

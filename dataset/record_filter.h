#pragma once
// A record filter built from per-field criteria, as the filter dialog sets them: a typed value
// ("smart" criterion, in which the words "or" and "and" combine conditions and "null" stands
// for an empty field) or a range. All criteria must hold.

#include <QString>
#include <vector>

#include "tables/table.h"

namespace rf::dataset {

struct FilterCriterion {
  enum class Kind { Value, Range };
  enum class Match { StartsWith, Exact, Anywhere };

  QString field;
  Kind kind = Kind::Value;
  QString value;     // Kind::Value
  QString from, to;  // Kind::Range: either end may be empty (open)
  Match match = Match::StartsWith;
  bool caseSensitive = false;
};

class RecordFilter {
 public:
  RecordFilter() = default;
  // Resolves the fields and parses the values against `table`'s fields; throws TableError
  // (NotFound for an unknown field, the platform's conversion error for a value that does not
  // parse as the field's type).
  RecordFilter(const std::vector<FilterCriterion>& criteria, tables::Table& table);

  bool empty() const { return fields_.empty(); }
  bool matches(tables::Table& table, const tables::Record& r) const;

 private:
  enum class Op { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, IsNull, NotNull };
  struct Term {
    Op op = Op::Equal;
    tables::Value value;
    QString text;  // text fields: the typed text, folded unless case-sensitive
  };
  // Terms joined by "and"; groups joined by "or".
  struct FieldTest {
    int field = -1;
    bool textual = false;
    FilterCriterion::Match match = FilterCriterion::Match::StartsWith;
    bool caseSensitive = false;
    std::vector<std::vector<Term>> anyOf;
  };

  static Term parseTerm(const QString& word, const tables::FieldDef& def, bool textual, bool caseSensitive,
                        const std::string& file);
  static bool holds(const FieldTest& test, const Term& term, const tables::Value& v);

  std::vector<FieldTest> fields_;
};

}  // namespace rf::dataset

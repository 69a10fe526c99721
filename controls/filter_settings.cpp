#include "controls/filter_settings.h"

namespace rf::controls {

using dataset::FilterCriterion;

QString describeCriterion(const FilterCriterion& c) {
  if (c.kind == FilterCriterion::Kind::Range) {
    QString text = c.field;
    if (!c.from.isEmpty()) text += QStringLiteral(" from ") + c.from;
    if (!c.to.isEmpty()) text += QStringLiteral(" to ") + c.to;
    return text;
  }
  QString how;
  switch (c.match) {
    case FilterCriterion::Match::StartsWith: how = QStringLiteral("starts with"); break;
    case FilterCriterion::Match::Exact: how = QStringLiteral("is"); break;
    case FilterCriterion::Match::Anywhere: how = QStringLiteral("contains"); break;
  }
  QString text = QStringLiteral("%1 %2 \"%3\"").arg(c.field, how, c.value);
  if (c.caseSensitive) text += QStringLiteral(" (case-sensitive)");
  return text;
}

}  // namespace rf::controls

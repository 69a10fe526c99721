#pragma once
// What a screen gives its filter dialog: the caption, which fields it offers and in which order,
// the field selected when it opens, and the defaults of a new value criterion.

#include <QString>
#include <QStringList>

#include "dataset/record_filter.h"

namespace rf::controls {

struct FilterSettings {
  enum class FieldOrder { ByFieldNumber, ByName };

  QString caption;
  // Names matched regardless of case; names the dataset does not have are left out. Empty:
  // every field.
  QStringList fields;
  FieldOrder order = FieldOrder::ByFieldNumber;
  QString selectedField;
  dataset::FilterCriterion::Match defaultMatch = dataset::FilterCriterion::Match::StartsWith;
  bool caseSensitive = false;
};

// One line of the dialog's summary for a criterion: the field and what it asks for.
QString describeCriterion(const dataset::FilterCriterion& c);

}  // namespace rf::controls

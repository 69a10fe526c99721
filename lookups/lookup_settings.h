#pragma once
// What a lookup screen is made of: which of the data module's tables it binds to, its caption,
// the grid's columns, the record view's own list (or none, to repeat the grid's) and the few
// sizes in which a screen's layout differs from the generic one.

#include <QSize>
#include <QString>

#include "controls/grid_column.h"
#include "controls/record_view_panel.h"

namespace rf::lookups {

struct LookupSettings {
  QString objectName;  // "fmAbbrev"
  QString caption;
  QString table;       // the data module's table object, "tbAbbrev"
  QString source;      // and its data source, "dsAbbrev"
  controls::ColumnList grid;
  // Empty: the record view shows the grid's columns, titles and widths.
  controls::ColumnList recordView;
  QSize size{410, 357};
  // Pixels of the record view under the navigator strip; the grid takes the rest.
  int recordViewHeight = 121;
  // Non-zero: the grid keeps this height at the bottom and the record view takes the rest.
  int gridHeight = 0;
  controls::RecordViewPanel::Arrangement arrangement = controls::RecordViewPanel::Arrangement::OnePerLine;
};

}  // namespace rf::lookups

#pragma once
// One entry of a column list: which field a grid column (or record view line) shows, how many
// characters wide and under which title.

#include <QString>
#include <vector>

namespace rf::controls {

struct GridColumn {
  QString field;
  int width = 0;    // characters; 0: the field's display width
  QString title;    // empty: the field's display label
};

using ColumnList = std::vector<GridColumn>;

}  // namespace rf::controls

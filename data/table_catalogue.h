#pragma once
// Every table the application opens: which object holds it, its file, format, where it is
// opened from, the order it is kept in and the labels its fields carry. The one place that knows
// these facts; the data module and the screens that own tables open theirs from here.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "tables/schema.h"

namespace rf::data {

// The alias through which the data directory is named.
inline const QString kDataAlias = QStringLiteral("rf");

enum class Location { DataDirectory, WorkingDirectory };

enum class OrderKind {
  Natural,    // record order (or the primary key of a keyed Paradox table)
  IndexName,  // an index (tag) asked for by its name
  KeyFields,  // the index whose leading key fields are these, asked for by the fields
};

// A field the table object declares: its label and display width (and whether grids show it).
struct FieldSetup {
  QString name;
  QString label;      // empty: the field's name
  int displayWidth;   // 0: not set (the field's width)
  bool visible = true;
};

struct TableEntry {
  QString object;   // "tbAbbrev"
  QString source;   // its data source, "dsAbbrev"
  QString owner;    // "dmMain", "fmInvenBrw", "fmRpt"
  QString file;     // as the table object names it: "ABBREV.DBF", "industry", "Waybill"
  std::optional<tables::Format> declaredFormat;
  QString indexFile;  // FoxPro: a separately named compound index
  Location location = Location::DataDirectory;
  OrderKind orderKind = OrderKind::Natural;
  QStringList order;  // the index name, or the key fields
  bool openAtStart = true;
  std::vector<FieldSetup> fields;
};

const std::vector<TableEntry>& tableCatalogue();
// Throws std::out_of_range for an object the catalogue doesn't hold (a programming error).
const TableEntry& catalogueEntry(const QString& object);

}  // namespace rf::data

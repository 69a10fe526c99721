#pragma once
// The modal pick list titled "Lookup" over a lookup dataset: a read-only grid of its records with
// the configured columns (or every visible field under its display label), a choice of the
// column to search by, a search box and OK / Cancel. The grid is the lookup dataset's own current
// record, so moving in the list moves the shared lookup table, as the screens expect.
//
// Searching as the user types goes to the first record, in the dataset's order, whose search
// column's text starts with the typed text regardless of case. When the search column is a text
// field that leads the dataset's current index, the search seeks in that index (on the text in
// upper case, the first of its case variants in the index's byte order) and takes the record it
// lands on if it matches; otherwise, or when that record does not match, it walks the records in
// order. Either way it reads through a cursor of its own, so only the found record becomes current.

#include <QDialog>
#include <QString>
#include <optional>

#include "controls/grid_column.h"
#include "dataset/data_source.h"

class QComboBox;
class QDialogButtonBox;
class QLineEdit;

namespace rf::controls {

class DbGrid;

class LookupDialog : public QDialog {
  Q_OBJECT

 public:
  static inline const QString kTitle = QStringLiteral("Lookup");

  // `lookup` must be open; `lookupField` is the field whose value a pick returns. Unknown field
  // names throw the dataset's NotFound.
  LookupDialog(dataset::Dataset* lookup, const QString& lookupField, const ColumnList& columns = {},
               QWidget* parent = nullptr);
  ~LookupDialog() override;

  DbGrid* grid() const { return grid_; }
  QComboBox* searchColumnBox() const { return searchColumn_; }
  QLineEdit* searchBox() const { return search_; }
  QDialogButtonBox* buttons() const { return buttons_; }

  // The column (of the grid's) searched by.
  int searchColumn() const;
  void setSearchColumn(int column);
  // Makes the first record whose search column starts with `text` (any case) current; false,
  // and no move, when there is none.
  bool search(const QString& text);
  // Makes the record whose lookup field holds `value` current (exact text, any case); false,
  // and no move, when there is none.
  bool locate(const QString& value);
  // The lookup field's value of the current record; nothing when the lookup table has none.
  std::optional<QString> pickedValue() const;

 signals:
  // A refusal of the engine while searching; the dataset stays where it was.
  void failed(const QString& message);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Match { Prefix, Equal };
  bool find(int fieldIndex, const QString& text, Match match);
  bool leadsCurrentIndex(int fieldIndex) const;

  dataset::Dataset* lookup_;
  dataset::DataSource source_;
  int lookupField_;
  DbGrid* grid_;
  QComboBox* searchColumn_;
  QLineEdit* search_;
  QDialogButtonBox* buttons_;
};

}  // namespace rf::controls

#pragma once
// The grid the screens show a dataset in: a table view over a DatasetTableModel, bound to a data
// source, keyed as the platform grid is. Tab and Shift+Tab walk the cells row by row; Insert
// starts a new record, and Down (or Tab) past the last row appends one, both through the
// dataset's insert so its new-record rule runs; Ctrl+Delete deletes the current record after
// "Delete record?"; Escape (with no cell being typed into) drops the record's pending change.
// A new record nobody typed into is dropped when the grid moves off it or loses the focus. For
// a record the grid started, what the new-record rule set does not count as typing; a record
// started elsewhere (a navigator) counts as typed into once any field of it was set.
// The grid's current row is the dataset's current record both ways: a move of
// the dataset (a navigator, a lookup) selects its row, a click on a row moves the dataset.
// Refusals end the key's command and are announced by failed(); nothing is thrown back into
// Qt's event loop.

#include <QPointer>
#include <QTableView>
#include <functional>
#include <memory>
#include <vector>

#include "controls/dataset_table_model.h"
#include "controls/grid_column.h"
#include "controls/ok_cancel_question.h"
#include "dataset/data_source.h"

namespace rf::controls {

class DbGrid : public QTableView {
  Q_OBJECT

 public:
  // Asks `question` with OK and Cancel; true for OK.
  using Confirm = std::function<bool(QWidget* parent, const QString& question)>;
  static inline const QString& kDeleteQuestion = controls::kDeleteQuestion;

  explicit DbGrid(QWidget* parent = nullptr);
  ~DbGrid() override;

  // An empty column list shows every visible field under its display label. The columns'
  // fields are looked up when the grid binds to an open dataset (an unknown one throws), or, for
  // a dataset still closed, when it opens.
  void setDataSource(dataset::DataSource* source, ColumnList columns = {});
  dataset::DataSource* dataSource() const { return source_; }
  DatasetTableModel* gridModel() const { return model_.get(); }
  // The Delete question; a message box until replaced (tests answer it themselves).
  void setConfirm(Confirm confirm) { confirm_ = std::move(confirm); }

  // The look of the screens' own grids: titles left-aligned, columns the user can widen, the
  // horizontal scroll bar always there, cell lines drawn.
  void useScreenLook();

  // A read-only grid (a pick list) only moves: no editing in place, no new or deleted records.
  void setReadOnly(bool on);
  bool isReadOnly() const { return readOnly_; }

  // The keyboard's commands, also for the screen's own buttons.
  void insertRecord();  // before the current row, as the Insert key does
  void appendRecord();  // after the last row
  void deleteRecord();  // asks first
  // Shows the rows afresh on the current record: after other writers changed the table, or
  // after one filter was swapped for another. A change of order, a filter set or removed and a
  // detail's master moving the grid notices by itself when the dataset moves.
  void reload();
  // Reads the records before the first row read so far (the rows are a window around the
  // record shown last); returns how many.
  int fetchFront();
  // Pixels a column of `chars` characters takes in this grid's font.
  int columnPixels(int chars) const;

  // What the row indicator at the left shows for a row: the current record, and whether it is
  // being edited or inserted.
  enum class RowMark { None, Current, Edit, Insert };
  RowMark rowMark(int row) const;
  static QString rowMarkText(RowMark mark);

 signals:
  void failed(const QString& message);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  dataset::Dataset* dataset() const;
  // Where the master of a detail stands (empty without one).
  tables::Bookmark masterBookmark() const;
  // A model over the source's dataset with the columns given.
  void bind();
  // Selects the dataset's current record's row, in the column given (or the current one).
  void followDataset(int column = -1);
  void datasetStateChanged(dataset::DatasetState state);
  void fieldChanged(dataset::Field* field);
  // Starts a new record after the last row or before the current one; returns its row or -1.
  int startRecord(bool append);
  bool onLastRow() const;
  bool onUntouchedNewRow() const;
  void dropUntouchedNewRow();

  QPointer<dataset::DataSource> source_;
  std::unique_ptr<DatasetTableModel> model_;
  ColumnList columns_;
  std::vector<QMetaObject::Connection> connections_;
  std::vector<QMetaObject::Connection> sourceConnections_;
  Confirm confirm_;
  dataset::DatasetState lastState_ = dataset::DatasetState::Inactive;
  bool following_ = false;
  bool readOnly_ = false;
  // The order, filtering and master record the rows were read for.
  QString shownOrder_;
  bool shownFiltered_ = false;
  tables::Bookmark shownMaster_;
  // The record being inserted has been typed into since the grid started it; a new row nobody
  // typed into is not followed by another one.
  bool touched_ = false;
};

}  // namespace rf::controls

#pragma once
// A grid's model over a dataset. It keeps only the positions (bookmarks) of the rows fetched so
// far and the values of a few recently shown rows; everything else is read from the table when a
// view asks for it. Finding the rows walks the dataset (its order, filter and range decide what
// a row is) with its signals held, so bound controls do not see the walk (its eof/bof flags are
// put back too); a master's details do follow it. Rows are fetched only while the dataset browses.
//
// Edits go through the dataset as typing would: the row becomes current, the record goes into
// edit state and the pending change is posted when another row is edited or the dataset moves.
// A new row is the dataset's record being inserted; once posted it takes its place in the
// table's order (the model reloads).

#include <QAbstractTableModel>
#include <QCache>
#include <QVariant>
#include <memory>
#include <string>
#include <vector>

#include "controls/grid_column.h"
#include "dataset/dataset.h"

namespace rf::controls {

class DatasetTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // An empty column list shows every visible field under its display label.
  explicit DatasetTableModel(dataset::Dataset* dataset, ColumnList columns = {}, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  // One row at a time: a new record (shown at `row` until it is posted).
  bool insertRows(int row, int count, const QModelIndex& parent = {}) override;
  // Deletes the records of the rows (no question asked: the view asks).
  bool removeRows(int row, int count, const QModelIndex& parent = {}) override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  // The rows are a window of the table around the record that was current at the last reload:
  // records before the first row are fetched when the view scrolls up to it. Returns how many
  // rows were added at the top.
  bool canFetchFront() const;
  int fetchFront(int count = kFetchBatch);

  const ColumnList& columns() const { return columns_; }
  // The field a column shows.
  dataset::Field& fieldOf(int column) const;
  // The row of the dataset's current record; -1 when it has none. A record far outside the rows
  // fetched so far is not walked to: the rows are read afresh around it.
  int currentRow();
  // Makes the row's record the dataset's current one (posting a pending change first).
  bool setCurrentRow(int row);
  // After the dataset's order, filter or range changed, or other writers changed the table: the
  // rows are read afresh around the dataset's current record, so a record deep in a large
  // table shows at once.
  void reload();

  // What a cell of a binary field (a photo) shows when it holds something.
  static inline const QString kPictureMark = QStringLiteral("(picture)");

  static constexpr int kFetchBatch = 64;
  static constexpr int kCachedRows = 256;

 signals:
  // The dataset refused an edit, insert or delete: the engine's (or the conversion's) message.
  void failed(const QString& message);
  // A saved change put its record elsewhere in the order (a key field changed): the rows no
  // longer stand in order and should be read afresh once the current operation is over.
  void orderChanged();

 private:
  using Row = std::vector<tables::Value>;

  void stateChanged(dataset::DatasetState state);
  void fieldChanged(dataset::Field* field);
  void posted();
  // Whether the dataset's neighbours of the shown record `b` differ from its neighbouring rows.
  bool outOfPlace(const tables::Bookmark& b);
  // Rows other than the insert row map onto fetched bookmarks.
  int bookmarkIndex(int row) const;
  bool isCurrent(int row) const;
  static QVariant valueOf(const tables::Value& v, tables::FieldType type, int role);
  tables::Value cellValue(const tables::Record& r, int field) const;
  // The values of a row the dataset does not stand on (null when its record is gone).
  const Row* readRow(int row) const;
  int fetch(int wanted);
  // Up to `count` bookmarks before the first row, nearest first; sets headComplete_ at the start.
  std::vector<tables::Bookmark> collectBefore(int count);
  // Searches the rows, fetching at most `reach` more; -1 when not found.
  int rowOfBookmark(const tables::Bookmark& b, int reach = kFetchBatch * 4);
  bool moveTo(int row);
  void emitRowChanged(int row);

  dataset::Dataset* dataset_;
  ColumnList columns_;
  std::vector<int> fieldIndex_;
  std::vector<tables::Bookmark> rows_;
  bool complete_ = false;
  bool headComplete_ = true;  // the first row is the first record
  bool fetching_ = false;
  mutable std::unique_ptr<tables::Cursor> reader_;
  int insertRow_ = -1;
  int pendingInsertRow_ = -1;
  tables::Bookmark editedBookmark_;
  dataset::DatasetState lastState_;
  mutable QCache<int, Row> cache_;
};

}  // namespace rf::controls

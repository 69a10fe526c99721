#pragma once
// A dataset: one open engine table seen through one cursor, with a current record, a record
// being edited or inserted, field objects and the events the screens hook. Every refusal of the
// engine leaves as the engine's TableError; the dataset then stays in the state it was in, a
// record being edited keeping its changes.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "dataset/field.h"
#include "dataset/record_filter.h"
#include "tables/engine.h"
#include "tables/table.h"

namespace rf::dataset {

enum class DatasetState { Inactive, Browse, Edit, Insert };

class Dataset : public QObject {
  Q_OBJECT

 public:
  // The name that stands for the table's primary (or natural) order.
  static inline const QString kPrimaryKey = QStringLiteral("PrimaryKey");

  explicit Dataset(QObject* parent = nullptr);
  ~Dataset() override;

  // Opens the table and a cursor in the order of `indexName` (empty or "PrimaryKey": primary or
  // record order), on the first record.
  void open(tables::Engine& engine, const tables::OpenRequest& request, const QString& indexName = {});
  // Drops a pending change and closes the table.
  void close();
  bool isOpen() const { return table_ != nullptr; }
  DatasetState state() const { return state_; }
  tables::Table& table();
  std::string path() const;

  // Fields, in the table's order; by name regardless of case (throws NotFound for an unknown one).
  const std::vector<std::unique_ptr<Field>>& fields() const { return fields_; }
  Field& field(const QString& name);
  Field* findField(const QString& name);

  // Navigation. A pending change is posted first. Each returns true when it lands on a record.
  bool first();
  bool last();
  bool next();
  bool prior();
  bool eof() const;
  bool bof() const;
  // No record to show (an empty table, range or a detail whose master has none).
  bool isEmpty() const;

  // Editing.
  void edit();    // on a dataset without records: starts a new record
  void insert();  // starts a new record (fires onNewRecord)
  void post();    // fires beforePost, then saves
  void cancel();
  void remove();  // deletes the current record (or drops the one being inserted)

  // Order.
  QString indexName() const { return indexName_; }
  void setIndexName(const QString& name);
  QStringList indexNames() const;

  // Bookmarks: a bookmark to a record that is gone is dropped quietly (returns false).
  tables::Bookmark bookmark() const;
  bool gotoBookmark(const tables::Bookmark& b);
  // Re-reads the table and the current record after other writers.
  void refresh();
  // Looks up `key` (values for the leading fields of the current index) and makes the record
  // current; returns false and stays put when there is no such record.
  bool findKey(const std::vector<tables::Value>& key);
  bool findKey(const QString& key);

  // Master/detail: this dataset shows the records whose leading fields of its current index
  // equal `masterFields` of the master's current record, following every move of the master.
  void setMaster(Dataset* master, const QStringList& masterFields);
  // Shows every record in index order again; setMaster links again.
  void unlink() { setMaster(nullptr, {}); }
  Dataset* master() const { return master_; }

  // While held, moves tell neither the details nor the bound controls: for walks that read the
  // records and come back (a grid fetching rows), which would otherwise drag every detail along
  // record by record. Released away from the record it was held on, the move is announced then.
  // Holds nest; each hold needs its release. The announcement may throw (a detail refusing to
  // post its pending change): release() lets it reach the caller; a hold left by an exception
  // releases without one, since the walk has failed already.
  void holdMoves();
  void releaseMoves();
  class MoveHold {
   public:
    explicit MoveHold(Dataset& d) : d_(&d) { d_->holdMoves(); }
    ~MoveHold() {
      try {
        release();
      } catch (...) {
      }
    }
    void release() {
      if (Dataset* d = std::exchange(d_, nullptr)) d->releaseMoves();
    }
    MoveHold(const MoveHold&) = delete;
    MoveHold& operator=(const MoveHold&) = delete;

   private:
    Dataset* d_;
  };

  // Record filter: every move and walk sees only the records that pass. Setting one goes to the
  // first record that passes; criteria that give no condition (all empty) remove the filter.
  void setFilter(const std::vector<FilterCriterion>& criteria);
  void clearFilter();
  bool isFiltered() const { return !filter_.empty(); }

  // Hooks the application sets. onNewRecord may set fields and post at once; beforePost may
  // change fields; a throw from either stops the operation and leaves this dataset.
  std::function<void(Dataset&)> onNewRecord;
  std::function<void(Dataset&)> beforePost;

  // Bound controls still holding what the user typed (an edit box before Enter) write it here,
  // just before a post, so before every move that posts too; a throw stops the post and leaves
  // the record in edit with its changes. The handle is for removeRecordUpdater.
  int addRecordUpdater(std::function<void()> update);
  void removeRecordUpdater(int handle);

  // Used by Field.
  tables::Value fieldValue(int index) const;
  bool fieldHasValue(int index) const;
  void setFieldValue(int index, const tables::Value& v);
  void checkEditing() const;

 signals:
  void afterScroll();
  void afterPost();
  void stateChanged(rf::dataset::DatasetState state);
  // One field of the record shown changed (null: the whole record, e.g. after a move).
  void dataChanged(rf::dataset::Field* field);

 private:
  void checkOpen() const;
  void checkBrowse();  // posts a pending change
  void setState(DatasetState s);
  void scrolled();
  bool toEnd(bool forward);
  bool step(bool forward);
  bool accepted() const;
  bool skipForward(bool landed);
  bool skipBackward(bool landed);
  // After the cursor was put somewhere: makes it stand on a record that passes the filter.
  void settle();
  std::vector<int> fieldsOfOrder(const QString& name) const;
  static bool isPrimaryName(const QString& name);
  void applyRange();
  std::vector<tables::Value> masterKey() const;
  void masterMoved();
  bool hasRecord() const;

  std::unique_ptr<tables::Table> table_;
  std::unique_ptr<tables::Cursor> cursor_;
  std::unique_ptr<tables::RecordLock> lock_;
  std::vector<std::unique_ptr<Field>> fields_;
  tables::Record buffer_;
  DatasetState state_ = DatasetState::Inactive;
  QString indexName_;
  std::vector<int> indexFields_;  // leading fields of the current order
  Dataset* master_ = nullptr;
  QStringList masterFields_;
  // Details are told directly, not through signals, so that a refusal while a detail posts
  // reaches the caller of the master's move (and stops it) as an ordinary exception.
  std::vector<Dataset*> details_;
  bool masterEmpty_ = false;  // the master has no record: nothing to show
  int moveHolds_ = 0;
  tables::Bookmark heldAt_;
  bool movedWhileHeld_ = false;
  bool hidden_ = false;       // nothing passes (or the table is empty): no current record
  bool eof_ = false;
  bool bof_ = false;
  RecordFilter filter_;
  std::vector<std::pair<int, std::function<void()>>> updaters_;
  int nextUpdater_ = 0;
};

}  // namespace rf::dataset

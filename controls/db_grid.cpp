#include "controls/db_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleOptionHeader>
#include <QScrollBar>
#include <algorithm>

#include "controls/ok_cancel_question.h"
#include "tables/error.h"

namespace rf::controls {

using dataset::Dataset;
using dataset::DatasetState;
using dataset::DataSource;

namespace {

// Room for the cell's margins and the grid line beside the characters.
constexpr int kColumnPadding = 8;

// The strip left of the rows: instead of row numbers, the platform grid's marker on the
// current row (a triangle; an I-beam while it is edited, a star while it is new).
class RowIndicator : public QHeaderView {
 public:
  explicit RowIndicator(DbGrid* grid) : QHeaderView(Qt::Vertical, grid), grid_(grid) {
    setSectionResizeMode(QHeaderView::Fixed);
    setSectionsClickable(false);
  }
  QSize sizeHint() const override { return {fontMetrics().height() + 6, QHeaderView::sizeHint().height()}; }

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = rect;
    opt.section = logicalIndex;
    opt.textAlignment = Qt::AlignCenter;
    opt.text = DbGrid::rowMarkText(grid_->rowMark(logicalIndex));
    style()->drawControl(QStyle::CE_Header, &opt, painter, this);
  }

 private:
  DbGrid* grid_;
};

}  // namespace

DbGrid::DbGrid(QWidget* parent) : QTableView(parent), confirm_(askOkCancel) {
  setTabKeyNavigation(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setReadOnly(false);
  setVerticalHeader(new RowIndicator(this));
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setSectionsMovable(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // One line a record, as the platform's grids show them: more rows on the screen.
  setWordWrap(false);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

DbGrid::~DbGrid() {
  // The view lets go of the model before the model goes.
  for (auto& c : connections_) disconnect(c);
  for (auto& c : sourceConnections_) disconnect(c);
  setModel(nullptr);
}

Dataset* DbGrid::dataset() const { return source_ ? source_->dataset() : nullptr; }

tables::Bookmark DbGrid::masterBookmark() const {
  Dataset* ds = dataset();
  Dataset* master = ds ? ds->master() : nullptr;
  return master && master->isOpen() ? master->bookmark() : tables::Bookmark();
}

void DbGrid::setReadOnly(bool on) {
  readOnly_ = on;
  // A double-click is the screen's (the browse screen opens its edit screen on it); a cell is
  // edited by typing, F2 or a click on the current cell.
  setEditTriggers(on ? QAbstractItemView::NoEditTriggers
                     : QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
}

DbGrid::RowMark DbGrid::rowMark(int row) const {
  Dataset* ds = dataset();
  if (!model_ || !ds || !ds->isOpen() || row < 0 || row != currentIndex().row()) return RowMark::None;
  if (ds->state() == DatasetState::Insert) return RowMark::Insert;
  if (ds->state() == DatasetState::Edit) return RowMark::Edit;
  return RowMark::Current;
}

QString DbGrid::rowMarkText(RowMark mark) {
  switch (mark) {
    case RowMark::None: return {};
    case RowMark::Current: return QStringLiteral("\u25B6");
    case RowMark::Edit: return QStringLiteral("I");
    case RowMark::Insert: return QStringLiteral("*");
  }
  return {};
}

int DbGrid::columnPixels(int chars) const {
  // A digit's width: dates, numbers and codes in capitals fit the characters they were given,
  // where the average width of running text would cut them off.
  const QFontMetrics fm = fontMetrics();
  return chars * std::max(fm.averageCharWidth(), fm.horizontalAdvance(QLatin1Char('0'))) + kColumnPadding;
}

void DbGrid::setDataSource(DataSource* source, ColumnList columns) {
  if (source != source_) {
    for (auto& c : sourceConnections_) disconnect(c);
    sourceConnections_.clear();
    source_ = source;
    // Another dataset behind the same source: the same columns over it.
    if (source_)
      sourceConnections_.push_back(connect(source_, &DataSource::datasetChanged, this, [this] { bind(); }));
  }
  columns_ = std::move(columns);
  bind();
}

void DbGrid::bind() {
  for (auto& c : connections_) disconnect(c);
  connections_.clear();
  std::unique_ptr<DatasetTableModel> old = std::move(model_);
  Dataset* ds = dataset();
  if (ds && ds->isOpen()) model_ = std::make_unique<DatasetTableModel>(ds, columns_);
  setModel(model_.get());
  old.reset();
  if (!model_) {
    // A dataset still closed: the columns are looked up once it opens.
    if (ds)
      connections_.push_back(connect(ds, &Dataset::stateChanged, this, [this](DatasetState state) {
        if (state != DatasetState::Inactive) bind();
      }));
    return;
  }
  lastState_ = ds->state();
  shownOrder_ = ds->indexName();
  shownFiltered_ = ds->isFiltered();
  shownMaster_ = masterBookmark();
  // The model connected to the dataset in its constructor, so it hears every change first and
  // its rows are up to date when the grid looks for the current one.
  connections_.push_back(connect(model_.get(), &DatasetTableModel::failed, this, &DbGrid::failed));
  // Read afresh once the post's move (a new row, a key, a button) is over, never inside it.
  // Only a browsing dataset has rows to read; an edit begun meanwhile is checked at its post.
  connections_.push_back(connect(
      model_.get(), &DatasetTableModel::orderChanged, this,
      [this] {
        if (Dataset* d = dataset(); d && d->isOpen() && d->state() == DatasetState::Browse) reload();
      },
      Qt::QueuedConnection));
  connections_.push_back(connect(ds, &Dataset::afterScroll, this, [this] { followDataset(); }));
  connections_.push_back(connect(ds, &Dataset::stateChanged, this, &DbGrid::datasetStateChanged));
  connections_.push_back(connect(ds, &Dataset::dataChanged, this, &DbGrid::fieldChanged));
  for (int c = 0; c < model_->columnCount(); ++c)
    horizontalHeader()->resizeSection(c, columnPixels(model_->headerData(c, Qt::Horizontal, Qt::UserRole).toInt()));
  // The rows are a window around the record shown last; scrolling up to its top reads more.
  connections_.push_back(connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (value == verticalScrollBar()->minimum()) fetchFront();
  }));
  followDataset(0);
}

int DbGrid::fetchFront() {
  if (!model_ || !model_->canFetchFront()) return 0;
  const QModelIndex top = indexAt(QPoint(1, 1));
  const int k = model_->fetchFront();
  // The rows shown stay where they were on the screen.
  if (k > 0 && top.isValid()) scrollTo(model_->index(top.row(), top.column()), PositionAtTop);
  return k;
}

void DbGrid::useScreenLook() {
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setShowGrid(true);
}

void DbGrid::reload() {
  if (!model_) return;
  const int column = currentIndex().isValid() ? currentIndex().column() : 0;
  if (Dataset* ds = dataset(); ds && ds->isOpen()) {
    shownOrder_ = ds->indexName();
    shownFiltered_ = ds->isFiltered();
    shownMaster_ = masterBookmark();
  }
  model_->reload();
  followDataset(column);
}

void DbGrid::followDataset(int column) {
  if (!model_) return;
  if (Dataset* ds = dataset(); ds && ds->isOpen() && ds->state() == DatasetState::Browse &&
                               (ds->indexName() != shownOrder_ || ds->isFiltered() != shownFiltered_ ||
                                masterBookmark() != shownMaster_)) {
    // The rows were read in another order, under another filter or for another master record.
    reload();
    return;
  }
  QScopedValueRollback<bool> hold(following_, true);
  int row = -1;
  try {
    row = model_->currentRow();
  } catch (const tables::TableError& e) {
    emit failed(QString::fromStdString(e.what()));
    return;
  }
  if (row < 0) return;
  if (column < 0) column = currentIndex().isValid() ? currentIndex().column() : 0;
  if (column >= model_->columnCount()) column = 0;
  const QModelIndex target = model_->index(row, column);
  if (target != currentIndex()) setCurrentIndex(target);
  scrollTo(target);
}

void DbGrid::datasetStateChanged(DatasetState state) {
  const DatasetState was = lastState_;
  lastState_ = state;
  if (!model_) return;
  // The model forgets a closed dataset's rows for good; an open again needs them back.
  if (was == DatasetState::Inactive && state != DatasetState::Inactive) {
    reload();
    return;
  }
  if (state == DatasetState::Insert) touched_ = false;
  followDataset();
  verticalHeader()->viewport()->update();
}

void DbGrid::fieldChanged(dataset::Field* field) {
  Dataset* ds = dataset();
  if (field && ds && ds->state() == DatasetState::Insert) touched_ = true;
}

void DbGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  verticalHeader()->viewport()->update();
  if (following_ || !model_ || !current.isValid() || current.row() == previous.row()) return;
  int target = current.row();
  if (onUntouchedNewRow() && previous.isValid() && previous.row() == model_->currentRow()) {
    // Moving off a new row nobody typed into drops it, as the platform does, instead of saving
    // an empty record. The rows below it move up by one.
    if (target > previous.row()) --target;
    dropUntouchedNewRow();
    while (model_->rowCount() <= target && model_->canFetchMore({})) model_->fetchMore({});
  }
  // The model posts a pending change before it moves; a refusal keeps the dataset where it was,
  // and so the grid.
  const bool moved = model_->setCurrentRow(target);
  followDataset(moved ? current.column() : previous.column());
}

void DbGrid::dropUntouchedNewRow() {
  if (!onUntouchedNewRow()) return;
  const int column = currentIndex().isValid() ? currentIndex().column() : 0;
  dataset()->cancel();
  followDataset(column);
}

void DbGrid::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  // Into a cell editor, a menu or another window is not leaving the grid.
  QWidget* to = QApplication::focusWidget();
  if ((to && isAncestorOf(to)) || event->reason() == Qt::PopupFocusReason ||
      event->reason() == Qt::ActiveWindowFocusReason)
    return;
  dropUntouchedNewRow();
}

bool DbGrid::onLastRow() const {
  return model_ && currentIndex().isValid() && currentIndex().row() == model_->rowCount() - 1 &&
         !model_->canFetchMore({});
}

bool DbGrid::onUntouchedNewRow() const {
  Dataset* ds = dataset();
  return ds && ds->state() == DatasetState::Insert && !touched_;
}

int DbGrid::startRecord(bool append) {
  Dataset* ds = dataset();
  if (!model_ || readOnly_ || !ds || !ds->isOpen()) return -1;
  const int column = currentIndex().isValid() ? currentIndex().column() : 0;
  int row = 0;
  try {
    // A record being edited or inserted is saved first, as a move would; the rows then reload.
    if (ds->state() != DatasetState::Browse) ds->post();
    if (append) {
      // Every row has to be known before "after the last" means anything.
      while (model_->canFetchMore({})) model_->fetchMore({});
      row = model_->rowCount();
    } else {
      row = std::max(model_->currentRow(), 0);
    }
  } catch (const tables::TableError& e) {
    emit failed(QString::fromStdString(e.what()));
    followDataset(column);
    return -1;
  }
  if (!model_->insertRows(row, 1)) {
    // The new-record rule may have refused it, or stored it at once: either way the grid shows
    // where the dataset stands now.
    followDataset(column);
    return -1;
  }
  touched_ = false;
  followDataset(column);
  return model_->currentRow();
}

void DbGrid::insertRecord() { startRecord(false); }

void DbGrid::appendRecord() { startRecord(true); }

void DbGrid::deleteRecord() {
  Dataset* ds = dataset();
  if (!model_ || readOnly_ || !ds || !ds->isOpen() || (ds->isEmpty() && ds->state() != DatasetState::Insert)) return;
  int row = -1;
  try {
    row = model_->currentRow();
  } catch (const tables::TableError& e) {
    emit failed(QString::fromStdString(e.what()));
    return;
  }
  if (row < 0 || !confirm_(this, kDeleteQuestion)) return;
  const int column = currentIndex().isValid() ? currentIndex().column() : 0;
  model_->removeRows(row, 1);
  followDataset(column);
}

QModelIndex DbGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  if (!model_) return QTableView::moveCursor(action, modifiers);
  if ((action == MoveUp || action == MovePageUp || action == MovePrevious) && currentIndex().isValid() &&
      currentIndex().row() < verticalScrollBar()->pageStep() + 1)
    fetchFront();
  if ((action == MoveHome || action == MoveEnd) && (modifiers & Qt::ControlModifier)) {
    // The first or last record of the table, not of the rows read so far.
    if (Dataset* ds = dataset(); ds && ds->isOpen()) {
      try {
        action == MoveHome ? ds->first() : ds->last();
      } catch (const std::exception& e) {
        emit failed(QString::fromUtf8(e.what()));
      }
      const int row = model_->currentRow();
      if (row >= 0) return model_->index(row, action == MoveHome ? 0 : model_->columnCount() - 1);
    }
  }
  const QModelIndex at = currentIndex();
  const int lastColumn = model_->columnCount() - 1;
  const bool forward = action == MoveNext || action == MoveDown;
  const bool wrapsRow = action == MoveNext && at.isValid() && at.column() >= lastColumn;
  if (forward && at.isValid() && (action == MoveDown || wrapsRow) && at.row() == model_->rowCount() - 1 &&
      model_->canFetchMore({}))
    model_->fetchMore({});
  if (forward && (action == MoveDown || wrapsRow) && onLastRow()) {
    // Past the last row the platform grid appends a record, unless the new row it stands on
    // is still untouched.
    if (readOnly_ || onUntouchedNewRow()) return at;
    startRecord(true);
    // The new record's row, or the stored one's when the new-record rule saved it at once.
    int row = -1;
    try {
      row = model_->currentRow();
    } catch (const tables::TableError& e) {
      emit failed(QString::fromStdString(e.what()));
    }
    if (row < 0 || row == at.row()) return currentIndex();
    return model_->index(row, action == MoveNext ? 0 : at.column());
  }
  if (action == MoveNext && at.isValid()) {
    if (at.column() < lastColumn) return model_->index(at.row(), at.column() + 1);
    return model_->index(at.row() + 1, 0);
  }
  if (action == MovePrevious && at.isValid()) {
    if (at.column() > 0) return model_->index(at.row(), at.column() - 1);
    if (at.row() > 0) return model_->index(at.row() - 1, lastColumn);
    return at;
  }
  return QTableView::moveCursor(action, modifiers);
}

void DbGrid::keyPressEvent(QKeyEvent* event) {
  if (model_ && state() != EditingState) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Insert && mods == Qt::NoModifier) {
      insertRecord();
      event->accept();
      return;
    }
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) && tabKeyNavigation() &&
        !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
      // Tab never leaves the grid; handled here so that the one key makes one move (the base
      // class lets a key it did not move on go on to the focus chain, which would come back).
      const bool back = event->key() == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
      const QModelIndex to = moveCursor(back ? MovePrevious : MoveNext, mods);
      if (to.isValid() && to != currentIndex()) setCurrentIndex(to);
      event->accept();
      return;
    }
    if (event->key() == Qt::Key_Escape && mods == Qt::NoModifier && !readOnly_) {
      // With no cell being typed into, Escape drops the record's pending change.
      Dataset* ds = dataset();
      if (ds && (ds->state() == DatasetState::Edit || ds->state() == DatasetState::Insert)) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        ds->cancel();
        followDataset(column);
        event->accept();
        return;
      }
    }
    if (event->key() == Qt::Key_Delete && mods == Qt::ControlModifier) {
      deleteRecord();
      event->accept();
      return;
    }
  }
  QTableView::keyPressEvent(event);
}

}  // namespace rf::controls

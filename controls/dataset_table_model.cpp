#include "controls/dataset_table_model.h"

#include <QLocale>
#include <QRegularExpression>

#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <algorithm>

#include "dataset/field_conversion.h"
#include "tables/error.h"

namespace rf::controls {

using dataset::Dataset;
using dataset::DatasetState;
using dataset::Field;
using tables::Bookmark;
using tables::FieldType;

namespace {

bool editing(DatasetState s) { return s == DatasetState::Edit || s == DatasetState::Insert; }

bool isNumeric(FieldType t) {
  switch (t) {
    case FieldType::Number:
    case FieldType::Integer:
    case FieldType::Money:
    case FieldType::AutoIncrement:
    case FieldType::Bcd:
      return true;
    default:
      return false;
  }
}

}  // namespace

DatasetTableModel::DatasetTableModel(Dataset* dataset, ColumnList columns, QObject* parent)
    : QAbstractTableModel(parent), dataset_(dataset), columns_(std::move(columns)), lastState_(dataset->state()),
      cache_(kCachedRows) {
  if (columns_.empty()) {
    for (const auto& f : dataset_->fields())
      if (f->visible()) columns_.push_back({f->name(), 0, {}});
  }
  // Unknown field names fail here, where the column list is given, not on the first paint.
  for (const auto& c : columns_) fieldIndex_.push_back(dataset_->field(c.field).index());
  connect(dataset_, &Dataset::stateChanged, this, &DatasetTableModel::stateChanged);
  connect(dataset_, &Dataset::dataChanged, this, &DatasetTableModel::fieldChanged);
  connect(dataset_, &Dataset::afterPost, this, &DatasetTableModel::posted);
}

Field& DatasetTableModel::fieldOf(int column) const {
  return *dataset_->fields()[static_cast<std::size_t>(fieldIndex_[static_cast<std::size_t>(column)])];
}

int DatasetTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(rows_.size()) + (insertRow_ >= 0 ? 1 : 0);
}

int DatasetTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

int DatasetTableModel::bookmarkIndex(int row) const {
  if (insertRow_ >= 0 && row > insertRow_) return row - 1;
  return row;
}

bool DatasetTableModel::isCurrent(int row) const {
  if (row == insertRow_) return dataset_->state() == DatasetState::Insert;
  if (dataset_->state() == DatasetState::Insert) return false;
  return rows_[static_cast<std::size_t>(bookmarkIndex(row))] == dataset_->bookmark();
}

QVariant DatasetTableModel::valueOf(const tables::Value& v, FieldType type, int role) {
  if (role == Qt::EditRole && type == FieldType::Logical) return v.isBlank() ? QVariant() : QVariant(v.asLogical());
  if (type == FieldType::Binary) return v.isBlank() ? QString() : kPictureMark;
  // Money shows in the system's currency format; it is edited as a plain number.
  if (type == FieldType::Money && role == Qt::DisplayRole && !v.isBlank())
    return QLocale::system().toCurrencyString(v.asNumber());
  QString text = dataset::textFromValue(v);
  // A memo shows its first line; the whole text is edited in a memo window, not in a cell.
  if (type == FieldType::Memo) text = text.section(QRegularExpression(QStringLiteral("[\r\n]")), 0, 0);
  return text;
}

tables::Value DatasetTableModel::cellValue(const tables::Record& r, int field) const {
  // A cell holds no more than it shows: a photo of megabytes is only a mark, read from the
  // record without loading the blob.
  auto& table = dataset_->table();
  if (table.schema().fields()[static_cast<std::size_t>(field)].type == FieldType::Binary)
    return table.hasValue(r, field) ? tables::Value::text("") : tables::Value::blank();
  return table.get(r, field);
}

const DatasetTableModel::Row* DatasetTableModel::readRow(int row) const {
  if (const Row* cached = cache_.object(row)) return cached;
  try {
    // A cursor of the model's own: reading a row never moves the dataset, so bound controls,
    // details and the dataset's eof/bof see nothing of it, and a record being edited stays so.
    if (!reader_) reader_ = dataset_->table().openCursor();
    if (!reader_->gotoBookmark(rows_[static_cast<std::size_t>(bookmarkIndex(row))])) return nullptr;
    auto values = std::make_unique<Row>();
    for (int c : fieldIndex_) values->push_back(cellValue(reader_->record(), c));
    cache_.insert(row, values.release());
    return cache_.object(row);
  } catch (const tables::TableError&) {
    // A record another user removed shows empty; reload() brings the grid up to date.
    return nullptr;
  }
}

QVariant DatasetTableModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid) || !dataset_->isOpen()) return {};
  const int column = index.column();
  const Field& field = fieldOf(column);
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::Alignment(isNumeric(field.type()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  if (isCurrent(index.row())) {
    if (field.type() == FieldType::Binary) return field.hasValue() ? kPictureMark : QString();
    return valueOf(field.value(), field.type(), role);
  }
  const Row* values = readRow(index.row());
  if (!values) return {};
  return valueOf((*values)[static_cast<std::size_t>(column)], field.type(), role);
}

QVariant DatasetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
    return QAbstractTableModel::headerData(section, orientation, role);
  const GridColumn& c = columns_[static_cast<std::size_t>(section)];
  // A closed table (being emptied, or one that could not be opened again) has no fields to ask.
  if (!dataset_->isOpen()) return role == Qt::DisplayRole ? QVariant(c.title) : QVariant();
  if (role == Qt::DisplayRole) return c.title.isEmpty() ? fieldOf(section).displayLabel() : c.title;
  if (role == Qt::UserRole) return c.width > 0 ? c.width : fieldOf(section).displayWidth();
  return {};
}

Qt::ItemFlags DatasetTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

int DatasetTableModel::fetch(int wanted) {
  // A view (or a model tester) may ask for more from inside the rows-inserted notification.
  if (fetching_ || complete_ || dataset_->state() != DatasetState::Browse) return 0;
  QScopedValueRollback<bool> busy(fetching_, true);
  std::vector<Bookmark> more;
  const std::size_t have = rows_.size();
  {
    Bookmark home = dataset_->bookmark();
    const bool atEnd = !home.empty() && dataset_->eof();
    const bool atStart = !home.empty() && dataset_->bof();
    // Released before the blocker: a walk that ends elsewhere still takes the details along.
    QSignalBlocker hold(dataset_);
    Dataset::MoveHold still(*dataset_);
    bool landed = rows_.empty() ? dataset_->first() : (dataset_->gotoBookmark(rows_.back()) && dataset_->next());
    while (landed) {
      more.push_back(dataset_->bookmark());
      if (have + more.size() >= static_cast<std::size_t>(wanted)) break;
      landed = dataset_->next();
    }
    if (!landed) complete_ = true;
    if (!home.empty()) {
      // Going back clears the dataset's end flags; a move past the end sets them again.
      dataset_->gotoBookmark(home);
      if (atEnd) dataset_->next();
      if (atStart) dataset_->prior();
    }
    still.release();
  }
  if (more.empty()) return 0;
  const int from = rowCount();
  beginInsertRows({}, from, from + static_cast<int>(more.size()) - 1);
  rows_.insert(rows_.end(), more.begin(), more.end());
  endInsertRows();
  return static_cast<int>(more.size());
}

bool DatasetTableModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !complete_ && dataset_->state() == DatasetState::Browse;
}

void DatasetTableModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid()) return;
  try {
    fetch(static_cast<int>(rows_.size()) + kFetchBatch);
  } catch (const tables::TableError& e) {
    complete_ = true;
    emit failed(QString::fromStdString(e.what()));
  }
}

int DatasetTableModel::rowOfBookmark(const Bookmark& b, int reach) {
  if (b.empty()) return -1;
  const std::size_t limit = rows_.size() + static_cast<std::size_t>(std::max(reach, 0));
  for (std::size_t i = 0;; ++i) {
    if (i == rows_.size() && (i >= limit || fetch(static_cast<int>(rows_.size()) + kFetchBatch) == 0)) return -1;
    if (rows_[i] == b) return insertRow_ >= 0 && static_cast<int>(i) >= insertRow_ ? static_cast<int>(i) + 1 : static_cast<int>(i);
  }
}

int DatasetTableModel::currentRow() {
  if (dataset_->state() == DatasetState::Insert) return insertRow_;
  const Bookmark home = dataset_->bookmark();
  int row = rowOfBookmark(home);
  if (row < 0 && !home.empty() && dataset_->state() == DatasetState::Browse && !dataset_->isEmpty()) {
    reload();
    row = rowOfBookmark(home, 0);
  }
  return row;
}

std::vector<Bookmark> DatasetTableModel::collectBefore(int count) {
  std::vector<Bookmark> before;
  if (rows_.empty() || headComplete_ || dataset_->state() != DatasetState::Browse) return before;
  Bookmark home = dataset_->bookmark();
  const bool atEnd = !home.empty() && dataset_->eof();
  const bool atStart = !home.empty() && dataset_->bof();
  {
    QSignalBlocker hold(dataset_);
    Dataset::MoveHold still(*dataset_);
    bool landed = dataset_->gotoBookmark(rows_.front()) && dataset_->prior();
    while (landed) {
      before.push_back(dataset_->bookmark());
      if (static_cast<int>(before.size()) >= count) break;
      landed = dataset_->prior();
    }
    if (!landed) headComplete_ = true;
    if (!home.empty()) {
      dataset_->gotoBookmark(home);
      if (atEnd) dataset_->next();
      if (atStart) dataset_->prior();
    }
    still.release();
  }
  return before;
}

bool DatasetTableModel::canFetchFront() const {
  return !headComplete_ && !fetching_ && dataset_->state() == DatasetState::Browse;
}

int DatasetTableModel::fetchFront(int count) {
  if (!canFetchFront()) return 0;
  QScopedValueRollback<bool> busy(fetching_, true);
  std::vector<Bookmark> before;
  try {
    before = collectBefore(count);
  } catch (const tables::TableError& e) {
    headComplete_ = true;
    emit failed(QString::fromStdString(e.what()));
    return 0;
  }
  if (before.empty()) return 0;
  const int k = static_cast<int>(before.size());
  beginInsertRows({}, 0, k - 1);
  rows_.insert(rows_.begin(), before.rbegin(), before.rend());
  if (insertRow_ >= 0) insertRow_ += k;
  cache_.clear();
  endInsertRows();
  return k;
}

bool DatasetTableModel::moveTo(int row) {
  if (row == insertRow_) return dataset_->state() == DatasetState::Insert;
  Bookmark target = rows_[static_cast<std::size_t>(bookmarkIndex(row))];
  // Posting a new record reloads the rows, so the target goes by its bookmark, not its row.
  if (dataset_->state() == DatasetState::Insert) dataset_->post();
  return dataset_->gotoBookmark(target);
}

bool DatasetTableModel::setCurrentRow(int row) {
  if (row < 0 || row >= rowCount()) return false;
  try {
    return isCurrent(row) || moveTo(row);
  } catch (const tables::TableError& e) {
    emit failed(QString::fromStdString(e.what()));
    return false;
  }
}

bool DatasetTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return false;
  try {
    if (!isCurrent(index.row()) && !moveTo(index.row())) return false;
    Field& field = fieldOf(index.column());
    dataset_->edit();
    if (field.type() == FieldType::Logical && value.typeId() == QMetaType::Bool)
      field.setLogical(value.toBool());
    else
      field.setText(value.toString());
    return true;
  } catch (const tables::TableError& e) {
    emit failed(QString::fromStdString(e.what()));
    return false;
  }
}

bool DatasetTableModel::insertRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || count != 1 || row < 0 || row > rowCount() || insertRow_ >= 0) return false;
  try {
    // The dataset's state change adds the row; remember where it was asked for.
    pendingInsertRow_ = row;
    dataset_->insert();
    pendingInsertRow_ = -1;
    return dataset_->state() == DatasetState::Insert;
  } catch (const tables::TableError& e) {
    pendingInsertRow_ = -1;
    emit failed(QString::fromStdString(e.what()));
    return false;
  }
}

bool DatasetTableModel::removeRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || count < 1 || row < 0 || row + count > rowCount()) return false;
  try {
    std::vector<Bookmark> doomed;
    bool dropInsert = false;
    for (int r = row; r < row + count; ++r) {
      if (r == insertRow_)
        dropInsert = true;
      else
        doomed.push_back(rows_[static_cast<std::size_t>(bookmarkIndex(r))]);
    }
    if (dropInsert) dataset_->cancel();
    for (const Bookmark& b : doomed) {
      const int r = rowOfBookmark(b, 0);
      if (!dataset_->gotoBookmark(b)) continue;
      dataset_->remove();
      if (r < 0) continue;
      beginRemoveRows({}, r, r);
      rows_.erase(rows_.begin() + bookmarkIndex(r));
      cache_.clear();
      endRemoveRows();
    }
    return true;
  } catch (const tables::TableError& e) {
    emit failed(QString::fromStdString(e.what()));
    return false;
  }
}

void DatasetTableModel::reload() {
  // Views fetch again from inside the reset notification; they get the rows on their next ask.
  QScopedValueRollback<bool> busy(fetching_, true);
  beginResetModel();
  rows_.clear();
  cache_.clear();
  complete_ = false;
  headComplete_ = true;
  reader_.reset();
  insertRow_ = dataset_->state() == DatasetState::Insert ? 0 : -1;
  if (dataset_->state() == DatasetState::Browse && !dataset_->isEmpty()) {
    // The window starts at the current record, with some of the records before it for context.
    const Bookmark home = dataset_->bookmark();
    if (!home.empty()) {
      rows_.push_back(home);
      headComplete_ = false;
      try {
        auto before = collectBefore(kFetchBatch / 2);
        rows_.insert(rows_.begin(), before.rbegin(), before.rend());
      } catch (const tables::TableError& e) {
        headComplete_ = true;
        rows_.clear();
        emit failed(QString::fromStdString(e.what()));
      }
    }
  }
  endResetModel();
}

void DatasetTableModel::emitRowChanged(int row) {
  if (row >= 0 && row < rowCount()) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DatasetTableModel::stateChanged(DatasetState state) {
  const DatasetState was = lastState_;
  lastState_ = state;
  if (state == DatasetState::Inactive) {
    // The table is gone with the dataset's close; so is anything read from it.
    insertRow_ = -1;
    reload();
    complete_ = true;
    return;
  }
  if (state == DatasetState::Insert) {
    editedBookmark_.clear();
    const int at = pendingInsertRow_ >= 0 ? pendingInsertRow_ : rowCount();
    beginInsertRows({}, at, at);
    insertRow_ = at;
    endInsertRows();
    return;
  }
  if (was == DatasetState::Insert) {
    // Posted or dropped: either way the new record's place in the order is the table's to say.
    insertRow_ = -1;
    reload();
    return;
  }
  if (state == DatasetState::Edit) {
    editedBookmark_ = dataset_->bookmark();
    return;
  }
  if (was == DatasetState::Edit) {
    cache_.clear();
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  }
}

void DatasetTableModel::posted() {
  if (editedBookmark_.empty()) return;
  // A keyed Paradox record's bookmark is its key: a changed key gives the row a new one. The
  // row keeps its place until reload(), though the order may now put it elsewhere.
  const Bookmark now = dataset_->bookmark();
  if (!now.empty() && now != editedBookmark_) {
    auto it = std::find(rows_.begin(), rows_.end(), editedBookmark_);
    if (it != rows_.end() && std::find(rows_.begin(), rows_.end(), now) == rows_.end()) {
      *it = now;
      cache_.clear();
      const int i = static_cast<int>(it - rows_.begin());
      emitRowChanged(insertRow_ >= 0 && i >= insertRow_ ? i + 1 : i);
    }
  }
  editedBookmark_.clear();
  if (!now.empty() && outOfPlace(now)) emit orderChanged();
}

bool DatasetTableModel::outOfPlace(const Bookmark& b) {
  auto it = std::find(rows_.begin(), rows_.end(), b);
  if (it == rows_.end() || dataset_->state() != DatasetState::Browse) return false;
  const auto i = static_cast<std::size_t>(it - rows_.begin());
  // What the rows say stands before and after the record; unknown past an edge not yet read.
  std::optional<Bookmark> before, after;
  if (i > 0) before = rows_[i - 1];
  else if (headComplete_) before = Bookmark();
  if (i + 1 < rows_.size()) after = rows_[i + 1];
  else if (complete_) after = Bookmark();

  const bool atEnd = dataset_->eof();
  const bool atStart = dataset_->bof();
  bool moved = false;
  try {
    QSignalBlocker hold(dataset_);
    Dataset::MoveHold still(*dataset_);
    if (before) moved = (dataset_->prior() ? dataset_->bookmark() : Bookmark()) != *before;
    if (!moved && after) {
      dataset_->gotoBookmark(b);
      moved = (dataset_->next() ? dataset_->bookmark() : Bookmark()) != *after;
    }
    dataset_->gotoBookmark(b);
    if (atEnd) dataset_->next();
    if (atStart) dataset_->prior();
    still.release();
  } catch (const tables::TableError&) {
    // A table that can't be read now can't be shown in its new order either; the rows stay.
    return false;
  }
  return moved;
}

void DatasetTableModel::fieldChanged(Field*) {
  if (!editing(dataset_->state())) return;
  if (dataset_->state() == DatasetState::Insert) {
    emitRowChanged(insertRow_);
    return;
  }
  const Bookmark b = dataset_->bookmark();
  auto it = std::find(rows_.begin(), rows_.end(), b);
  if (it == rows_.end()) return;
  const int i = static_cast<int>(it - rows_.begin());
  emitRowChanged(insertRow_ >= 0 && i >= insertRow_ ? i + 1 : i);
}

}  // namespace rf::controls

#include "dataset/dataset.h"

#include <algorithm>

#include "dataset/field_conversion.h"
#include "tables/error.h"

namespace rf::dataset {

using tables::Bookmark;
using tables::ErrorKind;
using tables::TableError;
using tables::Value;

Dataset::Dataset(QObject* parent) : QObject(parent) {}

Dataset::~Dataset() {
  if (master_) std::erase(master_->details_, this);
  for (Dataset* d : details_) {
    d->master_ = nullptr;
    d->masterEmpty_ = false;
  }
}

void Dataset::checkOpen() const {
  if (!table_) throw TableError(ErrorKind::InvalidInput, {}, "Cannot perform this operation on a closed dataset");
}

void Dataset::checkEditing() const {
  checkOpen();
  if (state_ != DatasetState::Edit && state_ != DatasetState::Insert)
    tables::throwError(ErrorKind::InvalidInput, path(), "Dataset not in edit or insert mode");
}

void Dataset::checkBrowse() {
  checkOpen();
  for (Dataset* d : details_)
    if (d->isOpen()) d->checkBrowse();
  if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) post();
}

tables::Table& Dataset::table() {
  checkOpen();
  return *table_;
}

std::string Dataset::path() const { return table_ ? table_->path() : std::string(); }

void Dataset::setState(DatasetState s) {
  if (s == state_) return;
  state_ = s;
  emit stateChanged(s);
}

bool Dataset::isPrimaryName(const QString& name) {
  return name.isEmpty() || name.compare(kPrimaryKey, Qt::CaseInsensitive) == 0;
}

std::vector<int> Dataset::fieldsOfOrder(const QString& name) const {
  std::string n = name.toStdString();
  for (const auto& info : table_->indexes()) {
    bool match = isPrimaryName(name) ? info.primary : tables::equalsNoCase(info.name, n);
    if (match) return info.fields;
  }
  return {};
}

void Dataset::open(tables::Engine& engine, const tables::OpenRequest& request, const QString& indexName) {
  close();
  auto table = engine.open(request);
  std::string index = isPrimaryName(indexName) ? std::string() : indexName.toStdString();
  auto cursor = table->openCursor(index);
  table_ = std::move(table);
  cursor_ = std::move(cursor);
  indexName_ = isPrimaryName(indexName) ? QString() : indexName;
  indexFields_ = fieldsOfOrder(indexName_);
  const auto& defs = table_->schema().fields();
  for (std::size_t i = 0; i < defs.size(); ++i)
    fields_.push_back(std::make_unique<Field>(*this, static_cast<int>(i), defs[i]));
  applyRange();
  settle();
  bof_ = true;  // an open table stands on its first record
  setState(DatasetState::Browse);
  scrolled();
}

void Dataset::close() {
  if (!table_) return;
  lock_.reset();
  buffer_ = {};
  cursor_.reset();
  table_.reset();
  fields_.clear();
  indexFields_.clear();
  masterEmpty_ = false;
  hidden_ = false;
  filter_ = {};
  setState(DatasetState::Inactive);
  for (Dataset* d : details_)
    if (d->isOpen()) d->masterMoved();
}

Field* Dataset::findField(const QString& name) {
  std::string n = name.toStdString();
  for (auto& f : fields_)
    if (tables::equalsNoCase(f->def().name, n)) return f.get();
  return nullptr;
}

Field& Dataset::field(const QString& name) {
  checkOpen();
  Field* f = findField(name);
  if (!f) tables::throwError(ErrorKind::NotFound, path(), "Field '" + name.toStdString() + "' not found");
  return *f;
}

bool Dataset::hasRecord() const { return cursor_ && !masterEmpty_ && !hidden_ && cursor_->valid(); }

bool Dataset::isEmpty() const { return !hasRecord(); }

bool Dataset::eof() const { return !hasRecord() || eof_; }

bool Dataset::bof() const { return !hasRecord() || bof_; }

bool Dataset::accepted() const {
  return cursor_->valid() && (filter_.empty() || filter_.matches(*table_, cursor_->record()));
}

bool Dataset::skipForward(bool landed) {
  while (landed && !accepted()) landed = cursor_->next();
  return landed;
}

bool Dataset::skipBackward(bool landed) {
  while (landed && !accepted()) landed = cursor_->prior();
  return landed;
}

void Dataset::settle() {
  eof_ = bof_ = false;
  hidden_ = false;
  if (masterEmpty_) return;
  if (!cursor_->valid()) {
    hidden_ = true;
    return;
  }
  if (accepted()) return;
  // The record the cursor stands on is filtered out: the next one that passes, else the prior.
  if (skipForward(cursor_->next())) return;
  if (skipBackward(cursor_->valid())) return;
  hidden_ = true;
}

void Dataset::scrolled() {
  if (moveHolds_ > 0) {
    movedWhileHeld_ = true;
    return;
  }
  for (Dataset* d : details_)
    if (d->isOpen()) d->masterMoved();
  emit dataChanged(nullptr);
  emit afterScroll();
}

void Dataset::holdMoves() {
  if (moveHolds_++ == 0) {
    heldAt_ = isOpen() ? bookmark() : tables::Bookmark();
    movedWhileHeld_ = false;
  }
}

void Dataset::releaseMoves() {
  if (moveHolds_ == 0 || --moveHolds_ > 0) return;
  const bool moved = movedWhileHeld_;
  movedWhileHeld_ = false;
  if (moved && isOpen() && bookmark() != heldAt_) scrolled();
}

bool Dataset::toEnd(bool forward) {
  checkBrowse();
  if (masterEmpty_) return false;
  bool landed = forward ? skipForward(cursor_->first()) : skipBackward(cursor_->last());
  hidden_ = !landed;
  // On the first record after first() there is nothing before it, and on the last after last()
  // nothing after it: the navigator greys the moves that would find nothing.
  bof_ = forward || !landed;
  eof_ = !forward || !landed;
  scrolled();
  return landed;
}

bool Dataset::step(bool forward) {
  checkBrowse();
  if (!hasRecord()) return false;
  Bookmark from = cursor_->bookmark();
  bool landed = forward ? skipForward(cursor_->next()) : skipBackward(cursor_->prior());
  if (landed) {
    eof_ = bof_ = false;
  } else {
    // Past the end the engine stays on its last record, which the filter may have skipped.
    if (!filter_.empty()) cursor_->gotoBookmark(from);
    (forward ? eof_ : bof_) = true;
  }
  scrolled();
  return landed;
}

bool Dataset::first() { return toEnd(true); }
bool Dataset::last() { return toEnd(false); }
bool Dataset::next() { return step(true); }
bool Dataset::prior() { return step(false); }

Value Dataset::fieldValue(int index) const {
  if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) return table_->get(buffer_, index);
  if (hasRecord()) return table_->get(cursor_->record(), index);
  return Value::blank();
}

bool Dataset::fieldHasValue(int index) const {
  if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) return table_->hasValue(buffer_, index);
  if (hasRecord()) return table_->hasValue(cursor_->record(), index);
  return false;
}

void Dataset::setFieldValue(int index, const Value& v) {
  checkEditing();
  table_->set(buffer_, index, v);
  emit dataChanged(fields_[static_cast<std::size_t>(index)].get());
}

void Dataset::edit() {
  checkOpen();
  if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) return;
  if (!hasRecord()) {
    insert();
    return;
  }
  Bookmark b = cursor_->bookmark();
  auto lock = table_->lockRecord(b);
  // Another program may have changed the record since it was read: edit what is there now.
  cursor_->refresh();
  if (!cursor_->valid() || cursor_->bookmark() != b) {
    settle();
    scrolled();
    tables::throwError(ErrorKind::NotFound, path(), "Record/Key deleted");
  }
  lock_ = std::move(lock);
  buffer_ = cursor_->record();
  setState(DatasetState::Edit);
  emit dataChanged(nullptr);
}

void Dataset::insert() {
  checkBrowse();
  tables::Record r = table_->blankRecord();
  // A detail's new record belongs to the master's current record.
  if (master_ && !masterEmpty_) {
    auto key = masterKey();
    for (std::size_t i = 0; i < key.size() && i < indexFields_.size(); ++i) table_->set(r, indexFields_[i], key[i]);
  }
  buffer_ = std::move(r);
  setState(DatasetState::Insert);
  emit dataChanged(nullptr);
  if (onNewRecord) {
    try {
      onNewRecord(*this);
    } catch (...) {
      // As the platform does: a failing new-record event drops the new record.
      cancel();
      throw;
    }
  }
}

void Dataset::post() {
  checkOpen();
  if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
  // A copy: an updater may add or remove updaters while it writes.
  auto updaters = updaters_;
  for (const auto& u : updaters) u.second();
  if (beforePost) beforePost(*this);
  Bookmark b = state_ == DatasetState::Insert ? table_->insert(buffer_) : table_->update(buffer_);
  lock_.reset();
  buffer_ = {};
  setState(DatasetState::Browse);
  // The saved record may lie outside a detail's range; the cursor then stays where it was.
  if (!masterEmpty_) {
    if (cursor_->gotoBookmark(b)) {
      settle();
    } else if (!hasRecord()) {
      cursor_->first();
      settle();
    }
  }
  emit afterPost();
  scrolled();
}

int Dataset::addRecordUpdater(std::function<void()> update) {
  updaters_.emplace_back(++nextUpdater_, std::move(update));
  return nextUpdater_;
}

void Dataset::removeRecordUpdater(int handle) {
  std::erase_if(updaters_, [handle](const auto& u) { return u.first == handle; });
}

void Dataset::cancel() {
  if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
  lock_.reset();
  buffer_ = {};
  setState(DatasetState::Browse);
  emit dataChanged(nullptr);
}

void Dataset::remove() {
  checkOpen();
  if (state_ == DatasetState::Insert) {
    cancel();
    return;
  }
  cancel();
  if (!hasRecord()) tables::throwError(ErrorKind::InvalidInput, path(), "Cannot perform this operation on an empty dataset");
  table_->remove(cursor_->bookmark());
  cursor_->refresh();
  settle();
  scrolled();
}

void Dataset::setIndexName(const QString& name) {
  checkBrowse();
  Bookmark b = bookmark();
  std::string index = isPrimaryName(name) ? std::string() : name.toStdString();
  auto cursor = table_->openCursor(index);
  cursor_ = std::move(cursor);
  indexName_ = isPrimaryName(name) ? QString() : name;
  indexFields_ = fieldsOfOrder(indexName_);
  applyRange();
  if (!masterEmpty_ && (b.empty() || !cursor_->gotoBookmark(b))) cursor_->first();
  settle();
  scrolled();
}

QStringList Dataset::indexNames() const {
  checkOpen();
  QStringList names;
  for (const auto& info : table_->indexes())
    names << (info.primary && info.name.empty() ? kPrimaryKey : QString::fromStdString(info.name));
  return names;
}

Bookmark Dataset::bookmark() const { return hasRecord() ? cursor_->bookmark() : Bookmark(); }

bool Dataset::gotoBookmark(const Bookmark& b) {
  checkBrowse();
  if (masterEmpty_ || b.empty()) return false;
  // A bookmark is kept for a while; another user may have deleted its record since. The engine
  // reads through windows of the file, so it looks again first.
  table_->refresh();
  Bookmark before = bookmark();
  if (!cursor_->gotoBookmark(b)) return false;
  if (!accepted()) {  // filtered out: as good as gone
    if (!before.empty()) cursor_->gotoBookmark(before);
    return false;
  }
  hidden_ = false;
  eof_ = bof_ = false;
  scrolled();
  return true;
}

void Dataset::refresh() {
  checkBrowse();
  table_->refresh();
  if (!masterEmpty_) {
    if (cursor_->valid())
      cursor_->refresh();
    else
      cursor_->first();
  }
  settle();
  scrolled();
}

bool Dataset::findKey(const std::vector<Value>& key) {
  checkBrowse();
  if (masterEmpty_) return false;
  Bookmark before = bookmark();
  if (cursor_->seek(key) && accepted()) {
    hidden_ = false;
    eof_ = bof_ = false;
    scrolled();
    return true;
  }
  if (!before.empty()) cursor_->gotoBookmark(before);
  return false;
}

bool Dataset::findKey(const QString& key) {
  checkOpen();
  if (indexFields_.empty()) return findKey(std::vector<Value>{Value::text(key.toStdString())});
  const Field& f = *fields_[static_cast<std::size_t>(indexFields_.front())];
  return findKey(std::vector<Value>{valueFromText(key, f.def(), f.displayLabel(), path())});
}

std::vector<Value> Dataset::masterKey() const {
  std::vector<Value> key;
  for (const QString& name : masterFields_) key.push_back(master_->field(name).value());
  return key;
}

void Dataset::applyRange() {
  masterEmpty_ = false;
  if (!master_) {
    cursor_->setRange({});
    return;
  }
  if (!master_->hasRecord()) {
    masterEmpty_ = true;
    return;
  }
  cursor_->setRange(masterKey());
}

void Dataset::masterMoved() {
  checkBrowse();
  applyRange();
  settle();
  scrolled();
}

void Dataset::setMaster(Dataset* master, const QStringList& masterFields) {
  checkBrowse();
  if (master) {
    if (master == this) tables::throwError(ErrorKind::InvalidInput, path(), "Circular datalinks are not allowed");
    if (master->isOpen())
      for (const QString& name : masterFields) master->field(name);
    if (masterFields.isEmpty() || static_cast<std::size_t>(masterFields.size()) > indexFields_.size())
      tables::throwError(ErrorKind::InvalidInput, path(),
                         "The current order has fewer key fields than the master fields to link");
  }
  if (master_) std::erase(master_->details_, this);
  master_ = master;
  masterFields_ = masterFields;
  if (master_) master_->details_.push_back(this);
  applyRange();
  settle();
  scrolled();
}

void Dataset::setFilter(const std::vector<FilterCriterion>& criteria) {
  checkBrowse();
  RecordFilter f(criteria, *table_);
  filter_ = std::move(f);
  toEnd(true);
}

void Dataset::clearFilter() {
  checkBrowse();
  filter_ = {};
  if (masterEmpty_) return;
  if (!cursor_->valid()) cursor_->first();
  settle();
  scrolled();
}

}  // namespace rf::dataset

#include "controls/field_link.h"

namespace rf::controls {

using dataset::DatasetState;

FieldLink::FieldLink(QObject* parent) : QObject(parent) {}

FieldLink::~FieldLink() { detach(); }

void FieldLink::setDataSource(dataset::DataSource* source) {
  if (source == source_) return;
  for (const auto& c : connections_) disconnect(c);
  connections_.clear();
  source_ = source;
  if (source) {
    connections_.push_back(connect(source, &dataset::DataSource::dataChanged, this, &FieldLink::fieldChanged));
    connections_.push_back(connect(source, &dataset::DataSource::stateChanged, this, &FieldLink::notify));
    connections_.push_back(connect(source, &dataset::DataSource::recordChanged, this, &FieldLink::notify));
    connections_.push_back(connect(source, &dataset::DataSource::datasetChanged, this, [this] {
      attach();
      notify();
    }));
    connections_.push_back(connect(source, &QObject::destroyed, this, [this] {
      detach();
      modified_ = false;
      emit refresh();
    }));
  }
  attach();
  notify();
}

void FieldLink::setFieldName(const QString& name) {
  fieldName_ = name;
  modified_ = false;
  emit refresh();
}

void FieldLink::attach() {
  dataset::Dataset* ds = dataset();
  if (ds == registered_ && (updater_ != 0 || !ds)) return;
  detach();
  if (!ds) return;
  registered_ = ds;
  updater_ = ds->addRecordUpdater([this] { updateRecord(); });
}

void FieldLink::detach() {
  if (registered_ && updater_ != 0) registered_->removeRecordUpdater(updater_);
  registered_ = nullptr;
  updater_ = 0;
}

dataset::Dataset* FieldLink::dataset() const { return source_ ? source_->dataset() : nullptr; }

dataset::Field* FieldLink::field() const {
  dataset::Dataset* ds = dataset();
  if (!ds || !ds->isOpen() || fieldName_.isEmpty()) return nullptr;
  return ds->findField(fieldName_);
}

bool FieldLink::editing() const {
  dataset::Dataset* ds = dataset();
  return ds && (ds->state() == DatasetState::Edit || ds->state() == DatasetState::Insert);
}

bool FieldLink::canModify() const {
  if (readOnly_ || !field()) return false;
  return editing() || source_->autoEdit();
}

bool FieldLink::edit() {
  if (!canModify()) return false;
  if (editing()) return true;
  // The record read for editing is shown again by the notifications; the control keeps the
  // user's keystroke instead, and marks itself modified.
  inEdit_ = true;
  try {
    source_->edit();
  } catch (...) {
    inEdit_ = false;
    throw;
  }
  inEdit_ = false;
  return editing();
}

void FieldLink::updateRecord() {
  if (!modified_ || readOnly_ || !writer_ || !editing()) return;
  dataset::Field* f = field();
  if (!f) return;
  writer_(*f);
  modified_ = false;
}

void FieldLink::reset() {
  modified_ = false;
  emit refresh();
}

void FieldLink::fieldChanged(dataset::Field* changed) {
  if (changed && changed != field()) return;
  notify();
}

void FieldLink::notify() {
  if (inEdit_) return;
  modified_ = false;
  emit refresh();
}

}  // namespace rf::controls

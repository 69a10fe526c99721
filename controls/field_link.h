#pragma once
// The tie between one data-aware control and one field of a data source's dataset.
//
// Showing: the link emits refresh() whenever the control must show the field again: the dataset
// moved to another record, the field (or the whole record) changed, the state changed, the
// dataset was opened, closed or replaced. The control then reads field() (null: nothing to show,
// so it shows nothing and stays greyed, see canShow()).
//
// Writing: before the user's first change the control calls edit(); with the data source's
// auto-edit a browsing record goes into edit state (insert on an empty table). While the user
// types, the control marks the link modified; it writes through its writer (setWriter) when the
// typing is committed (Enter, leaving the box) by calling updateRecord(). A modified link also
// writes just before the dataset posts, so text typed and not yet committed is never lost when
// the user presses Post or a move button.
//
// Refusals: a writer that cannot convert the text throws the field's TableError. From
// updateRecord() the throw reaches the caller (controls catch it in their Qt slots and announce it
// through their failed(QString) signal, since no exception may cross Qt's event loop); from the
// post hook it stops the post and reaches whoever asked for the post or the move (a navigator, a
// command), the record staying in edit with its other changes.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "dataset/data_source.h"

namespace rf::controls {

class FieldLink : public QObject {
  Q_OBJECT

 public:
  using Writer = std::function<void(dataset::Field& field)>;

  explicit FieldLink(QObject* parent = nullptr);
  ~FieldLink() override;

  dataset::DataSource* dataSource() const { return source_; }
  void setDataSource(dataset::DataSource* source);
  QString fieldName() const { return fieldName_; }
  // Matched against the dataset's fields regardless of case.
  void setFieldName(const QString& name);

  dataset::Dataset* dataset() const;
  // The bound field of the open dataset; null when there is none (no source, closed, no such name).
  dataset::Field* field() const;
  // There is a field to show.
  bool canShow() const { return field() != nullptr; }
  // The dataset is in edit or insert state.
  bool editing() const;

  // A read-only link shows and never edits or writes (the "disabled edit").
  bool readOnly() const { return readOnly_; }
  void setReadOnly(bool on) { readOnly_ = on; }
  // The control may take the user's change: a field, not read-only, and the record editing or
  // the data source's auto-edit on.
  bool canModify() const;

  // The control is about to change the field: puts the record into edit state through the data
  // source (auto-edit). Returns whether the field can be written now. The notifications this
  // causes do not reach the control, which keeps what the user is typing. Throws the dataset's
  // refusal (a record another user deleted, a lock held elsewhere).
  bool edit();

  // What the control does with the user's value; called with the record editing.
  void setWriter(Writer writer) { writer_ = std::move(writer); }
  // The control holds a value the user changed and that is not written yet.
  bool modified() const { return modified_; }
  void setModified(bool on) { modified_ = on; }
  // Writes the control's value through the writer if it is modified and the record is editing.
  // A throw from the writer leaves the link modified.
  void updateRecord();
  // Drops the control's change: it shows the field again (Escape in an edit box).
  void reset();

 signals:
  // Show field() again.
  void refresh();

 private:
  void attach();
  void detach();
  void fieldChanged(dataset::Field* field);
  void notify();

  QPointer<dataset::DataSource> source_;
  QPointer<dataset::Dataset> registered_;  // the dataset the post hook is registered with
  int updater_ = 0;
  std::vector<QMetaObject::Connection> connections_;
  QString fieldName_;
  Writer writer_;
  bool readOnly_ = false;
  bool modified_ = false;
  bool inEdit_ = false;
};

}  // namespace rf::controls

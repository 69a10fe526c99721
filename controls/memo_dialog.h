#pragma once
// A modal window over one memo field of a data source's current record: a memo box and OK /
// Cancel, under the caption the caller gives. The box edits a copy of the field's text: OK puts
// the record into edit state and writes the text into the field (saved with the record's next
// post), Cancel leaves the record and the field as they were. The writing happens in execute()
// after the window has closed, so a refusal (a record another user deleted or locked) leaves as
// the dataset's exception to the caller's command, never inside the window's event loop.

#include <QDialog>
#include <QPointer>

#include "dataset/data_source.h"

class QPlainTextEdit;
class QDialogButtonBox;

namespace rf::controls {

class MemoDialog : public QDialog {
  Q_OBJECT

 public:
  explicit MemoDialog(QWidget* parent = nullptr);

  void setDataSource(dataset::DataSource* source) { source_ = source; }
  void setFieldName(const QString& name) { fieldName_ = name; }
  QString fieldName() const { return fieldName_; }
  void setWordWrap(bool on);
  bool wordWrap() const;

  QPlainTextEdit* editor() const { return editor_; }
  QDialogButtonBox* buttons() const { return buttons_; }

  // Shows the field's text and waits for OK or Cancel; returns true for OK, after writing.
  // Throws the dataset's refusal, and NotFound for a field the dataset does not have.
  bool execute();

 private:
  QPointer<dataset::DataSource> source_;
  QString fieldName_;
  QPlainTextEdit* editor_;
  QDialogButtonBox* buttons_;
};

}  // namespace rf::controls

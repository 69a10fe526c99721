#pragma once
// A code box with a drop-down button, bound to one field, that picks the code from a lookup
// table. The box is a bound edit (typing edits the record; a code no lookup row holds is stored
// as typed, since records keep the code's text, not a reference). The button, Alt+Down or F4
// open the "Lookup" pick list on the lookup record whose lookup field equals the code shown; a
// pick writes that record's lookup field into the bound field, cut to the bound field's width,
// putting the record into edit state. closeUp(picked) follows every closing of the list, after
// the pick is written, so a screen can act on a completed pick only.
//
// The screen names the control (objectName); the box and the button take that name with "Edit"
// and "Button" after it. Refusals are announced by failed(), never thrown back into Qt's loop.

#include <QPointer>
#include <QWidget>

#include "controls/db_edit.h"
#include "controls/grid_column.h"

class QToolButton;

namespace rf::controls {

class LookupComboBox : public QWidget {
  Q_OBJECT

 public:
  explicit LookupComboBox(QWidget* parent = nullptr);

  FieldLink& link() { return edit_->link(); }
  dataset::DataSource* dataSource() const { return edit_->dataSource(); }
  void setDataSource(dataset::DataSource* source) { edit_->setDataSource(source); }
  QString fieldName() const { return edit_->fieldName(); }
  void setFieldName(const QString& name) { edit_->setFieldName(name); }

  // The table picked from (shared with the lookup screens), the field whose value a pick
  // writes, and the pick list's columns (none: every visible field under its display label).
  void setLookup(dataset::Dataset* lookup, const QString& lookupField, ColumnList columns = {});
  dataset::Dataset* lookupDataset() const { return lookup_; }
  QString lookupField() const { return lookupField_; }
  const ColumnList& columns() const { return columns_; }

  DbEdit* lineEdit() const { return edit_; }
  QToolButton* button() const { return button_; }
  QString text() const;

  // Opens the pick list (modal) and returns when it is closed.
  void dropDown();

 signals:
  void closeUp(bool picked);
  // The code box's text changed: another record shown, typing or a pick.
  void textChanged(const QString& text);
  void failed(const QString& message);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool write(const QString& value);
  void nameChildren();

  DbEdit* edit_;
  QToolButton* button_;
  QPointer<dataset::Dataset> lookup_;
  QString lookupField_;
  ColumnList columns_;
};

}  // namespace rf::controls

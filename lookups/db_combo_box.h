#pragma once
// A drop-down combo box bound to one text field that also takes typed text: the field holds the
// chosen item's text or whatever the user typed, since the items only offer the usual values.
// Choosing an item or typing puts the record into edit state (the data source's auto-edit); the
// text is written when an item is chosen, on Enter or on leaving the box, and in any case just
// before the record is posted. A refusal is announced by failed(), never thrown into Qt's loop.

#include <QComboBox>

#include "controls/field_link.h"

namespace rf::lookups {

class DbComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit DbComboBox(QWidget* parent = nullptr);

  controls::FieldLink& link() { return link_; }
  dataset::DataSource* dataSource() const { return link_.dataSource(); }
  void setDataSource(dataset::DataSource* source) { link_.setDataSource(source); }
  QString fieldName() const { return link_.fieldName(); }
  void setFieldName(const QString& name) { link_.setFieldName(name); }

 signals:
  void failed(const QString& message);

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void showField();
  // The user is about to change the text; false when the record can't change now.
  bool startChange();
  void typed();
  void chosen(int index);
  void commit();

  controls::FieldLink link_;
  bool showing_ = false;
};

}  // namespace rf::lookups

#pragma once
// A check box bound to a logical field: ticked shows true, cleared shows false or an empty field.
// A click puts the record into edit state and writes true or false at once. The caption stands
// right of the box until the screen puts it to the left.

#include <QCheckBox>

#include "controls/field_link.h"

namespace rf::controls {

class DbCheckBox : public QCheckBox {
  Q_OBJECT

 public:
  explicit DbCheckBox(const QString& caption = {}, QWidget* parent = nullptr);

  FieldLink& link() { return link_; }
  void setDataSource(dataset::DataSource* source) { link_.setDataSource(source); }
  void setFieldName(const QString& name) { link_.setFieldName(name); }
  dataset::Field* field() const { return link_.field(); }

  bool captionLeft() const { return layoutDirection() == Qt::RightToLeft; }
  void setCaptionLeft(bool on) { setLayoutDirection(on ? Qt::RightToLeft : Qt::LeftToRight); }

 signals:
  void failed(const QString& message);

 private:
  void showField();
  void userClicked(bool checked);

  FieldLink link_;
};

}  // namespace rf::controls

#pragma once
// A group of radio buttons bound to one field, each option standing for a value (stored as the
// field's text; a number field compares as a number, so "0" matches 0). A field holding none of
// the values, or nothing, shows no option chosen. Choosing an option puts the record into edit
// state and writes its value at once.

#include <QGroupBox>
#include <QStringList>

#include "controls/field_link.h"

class QButtonGroup;
class QGridLayout;
class QRadioButton;

namespace rf::controls {

class DbRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit DbRadioGroup(const QString& caption = {}, QWidget* parent = nullptr);

  FieldLink& link() { return link_; }
  void setDataSource(dataset::DataSource* source) { link_.setDataSource(source); }
  void setFieldName(const QString& name) { link_.setFieldName(name); }
  dataset::Field* field() const { return link_.field(); }

  // The options, top to bottom and then column by column; `values` pairs with `captions` (an
  // option without a value stands for its caption).
  void setOptions(const QStringList& captions, const QStringList& values = {});
  void setColumns(int columns);
  int count() const { return static_cast<int>(values_.size()); }
  QRadioButton* button(int option) const;
  QString value(int option) const { return values_.value(option); }
  // The option the field's value chooses; -1 for none.
  int chosen() const;

 signals:
  void failed(const QString& message);

 private:
  void arrange();
  void showField();
  void userChose(int option);
  bool matches(const dataset::Field& field, const QString& value) const;

  FieldLink link_;
  QButtonGroup* group_;
  QGridLayout* grid_;
  QStringList values_;
  int columns_ = 1;
};

}  // namespace rf::controls

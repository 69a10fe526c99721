#pragma once
// One field of a dataset: reads the current record (or the record being edited) and writes the
// record being edited. Owned by its dataset; valid while the dataset stays open.

#include <QByteArray>
#include <QDate>
#include <QString>

#include "tables/schema.h"
#include "tables/value.h"

namespace rf::dataset {

class Dataset;

class Field {
 public:
  Field(Dataset& dataset, int index, const tables::FieldDef& def);

  int index() const { return index_; }
  QString name() const { return name_; }
  const tables::FieldDef& def() const { return def_; }
  tables::FieldType type() const { return def_.type; }
  int width() const { return def_.width; }

  // What grids and labels show; the name until set.
  QString displayLabel() const { return label_; }
  void setDisplayLabel(const QString& label) { label_ = label; }
  // Characters a grid column gives the field.
  int displayWidth() const { return displayWidth_; }
  void setDisplayWidth(int width) { displayWidth_ = width; }
  bool visible() const { return visible_; }
  void setVisible(bool v) { visible_ = v; }

  tables::Value value() const;
  bool isNull() const { return value().isBlank(); }
  // Whether there is a value, without reading a memo or blob from its file.
  bool hasValue() const;
  // Every setter needs the dataset in edit or insert state and throws TableError otherwise.
  void setValue(const tables::Value& v);
  void clear() { setValue(tables::Value::blank()); }

  QString asText() const;
  // Numbers, dates and logicals parse the text; a text that does not parse throws the platform's
  // conversion error and leaves the record as it was.
  void setText(const QString& text);
  double asNumber() const;  // blank reads 0
  void setNumber(double v);
  QDate asDate() const;  // blank: a null QDate
  void setDate(const QDate& d);
  bool asLogical() const;
  void setLogical(bool v);
  QString asMemo() const { return asText(); }
  void setMemo(const QString& text);
  QByteArray asBytes() const;
  void setBytes(const QByteArray& bytes);

 private:
  Dataset& dataset_;
  int index_;
  tables::FieldDef def_;
  QString name_;
  QString label_;
  int displayWidth_;
  bool visible_ = true;
};

}  // namespace rf::dataset

#pragma once
// What data-aware controls bind to: a dataset, the auto-edit rule (typing in a bound control
// puts the record into edit state) and the notifications controls redraw on.

#include <QObject>
#include <QPointer>

#include "dataset/dataset.h"

namespace rf::dataset {

class DataSource : public QObject {
  Q_OBJECT

 public:
  explicit DataSource(Dataset* dataset = nullptr, QObject* parent = nullptr);

  Dataset* dataset() const { return dataset_; }
  void setDataset(Dataset* dataset);
  bool autoEdit() const { return autoEdit_; }
  void setAutoEdit(bool on) { autoEdit_ = on; }

  // A bound control is about to change a field: with auto-edit, a browsing dataset goes into
  // edit state (or insert, when it has no record). Returns whether the dataset is editing now.
  bool edit();
  // What a bound control does with typed text: edit(), then the field's text.
  void setFieldText(const QString& field, const QString& text);

 signals:
  void dataChanged(rf::dataset::Field* field);  // null: the whole record
  void stateChanged(rf::dataset::DatasetState state);
  void recordChanged();  // the dataset moved to another record
  void datasetChanged();

 private:
  QPointer<Dataset> dataset_;
  bool autoEdit_ = true;
  std::vector<QMetaObject::Connection> connections_;
};

}  // namespace rf::dataset

#include "dataset/data_source.h"

namespace rf::dataset {

DataSource::DataSource(Dataset* dataset, QObject* parent) : QObject(parent) { setDataset(dataset); }

void DataSource::setDataset(Dataset* dataset) {
  if (dataset == dataset_) return;
  for (const auto& c : connections_) disconnect(c);
  connections_.clear();
  dataset_ = dataset;
  if (dataset) {
    connections_.push_back(connect(dataset, &Dataset::dataChanged, this, &DataSource::dataChanged));
    connections_.push_back(connect(dataset, &Dataset::stateChanged, this, &DataSource::stateChanged));
    connections_.push_back(connect(dataset, &Dataset::afterScroll, this, &DataSource::recordChanged));
  }
  emit datasetChanged();
  emit dataChanged(nullptr);
}

bool DataSource::edit() {
  if (!dataset_ || !dataset_->isOpen()) return false;
  if (dataset_->state() == DatasetState::Browse && autoEdit_) dataset_->edit();
  return dataset_->state() == DatasetState::Edit || dataset_->state() == DatasetState::Insert;
}

void DataSource::setFieldText(const QString& field, const QString& text) {
  if (!dataset_) return;
  Field& f = dataset_->field(field);
  edit();
  f.setText(text);
}

}  // namespace rf::dataset

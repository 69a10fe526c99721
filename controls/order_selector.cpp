#include "controls/order_selector.h"

#include <QSignalBlocker>
#include <exception>

namespace rf::controls {

OrderSelector::OrderSelector(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  setMaxVisibleItems(kVisibleRows);
  connect(this, &QComboBox::activated, this, &OrderSelector::chosen);
}

void OrderSelector::setDataSource(dataset::DataSource* source) {
  for (const auto& c : connections_) disconnect(c);
  connections_.clear();
  source_ = source;
  if (source) {
    connections_.push_back(connect(source, &dataset::DataSource::datasetChanged, this, &OrderSelector::fill));
    connections_.push_back(connect(source, &dataset::DataSource::stateChanged, this, [this] {
      dataset::Dataset* ds = source_ ? source_->dataset() : nullptr;
      if ((ds && ds->isOpen()) != filledOpen_) fill();
    }));
    // An order set by the program (every change of order moves to the record again).
    connections_.push_back(connect(source, &dataset::DataSource::recordChanged, this, &OrderSelector::showCurrent));
  }
  fill();
}

void OrderSelector::fill() {
  QSignalBlocker block(this);
  clear();
  dataset::Dataset* ds = source_ ? source_->dataset() : nullptr;
  filledOpen_ = ds && ds->isOpen();
  if (filledOpen_) addItems(ds->indexNames());
  setEnabled(filledOpen_);
  showCurrent();
}

void OrderSelector::showCurrent() {
  dataset::Dataset* ds = source_ ? source_->dataset() : nullptr;
  if (!ds || !ds->isOpen()) return;
  const QString current = ds->indexName().isEmpty() ? dataset::Dataset::kPrimaryKey : ds->indexName();
  QSignalBlocker block(this);
  setCurrentIndex(findText(current, Qt::MatchFixedString));
}

void OrderSelector::chosen(int row) {
  dataset::Dataset* ds = source_ ? source_->dataset() : nullptr;
  if (!ds || !ds->isOpen() || row < 0) return;
  try {
    ds->setIndexName(itemText(row));
  } catch (const std::exception& e) {
    showCurrent();
    emit failed(QString::fromUtf8(e.what()));
    return;
  }
  showCurrent();
}

}  // namespace rf::controls

#pragma once
// A drop-down list (no typing, eight rows) of the dataset's index names in the table's order, the
// primary index as "PrimaryKey", showing the current order. Choosing an entry makes it the
// dataset's order, the current record staying current. A refusal (a pending change that can't be
// posted first, an index the engine can't open) is announced by failed() with its message and
// the list shows the order still in force. A dataset in record order, for a table without a
// primary index, shows no entry.

#include <QComboBox>
#include <QPointer>

#include "dataset/data_source.h"

namespace rf::controls {

class OrderSelector : public QComboBox {
  Q_OBJECT

 public:
  static constexpr int kVisibleRows = 8;

  explicit OrderSelector(QWidget* parent = nullptr);

  dataset::DataSource* dataSource() const { return source_; }
  void setDataSource(dataset::DataSource* source);

 signals:
  void failed(const QString& message);

 private:
  void fill();
  void showCurrent();
  void chosen(int row);

  QPointer<dataset::DataSource> source_;
  std::vector<QMetaObject::Connection> connections_;
  bool filledOpen_ = false;
};

}  // namespace rf::controls

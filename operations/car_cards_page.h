#pragma once
// The edit screen's page " Car Cards ": the car's print mark for the next car cards run and its
// home yard, both fields of the inventory record.

#include <QList>
#include <QWidget>

#include "dataset/data_source.h"

namespace rf::controls {
class DbCheckBox;
class DbEdit;
}  // namespace rf::controls

namespace rf::operations {

class CarCardsPage : public QWidget {
  Q_OBJECT

 public:
  explicit CarCardsPage(dataset::DataSource* dsInven, QWidget* parent = nullptr);

  controls::DbCheckBox* printMark() const { return print_; }
  controls::DbEdit* homeYard() const { return homeYard_; }
  // The focusable controls in the page's tab order.
  const QList<QWidget*>& tabChain() const { return chain_; }

 private:
  controls::DbCheckBox* print_ = nullptr;
  controls::DbEdit* homeYard_ = nullptr;
  QList<QWidget*> chain_;
};

}  // namespace rf::operations

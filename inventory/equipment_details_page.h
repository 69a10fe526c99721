#pragma once
// The edit screen's page " Equipment Details ": running gear and size, the user's own fields,
// the three lines of remarks and the "Details" button that opens the free-text details of the
// piece in a window of their own.

#include <QList>
#include <QWidget>

#include "data/data_module.h"
#include "dataset/data_source.h"

class QPushButton;

namespace rf::controls {
class MemoDialog;
}

namespace rf::inventory {

class EquipmentDetailsPage : public QWidget {
  Q_OBJECT

 public:
  EquipmentDetailsPage(dataset::DataSource* dsInven, data::TdmMain& dm, QWidget* parent = nullptr);

  QPushButton* detailsButton() const { return details_; }
  controls::MemoDialog* memoDialog() const { return memo_; }
  // The focusable controls in the page's tab order.
  const QList<QWidget*>& tabChain() const { return chain_; }

 public slots:
  // "Details": the memo window on I_DETAIL; OK writes the text into the record (saved with its
  // next save), Cancel changes nothing.
  void BitBtn10Click();

 private:
  QWidget* equipmentGroup(dataset::DataSource* ds, data::TdmMain& dm);
  QWidget* userGroup(dataset::DataSource* ds);
  QWidget* remarksGroup(dataset::DataSource* ds);

  QPushButton* details_ = nullptr;
  controls::MemoDialog* memo_ = nullptr;
  QList<QWidget*> chain_;
};

}  // namespace rf::inventory

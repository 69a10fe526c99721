#pragma once
// The inventory browse screen `fmInvenBrw`: the list of the collection. It owns the inventory
// table and the waybill table (a detail of the inventory) for the whole run; every other screen
// and command works on these two objects and their current records.

#include <QWidget>

#include "data/data_module.h"
#include "dataset/data_source.h"
#include "dataset/dataset.h"

class QTableView;

namespace rf::controls {
class DatasetTableModel;
class RecordNavigator;
}  // namespace rf::controls

namespace rf::inventory {

class TfmInvenBrw : public QWidget {
  Q_OBJECT

 public:
  TfmInvenBrw(data::TdmMain& dm, QWidget* parent = nullptr);
  ~TfmInvenBrw() override;

  tables::Engine& engine() { return dm_.engine(); }
  data::TdmMain& dm() { return dm_; }
  dataset::Dataset& tbInven() { return *tbInven_; }
  dataset::DataSource& dsInven() { return *dsInven_; }
  dataset::Dataset& tbWaybill() { return *tbWaybill_; }
  dataset::DataSource& dsWaybill() { return *dsWaybill_; }

  // Opens the table again as the start did (the waybill table linked to the inventory).
  void openInventory();
  void openWaybills();
  // The grid reads the table afresh (after it was closed, emptied or reopened).
  void reloadGrid();

 private:
  data::TdmMain& dm_;
  dataset::Dataset* tbInven_;
  dataset::DataSource* dsInven_;
  dataset::Dataset* tbWaybill_;
  dataset::DataSource* dsWaybill_;
  controls::RecordNavigator* navigator_;
  QTableView* grid_;
  controls::DatasetTableModel* model_;
};

}  // namespace rf::inventory

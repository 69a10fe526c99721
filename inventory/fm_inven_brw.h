#pragma once
// The inventory browse screen `fmInvenBrw`: the list of the collection under a record navigator,
// with the order selector and the inventory filter dialog. It owns the inventory table and the
// waybill table (a detail of the inventory) for the whole run; every other screen and command
// works on these two objects, so all share one current record, one order and one filter.

#include <QWidget>

#include "data/data_module.h"
#include "dataset/data_source.h"
#include "dataset/dataset.h"

namespace rf::controls {
class DbGrid;
class FilterDialog;
class OrderSelector;
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
  controls::FilterDialog& wwFilterDialog1() { return *filter_; }
  controls::DbGrid& grid() { return *grid_; }
  controls::RecordNavigator& navigator() { return *navigator_; }

  // Opens the table again as the start did (the waybill table linked to the inventory).
  void openInventory();
  void openWaybills();
  // The grid reads the table afresh (after it was closed, emptied, reordered or filtered).
  void reloadGrid();
  // The inventory filter dialog, for this screen and the edit screen: sets or removes the
  // inventory table's filter; the grid follows.
  void showFilterDialog();

 public slots:
  void wwDBNavigator1CloseClick();
  // The navigator's edit-screen button and a double-click in the grid ask for the edit screen.
  void wwDBNavigator1EdScnClick() { emit editScreenRequested(); }
  void wwDBGrid1DblClick() { emit editScreenRequested(); }

 signals:
  void editScreenRequested();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void showError(const QString& message);

  data::TdmMain& dm_;
  dataset::Dataset* tbInven_;
  dataset::DataSource* dsInven_;
  dataset::Dataset* tbWaybill_;
  dataset::DataSource* dsWaybill_;
  controls::RecordNavigator* navigator_ = nullptr;
  controls::OrderSelector* order_ = nullptr;
  controls::DbGrid* grid_ = nullptr;
  controls::FilterDialog* filter_ = nullptr;
  bool placed_ = false;
};

}  // namespace rf::inventory

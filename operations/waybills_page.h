#pragma once
// The edit screen's page " Waybills ": the current car's waybills in a group with their own
// navigator (hints as tooltips here), a grid, the special instructions and the fields of the
// current waybill with the receiver, lading and shipper pick lists; under the group the buttons
// that show the industries, products and towns screens.

#include <QList>
#include <QWidget>
#include <functional>

#include "controls/screen_buttons.h"
#include "data/data_module.h"
#include "dataset/data_source.h"

class QGroupBox;
class QPushButton;

namespace rf::controls {
class DbEdit;
class DbGrid;
class DbMemo;
class LookupComboBox;
class RecordNavigator;
}  // namespace rf::controls

namespace rf::operations {

class WaybillsPage : public QWidget {
  Q_OBJECT

 public:
  using ShowScreen = controls::ShowScreen;

  WaybillsPage(dataset::DataSource* dsWaybill, data::TdmMain& dm, QWidget* parent = nullptr);
  ~WaybillsPage() override;

  void setShowScreen(ShowScreen show) { showScreen_ = std::move(show); }

  controls::RecordNavigator* navigator() const { return navigator_; }
  controls::DbGrid* grid() const { return grid_; }
  controls::DbMemo* instructions() const { return instructions_; }
  controls::DbEdit* waybillNo() const { return waybillNo_; }
  controls::LookupComboBox* receiver() const { return receiver_; }
  controls::LookupComboBox* lading() const { return lading_; }
  controls::DbEdit* routing() const { return routing_; }
  controls::LookupComboBox* shipper() const { return shipper_; }
  // The focusable controls in the page's tab order.
  const QList<QWidget*>& tabChain() const { return chain_; }

  // The three buttons under the group: object name, caption and the screen each shows.
  static const std::vector<controls::ScreenButton>& screenButtons();

 public slots:
  // The location fill, after a pick list closed: only a completed pick fills the location, so
  // closing the list without a pick neither copies another industry's place nor is refused for
  // a waybill that is not being edited.
  void fldReceiverCloseUp(bool picked);
  void fldShipperCloseUp(bool picked);

 private:
  QGroupBox* waybillGroup(dataset::DataSource* ds, data::TdmMain& dm);
  QWidget* buttonRow();
  void fill(bool picked, const QString& locationField);
  void showError(const QString& message);

  dataset::DataSource* source_;
  dataset::Dataset* industries_;
  ShowScreen showScreen_;
  controls::RecordNavigator* navigator_ = nullptr;
  controls::DbGrid* grid_ = nullptr;
  controls::DbMemo* instructions_ = nullptr;
  controls::DbEdit* waybillNo_ = nullptr;
  controls::LookupComboBox* receiver_ = nullptr;
  controls::LookupComboBox* lading_ = nullptr;
  controls::DbEdit* routing_ = nullptr;
  controls::LookupComboBox* shipper_ = nullptr;
  QList<QPushButton*> buttons_;
  QList<QWidget*> chain_;
};

}  // namespace rf::operations

#pragma once
// The inventory edit screen `fmInvenEdit`: one inventory record, the browse screen's current one,
// spread over pages under a header with its asset number and, in large type, its description,
// reporting mark and road number. It has no table of its own: every control is bound to the
// browse screen's `dsInven`, so both screens share one current record, order and filter. Its
// navigator keeps a bookmark of its own; its lookup buttons show the lookup screens through the
// function the application gives it. The waybill controls are bound to the browse screen's
// `dsWaybill`, the current car's waybills.

#include <QWidget>
#include <functional>

#include "controls/screen_buttons.h"
#include "data/data_module.h"
#include "inventory/fm_inven_brw.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace rf::controls {
class DbEdit;
class RecordNavigator;
}  // namespace rf::controls

namespace rf::operations {
class CarCardsPage;
class WaybillsPage;
}  // namespace rf::operations

namespace rf::inventory {

class BasicDataPage;
class EquipmentDetailsPage;
class PhotoPage;

class TfmInvenEdit : public QWidget {
  Q_OBJECT

 public:
  TfmInvenEdit(TfmInvenBrw& browse, data::TdmMain& dm, QWidget* parent = nullptr);

  // Shows a lookup screen by its object name ("fmAbbrev", "fmCat", ...).
  using ShowScreen = controls::ShowScreen;
  void setShowScreen(ShowScreen show);

  controls::RecordNavigator& navigator() { return *navigator_; }
  QTabWidget& pages() { return *pages_; }
  BasicDataPage& basicData() { return *basic_; }
  EquipmentDetailsPage& equipmentDetails() { return *equipment_; }
  PhotoPage& modelPhoto() { return *photo_; }
  operations::CarCardsPage& carCards() { return *carCards_; }
  operations::WaybillsPage& waybills() { return *waybills_; }

  // The lookup button row: each button's object name and the screen it shows, left to right.
  static const std::vector<controls::ScreenButton>& lookupButtons();

 public slots:
  void wwDBNavigator1CloseClick() { close(); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* navigatorStrip();
  QWidget* header();
  QWidget* lookupRow();
  void chainTabOrder();
  // The header mirror: the label shows the record's field as stored (not the control's text).
  void fldDescChange();
  void fldRepMkChange();
  void fldRepnoChange();
  void mirror(QLabel* label, const QString& field, int right);

  TfmInvenBrw& browse_;
  data::TdmMain& dm_;
  ShowScreen showScreen_;
  controls::RecordNavigator* navigator_ = nullptr;
  controls::DbEdit* fldAsset_ = nullptr;
  QLabel* lblDesc_ = nullptr;
  QLabel* lblRoad_ = nullptr;
  QLabel* lblRoadNo_ = nullptr;
  QTabWidget* pages_ = nullptr;
  BasicDataPage* basic_ = nullptr;
  EquipmentDetailsPage* equipment_ = nullptr;
  PhotoPage* photo_ = nullptr;
  operations::CarCardsPage* carCards_ = nullptr;
  operations::WaybillsPage* waybills_ = nullptr;
  QList<QPushButton*> lookupButtons_;
  bool placed_ = false;
};

}  // namespace rf::inventory

#include "inventory/fm_inven_brw.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/command_runner.h"
#include "controls/db_grid.h"
#include "controls/filter_dialog.h"
#include "controls/order_selector.h"
#include "controls/record_navigator.h"
#include "data/table_catalogue.h"
#include "data/table_opener.h"
#include "inventory/inventory_columns.h"
#include "inventory/inventory_navigator.h"
#include "inventory/inventory_rules.h"
#include "operations/waybill_rules.h"
#include "pictures/pictures.h"

namespace rf::inventory {

using controls::NavButton;

TfmInvenBrw::TfmInvenBrw(data::TdmMain& dm, QWidget* parent) : QWidget(parent, Qt::Window), dm_(dm) {
  setObjectName(QStringLiteral("fmInvenBrw"));
  setWindowTitle(QStringLiteral("Model Railroad Inventory"));
  tbInven_ = new dataset::Dataset(this);
  tbInven_->setObjectName(QStringLiteral("tbInven"));
  dsInven_ = new dataset::DataSource(tbInven_, this);
  dsInven_->setObjectName(QStringLiteral("dsInven"));
  tbWaybill_ = new dataset::Dataset(this);
  tbWaybill_->setObjectName(QStringLiteral("tbWaybill"));
  dsWaybill_ = new dataset::DataSource(tbWaybill_, this);
  dsWaybill_->setObjectName(QStringLiteral("dsWaybill"));
  installInventoryRules(*tbInven_, dm_.tbOptions());
  operations::installWaybillRules(*tbWaybill_, *tbInven_, dm_.tbOptions());
  openInventory();
  openWaybills();

  // The strip: the navigator at the left, the order at the right.
  auto* strip = new QWidget(this);
  strip->setObjectName(QStringLiteral("pnlStrip"));
  strip->setFixedHeight(40);
  navigator_ = makeInventoryNavigator(strip, QSize(33, 31));
  QToolButton* editScreen = navigator_->addCustomButton(
      QStringLiteral("navEditScreen"), pictures::picture(QStringLiteral("hand_writing.svg")), QString(),
      NavButton::Close);
  editScreen->setAutoRaise(true);
  editScreen->setFixedSize(31, 31);
  editScreen->setIconSize(QSize(16, 16));
  connect(editScreen, &QToolButton::clicked, this, &TfmInvenBrw::wwDBNavigator1EdScnClick);
  navigator_->setDataSource(dsInven_);
  connect(navigator_, &controls::RecordNavigator::failed, this, &TfmInvenBrw::showError);
  connect(navigator_, &controls::RecordNavigator::filterRequested, this, &TfmInvenBrw::showFilterDialog);
  connect(navigator_, &controls::RecordNavigator::closeRequested, this, &TfmInvenBrw::wwDBNavigator1CloseClick);
  // Rows come and go, or others changed the table (Refresh): the list is read afresh.
  connect(navigator_, &controls::RecordNavigator::clicked, this, [this](NavButton b) {
    if (b == NavButton::Refresh || b == NavButton::Insert || b == NavButton::Delete) reloadGrid();
  });

  auto* orderLabel = new QLabel(QStringLiteral("Order:"), strip);
  order_ = new controls::OrderSelector(strip);
  order_->setObjectName(QStringLiteral("wwKeyCombo1"));
  order_->setFixedWidth(101);
  order_->setDataSource(dsInven_);
  orderLabel->setBuddy(order_);
  connect(order_, &controls::OrderSelector::failed, this, &TfmInvenBrw::showError);
  // Connected after the selector's own handler, so the list is read in the new order.
  connect(order_, &QComboBox::activated, this, [this] { reloadGrid(); });

  auto* stripRow = new QHBoxLayout(strip);
  stripRow->setContentsMargins(4, 4, 4, 4);
  stripRow->addWidget(navigator_);
  stripRow->addStretch(1);
  stripRow->addWidget(orderLabel);
  stripRow->addWidget(order_);

  grid_ = new controls::DbGrid(this);
  grid_->setObjectName(QStringLiteral("wwDBGrid1"));
  grid_->setDataSource(dsInven_, inventoryGridColumns());
  grid_->useScreenLook();
  connect(grid_, &controls::DbGrid::failed, this, &TfmInvenBrw::showError);
  connect(grid_, &QAbstractItemView::doubleClicked, this, &TfmInvenBrw::wwDBGrid1DblClick);

  filter_ = new controls::FilterDialog(this);
  filter_->setObjectName(QStringLiteral("wwFilterDialog1"));
  controls::FilterSettings settings;
  settings.caption = QStringLiteral("Filter Inventory Records");
  settings.fields = inventoryFilterFields();
  settings.order = controls::FilterSettings::FieldOrder::ByFieldNumber;
  settings.selectedField = QStringLiteral("I_REPMK");
  settings.defaultMatch = dataset::FilterCriterion::Match::StartsWith;
  settings.caseSensitive = false;
  filter_->setSettings(settings);
  filter_->setDataset(tbInven_);
  connect(filter_, &controls::FilterDialog::applied, this, &TfmInvenBrw::reloadGrid);
  connect(filter_, &controls::FilterDialog::failed, this, &TfmInvenBrw::showError);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(strip);
  column->addWidget(grid_, 1);
}

TfmInvenBrw::~TfmInvenBrw() {
  // The views go before the tables they read.
  delete grid_;
  delete order_;
  delete navigator_;
  tbWaybill_->close();
  tbInven_->close();
}

void TfmInvenBrw::openInventory() { data::openTable(*tbInven_, dm_.engine(), data::catalogueEntry("tbInven")); }

void TfmInvenBrw::openWaybills() {
  data::openTable(*tbWaybill_, dm_.engine(), data::catalogueEntry("tbWaybill"));
  tbWaybill_->setMaster(tbInven_, {QStringLiteral("I_ASSET")});
}

void TfmInvenBrw::reloadGrid() {
  if (grid_) grid_->reload();
}

void TfmInvenBrw::showFilterDialog() {
  filter_->prepare();
  filter_->exec();
}

void TfmInvenBrw::wwDBNavigator1CloseClick() { close(); }

void TfmInvenBrw::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The screen takes the whole work area the first time it shows; afterwards where the user left it.
  if (!placed_) {
    placed_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->availableGeometry());
  }
}

void TfmInvenBrw::showError(const QString& message) { controls::showError(this, message); }

}  // namespace rf::inventory

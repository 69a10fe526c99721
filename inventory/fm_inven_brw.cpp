#include "inventory/fm_inven_brw.h"

#include <QHBoxLayout>
#include <QTableView>
#include <QVBoxLayout>

#include "controls/command_runner.h"
#include "controls/dataset_table_model.h"
#include "controls/record_navigator.h"
#include "data/table_catalogue.h"
#include "data/table_opener.h"

namespace rf::inventory {

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
  openInventory();
  openWaybills();

  navigator_ = new controls::RecordNavigator(this);
  navigator_->setObjectName(QStringLiteral("wwDBNavigator1"));
  navigator_->setDataSource(dsInven_);
  connect(navigator_, &controls::RecordNavigator::failed, this,
          [this](const QString& message) { controls::showError(this, message); });
  connect(navigator_, &controls::RecordNavigator::closeRequested, this, &QWidget::close);

  model_ = new controls::DatasetTableModel(tbInven_, {}, this);
  connect(model_, &controls::DatasetTableModel::failed, this,
          [this](const QString& message) { controls::showError(this, message); });
  grid_ = new QTableView(this);
  grid_->setObjectName(QStringLiteral("wwDBGrid1"));
  grid_->setModel(model_);

  auto* strip = new QHBoxLayout;
  strip->addWidget(navigator_);
  strip->addStretch(1);
  auto* column = new QVBoxLayout(this);
  column->addLayout(strip);
  column->addWidget(grid_, 1);
}

TfmInvenBrw::~TfmInvenBrw() {
  // The views go before the tables they read.
  delete grid_;
  delete model_;
  delete navigator_;
  tbWaybill_->close();
  tbInven_->close();
}

void TfmInvenBrw::openInventory() { data::openTable(*tbInven_, dm_.engine(), data::catalogueEntry("tbInven")); }

void TfmInvenBrw::openWaybills() {
  data::openTable(*tbWaybill_, dm_.engine(), data::catalogueEntry("tbWaybill"));
  tbWaybill_->setMaster(tbInven_, {QStringLiteral("I_ASSET")});
}

void TfmInvenBrw::reloadGrid() { model_->reload(); }

}  // namespace rf::inventory

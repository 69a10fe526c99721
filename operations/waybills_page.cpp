#include "operations/waybills_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/bound_controls.h"
#include "controls/command_runner.h"
#include "controls/db_edit.h"
#include "controls/db_grid.h"
#include "controls/db_memo.h"
#include "controls/lookup_combo_box.h"
#include "controls/record_navigator.h"
#include "operations/waybill_columns.h"
#include "operations/waybill_rules.h"

namespace rf::operations {

using controls::NavButton;

namespace {

constexpr int kNavButtonSize = 25;
constexpr QSize kScreenButtonSize(106, 25);

}  // namespace

const std::vector<controls::ScreenButton>& WaybillsPage::screenButtons() {
  static const std::vector<controls::ScreenButton> buttons = {
      {"btnIndustry", "&Industry", "fmIndustry"},
      {"btnProducts", "&Products", "fmProducts"},
      {"btnTowns", "&Towns", "fmTowns"},
  };
  return buttons;
}

WaybillsPage::WaybillsPage(dataset::DataSource* dsWaybill, data::TdmMain& dm, QWidget* parent)
    : QWidget(parent), source_(dsWaybill), industries_(&dm.table(QStringLiteral("tbIndustry"))) {
  setObjectName(QStringLiteral("tsWaybills"));
  QGroupBox* group = waybillGroup(dsWaybill, dm);
  QWidget* row = buttonRow();
  auto* page = new QVBoxLayout(this);
  page->addWidget(group, 1);
  page->addWidget(row);
}

WaybillsPage::~WaybillsPage() {
  // The views let go of the waybill table before the browse screen closes it.
  delete grid_;
  delete navigator_;
}

QGroupBox* WaybillsPage::waybillGroup(dataset::DataSource* ds, data::TdmMain& dm) {
  auto* group = new QGroupBox(QStringLiteral(" Waybill "), this);
  group->setObjectName(QStringLiteral("grpWaybill"));

  navigator_ = new controls::RecordNavigator(group);
  navigator_->setObjectName(QStringLiteral("navWaybill"));
  navigator_->setButtons({NavButton::First, NavButton::Prior, NavButton::Next, NavButton::Last, NavButton::Insert,
                          NavButton::Delete, NavButton::Edit, NavButton::Post, NavButton::Cancel,
                          NavButton::Refresh});
  navigator_->setShowHints(true);
  for (NavButton b : navigator_->buttons()) navigator_->button(b)->setFixedSize(kNavButtonSize, kNavButtonSize);
  navigator_->setDataSource(ds);
  connect(navigator_, &controls::RecordNavigator::failed, this, &WaybillsPage::showError);
  connect(navigator_, &controls::RecordNavigator::clicked, this, [this](NavButton b) {
    // Rows came or went, or others changed the table: the list is read afresh.
    if (b == NavButton::Refresh || b == NavButton::Insert || b == NavButton::Delete) grid_->reload();
  });

  grid_ = new controls::DbGrid(group);
  grid_->setObjectName(QStringLiteral("grdWaybill"));
  grid_->setDataSource(ds, waybillGridColumns());
  grid_->useScreenLook();
  connect(grid_, &controls::DbGrid::failed, this, &WaybillsPage::showError);

  instructions_ = controls::boundMemo(group, ds, QStringLiteral("Carinst"), QStringLiteral("fldCarinst"));
  instructions_->setWordWrap(false);
  auto* instructionsLabel = new QLabel(QStringLiteral("Special Instructions:"), group);
  instructionsLabel->setBuddy(instructions_);

  auto& industries = dm.table(QStringLiteral("tbIndustry"));
  waybillNo_ = controls::boundEdit(group, ds, QStringLiteral("Wayb_No"), QStringLiteral("fldWaybNo"));
  receiver_ = controls::boundLookup(group, ds, QStringLiteral("Receiver"), QStringLiteral("fldReceiver"),
                                    &industries, QStringLiteral("LOCATION"), industryPickColumns());
  lading_ = controls::boundLookup(group, ds, QStringLiteral("Lading"), QStringLiteral("fldLading"),
                                  &dm.table(QStringLiteral("tbProducts")), QStringLiteral("LADING"),
                                  ladingPickColumns());
  routing_ = controls::boundEdit(group, ds, QStringLiteral("VIARoute"), QStringLiteral("fldRouting"));
  shipper_ = controls::boundLookup(group, ds, QStringLiteral("Shipper"), QStringLiteral("fldShipper"),
                                   &industries, QStringLiteral("LOCATION"), industryPickColumns());
  connect(receiver_, &controls::LookupComboBox::closeUp, this, &WaybillsPage::fldReceiverCloseUp);
  connect(shipper_, &controls::LookupComboBox::closeUp, this, &WaybillsPage::fldShipperCloseUp);
  // Room for the fields' 30 characters (the waybill number's ten digits).
  const int chars = fontMetrics().averageCharWidth();
  waybillNo_->setFixedWidth(chars * 12);
  for (QWidget* w : {static_cast<QWidget*>(receiver_), static_cast<QWidget*>(lading_),
                     static_cast<QWidget*>(routing_), static_cast<QWidget*>(shipper_)})
    w->setMinimumWidth(chars * 32);

  // The grid and, at its right, the instructions; below them the fields: four labelled rows at
  // the left and the shipper at the right of the receiver's row.
  auto* fields = new QGridLayout;
  fields->addWidget(controls::fieldLabel(group, QStringLiteral("Waybill No:"), waybillNo_), 0, 0);
  fields->addWidget(waybillNo_, 0, 1, Qt::AlignLeft);
  controls::addLabelled(fields, 1, 0, QStringLiteral("Reveiver:"), receiver_);
  controls::addLabelled(fields, 1, 2, QStringLiteral("Shipper:"), shipper_);
  controls::addLabelled(fields, 2, 0, QStringLiteral("Lading:"), lading_);
  controls::addLabelled(fields, 3, 0, QStringLiteral("Routing:"), routing_);
  fields->setColumnStretch(1, 1);
  fields->setColumnStretch(3, 1);

  auto* instructionsColumn = new QVBoxLayout;
  instructionsColumn->addWidget(instructionsLabel);
  instructionsColumn->addWidget(instructions_, 1);

  auto* navigatorRow = new QHBoxLayout;
  navigatorRow->addWidget(navigator_);
  navigatorRow->addStretch(1);

  auto* layout = new QGridLayout(group);
  layout->addLayout(navigatorRow, 0, 0, 1, 2);
  layout->addWidget(grid_, 1, 0);
  layout->addLayout(instructionsColumn, 1, 1);
  layout->addLayout(fields, 2, 0, 1, 2);
  layout->setColumnStretch(0, 3);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(1, 1);

  chain_ << grid_ << instructions_ << waybillNo_ << receiver_ << lading_ << routing_ << shipper_;
  return group;
}

QWidget* WaybillsPage::buttonRow() {
  auto* rowWidget = new QWidget(this);
  rowWidget->setObjectName(QStringLiteral("pnlWaybillButtons"));
  auto* row = new QHBoxLayout(rowWidget);
  row->setContentsMargins(0, 0, 0, 0);
  buttons_ = controls::makeScreenButtons(rowWidget, screenButtons(), showScreen_);
  for (QPushButton* button : buttons_) {
    button->setFixedSize(kScreenButtonSize);
    row->addWidget(button);
    chain_ << button;
  }
  row->addStretch(1);
  return rowWidget;
}

void WaybillsPage::fldReceiverCloseUp(bool picked) { fill(picked, QStringLiteral("Rec_Loc")); }
void WaybillsPage::fldShipperCloseUp(bool picked) { fill(picked, QStringLiteral("Shp_loc")); }

void WaybillsPage::fill(bool picked, const QString& locationField) {
  if (!picked || !source_->dataset()) return;
  controls::runCommand(window(), [&] { fillLocation(*source_->dataset(), locationField, *industries_); });
}

void WaybillsPage::showError(const QString& message) { controls::showError(window(), message); }

}  // namespace rf::operations

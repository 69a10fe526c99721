#include "operations/car_cards_page.h"

#include <QGridLayout>
#include <QLabel>

#include "controls/bound_controls.h"
#include "controls/db_check_box.h"
#include "controls/db_edit.h"

namespace rf::operations {

CarCardsPage::CarCardsPage(dataset::DataSource* dsInven, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tsCarCards"));
  print_ = controls::boundCheckBox(this, dsInven, QStringLiteral("W_Print"), QStringLiteral("cbPrint"),
                                   QStringLiteral("Print Car Cards and Waybills"));
  print_->setCaptionLeft(true);
  homeYard_ = controls::boundEdit(this, dsInven, QStringLiteral("W_HomeYard"), QStringLiteral("fldHomeYard"));
  // Room for the field's 30 characters.
  homeYard_->setMinimumWidth(homeYard_->fontMetrics().averageCharWidth() * 32);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(16, 16, 16, 16);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(12);
  grid->addWidget(print_, 0, 0, 1, 2, Qt::AlignLeft);
  grid->addWidget(controls::fieldLabel(this, QStringLiteral("Home Yard Location:"), homeYard_), 1, 0);
  grid->addWidget(homeYard_, 1, 1, Qt::AlignLeft);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(2, 1);

  chain_ << print_ << homeYard_;
}

}  // namespace rf::operations

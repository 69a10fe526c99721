#include "inventory/basic_data_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "controls/bound_controls.h"
#include "controls/command_runner.h"
#include "controls/db_date_edit.h"
#include "controls/db_edit.h"
#include "controls/db_radio_group.h"
#include "controls/lookup_combo_box.h"

namespace rf::inventory {

using controls::ColumnList;

BasicDataPage::BasicDataPage(dataset::DataSource* dsInven, data::TdmMain& dm, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tsBasicData"));
  auto* bottom = new QHBoxLayout;
  auto* page = new QVBoxLayout(this);
  page->addWidget(descriptionGroup(dsInven, dm));
  bottom->addWidget(valueGroup(dsInven, dm), 3);
  bottom->addWidget(otherGroup(dsInven, dm), 2);
  page->addLayout(bottom);
  page->addStretch(1);
}

QWidget* BasicDataPage::descriptionGroup(dataset::DataSource* ds, data::TdmMain& dm) {
  auto* group = new QGroupBox(QStringLiteral(" Description of Model "), this);
  group->setObjectName(QStringLiteral("grpDescription"));
  dataset::Dataset* mfgr = &dm.table(QStringLiteral("tbMfgr"));

  fldRepMk_ = controls::boundLookup(group, ds, QStringLiteral("I_REPMK"), QStringLiteral("fldRepMk"),
                                    &dm.table(QStringLiteral("tbAbbrev")), QStringLiteral("I_REPMK"),
                                    ColumnList{{QStringLiteral("I_REPMK"), 7, QStringLiteral("Repmk")},
                                               {QStringLiteral("ABDESC"), 41, QStringLiteral("Railroad")}});
  fldRepno_ = controls::boundEdit(group, ds, QStringLiteral("I_REPNO"), QStringLiteral("fldRepno"), QStringLiteral("Road Number"));
  auto* eqType = new controls::DbRadioGroup(QStringLiteral(" Equipment Type "), group);
  eqType->setObjectName(QStringLiteral("fldEqType"));
  eqType->setOptions({QStringLiteral("Locomotive"), QStringLiteral("Freight"), QStringLiteral("Passenger"),
                      QStringLiteral("Non-Revenur")},
                     {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
  eqType->setDataSource(ds);
  eqType->setFieldName(QStringLiteral("I_EQTYPE"));
  connect(eqType, &controls::DbRadioGroup::failed, this,
          [this](const QString& message) { controls::showError(window(), message); });
  fldDesc_ = controls::boundEdit(group, ds, QStringLiteral("I_DESC"), QStringLiteral("fldDesc"));
  auto* scale = controls::boundLookup(group, ds, QStringLiteral("I_SCALE"), QStringLiteral("fldScale"),
                                      &dm.table(QStringLiteral("tbScale")), QStringLiteral("I_SCALE"),
                                      ColumnList{{QStringLiteral("I_SCALE"), 4, QStringLiteral("Scale:")},
                                                 {QStringLiteral("SCDESC"), 40, QStringLiteral("Description:")}});
  auto* cat = controls::boundLookup(group, ds, QStringLiteral("I_CAT"), QStringLiteral("fldCat"),
                                    &dm.table(QStringLiteral("tbInvCat")), QStringLiteral("I_CAT"),
                                    ColumnList{{QStringLiteral("I_CAT"), 8, QStringLiteral("Category:")},
                                               {QStringLiteral("CATDESC"), 40, QStringLiteral("Description:")}});
  auto* subCat = controls::boundEdit(group, ds, QStringLiteral("I_SUBCAT"), QStringLiteral("fldSubCat"));
  auto* cls = controls::boundLookup(group, ds, QStringLiteral("I_CLASS"), QStringLiteral("fldClass"),
                                    &dm.table(QStringLiteral("tbClass")), QStringLiteral("I_CLASS"),
                                    ColumnList{{QStringLiteral("I_CLASS"), 8, QStringLiteral("Class:")},
                                               {QStringLiteral("CLASSDESC"), 40, QStringLiteral("Description:")},
                                               {QStringLiteral("CARSTYLE"), 15, QStringLiteral("Car Style:")}});
  // The importer is one of the manufacturers: picked from their table, stored in I_IMPTR.
  auto* importer = controls::boundLookup(group, ds, QStringLiteral("I_IMPTR"), QStringLiteral("fldImptr"), mfgr,
                                         QStringLiteral("I_MFGR"),
                                         ColumnList{{QStringLiteral("I_MFGR"), 15, QStringLiteral("Manufacturer:")},
                                                    {QStringLiteral("MFNAME"), 40, QStringLiteral("Name:")}});
  auto* maker = controls::boundLookup(group, ds, QStringLiteral("I_MFGR"), QStringLiteral("fldMfgr"), mfgr, QStringLiteral("I_MFGR"));
  auto* makerNo = controls::boundEdit(group, ds, QStringLiteral("I_MFGRNO"), QStringLiteral("fldMfgrNo"),
                                      QStringLiteral("Manufacturer Part Number"));

  auto* grid = new QGridLayout(group);
  controls::addLabelled(grid, 0, 0, QStringLiteral("Road:"), fldRepMk_);
  controls::addLabelled(grid, 0, 2, QStringLiteral("Road Number:"), fldRepno_);
  controls::addLabelled(grid, 1, 0, QStringLiteral("Description:"), fldDesc_);
  controls::addLabelled(grid, 1, 2, QStringLiteral("Scale:"), scale);
  controls::addLabelled(grid, 2, 0, QStringLiteral("Category:"), cat);
  controls::addLabelled(grid, 2, 2, QStringLiteral("Classification:"), cls);
  controls::addLabelled(grid, 3, 0, QStringLiteral("Sub-Cat:"), subCat);
  controls::addLabelled(grid, 4, 0, QStringLiteral("Importer:"), importer);
  controls::addLabelled(grid, 4, 2, QStringLiteral("Mfgr No:"), makerNo);
  controls::addLabelled(grid, 5, 0, QStringLiteral("Mfgr:"), maker);
  grid->addWidget(eqType, 0, 4, 6, 1, Qt::AlignTop);
  grid->setColumnStretch(1, 3);
  grid->setColumnStretch(3, 2);

  chain_ << fldRepMk_ << fldRepno_;
  // Tab stops once in the group, at the chosen option; the arrow keys move among them.
  for (int i = 0; i < eqType->count(); ++i) {
    eqType->button(i)->setObjectName(QStringLiteral("fldEqType%1").arg(i));
    chain_ << eqType->button(i);
  }
  chain_ << fldDesc_ << scale << cat << subCat << cls << importer << maker << makerNo;
  return group;
}

QWidget* BasicDataPage::valueGroup(dataset::DataSource* ds, data::TdmMain& dm) {
  auto* group = new QGroupBox(QStringLiteral(" Value / Insurance Information"), this);
  group->setObjectName(QStringLiteral("grpValue"));
  auto* acquired = controls::boundDateEdit(group, ds, QStringLiteral("I_ACQD"), QStringLiteral("fldAcqd"),
                                           QStringLiteral("Date Acquired"));
  auto* cost = controls::boundEdit(group, ds, QStringLiteral("I_COST"), QStringLiteral("fldCost"), QStringLiteral("Purchase Cost"));
  auto* asOf = controls::boundDateEdit(group, ds, QStringLiteral("I_VDATE"), QStringLiteral("fldVDate"), QStringLiteral("As of Date"));
  auto* value = controls::boundEdit(group, ds, QStringLiteral("I_VALUE"), QStringLiteral("fldValue"), QStringLiteral("Current Value"));
  auto* gain = controls::boundDisabledEdit(group, ds, QStringLiteral("I_Gain"), QStringLiteral("fldGain"));
  auto* increase = controls::boundDisabledEdit(group, ds, QStringLiteral("I_Increase"), QStringLiteral("fldIncrease"));
  auto* shop = controls::boundLookup(group, ds, QStringLiteral("R_NAME"), QStringLiteral("fldRName"),
                                     &dm.table(QStringLiteral("tbShops")), QStringLiteral("R_NAME"));

  auto* grid = new QGridLayout(group);
  controls::addLabelled(grid, 0, 0, QStringLiteral("Date Acqd:"), acquired);
  controls::addLabelled(grid, 0, 2, QStringLiteral("Purchase Cost:"), cost);
  controls::addLabelled(grid, 1, 0, QStringLiteral("As Of:"), asOf);
  controls::addLabelled(grid, 1, 2, QStringLiteral("Current Value:"), value);
  controls::addLabelled(grid, 2, 0, QStringLiteral("Gain/Loss:"), gain);
  controls::addLabelled(grid, 2, 2, QStringLiteral("Increase:"), increase);
  grid->addWidget(controls::fieldLabel(group, QStringLiteral("Purch From:"), shop), 3, 0);
  grid->addWidget(shop, 3, 1, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);

  chain_ << acquired << cost << asOf << value << shop;
  return group;
}

QWidget* BasicDataPage::otherGroup(dataset::DataSource* ds, data::TdmMain& dm) {
  auto* group = new QGroupBox(QStringLiteral(" Other Information "), this);
  group->setObjectName(QStringLiteral("grpOther"));
  auto* condition = controls::boundLookup(group, ds, QStringLiteral("I_COND"), QStringLiteral("fldCond"),
                                          &dm.table(QStringLiteral("tbCond")), QStringLiteral("I_COND"),
                                          ColumnList{{QStringLiteral("I_COND"), 12, QStringLiteral("Condition:")},
                                                     {QStringLiteral("CONDESC"), 40, QStringLiteral("Description:")}});
  auto* location = controls::boundLookup(group, ds, QStringLiteral("I_SLOC"), QStringLiteral("fldSloc"),
                                         &dm.table(QStringLiteral("tbSloc")), QStringLiteral("I_SLOC"),
                                         ColumnList{{QStringLiteral("I_SLOC"), 10, QStringLiteral("Location:")},
                                                    {QStringLiteral("LOCATION"), 40, QStringLiteral("Description:")}});
  auto* sold = controls::boundDateEdit(group, ds, QStringLiteral("I_DTSLD"), QStringLiteral("fldDtSld"), QStringLiteral("Date Sold"));

  auto* grid = new QGridLayout(group);
  controls::addLabelled(grid, 0, 0, QStringLiteral("Condition:"), condition);
  controls::addLabelled(grid, 1, 0, QStringLiteral("Storage Location:"), location);
  controls::addLabelled(grid, 2, 0, QStringLiteral("Date Sold:"), sold);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);

  chain_ << condition << location << sold;
  return group;
}

}  // namespace rf::inventory

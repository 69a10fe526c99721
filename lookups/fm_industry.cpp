#include "lookups/fm_industry.h"

#include <QToolButton>

#include "controls/lookup_combo_box.h"
#include "controls/record_view_panel.h"
#include "lookups/db_combo_box.h"

namespace rf::lookups {

namespace {

LookupSettings screenSettings() {
  LookupSettings s;
  s.objectName = QStringLiteral("fmIndustry");
  s.caption = QStringLiteral("Industries");
  s.table = QStringLiteral("tbIndustry");
  s.source = QStringLiteral("dsInductry");
  s.grid = {{QStringLiteral("LOCATION"), 30, QStringLiteral("Industry")},
            {QStringLiteral("CITY"), 25, QStringLiteral("City")},
            {QStringLiteral("STATE"), 2, QStringLiteral("State")},
            {QStringLiteral("CARCAP"), 10, QStringLiteral("Car Capacity")},
            {QStringLiteral("LOCTYPE"), 10, QStringLiteral("Type")},
            {QStringLiteral("DIRECTION"), 10, QStringLiteral("Direction")}};
  s.recordView = s.grid;
  s.size = QSize(646, 422);
  s.recordViewHeight = 185;
  return s;
}

}  // namespace

TfmIndustry::TfmIndustry(data::TdmMain& dm, QWidget* parent) : Tlookup(dm, screenSettings(), parent) {
  controls::RecordViewPanel* view = recordView();
  // The drop-down button comes on top of the characters of the box.
  const int button = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
  auto fitToChars = [](QComboBox* box, int chars) {
    box->setMinimumContentsLength(chars);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setFixedWidth(box->sizeHint().width());
  };

  cboIndType_ = new DbComboBox;
  cboIndType_->setObjectName(QStringLiteral("cboIndType"));
  cboIndType_->addItems({QStringLiteral("Industry"), QStringLiteral("Yard")});
  cboIndType_->setDataSource(&dataSource());
  cboIndType_->setFieldName(QStringLiteral("LOCTYPE"));
  fitToChars(cboIndType_, 10);
  connect(cboIndType_, &DbComboBox::failed, this, &TfmIndustry::showError);

  wwDBComboBox1_ = new DbComboBox;
  wwDBComboBox1_->setObjectName(QStringLiteral("wwDBComboBox1"));
  wwDBComboBox1_->addItems({QStringLiteral("Any"), QStringLiteral("Eastbound"), QStringLiteral("Westbound"),
                            QStringLiteral("Northbound"), QStringLiteral("Southbound")});
  wwDBComboBox1_->setDataSource(&dataSource());
  wwDBComboBox1_->setFieldName(QStringLiteral("DIRECTION"));
  fitToChars(wwDBComboBox1_, 10);
  connect(wwDBComboBox1_, &DbComboBox::failed, this, &TfmIndustry::showError);

  cboTowns_ = new controls::LookupComboBox;
  cboTowns_->setObjectName(QStringLiteral("cboTowns"));
  cboTowns_->setDataSource(&dataSource());
  cboTowns_->setFieldName(QStringLiteral("CITY"));
  cboTowns_->setLookup(&dm.table(QStringLiteral("tbTowns")), QStringLiteral("CITY"),
                       {{QStringLiteral("CITY"), 25, QStringLiteral("City")}});
  cboTowns_->setFixedWidth(view->widthForChars(25) + button);
  connect(cboTowns_, &controls::LookupComboBox::failed, this, &TfmIndustry::showError);

  view->setEditor(QStringLiteral("LOCTYPE"), cboIndType_);
  view->setEditor(QStringLiteral("DIRECTION"), wwDBComboBox1_);
  view->setEditor(QStringLiteral("CITY"), cboTowns_);
  orderTabs();
}

}  // namespace rf::lookups

#include "inventory/equipment_details_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/bound_controls.h"
#include "controls/command_runner.h"
#include "controls/db_edit.h"
#include "controls/lookup_combo_box.h"
#include "controls/memo_dialog.h"

namespace rf::inventory {

namespace {

// A red arrow pointing at a sheet of paper. Drawn rather than loaded, at twice the button's
// size so it stays sharp on dense screens; the icon greys it itself when the button is disabled.
QIcon detailsPicture() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(90, 90, 90), 1.5));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(13.5, 3.5, 16, 25));
  p.setPen(QPen(QColor(110, 110, 160), 1.2));
  for (int y = 9; y <= 24; y += 4) p.drawLine(QPointF(16.5, y), QPointF(26.5, y));
  QPainterPath arrow;
  arrow.moveTo(1, 13);
  arrow.lineTo(8, 13);
  arrow.lineTo(8, 8);
  arrow.lineTo(15, 16);
  arrow.lineTo(8, 24);
  arrow.lineTo(8, 19);
  arrow.lineTo(1, 19);
  arrow.closeSubpath();
  p.setPen(QPen(QColor(120, 0, 0), 1));
  p.setBrush(QColor(220, 20, 20));
  p.drawPath(arrow);
  return QIcon(pixmap);
}

}  // namespace

EquipmentDetailsPage::EquipmentDetailsPage(dataset::DataSource* dsInven, data::TdmMain& dm, QWidget* parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("tsEquipmentDetails"));
  QWidget* equipment = equipmentGroup(dsInven, dm);
  QWidget* user = userGroup(dsInven);

  details_ = new QPushButton(detailsPicture(), QStringLiteral("Details"), this);
  details_->setObjectName(QStringLiteral("BitBtn10"));
  details_->setIconSize(QSize(16, 16));
  details_->setMinimumWidth(90);
  connect(details_, &QPushButton::clicked, this, &EquipmentDetailsPage::BitBtn10Click);
  chain_ << details_;

  memo_ = new controls::MemoDialog(this);
  memo_->setObjectName(QStringLiteral("wwMemoDialog"));
  memo_->setWindowTitle(QStringLiteral("Equipment Details"));
  memo_->setDataSource(dsInven);
  memo_->setFieldName(QStringLiteral("I_DETAIL"));
  memo_->setWordWrap(true);
  memo_->setSizeGripEnabled(true);
  memo_->resize(561, 396);

  QWidget* remarks = remarksGroup(dsInven);

  auto* middle = new QHBoxLayout;
  middle->addWidget(user, 1);
  middle->addWidget(details_, 0, Qt::AlignVCenter);
  middle->addStretch(1);
  auto* page = new QVBoxLayout(this);
  page->addWidget(equipment);
  page->addLayout(middle);
  page->addWidget(remarks);
  page->addStretch(1);
}

void EquipmentDetailsPage::BitBtn10Click() {
  controls::runCommand(window(), [this] { memo_->execute(); });
}

QWidget* EquipmentDetailsPage::equipmentGroup(dataset::DataSource* ds, data::TdmMain& dm) {
  auto* group = new QGroupBox(QStringLiteral(" Equipment Details "), this);
  group->setObjectName(QStringLiteral("grpEquipment"));
  auto* trucks = controls::boundLookup(group, ds, QStringLiteral("I_TRUCKS"), QStringLiteral("fldTrucks"),
                                       &dm.table(QStringLiteral("tbTrucks")), QStringLiteral("I_TRUCKS"));
  auto* couplers = controls::boundLookup(group, ds, QStringLiteral("I_COUPLER"), QStringLiteral("fldCoupler"),
                                         &dm.table(QStringLiteral("tbCouplers")), QStringLiteral("I_COUPLER"));
  auto* paint = controls::boundEdit(group, ds, QStringLiteral("I_PAINT"), QStringLiteral("fldPaint"));
  auto* weight = controls::boundEdit(group, ds, QStringLiteral("I_WEIGHT"), QStringLiteral("fldWeight"));
  auto* length = controls::boundEdit(group, ds, QStringLiteral("I_LENGTH"), QStringLiteral("fldLength"));
  auto* channel = controls::boundEdit(group, ds, QStringLiteral("I_LocoChan"), QStringLiteral("fldLocoChan"));

  auto* grid = new QGridLayout(group);
  controls::addLabelled(grid, 0, 0, QStringLiteral("Trucks:"), trucks);
  controls::addLabelled(grid, 0, 2, QStringLiteral("Weight:"), weight);
  controls::addLabelled(grid, 1, 0, QStringLiteral("Couplers:"), couplers);
  controls::addLabelled(grid, 1, 2, QStringLiteral("Length:"), length);
  controls::addLabelled(grid, 1, 4, QStringLiteral("Locomotive Channel:"), channel);
  controls::addLabelled(grid, 2, 0, QStringLiteral("Paint:"), paint);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(3, 1);
  grid->setColumnStretch(5, 1);

  chain_ << trucks << couplers << paint << weight << length << channel;
  return group;
}

QWidget* EquipmentDetailsPage::userGroup(dataset::DataSource* ds) {
  auto* group = new QGroupBox(QStringLiteral(" User defined Fields "), this);
  group->setObjectName(QStringLiteral("grpUser"));
  auto* user1 = controls::boundEdit(group, ds, QStringLiteral("I_USER1"), QStringLiteral("fldUser1"));
  auto* user2 = controls::boundEdit(group, ds, QStringLiteral("I_USER2"), QStringLiteral("fldUser2"));
  auto* flag1 = controls::boundEdit(group, ds, QStringLiteral("I_FLAG1"), QStringLiteral("fldFlag1"));
  auto* flag2 = controls::boundEdit(group, ds, QStringLiteral("I_FLAG2"), QStringLiteral("fldFlag2"));
  // Room for their one character.
  flag1->setFixedWidth(25);
  flag2->setFixedWidth(25);

  auto* grid = new QGridLayout(group);
  controls::addLabelled(grid, 0, 0, QStringLiteral("User 1:"), user1);
  controls::addLabelled(grid, 0, 2, QStringLiteral("Flag 1:"), flag1);
  controls::addLabelled(grid, 1, 0, QStringLiteral("User 2:"), user2);
  controls::addLabelled(grid, 1, 2, QStringLiteral("Flag 2:"), flag2);
  grid->setColumnStretch(1, 1);

  chain_ << user1 << user2 << flag1 << flag2;
  return group;
}

QWidget* EquipmentDetailsPage::remarksGroup(dataset::DataSource* ds) {
  auto* group = new QGroupBox(QStringLiteral(" Remarks "), this);
  group->setObjectName(QStringLiteral("grpRemarks"));
  auto* column = new QVBoxLayout(group);
  QList<QWidget*> lines;
  for (int i = 1; i <= 3; ++i) {
    auto* line = controls::boundEdit(group, ds, QStringLiteral("I_RMK%1").arg(i), QStringLiteral("fldRmk%1").arg(i));
    column->addWidget(line);
    lines << line;
  }
  // The remarks are visited from the bottom line up.
  for (auto it = lines.crbegin(); it != lines.crend(); ++it) chain_ << *it;
  return group;
}

}  // namespace rf::inventory

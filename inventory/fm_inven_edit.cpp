#include "inventory/fm_inven_edit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/bound_controls.h"
#include "controls/command_runner.h"
#include "controls/db_edit.h"
#include "controls/lookup_combo_box.h"
#include "controls/record_navigator.h"
#include "controls/window_placement.h"
#include "inventory/basic_data_page.h"
#include "inventory/equipment_details_page.h"
#include "inventory/inventory_navigator.h"
#include "inventory/photo_page.h"
#include "operations/car_cards_page.h"
#include "operations/waybills_page.h"

namespace rf::inventory {

using controls::NavButton;

namespace {

// Where the three large labels of the header start, from the left.
constexpr int kDescLeft = 160;
constexpr int kRoadLeft = 480;
constexpr int kRoadNoLeft = 588;
constexpr int kHeaderGap = 8;

}  // namespace

const std::vector<controls::ScreenButton>& TfmInvenEdit::lookupButtons() {
  static const std::vector<controls::ScreenButton> buttons = {
      {"BitBtn1", "Railroads", "fmAbbrev"},         {"btnCategory", "Category", "fmCat"},
      {"btnClassification", "Classification", "fmClass"}, {"btnCondition", "Condition", "fmCond"},
      {"BitBtn5", "Couplers", "fmCouplers"},        {"btnMfgr", "Manufacturer", "fmMfgr"},
      {"btnScale", "Scale", "fmScale"},             {"bntnSLoc", "Storage Loc", "fmSloc"},
      {"btnTrucks", "Trucks", "fmTrucks"},
  };
  return buttons;
}

TfmInvenEdit::TfmInvenEdit(TfmInvenBrw& browse, data::TdmMain& dm, QWidget* parent)
    : QWidget(parent, Qt::Window), browse_(browse), dm_(dm) {
  setObjectName(QStringLiteral("fmInvenEdit"));
  setWindowTitle(QStringLiteral("Model Railroad Inventory Edit"));
  resize(697, 495);

  QWidget* strip = navigatorStrip();
  QWidget* head = header();

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  basic_ = new BasicDataPage(&browse_.dsInven(), dm_, pages_);
  equipment_ = new EquipmentDetailsPage(&browse_.dsInven(), dm_, pages_);
  pages_->addTab(basic_, QStringLiteral("Basic Data "));
  pages_->addTab(equipment_, QStringLiteral(" Equipment Details "));
  photo_ = new PhotoPage(&browse_.dsInven(), pages_);
  photo_->setObjectName(QStringLiteral("tsModelPhoto"));
  pages_->addTab(photo_, QStringLiteral(" Model Photo "));
  carCards_ = new operations::CarCardsPage(&browse_.dsInven(), pages_);
  pages_->addTab(carCards_, QStringLiteral(" Car Cards "));
  waybills_ = new operations::WaybillsPage(&browse_.dsWaybill(), dm_, pages_);
  pages_->addTab(waybills_, QStringLiteral(" Waybills "));
  pages_->setCurrentIndex(0);

  QWidget* row = lookupRow();

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(strip);
  column->addWidget(head);
  column->addWidget(pages_, 1);
  column->addWidget(row);

  // The header follows the record: on every change of the three controls' text (another record,
  // a pick) and, since typed text reaches the field only when it is written, on every change of
  // the record's data too.
  connect(basic_->fldDesc(), &QLineEdit::textChanged, this, &TfmInvenEdit::fldDescChange);
  connect(basic_->fldRepMk(), &controls::LookupComboBox::textChanged, this, &TfmInvenEdit::fldRepMkChange);
  connect(basic_->fldRepno(), &QLineEdit::textChanged, this, &TfmInvenEdit::fldRepnoChange);
  auto all = [this] {
    fldDescChange();
    fldRepMkChange();
    fldRepnoChange();
  };
  dataset::DataSource* ds = &browse_.dsInven();
  connect(ds, &dataset::DataSource::dataChanged, this, all);
  connect(ds, &dataset::DataSource::recordChanged, this, all);
  connect(ds, &dataset::DataSource::datasetChanged, this, all);
  all();

  chainTabOrder();
}

void TfmInvenEdit::setShowScreen(ShowScreen show) {
  showScreen_ = show;
  waybills_->setShowScreen(std::move(show));
}

QWidget* TfmInvenEdit::navigatorStrip() {
  auto* strip = new QWidget(this);
  strip->setObjectName(QStringLiteral("pnlNavigator"));
  strip->setFixedHeight(40);
  navigator_ = makeInventoryNavigator(strip, QSize(33, 33));
  navigator_->setDataSource(&browse_.dsInven());
  connect(navigator_, &controls::RecordNavigator::failed, this,
          [this](const QString& message) { controls::showError(this, message); });
  // One filter dialog for both screens: the filter narrows the shared table.
  connect(navigator_, &controls::RecordNavigator::filterRequested, &browse_, &TfmInvenBrw::showFilterDialog);
  connect(navigator_, &controls::RecordNavigator::closeRequested, this, &TfmInvenEdit::wwDBNavigator1CloseClick);
  // Rows came or went, or others changed the table: the browse screen's list is read afresh.
  connect(navigator_, &controls::RecordNavigator::clicked, this, [this](NavButton b) {
    if (b == NavButton::Refresh || b == NavButton::Insert || b == NavButton::Delete) browse_.reloadGrid();
  });
  auto* row = new QHBoxLayout(strip);
  row->setContentsMargins(4, 3, 4, 3);
  row->addWidget(navigator_);
  row->addStretch(1);
  return strip;
}

QWidget* TfmInvenEdit::header() {
  auto* head = new QWidget(this);
  head->setObjectName(QStringLiteral("pnlHeader"));
  head->setFixedHeight(41);
  fldAsset_ = controls::boundEdit(head, &browse_.dsInven(), QStringLiteral("I_ASSET"), QStringLiteral("fldAsset"));
  fldAsset_->setFixedWidth(65);
  auto* label = new QLabel(QStringLiteral("Asset No:"), head);
  label->setBuddy(fldAsset_);
  label->adjustSize();
  label->move(8, (41 - label->height()) / 2);
  fldAsset_->move(label->x() + label->width() + 6, (41 - fldAsset_->sizeHint().height()) / 2);
  fldAsset_->resize(65, fldAsset_->sizeHint().height());

  QFont big = font();
  big.setPixelSize(21);
  big.setBold(true);
  auto makeLabel = [&](const char* name, int left) {
    auto* l = new QLabel(head);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(big);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    l->setPalette(palette);
    l->move(left, (41 - l->fontMetrics().height()) / 2);
    return l;
  };
  lblDesc_ = makeLabel("lblDesc", kDescLeft);
  lblRoad_ = makeLabel("lblRoad", kRoadLeft);
  lblRoadNo_ = makeLabel("lblRoadNo", kRoadNoLeft);
  return head;
}

QWidget* TfmInvenEdit::lookupRow() {
  auto* rowWidget = new QWidget(this);
  rowWidget->setObjectName(QStringLiteral("pnlLookups"));
  rowWidget->setFixedHeight(40);
  auto* row = new QHBoxLayout(rowWidget);
  row->setContentsMargins(4, 0, 4, 0);
  row->setSpacing(4);
  lookupButtons_ = controls::makeScreenButtons(rowWidget, lookupButtons(), showScreen_);
  for (QPushButton* button : lookupButtons_) {
    // 72 by 25, or as wide as the caption needs in the font of the day.
    button->setFixedSize(std::max(72, button->fontMetrics().horizontalAdvance(button->text()) + 12), 25);
    row->addWidget(button);
  }
  row->addStretch(1);
  return rowWidget;
}

void TfmInvenEdit::chainTabOrder() {
  QList<QWidget*> chain;
  chain << fldAsset_ << pages_->tabBar();
  chain << basic_->tabChain() << equipment_->tabChain();
  for (QWidget* w : photo_->findChildren<QWidget*>())
    if (w->focusPolicy() & Qt::TabFocus) chain << w;
  chain << carCards_->tabChain() << waybills_->tabChain();
  for (QPushButton* b : lookupButtons_) chain << b;
  for (qsizetype i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TfmInvenEdit::fldDescChange() { mirror(lblDesc_, QStringLiteral("I_DESC"), kRoadLeft - kHeaderGap); }
void TfmInvenEdit::fldRepMkChange() { mirror(lblRoad_, QStringLiteral("I_REPMK"), kRoadNoLeft - kHeaderGap); }
void TfmInvenEdit::fldRepnoChange() { mirror(lblRoadNo_, QStringLiteral("I_REPNO"), -1); }

void TfmInvenEdit::mirror(QLabel* label, const QString& field, int right) {
  if (!label) return;
  dataset::Dataset* ds = browse_.dsInven().dataset();
  dataset::Field* f = ds && ds->isOpen() ? ds->findField(field) : nullptr;
  const QString text = f ? f->asText().trimmed() : QString();
  // Sized to its text, but never over the next label: a long text is cut with an ellipsis.
  label->setText(right > 0 ? label->fontMetrics().elidedText(text, Qt::ElideRight, std::max(right - label->x(), 0)) : text);
  label->adjustSize();
}

void TfmInvenEdit::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Centred the first time; afterwards where the user left it.
  if (!placed_) {
    placed_ = true;
    controls::centreOnScreen(*this);
  }
}

}  // namespace rf::inventory

#include "lookups/lookup_screen.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

#include "controls/command_runner.h"
#include "controls/db_grid.h"
#include "controls/record_navigator.h"
#include "controls/window_placement.h"
#include "controls/record_view_panel.h"
#include "pictures/pictures.h"

namespace rf::lookups {

using controls::NavButton;

namespace {

constexpr int kStripHeight = 41;
constexpr int kButtonSize = 33;

}  // namespace

Tlookup::Tlookup(data::TdmMain& dm, LookupSettings settings, QWidget* parent)
    : QWidget(parent, Qt::Window), settings_(std::move(settings)) {
  setObjectName(settings_.objectName);
  setWindowTitle(settings_.caption);
  table_ = &dm.table(settings_.table);
  source_ = &dm.source(settings_.source);
  resize(settings_.size);

  auto* strip = new QWidget(this);
  strip->setObjectName(QStringLiteral("pnlNavigator"));
  strip->setFixedHeight(kStripHeight);
  navigator_ = new controls::RecordNavigator(strip);
  navigator_->setObjectName(QStringLiteral("wwDBNavigator1"));
  navigator_->setButtons({NavButton::First, NavButton::Prior, NavButton::Next, NavButton::Last, NavButton::Insert,
                          NavButton::Edit, NavButton::Cancel, NavButton::Delete, NavButton::Post, NavButton::Refresh,
                          NavButton::Close});
  navigator_->button(NavButton::Close)->setIcon(pictures::picture(QStringLiteral("close_door_red.svg")));
  for (NavButton b : navigator_->buttons()) {
    QToolButton* w = navigator_->button(b);
    w->setFixedSize(kButtonSize, kButtonSize);
    w->setIconSize(QSize(18, 18));
  }
  navigator_->setDataSource(source_);
  connect(navigator_, &controls::RecordNavigator::failed, this, &Tlookup::showError);
  connect(navigator_, &controls::RecordNavigator::closeRequested, this, &Tlookup::wwDBNavigator1CloseClick);
  connect(navigator_, &controls::RecordNavigator::clicked, this, [this](NavButton b) {
    // The grid reads the rows afresh, so it shows what other programs changed.
    if (b == NavButton::Refresh) grid_->reload();
  });
  auto* stripRow = new QHBoxLayout(strip);
  stripRow->setContentsMargins(4, 4, 4, 4);
  stripRow->addWidget(navigator_);
  stripRow->addStretch(1);

  recordView_ = new controls::RecordViewPanel(this);
  recordView_->setObjectName(QStringLiteral("wwRecordViewPanel1"));
  recordView_->setArrangement(settings_.arrangement);
  recordView_->setColumns(settings_.recordView.empty() ? settings_.grid : settings_.recordView);
  recordView_->setDataSource(source_);
  connect(recordView_, &controls::RecordViewPanel::failed, this, &Tlookup::showError);

  grid_ = new controls::DbGrid(this);
  grid_->setObjectName(QStringLiteral("wwDBGrid1"));
  grid_->setDataSource(source_, settings_.grid);
  grid_->useScreenLook();
  connect(grid_, &controls::DbGrid::failed, this, &Tlookup::showError);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(strip);
  if (settings_.gridHeight > 0) {
    column->addWidget(recordView_, 1);
    grid_->setFixedHeight(settings_.gridHeight);
    column->addWidget(grid_);
  } else {
    recordView_->setFixedHeight(settings_.recordViewHeight);
    column->addWidget(recordView_);
    column->addWidget(grid_, 1);
  }

  orderTabs();

}

Tlookup::~Tlookup() {
  // The views let go of the shared table before the data module closes it.
  delete grid_;
  delete recordView_;
  delete navigator_;
}

void Tlookup::wwDBNavigator1CloseClick() { close(); }

void Tlookup::orderTabs() {
  const QList<QWidget*> editors = recordView_->editors();
  if (editors.isEmpty()) return;
  QWidget::setTabOrder(grid_, editors.front());
  for (qsizetype i = 1; i < editors.size(); ++i) QWidget::setTabOrder(editors[i - 1], editors[i]);
}

void Tlookup::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Centred on the screen the first time; afterwards where the user left it.
  if (!placed_) {
    placed_ = true;
    controls::centreOnScreen(*this);
  }
}

void Tlookup::showError(const QString& message) { controls::showError(this, message); }

}  // namespace rf::lookups

#include "controls/record_navigator.h"

#include <QHBoxLayout>
#include <QToolButton>

#include "controls/ok_cancel_question.h"
#include "tables/error.h"

namespace rf::controls {

using dataset::Dataset;
using dataset::DataSource;
using dataset::DatasetState;

RecordNavigator::RecordNavigator(QWidget* parent)
    : QWidget(parent), layout_(new QHBoxLayout(this)), confirm_(askOkCancel) {
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
  setButtons(std::vector<NavButton>(kAllNavButtons.begin(), kAllNavButtons.end()));
}

void RecordNavigator::setDataSource(DataSource* source) {
  for (auto& c : connections_) disconnect(c);
  connections_.clear();
  source_ = source;
  saved_.clear();
  if (source_) {
    auto update = [this] { updateButtons(); };
    connections_.push_back(connect(source_, &DataSource::stateChanged, this, update));
    connections_.push_back(connect(source_, &DataSource::recordChanged, this, update));
    connections_.push_back(connect(source_, &DataSource::datasetChanged, this, update));
    connections_.push_back(connect(source_, &DataSource::dataChanged, this, update));
  }
  updateButtons();
}

void RecordNavigator::setButtons(const std::vector<NavButton>& buttons) {
  for (auto& [b, w] : shown_) delete w;
  shown_.clear();
  order_.clear();
  for (NavButton b : buttons) {
    if (shown_.count(b)) continue;  // each button once
    auto* w = new QToolButton(this);
    w->setObjectName(QStringLiteral("nav") + navButtonName(b));
    w->setIcon(navButtonIcon(b));
    w->setStatusTip(navButtonHint(b));
    w->setToolTip(showHints_ ? navButtonHint(b) : QString());
    w->setFocusPolicy(Qt::NoFocus);
    if (isMoveButton(b)) {
      w->setAutoRepeat(true);
      w->setAutoRepeatDelay(kRepeatDelayMs);
      w->setAutoRepeatInterval(kRepeatIntervalMs);
    }
    connect(w, &QToolButton::clicked, this, [this, b] { perform(b); });
    layout_->addWidget(w);
    shown_[b] = w;
    order_.push_back(b);
  }
  updateButtons();
}

QToolButton* RecordNavigator::button(NavButton b) const {
  auto it = shown_.find(b);
  return it == shown_.end() ? nullptr : it->second;
}

QToolButton* RecordNavigator::addCustomButton(const QString& objectName, const QIcon& icon, const QString& hint,
                                              std::optional<NavButton> before) {
  auto* w = new QToolButton(this);
  w->setObjectName(objectName);
  w->setIcon(icon);
  w->setStatusTip(hint);
  w->setToolTip(showHints_ ? hint : QString());
  w->setFocusPolicy(Qt::NoFocus);
  QToolButton* next = before ? button(*before) : nullptr;
  layout_->insertWidget(next ? layout_->indexOf(next) : layout_->count(), w);
  return w;
}

void RecordNavigator::setShowHints(bool on) {
  showHints_ = on;
  for (auto& [b, w] : shown_) w->setToolTip(on ? navButtonHint(b) : QString());
}

bool RecordNavigator::allowed(NavButton b) const {
  if (b == NavButton::Close) return true;
  Dataset* ds = source_ ? source_->dataset() : nullptr;
  if (!ds || !ds->isOpen()) return false;
  const bool editing = ds->state() == DatasetState::Edit || ds->state() == DatasetState::Insert;
  switch (b) {
    case NavButton::First:
    case NavButton::Prior: return !ds->bof();
    case NavButton::Next:
    case NavButton::Last: return !ds->eof();
    case NavButton::Insert: return true;
    case NavButton::Edit: return !editing;
    case NavButton::Post:
    case NavButton::Cancel: return editing;
    case NavButton::Delete: return !ds->isEmpty();
    case NavButton::Bookmark: return !ds->isEmpty();
    case NavButton::GotoBookmark: return !saved_.empty();
    case NavButton::Refresh: return true;  // a pending change is posted first
    case NavButton::Filter: return true;
    case NavButton::Close: return true;
  }
  return false;
}

void RecordNavigator::updateButtons() {
  for (auto& [b, w] : shown_) {
    const bool on = allowed(b);
    w->setEnabled(on);
    // A held move button that greys (at the end of the table) stops repeating.
    if (!on && w->isDown()) w->setDown(false);
  }
}

void RecordNavigator::perform(NavButton b) {
  if (!allowed(b)) return;
  try {
    run(b);
  } catch (const std::exception& e) {
    // Any refusal (the engine's, or a field's conversion) ends the command; none may cross Qt's
    // event loop.
    updateButtons();
    emit failed(QString::fromStdString(e.what()));
    return;
  }
  updateButtons();
  emit clicked(b);
}

void RecordNavigator::run(NavButton b) {
  Dataset* ds = source_ ? source_->dataset() : nullptr;
  switch (b) {
    case NavButton::First: ds->first(); break;
    case NavButton::Prior: ds->prior(); break;
    case NavButton::Next: ds->next(); break;
    case NavButton::Last: ds->last(); break;
    case NavButton::Insert: ds->insert(); break;
    case NavButton::Edit: ds->edit(); break;
    case NavButton::Cancel: ds->cancel(); break;
    case NavButton::Post: ds->post(); break;
    case NavButton::Delete:
      if (confirm_(this, kDeleteQuestion)) ds->remove();
      break;
    case NavButton::Bookmark: saved_ = ds->bookmark(); break;
    case NavButton::GotoBookmark:
      // A bookmark whose record is gone is dropped without a word.
      if (!ds->gotoBookmark(saved_)) saved_.clear();
      break;
    case NavButton::Refresh: ds->refresh(); break;
    case NavButton::Filter: emit filterRequested(); break;
    case NavButton::Close: emit closeRequested(); break;
  }
}

}  // namespace rf::controls

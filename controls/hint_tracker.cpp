#include "controls/hint_tracker.h"

#include <QAction>
#include <QActionEvent>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QWidget>

namespace rf::controls {

QString longHint(const QString& hint) {
  const qsizetype bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.mid(bar + 1);
}

QString shortHint(const QString& hint) {
  const qsizetype bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.left(bar);
}

void applyHint(QWidget* widget, const QString& hint, bool toolTip) {
  widget->setStatusTip(hint);
  widget->setToolTip(toolTip ? shortHint(hint) : QString());
}

HintTracker::HintTracker(QObject* parent) : QObject(parent) {
  if (!qApp) return;
  qApp->installEventFilter(this);
  // Actions added later are seen as they arrive (ActionAdded); these were there before.
  const auto widgets = QApplication::allWidgets();
  for (QWidget* w : widgets)
    for (QAction* a : w->actions()) watchAction(a);
}

HintTracker::~HintTracker() {
  if (qApp) qApp->removeEventFilter(this);
}

void HintTracker::watchAction(QAction* action) {
  connect(action, &QAction::hovered, this, &HintTracker::actionHovered, Qt::UniqueConnection);
  connect(action, &QObject::destroyed, this, &HintTracker::forget, Qt::UniqueConnection);
}

void HintTracker::actionHovered() {
  action_ = qobject_cast<QAction*>(sender());
  update();
}

namespace {

bool containsOrIs(const QObject* outer, const QWidget* w) {
  for (; w; w = w->isWindow() ? nullptr : w->parentWidget())
    if (w == outer) return true;
  return false;
}

}  // namespace

bool HintTracker::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Enter:
      if (auto* w = qobject_cast<QWidget*>(watched)) {
        underPointer_ = w;
        connect(w, &QObject::destroyed, this, &HintTracker::forget, Qt::UniqueConnection);
        action_ = nullptr;
        update();
      }
      break;
    case QEvent::Leave:
    case QEvent::Hide:
      // Qt sends Leave from the innermost widget outwards, so the pointer is now in the parent
      // (until an Enter says otherwise); a widget hidden under the pointer counts as left.
      if (auto* w = qobject_cast<QWidget*>(watched)) {
        const bool menuClosed = event->type() == QEvent::Hide && qobject_cast<QMenu*>(w);
        if (event->type() == QEvent::Leave || menuClosed) action_ = nullptr;
        if (containsOrIs(w, underPointer_)) underPointer_ = w->isWindow() ? nullptr : w->parentWidget();
        update();
      }
      break;
    case QEvent::ActionAdded:
      if (auto* a = static_cast<QActionEvent*>(event)->action()) watchAction(a);
      break;
    case QEvent::StatusTip:
      // Qt's own status tips would put the raw "Short|Long" text into a main window's status
      // bar beside the tracker's; the tracker alone speaks.
      return true;
    default:
      break;
  }
  return false;
}

void HintTracker::forget(QObject* gone) {
  // A widget announces its end before its children go and before pointers to it are cleared, so
  // the pointers are compared here; the widget, or the one around it, is no place to rest.
  if (action_ == gone) action_ = nullptr;
  if (containsOrIs(gone, underPointer_)) underPointer_ = nullptr;
  update();
}

QString HintTracker::widgetHint() const {
  for (const QWidget* w = underPointer_; w; w = w->isWindow() ? nullptr : w->parentWidget())
    if (!w->statusTip().isEmpty()) return longHint(w->statusTip());
  return {};
}

void HintTracker::update() {
  const QString text = action_ ? longHint(action_->statusTip()) : widgetHint();
  if (text == shown_) return;
  shown_ = text;
  emit hintChanged(shown_);
}

}  // namespace rf::controls

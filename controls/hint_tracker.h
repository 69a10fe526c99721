#pragma once
// The application's hint line. A control's hint is its statusTip, in the old platform's form
// "Short|Long": the short part was the tooltip, the long part the status line text; a hint
// without "|" is both. The tracker watches every widget of every top-level window (dialogs and
// pick lists too, which Qt's own status tips never reach from the main window) and every action
// (menu items, tool buttons), and announces the long part of the hint under the pointer or of
// the highlighted menu item; the main window shows it in its status line.
//
// Tooltips are no business of the tracker: no control shows one unless its screen sets it (the
// record navigator's setShowHints, or applyHint below).

#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QWidget;

namespace rf::controls {

// "Short|Long" -> "Long"; a hint without "|" is returned whole.
QString longHint(const QString& hint);
// "Short|Long" -> "Short"; a hint without "|" is returned whole.
QString shortHint(const QString& hint);
// Gives the control its hint; with `toolTip`, its short part becomes the tooltip as well.
void applyHint(QWidget* widget, const QString& hint, bool toolTip = false);

class HintTracker : public QObject {
  Q_OBJECT

 public:
  // Installs itself as an event filter of the running QApplication (one per application).
  explicit HintTracker(QObject* parent = nullptr);
  ~HintTracker() override;

  // The long part of the hint shown now (empty when none).
  QString hint() const { return shown_; }

 signals:
  void hintChanged(const QString& hint);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void watchAction(QAction* action);
  void actionHovered();
  void forget(QObject* gone);
  // The hint of the widget under the pointer: its own or that of the nearest enclosing control
  // in its window that has one (an editable combo box's inner line edit shows the box's).
  QString widgetHint() const;
  void update();

  QPointer<QWidget> underPointer_;
  // A hovered or highlighted action outranks the widget until the pointer moves to a widget
  // again or its menu closes.
  QPointer<QAction> action_;
  QString shown_;
};

}  // namespace rf::controls

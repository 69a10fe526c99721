#pragma once
// The Edit menu's Cut, Copy and Paste: they act on the text control (line edit, memo) that has
// the keyboard focus in the active window, and are enabled only when they have something to act
// on: selected text for Cut and Copy, text on the clipboard for Paste.

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QWidget;

namespace rf::app {

class ClipboardCommands : public QObject {
  Q_OBJECT

 public:
  // Adds CutItem, CopyItem and PasteItem to `menu`.
  ClipboardCommands(QMenu* menu, QObject* parent = nullptr);

  QAction* cut() const { return cut_; }
  QAction* copy() const { return copy_; }
  QAction* paste() const { return paste_; }

  // The focused text control, or null.
  static QWidget* target();

 public slots:
  void update();

 private:
  void focusMoved(QWidget* old, QWidget* now);

  QAction* cut_;
  QAction* copy_;
  QAction* paste_;
  QPointer<QWidget> watched_;
  QMetaObject::Connection selection_;
};

}  // namespace rf::app

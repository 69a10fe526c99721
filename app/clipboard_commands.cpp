#include "app/clipboard_commands.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "pictures/pictures.h"

namespace rf::app {

using pictures::picture;

namespace {

bool hasSelection(QWidget* w) {
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->hasSelectedText() && e->echoMode() == QLineEdit::Normal;
  if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return e->textCursor().hasSelection();
  if (auto* e = qobject_cast<QTextEdit*>(w)) return e->textCursor().hasSelection();
  return false;
}

bool isReadOnly(QWidget* w) {
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->isReadOnly();
  if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return e->isReadOnly();
  if (auto* e = qobject_cast<QTextEdit*>(w)) return e->isReadOnly();
  return true;
}

template <typename F>
void act(F&& f) {
  QWidget* w = ClipboardCommands::target();
  if (!w) return;
  if (auto* e = qobject_cast<QLineEdit*>(w)) f(e);
  else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) f(p);
  else if (auto* t = qobject_cast<QTextEdit*>(w)) f(t);
}

}  // namespace

QWidget* ClipboardCommands::target() {
  QWidget* w = QApplication::focusWidget();
  if (!w) return nullptr;
  if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w)) return w;
  return nullptr;
}

ClipboardCommands::ClipboardCommands(QMenu* menu, QObject* parent) : QObject(parent) {
  auto make = [menu](const char* name, const QString& caption, QKeySequence::StandardKey key, const char* pic,
                     const QString& hint) {
    auto* a = new QAction(picture(QString::fromLatin1(pic)), caption, menu);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    // The keys work in every screen; a focused text control takes them first on its own.
    a->setShortcutContext(Qt::ApplicationShortcut);
    a->setStatusTip(hint);
    menu->addAction(a);
    return a;
  };
  cut_ = make("CutItem", QStringLiteral("Cu&t"), QKeySequence::Cut, "scissors.svg",
              QStringLiteral("Cut|Cuts the selection and puts it on the Clipboard"));
  copy_ = make("CopyItem", QStringLiteral("&Copy"), QKeySequence::Copy, "copy.svg",
               QStringLiteral("Copy|Copies the selection and puts it on the Clipboard"));
  paste_ = make("PasteItem", QStringLiteral("&Paste"), QKeySequence::Paste, "paste.svg",
                QStringLiteral("Paste|Inserts Clipboard contents"));
  connect(cut_, &QAction::triggered, this, [] { act([](auto* e) { e->cut(); }); });
  connect(copy_, &QAction::triggered, this, [] { act([](auto* e) { e->copy(); }); });
  connect(paste_, &QAction::triggered, this, [] { act([](auto* e) { e->paste(); }); });
  connect(qApp, &QApplication::focusChanged, this, &ClipboardCommands::focusMoved);
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &ClipboardCommands::update);
  // The menu is also brought up to date when it opens, so a selection made by any means counts.
  connect(menu, &QMenu::aboutToShow, this, &ClipboardCommands::update);
  update();
}

void ClipboardCommands::focusMoved(QWidget*, QWidget*) {
  disconnect(selection_);
  watched_ = target();
  if (auto* e = qobject_cast<QLineEdit*>(watched_.data()))
    selection_ = connect(e, &QLineEdit::selectionChanged, this, &ClipboardCommands::update);
  else if (auto* p = qobject_cast<QPlainTextEdit*>(watched_.data()))
    selection_ = connect(p, &QPlainTextEdit::selectionChanged, this, &ClipboardCommands::update);
  else if (auto* t = qobject_cast<QTextEdit*>(watched_.data()))
    selection_ = connect(t, &QTextEdit::selectionChanged, this, &ClipboardCommands::update);
  update();
}

void ClipboardCommands::update() {
  QWidget* w = target();
  const bool selected = w && hasSelection(w);
  cut_->setEnabled(selected && !isReadOnly(w));
  copy_->setEnabled(selected);
  paste_->setEnabled(w && !isReadOnly(w) && !QApplication::clipboard()->text().isEmpty());
}

}  // namespace rf::app

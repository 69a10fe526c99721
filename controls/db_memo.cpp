#include "controls/db_memo.h"

#include <QKeyEvent>
#include <exception>

namespace rf::controls {

DbMemo::DbMemo(QWidget* parent) : QPlainTextEdit(parent) {
  // Line breaks are stored as the Windows programs that share these files write them (CR LF);
  // the box itself works with LF.
  link_.setWriter([this](dataset::Field& f) { f.setMemo(toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"))); });
  // Tab goes on to the next control, as in the rest of a screen; a memo takes no tab characters.
  setTabChangesFocus(true);
  connect(&link_, &FieldLink::refresh, this, &DbMemo::showField);
  connect(this, &QPlainTextEdit::textChanged, this, &DbMemo::changed);
  showField();
}

void DbMemo::showField() {
  dataset::Field* f = link_.field();
  showing_ = true;
  QString text = f ? f->asMemo() : QString();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  setPlainText(text);
  showing_ = false;
  setReadOnly(!link_.canModify());
}

void DbMemo::changed() {
  if (showing_ || link_.modified()) return;
  try {
    link_.edit();
  } catch (const std::exception& e) {
    // The record could not be edited (gone, locked): what was typed is dropped at the next
    // refresh, since the link never writes into a record that is not editing.
    emit failed(QString::fromUtf8(e.what()));
    return;
  }
  link_.setModified(true);
}

void DbMemo::focusOutEvent(QFocusEvent* event) {
  try {
    link_.updateRecord();
  } catch (const std::exception& e) {
    emit failed(QString::fromUtf8(e.what()));
  }
  QPlainTextEdit::focusOutEvent(event);
}

void DbMemo::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && link_.modified()) {
    link_.reset();
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

}  // namespace rf::controls

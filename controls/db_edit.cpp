#include "controls/db_edit.h"

#include <QKeyEvent>
#include <QLocale>
#include <exception>

namespace rf::controls {

DbEdit::DbEdit(QWidget* parent) : QLineEdit(parent) {
  link_.setWriter([this](dataset::Field& f) { write(f); });
  connect(&link_, &FieldLink::refresh, this, &DbEdit::showField);
  connect(this, &QLineEdit::textEdited, this, &DbEdit::typed);
  connect(this, &QLineEdit::editingFinished, this, &DbEdit::commit);
  showField();
}

void DbEdit::showField() {
  dataset::Field* f = link_.field();
  // QLineEdit's own limit when the field has no width of characters.
  constexpr int kUnlimited = 32767;
  setMaxLength(f && f->type() == tables::FieldType::Text && f->width() > 0 ? f->width() : kUnlimited);
  setText(f ? shownText(*f) : QString());
  setCursorPosition(0);
}

QString DbEdit::shownText(const dataset::Field& f) const {
  // Money reads in the system's currency format while nobody types in the box; typing starts
  // from the plain number, which is what the field takes back.
  if (f.type() == tables::FieldType::Money && !hasFocus() && !f.isNull()) return QLocale().toCurrencyString(f.asNumber());
  return f.asText();
}

void DbEdit::focusInEvent(QFocusEvent* event) {
  if (!link_.modified()) showField();
  QLineEdit::focusInEvent(event);
}

void DbEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);  // commits what was typed
  if (!link_.modified() && !hasFocus()) showField();
}

void DbEdit::typed() {
  try {
    if (!link_.edit()) {
      // Nothing may change (no field, read-only, or a browsing record without auto-edit).
      showField();
      return;
    }
  } catch (const std::exception& e) {
    showField();
    emit failed(QString::fromUtf8(e.what()));
    return;
  }
  link_.setModified(true);
}

void DbEdit::commit() {
  try {
    link_.updateRecord();
  } catch (const std::exception& e) {
    emit failed(QString::fromUtf8(e.what()));
  }
}

void DbEdit::write(dataset::Field& field) {
  try {
    field.setText(text());
  } catch (...) {
    // The user corrects the text where it is.
    setFocus(Qt::OtherFocusReason);
    selectAll();
    throw;
  }
}

void DbEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && link_.modified()) {
    link_.reset();
    selectAll();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

DbDisabledEdit::DbDisabledEdit(QWidget* parent) : DbEdit(parent) {
  link().setReadOnly(true);
  setReadOnly(true);
  setEnabled(false);
  setFocusPolicy(Qt::NoFocus);
}

}  // namespace rf::controls

#include "lookups/db_combo_box.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <exception>

namespace rf::lookups {

DbComboBox::DbComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  // Typed text is the field's value, not a new item of the list.
  setInsertPolicy(QComboBox::NoInsert);
  setMaxVisibleItems(8);
  link_.setWriter([this](dataset::Field& f) { f.setText(currentText()); });
  connect(&link_, &controls::FieldLink::refresh, this, &DbComboBox::showField);
  connect(lineEdit(), &QLineEdit::textEdited, this, &DbComboBox::typed);
  connect(lineEdit(), &QLineEdit::returnPressed, this, &DbComboBox::commit);
  connect(this, &QComboBox::activated, this, &DbComboBox::chosen);
  showField();
}

void DbComboBox::showField() {
  dataset::Field* f = link_.field();
  constexpr int kUnlimited = 32767;
  lineEdit()->setMaxLength(f && f->type() == tables::FieldType::Text && f->width() > 0 ? f->width() : kUnlimited);
  showing_ = true;
  setEditText(f ? f->asText() : QString());
  lineEdit()->setCursorPosition(0);
  showing_ = false;
  setEnabled(link_.dataSource() == nullptr || f != nullptr);
}

bool DbComboBox::startChange() {
  try {
    if (link_.edit()) return true;
  } catch (const std::exception& e) {
    showField();
    emit failed(QString::fromUtf8(e.what()));
    return false;
  }
  showField();
  return false;
}

void DbComboBox::typed() {
  if (showing_) return;
  if (startChange()) link_.setModified(true);
}

void DbComboBox::chosen(int index) {
  const QString text = itemText(index);
  if (!startChange()) return;
  // Going into edit state shows the stored text again; the choice is what counts.
  showing_ = true;
  setEditText(text);
  showing_ = false;
  link_.setModified(true);
  commit();
}

void DbComboBox::commit() {
  try {
    link_.updateRecord();
  } catch (const std::exception& e) {
    emit failed(QString::fromUtf8(e.what()));
  }
}

void DbComboBox::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  // The drop-down list takes the focus while it is open; that is no leaving.
  if (view() && view()->isVisible()) return;
  commit();
}

}  // namespace rf::lookups

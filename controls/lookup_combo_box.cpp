#include "controls/lookup_combo_box.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QToolButton>
#include <exception>
#include <memory>

#include "controls/lookup_dialog.h"

namespace rf::controls {

LookupComboBox::LookupComboBox(QWidget* parent)
    : QWidget(parent), edit_(new DbEdit(this)), button_(new QToolButton(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(edit_, 1);
  layout->addWidget(button_);
  button_->setArrowType(Qt::DownArrow);
  // The code box keeps the focus; the button only opens the list.
  button_->setFocusPolicy(Qt::NoFocus);
  setFocusProxy(edit_);
  edit_->installEventFilter(this);
  connect(button_, &QToolButton::clicked, this, &LookupComboBox::dropDown);
  connect(edit_, &QLineEdit::textChanged, this, &LookupComboBox::textChanged);
  connect(edit_, &DbEdit::failed, this, &LookupComboBox::failed);
  connect(this, &QObject::objectNameChanged, this, &LookupComboBox::nameChildren);
  nameChildren();
}

void LookupComboBox::setLookup(dataset::Dataset* lookup, const QString& lookupField, ColumnList columns) {
  lookup_ = lookup;
  lookupField_ = lookupField;
  columns_ = std::move(columns);
}

QString LookupComboBox::text() const { return edit_->text(); }

void LookupComboBox::nameChildren() {
  const QString name = objectName();
  edit_->setObjectName(name + QStringLiteral("Edit"));
  button_->setObjectName(name + QStringLiteral("Button"));
}

bool LookupComboBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Down && mods == Qt::AltModifier) || (key->key() == Qt::Key_F4 && mods == Qt::NoModifier)) {
      dropDown();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void LookupComboBox::dropDown() {
  if (!lookup_ || !lookup_->isOpen()) return;
  bool picked = false;
  {
    std::unique_ptr<LookupDialog> dialog;
    try {
      dialog = std::make_unique<LookupDialog>(lookup_, lookupField_, columns_, this);
    } catch (const std::exception& e) {
      emit failed(QString::fromUtf8(e.what()));
      return;
    }
    connect(dialog.get(), &LookupDialog::failed, this, &LookupComboBox::failed);
    dialog->locate(edit_->text().trimmed());
    if (dialog->exec() == QDialog::Accepted) {
      if (auto value = dialog->pickedValue()) picked = write(*value);
    }
  }
  emit closeUp(picked);
}

bool LookupComboBox::write(const QString& value) {
  try {
    FieldLink& l = link();
    if (!l.edit()) return false;
    dataset::Field* f = l.field();
    if (!f) return false;
    QString v = value;
    if (f->type() == tables::FieldType::Text && f->width() > 0) v.truncate(f->width());
    // The field's change shows in the box and drops anything typed there before.
    f->setText(v);
    return true;
  } catch (const std::exception& e) {
    emit failed(QString::fromUtf8(e.what()));
    return false;
  }
}

}  // namespace rf::controls

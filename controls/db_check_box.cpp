#include "controls/db_check_box.h"

#include <exception>

namespace rf::controls {

DbCheckBox::DbCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
  link_.setWriter([this](dataset::Field& f) { f.setLogical(isChecked()); });
  connect(&link_, &FieldLink::refresh, this, &DbCheckBox::showField);
  connect(this, &QCheckBox::clicked, this, &DbCheckBox::userClicked);
  showField();
}

void DbCheckBox::showField() {
  dataset::Field* f = link_.field();
  setChecked(f && f->asLogical());
}

void DbCheckBox::userClicked(bool) {
  try {
    if (!link_.edit()) {
      showField();
      return;
    }
    link_.setModified(true);
    link_.updateRecord();
  } catch (const std::exception& e) {
    link_.reset();
    emit failed(QString::fromUtf8(e.what()));
  }
}

}  // namespace rf::controls

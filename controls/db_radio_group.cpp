#include "controls/db_radio_group.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>
#include <exception>

#include "dataset/field_conversion.h"

namespace rf::controls {

DbRadioGroup::DbRadioGroup(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)), grid_(new QGridLayout(this)) {
  connect(&link_, &FieldLink::refresh, this, &DbRadioGroup::showField);
  connect(group_, &QButtonGroup::idClicked, this, &DbRadioGroup::userChose);
}

void DbRadioGroup::setOptions(const QStringList& captions, const QStringList& values) {
  for (QAbstractButton* b : group_->buttons()) {
    group_->removeButton(b);
    delete b;
  }
  values_.clear();
  for (int i = 0; i < captions.size(); ++i) {
    auto* b = new QRadioButton(captions[i], this);
    group_->addButton(b, i);
    values_.push_back(i < values.size() ? values[i] : captions[i]);
  }
  arrange();
  showField();
}

void DbRadioGroup::setColumns(int columns) {
  columns_ = std::max(1, columns);
  arrange();
}

void DbRadioGroup::arrange() {
  const int n = count();
  const int rows = std::max(1, (n + columns_ - 1) / columns_);
  for (int i = 0; i < n; ++i) {
    QAbstractButton* b = group_->button(i);
    grid_->removeWidget(b);
    grid_->addWidget(b, i % rows, i / rows);
  }
}

QRadioButton* DbRadioGroup::button(int option) const { return qobject_cast<QRadioButton*>(group_->button(option)); }

bool DbRadioGroup::matches(const dataset::Field& field, const QString& value) const {
  if (field.isNull()) return false;
  if (dataset::isNumericType(field.type())) {
    bool ok = false;
    double v = value.trimmed().toDouble(&ok);
    return ok && v == field.asNumber();
  }
  // Text read back from a padded field keeps no trailing blanks that the option has not got.
  QString text = field.asText();
  while (text.endsWith(QLatin1Char(' ')) && !value.endsWith(QLatin1Char(' '))) text.chop(1);
  return text == value;
}

int DbRadioGroup::chosen() const {
  dataset::Field* f = link_.field();
  if (!f) return -1;
  for (int i = 0; i < count(); ++i)
    if (matches(*f, values_[i])) return i;
  return -1;
}

void DbRadioGroup::showField() {
  const int option = chosen();
  // An exclusive group never lets its last checked button go: drop exclusivity to show none.
  group_->setExclusive(false);
  for (int i = 0; i < count(); ++i) group_->button(i)->setChecked(i == option);
  group_->setExclusive(true);
}

void DbRadioGroup::userChose(int option) {
  try {
    if (!link_.edit()) {
      showField();
      return;
    }
    if (dataset::Field* f = link_.field()) f->setText(values_.value(option));
  } catch (const std::exception& e) {
    showField();
    emit failed(QString::fromUtf8(e.what()));
  }
}

}  // namespace rf::controls

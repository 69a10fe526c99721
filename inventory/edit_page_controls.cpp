#include "inventory/edit_page_controls.h"

#include <QLabel>

#include "controls/command_runner.h"
#include "controls/db_date_edit.h"
#include "controls/db_edit.h"
#include "controls/hint_tracker.h"
#include "controls/lookup_combo_box.h"

namespace rf::inventory {

namespace {

template <typename Control>
void bind(Control* control, dataset::DataSource* source, const QString& field, const QString& objectName,
          const QString& hint) {
  control->setObjectName(objectName);
  control->setDataSource(source);
  control->setFieldName(field);
  if (!hint.isEmpty()) controls::applyHint(control, hint);
  QObject::connect(control, &Control::failed, control,
                   [control](const QString& message) { controls::showError(control->window(), message); });
}

}  // namespace

controls::DbEdit* boundEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                            const QString& objectName, const QString& hint) {
  auto* edit = new controls::DbEdit(parent);
  bind(edit, source, field, objectName, hint);
  return edit;
}

controls::DbDisabledEdit* boundDisabledEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                                            const QString& objectName) {
  auto* edit = new controls::DbDisabledEdit(parent);
  bind(edit, source, field, objectName, {});
  return edit;
}

controls::DbDateEdit* boundDateEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                                    const QString& objectName, const QString& hint) {
  auto* edit = new controls::DbDateEdit(parent);
  bind(edit, source, field, objectName, hint);
  return edit;
}

controls::LookupComboBox* boundLookup(QWidget* parent, dataset::DataSource* source, const QString& field,
                                      const QString& objectName, dataset::Dataset* lookup,
                                      const QString& lookupField, controls::ColumnList columns) {
  auto* box = new controls::LookupComboBox(parent);
  bind(box, source, field, objectName, {});
  box->setLookup(lookup, lookupField, std::move(columns));
  return box;
}

QLabel* fieldLabel(QWidget* parent, const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setBuddy(buddy);
  return label;
}

}  // namespace rf::inventory

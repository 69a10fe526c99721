#include "controls/bound_controls.h"

#include <QGridLayout>
#include <QLabel>

#include "controls/command_runner.h"
#include "controls/db_check_box.h"
#include "controls/db_date_edit.h"
#include "controls/db_edit.h"
#include "controls/hint_tracker.h"
#include "controls/db_memo.h"
#include "controls/lookup_combo_box.h"

namespace rf::controls {

namespace {

template <typename Control>
void bind(Control* control, dataset::DataSource* source, const QString& field, const QString& objectName,
          const QString& hint) {
  control->setObjectName(objectName);
  control->setDataSource(source);
  control->setFieldName(field);
  if (!hint.isEmpty()) applyHint(control, hint);
  QObject::connect(control, &Control::failed, control,
                   [control](const QString& message) { showError(control->window(), message); });
}

}  // namespace

DbEdit* boundEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                            const QString& objectName, const QString& hint) {
  auto* edit = new DbEdit(parent);
  bind(edit, source, field, objectName, hint);
  return edit;
}

DbDisabledEdit* boundDisabledEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                                            const QString& objectName) {
  auto* edit = new DbDisabledEdit(parent);
  bind(edit, source, field, objectName, {});
  return edit;
}

DbDateEdit* boundDateEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                                    const QString& objectName, const QString& hint) {
  auto* edit = new DbDateEdit(parent);
  bind(edit, source, field, objectName, hint);
  return edit;
}

DbMemo* boundMemo(QWidget* parent, dataset::DataSource* source, const QString& field, const QString& objectName) {
  auto* memo = new DbMemo(parent);
  bind(memo, source, field, objectName, {});
  return memo;
}

DbCheckBox* boundCheckBox(QWidget* parent, dataset::DataSource* source, const QString& field,
                          const QString& objectName, const QString& caption) {
  auto* box = new DbCheckBox(caption, parent);
  bind(box, source, field, objectName, {});
  return box;
}

LookupComboBox* boundLookup(QWidget* parent, dataset::DataSource* source, const QString& field,
                                      const QString& objectName, dataset::Dataset* lookup,
                                      const QString& lookupField, ColumnList columns) {
  auto* box = new LookupComboBox(parent);
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

void addLabelled(QGridLayout* grid, int row, int column, const QString& text, QWidget* control) {
  grid->addWidget(fieldLabel(control->parentWidget(), text, control), row, column);
  grid->addWidget(control, row, column + 1);
}

}  // namespace rf::controls

#pragma once
// Small makers for screens built of bound controls: a control of each kind with its object name,
// data source, field and hint, and the right-aligned label that stands before it. Every refusal a
// control announces goes to the error box of its window, since such screens add no checks of
// their own.

#include <QString>

#include "controls/grid_column.h"
#include "dataset/data_source.h"

class QGridLayout;
class QLabel;
class QWidget;

namespace rf::controls {

class DbCheckBox;
class DbDateEdit;
class DbDisabledEdit;
class DbEdit;
class DbMemo;
class LookupComboBox;

DbEdit* boundEdit(QWidget* parent, dataset::DataSource* source, const QString& field, const QString& objectName,
                  const QString& hint = {});
DbDisabledEdit* boundDisabledEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                                  const QString& objectName);
DbDateEdit* boundDateEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                          const QString& objectName, const QString& hint = {});
DbMemo* boundMemo(QWidget* parent, dataset::DataSource* source, const QString& field, const QString& objectName);
DbCheckBox* boundCheckBox(QWidget* parent, dataset::DataSource* source, const QString& field,
                          const QString& objectName, const QString& caption);
// `lookup` is the data module's shared table; no columns: the pick list shows every field.
LookupComboBox* boundLookup(QWidget* parent, dataset::DataSource* source, const QString& field,
                            const QString& objectName, dataset::Dataset* lookup, const QString& lookupField,
                            ColumnList columns = {});
// "Road:" standing right-aligned before `buddy`, so Alt and a letter never land elsewhere.
QLabel* fieldLabel(QWidget* parent, const QString& text, QWidget* buddy);
// That label in (row, column) of `grid` and `control` in the cell to its right.
void addLabelled(QGridLayout* grid, int row, int column, const QString& text, QWidget* control);

}  // namespace rf::controls

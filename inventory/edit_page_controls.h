#pragma once
// Small makers for the edit screen's pages: a bound control of each kind with its object name,
// data source, field and hint, and the right-aligned label that stands before it. Every refusal a
// control announces goes to the error box, since the pages add no checks of their own.

#include <QString>

#include "controls/grid_column.h"
#include "dataset/data_source.h"

class QLabel;
class QWidget;

namespace rf::controls {
class DbDateEdit;
class DbDisabledEdit;
class DbEdit;
class LookupComboBox;
}  // namespace rf::controls

namespace rf::inventory {

controls::DbEdit* boundEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                            const QString& objectName, const QString& hint = {});
controls::DbDisabledEdit* boundDisabledEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                                            const QString& objectName);
controls::DbDateEdit* boundDateEdit(QWidget* parent, dataset::DataSource* source, const QString& field,
                                    const QString& objectName, const QString& hint = {});
// `lookup` is the data module's shared table; no columns: the pick list shows every field.
controls::LookupComboBox* boundLookup(QWidget* parent, dataset::DataSource* source, const QString& field,
                                      const QString& objectName, dataset::Dataset* lookup,
                                      const QString& lookupField, controls::ColumnList columns = {});
// "Road:" standing right-aligned before `buddy`, so Alt and a letter never land elsewhere.
QLabel* fieldLabel(QWidget* parent, const QString& text, QWidget* buddy);

}  // namespace rf::inventory

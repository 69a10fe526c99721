#pragma once
// The edit screen's page "Basic Data ": what the piece is (road, number, type, description,
// scale, category, classification, importer and manufacturer), what it cost and is worth, and
// where it is kept. Every control is bound to the inventory's data source; the pick lists work on
// the data module's shared lookup tables.

#include <QList>
#include <QWidget>

#include "data/data_module.h"
#include "dataset/data_source.h"

namespace rf::controls {
class DbEdit;
class LookupComboBox;
}  // namespace rf::controls

namespace rf::inventory {

class BasicDataPage : public QWidget {
  Q_OBJECT

 public:
  BasicDataPage(dataset::DataSource* dsInven, data::TdmMain& dm, QWidget* parent = nullptr);

  // The three controls the screen's header mirrors.
  controls::DbEdit* fldDesc() const { return fldDesc_; }
  controls::LookupComboBox* fldRepMk() const { return fldRepMk_; }
  controls::DbEdit* fldRepno() const { return fldRepno_; }

  // The focusable controls in the page's tab order, group by group.
  const QList<QWidget*>& tabChain() const { return chain_; }

 private:
  QWidget* descriptionGroup(dataset::DataSource* ds, data::TdmMain& dm);
  QWidget* valueGroup(dataset::DataSource* ds, data::TdmMain& dm);
  QWidget* otherGroup(dataset::DataSource* ds, data::TdmMain& dm);

  controls::DbEdit* fldDesc_ = nullptr;
  controls::LookupComboBox* fldRepMk_ = nullptr;
  controls::DbEdit* fldRepno_ = nullptr;
  QList<QWidget*> chain_;
};

}  // namespace rf::inventory

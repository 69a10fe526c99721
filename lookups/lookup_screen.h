#pragma once
// The generic lookup screen `Tlookup`: a record navigator strip along the top, a record view of
// the current row and an editable grid of all rows, all three bound to one table of the data
// module. The screen owns no table: the pick lists of the other screens work on the same table
// object, so what is added or moved here is seen there at once and the other way round.
//
// Closing (the navigator's close button or the window's close box) only hides the screen; a
// change still pending stays pending, and the next showing finds the screen as it was left.
// Refusals of the engine (a key a unique index already holds, a lock) are shown in the error box
// and the row stays in its state, for the user to correct or cancel. A new row nobody typed into
// is dropped by the grid when the focus leaves it, as the platform grid did.

#include <QWidget>

#include "data/data_module.h"
#include "lookups/lookup_settings.h"

namespace rf::controls {
class DbGrid;
class RecordNavigator;
class RecordViewPanel;
}  // namespace rf::controls

namespace rf::lookups {

class Tlookup : public QWidget {
  Q_OBJECT

 public:
  ~Tlookup() override;

  dataset::Dataset& table() const { return *table_; }
  dataset::DataSource& dataSource() const { return *source_; }
  const LookupSettings& settings() const { return settings_; }

  controls::RecordNavigator* navigator() const { return navigator_; }
  controls::RecordViewPanel* recordView() const { return recordView_; }
  controls::DbGrid* grid() const { return grid_; }

 public slots:
  void wwDBNavigator1CloseClick();

 protected:
  Tlookup(data::TdmMain& dm, LookupSettings settings, QWidget* parent = nullptr);

  void showEvent(QShowEvent* event) override;
  void showError(const QString& message);
  // The grid first, then the record view's fields: again after the record view was rebuilt.
  void orderTabs();

 private:
  LookupSettings settings_;
  dataset::Dataset* table_;
  dataset::DataSource* source_;
  controls::RecordNavigator* navigator_ = nullptr;
  controls::RecordViewPanel* recordView_ = nullptr;
  controls::DbGrid* grid_ = nullptr;
  bool placed_ = false;
};

}  // namespace rf::lookups

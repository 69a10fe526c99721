#include "app/bulk_delete.h"

#include <QMessageBox>
#include <QPushButton>

#include "data/table_catalogue.h"
#include "data/table_opener.h"
#include "inventory/fm_inven_brw.h"

namespace rf::app {

namespace {

// Closes, empties and reopens one table; when the emptying is refused the table is opened again
// before the refusal goes on to the error box.
void emptyTable(dataset::Dataset& table, tables::Engine& engine, const QString& object,
                const std::function<void()>& reopen) {
  table.close();
  try {
    engine.empty(data::openRequestFor(data::catalogueEntry(object)));
  } catch (...) {
    try {
      reopen();
    } catch (...) {
      // The refusal of the emptying is the one to report; the table stays closed.
    }
    throw;
  }
  reopen();
}

}  // namespace

bool confirmBulkDelete(QWidget* parent) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), kBulkDeleteQuestion, QMessageBox::NoButton,
                  parent);
  QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

void deleteAllRecords(inventory::TfmInvenBrw& browse) {
  auto& engine = browse.engine();
  emptyTable(browse.tbInven(), engine, QStringLiteral("tbInven"), [&] {
    browse.openInventory();
    browse.reloadGrid();
  });
  emptyTable(browse.tbWaybill(), engine, QStringLiteral("tbWaybill"), [&] { browse.openWaybills(); });
}

void DeleteRecords1Click(QWidget* parent, inventory::TfmInvenBrw& browse,
                         const std::function<bool(QWidget*)>& confirm) {
  if (!confirm(parent)) return;
  deleteAllRecords(browse);
}

}  // namespace rf::app

// "Delete Records": the question, the emptying of the inventory and waybill tables, and what a
// refused emptying leaves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

#include "app/bulk_delete.h"
#include "app_fixture.h"
#include "controls/command_runner.h"
#include "data/counter.h"
#include "data/data_module.h"
#include "inventory/fm_inven_brw.h"
#include "tables/error.h"

using rf::data::TdmMain;
using rf::dataset::DatasetState;
using rf::inventory::TfmInvenBrw;
using rf::testing::Collection;

namespace {

// Three pieces with two waybills each; the inventory's new-record rule numbers the pieces.
void addPieces(TfmInvenBrw& b) {
  auto& inv = b.tbInven();
  auto& way = b.tbWaybill();
  for (int piece = 1; piece <= 3; ++piece) {
    inv.insert();
    const double asset = inv.field("I_ASSET").asNumber();
    inv.edit();
    inv.field("I_DESC").setText(QStringLiteral("Piece %1").arg(piece));
    inv.field("I_DETAIL").setMemo(QStringLiteral("details of %1").arg(piece));
    inv.post();
    for (int w = 1; w <= 2; ++w) {
      // The new-waybill rule numbers and stores it for the current piece.
      way.insert();
      ASSERT_EQ(way.field("Asset_no").asNumber(), asset);
    }
  }
}

std::uint64_t records(Collection& c, const char* file) {
  auto engine = c.otherEngine();
  rf::tables::OpenRequest r;
  r.name = file;
  r.alias = std::string(file) == "Inven.DB" ? "" : "rf";
  if (std::string(file) == "Waybill") r.format = rf::tables::Format::Paradox;
  return engine->open(r)->info().recordCount;
}

TEST(BulkDelete, NoLeavesEverything) {
  Collection c;
  TdmMain dm(c.engine());
  TfmInvenBrw b(dm);
  addPieces(b);
  rf::app::DeleteRecords1Click(nullptr, b, [](QWidget*) { return false; });
  EXPECT_EQ(records(c, "Inven.DB"), 3u);
  EXPECT_EQ(records(c, "Waybill"), 6u);
}

TEST(BulkDelete, YesEmptiesBothTablesAndKeepsTheRest) {
  Collection c;
  TdmMain dm(c.engine());
  TfmInvenBrw b(dm);
  addPieces(b);
  const double counter = rf::data::raiseCounter(dm.tbOptions(), rf::data::kAssetCounter);
  const auto lookups = records(c, "ABBREV.DBF");
  // A change pending on the inventory goes with the records.
  b.tbInven().first();
  b.tbInven().edit();
  b.tbInven().field("I_DESC").setText("unsaved");
  rf::app::DeleteRecords1Click(nullptr, b, [](QWidget*) { return true; });
  EXPECT_EQ(records(c, "Inven.DB"), 0u);
  EXPECT_EQ(records(c, "Waybill"), 0u);
  EXPECT_EQ(records(c, "ABBREV.DBF"), lookups);
  ASSERT_TRUE(b.tbInven().isOpen());
  ASSERT_TRUE(b.tbWaybill().isOpen());
  EXPECT_TRUE(b.tbInven().isEmpty());
  EXPECT_EQ(b.tbInven().state(), DatasetState::Browse);
  // Numbering goes on from the counter.
  EXPECT_EQ(rf::data::raiseCounter(dm.tbOptions(), rf::data::kAssetCounter), counter + 1);
  // The waybills are linked to the inventory again.
  EXPECT_EQ(b.tbWaybill().master(), &b.tbInven());
}

TEST(BulkDelete, RefusedWaybillEmptyingKeepsItsRecordsAndItsTableOpen) {
  Collection c;
  TdmMain dm(c.engine());
  TfmInvenBrw b(dm);
  addPieces(b);
  // Another program has the waybill file open.
  auto engine = c.otherEngine();
  rf::tables::OpenRequest r;
  r.name = "Waybill";
  r.alias = "rf";
  r.format = rf::tables::Format::Paradox;
  auto other = engine->open(r);
  QStringList errors;
  rf::controls::setErrorPresenter([&](QWidget*, const QString& t) { errors << t; });
  rf::controls::runCommand(nullptr, [&] { rf::app::deleteAllRecords(b); });
  rf::controls::setErrorPresenter({});
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(records(c, "Inven.DB"), 0u) << "the inventory was emptied first";
  other.reset();
  EXPECT_EQ(records(c, "Waybill"), 6u);
  // Our choice: the table whose emptying was refused is open again, so its screens keep working.
  ASSERT_TRUE(b.tbWaybill().isOpen());
  b.tbWaybill().unlink();
  int seen = 0;
  for (bool ok = b.tbWaybill().first(); ok; ok = b.tbWaybill().next()) ++seen;
  EXPECT_EQ(seen, 6);
}

TEST(BulkDelete, QuestionAnswersYesOnEnterAndNoOnEscape) {
  for (auto [key, expected] : {std::pair{Qt::Key_Return, true}, std::pair{Qt::Key_Escape, false}}) {
    QString caption, text;
    QTimer::singleShot(0, [&, key = key] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      caption = box->windowTitle();
      text = box->text();
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(box, &press);
    });
    EXPECT_EQ(rf::app::confirmBulkDelete(nullptr), expected);
    EXPECT_EQ(caption, "Confirm");
    EXPECT_EQ(text, rf::app::kBulkDeleteQuestion);
  }
}

}  // namespace

// The "Lookup" pick list over a real lookup table: its columns, searching as the user types in
// index order and in record order, and what OK, Cancel and a double-click leave behind.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "controls/db_grid.h"
#include "controls/lookup_dialog.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::controls::LookupDialog;
using rf::dataset::Dataset;
using rf::test::PiecesTable;

namespace {

// Codes in record order; the CODE index sorts them by bytes: "AC" < "Ab" < "BX" < "Bz" < "ab" < "bY".
PiecesTable codes() { return PiecesTable{{"bY", "boxcar"}, {"AC", "caboose"}, {"ab", "tank car"}, {"Ab", "hopper"}, {"BX", "flat"}, {"Bz", "gondola"}}; }

std::string code(Dataset& ds) { return ds.field("CODE").asText().toStdString(); }

TEST(LookupDialog, ShowsTheConfiguredColumnsOrEveryVisibleFieldUnderItsLabel) {
  PiecesTable t = codes();
  Dataset ds;
  ds.open(t.engine, t.request());
  {
    LookupDialog d(&ds, "CODE", {{"CODE", 7, "Repmk"}, {"NAME", 41, "Railroad"}});
    EXPECT_EQ(d.windowTitle(), "Lookup");
    EXPECT_TRUE(d.isModal());
    auto* model = d.grid()->model();
    ASSERT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Repmk");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Railroad");
    EXPECT_EQ(d.grid()->columnWidth(1), d.grid()->columnPixels(41));
    ASSERT_EQ(d.searchColumnBox()->count(), 2);
    EXPECT_EQ(d.searchColumnBox()->itemText(1), "Railroad");
    EXPECT_TRUE(d.grid()->isReadOnly());
    EXPECT_NE(d.buttons()->button(QDialogButtonBox::Ok), nullptr);
    EXPECT_NE(d.buttons()->button(QDialogButtonBox::Cancel), nullptr);
  }
  ds.field("NAME").setDisplayLabel("Name of piece");
  ds.field("NOTES").setVisible(false);
  LookupDialog d(&ds, "CODE");
  auto* model = d.grid()->model();
  ASSERT_EQ(model->columnCount(), 5);
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "CODE");
  EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Name of piece");
  EXPECT_EQ(d.searchColumnBox()->itemText(1), "Name of piece");
}

TEST(LookupDialog, TypingSearchesFromTheStartOfTheColumnRegardlessOfCase) {
  // In the CODE index (the search may seek there) and in record order (it walks); the first
  // match in the dataset's order wins either way.
  struct Case {
    const char* index;
    const char* typed;
    const char* lands;
  };
  const std::vector<Case> cases = {
      {"CODE", "a", "AC"}, {"CODE", "ab", "Ab"}, {"CODE", "B", "BX"}, {"CODE", "bz", "Bz"}, {"CODE", "by", "bY"},
      {"", "a", "AC"},     {"", "ab", "ab"},     {"", "B", "bY"},     {"", "bz", "Bz"},
  };
  PiecesTable t = codes();
  for (const Case& c : cases) {
    Dataset ds;
    ds.open(t.engine, t.request(), c.index);
    ds.last();
    LookupDialog d(&ds, "CODE", {{"CODE", 7, "Code"}, {"NAME", 20, "Name"}});
    d.show();
    QTest::keyClicks(d.searchBox(), c.typed);
    EXPECT_EQ(code(ds), c.lands) << c.index << " " << c.typed;
    // The list stands on the found record.
    EXPECT_EQ(d.grid()->model()->data(d.grid()->currentIndex().siblingAtColumn(0)).toString().toStdString(), c.lands);
  }

  Dataset ds;
  ds.open(t.engine, t.request(), "CODE");
  LookupDialog d(&ds, "CODE", {{"CODE", 7, "Code"}, {"NAME", 20, "Name"}});
  d.show();
  // Nothing starts so: no move.
  ds.last();
  QTest::keyClicks(d.searchBox(), "q");
  EXPECT_EQ(code(ds), "bY");
  EXPECT_FALSE(d.search("zz"));
  // Another search column: the text typed so far is looked for there.
  d.searchBox()->clear();
  QTest::keyClicks(d.searchBox(), "HOP");
  d.searchColumnBox()->setCurrentIndex(1);
  EXPECT_EQ(code(ds), "Ab");
  QTest::keyClick(d.searchBox(), Qt::Key_Backspace);
  QTest::keyClick(d.searchBox(), Qt::Key_Backspace);
  QTest::keyClicks(d.searchBox(), "nD");
  EXPECT_EQ(d.searchBox()->text(), "HnD");
  EXPECT_EQ(code(ds), "Ab");
  d.searchBox()->clear();
  QTest::keyClicks(d.searchBox(), "Ta");
  EXPECT_EQ(code(ds), "ab");

  // The moving keys in the search box step through the list.
  d.searchBox()->clear();
  d.setSearchColumn(0);
  QTest::keyClicks(d.searchBox(), "b");
  EXPECT_EQ(code(ds), "BX");
  QTest::keyClick(d.searchBox(), Qt::Key_Down);
  EXPECT_EQ(code(ds), "Bz");
  QTest::keyClick(d.searchBox(), Qt::Key_Up);
  QTest::keyClick(d.searchBox(), Qt::Key_Up);
  EXPECT_EQ(code(ds), "Ab");
  EXPECT_EQ(d.searchBox()->text(), "b");

  // Locating a value takes the whole text of the lookup field.
  EXPECT_TRUE(d.locate("bz"));
  EXPECT_EQ(code(ds), "Bz");
  EXPECT_FALSE(d.locate("B"));
  EXPECT_EQ(code(ds), "Bz");
}

TEST(LookupDialog, SearchesAKeyedParadoxTableInItsPrimaryOrder) {
  rf::test::TempDir dir;
  rf::tables::Engine engine{dir.file("e.conf")};
  rf::tables::TableDef def;
  def.format = rf::tables::Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {rf::test::pxField("I_SCALE", rf::tables::FieldType::Text, 'A', 4),
                rf::test::pxField("SCDESC", rf::tables::FieldType::Text, 'A', 40)};
  {
    auto t = engine.create(dir.file("Scale.DB"), def);
    for (auto [scale, desc] : {std::pair{"HO", "1:87"}, {"N", "1:160"}, {"On3", "narrow O"}, {"O", "1:48"}, {"S", "1:64"}}) {
      auto r = t->blankRecord();
      t->set(r, "I_SCALE", rf::tables::Value::text(scale));
      t->set(r, "SCDESC", rf::tables::Value::text(desc));
      t->insert(r);
    }
  }
  Dataset ds;
  ds.open(engine, {dir.file("Scale.DB"), {}, {}, {}, false, false});
  LookupDialog d(&ds, "I_SCALE", {{"I_SCALE", 4, "Scale:"}, {"SCDESC", 40, "Description:"}});
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"o", "O"}, {"on", "On3"}, {"h", "HO"}, {"s", "S"}, {"onthree", "S"} /* longer than the field: no match, no move */};
  for (const auto& [typed, lands] : cases) {
    EXPECT_EQ(d.search(typed), std::string(typed) != "onthree") << typed;
    EXPECT_EQ(ds.field("I_SCALE").asText().toStdString(), lands) << typed;
  }
  EXPECT_TRUE(d.locate("on3"));
  EXPECT_EQ(d.pickedValue(), QString("On3"));
}

TEST(LookupDialog, OkReturnsThePickedValueAndTheListMovesTheLookupTable) {
  PiecesTable t = codes();
  Dataset ds;
  ds.open(t.engine, t.request(), "CODE");
  {
    // The lookup field's column is searched by first.
    LookupDialog d(&ds, "NAME", {{"CODE", 7, "Code"}, {"NAME", 20, "Name"}});
    EXPECT_EQ(d.searchColumn(), 1);
    QTimer::singleShot(0, &d, [&] {
      QTest::keyClicks(d.searchBox(), "FL");
      QTest::keyClick(d.searchBox(), Qt::Key_Return);  // OK is the default button
    });
    ASSERT_EQ(d.exec(), QDialog::Accepted);
    EXPECT_EQ(d.pickedValue(), QString("flat"));
    EXPECT_EQ(code(ds), "BX");
  }
  {
    // A click in the list moves the shared table; Cancel keeps the pick out of the caller's hands.
    LookupDialog d(&ds, "NAME", {{"CODE", 7, "Code"}});
    QTimer::singleShot(0, &d, [&] {
      const QModelIndex row = d.grid()->model()->index(0, 0);
      QTest::mouseClick(d.grid()->viewport(), Qt::LeftButton, {}, d.grid()->visualRect(row).center());
      QTest::mouseClick(d.buttons()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    });
    EXPECT_EQ(d.exec(), QDialog::Rejected);
    EXPECT_EQ(code(ds), "AC");
  }
  {
    LookupDialog d(&ds, "CODE", {{"CODE", 7, "Code"}});
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    const QModelIndex row = d.grid()->model()->index(4, 0);
    // A widget's double click in QTest is the second click's event alone: the first comes before.
    const QPoint at = d.grid()->visualRect(row).center();
    QTest::mouseClick(d.grid()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(d.grid()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.pickedValue(), QString("ab"));
    // The pick list never edits the lookup table.
    EXPECT_EQ(ds.state(), rf::dataset::DatasetState::Browse);
    QTest::keyClick(d.grid(), Qt::Key_Insert);
    EXPECT_EQ(ds.state(), rf::dataset::DatasetState::Browse);
  }
  {
    // Escape in the list closes the dialog, even while the shared table has a change pending
    // from its own screen (the change stays).
    ds.edit();
    LookupDialog d(&ds, "CODE", {{"CODE", 7, "Code"}});
    QTimer::singleShot(0, &d, [&] { QTest::keyClick(d.grid(), Qt::Key_Escape); });
    EXPECT_EQ(d.exec(), QDialog::Rejected);
    EXPECT_EQ(ds.state(), rf::dataset::DatasetState::Edit);
    ds.cancel();
  }
  PiecesTable empty;
  Dataset none;
  none.open(empty.engine, empty.request());
  LookupDialog d(&none, "CODE");
  EXPECT_EQ(d.pickedValue(), std::nullopt);
  EXPECT_FALSE(d.search("a"));
}

}  // namespace

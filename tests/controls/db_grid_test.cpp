// The grid keyed as a user would, over real tables in a temporary directory: cell walking,
// inserting and appending through the dataset's new-record hook, deleting after the question,
// and the grid's row and the dataset's record following each other.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "controls/db_grid.h"
#include "tables/error.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::controls::DbGrid;
using rf::dataset::DataSource;
using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::test::PiecesTable;

namespace {

struct Screen {
  Dataset ds;
  DataSource source{&ds};
  DbGrid grid;
  std::vector<QString> asked;
  bool answer = true;

  explicit Screen(PiecesTable& t, rf::controls::ColumnList columns = {{"CODE", 8, "Code"}, {"NAME", 20, {}}}) {
    ds.open(t.engine, t.request());
    grid.setDataSource(&source, std::move(columns));
    grid.setConfirm([this](QWidget*, const QString& q) {
      asked.push_back(q);
      return answer;
    });
    grid.resize(500, 300);
    grid.show();
    grid.setFocus();
  }
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(&grid, k, m); }
  std::pair<int, int> at() const { return {grid.currentIndex().row(), grid.currentIndex().column()}; }
  std::string code() { return ds.field("CODE").asText().toStdString(); }
  // Types into the current cell and commits it with Return, as a user would.
  void type(const QString& text) {
    grid.edit(grid.currentIndex());
    QWidget* editor = grid.indexWidget(grid.currentIndex());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
  }
};

TEST(DbGrid, ColumnsTakeTheirWidthInCharactersAndTitles) {
  PiecesTable t({{"A", "one"}});
  Screen s(t);
  ASSERT_EQ(s.grid.model()->columnCount(), 2);
  EXPECT_EQ(s.grid.model()->headerData(0, Qt::Horizontal).toString(), "Code");
  EXPECT_EQ(s.grid.model()->headerData(1, Qt::Horizontal).toString(), "NAME");
  EXPECT_EQ(s.grid.columnWidth(0), s.grid.columnPixels(8));
  EXPECT_EQ(s.grid.columnWidth(1), s.grid.columnPixels(20));
  EXPECT_GT(s.grid.columnPixels(20), s.grid.columnPixels(8));
}

TEST(DbGrid, TabWalksTheCellsAndTheRowFollowsTheDatasetBothWays) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
  Screen s(t);
  EXPECT_EQ(s.at(), std::make_pair(0, 0));
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    std::pair<int, int> at;
    const char* code;
  };
  const std::vector<Step> steps = {
      {Qt::Key_Tab, Qt::NoModifier, {0, 1}, "A"},
      {Qt::Key_Tab, Qt::NoModifier, {1, 0}, "B"},  // past the last column: the next row's first
      {Qt::Key_Tab, Qt::NoModifier, {1, 1}, "B"},
      {Qt::Key_Backtab, Qt::ShiftModifier, {1, 0}, "B"},
      {Qt::Key_Backtab, Qt::ShiftModifier, {0, 1}, "A"},  // before the first: the prior row's last
      {Qt::Key_Backtab, Qt::ShiftModifier, {0, 0}, "A"},
      {Qt::Key_Backtab, Qt::ShiftModifier, {0, 0}, "A"},  // nothing before the first cell
      {Qt::Key_Down, Qt::NoModifier, {1, 0}, "B"},
      {Qt::Key_End, Qt::ControlModifier, {2, 1}, "C"},
  };
  for (const Step& st : steps) {
    s.key(st.key, st.mods);
    EXPECT_EQ(s.at(), st.at) << st.code;
    EXPECT_EQ(s.code(), st.code);
  }
  // A move of the dataset from elsewhere (a navigator) selects its row, keeping the column.
  s.ds.first();
  EXPECT_EQ(s.at(), std::make_pair(0, 1));
  s.ds.next();
  EXPECT_EQ(s.at(), std::make_pair(1, 1));
  // A click on a cell moves the dataset.
  const QModelIndex c = s.grid.model()->index(2, 0);
  QTest::mouseClick(s.grid.viewport(), Qt::LeftButton, {}, s.grid.visualRect(c).center());
  EXPECT_EQ(s.code(), "C");
  EXPECT_TRUE(t.onDisk() == (std::vector<std::string>{"A=one", "B=two", "C=three"}));
}

TEST(DbGrid, TheRowIndicatorMarksTheCurrentRecordAndWhetherItIsEditedOrNew) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Screen s(t);
  using Mark = DbGrid::RowMark;
  auto marks = [&] {
    std::vector<Mark> out;
    for (int r = 0; r < s.grid.model()->rowCount(); ++r) out.push_back(s.grid.rowMark(r));
    return out;
  };
  EXPECT_EQ(marks(), (std::vector<Mark>{Mark::Current, Mark::None}));
  s.ds.next();
  EXPECT_EQ(marks(), (std::vector<Mark>{Mark::None, Mark::Current}));
  s.type("C");
  EXPECT_EQ(marks(), (std::vector<Mark>{Mark::None, Mark::Edit}));
  s.key(Qt::Key_Down);  // saves and appends
  EXPECT_EQ(marks(), (std::vector<Mark>{Mark::None, Mark::None, Mark::Insert}));
  s.ds.cancel();
  EXPECT_EQ(marks(), (std::vector<Mark>{Mark::None, Mark::Current}));
  EXPECT_EQ(DbGrid::rowMarkText(Mark::Insert), "*");
  EXPECT_TRUE(DbGrid::rowMarkText(Mark::None).isEmpty());
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "C=two"}));
}

TEST(DbGrid, InsertAndDownPastTheEndStartRecordsThroughTheNewRecordHook) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Screen s(t);
  int started = 0;
  s.ds.onNewRecord = [&](Dataset& d) {
    ++started;
    d.field("NAME").setText("new");
  };
  // Down on the last row appends; a second Down on the untouched new row adds nothing.
  s.key(Qt::Key_Down);
  s.key(Qt::Key_Down);
  EXPECT_EQ(started, 1);
  EXPECT_EQ(s.ds.state(), DatasetState::Insert);
  EXPECT_EQ(s.at(), std::make_pair(2, 0));
  s.key(Qt::Key_Down);
  EXPECT_EQ(started, 1);
  EXPECT_EQ(s.grid.model()->rowCount(), 3);
  s.type("C");
  EXPECT_EQ(s.code(), "C");
  // Typed into, it is saved by the next Down, which appends another.
  s.key(Qt::Key_Down);
  EXPECT_EQ(started, 2);
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two", "C=new"}));
  EXPECT_EQ(s.ds.state(), DatasetState::Insert);
  EXPECT_EQ(s.at(), std::make_pair(3, 0));
  s.ds.cancel();
  EXPECT_EQ(s.grid.model()->rowCount(), 3);

  // Tab out of a cell being typed into commits it and goes on to the next cell, past the last
  // one of the last row into a new record.
  s.ds.last();
  s.key(Qt::Key_End);
  ASSERT_EQ(s.at(), std::make_pair(2, 1));
  s.grid.edit(s.grid.currentIndex());
  QWidget* editor = s.grid.indexWidget(s.grid.currentIndex());
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "newer");
  QTest::keyClick(editor, Qt::Key_Tab);
  QCoreApplication::processEvents();
  EXPECT_EQ(started, 3);
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two", "C=newer"}));
  EXPECT_EQ(s.ds.state(), DatasetState::Insert);
  EXPECT_EQ(s.at(), std::make_pair(3, 0));
  s.ds.cancel();
  started = 2;

  // Tab past the last cell appends too; Insert starts one where the grid stands. A new-record
  // rule that stores the record at once leaves the grid on the stored record's row.
  s.ds.onNewRecord = [&](Dataset& d) {
    ++started;
    d.field("CODE").setText("Z" + QString::number(started));
    d.post();
  };
  s.ds.first();
  s.key(Qt::Key_Insert);
  EXPECT_EQ(started, 3);
  EXPECT_EQ(s.ds.state(), DatasetState::Browse);
  EXPECT_EQ(s.code(), "Z3");
  EXPECT_EQ(s.grid.model()->data(s.grid.currentIndex()).toString(), "Z3");
  s.ds.last();
  s.key(Qt::Key_Tab);
  s.key(Qt::Key_Tab);
  EXPECT_EQ(started, 4);
  EXPECT_EQ(s.code(), "Z4");
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two", "C=newer", "Z3=", "Z4="}));
  EXPECT_EQ(s.grid.model()->data(s.grid.currentIndex()).toString(), "Z4") << "Tab lands in the first column";

  // A refused new record leaves the grid where it was and is announced.
  s.ds.onNewRecord = [](Dataset&) { rf::tables::throwError(rf::tables::ErrorKind::InvalidInput, "pieces.dbf", "refused"); };
  QSignalSpy failed(&s.grid, &DbGrid::failed);
  s.ds.first();
  s.key(Qt::Key_Insert);
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString(), "pieces.dbf: refused");
  EXPECT_EQ(s.ds.state(), DatasetState::Browse);
  EXPECT_EQ(s.code(), "A");
  EXPECT_EQ(s.at().first, 0);
}

TEST(DbGrid, CtrlDeleteAsksAndDeletesOnlyOnOk) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
  Screen s(t);
  s.key(Qt::Key_Down);
  s.answer = false;
  s.key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(s.asked, (std::vector<QString>{"Delete record?"}));
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two", "C=three"}));
  s.key(Qt::Key_Delete);  // without Ctrl it is no command of the grid's
  EXPECT_EQ(s.asked.size(), 1u);

  s.answer = true;
  s.key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "C=three"}));
  EXPECT_EQ(s.grid.model()->rowCount(), 2);
  EXPECT_EQ(s.code(), "C");
  EXPECT_EQ(s.at().first, 1);
}

TEST(DbGrid, ARefusedSaveKeepsTheRowAndIsAnnounced) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Screen s(t);
  s.key(Qt::Key_Tab);
  s.type("uno");
  EXPECT_EQ(s.ds.state(), DatasetState::Edit);
  s.ds.beforePost = [](Dataset&) { rf::tables::throwError(rf::tables::ErrorKind::InvalidInput, "pieces.dbf", "Field value required"); };
  QSignalSpy failed(&s.grid, &DbGrid::failed);
  s.key(Qt::Key_Down);
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString(), "pieces.dbf: Field value required");
  EXPECT_EQ(s.at(), std::make_pair(0, 1));
  EXPECT_EQ(s.ds.state(), DatasetState::Edit);
  EXPECT_EQ(s.code(), "A");
  s.ds.beforePost = nullptr;
  s.key(Qt::Key_Down);
  EXPECT_EQ(s.code(), "B");
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=uno", "B=two"}));
}

TEST(DbGrid, FollowsTheDatasetsOrderFilterAndReopening) {
  PiecesTable t({{"C", "three"}, {"A", "one"}, {"B", "two"}});
  Screen s(t);
  auto codes = [&] {
    std::vector<std::string> out;
    for (int r = 0; r < s.grid.model()->rowCount(); ++r)
      out.push_back(s.grid.model()->data(s.grid.model()->index(r, 0)).toString().toStdString());
    return out;
  };
  EXPECT_EQ(codes(), (std::vector<std::string>{"C", "A", "B"}));
  // Another order (an order selector) keeps the record and shows the rows in the new order.
  s.ds.next();
  s.ds.setIndexName("CODE");
  EXPECT_EQ(codes(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(s.at().first, 0);
  EXPECT_EQ(s.code(), "A");
  s.ds.setIndexName(Dataset::kPrimaryKey);
  EXPECT_EQ(codes(), (std::vector<std::string>{"C", "A", "B"}));

  // A filter set or removed shows at once; one filter swapped for another needs reload().
  using Criterion = rf::dataset::FilterCriterion;
  s.ds.setFilter({{"CODE", Criterion::Kind::Value, "b or c", {}, {}, {}, false}});
  EXPECT_EQ(codes(), (std::vector<std::string>{"C", "B"}));
  s.ds.setFilter({{"CODE", Criterion::Kind::Value, "a or b", {}, {}, {}, false}});
  s.grid.reload();
  EXPECT_EQ(codes(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(s.grid.model()->data(s.grid.currentIndex()).toString(), "A");
  s.ds.clearFilter();
  EXPECT_EQ(codes(), (std::vector<std::string>{"C", "A", "B"}));

  s.ds.close();
  EXPECT_EQ(s.grid.model()->rowCount(), 0);
  s.ds.open(t.engine, t.request());
  s.ds.last();
  EXPECT_EQ(codes(), (std::vector<std::string>{"C", "A", "B"}));
  EXPECT_EQ(s.at().first, 2);

  // Bound before its dataset opens, as a screen made before its table is.
  Dataset later;
  DataSource source(&later);
  DbGrid grid;
  grid.setDataSource(&source, {{"NAME", 20, {}}});
  EXPECT_EQ(grid.model(), nullptr);
  later.open(t.engine, t.request());
  ASSERT_NE(grid.model(), nullptr);
  EXPECT_EQ(grid.model()->columnCount(), 1);
  EXPECT_EQ(grid.model()->data(grid.currentIndex()).toString(), "three");
}

TEST(DbGrid, ARowWhoseOrderFieldIsChangedTakesItsNewPlace) {
  PiecesTable t({{"C", "three"}, {"A", "one"}, {"B", "two"}, {"D", "four"}});
  Screen s(t);
  s.ds.setIndexName("CODE");
  auto codes = [&] {
    std::vector<std::string> out;
    for (int r = 0; r < s.grid.model()->rowCount(); ++r)
      out.push_back(s.grid.model()->data(s.grid.model()->index(r, 0)).toString().toStdString());
    return out;
  };
  ASSERT_EQ(codes(), (std::vector<std::string>{"A", "B", "C", "D"}));
  s.ds.first();
  // "A" typed as "E" and saved by moving down: it goes last, the grid on the record moved to.
  s.type("E");
  s.key(Qt::Key_Down);
  QCoreApplication::processEvents();
  EXPECT_EQ(codes(), (std::vector<std::string>{"B", "C", "D", "E"}));
  EXPECT_EQ(s.grid.model()->data(s.grid.currentIndex()).toString().toStdString(), s.code());
  // A change that keeps the order reads nothing afresh: the row and its place stay.
  s.grid.setCurrentIndex(s.grid.model()->index(1, 1));
  s.type("trois");
  s.ds.post();
  QCoreApplication::processEvents();
  EXPECT_EQ(codes(), (std::vector<std::string>{"B", "C", "D", "E"}));
  EXPECT_EQ(s.at(), std::make_pair(1, 1));
}

TEST(DbGrid, ADetailsGridShowsTheRecordsOfTheMastersCurrentRecord) {
  PiecesTable cars({{"A", "boxcar"}, {"B", "tank car"}, {"C", "caboose"}});
  PiecesTable bills({{"B", "oil"}, {"A", "lumber"}, {"A", "grain"}});
  Dataset master;
  master.open(cars.engine, cars.request());
  Dataset detail;
  detail.open(bills.engine, bills.request(), "CODE");
  detail.setMaster(&master, {"CODE"});
  DataSource source(&detail);
  DbGrid grid;
  grid.setDataSource(&source, {{"NAME", 20, {}}});
  grid.show();
  auto names = [&] {
    std::vector<std::string> out;
    for (int r = 0; r < grid.model()->rowCount(); ++r)
      out.push_back(grid.model()->data(grid.model()->index(r, 0)).toString().toStdString());
    return out;
  };
  EXPECT_EQ(names(), (std::vector<std::string>{"lumber", "grain"}));
  master.next();
  EXPECT_EQ(names(), (std::vector<std::string>{"oil"}));
  EXPECT_EQ(grid.model()->data(grid.currentIndex()).toString(), "oil");
  master.next();
  EXPECT_TRUE(names().empty());
  // A new row in the detail belongs to the master's record.
  grid.setFocus();
  QTest::keyClick(&grid, Qt::Key_Insert);
  ASSERT_EQ(detail.state(), DatasetState::Insert);
  EXPECT_EQ(detail.field("CODE").asText(), "C");
  detail.field("NAME").setText("coal");
  detail.post();
  EXPECT_EQ(names(), (std::vector<std::string>{"coal"}));
  master.first();
  EXPECT_EQ(names(), (std::vector<std::string>{"lumber", "grain"}));

  // A grid over the master reads its rows by walking it, which moves the detail along; the
  // detail's grid ends on the master's current record all the same.
  detail.next();
  DataSource masterSource(&master);
  DbGrid masterGrid;
  masterGrid.setDataSource(&masterSource);
  masterGrid.show();
  EXPECT_EQ(masterGrid.model()->rowCount(), 3);
  EXPECT_EQ(master.field("CODE").asText(), "A");
  EXPECT_EQ(names(), (std::vector<std::string>{"lumber", "grain"}));
  EXPECT_EQ(grid.model()->data(grid.currentIndex()).toString().toStdString(), detail.field("NAME").asText().toStdString());
}

TEST(DbGrid, ANewRowNobodyTypedIntoGoesWhenTheGridMovesOffItOrIsLeft) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Screen s(t);
  QLineEdit elsewhere;
  elsewhere.show();
  s.ds.onNewRecord = [](Dataset& d) { d.field("NAME").setText("default"); };
  // Down past the end, then a click on the first row: no empty record is saved.
  s.ds.last();
  s.key(Qt::Key_Down);
  ASSERT_EQ(s.ds.state(), DatasetState::Insert);
  ASSERT_EQ(s.grid.model()->rowCount(), 3);
  const QModelIndex first = s.grid.model()->index(0, 0);
  QTest::mouseClick(s.grid.viewport(), Qt::LeftButton, {}, s.grid.visualRect(first).center());
  EXPECT_EQ(s.ds.state(), DatasetState::Browse);
  EXPECT_EQ(s.code(), "A");
  EXPECT_EQ(s.grid.model()->rowCount(), 2);
  // Insert before B, then Up: dropped, and the grid stands on A.
  s.key(Qt::Key_Down);
  s.key(Qt::Key_Insert);
  ASSERT_EQ(s.at().first, 1);
  s.key(Qt::Key_Up);
  EXPECT_EQ(s.ds.state(), DatasetState::Browse);
  EXPECT_EQ(s.code(), "A");
  EXPECT_EQ(s.at().first, 0);

  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two"}));
}

TEST(DbGrid, LeavingTheGridDropsAnUntouchedNewRowButNotOneTypedInto) {
  PiecesTable t({{"A", "one"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  DataSource source(&ds);
  QWidget window;
  auto* grid = new DbGrid(&window);
  grid->setDataSource(&source, {{"CODE", 8, {}}, {"NAME", 20, {}}});
  auto* other = new QLineEdit(&window);
  grid->setGeometry(0, 0, 300, 150);
  other->setGeometry(0, 160, 300, 25);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  grid->setFocus();
  ASSERT_TRUE(grid->hasFocus());

  QTest::keyClick(grid, Qt::Key_Insert);
  ASSERT_EQ(ds.state(), DatasetState::Insert);
  QTest::keyClick(grid, Qt::Key_Tab);  // moving between cells of the new row keeps it
  EXPECT_EQ(ds.state(), DatasetState::Insert);
  other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(ds.state(), DatasetState::Browse);
  EXPECT_EQ(grid->model()->rowCount(), 1);

  grid->setFocus();
  QTest::keyClick(grid, Qt::Key_Insert);
  grid->edit(grid->currentIndex());
  QWidget* editor = grid->indexWidget(grid->currentIndex());
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "B");  // the focus in the cell editor is still in the grid
  EXPECT_EQ(ds.state(), DatasetState::Insert);
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();
  other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(ds.state(), DatasetState::Insert);
  ds.post();
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "=B"}));  // Insert kept the column
}

TEST(DbGrid, EscapeDropsTheRecordsPendingChange) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Screen s(t);
  s.key(Qt::Key_Tab);
  s.type("uno");
  ASSERT_EQ(s.ds.state(), DatasetState::Edit);
  s.key(Qt::Key_Escape);
  EXPECT_EQ(s.ds.state(), DatasetState::Browse);
  EXPECT_EQ(s.ds.field("NAME").asText(), "one");
  EXPECT_EQ(s.grid.model()->data(s.grid.currentIndex()).toString(), "one");
  EXPECT_EQ(s.at(), std::make_pair(0, 1));
  // A new row dropped so goes away.
  s.key(Qt::Key_Insert);
  ASSERT_EQ(s.ds.state(), DatasetState::Insert);
  s.key(Qt::Key_Escape);
  EXPECT_EQ(s.grid.model()->rowCount(), 2);
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two"}));
}

}  // namespace

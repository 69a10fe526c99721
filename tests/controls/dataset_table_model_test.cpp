// The grid's model over a dataset on real tables: lazy reading, edits through the dataset,
// new and deleted rows, all under QAbstractItemModelTester.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QCoreApplication>
#include <memory>

#include "controls/dataset_table_model.h"
#include "tables/error.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::controls::ColumnList;
using rf::controls::DatasetTableModel;
using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::test::PiecesTable;

namespace {

// A model with a tester watching every change it announces.
struct Grid {
  Dataset ds;
  std::unique_ptr<DatasetTableModel> model;
  std::unique_ptr<QAbstractItemModelTester> tester;

  // The tester fetches on its own; a test of what gets fetched when attaches it later.
  Grid(PiecesTable& t, ColumnList columns = {}, bool watch = true) {
    ds.open(t.engine, t.request());
    model = std::make_unique<DatasetTableModel>(&ds, std::move(columns));
    if (watch) attachTester();
  }
  void attachTester() {
    tester = std::make_unique<QAbstractItemModelTester>(model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  }
  void fetchAll() {
    while (model->canFetchMore({})) model->fetchMore({});
  }
  QString cell(int row, int column) { return model->data(model->index(row, column)).toString(); }
  std::vector<std::string> column(int c) {
    std::vector<std::string> out;
    for (int r = 0; r < model->rowCount(); ++r) out.push_back(cell(r, c).toStdString());
    return out;
  }
};

TEST(DatasetTableModel, ShowsVisibleFieldsUnderTheirLabelsOrTheGivenColumns) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  {
    Dataset ds;
    ds.open(t.engine, t.request());
    ds.field("QTY").setVisible(false);
    ds.field("NAME").setDisplayLabel("Name");
    DatasetTableModel model(&ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "CODE");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "BOUGHT");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::UserRole).toInt(), 20);
  }
  Grid g(t, {{"name", 12, "Piece"}, {"QTY", 0, {}}});
  ASSERT_EQ(g.model->columnCount(), 2);
  EXPECT_EQ(g.model->headerData(0, Qt::Horizontal).toString(), "Piece");
  EXPECT_EQ(g.model->headerData(0, Qt::Horizontal, Qt::UserRole).toInt(), 12);
  EXPECT_EQ(g.model->headerData(1, Qt::Horizontal).toString(), "QTY");
  EXPECT_EQ(g.model->data(g.model->index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
            Qt::AlignRight);
  g.fetchAll();
  EXPECT_EQ(g.column(0), (std::vector<std::string>{"one", "two"}));

  Dataset ds;
  ds.open(t.engine, t.request());
  EXPECT_THROW(DatasetTableModel(&ds, ColumnList{{"NOSUCH", 0, {}}}), rf::tables::TableError);
}

TEST(DatasetTableModel, ReadsOnlyTheRowsAskedForWithoutMovingTheDatasetForItsWatchers) {
  PiecesTable t;
  {
    auto table = t.engine.openPath(t.path);
    for (int i = 0; i < 300; ++i) {
      rf::tables::Record r = table->blankRecord();
      table->set(r, "CODE", rf::tables::Value::text("C" + std::to_string(i)));
      table->insert(r);
    }
  }
  Grid g(t, {{"CODE", 0, {}}}, false);
  EXPECT_EQ(g.model->rowCount(), 0);
  ASSERT_TRUE(g.model->canFetchMore({}));
  g.ds.next();
  g.ds.next();  // on C2
  QSignalSpy scrolls(&g.ds, &Dataset::afterScroll);
  g.model->fetchMore({});
  EXPECT_EQ(g.model->rowCount(), DatasetTableModel::kFetchBatch);
  EXPECT_EQ(g.cell(50, 0), "C50");
  EXPECT_EQ(g.cell(2, 0), "C2");
  EXPECT_EQ(scrolls.count(), 0);
  EXPECT_EQ(g.ds.field("CODE").asText(), "C2");
  EXPECT_EQ(g.model->currentRow(), 2);

  // Asking for the current row of a record far down fetches only up to it.
  for (int i = 2; i < 100; ++i) g.ds.next();
  EXPECT_EQ(g.model->currentRow(), 100);
  EXPECT_EQ(g.model->rowCount(), 2 * DatasetTableModel::kFetchBatch);
  EXPECT_EQ(g.cell(100, 0), "C100");
  g.ds.last();
  g.ds.next();
  ASSERT_TRUE(g.ds.eof());
  g.attachTester();
  g.fetchAll();
  EXPECT_EQ(g.model->rowCount(), 300);
  EXPECT_FALSE(g.model->canFetchMore({}));
  EXPECT_TRUE(g.ds.eof()) << "the walk must not clear the dataset's end flag";
  g.ds.first();
  g.ds.prior();
  g.model->reload();
  g.model->fetchMore({});
  EXPECT_TRUE(g.ds.bof());
  EXPECT_EQ(g.ds.field("CODE").asText(), "C0");
  g.ds.last();

  QTableView view;
  view.setModel(g.model.get());
  view.resize(400, 300);
  view.show();
  EXPECT_EQ(g.ds.field("CODE").asText(), "C299");
}

TEST(DatasetTableModel, EditsWriteThroughTheDatasetAndPostWhenTheRowChanges) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
  Grid g(t, {{"CODE", 0, {}}, {"NAME", 0, {}}, {"QTY", 0, {}}, {"RUNS", 0, {}}});
  g.fetchAll();
  QSignalSpy changed(g.model.get(), &QAbstractItemModel::dataChanged);

  ASSERT_TRUE(g.model->setData(g.model->index(1, 1), "deux"));
  EXPECT_EQ(g.ds.state(), DatasetState::Edit);
  EXPECT_EQ(g.ds.field("CODE").asText(), "B");
  EXPECT_EQ(g.cell(1, 1), "deux");
  EXPECT_GE(changed.count(), 1);
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two", "C=three"}));
  // Another row, even one the view had read before, shows its own record while row 1 is edited.
  EXPECT_EQ(g.cell(2, 1), "three");

  ASSERT_TRUE(g.model->setData(g.model->index(2, 1), "trois"));
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=deux", "C=three"}));
  ASSERT_TRUE(g.model->setData(g.model->index(2, 3), true));
  EXPECT_EQ(g.model->data(g.model->index(2, 3), Qt::EditRole), QVariant(true));
  g.ds.post();
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=deux", "C=trois"}));
  EXPECT_EQ(g.column(1), (std::vector<std::string>{"one", "deux", "trois"}));
  EXPECT_EQ(g.cell(2, 3), "True");

  // A value the field cannot take is refused with the platform's message; the record stays in
  // edit state with what was typed before.
  QSignalSpy failed(g.model.get(), &DatasetTableModel::failed);
  ASSERT_TRUE(g.model->setData(g.model->index(0, 1), "uno"));
  EXPECT_FALSE(g.model->setData(g.model->index(0, 2), "lots"));
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString(), "'lots' is not a valid floating point value for field 'QTY'");
  EXPECT_EQ(g.ds.state(), DatasetState::Edit);
  EXPECT_EQ(g.cell(0, 1), "uno");
  g.ds.cancel();
  EXPECT_EQ(g.cell(0, 1), "one");
}

TEST(DatasetTableModel, TypingIntoACellOfAViewEditsTheRecord) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Grid g(t, {{"CODE", 0, {}}, {"NAME", 0, {}}});
  QTableView view;
  view.setModel(g.model.get());
  view.resize(400, 200);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  ASSERT_EQ(g.model->rowCount(), 2);

  const QModelIndex cell = g.model->index(1, 1);
  view.setCurrentIndex(cell);
  view.edit(cell);
  QWidget* editor = view.indexWidget(cell);
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "dos");
  QTest::keyClick(editor, Qt::Key_Return);
  // The delegate commits what was typed on its next turn of the event loop.
  QCoreApplication::processEvents();
  EXPECT_EQ(view.indexWidget(cell), nullptr);
  EXPECT_EQ(g.ds.state(), DatasetState::Edit);
  EXPECT_EQ(g.ds.field("CODE").asText(), "B");
  EXPECT_EQ(g.cell(1, 1), "dos");
  g.ds.post();
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=dos"}));
}

TEST(DatasetTableModel, NewRowsAreTheDatasetsInsertAndTakeTheirPlaceOncePosted) {
  PiecesTable t({{"A", "one"}, {"C", "three"}});
  Grid g(t, {{"CODE", 0, {}}, {"NAME", 0, {}}});
  g.fetchAll();
  ASSERT_TRUE(g.model->insertRows(1, 1));
  EXPECT_EQ(g.ds.state(), DatasetState::Insert);
  ASSERT_EQ(g.model->rowCount(), 3);
  EXPECT_EQ(g.model->currentRow(), 1);
  EXPECT_EQ(g.cell(1, 0), "");
  EXPECT_EQ(g.cell(2, 0), "C");
  EXPECT_FALSE(g.model->insertRows(0, 1));  // one new record at a time
  ASSERT_TRUE(g.model->setData(g.model->index(1, 0), "B"));
  ASSERT_TRUE(g.model->setData(g.model->index(1, 1), "two"));
  EXPECT_EQ(g.cell(1, 1), "two");
  // Editing another row saves the new record first.
  ASSERT_TRUE(g.model->setData(g.model->index(0, 1), "uno"));
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "C=three", "B=two"}));
  g.ds.post();
  g.fetchAll();
  EXPECT_EQ(g.column(0), (std::vector<std::string>{"A", "C", "B"}));

  // A record the dataset starts on its own (a navigator's Insert) shows as a row too; dropping
  // it takes the row away again.
  g.ds.insert();
  EXPECT_EQ(g.model->rowCount(), 4);
  EXPECT_EQ(g.model->currentRow(), 3);
  g.ds.cancel();
  g.fetchAll();
  EXPECT_EQ(g.model->rowCount(), 3);

  // An insert the application's new-record rule refuses leaves no row behind.
  g.ds.onNewRecord = [](Dataset&) { rf::tables::throwError(rf::tables::ErrorKind::InvalidInput, "x", "refused"); };
  QSignalSpy failed(g.model.get(), &DatasetTableModel::failed);
  EXPECT_FALSE(g.model->insertRows(0, 1));
  EXPECT_EQ(failed.count(), 1);
  g.fetchAll();
  EXPECT_EQ(g.model->rowCount(), 3);
}

TEST(DatasetTableModel, RemovingRowsDeletesTheirRecords) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}, {"D", "four"}});
  Grid g(t, {{"CODE", 0, {}}});
  g.fetchAll();
  ASSERT_TRUE(g.model->removeRows(1, 2));
  EXPECT_EQ(g.column(0), (std::vector<std::string>{"A", "D"}));
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "D=four"}));

  // Removing the new row only drops it.
  ASSERT_TRUE(g.model->insertRows(2, 1));
  ASSERT_TRUE(g.model->setData(g.model->index(2, 0), "E"));
  ASSERT_TRUE(g.model->removeRows(2, 1));
  g.fetchAll();
  EXPECT_EQ(g.column(0), (std::vector<std::string>{"A", "D"}));
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "D=four"}));

  ASSERT_TRUE(g.model->removeRows(0, 2));
  EXPECT_EQ(g.model->rowCount(), 0);
  EXPECT_TRUE(g.ds.isEmpty());
  EXPECT_TRUE(t.onDisk().empty());
}

TEST(DatasetTableModel, AKeyChangedInAParadoxTableKeepsItsRowUntilReload) {
  rf::test::TempDir dir;
  rf::tables::Engine engine{dir.file("e.conf")};
  rf::tables::TableDef def;
  def.format = rf::tables::Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {rf::test::pxField("I_ASSET", rf::tables::FieldType::Number, 'N'),
                rf::test::pxField("I_DESC", rf::tables::FieldType::Text, 'A', 20)};
  {
    auto t = engine.create(dir.file("Inven.DB"), def);
    for (double a : {1, 2, 3}) {
      auto r = t->blankRecord();
      t->set(r, "I_ASSET", rf::tables::Value::number(a));
      t->set(r, "I_DESC", rf::tables::Value::text("car " + std::to_string(static_cast<int>(a))));
      t->insert(r);
    }
  }
  Dataset ds;
  ds.open(engine, {dir.file("Inven.DB"), {}, {}, {}, false, false});
  DatasetTableModel model(&ds);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  while (model.canFetchMore({})) model.fetchMore({});
  auto cell = [&](int r, int c) { return model.data(model.index(r, c)).toString().toStdString(); };

  // The key of the first record becomes 5; editing the next row posts it.
  ASSERT_TRUE(model.setData(model.index(0, 0), "5"));
  ASSERT_TRUE(model.setData(model.index(1, 1), "boxcar"));
  ds.post();
  EXPECT_EQ(cell(0, 0), "5");
  EXPECT_EQ(cell(0, 1), "car 1");
  EXPECT_EQ(cell(1, 1), "boxcar");
  model.reload();
  while (model.canFetchMore({})) model.fetchMore({});
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(cell(0, 0), "2");
  EXPECT_EQ(cell(2, 0), "5");
  EXPECT_EQ(cell(2, 1), "car 1");
}

}  // namespace

namespace {

// After a reload the rows are a window around the current record: a record deep in a large table
// shows without walking to it, and scrolling up reads the records before it, in order.
TEST(DatasetTableModel, ReloadShowsAWindowAroundTheCurrentRecord) {
  PiecesTable t;
  {
    auto table = t.engine.openPath(t.path);
    for (int i = 0; i < 1000; ++i) {
      rf::tables::Record r = table->blankRecord();
      char code[8];
      std::snprintf(code, sizeof code, "%04d", i);
      table->set(r, "CODE", rf::tables::Value::text(code));
      table->insert(r);
    }
  }
  Grid g(t, {{"CODE", 8, "Code"}});
  for (int i = 0; i < 700; ++i) g.ds.next();
  ASSERT_EQ(g.ds.field("CODE").asText(), "0700");
  g.model->reload();
  const int row = g.model->currentRow();
  ASSERT_GE(row, 0);
  EXPECT_EQ(g.cell(row, 0), "0700");
  EXPECT_LT(g.model->rowCount(), 200) << "nothing near the start was read";
  // A record far away is not walked to either: the rows are read afresh around it.
  g.ds.first();
  EXPECT_EQ(g.cell(g.model->currentRow(), 0), "0000");
  g.ds.last();
  EXPECT_EQ(g.cell(g.model->currentRow(), 0), "0999");
  EXPECT_LT(g.model->rowCount(), 200);
  // Scrolling up to the top reads what comes before, until the first record.
  while (g.model->canFetchFront()) ASSERT_GT(g.model->fetchFront(), 0);
  g.fetchAll();
  ASSERT_EQ(g.model->rowCount(), 1000);
  auto codes = g.column(0);
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  EXPECT_EQ(codes.front(), "0000");
  EXPECT_EQ(g.ds.field("CODE").asText(), "0999") << "reading rows never moves the dataset";
}

}  // namespace

// The order selector chosen from as a user would, over a Paradox table with a primary key and a
// secondary index.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QSignalSpy>

#include "controls/db_edit.h"
#include "controls/order_selector.h"
#include "tests/controls/editors_fixture.h"

using rf::controls::DbEdit;
using rf::controls::OrderSelector;
using rf::dataset::DataSource;
using rf::dataset::Dataset;
using rf::tables::FieldType;
using rf::tables::Value;
using rf::test::pxField;
using rf::test::walk;

namespace {

using Rows = std::vector<std::string>;

struct Codes {
  rf::test::TempDir dir;
  rf::tables::Engine engine{dir.file("e.conf")};
  Dataset ds;
  DataSource source{&ds};
  QWidget window;
  OrderSelector* selector = new OrderSelector(&window);

  Codes() {
    rf::tables::TableDef def;
    def.format = rf::tables::Format::Paradox;
    def.primaryKeyFields = 1;
    def.fields = {pxField("Code", FieldType::Text, 'A', 6), pxField("Name", FieldType::Text, 'A', 20),
                  pxField("Qty", FieldType::Number, 'N')};
    def.indexes = {{"ByName", {}, {"Name"}, false, false}, {"ByQty", {}, {"Qty"}, false, false}};
    auto tb = engine.create(dir.file("codes.db"), def);
    for (auto [code, name, qty] : {std::tuple{"K2", "alpha", 3}, {"K1", "bravo", 1}, {"K3", "charlie", 2}}) {
      rf::tables::Record r = tb->blankRecord();
      tb->set(r, "Code", Value::text(code));
      tb->set(r, "Name", Value::text(name));
      tb->set(r, "Qty", Value::number(qty));
      tb->insert(r);
    }
  }
  void open() { ds.open(engine, {dir.file("codes.db"), {}, {}, {}, false, false}); }
  // Opens the list and clicks the entry, as a user picks with the mouse.
  void pick(const QString& entry) {
    selector->showPopup();
    QAbstractItemView* view = selector->view();
    QModelIndex i = view->model()->index(selector->findText(entry), 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(i).center());
  }
};

TEST(OrderSelector, ListsTheIndexesAndChoosingOneKeepsTheRecord) {
  Codes c;
  c.selector->setDataSource(&c.source);
  EXPECT_FALSE(c.selector->isEnabled()) << "nothing to choose before the table is open";
  c.open();
  c.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&c.window));
  EXPECT_FALSE(c.selector->isEditable());
  EXPECT_EQ(c.selector->maxVisibleItems(), 8);
  ASSERT_EQ(c.selector->count(), 3);
  EXPECT_EQ(c.selector->itemText(0), "PrimaryKey");
  EXPECT_EQ(c.selector->itemText(1), "ByName");
  EXPECT_EQ(c.selector->itemText(2), "ByQty");
  EXPECT_EQ(c.selector->currentText(), "PrimaryKey");

  ASSERT_TRUE(c.ds.next());  // K2
  c.pick("ByName");
  EXPECT_EQ(c.ds.indexName(), "ByName");
  EXPECT_EQ(c.ds.field("Code").asText(), "K2") << "the record stays current";
  EXPECT_EQ(c.selector->currentText(), "ByName");
  EXPECT_FALSE(c.ds.prior()) << "first by name";

  c.selector->setFocus();
  QTest::keyClick(c.selector, Qt::Key_Down);
  EXPECT_EQ(c.ds.indexName(), "ByQty");
  EXPECT_EQ(walk(c.ds, "Code"), (Rows{"K1", "K3", "K2"}));

  c.pick("PrimaryKey");
  EXPECT_EQ(walk(c.ds, "Code"), (Rows{"K1", "K2", "K3"}));

  // An order the program sets shows too.
  c.ds.setIndexName("byname");
  EXPECT_EQ(c.selector->currentText(), "ByName");
}

TEST(OrderSelector, ARefusalIsAnnouncedAndTheOrderInForceShown) {
  Codes c;
  c.open();
  c.selector->setDataSource(&c.source);
  auto* qty = new DbEdit(&c.window);
  qty->move(0, 40);
  qty->setDataSource(&c.source);
  qty->setFieldName("Qty");
  c.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&c.window));
  QSignalSpy failed(c.selector, &OrderSelector::failed);

  // The pending change is posted before the order changes; a text that is no number stops it.
  QTest::keyClick(qty, Qt::Key_End);
  QTest::keyClicks(qty, "x");
  c.pick("ByName");
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString().toStdString(), "'1x' is not a valid floating point value for field 'Qty'");
  EXPECT_EQ(c.ds.indexName(), "");
  EXPECT_EQ(c.selector->currentText(), "PrimaryKey");
  EXPECT_EQ(c.ds.state(), rf::dataset::DatasetState::Edit);
}

}  // namespace

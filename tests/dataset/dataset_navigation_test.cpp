// Moving through a dataset: orders by index name, bookmarks, refresh after another writer and
// finding a key in a lookup table.

#include <gtest/gtest.h>

#include "dataset/dataset.h"
#include "tables/error.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::dataset::Dataset;
using rf::tables::ErrorKind;
using rf::tables::TableError;
using rf::tables::Value;
using rf::test::PiecesTable;
using rf::test::walk;

namespace {

using Rows = std::vector<std::string>;

TEST(DatasetNavigation, MovesReportTheEnds) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  int scrolls = 0;
  QObject::connect(&ds, &Dataset::afterScroll, [&] { ++scrolls; });
  EXPECT_TRUE(ds.next());
  EXPECT_FALSE(ds.next());
  EXPECT_TRUE(ds.eof());
  EXPECT_EQ(ds.field("CODE").asText(), "B");  // stays on the last record
  EXPECT_TRUE(ds.first());
  EXPECT_FALSE(ds.prior());
  EXPECT_TRUE(ds.bof());
  EXPECT_EQ(ds.field("CODE").asText(), "A");
  EXPECT_EQ(scrolls, 4);

  PiecesTable none;
  Dataset empty;
  empty.open(none.engine, none.request());
  EXPECT_FALSE(empty.first());
  EXPECT_TRUE(empty.eof() && empty.bof() && empty.isEmpty());
  EXPECT_EQ(empty.field("QTY").asNumber(), 0.0);
  EXPECT_EQ(empty.field("NAME").asText(), "");
}

TEST(DatasetNavigation, IndexNamesInTheTablesOrderAndSwitchingKeepsTheRecord) {
  PiecesTable t({{"B", "zulu"}, {"A", "yankee"}, {"C", "alpha"}});
  Dataset ds;
  ds.open(t.engine, t.request(), "code");
  EXPECT_EQ(ds.indexNames(), (QStringList{"CODE", "QTY", "NAMEQTY"}));
  EXPECT_EQ(walk(ds, "CODE"), (Rows{"A", "B", "C"}));
  ASSERT_TRUE(ds.first() && ds.next());
  ASSERT_EQ(ds.field("CODE").asText(), "B");

  ds.setIndexName("NAMEQTY");
  EXPECT_EQ(ds.indexName(), "NAMEQTY");
  EXPECT_EQ(ds.field("CODE").asText(), "B");  // still the same record, now last by name
  EXPECT_FALSE(ds.next());
  EXPECT_EQ(walk(ds, "CODE"), (Rows{"C", "A", "B"}));

  ds.setIndexName("PrimaryKey");  // record order for a dBASE table
  EXPECT_EQ(walk(ds, "CODE"), (Rows{"B", "A", "C"}));

  ASSERT_TRUE(ds.last());
  try {
    ds.setIndexName("NOSUCH");
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::NotFound);
  }
  EXPECT_EQ(ds.indexName(), "");  // the order and the record are as they were
  EXPECT_EQ(ds.field("CODE").asText(), "C");
  EXPECT_FALSE(ds.next());

  // A pending change is posted before the order changes, and the edited record stays current.
  ASSERT_TRUE(ds.first());
  ds.edit();
  ds.field("NAME").setText("mike");
  ds.setIndexName("NAMEQTY");
  EXPECT_EQ(ds.field("CODE").asText(), "B");
  EXPECT_EQ(walk(ds, "NAME"), (Rows{"alpha", "mike", "yankee"}));
}

TEST(DatasetNavigation, ParadoxListsThePrimaryKeyFirst) {
  rf::test::TempDir dir;
  rf::tables::Engine engine(dir.file("e.conf"));
  rf::tables::TableDef def;
  def.format = rf::tables::Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {rf::test::pxField("Code", rf::tables::FieldType::Text, 'A', 6),
                rf::test::pxField("Name", rf::tables::FieldType::Text, 'A', 20)};
  def.indexes = {{"ByName", {}, {"Name"}, false, false}};
  {
    auto tb = engine.create(dir.file("codes.db"), def);
    for (auto [code, name] : {std::pair{"K2", "alpha"}, {"K1", "bravo"}, {"K3", "charlie"}}) {
      rf::tables::Record r = tb->blankRecord();
      tb->set(r, "Code", Value::text(code));
      tb->set(r, "Name", Value::text(name));
      tb->insert(r);
    }
  }
  Dataset ds;
  ds.open(engine, {dir.file("codes.db"), {}, {}, {}, false, false});
  EXPECT_EQ(ds.indexNames(), (QStringList{"PrimaryKey", "ByName"}));
  EXPECT_EQ(walk(ds, "Code"), (Rows{"K1", "K2", "K3"}));
  ASSERT_TRUE(ds.findKey(QString("K2")));
  ds.setIndexName("byname");
  EXPECT_EQ(ds.field("Code").asText(), "K2");
  EXPECT_FALSE(ds.prior());  // first by name
  EXPECT_EQ(walk(ds, "Code"), (Rows{"K2", "K1", "K3"}));
  ASSERT_TRUE(ds.last());
  ds.setIndexName("PrimaryKey");
  EXPECT_EQ(ds.field("Code").asText(), "K3");
}

TEST(DatasetNavigation, ABookmarkToADeletedRecordIsDroppedQuietly) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  ASSERT_TRUE(ds.next());
  auto saved = ds.bookmark();
  ASSERT_TRUE(ds.last());
  EXPECT_TRUE(ds.gotoBookmark(saved));
  EXPECT_EQ(ds.field("CODE").asText(), "B");

  // Another user deletes the bookmarked record.
  {
    auto other = t.engine.openPath(t.path);
    other->remove(saved);
  }
  ASSERT_TRUE(ds.first());
  EXPECT_NO_THROW(EXPECT_FALSE(ds.gotoBookmark(saved)));
  EXPECT_EQ(ds.field("CODE").asText(), "A");
  EXPECT_FALSE(ds.gotoBookmark({}));

  // And one this dataset deleted itself.
  ASSERT_TRUE(ds.last());
  auto third = ds.bookmark();
  ds.remove();
  EXPECT_FALSE(ds.gotoBookmark(third));
  EXPECT_EQ(ds.field("CODE").asText(), "A");
}

TEST(DatasetNavigation, RefreshShowsWhatAnotherWriterDid) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Dataset ds;
  ds.open(t.engine, t.request(), "CODE");
  ASSERT_TRUE(ds.next());
  {
    auto other = t.engine.openPath(t.path);
    auto c = other->openCursor("CODE");
    ASSERT_TRUE(c->seek({Value::text("B")}));
    rf::tables::Record r = c->record();
    other->set(r, "NAME", Value::text("changed"));
    other->update(r);
    rf::tables::Record n = other->blankRecord();
    other->set(n, "CODE", Value::text("AA"));
    other->insert(n);
  }
  ds.refresh();
  EXPECT_EQ(ds.field("NAME").asText(), "changed");
  EXPECT_EQ(walk(ds, "CODE"), (Rows{"A", "AA", "B"}));

  PiecesTable empty;
  Dataset e;
  e.open(empty.engine, empty.request());
  {
    auto other = empty.engine.openPath(empty.path);
    rf::tables::Record n = other->blankRecord();
    other->set(n, "CODE", Value::text("NEW"));
    other->insert(n);
  }
  e.refresh();
  ASSERT_FALSE(e.isEmpty());
  EXPECT_EQ(e.field("CODE").asText(), "NEW");
}

TEST(DatasetNavigation, FindKeyInALookupTableMakesTheRecordCurrent) {
  PiecesTable t({{"SW", "switcher"}, {"BOX", "boxcar"}, {"TNK", "tank car"}});
  Dataset lookup;
  lookup.open(t.engine, t.request(), "CODE");
  ASSERT_TRUE(lookup.last());
  EXPECT_TRUE(lookup.findKey(QString("BOX")));
  EXPECT_EQ(lookup.field("NAME").asText(), "boxcar");
  EXPECT_FALSE(lookup.findKey(QString("ZZZ")));  // not there: stays put
  EXPECT_EQ(lookup.field("NAME").asText(), "boxcar");
  EXPECT_FALSE(lookup.findKey(QString("C")));
  EXPECT_EQ(lookup.field("NAME").asText(), "boxcar");
  EXPECT_TRUE(lookup.findKey(std::vector<Value>{Value::text("TNK")}));
  EXPECT_EQ(lookup.field("NAME").asText(), "tank car");

  // Record order has no key to find by: the engine's refusal comes through.
  Dataset plain;
  plain.open(t.engine, t.request());
  EXPECT_THROW(plain.findKey(QString("BOX")), TableError);
}

}  // namespace

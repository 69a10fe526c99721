// A detail dataset following its master through a range on its index: Paradox inventory and
// waybills keyed on the asset number, and a dBASE pair linked through a tag.

#include <gtest/gtest.h>

#include "dataset/dataset.h"
#include "tables/error.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::tables::FieldType;
using rf::tables::Format;
using rf::tables::TableDef;
using rf::tables::TableError;
using rf::tables::Value;
using rf::test::pxField;
using rf::test::walk;

namespace {

using Rows = std::vector<std::string>;

class ParadoxPair : public ::testing::Test {
 protected:
  void SetUp() override {
    TableDef inven;
    inven.format = Format::Paradox;
    inven.primaryKeyFields = 1;
    inven.fields = {pxField("I_ASSET", FieldType::Number, 'N'), pxField("I_DESC", FieldType::Text, 'A', 20)};
    TableDef waybill;
    waybill.format = Format::Paradox;
    waybill.primaryKeyFields = 2;
    waybill.fields = {pxField("Asset_no", FieldType::Number, 'N'), pxField("Wayb_No", FieldType::Number, 'N'),
                      pxField("Shp_loc", FieldType::Text, 'A', 10)};
    auto i = engine.create(dir.file("Inven.DB"), inven);
    for (double a : {1, 2, 3}) {
      auto r = i->blankRecord();
      i->set(r, "I_ASSET", Value::number(a));
      i->insert(r);
    }
    auto w = engine.create(dir.file("Waybill.DB"), waybill);
    for (auto [a, n] : {std::pair{1, 11}, {3, 30}, {1, 10}, {2, 20}, {1, 12}}) {
      auto r = w->blankRecord();
      w->set(r, "Asset_no", Value::number(a));
      w->set(r, "Wayb_No", Value::number(n));
      w->insert(r);
    }
    master.open(engine, {dir.file("Inven.DB"), {}, {}, {}, false, false});
    // Named without extension, the format declared, as the waybill table object does.
    detail.open(engine, {dir.file("Waybill"), Format::Paradox, {}, {}, false, false});
  }

  rf::test::TempDir dir;
  rf::tables::Engine engine{dir.file("e.conf")};
  Dataset master;
  Dataset detail;
};

TEST_F(ParadoxPair, TheDetailFollowsEveryMoveOfTheMaster) {
  detail.setMaster(&master, {"i_asset"});
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"10", "11", "12"}));
  int detailScrolls = 0;
  QObject::connect(&detail, &Dataset::afterScroll, [&] { ++detailScrolls; });
  ASSERT_TRUE(master.next());
  EXPECT_EQ(detailScrolls, 1);
  EXPECT_EQ(detail.field("Wayb_No").asText(), "20");  // on the first of the range at once
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"20"}));
  ASSERT_TRUE(master.last());
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"30"}));
  ASSERT_TRUE(master.first());
  EXPECT_EQ(walk(detail, "WAYB_NO"), (Rows{"10", "11", "12"}));

  // A new master record without waybills shows none; a new waybill gets the master's key.
  master.insert();
  master.field("I_ASSET").setNumber(4);
  master.post();
  EXPECT_TRUE(detail.isEmpty());
  EXPECT_FALSE(detail.first());
  detail.insert();
  EXPECT_EQ(detail.field("Asset_no").asNumber(), 4.0);
  detail.field("Wayb_No").setNumber(40);
  detail.post();
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"40"}));

  // Unlinked: every waybill in index order; linked again: the master's again.
  detail.unlink();
  EXPECT_EQ(detail.master(), nullptr);
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"10", "11", "12", "20", "30", "40"}));
  ASSERT_TRUE(master.first());
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"10", "11", "12", "20", "30", "40"}));
  detail.setMaster(&master, {"I_ASSET"});
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"10", "11", "12"}));
}

TEST_F(ParadoxPair, HeldMovesLeaveTheDetailUntilReleasedElsewhere) {
  detail.setMaster(&master, {"I_ASSET"});
  int detailScrolls = 0, masterScrolls = 0;
  QObject::connect(&detail, &Dataset::afterScroll, [&] { ++detailScrolls; });
  QObject::connect(&master, &Dataset::afterScroll, [&] { ++masterScrolls; });
  {
    // A walk that comes back: nothing announced, the detail never moved.
    Dataset::MoveHold outer(master);
    ASSERT_TRUE(master.next());
    {
      Dataset::MoveHold inner(master);
      ASSERT_TRUE(master.last());
    }
    EXPECT_EQ(detail.field("Wayb_No").asText(), "10") << "the inner release is no release";
    ASSERT_TRUE(master.first());
  }
  EXPECT_EQ(detailScrolls, 0);
  EXPECT_EQ(masterScrolls, 0);
  {
    // A walk that ends elsewhere: announced once, at the release.
    Dataset::MoveHold hold(master);
    ASSERT_TRUE(master.next());
    ASSERT_TRUE(master.next());
    EXPECT_EQ(detailScrolls, 0);
  }
  EXPECT_EQ(masterScrolls, 1);
  EXPECT_EQ(detailScrolls, 1);
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"30"}));
}

TEST_F(ParadoxPair, AMasterMovePostsTheDetailsPendingChangeFirst) {
  detail.setMaster(&master, {"I_ASSET"});
  detail.edit();
  detail.field("Shp_loc").setText("Yard");
  ASSERT_TRUE(master.next());
  EXPECT_EQ(detail.state(), DatasetState::Browse);
  ASSERT_TRUE(master.first());
  EXPECT_EQ(detail.field("Shp_loc").asText(), "Yard");

  // A detail post that the engine refuses stops the master's move.
  detail.insert();
  detail.field("Wayb_No").setNumber(11);  // (1, 11) exists
  EXPECT_THROW(master.next(), TableError);
  EXPECT_EQ(master.field("I_ASSET").asNumber(), 1.0);
  EXPECT_EQ(detail.state(), DatasetState::Insert);
  detail.cancel();
  ASSERT_TRUE(master.next());
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"20"}));
}

TEST_F(ParadoxPair, AnEmptyOrClosedMasterLeavesTheDetailEmpty) {
  detail.setMaster(&master, {"I_ASSET"});
  master.close();
  EXPECT_TRUE(detail.isEmpty());
  EXPECT_FALSE(detail.first());
  EXPECT_FALSE(detail.last());
  EXPECT_EQ(detail.field("Wayb_No").asNumber(), 0.0);
  master.open(engine, {dir.file("Inven.DB"), {}, {}, {}, false, false});
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"10", "11", "12"}));

  // Linking needs an order with as many leading fields as the master gives.
  EXPECT_THROW(detail.setMaster(&master, {"I_ASSET", "I_DESC", "I_ASSET"}), TableError);
  EXPECT_THROW(detail.setMaster(&master, {"NOSUCH"}), TableError);
  EXPECT_EQ(walk(detail, "Wayb_No"), (Rows{"10", "11", "12"}));  // still linked as before
}

TEST_F(ParadoxPair, DestroyingTheMasterUnlinks) {
  auto m = std::make_unique<Dataset>();
  m->open(engine, {dir.file("Inven.DB"), {}, {}, {}, false, false});
  detail.setMaster(m.get(), {"I_ASSET"});
  EXPECT_EQ(walk(detail, "Wayb_No").size(), 3u);
  m.reset();
  EXPECT_EQ(detail.master(), nullptr);
  detail.refresh();
  EXPECT_EQ(walk(detail, "Wayb_No").size(), 3u);  // the range stays until unlinked
  detail.unlink();
  EXPECT_EQ(walk(detail, "Wayb_No").size(), 5u);
}

TEST(DatasetMasterDetail, DbaseDetailThroughATag) {
  rf::test::TempDir dir;
  rf::tables::Engine engine(dir.file("e.conf"));
  TableDef towns;
  towns.format = Format::Dbase;
  towns.fields = {rf::test::field("CITY", FieldType::Text, 12)};
  towns.indexes = {{"CITY", "CITY", {}, false, false}};
  TableDef industry;
  industry.format = Format::Dbase;
  industry.fields = {rf::test::field("CITY", FieldType::Text, 12), rf::test::field("NAME", FieldType::Text, 20)};
  industry.indexes = {{"CITY", "CITY", {}, false, false}};
  {
    auto t = engine.create(dir.file("TOWNS.DBF"), towns);
    for (const char* c : {"Elmira", "Albany"}) {
      auto r = t->blankRecord();
      t->set(r, "CITY", Value::text(c));
      t->insert(r);
    }
    auto i = engine.create(dir.file("INDUSTRY.DBF"), industry);
    for (auto [c, n] : {std::pair{"Elmira", "Mill"}, {"Albany", "Brewery"}, {"Elmira", "Bakery"}}) {
      auto r = i->blankRecord();
      i->set(r, "CITY", Value::text(c));
      i->set(r, "NAME", Value::text(n));
      i->insert(r);
    }
  }
  Dataset town, ind;
  town.open(engine, {dir.file("towns.dbf"), {}, {}, {}, false, false}, "CITY");
  ind.open(engine, {dir.file("industry.dbf"), {}, {}, {}, false, false}, "CITY");
  ind.setMaster(&town, {"CITY"});
  EXPECT_EQ(walk(ind, "NAME"), (Rows{"Brewery"}));
  ASSERT_TRUE(town.next());
  EXPECT_EQ(walk(ind, "NAME"), (Rows{"Mill", "Bakery"}));
}

}  // namespace

// The inventory record's rules, run through the inventory table object as every screen runs them.
#include <gtest/gtest.h>

#include <cmath>

#include "app_fixture.h"
#include "data/data_module.h"
#include "inventory/fm_inven_brw.h"
#include "tables/error.h"
#include "tables/fault_file_system.h"

using rf::data::TdmMain;
using rf::dataset::DatasetState;
using rf::inventory::TfmInvenBrw;
using rf::testing::Collection;

namespace {

double stored(Collection& c, double asset, const char* field) {
  auto engine = c.otherEngine();
  rf::tables::OpenRequest r;
  r.name = "Inven.DB";
  auto t = engine->open(r);
  auto cur = t->openCursor();
  if (!cur->seek({rf::tables::Value::number(asset)})) return NAN;
  auto v = t->get(cur->record(), field);
  return v.isBlank() ? 0 : v.asNumber();
}

double counter(TdmMain& dm) { return dm.tbOptions().field("NEXTASSET").asNumber(); }

TEST(InventoryRules, SaveWorksOutIncreaseAndGain) {
  struct Case {
    const char* cost;  // "" leaves the field empty
    const char* value;
    double increase;
    double gain;
  };
  const Case cases[] = {
      {"10", "15", 5, 50},     {"20", "15", -5, -25}, {"8", "2", -6, -75}, {"0.50", "1.25", 0.75, 150},
      {"0", "12", 12, 0},      // no division by a zero cost
      {"", "", 0, 0},          // both empty read as 0
      {"10", "10", 0, 0},      // value back at its cost: the gain no longer holds, it is 0 (our choice)
  };
  Collection c;
  TdmMain dm(c.engine());
  TfmInvenBrw b(dm);
  auto& inv = b.tbInven();
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.cost) + " -> " + k.value);
    inv.insert();
    const double asset = inv.field("I_ASSET").asNumber();
    // An earlier percentage is there to be replaced.
    inv.edit();
    inv.field("I_COST").setText("4");
    inv.field("I_VALUE").setText("5");
    inv.post();
    ASSERT_EQ(inv.field("I_Gain").asNumber(), 25);
    inv.edit();
    inv.field("I_COST").setText(k.cost);
    inv.field("I_VALUE").setText(k.value);
    inv.post();
    EXPECT_DOUBLE_EQ(stored(c, asset, "I_Increase"), k.increase);
    EXPECT_DOUBLE_EQ(stored(c, asset, "I_Gain"), k.gain);
  }
}

TEST(InventoryRules, SavingUntouchedRecordRewritesTheDerivedFields) {
  Collection c;
  TdmMain dm(c.engine());
  TfmInvenBrw b(dm);
  auto& inv = b.tbInven();
  inv.insert();
  const double asset = inv.field("I_ASSET").asNumber();
  // Another program changes the cost behind our back, leaving the increase stale.
  {
    auto engine = c.otherEngine();
    rf::tables::OpenRequest r;
    r.name = "Inven.DB";
    auto t = engine->open(r);
    auto cur = t->openCursor();
    ASSERT_TRUE(cur->seek({rf::tables::Value::number(asset)}));
    rf::tables::Record rec = cur->record();
    t->set(rec, "I_COST", rf::tables::Value::number(10));
    t->set(rec, "I_VALUE", rf::tables::Value::number(15));
    t->update(rec);
  }
  inv.refresh();
  inv.edit();
  inv.post();
  EXPECT_EQ(stored(c, asset, "I_Increase"), 5);
  EXPECT_EQ(stored(c, asset, "I_Gain"), 50);
}

TEST(InventoryRules, NewRecordsAreNumberedAndStoredAtOnce) {
  Collection c;
  TdmMain dm(c.engine());
  TfmInvenBrw b(dm);
  auto& inv = b.tbInven();
  const double before = counter(dm);
  inv.insert();
  EXPECT_EQ(inv.state(), DatasetState::Browse) << "stored at once";
  inv.cancel();  // nothing left to undo
  inv.insert();
  EXPECT_EQ(inv.field("I_ASSET").asNumber(), before + 2);
  EXPECT_EQ(counter(dm), before + 2);
  for (const char* f : {"I_COST", "I_VALUE", "I_Increase", "I_Gain"}) EXPECT_EQ(stored(c, before + 1, f), 0) << f;
  EXPECT_TRUE(inv.findKey(QString::number(before + 1)));
  EXPECT_TRUE(inv.field("I_DESC").asText().isEmpty());
  EXPECT_TRUE(inv.field("I_EQTYPE").isNull());
  // A number typed by hand is not looked at by the counter: the next new record is given it,
  // the key is refused, and the number is used up.
  inv.edit();
  inv.field("I_ASSET").setNumber(before + 3);
  inv.post();
  EXPECT_THROW(inv.insert(), rf::tables::TableError);
  EXPECT_EQ(counter(dm), before + 3);
  inv.insert();
  EXPECT_EQ(inv.field("I_ASSET").asNumber(), before + 4);
}

TEST(InventoryRules, FailedSaveOfTheNewRecordStillUsesUpItsNumber) {
  Collection c;
  rf::tables::FaultFileSystem faults(rf::tables::FileSystem::real());
  rf::tables::Engine engine(c.configPath(), faults);
  TdmMain dm(engine);
  TfmInvenBrw b(dm);
  auto& inv = b.tbInven();
  const double before = counter(dm);
  const auto records = inv.table().info().recordCount;
  faults.arm(rf::tables::FaultFileSystem::Op::Write, 1, rf::tables::FaultFileSystem::Action::Fail, 28, "Inven");
  EXPECT_THROW(inv.insert(), rf::tables::TableError);
  faults.disarm();
  EXPECT_EQ(inv.state(), DatasetState::Browse) << "the new record is abandoned";
  EXPECT_EQ(inv.table().info().recordCount, records);
  EXPECT_EQ(counter(dm), before + 1);
  inv.insert();
  EXPECT_EQ(inv.field("I_ASSET").asNumber(), before + 2);
}

TEST(InventoryRules, LockedOptionsRecordStopsTheNewRecord) {
  Collection c;
  TdmMain dm(c.engine());
  TfmInvenBrw b(dm);
  auto& inv = b.tbInven();
  rf::testing::OptionsLock lock(c);
  const auto records = inv.table().info().recordCount;
  EXPECT_THROW(inv.insert(), rf::tables::TableError);
  EXPECT_EQ(inv.state(), DatasetState::Browse);
  EXPECT_EQ(inv.table().info().recordCount, records);
}

}  // namespace

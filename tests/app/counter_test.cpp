// The counter operation on the options record, through its own entry point.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "data/counter.h"
#include "data/data_module.h"
#include "tables/error.h"
#include "tables/fault_file_system.h"

using rf::data::kAssetCounter;
using rf::data::kWaybillCounter;
using rf::data::raiseCounter;
using rf::data::TdmMain;
using rf::dataset::DatasetState;
using rf::testing::Collection;

namespace {

rf::tables::OpenRequest optionsFile() {
  rf::tables::OpenRequest r;
  r.name = "OPTIONS.DBF";
  r.alias = "rf";
  return r;
}

// What the options file holds, read by another program.
double storedCounter(Collection& c, const char* field) {
  auto engine = c.otherEngine();
  auto t = engine->open(optionsFile());
  auto cur = t->openCursor();
  EXPECT_TRUE(cur->first());
  auto v = t->get(cur->record(), field);
  return v.isBlank() ? 0 : v.asNumber();
}

TEST(Counter, RaisesByOneAndSaves) {
  struct Case {
    const char* counter;
    const char* typed;  // the counter's value before, as typed on the Preferences screen ("": blank)
    double expected;
  };
  for (const Case& k : {Case{"NEXTASSET", "", 1}, Case{"NEXTASSET", "100", 101}, Case{"NEXTWAYB", "", 1},
                        Case{"NEXTWAYB", "41", 42}}) {
    SCOPED_TRACE(std::string(k.counter) + " from '" + k.typed + "'");
    Collection c;
    TdmMain dm(c.engine());
    auto& options = dm.tbOptions();
    options.edit();
    options.field(k.counter).setText(k.typed);
    options.post();
    EXPECT_EQ(raiseCounter(options, k.counter), k.expected);
    EXPECT_EQ(options.state(), DatasetState::Browse);
    EXPECT_EQ(storedCounter(c, k.counter), k.expected);
  }
}

TEST(Counter, SavesPendingOwnerChangesWithTheCounter) {
  Collection c;
  TdmMain dm(c.engine());
  auto& options = dm.tbOptions();
  options.edit();
  options.field("NAME").setText("Casey Jones");
  const double before = options.field(kAssetCounter).asNumber();
  EXPECT_EQ(raiseCounter(options, kAssetCounter), before + 1);
  auto engine = c.otherEngine();
  auto t = engine->open(optionsFile());
  auto cur = t->openCursor();
  ASSERT_TRUE(cur->first());
  EXPECT_EQ(t->get(cur->record(), "NAME").asText(), "Casey Jones");
}

TEST(Counter, EmptyOptionsTableGetsItsFirstRecord) {
  Collection c;
  c.engine().empty(optionsFile());
  TdmMain dm(c.engine());
  auto& options = dm.tbOptions();
  ASSERT_TRUE(options.isEmpty());
  EXPECT_EQ(raiseCounter(options, kWaybillCounter), 1);
  EXPECT_EQ(options.table().info().recordCount, 1u);
  EXPECT_TRUE(options.field("NAME").asText().isEmpty());
  EXPECT_EQ(options.field(kAssetCounter).asNumber(), 0);
  EXPECT_EQ(storedCounter(c, "NEXTWAYB"), 1);
}

TEST(Counter, LockedOptionsRecordNumbersNothing) {
  Collection c;
  TdmMain dm(c.engine());
  auto& options = dm.tbOptions();
  const double before = options.field(kAssetCounter).asNumber();
  rf::testing::OptionsLock lock(c);
  // The record lock refuses the edit itself, before anything was raised.
  EXPECT_THROW(raiseCounter(options, kAssetCounter), rf::tables::TableError);
  EXPECT_EQ(options.state(), DatasetState::Browse);
  EXPECT_EQ(storedCounter(c, "NEXTASSET"), before);
  lock.release();
  EXPECT_EQ(raiseCounter(options, kAssetCounter), before + 1);
}

}  // namespace

namespace {

TEST(Counter, RefusedSaveLeavesTheRaisedValuePending) {
  Collection c;
  rf::tables::FaultFileSystem faults(rf::tables::FileSystem::real());
  rf::tables::Engine engine(c.configPath(), faults);
  TdmMain dm(engine);
  auto& options = dm.tbOptions();
  const double before = options.field(kAssetCounter).asNumber();
  faults.arm(rf::tables::FaultFileSystem::Op::Write, 1, rf::tables::FaultFileSystem::Action::Fail, 28, "OPTIONS");
  EXPECT_THROW(raiseCounter(options, kAssetCounter), rf::tables::TableError);
  faults.disarm();
  EXPECT_EQ(options.state(), DatasetState::Edit);
  EXPECT_EQ(options.field(kAssetCounter).asNumber(), before + 1);
  EXPECT_EQ(storedCounter(c, "NEXTASSET"), before);
  // The next operation raises the pending value once more: one number is skipped, none reused.
  EXPECT_EQ(raiseCounter(options, kAssetCounter), before + 2);
  EXPECT_EQ(storedCounter(c, "NEXTASSET"), before + 2);
}

}  // namespace

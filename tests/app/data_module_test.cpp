// The data module opens every table it owns from the right place, in the right order, with the
// labels the table objects declare; what cannot be opened stops the creation with the engine's
// message.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_fixture.h"
#include "data/data_module.h"
#include "data/table_catalogue.h"
#include "inventory/fm_inven_brw.h"
#include "tables/error.h"

using rf::data::TdmMain;
using rf::testing::Collection;

namespace {

// The key of each record in the order the table object keeps.
QStringList keysInOrder(rf::dataset::Dataset& t, const QString& field) {
  QStringList keys;
  for (bool ok = t.first(); ok; ok = t.next()) keys << t.field(field).asText();
  return keys;
}

TEST(DataModule, OpensEveryLookupTableInItsOrder) {
  Collection c;
  TdmMain dm(c.engine());
  EXPECT_EQ(dm.objectName(), "dmMain");
  EXPECT_EQ(dm.tables().size(), 14u);  // the options and thirteen lookup tables
  struct Case {
    const char* table;
    const char* key;
    bool sorted;
  };
  for (const Case& k : {Case{"tbAbbrev", "I_REPMK", true}, Case{"tbClass", "I_CLASS", true},
                        Case{"tbCond", "I_COND", true}, Case{"tbMfgr", "I_MFGR", true},
                        Case{"tbScale", "I_SCALE", true}, Case{"tbSloc", "I_SLOC", true},
                        Case{"tbTrucks", "I_TRUCKS", true}, Case{"tbCouplers", "I_COUPLER", true},
                        Case{"tbIndustry", "LOCATION", true}, Case{"tbTowns", "CITY", true},
                        Case{"tbProducts", "LADING", true}}) {
    SCOPED_TRACE(k.table);
    auto& t = dm.table(k.table);
    ASSERT_TRUE(t.isOpen());
    QStringList keys = keysInOrder(t, k.key);
    ASSERT_FALSE(keys.isEmpty()) << "the delivered table has seed rows";
    // The delivered keys are plain ASCII, which every collation of ours orders by code.
    QStringList sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(keys, sorted);
  }
  EXPECT_EQ(dm.source("dsInductry").dataset(), &dm.table("tbIndustry"));
  EXPECT_EQ(dm.source("dsInvcat").dataset(), &dm.table("tbInvCat"));
}

TEST(DataModule, CategoryTableKeepsRecordOrder) {
  // No index: a new category goes after the existing ones, not into alphabetical place.
  Collection c;
  {
    TdmMain dm(c.engine());
    auto& cat = dm.table("tbInvCat");
    cat.insert();
    cat.field("I_CAT").setText("AAAFIRST");
    cat.post();
  }
  TdmMain dm(c.engine());
  auto& cat = dm.table("tbInvCat");
  ASSERT_TRUE(cat.last());
  EXPECT_EQ(cat.field("I_CAT").asText(), "AAAFIRST");
}

TEST(DataModule, DeclaredFieldsCarryTheirLabels) {
  Collection c;
  TdmMain dm(c.engine());
  EXPECT_EQ(dm.table("tbCouplers").field("I_COUPLER").displayLabel(), "Coupler");
  EXPECT_EQ(dm.table("tbIndustry").field("CARCAP").displayLabel(), "Car Capacity");
  EXPECT_EQ(dm.table("tbIndustry").field("CARCAP").displayWidth(), 10);
  EXPECT_EQ(dm.table("tbTowns").field("abcode").displayLabel(), "Location Code");
  // Tables without declared fields label each field with its name.
  EXPECT_EQ(dm.table("tbAbbrev").field("ABDESC").displayLabel(), "ABDESC");
}

TEST(DataModule, InventoryAndShopsComeFromTheWorkingDirectory) {
  Collection c(/*split=*/true);
  TdmMain dm(c.engine());
  rf::inventory::TfmInvenBrw browse(dm);
  EXPECT_EQ(std::filesystem::absolute(browse.tbInven().path()).parent_path(), std::filesystem::path(c.workDir()));
  EXPECT_EQ(std::filesystem::absolute(dm.table("tbShops").path()).parent_path(), std::filesystem::path(c.workDir()));
  EXPECT_EQ(std::filesystem::absolute(browse.tbWaybill().path()).parent_path(), std::filesystem::path(c.dataDir()));
  // Both spellings reach one field.
  EXPECT_EQ(&browse.tbInven().field("I_GAIN"), &browse.tbInven().field("I_Gain"));
  EXPECT_EQ(&browse.tbWaybill().field("WAYB_NO"), &browse.tbWaybill().field("Wayb_No"));
  EXPECT_FALSE(browse.tbWaybill().field("Asset_no").visible());
  EXPECT_EQ(browse.tbWaybill().field("Receiver").displayLabel(), "RECEIVER");
}

TEST(DataModule, WhatCannotBeOpenedStopsTheCreation) {
  struct Case {
    const char* what;
    // Returns another engine to open with, or null for the collection's own.
    std::function<std::unique_ptr<rf::tables::Engine>(Collection&)> breakIt;
    const char* message;  // part of the engine's message
  };
  const Case cases[] = {
      {"a missing lookup table",
       [](Collection& c) {
         std::filesystem::remove(c.dataDir() + "/SCALE.DBF");
         return std::unique_ptr<rf::tables::Engine>();
       },
       "SCALE"},
      {"an undefined alias",
       [](Collection& c) { return std::make_unique<rf::tables::Engine>(c.dataDir() + "/no-aliases.conf"); },
       "alias: rf"},
      {"a damaged table header",
       [](Collection& c) {
         auto bytes = rf::test::readFileBytes(c.dataDir() + "/MFGR.DBF");
         bytes.resize(10);
         rf::test::writeFileBytes(c.dataDir() + "/MFGR.DBF", bytes);
         return std::unique_ptr<rf::tables::Engine>();
       },
       "MFGR"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Collection c;
    auto other = k.breakIt(c);
    try {
      TdmMain dm(other ? *other : c.engine());
      ADD_FAILURE() << "opened";
    } catch (const rf::tables::TableError& e) {
      EXPECT_NE(std::string(e.what()).find(k.message), std::string::npos) << e.what();
    }
  }
}

}  // namespace

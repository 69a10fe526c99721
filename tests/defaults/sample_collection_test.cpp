// The sample collection generator: what it makes is a consistent collection the application
// can open (unique asset numbers, counters at the last numbers, waybills that belong to freight
// cars, codes from the lookup tables, photos that decode), the same for the same seed.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <filesystem>
#include <set>

#include "tables/engine.h"
#include "tables/file_names.h"
#include "tests/support/test_support.h"
#include "tools/railfolio_sample/collection_builder.h"
#include "tools/railfolio_sample/photo_painter.h"
#include "tools/railfolio_sample/sample_options.h"

namespace rf::sample {
namespace {

namespace fs = std::filesystem;
using tables::Table;
using tables::Value;
using test::TempDir;

SampleOptions small(const std::string& out, int count, int photos, std::uint64_t seed) {
  SampleOptions o;
  o.outDir = out;
  o.dataDir = RF_DELIVERED_DATA_DIR;
  o.count = count;
  o.photos = photos;
  o.seed = seed;
  return o;
}

std::string trimmed(const Value& v) {
  std::string s = v.asText();
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::set<std::string> keysOf(tables::Engine& engine, const std::string& path, const char* field) {
  auto t = engine.openPath(path, std::nullopt, true);
  std::set<std::string> keys;
  auto c = t->openCursor();
  for (bool ok = c->first(); ok; ok = c->next()) keys.insert(trimmed(t->get(c->record(), field)));
  return keys;
}

// Every value of every record, for comparing two collections.
std::vector<std::string> everything(Table& t) {
  std::vector<std::string> out;
  auto c = t.openCursor();
  for (bool ok = c->first(); ok; ok = c->next()) {
    std::string line;
    for (std::size_t f = 0; f < t.schema().size(); ++f) {
      Value v = t.get(c->record(), static_cast<int>(f));
      if (v.kind() == Value::Kind::Bytes) line += std::to_string(v.asBytes().size()) + ":" + std::to_string(std::hash<std::string>{}(std::string(v.asBytes().begin(), v.asBytes().end())));
      else if (v.kind() == Value::Kind::Number) line += tables::formatNumber(v.asNumber());
      else if (v.kind() == Value::Kind::Date) line += tables::formatDate(v.asDate());
      else if (!v.isBlank()) line += v.asText();
      line += '|';
    }
    out.push_back(line);
  }
  return out;
}

class SampleCollection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    summary_ = buildCollection(small(dir_->file("rf"), 120, 7, 42));
  }
  static void TearDownTestSuite() { delete dir_; }
  std::string path(const char* file) const { return dir_->file("rf") + "/" + file; }

  static TempDir* dir_;
  static CollectionSummary summary_;
  TempDir config_;
  tables::Engine engine_{config_.file("engine.conf")};
};
TempDir* SampleCollection::dir_ = nullptr;
CollectionSummary SampleCollection::summary_;

TEST_F(SampleCollection, HoldsEveryDeliveredTableAndEachPassesTheCheck) {
  std::set<std::string> delivered, made;
  for (const auto& e : fs::directory_iterator(RF_DELIVERED_DATA_DIR))
    if (e.path().filename().string()[0] != '.') delivered.insert(e.path().filename().string());
  for (const auto& e : fs::directory_iterator(dir_->file("rf"))) made.insert(e.path().filename().string());
  EXPECT_EQ(made, delivered);
  for (const auto& name : made) {
    std::string ext = tables::upperAscii(tables::extensionOf(name));
    if (ext != ".DB" && ext != ".DBF") continue;
    SCOPED_TRACE(name);
    auto t = engine_.openPath(path(name.c_str()), std::nullopt, true);
    auto report = t->check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems.front());
  }
}

TEST_F(SampleCollection, AssetNumbersAreUniqueAndTheCountersHoldTheLastNumbers) {
  auto inven = engine_.openPath(path("Inven.DB"), std::nullopt, true);
  EXPECT_EQ(inven->info().recordCount, 120u);
  std::set<double> assets;
  double highest = 0;
  auto c = inven->openCursor();
  for (bool ok = c->first(); ok; ok = c->next()) {
    double a = inven->get(c->record(), "I_ASSET").asNumber();
    EXPECT_TRUE(assets.insert(a).second) << a;
    highest = std::max(highest, a);
  }
  EXPECT_EQ(highest, 120);

  auto waybill = engine_.openPath(path("Waybill.DB"), std::nullopt, true);
  double lastWaybill = 0;
  std::set<double> numbers;
  auto w = waybill->openCursor();
  for (bool ok = w->first(); ok; ok = w->next()) {
    double n = waybill->get(w->record(), "Wayb_No").asNumber();
    numbers.insert(n);
    lastWaybill = std::max(lastWaybill, n);
  }
  EXPECT_GT(numbers.size(), 0u);
  EXPECT_EQ(numbers.size(), static_cast<std::size_t>(summary_.waybills));

  auto options = engine_.openPath(path("OPTIONS.DBF"), std::nullopt, true);
  auto o = options->openCursor();
  ASSERT_TRUE(o->first());
  EXPECT_EQ(options->get(o->record(), "NEXTASSET").asNumber(), highest);
  EXPECT_EQ(options->get(o->record(), "NEXTWAYB").asNumber(), lastWaybill);
  EXPECT_FALSE(o->next());
}

TEST_F(SampleCollection, WaybillsBelongToFreightCarsOfTheInventory) {
  auto inven = engine_.openPath(path("Inven.DB"), std::nullopt, true);
  auto waybill = engine_.openPath(path("Waybill.DB"), std::nullopt, true);
  auto pieces = inven->openCursor();
  auto byAsset = waybill->openCursor("AssetWaybill");
  std::size_t linked = 0;
  for (bool ok = pieces->first(); ok; ok = pieces->next()) {
    const double asset = inven->get(pieces->record(), "I_ASSET").asNumber();
    const std::string mark = trimmed(inven->get(pieces->record(), "I_REPMK"));
    const std::string number = trimmed(inven->get(pieces->record(), "I_REPNO"));
    const double type = inven->get(pieces->record(), "I_EQTYPE").asNumber();
    // The browse screen's detail link: the piece's waybills, by waybill number.
    byAsset->setRange({Value::number(asset)});
    double previous = 0;
    for (bool w = byAsset->first(); w; w = byAsset->next()) {
      ++linked;
      EXPECT_EQ(type, 1) << "waybill for asset " << asset << ", which is no freight car";
      const double n = waybill->get(byAsset->record(), "Wayb_No").asNumber();
      EXPECT_GT(n, previous);
      previous = n;
      EXPECT_EQ(trimmed(waybill->get(byAsset->record(), "Repmk")), mark);
      EXPECT_EQ(trimmed(waybill->get(byAsset->record(), "Repno")), number);
      EXPECT_NE(trimmed(waybill->get(byAsset->record(), "Receiver")), trimmed(waybill->get(byAsset->record(), "Shipper")));
    }
  }
  // Every waybill was reached through some piece: none names an asset that does not exist.
  EXPECT_EQ(linked, waybill->info().recordCount);
}

TEST_F(SampleCollection, CodesComeFromTheLookupTables) {
  struct Case {
    const char* table;
    const char* key;
    const char* inventoryField;
    bool alwaysSet;
  };
  const Case cases[] = {
      {"ABBREV.DBF", "I_REPMK", "I_REPMK", true},  {"SCALE.DBF", "I_SCALE", "I_SCALE", true},
      {"MFGR.DBF", "I_MFGR", "I_MFGR", true},      {"MFGR.DBF", "I_MFGR", "I_IMPTR", false},
      {"COND.DBF", "I_COND", "I_COND", true},      {"SLOC.DBF", "I_SLOC", "I_SLOC", true},
      {"INVCAT.DBF", "I_CAT", "I_CAT", true},      {"CLASS.DBF", "I_CLASS", "I_CLASS", true},
      {"trucks.dbf", "I_TRUCKS", "I_TRUCKS", false}, {"couplers.dbf", "I_COUPLER", "I_COUPLER", false},
  };
  auto inven = engine_.openPath(path("Inven.DB"), std::nullopt, true);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.inventoryField);
    const auto keys = keysOf(engine_, path(k.table), k.key);
    std::set<std::string> used;
    auto c = inven->openCursor();
    for (bool ok = c->first(); ok; ok = c->next()) {
      std::string v = trimmed(inven->get(c->record(), k.inventoryField));
      if (v.empty() && !k.alwaysSet) continue;
      EXPECT_TRUE(keys.count(v)) << "'" << v << "'";
      used.insert(v);
    }
    if (k.alwaysSet) {  // spread over the rows, not one code for all
      EXPECT_GT(used.size(), 1u);
    }
  }
  auto waybill = engine_.openPath(path("Waybill.DB"), std::nullopt, true);
  const auto industries = keysOf(engine_, path("industry.dbf"), "LOCATION");
  const auto ladings = keysOf(engine_, path("PRODUCTS.DBF"), "LADING");
  auto w = waybill->openCursor();
  for (bool ok = w->first(); ok; ok = w->next()) {
    EXPECT_TRUE(industries.count(trimmed(waybill->get(w->record(), "Receiver"))));
    EXPECT_TRUE(industries.count(trimmed(waybill->get(w->record(), "Shipper"))));
    std::string lading = trimmed(waybill->get(w->record(), "Lading"));
    EXPECT_EQ(lading.empty(), waybill->get(w->record(), "Empty").asLogical());
    if (!lading.empty()) {
      EXPECT_TRUE(ladings.count(lading)) << lading;
    }
  }
}

TEST_F(SampleCollection, MoneyFieldsFollowTheSaveRule) {
  auto inven = engine_.openPath(path("Inven.DB"), std::nullopt, true);
  auto c = inven->openCursor();
  for (bool ok = c->first(); ok; ok = c->next()) {
    const double cost = inven->get(c->record(), "I_COST").asNumber();
    const double value = inven->get(c->record(), "I_VALUE").asNumber();
    const double increase = inven->get(c->record(), "I_Increase").asNumber();
    EXPECT_GT(cost, 0);
    EXPECT_EQ(increase, value - cost);
    const double gain = inven->get(c->record(), "I_Gain").asNumber();
    EXPECT_EQ(gain, increase != 0 ? increase / cost * 100 : 0);
    EXPECT_LE(inven->get(c->record(), "I_ACQD").asDate(), inven->get(c->record(), "I_VDATE").asDate());
    EXPECT_FALSE(inven->get(c->record(), "I_DETAIL").asText().empty());
  }
}

TEST_F(SampleCollection, PhotosDecodeAsBitmaps) {
  auto inven = engine_.openPath(path("Inven.DB"), std::nullopt, true);
  int photos = 0;
  auto c = inven->openCursor();
  for (bool ok = c->first(); ok; ok = c->next()) {
    Value v = inven->get(c->record(), "I_Photo");
    if (v.isBlank() || v.asBytes().empty()) continue;
    ++photos;
    const auto& bytes = v.asBytes();
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    QImage image;
    ASSERT_TRUE(image.loadFromData(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())), "BMP"));
    EXPECT_EQ(image.width(), kPhotoWidth);
    EXPECT_EQ(image.height(), kPhotoHeight);
    // Not a blank picture: sky, ground and the piece make several colours.
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 8)
      for (int x = 0; x < image.width(); x += 8) colours.insert(image.pixel(x, y));
    EXPECT_GE(colours.size(), 4u);
  }
  EXPECT_EQ(photos, 7);
  EXPECT_EQ(summary_.photos, 7);
}

#ifdef RF_PXLIB_DUMP
const char* kPxlibDump = RF_PXLIB_DUMP;
#else
const char* kPxlibDump = nullptr;
#endif

TEST_F(SampleCollection, PxlibReadsTheInventoryAndWaybills) {
  if (!kPxlibDump) GTEST_SKIP() << "pxlib-dump was not built (pxlib-dev missing)";
  for (const char* table : {"Inven", "Waybill"}) {
    SCOPED_TRACE(table);
    const std::string db = path((std::string(table) + ".DB").c_str());
    std::string out;
    ASSERT_EQ(test::runCommand(std::string(kPxlibDump) + " --index " + test::shellQuote(path((std::string(table) + ".PX").c_str())) +
                                   " " + test::shellQuote(db) + " 2>&1", &out), 0) << out.substr(0, 400);
    auto t = engine_.openPath(db, std::nullopt, true);
    std::istringstream in(out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "records " + std::to_string(t->info().recordCount) + " fields " + std::to_string(t->schema().size()));
    // Record by record in key order: the key and the reporting mark read the same.
    const int mark = t->schema().require(std::string(table) == "Inven" ? "I_REPMK" : "Repmk", db);
    auto c = t->openCursor();
    for (bool ok = c->first(); ok; ok = c->next()) {
      ASSERT_TRUE(std::getline(in, line));
      std::vector<std::string> cells;
      std::istringstream row(line);
      for (std::string cell; std::getline(row, cell, '\t');) cells.push_back(cell);
      ASSERT_GT(cells.size(), static_cast<std::size_t>(mark));
      EXPECT_EQ(cells[0], tables::formatNumber(t->get(c->record(), 0).asNumber()));
      EXPECT_EQ(cells[static_cast<std::size_t>(mark)], trimmed(t->get(c->record(), mark)));
    }
    EXPECT_FALSE(std::getline(in, line));
  }
}

TEST(SampleGenerator, SameSeedSameCollectionOtherSeedAnother) {
  TempDir dir;
  buildCollection(small(dir.file("a"), 40, 2, 5));
  buildCollection(small(dir.file("b"), 40, 2, 5));
  buildCollection(small(dir.file("c"), 40, 2, 6));
  TempDir config;
  tables::Engine engine(config.file("engine.conf"));
  for (const char* table : {"Inven.DB", "Waybill.DB", "OPTIONS.DBF"}) {
    SCOPED_TRACE(table);
    auto a = engine.openPath(dir.file("a") + "/" + table, std::nullopt, true);
    auto b = engine.openPath(dir.file("b") + "/" + table, std::nullopt, true);
    EXPECT_EQ(everything(*a), everything(*b));
  }
  auto a = engine.openPath(dir.file("a") + "/Inven.DB", std::nullopt, true);
  auto c = engine.openPath(dir.file("c") + "/Inven.DB", std::nullopt, true);
  EXPECT_NE(everything(*a), everything(*c));
}

TEST(SampleGenerator, FixedWaybillCountGivesEveryPieceThatMany) {
  TempDir dir;
  SampleOptions o = small(dir.path(), 7, 0, 3);
  o.waybills = 4;
  const CollectionSummary summary = buildCollection(o);
  EXPECT_EQ(summary.waybills, 28);
  tables::Engine engine(dir.file("no.conf"));
  auto waybill = engine.openPath(dir.file("Waybill.DB"), std::nullopt, true);
  auto byAsset = waybill->openCursor("AssetWaybill");
  for (int asset = 1; asset <= 7; ++asset) {
    byAsset->setRange({Value::number(asset)});
    int n = 0;
    for (bool w = byAsset->first(); w; w = byAsset->next()) ++n;
    EXPECT_EQ(n, 4) << asset;
  }
}

TEST(SampleGenerator, RefusesAFolderThatHoldsFilesAndBadOptions) {
  TempDir dir;
  test::writeFileBytes(dir.file("Inven.DB"), {1, 2, 3});
  EXPECT_THROW(buildCollection(small(dir.path(), 5, 0, 1)), SampleUsageError);
  EXPECT_EQ(test::readFileBytes(dir.file("Inven.DB")), (std::vector<std::uint8_t>{1, 2, 3}));

  SampleOptions missingData = small(dir.file("new"), 5, 0, 1);
  missingData.dataDir = dir.file("no-such-data");
  EXPECT_THROW(buildCollection(missingData), SampleUsageError);
  EXPECT_FALSE(fs::exists(dir.file("new")));

  const std::string data = RF_DELIVERED_DATA_DIR;
  struct Case {
    std::vector<std::string> args;
  };
  const Case bad[] = {{{}}, {{"out", "--count"}}, {{"out", "--count", "-3"}}, {{"out", "--count", "12x"}},
                      {{"out", "--seed", "x"}}, {{"out", "--frobnicate"}}, {{"out", "other"}}};
  for (const Case& c : bad) EXPECT_THROW(parseSampleOptions(c.args, data), SampleUsageError);
  SampleOptions o = parseSampleOptions({"out", "--count", "10", "--photos", "50", "--seed", "9"}, data);
  EXPECT_EQ(o.count, 10);
  EXPECT_EQ(o.photos, 10);  // no more photos than pieces
  EXPECT_EQ(o.seed, 9u);
  EXPECT_EQ(o.dataDir, data);
  EXPECT_EQ(o.waybills, -1);
  EXPECT_EQ(parseSampleOptions({"out", "--waybills", "10"}, data).waybills, 10);
  EXPECT_THROW(parseSampleOptions({"out", "--waybills", "-1"}, data), SampleUsageError);
}

}  // namespace
}  // namespace rf::sample

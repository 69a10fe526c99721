// The delivered data directory (build/railfolio-data) as the application finds it: every table
// of the catalogue under its exact file name, with its fields in order, its index files and the
// order the application asks for; the seed rows stored whole; and independent readers (Perl's
// XBase tools for dBASE and FoxPro, pxlib for Paradox) reading the same files.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tables/codepage.h"
#include "tables/engine.h"
#include "tables/file_names.h"
#include "tests/support/test_support.h"

namespace rf::tables {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::string kData = RF_DELIVERED_DATA_DIR;
const std::string kRows = std::string(RF_DEFAULTS_DIR) + "/rows";

struct FieldCase {
  const char* name;
  FieldType type;
  int width;  // text: characters; Paradox blobs: bytes kept in the record; -1: fixed by the type
};

enum class Order { Records, Primary, Tag, OnField };

struct TableCase {
  const char* file;        // exact case
  const char* openAs;      // the name the application opens it by
  std::optional<Format> declared;
  Format format;
  std::vector<FieldCase> fields;
  Order order;
  const char* orderName;   // tag name, or the field the order is "on"
  const char* indexFile;   // exact name of the index file holding it ("" when none)
};

constexpr FieldType T = FieldType::Text;
constexpr FieldType N = FieldType::Number;

std::vector<TableCase> catalogue() {
  const std::vector<FieldCase> inven = {
      {"I_ASSET", N, -1}, {"I_EQTYPE", FieldType::Integer, -1}, {"I_CAT", T, 8}, {"I_SUBCAT", T, 8},
      {"I_CLASS", T, 8}, {"I_REPMK", T, 6}, {"I_REPNO", T, 6}, {"I_SCALE", T, 4}, {"I_DESC", T, 20},
      {"I_PAINT", T, 20}, {"I_MFGR", T, 15}, {"I_MFGRNO", T, 10}, {"I_IMPTR", T, 15},
      {"I_ACQD", FieldType::Date, -1}, {"I_COST", FieldType::Money, -1}, {"I_VALUE", FieldType::Money, -1},
      {"I_VDATE", FieldType::Date, -1}, {"I_COND", T, 12}, {"I_SLOC", T, 10}, {"R_NAME", T, 40},
      {"I_RMK1", T, 59}, {"I_RMK2", T, 59}, {"I_RMK3", T, 59}, {"I_TRUCKS", T, 10}, {"I_COUPLER", T, 10},
      {"I_LENGTH", N, -1}, {"I_WEIGHT", N, -1}, {"I_USER1", T, 8}, {"I_FLAG1", T, 1}, {"I_USER2", T, 8},
      {"I_FLAG2", T, 1}, {"I_DTSLD", FieldType::Date, -1}, {"I_DETAIL", FieldType::Memo, 1},
      {"I_Gain", N, -1}, {"I_Increase", N, -1}, {"I_LocoChan", T, 6}, {"W_HomeYard", T, 30},
      {"W_Print", FieldType::Logical, -1}, {"I_Photo", FieldType::Binary, -1}};
  const std::vector<FieldCase> waybill = {
      {"Wayb_No", N, -1}, {"Receiver", T, 30}, {"Shipper", T, 30}, {"Lading", T, 30},
      {"Empty", FieldType::Logical, -1}, {"VIARoute", T, 30}, {"Carinst", FieldType::Memo, 10},
      {"Rec_Loc", T, 30}, {"Shp_loc", T, 30}, {"PrintWaybill", FieldType::Logical, -1},
      {"Asset_no", N, -1}, {"Repmk", T, 6}, {"Repno", T, 6}};
  const std::vector<FieldCase> shops = {
      {"R_NAME", T, 40}, {"R_ADDR1", T, 40}, {"R_ADDR2", T, 40}, {"R_CITY", T, 30}, {"R_STATE", T, 10},
      {"R_ZIP", T, 10}, {"R_COUNTRY", T, 20}, {"R_PHONE1", T, 14}, {"R_PHONE2", T, 14}, {"R_FAX", T, 14},
      {"R_EMAIL", T, 50}, {"R_OWNER", T, 30}, {"R_NMRA", T, 1}, {"R_HOURS", T, 56}, {"R_MISC", T, 56}};
  const std::vector<FieldCase> mfgr = {
      {"I_MFGR", T, 15}, {"MFNAME", T, 40}, {"MFADDR1", T, 30}, {"MFADDR2", T, 30}, {"MFCITY", T, 25},
      {"MFSTATE", T, 10}, {"MFZIP", T, 10}, {"COUNTRY", T, 20}, {"MFPHONE", T, 16}, {"FAX", T, 16},
      {"EMAIL", T, 50}, {"MFWID", T, 10}};
  const std::vector<FieldCase> rbField = {
      {"TableName", T, 60}, {"FieldName", T, 60}, {"FieldAlias", T, 60}, {"Selectable", T, 1},
      {"Searchable", T, 1}, {"Sortable", T, 1}, {"DataType", T, 60}, {"AutoSearch", T, 1}, {"Mandatory", T, 1}};
  const auto dbase = Format::Dbase;
  const auto fox = Format::FoxPro;
  const auto px = Format::Paradox;
  return {
      {"Inven.DB", "Inven.DB", {}, px, inven, Order::Primary, "", "Inven.PX"},
      {"Waybill.DB", "Waybill", px, px, waybill, Order::OnField, "Asset_no", ""},
      {"OPTIONS.DBF", "OPTIONS.DBF", {}, dbase,
       {{"NAME", T, 25}, {"ADDRESS", T, 30}, {"CITYSTZIP", T, 30}, {"PHONE", T, 17}, {"CITY", T, 10},
        {"NEXTASSET", N, -1}, {"NEXTWAYB", N, -1}},
       Order::Records, "", ""},
      {"ABBREV.DBF", "ABBREV.DBF", {}, dbase, {{"I_REPMK", T, 6}, {"ABDESC", T, 52}}, Order::Tag, "I_REPMK", "ABBREV.MDX"},
      {"CLASS.DBF", "CLASS.DBF", {}, dbase, {{"I_CLASS", T, 8}, {"CLASSDESC", T, 40}, {"CARSTYLE", T, 15}},
       Order::Tag, "I_CLASS", "CLASS.MDX"},
      {"COND.DBF", "COND.DBF", {}, dbase, {{"I_COND", T, 12}, {"CONDESC", T, 40}}, Order::OnField, "I_COND", "COND.MDX"},
      {"INVCAT.DBF", "INVCAT.DBF", {}, dbase, {{"I_CAT", T, 8}, {"CATDESC", T, 40}}, Order::Records, "", ""},
      {"MFGR.DBF", "MFGR.DBF", {}, dbase, mfgr, Order::Tag, "I_MFGR", "MFGR.MDX"},
      {"SCALE.DBF", "SCALE.DBF", {}, dbase, {{"I_SCALE", T, 4}, {"SCDESC", T, 40}}, Order::OnField, "I_SCALE", "SCALE.MDX"},
      {"SLOC.DBF", "SLOC.DBF", {}, dbase, {{"I_SLOC", T, 10}, {"LOCATION", T, 40}}, Order::OnField, "I_SLOC", "SLOC.MDX"},
      {"SHOPS.DBF", "SHOPS.DBF", {}, dbase, shops, Order::OnField, "R_NAME", "SHOPS.MDX"},
      {"trucks.dbf", "trucks.dbf", {}, dbase, {{"I_TRUCKS", T, 10}, {"I_TRKDESC", T, 30}}, Order::Tag, "I_TRUCKS", "trucks.mdx"},
      {"couplers.dbf", "couplers.dbf", {}, dbase, {{"I_COUPLER", T, 12}, {"I_COUPDESC", T, 35}},
       Order::Tag, "I_COUPLER", "couplers.mdx"},
      {"industry.dbf", "industry", fox, fox,
       {{"LOCATION", T, 30}, {"CITY", T, 25}, {"STATE", T, 2}, {"CARCAP", N, -1}, {"LOCTYPE", T, 10},
        {"DIRECTION", T, 10}},
       Order::Tag, "LOCATION", "INDUSTRY.CDX"},
      {"TOWNS.DBF", "TOWNS.DBF", fox, fox, {{"CITY", T, 25}, {"STATE", T, 2}, {"ABCODE", T, 3}, {"DIVISION", T, 15}},
       Order::Tag, "CITY", "Towns.cdx"},
      {"PRODUCTS.DBF", "PRODUCTS.DBF", fox, fox, {{"LADING", T, 30}, {"CARTYPE", T, 10}, {"COMMENTS", T, 10}},
       Order::Tag, "LADING", "Products.cdx"},
      {"rbItem.DB", "rbItem.DB", {}, px,
       {{"ItemId", FieldType::AutoIncrement, -1}, {"FolderId", FieldType::Integer, -1}, {"Name", T, 60},
        {"Size", FieldType::Integer, -1}, {"ItemType", FieldType::Integer, -1}, {"Modified", FieldType::Timestamp, -1},
        {"Deleted", FieldType::Timestamp, -1}, {"Template", FieldType::Binary, -1}},
       Order::Primary, "", "rbItem.PX"},
      {"rbFolder.db", "rbFolder.db", {}, px,
       {{"FolderId", FieldType::AutoIncrement, -1}, {"Name", T, 60}, {"ParentId", FieldType::Integer, -1}},
       Order::Primary, "", "rbFolder.px"},
      {"rbTable.db", "rbTable.db", {}, px, {{"TableName", T, 60}, {"TableAlias", T, 60}}, Order::Primary, "", "rbTable.px"},
      {"rbField.db", "rbField.db", {}, px, rbField, Order::Primary, "", "rbField.px"},
  };
}

// An engine whose alias "rf" names the delivered directory, as the run command sets it up.
class DeliveredData : public ::testing::Test {
 protected:
  DeliveredData() : engine_(config_.file("engine.conf")) { engine_.config().setAlias("rf", kData); }

  std::unique_ptr<Table> open(const TableCase& c, bool readOnly = true) {
    OpenRequest req;
    req.name = c.openAs;
    req.format = c.declared;
    req.alias = "rf";
    req.readOnly = readOnly;
    const std::string idx = c.indexFile;
    if (c.format == Format::FoxPro && idx != "INDUSTRY.CDX") req.indexFile = idx;
    return engine_.open(req);
  }

  TempDir config_;
  Engine engine_;
};

std::string trimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The table's records in record order (Paradox: key order), every value as text.
std::vector<std::vector<std::string>> engineRows(Table& t) {
  std::vector<std::vector<std::string>> rows;
  auto c = t.openCursor();
  for (bool ok = c->first(); ok; ok = c->next()) {
    std::vector<std::string> row;
    for (std::size_t f = 0; f < t.schema().size(); ++f) {
      Value v = t.get(c->record(), static_cast<int>(f));
      row.push_back(v.isBlank() ? "" : v.kind() == Value::Kind::Number ? formatNumber(v.asNumber()) : trimRight(v.asText()));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// A small RFC 4180 reader for the seed files (quoted cells hold commas).
std::vector<std::vector<std::string>> readCsv(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  std::vector<std::vector<std::string>> rows(1);
  std::string cell;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char ch = text[i];
    if (quoted) {
      if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') cell += text[++i];
      else if (ch == '"') quoted = false;
      else cell += ch;
    } else if (ch == '"') {
      quoted = true;
    } else if (ch == ',') {
      rows.back().push_back(std::move(cell));
      cell.clear();
    } else if (ch == '\n') {
      rows.back().push_back(std::move(cell));
      cell.clear();
      rows.emplace_back();
    } else if (ch != '\r') {
      cell += ch;
    }
  }
  if (!cell.empty() || !rows.back().empty()) rows.back().push_back(std::move(cell));
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

TEST_F(DeliveredData, EveryTableOpensWithTheCatalogueFieldsAndOrder) {
  for (const TableCase& c : catalogue()) {
    SCOPED_TRACE(c.file);
    // Exact names: the directory may be copied to a system whose file names keep their case.
    ASSERT_TRUE(fs::exists(fs::path(kData) / c.file));
    if (*c.indexFile) {
      EXPECT_TRUE(fs::exists(fs::path(kData) / c.indexFile));
    }
    auto t = open(c);
    EXPECT_EQ(t->info().format, c.format);
    const Schema& s = t->schema();
    ASSERT_EQ(s.size(), c.fields.size());
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
      SCOPED_TRACE(c.fields[i].name);
      EXPECT_EQ(s[i].name, c.fields[i].name);  // as stored, in the catalogue's order and spelling
      EXPECT_EQ(s[i].type, c.fields[i].type);
      if (c.fields[i].width >= 0) {
        EXPECT_EQ(s[i].width, c.fields[i].width);
      }
    }
    switch (c.order) {
      case Order::Records:
        EXPECT_TRUE(t->indexes().empty());
        break;
      case Order::Primary: {
        auto ix = t->indexes();
        ASSERT_FALSE(ix.empty());
        EXPECT_TRUE(ix[0].primary);
        EXPECT_EQ(fs::path(ix[0].file).filename().string(), c.indexFile);
        break;
      }
      case Order::Tag:
      case Order::OnField: {
        std::optional<IndexInfo> found;
        for (const auto& ix : t->indexes())
          if (c.order == Order::Tag ? ix.name == c.orderName
                                    : !ix.fields.empty() && equalsNoCase(s[static_cast<std::size_t>(ix.fields[0])].name, c.orderName))
            found = ix;
        ASSERT_TRUE(found) << "no index " << c.orderName;
        EXPECT_TRUE(found->usable) << found->problem;
        if (*c.indexFile) {
          EXPECT_EQ(fs::path(found->file).filename().string(), c.indexFile);
        }
        if (c.order == Order::Tag) {
          EXPECT_NO_THROW(t->openCursor(c.orderName));
        }
        else EXPECT_NO_THROW(t->openCursorOnFields({c.orderName}));
        break;
      }
    }
    CheckReport report = t->check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems.front());
  }
}

TEST_F(DeliveredData, InventoryAndWaybillsCarryTheirNamedIndexes) {
  auto find = [](Table& t, const std::string& name) -> std::vector<std::string> {
    for (const auto& ix : t.indexes()) {
      if (ix.name != name) continue;
      std::vector<std::string> names;
      for (int f : ix.fields) names.push_back(t.schema()[static_cast<std::size_t>(f)].name);
      return names;
    }
    return {};
  };
  auto cases = catalogue();
  auto inven = open(cases[0]);
  const std::map<std::string, std::vector<std::string>> wanted = {
      {"Railroad", {"I_REPMK", "I_REPNO"}}, {"Scale", {"I_SCALE"}},   {"Category", {"I_CAT"}},
      {"Manufacturer", {"I_MFGR"}},         {"Location", {"I_SLOC"}}, {"Description", {"I_DESC"}}};
  for (const auto& [name, fields] : wanted) EXPECT_EQ(find(*inven, name), fields) << name;
  EXPECT_EQ(inven->indexes().size(), wanted.size() + 1);
  auto waybill = open(cases[1]);
  EXPECT_EQ(find(*waybill, "AssetWaybill"), (std::vector<std::string>{"Asset_no", "Wayb_No"}));
}

TEST_F(DeliveredData, SeedRowsAreStoredWhole) {
  // Every seed file against its table, cell by cell: a value cut by a narrow field, a character
  // lost to the code page or a row left out shows here.
  std::set<std::string> tables;
  for (const TableCase& c : catalogue()) {
    tables.insert(std::string(c.file) + ".csv");
    const std::string csv = kRows + "/" + c.file + ".csv";
    if (!fs::exists(csv)) continue;
    SCOPED_TRACE(csv);
    auto t = open(c);
    auto rows = readCsv(csv);
    ASSERT_GE(rows.size(), 2u);
    std::vector<int> columns;
    for (const auto& name : rows[0]) columns.push_back(t->schema().require(name, t->path()));
    auto stored = engineRows(*t);
    ASSERT_EQ(stored.size(), rows.size() - 1);
    for (std::size_t r = 1; r < rows.size(); ++r)
      for (std::size_t k = 0; k < columns.size(); ++k)
        EXPECT_EQ(stored[r - 1][static_cast<std::size_t>(columns[k])], rows[r][k]) << "row " << r << " " << rows[0][k];
  }
  // A seed file named after no table (a typo in its name) would be left out of the build unseen.
  for (const auto& e : fs::directory_iterator(kRows)) EXPECT_TRUE(tables.count(e.path().filename().string())) << e.path();
}

TEST_F(DeliveredData, OptionsRecordStartsBlankWithCountersAtZero) {
  auto t = open(catalogue()[2]);
  auto c = t->openCursor();
  ASSERT_TRUE(c->first());
  for (const char* owner : {"NAME", "ADDRESS", "CITYSTZIP", "PHONE", "CITY"}) {
    EXPECT_EQ(trimRight(t->get(c->record(), owner).asText()), "") << owner;
  }
  EXPECT_EQ(t->get(c->record(), "NEXTASSET").asNumber(), 0);
  EXPECT_EQ(t->get(c->record(), "NEXTWAYB").asNumber(), 0);
  EXPECT_FALSE(c->next());
}

TEST_F(DeliveredData, TagsOrderTheRowsByTheirKey) {
  for (const TableCase& c : catalogue()) {
    if (c.order != Order::Tag && c.order != Order::OnField) continue;
    if (c.format == Format::Paradox) continue;
    SCOPED_TRACE(c.file);
    auto t = open(c);
    auto cursor = c.order == Order::Tag ? t->openCursor(c.orderName) : t->openCursorOnFields({c.orderName});
    const int key = t->schema().require(c.orderName, t->path());
    std::vector<std::string> keys;
    for (bool ok = cursor->first(); ok; ok = cursor->next()) keys.push_back(CodePage(1252).fromUtf8(t->get(cursor->record(), key).asText()));
    EXPECT_EQ(keys.size(), t->info().recordCount);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  }
}

TEST_F(DeliveredData, NewCategoryGoesAfterTheOthers) {
  // INVCAT has no index: the lookup screen shows categories in the order they were added.
  TempDir dir;
  test::copyFile(kData + "/INVCAT.DBF", dir.file("INVCAT.DBF"));
  auto t = engine_.openPath(dir.file("INVCAT.DBF"));
  Record r = t->blankRecord();
  t->set(r, "I_CAT", Value::text("AAA"));
  t->insert(r);
  auto c = t->openCursor();
  ASSERT_TRUE(c->last());
  EXPECT_EQ(trimRight(t->get(c->record(), "I_CAT").asText()), "AAA");
  ASSERT_TRUE(c->first());
  EXPECT_EQ(trimRight(t->get(c->record(), "I_CAT").asText()), "DIESEL");
}

// ---- Independent readers ----

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    cells.push_back(line.substr(start, tab - start));
  cells.push_back(line.substr(start));
  return cells;
}

bool perlAvailable() { return test::runCommand("command -v dbf_dump >/dev/null && command -v index_dump >/dev/null") == 0; }

TEST_F(DeliveredData, PerlReadsTheXbaseTablesAndTags) {
  if (!perlAvailable()) GTEST_SKIP() << "dbf_dump/index_dump missing (libdbd-xbase-perl)";
  for (const TableCase& c : catalogue()) {
    if (c.format == Format::Paradox) continue;
    SCOPED_TRACE(c.file);
    const std::string path = kData + "/" + c.file;
    std::string out;
    ASSERT_EQ(test::runCommand("dbf_dump --fs \"$(printf '\\t')\" " + test::shellQuote(path) + " 2>&1", &out), 0) << out;
    auto perl = lines(out);
    auto t = open(c);
    auto ours = engineRows(*t);
    ASSERT_EQ(perl.size(), ours.size());
    CodePage cp(t->info().codePage);
    for (std::size_t r = 0; r < ours.size(); ++r) {
      auto cells = splitTabs(perl[r]);
      ASSERT_EQ(cells.size(), ours[r].size()) << perl[r];
      for (std::size_t f = 0; f < cells.size(); ++f) {
        std::string theirs = cells[f];
        theirs.erase(0, theirs.find_first_not_of(' '));  // numbers come right-aligned
        EXPECT_EQ(trimRight(theirs), cp.fromUtf8(ours[r][f])) << "row " << r << " field " << f;
      }
    }
    if (c.order != Order::Tag && c.order != Order::OnField) continue;
    // The tag walked by Perl gives the keys in the order our cursor does.
    const std::string indexPath = kData + "/" + c.indexFile;
    ASSERT_EQ(test::runCommand("index_dump --type char --tag " + std::string(c.orderName) + " " +
                                   test::shellQuote(indexPath) + " 2>&1", &out), 0) << out;
    std::vector<std::string> perlKeys;
    for (std::string l : lines(out)) {
      l.erase(l.find_last_of(' '));  // the record number
      perlKeys.push_back(trimRight(l));
    }
    auto cursor = c.order == Order::Tag ? t->openCursor(c.orderName) : t->openCursorOnFields({c.orderName});
    const int key = t->schema().require(c.orderName, t->path());
    std::vector<std::string> ourKeys;
    for (bool ok = cursor->first(); ok; ok = cursor->next())
      ourKeys.push_back(cp.fromUtf8(trimRight(t->get(cursor->record(), key).asText())));
    EXPECT_EQ(perlKeys, ourKeys);
  }
}

#ifdef RF_PXLIB_DUMP
const char* kPxlibDump = RF_PXLIB_DUMP;
#else
const char* kPxlibDump = nullptr;
#endif

TEST_F(DeliveredData, PxlibReadsTheParadoxTables) {
  if (!kPxlibDump) GTEST_SKIP() << "pxlib-dump was not built (pxlib-dev missing)";
  for (const TableCase& c : catalogue()) {
    if (c.format != Format::Paradox) continue;
    SCOPED_TRACE(c.file);
    const std::string path = kData + "/" + c.file;
    std::string out;
    std::string index = c.order == Order::Primary ? " --index " + test::shellQuote(kData + "/" + c.indexFile) : "";
    if (c.order == Order::OnField) index = " --index " + test::shellQuote(kData + "/Waybill.PX");
    ASSERT_EQ(test::runCommand(std::string(kPxlibDump) + index + " " + test::shellQuote(path) + " 2>&1", &out), 0) << out;
    auto got = lines(out);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0], "records 0 fields " + std::to_string(c.fields.size()));
    EXPECT_EQ(got.size(), 1u);
  }
}

}  // namespace
}  // namespace rf::tables

// The Paradox header reader against the real files of the original engines, and against headers
// cut or bent into the shapes damaged files take.

#include <gtest/gtest.h>

#include <filesystem>

#include "tables/error.h"
#include "tables/paradox_header.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using namespace rf::tables::paradox;
using rf::test::fixturePath;

namespace {

ParadoxHeader headerOf(const std::string& path) {
  auto f = FileSystem::real().open(path, OpenMode::ReadOnly);
  return readParadoxHeader(*f);
}

struct RealCase {
  const char* file;
  int type;
  int version;
  int records;
  int codePage;
  const char* sortOrder;
  const char* fields;  // letters with sizes, as "A3 A30 A21 A2"
  const char* indexName = "";
};

std::string describe(const ParadoxHeader& h) {
  std::string s;
  for (const auto& f : h.fields) {
    if (!s.empty()) s += ' ';
    s += letterOfCode(f.layout.code);
    s += std::to_string(f.layout.size);
  }
  return s;
}

}  // namespace

TEST(ParadoxHeader, ReadsEveryRealFile) {
  const RealCase cases[] = {
      {"paradox/paradoxdriver/db/AREACODE.DB", 0, 9, 135, 437, "ascii", "A3 A30 A21 A2"},
      {"paradox/paradoxdriver/db/AREACODE.PX", 1, 9, 4, 0, "", "A3"},
      {"paradox/paradoxdriver/db/CUSTOMER.DB", 0, 12, 20, 1252, "ANSII850",
       "+4 A51 A50 A100 A30 A15 A20 A10 M110 D4"},
      {"paradox/paradoxdriver/db/CUSTOMER.X06", 5, 12, 20, 1252, "ANSII850", "A15 +4 S2"},
      {"paradox/paradoxdriver/db/CUSTOMER.Y06", 4, 12, 1, 0, "", "A15 +4"},
      {"paradox/paradoxdriver/db/AREACODES.XG0", 8, 12, 370, 1252, "DBWINUS0", "A3 A5 S2", "ste"},
      {"paradox/paradoxdriver/db/GENERAL.DB", 0, 11, 3, 936, "china", "I4 A25 $8"},
      {"paradox/paradoxdriver/db/ORDERS.DB", 0, 12, 224, 437, "ascii", "N8 N8 D4 D4 A7 $8 $8 $8 A6 A7 A3"},
      {"paradox/paradoxdriver/fields/bcd.db", 2, 11, 3, 850, "ascii", "#2 #0 #32"},
      {"paradox/paradoxdriver/fields/date35.db", 2, 4, 3, 0, "", "D4"},
      {"paradox/paradoxdriver/joins/fk4.XG0", 8, 11, 2, 850, "ascii", "I4 I4 I4 S2", "reference"},
      {"paradox/paradoxdriver/joins/indexed.xg0", 6, 12, 0, 1252, "ANSII850", "I4 I4 S2 S2", "Descending"},
      {"paradox/paradoxdriver/areas/AREACODE.DB", 2, 3, 239, 0, "", "A3 A3 A20 A21 A4 A55"},
      {"paradox/paradoxdriver/areas/ZIPCODES.PX", 1, 9, 690, 0, "", "A5"},
      {"paradox/paradoxreader-pcldata/SYMBOLS.DB", 2, 3, 32, 0, "", "A30 A15"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ParadoxHeader h = headerOf(fixturePath(c.file));
    EXPECT_EQ(h.fileType, c.type);
    EXPECT_EQ(h.version, c.version);
    EXPECT_EQ(h.records, static_cast<std::uint32_t>(c.records));
    EXPECT_EQ(h.codePage, c.codePage);
    EXPECT_EQ(h.sortOrderName, c.sortOrder);
    EXPECT_EQ(describe(h), c.fields);
    EXPECT_EQ(h.indexName, c.indexName);
  }
}

TEST(ParadoxHeader, ReadsNamesAndIndexFieldNumbers) {
  ParadoxHeader db = headerOf(fixturePath("paradox/paradoxdriver/db/CUSTOMER.DB"));
  ASSERT_EQ(db.fields.size(), 10u);
  EXPECT_EQ(db.fields[0].rawName, "CustNo");
  EXPECT_EQ(db.fields[7].rawName, "Zip/Postal Code");
  EXPECT_EQ(db.tableName, "resttemp.DB");
  EXPECT_EQ(db.fields[8].layout.offset, 280u);
  EXPECT_EQ(db.autoIncrement, 44u);

  // The single-field index on City (field 6): table field number first, then the positions of
  // the primary key and Blk Num in the index record.
  ParadoxHeader x = headerOf(fixturePath("paradox/paradoxdriver/db/CUSTOMER.X06"));
  EXPECT_EQ(x.indexFieldNumber, 6);
  EXPECT_EQ(x.fieldNumbers, (std::vector<std::uint16_t>{6, 2, 3}));
  EXPECT_EQ(x.fields[0].rawName, "City");
  EXPECT_EQ(x.keyFields, 2);

  ParadoxHeader fk = headerOf(fixturePath("paradox/paradoxdriver/joins/fk4.XG0"));
  EXPECT_EQ(fk.fieldNumbers, (std::vector<std::uint16_t>{2, 4, 3, 4}));
  ParadoxHeader desc = headerOf(fixturePath("paradox/paradoxdriver/joins/indexed.xg0"));
  EXPECT_EQ(desc.fieldNumbers[0], 0x8001);
  EXPECT_EQ(desc.direction, 0x11);
}

TEST(ParadoxHeader, RefusesEncryptedTables) {
  for (const char* f : {"paradox/paradoxdriver/encrypt/encrypted.db", "paradox/paradoxdriver/encrypt/encrypted35.db"}) {
    SCOPED_TRACE(f);
    try {
      headerOf(fixturePath(f));
      FAIL() << "read an encrypted table";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
    }
  }
}

// Damaged copies of a real header: each must be reported as corrupt, naming the file and the
// offset of the field that is wrong.
TEST(ParadoxHeader, ReportsDamagedHeaders) {
  const auto original = rf::test::readFileBytes(fixturePath("paradox/paradoxdriver/db/CUSTOMER.DB"));
  struct Damage {
    const char* what;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;  // written at offset; empty: cut the file there
    const char* offsetText;
  };
  const Damage cases[] = {
      {"cut inside the fixed part", 0x40, {}, "offset 0)"},
      {"cut inside the field names", 0x1C0, {}, "offset 2)"},
      {"cut after two of four blocks", 0x800 + 2 * 0x800, {}, "offset 12)"},
      {"header size past the end", 0x02, {0xFF, 0xFF}, "offset 2)"},
      {"header size too small for the field list", 0x02, {0x80, 0x00}, "offset"},
      {"unknown file type", 0x04, {9}, "offset 4)"},
      {"block size 0", 0x05, {0}, "offset 5)"},
      {"block size 64 KB", 0x05, {64}, "offset 5)"},
      {"record size 0", 0x00, {0, 0}, "offset 0)"},
      {"record size not the fields' sum", 0x00, {0x8B, 0x01}, "offset 0)"},
      {"record count beyond the blocks", 0x06, {0xFF, 0xFF, 0, 0}, "offset 6)"},
      {"more blocks than the file holds", 0x0C, {0x09, 0x00}, "offset 12)"},
      {"first block past the end", 0x0E, {0x09, 0x00}, "offset 14)"},
      {"no fields", 0x21, {0, 0}, "offset 33)"},
      {"more key fields than fields", 0x23, {11, 0}, "offset 35)"},
      {"unknown field type", 0x78, {0x07}, "offset 120)"},
      {"alpha of size 0", 0x7A, {0x01, 0x00}, "offset 123)"},
      {"date of size 8", 0x8A, {0x02, 0x08}, "offset 139)"},
      {"unknown version", 0x39, {0x20}, "offset 57)"},
      {"field names without an end", 0x1BD, std::vector<std::uint8_t>(0x800 - 0x1BD, 'x'), "offset"},
  };
  rf::test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto bytes = original;
    if (c.bytes.empty()) bytes.resize(c.offset);
    else std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(c.offset));
    std::string path = dir.file("bad.db");
    rf::test::writeFileBytes(path, bytes);
    try {
      headerOf(path);
      FAIL() << "accepted";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.offsetText), std::string::npos) << e.what();
    }
  }
}

TEST(ParadoxHeader, BuiltHeadersReadBack) {
  HeaderPlan plan;
  plan.fileType = kKeyedDb;
  plan.keyFields = 1;
  plan.tableName = "PARTS.DB";
  for (auto [code, size, name] : {std::tuple<std::uint8_t, std::uint8_t, const char*>{kLong, 4, "Id"},
                                  {kAlpha, 40, "Name"},
                                  {kMemo, 11, "Notes"},
                                  {kBcd, 4, "Price"}}) {
    HeaderField f;
    f.layout.code = code;
    f.layout.size = size;
    f.layout.length = static_cast<std::uint16_t>(fieldLength(code, size));
    f.rawName = name;
    plan.fields.push_back(f);
  }
  for (std::uint8_t version : {std::uint8_t{0x09}, std::uint8_t{0x0B}, std::uint8_t{0x0C}}) {
    SCOPED_TRACE(version);
    plan.version = version;
    rf::test::TempDir dir;
    rf::test::writeFileBytes(dir.file("PARTS.DB"), buildParadoxHeader(plan));
    ParadoxHeader h = headerOf(dir.file("PARTS.DB"));
    EXPECT_EQ(h.version, version);
    EXPECT_EQ(h.recordSize, 4 + 40 + 11 + 17);
    EXPECT_EQ(describe(h), "I4 A40 M11 #4");
    EXPECT_EQ(h.fields[2].rawName, "Notes");
    EXPECT_EQ(h.sortOrderName, "ascii");
    EXPECT_EQ(h.codePage, 1252);
    EXPECT_EQ(h.tableName, "PARTS.DB");
    EXPECT_EQ(h.fieldNumbers, (std::vector<std::uint16_t>{1, 2, 3, 4}));
  }
}

// Damaged Paradox tables: chains that loop, counts beyond blocks, blob references past the end,
// indexes out of date, cut files. Each is reported as corrupt, naming the file and where; none
// crashes, reads out of bounds (the sanitizer run sees to that) or hands out wrong rows silently.

#include <gtest/gtest.h>

#include <filesystem>

#include "tables/engine.h"
#include "tables/error.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using rf::test::TempDir;

namespace {

const std::string kPx = "paradox/paradoxdriver/db/";

std::string copyCustomer(const TempDir& dir) {
  return rf::test::copyFixtures({kPx + "CUSTOMER.DB", kPx + "CUSTOMER.PX", kPx + "CUSTOMER.MB", kPx + "CUSTOMER.X06",
                                 kPx + "CUSTOMER.Y06"},
                                dir.path());
}

void patch(const std::string& path, std::size_t offset, const std::vector<std::uint8_t>& bytes) {
  auto data = rf::test::readFileBytes(path);
  std::copy(bytes.begin(), bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(offset));
  rf::test::writeFileBytes(path, data);
}

void cut(const std::string& path, std::size_t size) {
  auto data = rf::test::readFileBytes(path);
  data.resize(size);
  rf::test::writeFileBytes(path, data);
}

std::unique_ptr<Table> open(const std::string& path) {
  return openParadoxTable(FileSystem::real(), path, OpenOptions{});
}

// Reads every field of every record in primary key order.
void readAll(Table& t) {
  auto c = t.openCursor();
  for (bool ok = c->first(); ok; ok = c->next())
    for (std::size_t f = 0; f < t.schema().size(); ++f) t.get(c->record(), static_cast<int>(f));
}

bool mentions(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

}  // namespace

// CUSTOMER: header 0x800, four 2 KB blocks of 394-byte records; record 1 (CustNo 1) keeps its
// memo in the leader (reference at 0x982), record 2's memo is in the sub-allocated block at
// 0x1000 of the .MB (reference at 0xB0C).
TEST(ParadoxDamage, EachDamageIsReportedWhereItIs) {
  enum When { Open, Read, Check };
  struct Case {
    const char* what;
    const char* file;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
    When when;            // the first moment it must be noticed
    const char* message;  // part of the error (or check problem)
  };
  const Case cases[] = {
      {"chain loops back to block 1", "CUSTOMER.DB", 0x1800, {0x01, 0x00}, Read, "CUSTOMER.DB: block 1 does not link back"},
      {"chain leads past the end", "CUSTOMER.DB", 0x1000, {0x09, 0x00}, Read, "CUSTOMER.DB: block 9"},
      {"record count beyond the block", "CUSTOMER.DB", 0x804, {0xFF, 0x7F}, Read, "impossible record count"},
      {"more records than the blocks hold", "CUSTOMER.DB", 0x06, {0xFF, 0x00}, Open, "(at offset 6)"},
      {"last block past the end", "CUSTOMER.DB", 0x10, {0x07, 0x00}, Open, "(at offset 16)"},
      {"blob reference past the .MB", "CUSTOMER.DB", 0xB0C, {0x3F, 0x00, 0xF0, 0x00}, Read, "CUSTOMER.MB: a record points at 0xF0003F"},
      {"blob length not the blob's", "CUSTOMER.DB", 0xB10, {0x00, 0x10, 0x00, 0x00}, Read, "the record says 4096"},
      {"leader claims more than it holds", "CUSTOMER.DB", 0x986, {0xFF, 0x00, 0x00, 0x00}, Read, "claims 255 bytes"},
      {"unknown blob block type", "CUSTOMER.MB", 0x1000, {0x07}, Read, "CUSTOMER.MB: a record points at a block that is not sub-allocated"},
      {"not a blob file", "CUSTOMER.MB", 0x00, {0x05}, Read, "CUSTOMER.MB: not a Paradox blob file"},
      {"free list names a blob in use", "CUSTOMER.MB", 0x38, {0x03, 0x20, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00}, Check, "which is not free"},
      {".PX root past the end", "CUSTOMER.PX", 0x1E, {0x09, 0x00}, Check, "CUSTOMER.PX: the index root lies past the end"},
      {".PX count out of date", "CUSTOMER.PX", 0x80C, {0x80, 0x04}, Check, "CUSTOMER.PX: the primary index is out of date"},
      {".X06 entry out of place", "CUSTOMER.X06", 0x806, {'Z'}, Check, "CUSTOMER.X06"},
      {".X06 misses records", "CUSTOMER.X06", 0x06, {0x13}, Check, "CUSTOMER.X06: it counts 19 records, the table has 20"},
      {".Y06 of the wrong type", "CUSTOMER.Y06", 0x04, {0x01}, Check, "CUSTOMER.Y06: does not belong"},
      {".Y06 block past the end", "CUSTOMER.Y06", 0x80C, {0x80, 0x09}, Check, "CUSTOMER.Y06"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string path = copyCustomer(dir);
    patch(dir.file(c.file), c.offset, c.bytes);
    std::unique_ptr<Table> t;
    try {
      t = open(path);
      ASSERT_NE(c.when, Open) << "opened";
    } catch (const TableError& e) {
      ASSERT_EQ(c.when, Open) << e.what();
      EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
      EXPECT_TRUE(mentions(e.what(), c.message)) << e.what();
      continue;
    }
    if (c.when == Read) {
      try {
        readAll(*t);
        FAIL() << "read without complaint";
      } catch (const TableError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
        EXPECT_TRUE(mentions(e.what(), c.message)) << e.what();
      }
    }
    CheckReport report = t->check();
    ASSERT_FALSE(report.ok());
    bool named = false;
    for (const auto& p : report.problems) named = named || mentions(p, c.file);
    EXPECT_TRUE(named) << report.problems[0];
    if (c.when == Check) {
      bool found = false;
      for (const auto& p : report.problems) found = found || mentions(p, c.message);
      EXPECT_TRUE(found) << report.problems[0];
    }
  }
}

// Damage in an index or in the blob file's free list makes the engine refuse changes, never
// write over what it cannot trust.
TEST(ParadoxDamage, UntrustedFilesAreNotWritten) {
  const std::pair<const char*, std::pair<std::size_t, std::vector<std::uint8_t>>> cases[] = {
      {"CUSTOMER.PX", {0x80C, {0x80, 0x04}}},
      {"CUSTOMER.X06", {0x06, {0x13}}},
      {"CUSTOMER.Y06", {0x00, {0x00}}},
      {"CUSTOMER.MB", {0x00, {0x05}}},
  };
  for (const auto& [file, damage] : cases) {
    SCOPED_TRACE(file);
    TempDir dir;
    std::string path = copyCustomer(dir);
    patch(dir.file(file), damage.first, damage.second);
    auto before = rf::test::readFileBytes(path);
    auto t = open(path);
    Record r = t->blankRecord();
    t->set(r, "Comments", Value::text(std::string(9000, 'b')));  // a single-blob block
    try {
      t->insert(r);
      FAIL() << "wrote";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
      EXPECT_TRUE(mentions(e.what(), file)) << e.what();
    }
    EXPECT_EQ(rf::test::readFileBytes(path), before);
  }

  // A free space list that names a block in use is left alone and not used: the new blob goes to
  // the end of the file and the blob it names survives.
  TempDir dir;
  std::string path = copyCustomer(dir);
  const std::vector<std::uint8_t> wrong = {0x03, 0x20, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00};
  patch(dir.file("CUSTOMER.MB"), 0x38, wrong);
  auto t = open(path);
  Record r = t->blankRecord();
  t->set(r, "Comments", Value::text(std::string(9000, 'b')));
  t->insert(r);
  auto mb = rf::test::readFileBytes(dir.file("CUSTOMER.MB"));
  EXPECT_TRUE(std::equal(wrong.begin(), wrong.end(), mb.begin() + 0x38));
  EXPECT_EQ(mb.size(), 65536u + 3 * 4096u);
  auto c = t->openCursor();
  ASSERT_TRUE(c->seek({Value::number(4)}));
  EXPECT_EQ(t->get(c->record(), "Comments").asText().size(), 56864u);
  auto report = t->check();
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_TRUE(mentions(report.problems[0], "which is not free")) << report.problems[0];
}

// Every file of the table cut short at points across its header, blocks and end: the cut is
// noticed on opening, reading or checking, and nothing else goes wrong.
TEST(ParadoxDamage, CutFilesAreNoticed) {
  struct Cut {
    const char* file;
    std::vector<std::size_t> at;
  };
  const Cut cuts[] = {
      // (The last block's records end at 0x27B8: a cut in the slack after them loses nothing.)
      {"CUSTOMER.DB", {0x00, 0x10, 0x40, 0x57, 0x60, 0x78, 0x90, 0x100, 0x1C0, 0x220, 0x7FF, 0x800, 0x806, 0x900,
                       0xFFF, 0x1003, 0x1500, 0x2000, 0x2100, 0x27B7}},
      {"CUSTOMER.PX", {0x00, 0x30, 0x58, 0x100, 0x800, 0x806, 0x820}},
      {"CUSTOMER.X06", {0x20, 0x78, 0x1A0, 0x800, 0x900, 0x9A9}},  // entries end at 0x9AA
      {"CUSTOMER.Y06", {0x10, 0x58, 0x800, 0x80A}},
      {"CUSTOMER.MB", {0x00, 0x20, 0xFFF, 0x1000, 0x1200, 0x2005, 0x3000, 0xFFFF}},
  };
  for (const auto& c : cuts) {
    for (std::size_t at : c.at) {
      SCOPED_TRACE(std::string(c.file) + " cut at " + std::to_string(at));
      TempDir dir;
      std::string path = copyCustomer(dir);
      cut(dir.file(c.file), at);
      bool noticed = false;
      try {
        auto t = open(path);
        try {
          readAll(*t);
          auto byCity = t->openCursor("City");
          for (bool ok = byCity->first(); ok; ok = byCity->next()) {
          }
        } catch (const TableError& e) {
          EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
          noticed = true;
        }
        noticed = !t->check().ok() || noticed;
      } catch (const TableError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
        noticed = true;
      }
      EXPECT_TRUE(noticed);
    }
  }
}

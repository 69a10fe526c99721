// The engine against an independent reader, Debian's pxlib (through tests/helpers/pxlib): the
// real tables read the same; tables changed by the engine, and tables it created, still read the
// same through pxlib, with pxlib using the engine's .PX to find the records.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "tables/codepage.h"
#include "tables/engine.h"
#include "tables/error.h"
#include "tables/no_sync_file_system.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using rf::test::TempDir;

namespace {

const std::string kPx = "paradox/paradoxdriver/";

#ifdef RF_PXLIB_DUMP
const char* kDump = RF_PXLIB_DUMP;
#else
const char* kDump = nullptr;
#endif

std::string escaped(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c < 0x20 || c > 0x7E || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The table as the engine reads it, in the helper's notation.
std::vector<std::string> ourDump(Table& t) {
  std::vector<std::string> lines;
  lines.push_back("records " + std::to_string(t.info().recordCount) + " fields " + std::to_string(t.schema().size()));
  CodePage cp(t.info().codePage);
  auto c = t.openCursor();
  for (bool ok = c->first(); ok; ok = c->next()) {
    std::string line;
    for (std::size_t f = 0; f < t.schema().size(); ++f) {
      if (f) line += '\t';
      const FieldDef& d = t.schema()[f];
      if (d.type == FieldType::Memo || d.type == FieldType::Binary) {
        line += "<blob>";
        continue;
      }
      Value v = t.get(c->record(), static_cast<int>(f));
      if (v.isBlank()) {
        line += "<blank>";
        continue;
      }
      char buf[64];
      switch (v.kind()) {
        case Value::Kind::Text: line += escaped(cp.fromUtf8(v.asText())); break;
        case Value::Kind::Bytes: line += escaped(std::string(v.asBytes().begin(), v.asBytes().end())); break;
        case Value::Kind::Logical: line += v.asLogical() ? "1" : "0"; break;
        case Value::Kind::Date: line += std::to_string(daysFromCivil(v.asDate())); break;
        case Value::Kind::Time: line += std::to_string(v.asTime().ms); break;
        case Value::Kind::Timestamp: {
          auto ts = v.asTimestamp();
          std::snprintf(buf, sizeof buf, "%.17g", static_cast<double>(daysFromCivil(ts.date) * 86400000 + ts.msOfDay));
          line += buf;
          break;
        }
        default:
          if (d.type == FieldType::Number || d.type == FieldType::Money || d.type == FieldType::Bcd)
            std::snprintf(buf, sizeof buf, "%.17g", v.asNumber());
          else
            std::snprintf(buf, sizeof buf, "%.0f", v.asNumber());
          line += buf;
      }
    }
    lines.push_back(line);
  }
  return lines;
}

// pxlib's reading; `index` empty: without the .PX.
std::vector<std::string> pxlibDump(const std::string& table, const std::string& index = {}) {
  std::string cmd = std::string(kDump) + (index.empty() ? "" : " --index " + rf::test::shellQuote(index)) + " " +
                    rf::test::shellQuote(table) + " 2>&1";
  std::string out;
  int rc = rf::test::runCommand(cmd, &out);
  EXPECT_EQ(rc, 0) << out.substr(0, 400);
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// Line by line; BCD columns (pxlib prints its digits, noise and all) compare as numbers.
void expectSame(Table& t, const std::vector<std::string>& ours, const std::vector<std::string>& theirs) {
  ASSERT_EQ(ours.size(), theirs.size()) << (theirs.empty() ? "" : theirs[0]);
  auto split = [](const std::string& s) {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(s);
    while (std::getline(in, cell, '\t')) out.push_back(cell);
    if (!s.empty() && s.back() == '\t') out.push_back("");
    return out;
  };
  for (std::size_t i = 0; i < ours.size(); ++i) {
    if (ours[i] == theirs[i]) continue;
    auto a = split(ours[i]), b = split(theirs[i]);
    ASSERT_EQ(a.size(), b.size()) << "line " << i << ": " << ours[i] << " | " << theirs[i];
    for (std::size_t f = 0; f < a.size(); ++f) {
      if (a[f] == b[f]) continue;
      bool bcd = i > 0 && t.schema()[f].type == FieldType::Bcd;
      if (bcd) {
        double x = std::strtod(a[f].c_str(), nullptr), y = std::strtod(b[f].c_str(), nullptr);
        EXPECT_NEAR(x, y, 1e-9 * std::max(1.0, std::fabs(x))) << "line " << i << " field " << f;
      } else {
        ADD_FAILURE() << "line " << i << " field " << t.schema()[f].name << ": engine '" << a[f] << "', pxlib '" << b[f] << "'";
      }
    }
  }
}

FieldDef field(const std::string& name, FieldType type, char native, int width = 0, int decimals = 0) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.native = native;
  f.width = width;
  f.decimals = decimals;
  return f;
}


#define REQUIRE_PXLIB() \
  if (!kDump) GTEST_SKIP() << "pxlib-dump was not built (pxlib-dev missing)"

}  // namespace

TEST(ParadoxPxlib, RealTablesReadTheSame) {
  REQUIRE_PXLIB();
  struct Case {
    const char* table;
    const char* index;  // a .PX pxlib can use, or ""
  };
  const Case cases[] = {
      {"fields/bcd.db", ""},        {"fields/date4.db", ""},        {"fields/date5.db", ""},
      {"fields/date7.db", ""},      {"fields/time.db", ""},         {"fields/timestamp.db", ""},
      {"fields/logical.db", ""},    {"fields/long.db", "fields/long.px"}, {"fields/bytes.db", ""},
      {"fields/memo.db", "fields/memo.px"}, {"db/AREACODE.DB", "db/AREACODE.PX"},
      {"db/ORDERS.DB", "db/ORDERS.PX"}, {"db/CONTACTS.DB", ""}, {"db/DECIMAL.DB", ""},
      {"db/GENERAL.DB", "db/GENERAL.PX"}, {"db/SERVER.DB", "db/SERVER.PX"}, {"db/CUSTOMER.DB", "db/CUSTOMER.PX"},
      {"geog/County.DB", "geog/County.PX"}, {"geog/tblAC.DB", "geog/tblAC.PX"},
      {"geog/tblsttes.DB", "geog/tblsttes.PX"}, {"joins/C.DB", "joins/C.PX"}, {"areas/AREACODE.DB", ""},
      // Its .PX has the root in the middle of the block chain, which pxlib cannot follow.
      {"areas/ZIPCODES.DB", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    std::string path = rf::test::fixturePath(kPx + c.table);
    auto t = openParadoxTable(FileSystem::real(), path, OpenOptions{true, false, {}});
    std::string index = *c.index ? rf::test::fixturePath(kPx + c.index) : std::string();
    expectSame(*t, ourDump(*t), pxlibDump(path, index));
  }
}

TEST(ParadoxPxlib, ChangedTablesStillReadTheSame) {
  REQUIRE_PXLIB();
  TempDir dir;
  std::string customer = rf::test::copyFixtures({kPx + "db/CUSTOMER.DB", kPx + "db/CUSTOMER.PX", kPx + "db/CUSTOMER.MB",
                                                 kPx + "db/CUSTOMER.X06", kPx + "db/CUSTOMER.Y06"},
                                                dir.path());
  std::string zip = rf::test::copyFixtures({kPx + "areas/ZIPCODES.DB", kPx + "areas/ZIPCODES.PX"}, dir.path());
  std::string contacts = rf::test::copyFixtures({kPx + "db/CONTACTS.DB"}, dir.path());
  std::minstd_rand rng(99);
  {
    auto t = openParadoxTable(FileSystem::real(), customer, OpenOptions{});
    for (int i = 0; i < 60; ++i) {  // enough to split blocks and grow the .PX
      Record r = t->blankRecord();
      t->set(r, "LastName", Value::text("Added " + std::to_string(i)));
      t->set(r, "City", Value::text(i % 2 ? "Ben Lomond" : "Felton"));
      t->set(r, "DateEntered", Value::date(rf::test::ymd(2001, static_cast<unsigned>(1 + i % 12), static_cast<unsigned>(1 + i % 28))));
      t->insert(r);
    }
    auto c = t->openCursor();
    ASSERT_TRUE(c->seek({Value::number(3)}));
    Record r = c->record();
    t->set(r, "State/Prov", Value::text("NV"));
    t->update(r);
    for (double no : {1.0, 8.0, 50.0, 51.0, 52.0}) {
      ASSERT_TRUE(c->seek({Value::number(no)}));
      t->remove(c->bookmark());
    }
    ASSERT_TRUE(t->check().ok());
    expectSame(*t, ourDump(*t), pxlibDump(customer, dir.file("CUSTOMER.PX")));
  }
  {
    auto t = openParadoxTable(FileSystem::real(), zip, OpenOptions{});
    auto c = t->openCursor();
    for (int i = 0; i < 40; ++i) {
      char z[8];
      std::snprintf(z, sizeof z, "%05u", static_cast<unsigned>(rng() % 100000));
      if (c->seek({Value::text(z)})) {
        t->remove(c->bookmark());
      } else {
        Record r = t->blankRecord();
        t->set(r, "Zip", Value::text(z));
        t->set(r, "City", Value::text("Somewhere"));
        t->insert(r);
      }
    }
    ASSERT_TRUE(t->check().ok());
    expectSame(*t, ourDump(*t), pxlibDump(zip));
  }
  {
    auto t = openParadoxTable(FileSystem::real(), contacts, OpenOptions{});
    auto c = t->openCursor();
    ASSERT_TRUE(c->first());
    t->remove(c->bookmark());
    for (int i = 0; i < 120; ++i) {
      Record r = t->blankRecord();
      t->set(r, "Last Name", Value::text("Row" + std::to_string(i)));
      t->insert(r);
    }
    ASSERT_TRUE(t->check().ok());
    expectSame(*t, ourDump(*t), pxlibDump(contacts));
  }
}

TEST(ParadoxPxlib, CreatedTablesReadTheSame) {
  REQUIRE_PXLIB();
  for (int version : {4, 5, 7}) {
    SCOPED_TRACE(version);
    TempDir dir;
    TableDef def;
    def.format = Format::Paradox;
    def.version = version;
    def.primaryKeyFields = 2;
    def.fields = {field("Road", FieldType::Text, 'A', 8), field("Number", FieldType::Integer, 'S'),
                  field("Built", FieldType::Date, 'D'), field("Cost", FieldType::Money, '$'),
                  field("Length", FieldType::Number, 'N'), field("Notes", FieldType::Memo, 'M', 20)};
    if (version != 4) {
      def.fields.push_back(field("Weight", FieldType::Integer, 'I'));
      def.fields.push_back(field("Active", FieldType::Logical, 'L'));
      def.fields.push_back(field("Since", FieldType::Timestamp, '@'));
      def.fields.push_back(field("Shift", FieldType::Time, 'T'));
      def.fields.push_back(field("Exact", FieldType::Bcd, '#', 17, 2));
      def.fields.push_back(field("Tag", FieldType::Bytes, 'Y', 4));
    }
    def.indexes = {IndexDef{"ByCost", "", {"Cost", "Road"}}};
    std::string path = dir.file("ROSTER.DB");
    auto t = createParadoxTable(FileSystem::real(), path, def);
    std::minstd_rand rng(static_cast<unsigned>(version));
    for (int i = 0; i < 600; ++i) {
      Record r = t->blankRecord();
      t->set(r, "Road", Value::text(std::string(1, static_cast<char>('A' + rng() % 26)) + "&" +
                                        std::string(1, static_cast<char>('A' + rng() % 26)) + "é"));
      t->set(r, "Number", Value::number(static_cast<double>(rng() % 30000) - 15000));
      if (rng() % 4) t->set(r, "Built", Value::date(rf::test::ymd(1850 + static_cast<int>(rng() % 170), static_cast<unsigned>(1 + rng() % 12), static_cast<unsigned>(1 + rng() % 28))));
      t->set(r, "Cost", Value::number(static_cast<double>(rng() % 1000000) / 100));
      t->set(r, "Length", Value::number(static_cast<double>(rng() % 100000) / 7 - 3000));
      t->set(r, "Notes", Value::text(std::string(rng() % 50, 'n')));
      if (version != 4) {
        t->set(r, "Weight", Value::number(static_cast<double>(rng()) - 1e9));
        t->set(r, "Active", Value::logical(rng() % 2));
        t->set(r, "Since", Value::timestamp({rf::test::ymd(2000, static_cast<unsigned>(1 + rng() % 12), static_cast<unsigned>(1 + rng() % 28)), static_cast<std::int64_t>(rng() % 86400000)}));
        t->set(r, "Shift", Value::time({static_cast<std::int64_t>(rng() % 86400000)}));
        t->set(r, "Exact", Value::number(static_cast<double>(rng() % 2000000) / 100 - 10000));
        // (pxlib reads Bytes starting with a NUL as blank; this engine only all-zero ones.)
        t->set(r, "Tag", Value::bytes({static_cast<std::uint8_t>(1 + rng() % 255), 0, static_cast<std::uint8_t>(rng())}));
      }
      try {
        t->insert(r);
      } catch (const TableError& e) {
        ASSERT_EQ(e.kind(), ErrorKind::KeyViolation);
      }
    }
    ASSERT_TRUE(t->check().ok());
    expectSame(*t, ourDump(*t), pxlibDump(path, dir.file("ROSTER.PX")));
    expectSame(*t, ourDump(*t), pxlibDump(path));
  }
}

// A wide key (255 bytes: fifteen .PX entries a block) and kilobyte records (three a block): the
// .PX gets two levels, which pxlib follows to find every record.
TEST(ParadoxPxlib, ATwoLevelIndexIsFollowed) {
  REQUIRE_PXLIB();
  NoSyncFileSystem fs;
  TempDir dir;
  TableDef def;
  def.format = Format::Paradox;
  def.version = 5;
  def.primaryKeyFields = 1;
  def.fields = {field("Key", FieldType::Text, 'A', 255), field("A", FieldType::Text, 'A', 255),
                field("B", FieldType::Text, 'A', 255), field("C", FieldType::Text, 'A', 250),
                field("N", FieldType::Integer, 'I')};
  std::string path = dir.file("WIDE.DB");
  {
    auto t = createParadoxTable(fs, path, def);
    std::minstd_rand rng(5);
    for (int i = 0; i < 400; ++i) {
      Record r = t->blankRecord();
      t->set(r, "Key", Value::text("key " + std::to_string(rng() % 100000)));
      t->set(r, "A", Value::text(std::string(rng() % 255, 'a')));
      t->set(r, "N", Value::number(i));
      try {
        t->insert(r);
      } catch (const TableError& e) {
        ASSERT_EQ(e.kind(), ErrorKind::KeyViolation);
      }
    }
    for (int i = 0; i < 100; ++i) {
      auto c = t->openCursor();
      ASSERT_TRUE(c->seek({Value::text("key " + std::to_string(rng() % 100000))}) || c->valid());
      t->remove(c->bookmark());
    }
    ASSERT_TRUE(t->check().ok());
  }
  std::uint8_t levels[0x21];
  FileSystem::real().open(dir.file("WIDE.PX"), OpenMode::ReadOnly)->readExact(0, levels, "the header");
  EXPECT_EQ(levels[0x20], 2);
  auto t = openParadoxTable(FileSystem::real(), path, OpenOptions{true, false, {}});
  expectSame(*t, ourDump(*t), pxlibDump(path, dir.file("WIDE.PX")));
}

// Reading the real Paradox files of the original engines: every field type, blobs from both kinds
// of blob blocks, key order, secondary index order, seeks and ranges, bookmarks, and the check
// of each table against its own files.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "tables/codepage.h"
#include "tables/engine.h"
#include "tables/error.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using rf::test::fixturePath;

namespace {

const std::string kPx = "paradox/paradoxdriver/";

std::unique_ptr<Table> openFixture(const std::string& rel) {
  return openParadoxTable(FileSystem::real(), fixturePath(rel), OpenOptions{true, false, {}});
}

std::string describe(const Value& v) {
  char buf[64];
  switch (v.kind()) {
    case Value::Kind::Blank: return "<blank>";
    case Value::Kind::Text: return v.asText();
    case Value::Kind::Number: std::snprintf(buf, sizeof buf, "%.12g", v.asNumber()); return buf;
    case Value::Kind::Logical: return v.asLogical() ? "T" : "F";
    case Value::Kind::Date: return formatDate(v.asDate());
    case Value::Kind::Time: {
      auto ms = v.asTime().ms;
      std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60));
      return buf;
    }
    case Value::Kind::Timestamp: {
      auto t = v.asTimestamp();
      auto ms = t.msOfDay;
      std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60));
      return formatDate(t.date) + buf;
    }
    case Value::Kind::Bytes: {
      const auto& b = v.asBytes();
      std::string s = "bytes:" + std::to_string(b.size()) + ":";
      for (std::size_t i = 0; i < b.size() && i < 6; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", b[i]);
        s += buf;
      }
      return s;
    }
  }
  return "?";
}

// Every record in cursor order, one field described.
std::vector<std::string> column(Table& t, Cursor& c, const std::string& field) {
  std::vector<std::string> out;
  for (bool ok = c.first(); ok; ok = c.next()) out.push_back(describe(t.get(c.record(), field)));
  return out;
}

}  // namespace

TEST(ParadoxRead, FieldTypesOfRealFiles) {
  struct Case {
    const char* file;
    int record;  // in primary key (or record) order
    const char* field;
    const char* expected;
  };
  const Case cases[] = {
      {"db/CUSTOMER.DB", 0, "CustNo", "1"},
      {"db/CUSTOMER.DB", 0, "FirstName", "Luke"},
      {"db/CUSTOMER.DB", 0, "Zip/Postal Code", "94766"},
      {"db/CUSTOMER.DB", 0, "Comments", "Small comment (less 100 symbols)"},  // memo within its leader
      {"db/CUSTOMER.DB", 0, "DateEntered", "1996-02-02"},
      {"db/CUSTOMER.DB", 5, "Comments", "<blank>"},
      {"db/ORDERS.DB", 0, "Order No", "1001"},
      {"db/ORDERS.DB", 0, "Sale Date", "1988-04-03"},
      {"db/ORDERS.DB", 0, "Total Invoice", "7320"},
      {"db/ORDERS.DB", 0, "Balance Due", "0"},
      {"db/GENERAL.DB", 2, "ID", "333333333"},
      {"db/GENERAL.DB", 1, "MONEYS", "150"},
      {"db/DECIMAL.DB", 0, "DECIMAL", "-200"},
      {"db/DECIMAL.DB", 3, "DECIMAL", "1"},
      {"fields/bcd.db", 0, "A", "1.23"},
      {"fields/bcd.db", 0, "B", "1"},
      {"fields/bcd.db", 0, "C", "0.123"},
      {"fields/bcd.db", 1, "A", "-1.23"},
      {"fields/bcd.db", 1, "B", "-1"},
      {"fields/bcd.db", 1, "C", "-0.123"},
      {"fields/bcd.db", 2, "A", "0"},
      {"fields/bcd.db", 2, "B", "<blank>"},
      {"fields/bcd.db", 2, "C", "0.9999"},
      {"fields/date4.db", 0, "DATE", "2018-01-01"},
      {"fields/date4.db", 1, "DATE", "2018-02-01"},
      {"fields/date35.db", 2, "DATE", "2018-01-02"},
      {"fields/date5.db", 0, "TIME", "10:00:00"},
      {"fields/date5.db", 1, "TIME", "10:30:00"},
      {"fields/date5.db", 2, "TIME", "09:25:25"},
      {"fields/date7.db", 3, "DATE", "<blank>"},
      {"fields/date7.db", 4, "TIME", "<blank>"},
      {"fields/time.db", 0, "Time", "01:00:01"},
      {"fields/time.db", 1, "Time", "<blank>"},
      {"fields/time.db", 2, "Time", "03:00:03"},
      {"fields/timestamp.db", 0, "Timestamp", "<blank>"},
      {"fields/timestamp.db", 1, "Timestamp", "2020-02-01 01:00:01"},
      {"fields/logical.db", 0, "BOOL", "T"},
      {"fields/logical.db", 1, "BOOL", "F"},
      {"fields/long.db", 1, "LONG", "2"},
      {"fields/long.db", 2, "LONG", "<blank>"},
      {"fields/bytes.db", 0, "BYTES", "bytes:255:310032003300"},
      {"fields/memo.db", 1, "MEMO", "01234567890\n"},
      {"geog/tblsttes.DB", 0, "Admitted Order", "49"},  // a Short
      {"geog/tblsttes.DB", 0, "Date Admitted", "1959-01-03"},
      {"geog/County.DB", 0, "County", "Abbeville"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " record " + std::to_string(c.record) + " " + c.field);
    auto t = openFixture(kPx + c.file);
    auto cur = t->openCursor();
    ASSERT_TRUE(cur->first());
    for (int i = 0; i < c.record; ++i) ASSERT_TRUE(cur->next());
    EXPECT_EQ(describe(t->get(cur->record(), c.field)), c.expected);
  }
}

TEST(ParadoxRead, CodePagesConvertToUtf8) {
  // GENERAL.DB holds GBK (code page 936) text; AREACODE.DB (version 3) is DOS code page 437.
  auto general = openFixture(kPx + "db/GENERAL.DB");
  EXPECT_EQ(general->info().codePage, 936);
  EXPECT_EQ(column(*general, *general->openCursor(), "NAME"), (std::vector<std::string>{"Mari", "Katty", "Elizabet"}));
  auto v3 = openFixture(kPx + "areas/AREACODE.DB");
  EXPECT_EQ(v3->info().codePage, 437);
  EXPECT_EQ(v3->info().versionName, "Paradox 3.0");
  EXPECT_EQ(v3->schema()[0].name, "1");
}

TEST(ParadoxRead, BlobsOfBothBlockKinds) {
  // Sub-allocated blocks (memo.mb), a single-blob block (CUSTOMER record 4, 56864 bytes) and
  // formatted memos whose length the record gives.
  auto memo = openFixture(kPx + "fields/memo.db");
  auto c = memo->openCursor();
  ASSERT_TRUE(c->first());
  std::string text = memo->get(c->record(), "MEMO").asText();
  EXPECT_EQ(text.size(), 555u);
  EXPECT_EQ(text.substr(0, 12), "012345678900");

  auto customer = openFixture(kPx + "db/CUSTOMER.DB");
  auto cc = customer->openCursor();
  ASSERT_TRUE(cc->first());
  std::vector<std::size_t> lengths;
  for (int i = 0; i < 5; ++i, cc->next()) lengths.push_back(customer->get(cc->record(), "Comments").asText().size());
  EXPECT_EQ(lengths, (std::vector<std::size_t>{32, 518, 318, 56864, 426}));
  ASSERT_TRUE(cc->first());
  for (int i = 0; i < 3; ++i) cc->next();
  EXPECT_EQ(customer->get(cc->record(), "Comments").asText().substr(0, 27), " The PARADOX File Structure");

  auto fmemo = openFixture(kPx + "fields/fmemo.db");
  auto fc = fmemo->openCursor();
  ASSERT_TRUE(fc->first());
  EXPECT_EQ(CodePage(850).fromUtf8(fmemo->get(fc->record(), "FMEMO").asText()).size(), 169u);
  ASSERT_TRUE(fc->next());
  EXPECT_EQ(CodePage(850).fromUtf8(fmemo->get(fc->record(), "FMEMO").asText()).size(), 726u);
}

TEST(ParadoxRead, GraphicsLoseTheBlobFilePrefix) {
  // A graphic is kept in the .MB behind 8 bytes (01 00 00 01 and the length); the value is the
  // image itself, so a BMP's own size field matches the value's length.
  auto t = openFixture(kPx + "fields/graphic.db");
  auto c = t->openCursor();
  std::vector<std::size_t> sizes;
  for (bool ok = c->first(); ok; ok = c->next()) {
    Bytes b = t->get(c->record(), "Graphic").asBytes();
    ASSERT_GE(b.size(), 6u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    std::uint32_t bmpSize = b[2] | (b[3] << 8) | (b[4] << 16) | (std::uint32_t(b[5]) << 24);
    EXPECT_EQ(bmpSize, b.size());
    sizes.push_back(b.size());
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{20078, 9618, 2074678}));

  // Graphic in the leader as well as in the .MB: both give the same bytes.
  auto small = openFixture(kPx + "fields/graphic240.db");
  auto sc = small->openCursor();
  ASSERT_TRUE(sc->first());
  EXPECT_EQ(small->get(sc->record(), "Graph").asBytes().size(), 20078u);

  auto ole = openFixture(kPx + "fields/ole.db");
  auto oc = ole->openCursor();
  ASSERT_TRUE(oc->first());
  EXPECT_EQ(ole->get(oc->record(), "OLE").asBytes().size(), 365920u);
}

TEST(ParadoxRead, SecondaryIndexOrder) {
  auto t = openFixture(kPx + "db/CUSTOMER.DB");
  auto byCity = t->openCursor("city");
  EXPECT_EQ(column(*t, *byCity, "CustNo"),
            (std::vector<std::string>{"12", "13", "14", "2", "7", "9", "15", "16", "17", "1", "3", "4", "5", "20",
                                      "6", "8", "10", "11", "18", "19"}));
  EXPECT_EQ(column(*t, *t->openCursor(), "CustNo").front(), "1");

  // A named composite index over a 16 KB block table (version 7): states in order, area codes
  // breaking ties.
  auto ac = openFixture(kPx + "db/AREACODES.DB");
  auto ste = ac->openCursor("STE");
  std::string prevState, prevCode;
  int n = 0;
  for (bool ok = ste->first(); ok; ok = ste->next(), ++n) {
    std::string s = ac->get(ste->record(), "State").asText(), a = ac->get(ste->record(), "AC").asText();
    if (n) {
      EXPECT_TRUE(prevState < s || (prevState == s && prevCode < a)) << prevState << prevCode << " " << s << a;
    }
    prevState = s;
    prevCode = a;
  }
  EXPECT_EQ(n, 370);

  auto joins = openFixture(kPx + "joins/C.DB");
  EXPECT_EQ(column(*joins, *joins->openCursor("B"), "C"), (std::vector<std::string>{"1", "2", "3"}));
  auto fk = openFixture(kPx + "joins/fk4.db");
  EXPECT_EQ(column(*fk, *fk->openCursor("reference"), "ID"), (std::vector<std::string>{"1", "2"}));
}

TEST(ParadoxRead, SeeksAndRangesOnATwoLevelIndex) {
  // ZIPCODES: 43,185 records in 686 blocks under a two-level .PX.
  auto t = openFixture(kPx + "areas/ZIPCODES.DB");
  auto c = t->openCursor();
  EXPECT_TRUE(c->seek({Value::text("90210")}));
  EXPECT_EQ(t->get(c->record(), "City").asText(), "Beverly Hills");
  EXPECT_FALSE(c->seek({Value::text("9021")}));  // lands on the first zip after the prefix
  EXPECT_EQ(t->get(c->record(), "Zip").asText(), "90210");
  EXPECT_TRUE(c->prior());
  EXPECT_LT(t->get(c->record(), "Zip").asText(), "9021");
  EXPECT_FALSE(c->seek({Value::text("99999")}));
  EXPECT_TRUE(c->eof());
  EXPECT_EQ(t->get(c->record(), "Zip").asText(), "99950");

  std::string prev;
  int n = 0;
  for (bool ok = c->first(); ok; ok = c->next(), ++n) {
    std::string z = t->get(c->record(), "Zip").asText();
    ASSERT_LT(prev, z);
    prev = z;
  }
  EXPECT_EQ(n, 43185);
  EXPECT_TRUE(c->eof());
  EXPECT_TRUE(c->valid());  // still on the last record
  EXPECT_FALSE(c->next());
  int back = 0;
  for (bool ok = c->last(); ok; ok = c->prior()) ++back;
  EXPECT_EQ(back, 43185);
  EXPECT_TRUE(c->bof());

  // A composite primary key: seek and range on its leading field.
  auto server = openFixture(kPx + "db/SERVER.DB");
  auto sc = server->openCursor();
  EXPECT_TRUE(sc->seek({Value::text("P")}));
  EXPECT_EQ(server->get(sc->record(), "URI").asText(), "/NEWCUST");
  sc->setRange({Value::text("G")});
  EXPECT_EQ(column(*server, *sc, "URI"), (std::vector<std::string>{"/MAILLIST.HTM", "/SRCHLIST.HTM"}));
  EXPECT_TRUE(sc->last());
  EXPECT_EQ(server->get(sc->record(), "URI").asText(), "/SRCHLIST.HTM");
  EXPECT_FALSE(sc->next());
  sc->setRange({Value::text("X")});
  EXPECT_FALSE(sc->valid());
  EXPECT_TRUE(sc->eof() && sc->bof());
  sc->setRange({});
  EXPECT_EQ(column(*server, *sc, "REQTYPE").size(), 4u);

  // Seeking in a secondary index: all records of one city.
  auto customer = openFixture(kPx + "db/CUSTOMER.DB");
  auto city = customer->openCursorOnFields({"City"});
  city->setRange({Value::text("Soquel")});
  EXPECT_EQ(column(*customer, *city, "CustNo"), (std::vector<std::string>{"18", "19"}));
}

TEST(ParadoxRead, BookmarksAcrossOrders) {
  auto t = openFixture(kPx + "db/CUSTOMER.DB");
  auto primary = t->openCursor();
  ASSERT_TRUE(primary->first());
  for (int i = 0; i < 6; ++i) primary->next();  // CustNo 7
  Bookmark b = primary->bookmark();
  auto byCity = t->openCursor("City");
  ASSERT_TRUE(byCity->gotoBookmark(b));
  EXPECT_EQ(describe(t->get(byCity->record(), "CustNo")), "7");
  ASSERT_TRUE(byCity->next());
  EXPECT_EQ(describe(t->get(byCity->record(), "CustNo")), "9");
  EXPECT_FALSE(byCity->gotoBookmark(Bookmark("nonsense")));
  EXPECT_EQ(describe(t->get(byCity->record(), "CustNo")), "9");

  // An unkeyed table: the bookmark is a position with the record's contents.
  auto contacts = openFixture(kPx + "db/CONTACTS.DB");
  auto cc = contacts->openCursor();
  ASSERT_TRUE(cc->first());
  cc->next();
  cc->next();
  Bookmark third = cc->bookmark();
  ASSERT_TRUE(cc->first());
  ASSERT_TRUE(cc->gotoBookmark(third));
  EXPECT_EQ(contacts->get(cc->record(), "Last Name").asText(), "Cuenin");
  EXPECT_THROW(cc->seek({Value::text("Pan")}), TableError);
}

TEST(ParadoxRead, IndexesAreListed) {
  auto t = openFixture(kPx + "db/CUSTOMER.DB");
  auto ix = t->indexes();
  ASSERT_EQ(ix.size(), 2u);
  EXPECT_TRUE(ix[0].primary);
  EXPECT_EQ(ix[0].name, "");
  EXPECT_EQ(ix[0].fields, std::vector<int>{0});
  EXPECT_EQ(std::filesystem::path(ix[0].file).filename(), "CUSTOMER.PX");
  EXPECT_EQ(ix[1].name, "City");
  EXPECT_EQ(ix[1].fields, std::vector<int>{5});
  EXPECT_EQ(std::filesystem::path(ix[1].file).filename(), "CUSTOMER.X06");
  EXPECT_TRUE(ix[1].usable);
  EXPECT_EQ(t->info().indexFiles.size(), 3u);

  auto fk = openFixture(kPx + "joins/fk4.db")->indexes();
  ASSERT_EQ(fk.size(), 2u);
  EXPECT_EQ(fk[1].name, "reference");
  EXPECT_EQ(fk[1].fields, (std::vector<int>{1, 3}));

  // Indexes the original does not maintain are listed, but not used.
  auto desc = openFixture(kPx + "joins/indexed.db");
  auto di = desc->indexes();
  ASSERT_EQ(di.size(), 1u);
  EXPECT_EQ(di[0].name, "Descending");
  EXPECT_TRUE(di[0].descending);
  EXPECT_FALSE(di[0].usable);
  try {
    desc->openCursor("Descending");
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
  }
  try {
    t->openCursor("NoSuchIndex");
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::NotFound);
  }
}

TEST(ParadoxRead, CursorOnFieldsPicksTheIndex) {
  auto t = openFixture(kPx + "db/AREACODES.DB");
  auto ste = t->openCursorOnFields({"state", "AC"});
  ASSERT_TRUE(ste->first());
  EXPECT_EQ(t->get(ste->record(), "State").asText(), "--");
  auto primary = t->openCursorOnFields({"AC"});
  ASSERT_TRUE(primary->first());
  EXPECT_EQ(t->get(primary->record(), "AC").asText(), "201");
  try {
    t->openCursorOnFields({"Cities"});
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::NotFound);
  }
}

// Every real table opens, scans as many records as its header counts and passes the check; the
// only problems are the ones the files really have.
TEST(ParadoxRead, EveryRealTableChecksClean) {
  struct Known {
    const char* file;
    const char* problem;  // part of the one expected problem, or "" for none
  };
  const Known tables[] = {
      {"areas/AREACODE.DB", ""},    {"areas/STATES.DB", "primary index (.PX) is missing"},
      {"areas/ZIPCODES.DB", ""},    {"db/AREACODE.DB", ""},
      {"db/AREACODES.DB", ""},      {"db/CONTACTS.DB", ""},
      {"db/CUSTOMER.DB", ""},       {"db/DECIMAL.DB", ""},
      {"db/GENERAL.DB", ""},        {"db/HERCULES.DB", ""},
      {"db/ORDERS.DB", ""},         {"db/ROMAN8.db", "code page 0 is not known"},
      {"db/SERVER.DB", ""},         {"fields/bcd.db", ""},
      {"fields/bytes.db", ""},      {"fields/date35.db", ""},
      {"fields/date4.db", ""},      {"fields/date5.db", ""},
      {"fields/date7.db", ""},      {"fields/fmemo.db", ""},
      {"fields/graphic.db", ""},    {"fields/graphic240.db", ""},
      {"fields/logical.db", ""},    {"fields/long.db", ""},
      {"fields/memo.db", ""},       {"fields/ole.db", ""},
      {"fields/time.db", ""},       {"fields/timestamp.db", ""},
      {"geog/County.DB", ""},       {"geog/tblAC.DB", ""},
      {"geog/tblsttes.DB", ""},     {"joins/C.DB", ""},
      {"joins/case.db", ""},        {"joins/fk4.db", ""},
      {"joins/indexed.db", ""},     {"joins/multiple.db", ""},
      {"joins/two.db", ""},
  };
  for (const auto& k : tables) {
    SCOPED_TRACE(k.file);
    auto t = openFixture(kPx + k.file);
    auto c = t->openCursor();
    std::uint64_t n = 0;
    for (bool ok = c->first(); ok; ok = c->next()) ++n;
    EXPECT_EQ(n, t->info().recordCount);
    CheckReport r = t->check();
    if (std::string(k.problem).empty()) {
      EXPECT_TRUE(r.ok()) << (r.problems.empty() ? "" : r.problems[0]);
    } else {
      ASSERT_EQ(r.problems.size(), 1u);
      EXPECT_NE(r.problems[0].find(k.problem), std::string::npos) << r.problems[0];
    }
  }
  for (const char* pcl : {"paradox/paradoxreader-pcldata/PCL.DB", "paradox/paradoxreader-pcldata/SYMBOLS.DB",
                          "paradox/paradoxreader-pcldata/TYPEFACE.DB"}) {
    SCOPED_TRACE(pcl);
    auto t = openFixture(pcl);
    EXPECT_TRUE(t->check().ok());
  }
}

TEST(ParadoxRead, EncryptedTablesAreRefused) {
  for (const char* f : {"encrypt/encrypted.db", "encrypt/encrypted35.db"}) {
    try {
      openFixture(kPx + f);
      FAIL() << f;
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Unsupported) << e.what();
    }
  }
}

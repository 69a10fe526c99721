// Changing Paradox tables: created tables of every field type, inserts, edits and deletes on
// copies of real tables with their indexes and blobs, refused changes that leave every file as
// it was, emptying, locks and bookmarks.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "tables/engine.h"
#include "tables/error.h"
#include "tables/paradox_lock_files.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using rf::test::TempDir;
using rf::test::ymd;

namespace {

const std::string kPx = "paradox/paradoxdriver/";

FieldDef field(const std::string& name, FieldType type, char native, int width = 0, int decimals = 0) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.native = native;
  f.width = width;
  f.decimals = decimals;
  return f;
}

std::unique_ptr<Table> open(const std::string& path, bool readOnly = false, bool exclusive = false) {
  return openParadoxTable(FileSystem::real(), path, OpenOptions{readOnly, exclusive, {}});
}

std::string copyCustomer(const TempDir& dir) {
  return rf::test::copyFixtures({kPx + "db/CUSTOMER.DB", kPx + "db/CUSTOMER.PX", kPx + "db/CUSTOMER.MB",
                                 kPx + "db/CUSTOMER.X06", kPx + "db/CUSTOMER.Y06"},
                                dir.path());
}

void expectClean(Table& t) {
  CheckReport r = t.check();
  EXPECT_TRUE(r.ok()) << (r.problems.empty() ? "" : r.problems[0]);
}

std::vector<std::string> texts(Table& t, const std::string& index, const std::string& field) {
  std::vector<std::string> out;
  auto c = t.openCursor(index);
  for (bool ok = c->first(); ok; ok = c->next()) out.push_back(t.get(c->record(), field).asText());
  return out;
}

std::map<std::string, std::vector<std::uint8_t>> snapshot(const std::string& dir) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().string().find("-journal") == std::string::npos)
      files[e.path().filename().string()] = rf::test::readFileBytes(e.path().string());
  return files;
}

TableDef everyType(int version) {
  TableDef def;
  def.format = Format::Paradox;
  def.version = version;
  def.primaryKeyFields = 1;
  bool v5 = version != 4;
  def.fields.push_back(v5 ? field("Id", FieldType::AutoIncrement, '+') : field("Id", FieldType::Integer, 'S'));
  def.fields.push_back(field("Name", FieldType::Text, 'A', 20));
  def.fields.push_back(field("When", FieldType::Date, 'D'));
  def.fields.push_back(field("Count", FieldType::Integer, 'S'));
  def.fields.push_back(field("Price", FieldType::Money, '$'));
  def.fields.push_back(field("Ratio", FieldType::Number, 'N'));
  def.fields.push_back(field("Notes", FieldType::Memo, 'M', 12));
  def.fields.push_back(field("Data", FieldType::Binary, 'B', 0));
  def.fields.push_back(field("Styled", FieldType::Memo, 'F', 5));
  def.fields.push_back(field("Picture", FieldType::Binary, 'G', 8));
  def.fields.push_back(field("Object", FieldType::Binary, 'O', 0));
  if (v5) {
    def.fields.push_back(field("Big", FieldType::Integer, 'I'));
    def.fields.push_back(field("Done", FieldType::Logical, 'L'));
    def.fields.push_back(field("At", FieldType::Time, 'T'));
    def.fields.push_back(field("Stamp", FieldType::Timestamp, '@'));
    def.fields.push_back(field("Exact", FieldType::Bcd, '#', 17, 4));
    def.fields.push_back(field("Raw", FieldType::Bytes, 'Y', 6));
  }
  return def;
}

}  // namespace

TEST(ParadoxWrite, CreatedTablesOfEveryTypeReadBack) {
  for (int version : {4, 5, 7}) {
    SCOPED_TRACE(version);
    TempDir dir;
    std::string path = dir.file("ALLTYPES.DB");
    TableDef def = everyType(version);
    std::vector<std::vector<Value>> rows;
    std::string longText(5000, 'x');
    for (int i = 0; i < 3; ++i) longText[static_cast<std::size_t>(i * 1000)] = 'y';
    Bytes photo(70000);
    for (std::size_t i = 0; i < photo.size(); ++i) photo[i] = static_cast<std::uint8_t>(i * 7);
    rows.push_back({Value::number(1), Value::text("Zoë Caboose"), Value::date(ymd(1998, 2, 28)), Value::number(-32767),
                    Value::number(19.95), Value::number(-0.001), Value::text("short"), Value::bytes({1, 2, 3}),
                    Value::text(longText), Value::bytes(photo), Value::bytes(Bytes(300, 0xAB))});
    rows.push_back({Value::number(2), Value::text(""), Value::blank(), Value::number(0), Value::number(0),
                    Value::number(1e300), Value::text("exactly 12 b"), Value::blank(), Value::blank(),
                    Value::bytes({9}), Value::blank()});
    if (version != 4) {
      rows[0].insert(rows[0].end(), {Value::number(-2147483647), Value::logical(false), Value::time({45296789}),
                                     Value::timestamp({ymd(2024, 12, 31), 86399000}), Value::number(-1234.5678),
                                     Value::bytes({0, 1, 0, 2})});
      rows[1].insert(rows[1].end(), {Value::number(7), Value::logical(true), Value::blank(), Value::blank(),
                                     Value::number(0), Value::blank()});
    }
    {
      auto t = createParadoxTable(FileSystem::real(), path, def);
      EXPECT_EQ(t->info().version, version == 4 ? 9 : version == 5 ? 11 : 12);
      for (const auto& row : rows) {
        Record r = t->blankRecord();
        for (std::size_t f = 0; f < row.size(); ++f) t->set(r, static_cast<int>(f), row[f]);
        t->insert(r);
      }
      expectClean(*t);
    }
    auto t = open(path);
    ASSERT_EQ(t->schema().size(), rows[0].size());
    EXPECT_EQ(t->schema()[6].width, 12);  // the memo leader as given
    auto c = t->openCursor();
    for (const auto& row : rows) {
      ASSERT_TRUE(c->next());
      for (std::size_t f = 0; f < row.size(); ++f) {
        Value want = row[f];
        if (want.kind() == Value::Kind::Text && want.asText().empty()) want = Value::blank();
        if (f == 16 && !want.isBlank()) {  // Bytes keep the field's full width
          Bytes b = want.asBytes();
          b.resize(6, 0);
          want = Value::bytes(b);
        }
        EXPECT_EQ(t->get(c->record(), static_cast<int>(f)), want) << "field " << t->schema()[f].name;
      }
    }
    EXPECT_FALSE(c->next());
    expectClean(*t);
  }
}

TEST(ParadoxWrite, ValuesAFieldCannotHoldAreRefused) {
  TempDir dir;
  auto t = createParadoxTable(FileSystem::real(), dir.file("T.DB"), everyType(7));
  Record r = t->blankRecord();
  const std::pair<const char*, Value> bad[] = {
      {"Count", Value::number(32768)},     {"Count", Value::number(1.5)},
      {"Big", Value::number(3e9)},         {"Ratio", Value::number(std::nan(""))},
      {"Name", Value::text(std::string("tab\0x", 5))},     {"Name", Value::text("\xe2\x82")},
      {"Name", Value::text("Ж")},          {"When", Value::date(ymd(2023, 2, 30))},
      {"At", Value::time({86400000})},     {"Exact", Value::number(1e30)},
      {"Raw", Value::bytes(Bytes(7, 1))},  {"Notes", Value::text("€ fine, but not Ж")},
      {"Count", Value::text("12")},
  };
  for (const auto& [name, v] : bad) {
    SCOPED_TRACE(name);
    try {
      t->set(r, name, v);
      FAIL() << "accepted";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::InvalidInput) << e.what();
    }
  }
  t->set(r, "Name", Value::text("a name longer than twenty characters"));
  EXPECT_EQ(t->get(r, "Name").asText(), "a name longer than t");
}

TEST(ParadoxWrite, ChangesToARealTableKeepItsIndexesAndBlobs) {
  TempDir dir;
  std::string path = copyCustomer(dir);
  auto t = open(path);
  // An insert takes the next autoincrement value (the header holds the last one handed out).
  Record r = t->blankRecord();
  t->set(r, "FirstName", Value::text("Casey"));
  t->set(r, "City", Value::text("Boulder Creek"));
  t->set(r, "Comments", Value::text(std::string(3000, 'c')));
  Bookmark added = t->insert(r);
  EXPECT_EQ(t->get(r, "CustNo").asNumber(), 45);
  expectClean(*t);

  // An edit that moves a record in the secondary index, and one that changes its key.
  auto c = t->openCursor();
  ASSERT_TRUE(c->first());
  Record first = c->record();
  t->set(first, "City", Value::text("Aaronsburg"));
  t->update(first);
  expectClean(*t);
  EXPECT_EQ(texts(*t, "City", "City").front(), "Aaronsburg");
  Record moved = first;
  t->set(moved, "CustNo", Value::number(100));
  Bookmark after = t->update(moved);
  EXPECT_NE(after, first.bookmark());
  expectClean(*t);
  EXPECT_EQ(texts(*t, "", "FirstName").back(), "Luke");

  // Deleting records, one of them holding the 56 KB memo of the single-blob block.
  for (double no : {4.0, 2.0, 45.0}) {
    auto d = t->openCursor();
    ASSERT_TRUE(d->seek({Value::number(no)}));
    t->remove(d->bookmark());
    expectClean(*t);
  }
  EXPECT_EQ(t->info().recordCount, 18u);

  t.reset();
  auto again = open(path);
  expectClean(*again);
  auto names = texts(*again, "", "FirstName");
  EXPECT_EQ(names.size(), 18u);
  EXPECT_EQ(names.front(), "Lewis");  // CustNo 3: 1 moved to 100, 2 was deleted
  auto cc = again->openCursor();
  EXPECT_FALSE(cc->gotoBookmark(added));
}

TEST(ParadoxWrite, RefusedChangesLeaveEveryFileAsItWas) {
  TempDir dir;
  std::string path = copyCustomer(dir);
  auto before = snapshot(dir.path());
  {
    auto t = open(path);
    Record dup = t->blankRecord();
    t->set(dup, "CustNo", Value::number(5));
    t->set(dup, "Comments", Value::text(std::string(10000, 'z')));  // a blob written, then dropped
    try {
      t->insert(dup);
      FAIL() << "a duplicate key was accepted";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::KeyViolation);
    }
    // An edit onto a taken key is refused too.
    auto c = t->openCursor();
    ASSERT_TRUE(c->seek({Value::number(7)}));
    Record r = c->record();
    t->set(r, "CustNo", Value::number(8));
    EXPECT_THROW(t->update(r), TableError);
    EXPECT_EQ(t->info().recordCount, 20u);
    expectClean(*t);
  }
  EXPECT_EQ(snapshot(dir.path()), before);
}

TEST(ParadoxWrite, BlobsAreNeverRewrittenInPlaceAndTheirSpaceIsReused) {
  TempDir dir;
  TableDef def;
  def.format = Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {field("Id", FieldType::Integer, 'I'), field("Notes", FieldType::Memo, 'M', 10),
                field("Photo", FieldType::Binary, 'G', 0)};
  std::string path = dir.file("PHOTOS.DB");
  auto t = createParadoxTable(FileSystem::real(), path, def);
  auto mbSize = [&] { return std::filesystem::file_size(dir.file("PHOTOS.MB")); };
  Bytes big(3 << 20);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i ^ (i >> 9));
  auto put = [&](double id, const Value& notes, const Value& photo) {
    Record r = t->blankRecord();
    t->set(r, "Id", Value::number(id));
    t->set(r, "Notes", notes);
    t->set(r, "Photo", photo);
    t->insert(r);
  };
  put(1, Value::text("in leader"), Value::bytes(big));
  put(2, Value::text(std::string(700, 'm')), Value::bytes(Bytes(1500, 7)));
  put(3, Value::text(std::string(1900, 'n')), Value::blank());
  expectClean(*t);
  auto grown = mbSize();
  EXPECT_GT(grown, big.size());

  // Replacing the photo gives it a new place and frees the old one: the next photo of that size
  // goes there and the file does not grow.
  auto c = t->openCursor();
  ASSERT_TRUE(c->first());
  Record one = c->record();
  std::string leaderBefore(reinterpret_cast<const char*>(one.image().data()) + 4 + 20, 10);
  t->set(one, "Photo", Value::bytes(Bytes(10, 1)));
  t->update(one);
  std::string leaderAfter(reinterpret_cast<const char*>(one.image().data()) + 4 + 20, 10);
  EXPECT_NE(leaderBefore, leaderAfter);  // a new blob reference, never the old one rewritten
  expectClean(*t);
  put(4, Value::blank(), Value::bytes(big));
  EXPECT_EQ(mbSize(), grown);
  expectClean(*t);

  // Small blobs share sub-allocated blocks; deleting them all frees the blocks again.
  for (int i = 0; i < 40; ++i) put(10 + i, Value::text(std::string(static_cast<std::size_t>(100 + i * 30), static_cast<char>('a' + i % 26))), Value::blank());
  expectClean(*t);
  for (int i = 0; i < 40; ++i) {
    auto d = t->openCursor();
    ASSERT_TRUE(d->seek({Value::number(10 + i)}));
    EXPECT_EQ(t->get(d->record(), "Notes").asText(), std::string(static_cast<std::size_t>(100 + i * 30), static_cast<char>('a' + i % 26)));
    t->remove(d->bookmark());
  }
  expectClean(*t);
  put(60, Value::text(std::string(1200, 'q')), Value::blank());
  EXPECT_EQ(mbSize(), grown);

  t.reset();
  auto again = open(path);
  auto r = again->openCursor();
  ASSERT_TRUE(r->seek({Value::number(4)}));
  EXPECT_EQ(again->get(r->record(), "Photo").asBytes(), big);
  ASSERT_TRUE(r->seek({Value::number(2)}));
  EXPECT_EQ(again->get(r->record(), "Photo").asBytes(), Bytes(1500, 7));
  expectClean(*again);
}

TEST(ParadoxWrite, EmptyKeepsFieldsAndIndexes) {
  TempDir dir;
  TableDef def;
  def.format = Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {field("Asset", FieldType::Integer, 'I'), field("Road", FieldType::Text, 'A', 10),
                field("Detail", FieldType::Memo, 'M', 1)};
  IndexDef byRoad;
  byRoad.name = "ByRoad";
  byRoad.fields = {"Road", "Asset"};
  def.indexes.push_back(byRoad);
  std::string path = dir.file("INVEN.DB");
  auto t = createParadoxTable(FileSystem::real(), path, def);
  for (int i = 0; i < 300; ++i) {
    Record r = t->blankRecord();
    t->set(r, "Asset", Value::number(i));
    t->set(r, "Road", Value::text("RR" + std::to_string(i % 7)));
    t->set(r, "Detail", Value::text(std::string(static_cast<std::size_t>(i * 13 % 3000), 'd')));
    t->insert(r);
  }
  expectClean(*t);
  {
    auto other = open(path);
    try {
      t->empty();
      FAIL() << "emptied while another open exists";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Locked);
    }
    EXPECT_EQ(t->info().recordCount, 300u);
  }
  t->empty();
  EXPECT_EQ(t->info().recordCount, 0u);
  EXPECT_EQ(std::filesystem::file_size(path), 0x800u);
  EXPECT_EQ(std::filesystem::file_size(dir.file("INVEN.MB")), 4096u);
  ASSERT_EQ(t->indexes().size(), 2u);
  EXPECT_EQ(t->indexes()[1].name, "ByRoad");
  expectClean(*t);
  Record r = t->blankRecord();
  t->set(r, "Asset", Value::number(1));
  t->set(r, "Detail", Value::text(std::string(500, 'e')));
  t->insert(r);
  expectClean(*t);
  EXPECT_EQ(texts(*t, "ByRoad", "Detail").front().size(), 500u);
}

TEST(ParadoxWrite, UniqueAndDescendingSecondaryIndexes) {
  TempDir dir;
  TableDef def;
  def.format = Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {field("Id", FieldType::Integer, 'I'), field("Code", FieldType::Text, 'A', 8),
                field("Rank", FieldType::Integer, 'S')};
  IndexDef code;
  code.name = "Code";
  code.fields = {"Code"};
  code.unique = true;
  IndexDef rank;
  rank.name = "RankDown";
  rank.fields = {"Rank"};
  rank.descending = true;
  def.indexes = {code, rank};
  auto t = createParadoxTable(FileSystem::real(), dir.file("U.DB"), def);
  EXPECT_TRUE(std::filesystem::exists(dir.file("U.X02")));   // single field, named after it
  EXPECT_TRUE(std::filesystem::exists(dir.file("U.XG0")));   // named
  auto put = [&](double id, const char* c, double rk) {
    Record r = t->blankRecord();
    t->set(r, "Id", Value::number(id));
    t->set(r, "Code", Value::text(c));
    t->set(r, "Rank", Value::number(rk));
    return t->insert(r);
  };
  put(1, "B", 5);
  put(2, "A", 9);
  put(3, "C", 1);
  try {
    put(4, "A", 3);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::KeyViolation);
  }
  EXPECT_EQ(texts(*t, "Code", "Code"), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(texts(*t, "RankDown", "Code"), (std::vector<std::string>{"A", "B", "C"}));
  auto c = t->openCursor("Code");
  ASSERT_TRUE(c->seek({Value::text("B")}));
  Record r = c->record();
  t->set(r, "Code", Value::text("C"));
  EXPECT_THROW(t->update(r), TableError);
  t->set(r, "Code", Value::text("D"));
  t->update(r);
  EXPECT_EQ(texts(*t, "Code", "Code"), (std::vector<std::string>{"A", "C", "D"}));
  expectClean(*t);
}

TEST(ParadoxWrite, RecordLocksExcludeOtherOpens) {
  TempDir dir;
  std::string path = copyCustomer(dir);
  auto a = open(path);
  auto b = open(path);
  auto c = a->openCursor();
  ASSERT_TRUE(c->first());
  Record r = c->record();
  {
    auto lock = a->lockRecord(r.bookmark());
    auto again = a->lockRecord(r.bookmark());  // the holder may take it twice
    try {
      b->lockRecord(r.bookmark());
      FAIL();
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Locked);
    }
    Record theirs = r;
    b->set(theirs, "City", Value::text("Elsewhere"));
    EXPECT_THROW(b->update(theirs), TableError);
    EXPECT_THROW(b->remove(r.bookmark()), TableError);
    a->set(r, "City", Value::text("Mine"));
    a->update(r);  // the holder itself may save
  }
  auto lock = b->lockRecord(r.bookmark());
  b->refresh();
  auto bc = b->openCursor();
  ASSERT_TRUE(bc->first());
  EXPECT_EQ(b->get(bc->record(), "City").asText(), "Mine");
  EXPECT_THROW(open(path, false, true), TableError);  // exclusive while others have it open
}

TEST(ParadoxWrite, UnkeyedBookmarksSurviveOtherDeletes) {
  TempDir dir;
  TableDef def;
  def.format = Format::Paradox;
  def.fields = {field("Name", FieldType::Text, 'A', 12), field("N", FieldType::Integer, 'S')};
  auto t = createParadoxTable(FileSystem::real(), dir.file("LOG.DB"), def);
  std::vector<Bookmark> marks;
  for (int i = 0; i < 600; ++i) {
    Record r = t->blankRecord();
    t->set(r, "Name", Value::text("row" + std::to_string(i)));
    t->set(r, "N", Value::number(i));
    marks.push_back(t->insert(r));
  }
  t->remove(marks[3]);
  t->remove(marks[10]);
  t->remove(marks[0]);
  auto c = t->openCursor();
  ASSERT_TRUE(c->gotoBookmark(marks[500]));
  EXPECT_EQ(t->get(c->record(), "N").asNumber(), 500);
  Record r = c->record();
  t->set(r, "Name", Value::text("edited"));
  Bookmark now = t->update(r);
  ASSERT_TRUE(c->gotoBookmark(now));
  EXPECT_EQ(t->get(c->record(), "Name").asText(), "edited");
  EXPECT_FALSE(c->gotoBookmark(marks[3]));
  ASSERT_TRUE(c->first());
  EXPECT_EQ(t->get(c->record(), "N").asNumber(), 1);  // record order kept
  expectClean(*t);
}

TEST(ParadoxWrite, CursorsFollowChanges) {
  TempDir dir;
  std::string path = copyCustomer(dir);
  auto t = open(path);
  auto c = t->openCursor();
  ASSERT_TRUE(c->seek({Value::number(10)}));
  // Deleting the current record: next() lands on the one after it, prior() on the one before.
  t->remove(c->bookmark());
  ASSERT_TRUE(c->next());
  EXPECT_EQ(t->get(c->record(), "CustNo").asNumber(), 11);
  ASSERT_TRUE(c->seek({Value::number(12)}));
  t->remove(c->bookmark());
  ASSERT_TRUE(c->prior());
  EXPECT_EQ(t->get(c->record(), "CustNo").asNumber(), 11);
  // A record added before the cursor does not move it.
  Record r = t->blankRecord();
  t->set(r, "CustNo", Value::number(0));
  t->insert(r);
  ASSERT_TRUE(c->next());
  EXPECT_EQ(t->get(c->record(), "CustNo").asNumber(), 13);
  // The cursor in index order too.
  auto byCity = t->openCursor("City");
  ASSERT_TRUE(byCity->first());
  Record moved = byCity->record();
  t->set(moved, "City", Value::text("Zzyzx"));
  t->update(moved);
  ASSERT_TRUE(byCity->next());
  EXPECT_EQ(t->get(byCity->record(), "City").asText(), "Aptos");
  ASSERT_TRUE(byCity->last());
  EXPECT_EQ(t->get(byCity->record(), "City").asText(), "Zzyzx");
}

TEST(ParadoxWrite, ReadOnlyOpensAndOldVersionsAreNotWritten) {
  TempDir dir;
  std::string path = copyCustomer(dir);
  auto ro = open(path, true);
  auto c = ro->openCursor();
  ASSERT_TRUE(c->first());
  EXPECT_THROW(ro->remove(c->bookmark()), TableError);
  EXPECT_THROW(ro->empty(), TableError);

  std::string v3 = rf::test::copyFixtures({kPx + "areas/AREACODE.DB"}, dir.path());
  auto old = open(v3);
  Record r = old->blankRecord();
  try {
    old->insert(r);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
  }
}

TEST(ParadoxWrite, TheClassicEnginesLockFilesAreLeftAlone) {
  TempDir dir;
  std::string path = copyCustomer(dir);
  rf::test::writeFileBytes(dir.file("PARADOX.LCK"), std::vector<std::uint8_t>(128, 0));
  rf::test::writeFileBytes(dir.file("pdoxusrs.net"), std::vector<std::uint8_t>(64, 0));
  EXPECT_EQ(paradoxLockFilesIn(FileSystem::real(), dir.path()),
            (std::vector<std::string>{"pdoxusrs.net", "PARADOX.LCK"}));
  auto before = rf::test::readFileBytes(dir.file("PARADOX.LCK"));
  {
    // Left behind: no live holder, so writes go ahead and the check has nothing to say.
    auto t = open(path);
    Record r = t->blankRecord();
    t->insert(r);
    expectClean(*t);
  }
  // Held by a live program: writes are refused and the check says so.
  auto holder = FileSystem::real().open(dir.file("PARADOX.LCK"), OpenMode::ReadWrite);
  ASSERT_TRUE(holder->tryLock(0, 1, LockMode::Exclusive));
  auto t = open(path);
  Record r = t->blankRecord();
  try {
    t->insert(r);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Locked);
  }
  auto report = t->check();
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_NE(report.problems[0].find("PARADOX.LCK"), std::string::npos);
  EXPECT_EQ(rf::test::readFileBytes(dir.file("PARADOX.LCK")), before);
}

TEST(ParadoxWrite, BadDefinitionsAreRefused) {
  struct Case {
    const char* what;
    TableDef def;
  };
  auto base = [] {
    TableDef d;
    d.format = Format::Paradox;
    d.primaryKeyFields = 1;
    d.fields = {field("Id", FieldType::Integer, 'I'), field("Name", FieldType::Text, 'A', 10),
                field("Notes", FieldType::Memo, 'M', 5)};
    return d;
  };
  std::vector<Case> cases;
  cases.push_back({"no fields", [&] { auto d = base(); d.fields.clear(); d.primaryKeyFields = 0; return d; }()});
  cases.push_back({"two fields of one name", [&] { auto d = base(); d.fields[1].name = "ID"; return d; }()});
  cases.push_back({"alpha of width 0", [&] { auto d = base(); d.fields[1].width = 0; return d; }()});
  cases.push_back({"alpha of width 256", [&] { auto d = base(); d.fields[1].width = 256; return d; }()});
  cases.push_back({"memo leader of 241", [&] { auto d = base(); d.fields[2].width = 241; return d; }()});
  cases.push_back({"blob in the key", [&] { auto d = base(); d.primaryKeyFields = 3; return d; }()});
  cases.push_back({"key longer than the table", [&] { auto d = base(); d.primaryKeyFields = 4; return d; }()});
  cases.push_back({"version 3", [&] { auto d = base(); d.version = 3; return d; }()});
  cases.push_back({"a Long field in version 4", [&] { auto d = base(); d.version = 4; return d; }()});
  cases.push_back({"index on an unknown field", [&] {
                     auto d = base();
                     d.indexes.push_back(IndexDef{"X", "", {"Nope"}});
                     return d;
                   }()});
  cases.push_back({"index on a memo", [&] {
                     auto d = base();
                     d.indexes.push_back(IndexDef{"X", "", {"Notes"}});
                     return d;
                   }()});
  cases.push_back({"unnamed composite index", [&] {
                     auto d = base();
                     d.indexes.push_back(IndexDef{"", "", {"Name", "Id"}});
                     return d;
                   }()});
  cases.push_back({"index on a table without a key", [&] {
                     auto d = base();
                     d.primaryKeyFields = 0;
                     d.indexes.push_back(IndexDef{"Name", "", {"Name"}});
                     return d;
                   }()});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    try {
      createParadoxTable(FileSystem::real(), dir.file("BAD.DB"), c.def);
      FAIL() << "created";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::InvalidInput) << e.what();
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  }
}

// Regression: once the free space list was full of nearly full sub-allocated blocks, every new
// small blob took a block of its own. Thousands of memos must share blocks.
TEST(ParadoxWrite, ManySmallBlobsShareBlocks) {
  TempDir dir;
  TableDef def;
  def.format = Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {field("Id", FieldType::Integer, 'I'), field("Notes", FieldType::Memo, 'M', 1)};
  auto t = createParadoxTable(FileSystem::real(), dir.file("NOTES.DB"), def);
  std::size_t bytes = 0;
  for (int i = 0; i < 1500; ++i) {
    Record r = t->blankRecord();
    t->set(r, "Id", Value::number(i));
    std::string text(static_cast<std::size_t>(150 + i * 37 % 600), 'n');
    bytes += text.size();
    t->set(r, "Notes", Value::text(text));
    t->insert(r);
  }
  auto size = std::filesystem::file_size(dir.file("NOTES.MB"));
  EXPECT_LT(size, bytes * 3 / 2 + 64 * 1024) << "blob file of " << size << " bytes for " << bytes << " bytes of memos";
  expectClean(*t);
}

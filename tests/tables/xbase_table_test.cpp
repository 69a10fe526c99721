// The xBase table through the engine API: values, cut and code page rules, index upkeep under
// random changes, emptying, and refusals that leave the files as they were.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "tables/engine.h"
#include "tables/error.h"
#include "tables/xbase_table.h"
#include "tests/support/test_support.h"
#include "tests/support/xbase_builders.h"

using namespace rf::tables;
using rf::test::TempDir;
using rf::test::ymd;

namespace {

struct Family {
  const char* name;
  Format format;
  int version;
};

const Family kFamilies[] = {
    {"dBASE_IV", Format::Dbase, 0x8B},
    {"dBASE_III", Format::Dbase, 0x83},
    {"FoxPro2", Format::FoxPro, 0xF5},
    {"VisualFoxPro", Format::FoxPro, 0x30},
};

class XbaseFamily : public ::testing::TestWithParam<Family> {
 protected:
  std::unique_ptr<Table> create() {
    return engine.create(dir.file("pieces.dbf"), rf::test::piecesDef(GetParam().format, GetParam().version));
  }
  std::unique_ptr<Table> reopen() { return engine.openPath(dir.file("pieces.dbf"), GetParam().format); }

  TempDir dir;
  Engine engine{dir.file("engine.conf")};
};

Bookmark add(Table& t, const std::string& code, const std::string& name, double qty, const std::string& notes = {}) {
  Record r = t.blankRecord();
  t.set(r, "CODE", Value::text(code));
  t.set(r, "NAME", Value::text(name));
  t.set(r, "QTY", Value::number(qty));
  t.set(r, "BOUGHT", Value::date(ymd(1999, 12, 31)));
  t.set(r, "RUNS", Value::logical(true));
  if (!notes.empty()) t.set(r, "NOTES", Value::text(notes));
  return t.insert(r);
}

std::vector<std::string> codesInOrder(Table& t, const std::string& index) {
  std::vector<std::string> out;
  auto c = t.openCursor(index);
  for (bool ok = c->first(); ok; ok = c->next()) out.push_back(t.get(c->record(), "code").asText());
  return out;
}

}  // namespace

TEST_P(XbaseFamily, ValuesRoundTripThroughTheFiles) {
  {
    auto t = create();
    add(*t, "ATSF", "Santa Fe boxcar", 12.5, std::string(5000, 'x') + "\nend");
    Record r = t->blankRecord();
    t->set(r, "code", Value::text("CUT-TO-WIDTH-HERE"));  // field names match regardless of case
    t->set(r, "Name", Value::text("Caf\xc3\xa9 car"));      // é is in code page 1252
    t->insert(r);
  }
  auto t = reopen();
  auto c = t->openCursor();
  ASSERT_TRUE(c->first());
  EXPECT_EQ(t->get(c->record(), "CODE").asText(), "ATSF");
  EXPECT_EQ(t->get(c->record(), "QTY").asNumber(), 12.5);
  EXPECT_EQ(t->get(c->record(), "BOUGHT").asDate(), ymd(1999, 12, 31));
  EXPECT_TRUE(t->get(c->record(), "RUNS").asLogical());
  EXPECT_EQ(t->get(c->record(), "NOTES").asText(), std::string(5000, 'x') + "\nend");
  ASSERT_TRUE(c->next());
  EXPECT_EQ(t->get(c->record(), "CODE").asText(), "CUT-TO-W");
  EXPECT_EQ(t->get(c->record(), "NAME").asText(), "Caf\xc3\xa9 car");
  Value qty = t->get(c->record(), "QTY");
  EXPECT_TRUE(qty.isBlank()) << "a number never set is blank, not 0";
  EXPECT_EQ(qty.asNumber(), 0) << "and reads as 0";
  EXPECT_TRUE(t->get(c->record(), "BOUGHT").isBlank());
  EXPECT_TRUE(t->get(c->record(), "NOTES").isBlank());
  EXPECT_FALSE(c->next());
  EXPECT_TRUE(c->eof());
  EXPECT_TRUE(t->check().ok());
}

TEST_P(XbaseFamily, RefusesValuesTheFieldCannotHold) {
  auto t = create();
  Record r = t->blankRecord();
  struct Case {
    const char* field;
    Value value;
  };
  const Case cases[] = {
      {"NAME", Value::text("\xe2\x82\xac uro \xe4\xb8\xad")},  // € is in 1252, 中 is not
      {"QTY", Value::number(123456789.0)},                     // does not fit N(8,2)
      {"QTY", Value::text("12a")},
      {"QTY", Value::number(std::numeric_limits<double>::quiet_NaN())},
      {"BOUGHT", Value::text("yesterday")},
      {"NOTES", Value::number(3)},
      {"NAME", Value::text(std::string("\xff\xfe", 2))},  // not UTF-8
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " = " + (c.value.kind() == Value::Kind::Text ? c.value.asText() : "?"));
    try {
      t->set(r, c.field, c.value);
      FAIL() << "accepted";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::InvalidInput);
      EXPECT_NE(std::string(e.what()).find(c.field), std::string::npos) << "the message names the field: " << e.what();
    }
  }
}

TEST_P(XbaseFamily, IndexesStayExactUnderRandomChanges) {
  auto t = create();
  std::mt19937 rng(42);
  std::map<std::string, std::pair<std::string, double>> live;  // bookmark -> (code, qty)
  std::vector<Bookmark> marks;
  auto name = [&](int i) { return std::string(1, static_cast<char>('a' + i % 26)) + "piece"; };
  for (int step = 0; step < 400; ++step) {
    int op = static_cast<int>(rng() % 10);
    if (op < 5 || live.empty()) {
      int k = static_cast<int>(rng() % 1000);
      std::string code = "C" + std::to_string(k);
      double qty = static_cast<double>(rng() % 2000) / 4.0 - 100;
      Bookmark b = add(*t, code, name(k), qty, step % 7 == 0 ? "memo " + std::to_string(step) : "");
      live[b] = {code, qty};
      marks.push_back(b);
    } else {
      auto it = live.begin();
      std::advance(it, static_cast<long>(rng() % live.size()));
      auto c = t->openCursor();
      ASSERT_TRUE(c->gotoBookmark(it->first));
      if (op < 8) {
        Record r = c->record();
        double qty = static_cast<double>(rng() % 2000) / 4.0;
        t->set(r, "QTY", Value::number(qty));
        if (op == 7) t->set(r, "NOTES", Value::text("edited " + std::to_string(step)));
        t->update(r);
        it->second.second = qty;
      } else {
        t->remove(it->first);
        live.erase(it);
      }
    }
    CheckReport rep = t->check();
    ASSERT_TRUE(rep.ok()) << "step " << step << ": " << rep.problems.front();
  }
  // Each tag lists the live records in key order, duplicates in record order.
  std::vector<std::pair<double, Bookmark>> byQty;
  for (const auto& [b, v] : live) byQty.push_back({v.second, b});
  std::sort(byQty.begin(), byQty.end(), [](auto& a, auto& b) {
    return a.first != b.first ? a.first < b.first : XbaseTable::recnoOf(a.second) < XbaseTable::recnoOf(b.second);
  });
  auto c = t->openCursor("qty");
  std::size_t i = 0;
  for (bool ok = c->first(); ok; ok = c->next(), ++i) {
    ASSERT_LT(i, byQty.size());
    EXPECT_EQ(c->bookmark(), byQty[i].second);
  }
  EXPECT_EQ(i, byQty.size());
  std::vector<std::string> codes;
  for (const auto& [b, v] : live) codes.push_back(v.first);
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(codesInOrder(*t, "CODE"), codes);
  // The deleted records stay out of every order and of a scan.
  EXPECT_EQ(codesInOrder(*t, "").size(), live.size());
  EXPECT_EQ(t->info().recordCount, live.size());
  for (const auto& b : marks) {
    if (!live.count(b)) {
      EXPECT_FALSE(t->openCursor()->gotoBookmark(b));
    }
  }
}

TEST_P(XbaseFamily, SeeksAndRangesUseTheLeadingFields) {
  auto t = create();
  for (auto [code, name, qty] : {std::tuple{"B", "Boxcar", 2.0}, {"A", "Boxcar", 1.0}, {"C", "Caboose", 1.0},
                                 {"D", "boxcar", 3.0}, {"E", "Tank", 1.0}})
    add(*t, code, name, qty);
  auto c = t->openCursor("NAMEQTY");
  c->setRange({Value::text("BOXCAR")});
  std::vector<std::string> got;
  for (bool ok = c->first(); ok; ok = c->next()) got.push_back(t->get(c->record(), "CODE").asText());
  EXPECT_EQ(got, (std::vector<std::string>{"A", "B", "D"})) << "UPPER(NAME) groups the boxcars, STR(QTY) orders them";
  ASSERT_TRUE(c->last());
  EXPECT_EQ(t->get(c->record(), "CODE").asText(), "D");
  c->setRange({});
  auto codes = t->openCursor("code");
  EXPECT_TRUE(codes->seek({Value::text("C")}));
  EXPECT_EQ(t->get(codes->record(), "NAME").asText(), "Caboose");
  EXPECT_FALSE(codes->seek({Value::text("BB")}));
  EXPECT_EQ(t->get(codes->record(), "CODE").asText(), "C") << "a missing key stands on the next one";
  EXPECT_FALSE(codes->seek({Value::text("Z")}));
  EXPECT_TRUE(codes->eof());
  auto onField = t->openCursorOnFields({"qty"});
  EXPECT_TRUE(onField->seek({Value::number(3)}));
  EXPECT_EQ(t->get(onField->record(), "CODE").asText(), "D");
}

TEST_P(XbaseFamily, EmptyKeepsFieldsAndTagsAndNeedsExclusiveUse) {
  auto t = create();
  for (int i = 0; i < 50; ++i) add(*t, "K" + std::to_string(i), "n", i, "memo");
  {
    auto other = reopen();
    try {
      t->empty();
      FAIL() << "emptied while another open exists";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Locked);
    }
    EXPECT_EQ(t->info().recordCount, 50u);
  }
  t->empty();
  EXPECT_EQ(t->info().recordCount, 0u);
  EXPECT_FALSE(t->openCursor("CODE")->first());
  EXPECT_TRUE(t->check().ok());
  add(*t, "AFTER", "n", 1, "memo again");
  t.reset();
  auto again = reopen();
  EXPECT_EQ(again->indexes().size(), 3u);
  EXPECT_EQ(codesInOrder(*again, "CODE"), std::vector<std::string>{"AFTER"});
  EXPECT_TRUE(again->check().ok());
}

TEST_P(XbaseFamily, RecordLocksExcludeOtherOpens) {
  auto t = create();
  Bookmark b = add(*t, "A", "n", 1);
  auto other = reopen();
  auto held = t->lockRecord(b);
  EXPECT_THROW(other->lockRecord(b), TableError);
  held.reset();
  EXPECT_NO_THROW(other->lockRecord(b));
}

TEST_P(XbaseFamily, AKeyViolationWritesNothing) {
  TableDef def = rf::test::piecesDef(GetParam().format, GetParam().version);
  def.indexes[0].unique = true;
  auto t = engine.create(dir.file("pieces.dbf"), def);
  add(*t, "A", "first", 1, "memo");
  auto before = rf::test::readFileBytes(dir.file("pieces.dbf"));
  try {
    add(*t, "A", "second", 2, "memo");
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::KeyViolation);
  }
  EXPECT_EQ(rf::test::readFileBytes(dir.file("pieces.dbf")), before);
  EXPECT_TRUE(t->check().ok());
  add(*t, "B", "second", 2);
  EXPECT_EQ(codesInOrder(*t, "CODE"), (std::vector<std::string>{"A", "B"}));
}

INSTANTIATE_TEST_SUITE_P(Families, XbaseFamily, ::testing::ValuesIn(kFamilies),
                         [](const auto& p) { return std::string(p.param.name); });

// Visual FoxPro's binary field types, each with a value at its edges.
TEST(VisualFoxProTypes, IntegerCurrencyDateTimeAndDoubleRoundTrip) {
  TempDir dir;
  Engine engine(dir.file("e.conf"));
  TableDef def;
  def.format = Format::FoxPro;
  def.version = 0x30;
  def.fields = {rf::test::field("N", FieldType::Integer), rf::test::field("PRICE", FieldType::Money),
                rf::test::field("SEEN", FieldType::Timestamp), rf::test::field("RATIO", FieldType::Number, 8)};
  def.fields[3].native = 'B';
  Timestamp seen{ymd(2020, 2, 29), (13 * 3600 + 14 * 60 + 15) * 1000 + 250};
  {
    auto t = engine.create(dir.file("vfp.dbf"), def);
    Record r = t->blankRecord();
    t->set(r, "N", Value::number(-2147483648.0));
    t->set(r, "PRICE", Value::number(-1234.5678));
    t->set(r, "SEEN", Value::timestamp(seen));
    t->set(r, "RATIO", Value::number(1.0 / 3));
    t->insert(r);
    Record bad = t->blankRecord();
    EXPECT_THROW(t->set(bad, "N", Value::number(2147483648.0)), TableError);
    EXPECT_THROW(t->set(bad, "N", Value::number(1.5)), TableError);
  }
  auto t = engine.openPath(dir.file("vfp.dbf"), Format::FoxPro);
  auto c = t->openCursor();
  ASSERT_TRUE(c->first());
  EXPECT_EQ(t->get(c->record(), "N").asNumber(), -2147483648.0);
  EXPECT_EQ(t->get(c->record(), "PRICE").asNumber(), -1234.5678);
  EXPECT_EQ(t->get(c->record(), "SEEN").asTimestamp(), seen);
  EXPECT_EQ(t->get(c->record(), "RATIO").asNumber(), 1.0 / 3);
}

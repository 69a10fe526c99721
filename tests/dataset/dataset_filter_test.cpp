// Record filters from criteria: smart values with "or", "and" and "null", ranges, exact and
// case-sensitive matches, month/day/year dates; every move sees only the records that pass.

#include <gtest/gtest.h>

#include "dataset/dataset.h"
#include "tables/error.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::dataset::Dataset;
using rf::dataset::FilterCriterion;
using rf::tables::ErrorKind;
using rf::tables::TableError;
using rf::tables::Value;
using rf::test::PiecesTable;
using rf::test::walk;
using Kind = FilterCriterion::Kind;
using Match = FilterCriterion::Match;

namespace {

using Rows = std::vector<std::string>;

// Pieces with a quantity and a purchase date; record order A..F.
struct Stock : PiecesTable {
  Stock() {
    auto t = engine.openPath(path);
    struct Row {
      const char* code;
      const char* name;
      double qty;  // < 0: blank
      int y;
      unsigned m, d;
    };
    for (const Row& r : {Row{"A", "boxcar", 1, 2020, 1, 15}, Row{"B", "Box van", 2, 2020, 3, 1},
                         Row{"C", "tank car", 3.5, 2019, 12, 31}, Row{"D", "", 4, 2021, 6, 30},
                         Row{"E", "hopper", -1, 0, 0, 0}, Row{"F", "BOX", 10, 2020, 1, 15}}) {
      rf::tables::Record rec = t->blankRecord();
      t->set(rec, "CODE", Value::text(r.code));
      t->set(rec, "NAME", Value::text(r.name));
      if (r.qty >= 0) t->set(rec, "QTY", Value::number(r.qty));
      if (r.y) t->set(rec, "BOUGHT", Value::date(rf::test::ymd(r.y, r.m, r.d)));
      t->insert(rec);
    }
  }
};

FilterCriterion value(const char* field, const char* v, Match m = Match::StartsWith, bool cs = false) {
  FilterCriterion c;
  c.field = field;
  c.value = v;
  c.match = m;
  c.caseSensitive = cs;
  return c;
}

FilterCriterion range(const char* field, const char* from, const char* to, Match m = Match::StartsWith) {
  FilterCriterion c;
  c.field = field;
  c.kind = Kind::Range;
  c.from = from;
  c.to = to;
  c.match = m;
  return c;
}

TEST(DatasetFilter, CriteriaSelectTheRecords) {
  Stock t;
  Dataset ds;
  ds.open(t.engine, t.request());
  struct Case {
    const char* what;
    std::vector<FilterCriterion> criteria;
    Rows codes;
  };
  const Case cases[] = {
      {"starts with, any case", {value("name", "bo")}, {"A", "B", "F"}},
      {"case-sensitive", {value("NAME", "Bo", Match::StartsWith, true)}, {"B"}},
      {"exact", {value("NAME", "box", Match::Exact)}, {"F"}},
      {"anywhere", {value("NAME", "car", Match::Anywhere)}, {"A", "C"}},
      {"or", {value("NAME", "tank or hop")}, {"C", "E"}},
      {"null", {value("NAME", "null")}, {"D"}},
      {"null or a value", {value("NAME", "NULL or hopper")}, {"D", "E"}},
      {"number equal", {value("QTY", "2")}, {"B"}},
      {"number and", {value("QTY", ">1 and <5")}, {"B", "C", "D"}},
      {"blank number is null", {value("QTY", "null")}, {"E"}},
      {"number range", {range("QTY", "2", "4")}, {"B", "C", "D"}},
      {"open range", {range("QTY", "4", "")}, {"D", "F"}},
      {"date m/d/y", {value("BOUGHT", "1/15/2020")}, {"A", "F"}},
      {"date range", {range("BOUGHT", "12/31/2019", "3/1/20")}, {"A", "B", "C", "F"}},
      {"text range takes the upper end as a prefix", {range("NAME", "box", "hop")}, {"A", "B", "E", "F"}},
      {"every field must hold", {value("NAME", "bo"), value("QTY", "<5")}, {"A", "B"}},
      {"nothing passes", {value("NAME", "zzz")}, {}},
      {"empty criteria filter nothing", {value("NAME", "  ")}, {"A", "B", "C", "D", "E", "F"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ds.setFilter(c.criteria);
    EXPECT_EQ(walk(ds, "CODE"), c.codes);
    EXPECT_EQ(ds.isEmpty(), c.codes.empty());
  }
  ds.clearFilter();
  EXPECT_FALSE(ds.isFiltered());
  EXPECT_EQ(walk(ds, "CODE").size(), 6u);
}

TEST(DatasetFilter, MovesStayAmongTheRecordsThatPass) {
  Stock t;
  Dataset ds;
  ds.open(t.engine, t.request(), "CODE");
  ds.setFilter({value("NAME", "bo or tank")});  // A B C F
  EXPECT_EQ(ds.field("CODE").asText(), "A");
  ASSERT_TRUE(ds.last());
  EXPECT_EQ(ds.field("CODE").asText(), "F");
  EXPECT_FALSE(ds.next());
  EXPECT_TRUE(ds.eof());
  EXPECT_EQ(ds.field("CODE").asText(), "F");  // stays on the last record that passes
  ASSERT_TRUE(ds.prior());
  EXPECT_EQ(ds.field("CODE").asText(), "C");
  ASSERT_TRUE(ds.first());
  EXPECT_FALSE(ds.prior());
  EXPECT_TRUE(ds.bof());
  EXPECT_EQ(ds.field("CODE").asText(), "A");

  // A bookmark or key of a record the filter hides finds nothing.
  EXPECT_FALSE(ds.findKey(QString("E")));
  EXPECT_EQ(ds.field("CODE").asText(), "A");
  EXPECT_TRUE(ds.findKey(QString("C")));

  // A record edited so that it no longer passes leaves the view; the next one becomes current.
  ds.edit();
  ds.field("NAME").setText("gondola");
  ds.post();
  EXPECT_EQ(ds.field("CODE").asText(), "F");
  EXPECT_EQ(walk(ds, "CODE"), (Rows{"A", "B", "F"}));

  // Clearing keeps the current record.
  ASSERT_TRUE(ds.first() && ds.next());
  ds.clearFilter();
  EXPECT_EQ(ds.field("CODE").asText(), "B");
  EXPECT_EQ(walk(ds, "CODE").size(), 6u);

  // Closing removes the filter.
  ds.setFilter({value("NAME", "zzz")});
  EXPECT_TRUE(ds.isEmpty());
  ds.close();
  ds.open(t.engine, t.request());
  EXPECT_FALSE(ds.isFiltered());
  EXPECT_EQ(walk(ds, "CODE").size(), 6u);
}

TEST(DatasetFilter, BadCriteriaAreRefusedAndTheFilterStaysAsItWas) {
  Stock t;
  Dataset ds;
  ds.open(t.engine, t.request());
  ds.setFilter({value("NAME", "bo")});
  struct Case {
    FilterCriterion criterion;
    ErrorKind kind;
    const char* message;  // empty: only the kind is checked
  };
  const Case cases[] = {
      {value("QTY", "lots"), ErrorKind::InvalidInput, "'lots' is not a valid floating point value for field 'QTY'"},
      {value("BOUGHT", "2020-01-15"), ErrorKind::InvalidInput, "'2020-01-15' is not a valid date for field 'BOUGHT'"},
      {range("QTY", "1", "x"), ErrorKind::InvalidInput, "'x' is not a valid floating point value for field 'QTY'"},
      {value("NOSUCH", "1"), ErrorKind::NotFound, ""},
  };
  for (const Case& c : cases) {
    try {
      ds.setFilter({c.criterion});
      ADD_FAILURE() << "accepted " << c.criterion.value.toStdString();
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), c.kind);
      if (*c.message) {
        EXPECT_STREQ(e.what(), c.message);
      }
    }
    EXPECT_EQ(walk(ds, "CODE"), (Rows{"A", "B", "F"}));
  }
}

TEST(DatasetFilter, ADetailIsFilteredWithinItsRange) {
  rf::test::TempDir dir;
  rf::tables::Engine engine(dir.file("e.conf"));
  using rf::tables::FieldType;
  rf::tables::TableDef towns;
  towns.fields = {rf::test::field("CITY", FieldType::Text, 12)};
  towns.indexes = {{"CITY", "CITY", {}, false, false}};
  rf::tables::TableDef industry;
  industry.fields = {rf::test::field("CITY", FieldType::Text, 12), rf::test::field("NAME", FieldType::Text, 20)};
  industry.indexes = {{"CITY", "CITY", {}, false, false}};
  {
    auto tt = engine.create(dir.file("TOWNS.DBF"), towns);
    for (const char* c : {"Albany", "Corning", "Elmira"}) {
      auto r = tt->blankRecord();
      tt->set(r, "CITY", Value::text(c));
      tt->insert(r);
    }
    auto it = engine.create(dir.file("INDUSTRY.DBF"), industry);
    for (auto [c, n] : {std::pair{"Elmira", "Mill"}, {"Albany", "Brewery"}, {"Elmira", "Bakery"},
                        {"Corning", "Glass works"}, {"Elmira", "Bottler"}}) {
      auto r = it->blankRecord();
      it->set(r, "CITY", Value::text(c));
      it->set(r, "NAME", Value::text(n));
      it->insert(r);
    }
  }
  Dataset town, ind;
  town.open(engine, {dir.file("towns.dbf"), {}, {}, {}, false, false}, "CITY");
  ind.open(engine, {dir.file("industry.dbf"), {}, {}, {}, false, false}, "CITY");
  ind.setMaster(&town, {"CITY"});
  ind.setFilter({value("NAME", "b")});
  EXPECT_EQ(walk(ind, "NAME"), (Rows{"Brewery"}));
  ASSERT_TRUE(town.next());  // Corning: its one industry does not pass
  EXPECT_TRUE(ind.isEmpty());
  EXPECT_FALSE(ind.first());
  ASSERT_TRUE(town.next());
  EXPECT_EQ(walk(ind, "NAME"), (Rows{"Bakery", "Bottler"}));
  ind.unlink();
  EXPECT_EQ(walk(ind, "NAME"), (Rows{"Brewery", "Bakery", "Bottler"}));
}

}  // namespace

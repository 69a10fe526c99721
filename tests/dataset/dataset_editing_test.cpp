// Editing through a dataset: states, posting on a move, cancel, the new-record and before-post
// events, conversion errors, and the engine's refusals reaching the caller.

#include <gtest/gtest.h>

#include "dataset/dataset.h"
#include "dataset/field_conversion.h"
#include "tables/error.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::tables::ErrorKind;
using rf::tables::TableError;
using rf::tables::Value;
using rf::test::PiecesTable;

namespace {

using Rows = std::vector<std::string>;

TEST(DatasetFields, NamesAnyCaseTypedReadsAndWidths) {
  PiecesTable t;
  Dataset ds;
  ds.open(t.engine, t.request());
  EXPECT_TRUE(ds.isEmpty());
  EXPECT_EQ(&ds.field("code"), &ds.field("Code"));
  EXPECT_EQ(ds.field("name").displayLabel(), "NAME");
  EXPECT_EQ(ds.field("name").displayWidth(), 20);
  EXPECT_TRUE(ds.field("name").visible());
  try {
    ds.field("NOPE");
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::NotFound);
    EXPECT_NE(std::string(e.what()).find("Field 'NOPE' not found"), std::string::npos);
  }

  ds.insert();
  ds.field("Code").setText("A1");
  ds.field("name").setText("a name much longer than twenty characters");
  ds.field("bought").setText("2/29/2024");
  ds.field("runs").setLogical(true);
  ds.field("notes").setMemo(QString(3000, 'm'));
  ds.post();
  EXPECT_EQ(ds.state(), DatasetState::Browse);

  Dataset again;
  again.open(t.engine, t.request());
  ASSERT_FALSE(again.isEmpty());
  EXPECT_EQ(again.field("NAME").asText(), "a name much longer t");  // cut to the width
  EXPECT_TRUE(again.field("QTY").isNull());
  EXPECT_EQ(again.field("QTY").asNumber(), 0.0);  // a blank number reads 0
  EXPECT_EQ(again.field("QTY").asText(), "");
  EXPECT_EQ(again.field("BOUGHT").asDate(), QDate(2024, 2, 29));
  EXPECT_EQ(again.field("BOUGHT").asText(), "02/29/2024");
  EXPECT_TRUE(again.field("RUNS").asLogical());
  EXPECT_EQ(again.field("NOTES").asMemo(), QString(3000, 'm'));
}

TEST(DatasetFields, BytesAndBlobsOfAParadoxTable) {
  rf::test::TempDir dir;
  rf::tables::Engine engine(dir.file("e.conf"));
  rf::tables::TableDef def;
  def.format = rf::tables::Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {rf::test::pxField("Id", rf::tables::FieldType::Integer, 'I'),
                rf::test::pxField("Tag", rf::tables::FieldType::Bytes, 'Y', 4),
                rf::test::pxField("Photo", rf::tables::FieldType::Binary, 'B', 10),
                rf::test::pxField("Notes", rf::tables::FieldType::Memo, 'M', 10)};
  engine.create(dir.file("photos.db"), def);
  QByteArray photo(70000, '\0');
  for (int i = 0; i < photo.size(); ++i) photo[i] = static_cast<char>(i * 7);
  {
    Dataset ds;
    ds.open(engine, {dir.file("photos.db"), {}, {}, {}, false, false});
    ds.insert();
    ds.field("Id").setText("7");
    ds.field("Tag").setBytes(QByteArray("\x01\x00\xff\x10", 4));
    ds.field("Photo").setBytes(photo);
    ds.field("Notes").setMemo(QString::fromUtf8("caf\u00e9 ") + QString(500, 'x'));
    EXPECT_EQ(ds.field("Photo").asBytes(), photo);  // the pending value reads back before the save
    ds.post();
  }
  Dataset ds;
  ds.open(engine, {dir.file("photos.db"), {}, {}, {}, false, false});
  EXPECT_EQ(ds.field("ID").asNumber(), 7.0);
  EXPECT_EQ(ds.field("tag").asBytes(), QByteArray("\x01\x00\xff\x10", 4));
  EXPECT_EQ(ds.field("photo").asBytes(), photo);
  EXPECT_EQ(ds.field("notes").asMemo(), QString::fromUtf8("caf\u00e9 ") + QString(500, 'x'));
}

TEST(DatasetEditing, WritingNeedsEditStateAndEditingAnEmptyTableStartsARecord) {
  PiecesTable t;
  Dataset ds;
  ds.open(t.engine, t.request());
  EXPECT_THROW(ds.field("CODE").setText("X"), TableError);
  std::vector<DatasetState> states;
  QObject::connect(&ds, &Dataset::stateChanged, [&](DatasetState s) { states.push_back(s); });
  ds.edit();
  EXPECT_EQ(ds.state(), DatasetState::Insert);
  ds.field("CODE").setText("X");
  ds.post();
  EXPECT_EQ(states, (std::vector<DatasetState>{DatasetState::Insert, DatasetState::Browse}));
  EXPECT_EQ(t.onDisk(), (Rows{"X="}));
  ds.edit();  // now there is a record: edits it
  EXPECT_EQ(ds.state(), DatasetState::Edit);
  EXPECT_EQ(ds.field("CODE").asText(), "X");
}

TEST(DatasetEditing, AMovePostsThePendingChangeAndCancelDropsIt) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  std::vector<QString> changed;
  QObject::connect(&ds, &Dataset::dataChanged, [&](rf::dataset::Field* f) { changed.push_back(f ? f->name() : "*"); });

  ds.edit();
  ds.field("NAME").setText("uno");
  EXPECT_EQ(changed.back(), "NAME");
  EXPECT_EQ(t.onDisk(), (Rows{"A=one", "B=two", "C=three"}));  // not saved yet
  ASSERT_TRUE(ds.next());
  EXPECT_EQ(ds.state(), DatasetState::Browse);
  EXPECT_EQ(ds.field("CODE").asText(), "B");
  EXPECT_EQ(t.onDisk(), (Rows{"A=uno", "B=two", "C=three"}));

  ds.edit();
  ds.field("NAME").setText("dos");
  EXPECT_EQ(ds.field("NAME").asText(), "dos");
  ds.cancel();
  EXPECT_EQ(ds.state(), DatasetState::Browse);
  EXPECT_EQ(ds.field("NAME").asText(), "two");
  EXPECT_EQ(changed.back(), "*");
  ASSERT_TRUE(ds.next());
  EXPECT_EQ(t.onDisk(), (Rows{"A=uno", "B=two", "C=three"}));

  // Closing drops a pending change as well.
  ds.edit();
  ds.field("NAME").setText("tres");
  ds.close();
  EXPECT_EQ(ds.state(), DatasetState::Inactive);
  EXPECT_EQ(t.onDisk(), (Rows{"A=uno", "B=two", "C=three"}));
}

TEST(DatasetEditing, NewRecordEventMayPostAtOnceAndBeforePostMayChangeFields) {
  PiecesTable t({{"A", "one"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  int counter = 100;
  ds.onNewRecord = [&](Dataset& d) {
    d.field("CODE").setNumber(++counter);  // a number given to a text field becomes its text
    d.field("NAME").setText("fresh");
    d.post();
  };
  ds.beforePost = [](Dataset& d) { d.field("NAME").setText(d.field("NAME").asText().toUpper()); };
  ds.insert();
  EXPECT_EQ(ds.state(), DatasetState::Browse);
  EXPECT_EQ(ds.field("CODE").asText(), "101");  // the new record is current
  ds.insert();
  EXPECT_EQ(t.onDisk(), (Rows{"A=one", "101=FRESH", "102=FRESH"}));

  // A new-record event that fails drops the new record and reaches the caller.
  ds.onNewRecord = [](Dataset& d) {
    d.field("NAME").setText("half");
    throw TableError(ErrorKind::Locked, d.path(), "counter locked");
  };
  EXPECT_THROW(ds.insert(), TableError);
  EXPECT_EQ(ds.state(), DatasetState::Browse);
  EXPECT_EQ(t.onDisk().size(), 3u);
}

TEST(DatasetFields, NumbersShowFifteenSignificantDigits) {
  const std::pair<double, const char*> cases[] = {
      {15.82 - 18.08, "-2.26"},  // the double holds -2.2599999999999998
      {-2.26 / 18.08 * 100, "-12.5"},
      {1000000, "1000000"},
      {0.1 + 0.2, "0.3"},
      {-0.0, "0"},
      {123456789012.5, "123456789012.5"},
  };
  for (const auto& [number, text] : cases)
    EXPECT_EQ(rf::dataset::textFromValue(Value::number(number)).toStdString(), text);
}

TEST(DatasetEditing, ConversionErrorsUseThePlatformTextAndKeepTheEdit) {
  PiecesTable t({{"A", "one"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  ds.field("QTY").setDisplayLabel("Quantity");
  struct Case {
    const char* field;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"QTY", "abc", "'abc' is not a valid floating point value for field 'Quantity'"},
      {"QTY", "1,5", "'1,5' is not a valid floating point value for field 'Quantity'"},
      {"BOUGHT", "13/01/2020", "'13/01/2020' is not a valid date for field 'BOUGHT'"},
      {"BOUGHT", "2/30/2021", "'2/30/2021' is not a valid date for field 'BOUGHT'"},
      {"BOUGHT", "yesterday", "'yesterday' is not a valid date for field 'BOUGHT'"},
      {"RUNS", "maybe", "'maybe' is not a valid boolean value for field 'RUNS'"},
  };
  ds.edit();
  ds.field("NAME").setText("changed");
  ds.field("QTY").setText("2.5");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ds.field(c.field).setText(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::InvalidInput);
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(ds.state(), DatasetState::Edit);
    EXPECT_EQ(ds.field("NAME").asText(), "changed");
    EXPECT_EQ(ds.field("QTY").asNumber(), 2.5);
  }
  ds.field("BOUGHT").setText("7/4/76");  // two-digit years: 50 and above are 1900s
  EXPECT_EQ(ds.field("BOUGHT").asDate(), QDate(1976, 7, 4));
  ds.field("BOUGHT").setText("7/4/26");
  EXPECT_EQ(ds.field("BOUGHT").asDate(), QDate(2026, 7, 4));
  ds.field("QTY").setText("");
  EXPECT_TRUE(ds.field("QTY").isNull());
  ds.post();
  EXPECT_EQ(t.onDisk(), (Rows{"A=changed"}));
}

TEST(DatasetEditing, EngineRefusalsSurfaceAndTheRecordKeepsItsChanges) {
  rf::test::TempDir dir;
  rf::tables::Engine engine(dir.file("e.conf"));
  rf::tables::TableDef def;
  def.format = rf::tables::Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {rf::test::pxField("Code", rf::tables::FieldType::Text, 'A', 6),
                rf::test::pxField("Name", rf::tables::FieldType::Text, 'A', 20)};
  {
    auto tb = engine.create(dir.file("codes.db"), def);
    rf::tables::Record r = tb->blankRecord();
    tb->set(r, "Code", Value::text("K1"));
    tb->insert(r);
  }
  Dataset ds;
  ds.open(engine, {dir.file("codes.db"), {}, {}, {}, false, false});
  ds.insert();
  ds.field("code").setText("K1");
  ds.field("name").setText("second");
  try {
    ds.post();
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::KeyViolation);
  }
  EXPECT_EQ(ds.state(), DatasetState::Insert);
  EXPECT_EQ(ds.field("name").asText(), "second");
  // A move posts first, so it is refused the same way and goes nowhere.
  EXPECT_THROW(ds.first(), TableError);
  EXPECT_EQ(ds.state(), DatasetState::Insert);
  ds.field("code").setText("K2");
  ds.post();
  EXPECT_EQ(ds.field("Code").asText(), "K2");

  // A second user's record lock refuses the edit.
  Dataset other;
  other.open(engine, {dir.file("codes.db"), {}, {}, {}, false, false});
  ASSERT_TRUE(other.last());
  other.edit();
  try {
    ds.edit();
    FAIL() << "the record is locked by the other dataset";
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Locked);
  }
  EXPECT_EQ(ds.state(), DatasetState::Browse);
  other.cancel();
  ds.edit();
  EXPECT_EQ(ds.state(), DatasetState::Edit);
}

TEST(DatasetEditing, EditingARecordAnotherUserDeletedIsRefused) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  ASSERT_TRUE(ds.next());
  {
    auto other = t.engine.openPath(t.path);
    other->remove(ds.bookmark());
  }
  try {
    ds.edit();
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::NotFound);
    EXPECT_NE(std::string(e.what()).find("Record/Key deleted"), std::string::npos);
  }
  EXPECT_EQ(ds.state(), DatasetState::Browse);
  EXPECT_EQ(ds.field("CODE").asText(), "C");  // moved on to the record after it
  ds.edit();
  EXPECT_EQ(ds.state(), DatasetState::Edit);
}

TEST(DatasetEditing, RemoveDeletesTheCurrentRecordAndMovesOn) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
  Dataset ds;
  ds.open(t.engine, t.request(), "CODE");
  ASSERT_TRUE(ds.next());
  ds.remove();
  EXPECT_EQ(ds.field("CODE").asText(), "C");
  ds.insert();
  ds.remove();  // an unsaved new record is only dropped
  EXPECT_EQ(rf::test::walk(ds, "CODE"), (Rows{"A", "C"}));
  ds.remove();
  ds.remove();
  EXPECT_TRUE(ds.isEmpty());
  EXPECT_THROW(ds.remove(), TableError);
}

}  // namespace

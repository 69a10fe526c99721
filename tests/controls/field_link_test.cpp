// The link between a control and a field, driven without a widget: what it tells the control and
// what it writes, over a real table in a temporary directory.

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "controls/field_link.h"
#include "tables/error.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::controls::FieldLink;
using rf::dataset::DataSource;
using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::test::PiecesTable;

namespace {

struct Bound {
  Dataset ds;
  DataSource source{&ds};
  FieldLink link;
  QString typed;  // what the "control" holds

  explicit Bound(PiecesTable& t, const char* field = "name") {
    ds.open(t.engine, t.request());
    link.setDataSource(&source);
    link.setFieldName(field);
    link.setWriter([this](rf::dataset::Field& f) { f.setText(typed); });
  }
};

TEST(FieldLink, TellsTheControlWhenToShowItsFieldAgain) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Bound b(t);
  ASSERT_NE(b.link.field(), nullptr) << "field names match regardless of case";
  EXPECT_EQ(b.link.field()->name(), "NAME");
  QSignalSpy refresh(&b.link, &FieldLink::refresh);

  b.ds.next();
  EXPECT_GE(refresh.count(), 1) << "a move";
  refresh.clear();
  b.ds.edit();
  EXPECT_GE(refresh.count(), 1) << "edit state";
  refresh.clear();
  b.ds.field("CODE").setText("Z");
  EXPECT_EQ(refresh.count(), 0) << "another field changed";
  b.ds.field("NAME").setText("zwei");
  EXPECT_EQ(refresh.count(), 1) << "its own field changed";
  b.ds.cancel();
  refresh.clear();

  b.ds.close();
  EXPECT_GE(refresh.count(), 1);
  EXPECT_EQ(b.link.field(), nullptr) << "nothing to show on a closed dataset";
  refresh.clear();
  b.ds.open(t.engine, t.request());
  EXPECT_GE(refresh.count(), 1);
  ASSERT_NE(b.link.field(), nullptr) << "the reopened dataset's new field objects are found";
  EXPECT_EQ(b.link.field()->asText(), "one");

  refresh.clear();
  b.source.setDataset(nullptr);
  EXPECT_GE(refresh.count(), 1);
  EXPECT_EQ(b.link.field(), nullptr);
  b.source.setDataset(&b.ds);
  b.link.setFieldName("NOSUCH");
  EXPECT_EQ(b.link.field(), nullptr);
  EXPECT_FALSE(b.link.canModify());
  EXPECT_FALSE(b.link.edit());
}

TEST(FieldLink, EditGoesThroughTheDataSourcesAutoEdit) {
  PiecesTable t({{"A", "one"}});
  struct Case {
    bool autoEdit;
    bool readOnly;
    bool edits;
  };
  for (const Case& c : std::vector<Case>{{true, false, true}, {false, false, false}, {true, true, false}}) {
    Bound b(t);
    b.source.setAutoEdit(c.autoEdit);
    b.link.setReadOnly(c.readOnly);
    QSignalSpy refresh(&b.link, &FieldLink::refresh);
    EXPECT_EQ(b.link.edit(), c.edits) << c.autoEdit << c.readOnly;
    EXPECT_EQ(b.ds.state(), c.edits ? DatasetState::Edit : DatasetState::Browse);
    // The control keeps the user's keystroke: the re-read record is not pushed onto it.
    EXPECT_EQ(refresh.count(), 0);
  }
  // Once the record edits, a link over a source without auto-edit may write too.
  Bound b(t);
  b.source.setAutoEdit(false);
  b.ds.edit();
  EXPECT_TRUE(b.link.edit());
}

TEST(FieldLink, TextNotYetCommittedIsWrittenBeforeAPostOrAMove) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Bound b(t);
  ASSERT_TRUE(b.link.edit());
  b.typed = "uno";
  b.link.setModified(true);
  b.ds.post();
  EXPECT_FALSE(b.link.modified());
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=uno", "B=two"}));

  ASSERT_TRUE(b.link.edit());
  b.typed = "eins";
  b.link.setModified(true);
  b.ds.next();  // posts first
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=eins", "B=two"}));

  ASSERT_TRUE(b.link.edit());
  b.typed = "dropped";
  b.link.setModified(true);
  b.ds.cancel();
  EXPECT_FALSE(b.link.modified()) << "the control shows the record again";
  b.ds.first();
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=eins", "B=two"}));
}

TEST(FieldLink, AnUnconvertibleValueStopsThePostAndReachesTheCaller) {
  PiecesTable t({{"A", "one"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  DataSource source(&ds);
  FieldLink name, qty;
  name.setDataSource(&source);
  name.setFieldName("NAME");
  qty.setDataSource(&source);
  qty.setFieldName("QTY");
  QString qtyText = "1,5x";
  name.setWriter([](rf::dataset::Field& f) { f.setText("changed"); });
  qty.setWriter([&](rf::dataset::Field& f) { f.setText(qtyText); });

  ASSERT_TRUE(name.edit());
  name.setModified(true);
  qty.setModified(true);
  try {
    ds.next();
    FAIL() << "the move went ahead";
  } catch (const rf::tables::TableError& e) {
    EXPECT_STREQ(e.what(), "'1,5x' is not a valid floating point value for field 'QTY'");
  }
  EXPECT_EQ(ds.state(), DatasetState::Edit);
  EXPECT_TRUE(qty.modified()) << "still holds the text the user must correct";
  EXPECT_EQ(ds.field("NAME").asText(), "changed") << "the other changes stay";

  qtyText = "1.5";
  ds.post();
  EXPECT_EQ(ds.field("QTY").asNumber(), 1.5);
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=changed"}));
}

TEST(FieldLink, ALinkGoneOrMovedElsewhereNoLongerWrites) {
  PiecesTable t({{"A", "one"}});
  Dataset ds;
  ds.open(t.engine, t.request());
  DataSource source(&ds);
  int writes = 0;
  {
    FieldLink gone;
    gone.setDataSource(&source);
    gone.setFieldName("NAME");
    gone.setWriter([&](rf::dataset::Field&) { ++writes; });
    gone.setModified(true);
  }
  FieldLink moved;
  moved.setDataSource(&source);
  moved.setFieldName("NAME");
  moved.setWriter([&](rf::dataset::Field&) { ++writes; });
  DataSource other;
  moved.setDataSource(&other);
  moved.setModified(true);
  ds.edit();
  ds.post();
  EXPECT_EQ(writes, 0);
}

}  // namespace

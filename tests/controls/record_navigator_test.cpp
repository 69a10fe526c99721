// The record navigator clicked as a user would, over real tables in a temporary directory.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "controls/record_navigator.h"
#include "tables/error.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::controls::NavButton;
using rf::controls::RecordNavigator;
using rf::dataset::DataSource;
using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::test::PiecesTable;

namespace {

struct Strip {
  Dataset ds;
  DataSource source{&ds};
  RecordNavigator nav;
  std::vector<QString> asked;
  bool answer = true;

  explicit Strip(PiecesTable& t) {
    ds.open(t.engine, t.request());
    nav.setDataSource(&source);
    nav.setConfirm([this](QWidget*, const QString& q) {
      asked.push_back(q);
      return answer;
    });
    nav.show();
  }
  QToolButton* find(const char* name) { return nav.findChild<QToolButton*>(QString("nav") + name); }
  void click(const char* name) {
    QToolButton* b = find(name);
    ASSERT_NE(b, nullptr) << name;
    QTest::mouseClick(b, Qt::LeftButton);
  }
  // The buttons that can be clicked now, in the strip's order.
  std::string enabled() {
    std::string out;
    for (NavButton b : nav.buttons())
      if (nav.button(b)->isEnabled()) out += (out.empty() ? "" : " ") + rf::controls::navButtonName(b).toStdString();
    return out;
  }
  std::string code() { return ds.field("CODE").asText().toStdString(); }
};

TEST(RecordNavigator, HasTheFixedButtonsAndHintsInTheOrderGiven) {
  const std::vector<std::pair<const char*, const char*>> all = {
      {"First", "Move to first record"},
      {"Prior", "Move to prior record"},
      {"Next", "Move to next record"},
      {"Last", "Move to last record"},
      {"Insert", "Insert new record"},
      {"Edit", "Edit current record"},
      {"Cancel", "Cancel changes made to current record"},
      {"Bookmark", "Bookmark current record"},
      {"GotoBookmark", "Go back to saved bookmark"},
      {"Delete", "Delete current record"},
      {"Post", "Post changes of current record"},
      {"Refresh", "Refresh the contents of the dataset"},
      {"Filter", "Filter the dataset"},
      {"Close", "Close this screen"},
  };
  RecordNavigator nav;
  ASSERT_EQ(nav.buttons().size(), all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    auto* b = nav.findChild<QToolButton*>(QString("nav") + all[i].first);
    ASSERT_NE(b, nullptr) << all[i].first;
    EXPECT_EQ(b, nav.button(nav.buttons()[i]));
    EXPECT_EQ(b->statusTip(), all[i].second);
    EXPECT_TRUE(b->toolTip().isEmpty()) << "tooltips are off by default";
    EXPECT_FALSE(b->icon().isNull());
    const bool move = i < 4;
    EXPECT_EQ(b->autoRepeat(), move) << all[i].first;
    if (move) {
      EXPECT_EQ(b->autoRepeatDelay(), 500);
      EXPECT_EQ(b->autoRepeatInterval(), 100);
    }
  }
  nav.setShowHints(true);
  EXPECT_EQ(nav.button(NavButton::Delete)->toolTip(), "Delete current record");

  // A subset in the screen's order, laid out left to right in that order.
  nav.setButtons({NavButton::Post, NavButton::First, NavButton::Close, NavButton::First});
  EXPECT_EQ(nav.buttons(), (std::vector<NavButton>{NavButton::Post, NavButton::First, NavButton::Close}));
  EXPECT_EQ(nav.findChildren<QToolButton*>().size(), 3);
  EXPECT_EQ(nav.button(NavButton::Next), nullptr);
  EXPECT_EQ(nav.button(NavButton::First)->toolTip(), "Move to first record");
  nav.show();
  EXPECT_LT(nav.button(NavButton::Post)->x(), nav.button(NavButton::First)->x());
  EXPECT_LT(nav.button(NavButton::First)->x(), nav.button(NavButton::Close)->x());
}

TEST(RecordNavigator, ButtonsFollowTheDatasetsState) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
  Strip s(t);
  struct Step {
    const char* click;
    const char* code;
    const char* enabled;
  };
  // First and Prior grey on the first record once a move put the table there (opening it, First),
  // Next and Last on the last (Last, or a Next that found nothing after it).
  const std::vector<Step> steps = {
      {nullptr, "A", "Next Last Insert Edit Bookmark Delete Refresh Filter Close"},
      {"Prior", "A", "Next Last Insert Edit Bookmark Delete Refresh Filter Close"},
      {"Last", "C", "First Prior Insert Edit Bookmark Delete Refresh Filter Close"},
      {"Next", "C", "First Prior Insert Edit Bookmark Delete Refresh Filter Close"},
      {"Bookmark", "C", "First Prior Insert Edit Bookmark GotoBookmark Delete Refresh Filter Close"},
      // Still at the end while the record is edited and after; Refresh stays (it posts first).
      {"Edit", "C", "First Prior Insert Cancel Bookmark GotoBookmark Delete Post Refresh Filter Close"},
      {"Cancel", "C", "First Prior Insert Edit Bookmark GotoBookmark Delete Refresh Filter Close"},
      {"First", "A", "Next Last Insert Edit Bookmark GotoBookmark Delete Refresh Filter Close"},
      {"Next", "B", "First Prior Next Last Insert Edit Bookmark GotoBookmark Delete Refresh Filter Close"},
      {"GotoBookmark", "C", "First Prior Next Last Insert Edit Bookmark GotoBookmark Delete Refresh Filter Close"},
  };
  for (const Step& st : steps) {
    if (st.click) s.click(st.click);
    EXPECT_EQ(s.code(), st.code) << (st.click ? st.click : "open");
    EXPECT_EQ(s.enabled(), st.enabled) << (st.click ? st.click : "open");
  }
  // Typing into a bound control puts the record into edit state: the strip follows.
  s.source.setFieldText("NAME", "drei");
  EXPECT_EQ(s.ds.state(), DatasetState::Edit);
  EXPECT_TRUE(s.nav.button(NavButton::Post)->isEnabled());
  EXPECT_FALSE(s.nav.button(NavButton::Edit)->isEnabled());

  // Without an open dataset only Close can be clicked.
  s.ds.close();
  EXPECT_EQ(s.enabled(), "Close");
  RecordNavigator unbound;
  unbound.setButtons({NavButton::Next, NavButton::Insert, NavButton::Close});
  EXPECT_EQ(unbound.button(NavButton::Next)->isEnabled(), false);
  EXPECT_EQ(unbound.button(NavButton::Close)->isEnabled(), true);
}

TEST(RecordNavigator, InsertEditPostAndCancelReachTheFile) {
  PiecesTable t({{"A", "one"}});
  Strip s(t);
  s.click("Insert");
  EXPECT_EQ(s.ds.state(), DatasetState::Insert);
  s.source.setFieldText("CODE", "B");
  s.source.setFieldText("NAME", "two");
  s.click("Post");
  EXPECT_EQ(s.ds.state(), DatasetState::Browse);
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two"}));

  s.click("First");
  s.click("Edit");
  s.ds.field("NAME").setText("uno");
  s.click("Cancel");
  EXPECT_EQ(s.ds.field("NAME").asText(), "one");
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two"}));

  // A refusal ends the command: announced with the engine's message, the record still in edit.
  s.ds.beforePost = [](Dataset&) { rf::tables::throwError(rf::tables::ErrorKind::InvalidInput, "pieces.dbf", "Field value required"); };
  QSignalSpy failed(&s.nav, &RecordNavigator::failed);
  QSignalSpy clicked(&s.nav, &RecordNavigator::clicked);
  s.click("Edit");
  s.ds.field("NAME").setText("uno");
  s.click("Post");
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString(), "pieces.dbf: Field value required");
  EXPECT_EQ(clicked.count(), 1);  // the Edit, not the Post
  EXPECT_EQ(s.ds.state(), DatasetState::Edit);
  EXPECT_TRUE(s.nav.button(NavButton::Post)->isEnabled());
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two"}));
}

TEST(RecordNavigator, DeleteAsksFirstAndKeepsTheRecordOnCancel) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  Strip s(t);
  s.answer = false;
  s.click("Delete");
  EXPECT_EQ(s.asked, (std::vector<QString>{"Delete record?"}));
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"A=one", "B=two"}));

  s.answer = true;
  s.click("Delete");
  EXPECT_EQ(s.asked.size(), 2u);
  EXPECT_EQ(t.onDisk(), (std::vector<std::string>{"B=two"}));
  EXPECT_EQ(s.code(), "B");
  s.click("Delete");
  EXPECT_TRUE(t.onDisk().empty());
  EXPECT_EQ(s.enabled(), "Insert Edit Refresh Filter Close");
  s.click("Delete");  // greyed: asks nothing
  EXPECT_EQ(s.asked.size(), 3u);
}

TEST(RecordNavigator, RefreshFilterAndClose) {
  PiecesTable t({{"A", "one"}});
  Strip s(t);
  {
    // Another program changes the record; Refresh shows it.
    auto other = t.engine.openPath(t.path);
    auto c = other->openCursor();
    ASSERT_TRUE(c->first());
    rf::tables::Record r = c->record();
    other->set(r, "NAME", rf::tables::Value::text("changed"));
    other->update(r);
  }
  s.click("Refresh");
  EXPECT_EQ(s.ds.field("NAME").asText(), "changed");

  QSignalSpy filter(&s.nav, &RecordNavigator::filterRequested);
  QSignalSpy close(&s.nav, &RecordNavigator::closeRequested);
  s.click("Filter");
  s.click("Close");
  EXPECT_EQ(filter.count(), 1);
  EXPECT_EQ(close.count(), 1);
}

TEST(RecordNavigator, HoldingAMoveButtonRepeatsAfterTheDelay) {
  PiecesTable t;
  {
    auto table = t.engine.openPath(t.path);
    for (int i = 0; i < 40; ++i) {
      rf::tables::Record r = table->blankRecord();
      table->set(r, "CODE", rf::tables::Value::text(std::to_string(i)));
      table->insert(r);
    }
  }
  Strip s(t);
  QToolButton* next = s.find("Next");
  int moves = 0;
  QObject::connect(&s.ds, &Dataset::afterScroll, [&] { ++moves; });

  QElapsedTimer held;
  held.start();
  QTest::mousePress(next, Qt::LeftButton);
  QTest::qWait(400);
  const int early = moves;
  const qint64 earlyAt = held.elapsed();
  QTest::qWait(500);
  QTest::mouseRelease(next, Qt::LeftButton);
  const qint64 heldFor = held.elapsed();
  // Nothing before the delay (unless the machine stalled past it); then one move every 100 ms.
  if (earlyAt < 500) {
    EXPECT_EQ(early, 0);
  }
  EXPECT_GE(moves, 2);
  EXPECT_LE(moves, 1 + (heldFor - 500) / 100 + 1);
  EXPECT_EQ(s.code(), std::to_string(moves));
}

}  // namespace

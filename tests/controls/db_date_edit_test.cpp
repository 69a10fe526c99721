// The date picker: the reading of typed dates, typing and picking from the calendar as a user
// would; the file is checked after.

#include <gtest/gtest.h>

#include <QAction>
#include <QCalendarWidget>
#include <QSignalSpy>

#include "controls/date_text.h"
#include "controls/db_date_edit.h"
#include "tests/controls/editors_fixture.h"

using rf::controls::DbDateEdit;
using rf::controls::NavButton;
using rf::dataset::DatasetState;
using rf::test::EditorWindow;
using rf::test::onDisk;
using rf::test::PiecesTable;

namespace {

TEST(DateText, ReadsMonthDayYearWithTheCenturyRule) {
  struct Case {
    const char* text;
    bool ok;
    QDate date;
  };
  const std::vector<Case> cases = {
      {"03/15/2024", true, {2024, 3, 15}},
      {"3/5/24", true, {2024, 3, 5}},
      {"12/31/49", true, {2049, 12, 31}},
      {"01/01/50", true, {1950, 1, 1}},
      {"7/4/99", true, {1999, 7, 4}},
      {"1/2/00", true, {2000, 1, 2}},
      {"6/30/1949", true, {1949, 6, 30}},
      {" 2/29/2000 ", true, {2000, 2, 29}},
      {"", true, {}},
      {"   ", true, {}},
      {"2/29/2001", false, {}},
      {"13/01/2020", false, {}},
      {"2020-01-01", false, {}},
      {"1/2", false, {}},
      {"x", false, {}},
  };
  for (const Case& c : cases) {
    QDate d(1, 1, 1);
    EXPECT_EQ(rf::controls::parseDateText(c.text, &d), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(d, c.date) << c.text;
    }
  }
  EXPECT_EQ(rf::controls::dateText({2024, 3, 5}), "03/05/2024");
  EXPECT_EQ(rf::controls::dateText({}), "");
}

struct Picker {
  PiecesTable t{{"A", "one"}, {"B", "two"}};
  EditorWindow w{t};
  DbDateEdit* edit = w.add(new DbDateEdit);
  Picker() {
    edit->setDataSource(&w.source);
    edit->setFieldName("BOUGHT");
  }
};

TEST(DbDateEdit, TypedDatesAreReadWithTheCenturyRuleAndRefusalsAnnounced) {
  Picker p;
  ASSERT_TRUE(p.w.show());
  QSignalSpy failed(p.edit, &DbDateEdit::failed);
  p.edit->setFocus();
  QTest::keyClicks(p.edit, "7/4/49");
  QTest::keyClick(p.edit, Qt::Key_Return);
  EXPECT_EQ(p.edit->text(), "07/04/2049") << "shown as the field now holds it";
  p.w.click(NavButton::Next);
  QTest::keyClicks(p.edit, "2/30/98");
  QTest::keyClick(p.edit, Qt::Key_Return);
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString(), "'2/30/98' is not a valid date for field 'BOUGHT'");
  EXPECT_EQ(p.edit->selectedText(), "2/30/98");
  QTest::keyClicks(p.edit, "2/28/98");
  p.w.click(NavButton::Post);
  EXPECT_EQ(onDisk(p.t, "BOUGHT"), (std::vector<std::string>{"07/04/2049", "02/28/1998"}));
}

TEST(DbDateEdit, ADayPickedInTheCalendarIsWrittenAtOnce) {
  Picker p;
  ASSERT_TRUE(p.w.show());
  p.w.click(NavButton::Last);
  p.edit->setFocus();
  QTest::keyClick(p.edit, Qt::Key_F4);
  QCalendarWidget* cal = p.edit->calendar();
  ASSERT_NE(cal, nullptr);
  ASSERT_TRUE(cal->isVisible());
  EXPECT_EQ(cal->selectedDate(), QDate::currentDate()) << "an empty field opens on today";
  cal->setSelectedDate({2003, 11, 20});
  QTest::keyClick(cal->focusWidget() ? cal->focusWidget() : cal, Qt::Key_Return);
  EXPECT_FALSE(cal->isVisible());
  EXPECT_EQ(p.edit->text(), "11/20/2003");
  EXPECT_EQ(p.w.ds.state(), DatasetState::Edit);
  EXPECT_EQ(p.w.ds.field("BOUGHT").asDate(), QDate(2003, 11, 20));

  // Opening again starts on the date in the box; the drop-down button opens it too.
  p.w.click(NavButton::Post);
  p.edit->dropDownAction()->trigger();
  ASSERT_TRUE(cal->isVisible());
  EXPECT_EQ(cal->selectedDate(), QDate(2003, 11, 20));
  cal->setSelectedDate({2003, 11, 21});
  QTest::keyClick(cal->focusWidget() ? cal->focusWidget() : cal, Qt::Key_Escape);
  EXPECT_FALSE(cal->isVisible());
  EXPECT_EQ(p.w.ds.state(), DatasetState::Browse) << "closing the calendar picks nothing";
  EXPECT_EQ(onDisk(p.t, "BOUGHT"), (std::vector<std::string>{"", "11/20/2003"}));
}

}  // namespace

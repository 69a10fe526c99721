// The bound check box and radio group clicked as a user would; the file is checked after.

#include <gtest/gtest.h>

#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionButton>

#include "controls/db_check_box.h"
#include "controls/db_radio_group.h"
#include "tests/controls/editors_fixture.h"

using rf::controls::DbCheckBox;
using rf::controls::DbRadioGroup;
using rf::controls::NavButton;
using rf::dataset::DatasetState;
using rf::test::EditorWindow;
using rf::test::onDisk;
using rf::test::PiecesTable;

namespace {

// On the round box itself: a stretched button takes clicks only on its box and caption.
void clickOption(DbRadioGroup* group, int option) {
  QRadioButton* b = group->button(option);
  QStyleOptionButton opt;
  opt.initFrom(b);
  QRect box = b->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &opt, b);
  QTest::mouseClick(b, Qt::LeftButton, {}, box.center());
}

TEST(DbCheckBox, ShowsAndWritesTheLogicalField) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  {
    auto table = t.engine.openPath(t.path);
    auto c = table->openCursor();
    c->last();
    auto r = c->record();
    table->set(r, "RUNS", rf::tables::Value::logical(true));
    table->update(r);
  }
  EditorWindow w(t);
  auto* box = w.add(new DbCheckBox("Runs"));
  box->setDataSource(&w.source);
  box->setFieldName("runs");
  ASSERT_TRUE(w.show());
  EXPECT_FALSE(box->isChecked()) << "an empty logical field";
  w.click(NavButton::Next);
  EXPECT_TRUE(box->isChecked());

  box->setFocus();
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(w.ds.state(), DatasetState::Edit);
  EXPECT_FALSE(w.ds.field("RUNS").asLogical()) << "written at once";
  w.click(NavButton::First);
  EXPECT_FALSE(box->isChecked());
  QTest::keyClick(box, Qt::Key_Space);
  w.click(NavButton::Post);
  EXPECT_EQ(onDisk(t, "RUNS"), (std::vector<std::string>{"True", "False"}));

  w.ds.close();
  EXPECT_FALSE(box->isChecked());
}

TEST(DbCheckBox, TheCaptionStandsLeftOfTheBoxWhenAsked) {
  for (bool left : {false, true}) {
    DbCheckBox box("Print Car Cards and Waybills");
    box.setCaptionLeft(left);
    box.resize(box.sizeHint());
    QStyleOptionButton opt;
    opt.initFrom(&box);
    opt.text = box.text();
    QRect indicator = box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, &box);
    QRect caption = box.style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, &box);
    EXPECT_EQ(indicator.center().x() > caption.center().x(), left);
  }
}

TEST(DbRadioGroup, ChoosesTheOptionOfTheValueAndNoneForOthers) {
  PiecesTable t({{"A", "one"}, {"B", "two"}, {"C", "three"}});
  {
    auto table = t.engine.openPath(t.path);
    auto c = table->openCursor();
    const double qty[] = {1, 7};  // the third stays empty
    int i = 0;
    for (bool ok = c->first(); ok && i < 2; ok = c->next(), ++i) {
      auto r = c->record();
      table->set(r, "QTY", rf::tables::Value::number(qty[i]));
      table->update(r);
    }
  }
  EditorWindow w(t);
  auto* group = w.add(new DbRadioGroup(" Equipment Type "));
  group->setOptions({"Locomotive", "Freight", "Passenger", "Non-Revenur"}, {"0", "1", "2", "3"});
  group->setDataSource(&w.source);
  group->setFieldName("QTY");
  ASSERT_TRUE(w.show());

  auto checked = [&] {
    int n = -1, count = 0;
    for (int i = 0; i < group->count(); ++i)
      if (group->button(i)->isChecked()) n = i, ++count;
    return count > 1 ? -2 : n;
  };
  EXPECT_EQ(checked(), 1) << "1 is Freight";
  w.click(NavButton::Next);
  EXPECT_EQ(checked(), -1) << "7 is no option";
  w.click(NavButton::Next);
  EXPECT_EQ(checked(), -1) << "nor is an empty field";
  w.click(NavButton::First);
  EXPECT_EQ(checked(), 1) << "an option checked again after none was";

  clickOption(group, 3);
  EXPECT_EQ(checked(), 3);
  EXPECT_EQ(w.ds.state(), DatasetState::Edit);
  w.click(NavButton::Last);
  clickOption(group, 0);
  w.click(NavButton::Post);
  EXPECT_EQ(onDisk(t, "QTY"), (std::vector<std::string>{"3", "7", "0"}));
}

TEST(DbRadioGroup, TextValuesAndColumns) {
  PiecesTable t({{"B", "two"}});
  EditorWindow w(t);
  auto* group = w.add(new DbRadioGroup);
  group->setOptions({"Alpha", "Beta", "Gamma"}, {"A", "B", "C"});
  group->setColumns(2);
  group->setDataSource(&w.source);
  group->setFieldName("CODE");
  ASSERT_TRUE(w.show());
  EXPECT_TRUE(group->button(1)->isChecked());
  EXPECT_EQ(group->chosen(), 1);
  // Down the first column, then the second.
  EXPECT_EQ(group->button(0)->x(), group->button(1)->x());
  EXPECT_GT(group->button(2)->x(), group->button(0)->x());
  clickOption(group, 2);
  w.click(NavButton::Post);
  EXPECT_EQ(onDisk(t, "CODE"), (std::vector<std::string>{"C"}));
}

}  // namespace

// The bound memo box typed into as a user would; the memo file is checked after.

#include <gtest/gtest.h>

#include <QLineEdit>

#include "controls/db_memo.h"
#include "tests/controls/editors_fixture.h"

using rf::controls::DbMemo;
using rf::controls::NavButton;
using rf::dataset::DatasetState;
using rf::test::EditorWindow;
using rf::test::onDisk;
using rf::test::PiecesTable;

namespace {

DbMemo* boundMemo(EditorWindow& w) {
  auto* m = w.add(new DbMemo);
  m->setDataSource(&w.source);
  m->setFieldName("notes");
  return m;
}

TEST(DbMemo, TypedLinesAreSavedWithWindowsLineBreaksByAMove) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  EditorWindow w(t);
  DbMemo* memo = boundMemo(w);
  ASSERT_TRUE(w.show());
  memo->setFocus();
  QTest::keyClicks(memo, "first");
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClicks(memo, "second");
  EXPECT_EQ(w.ds.state(), DatasetState::Edit);
  w.click(NavButton::Next);
  EXPECT_EQ(memo->toPlainText(), "") << "the next record has no memo";
  EXPECT_EQ(onDisk(t, "NOTES"), (std::vector<std::string>{"first\r\nsecond", ""}));

  w.click(NavButton::First);
  EXPECT_EQ(memo->toPlainText(), "first\nsecond") << "shown with the box's own line breaks";
  EXPECT_EQ(memo->blockCount(), 2);
}

TEST(DbMemo, LeavingTheBoxWritesEscapeDropsAndWordWrapIsTheScreensChoice) {
  PiecesTable t({{"A", "one"}});
  EditorWindow w(t);
  DbMemo* memo = boundMemo(w);
  auto* other = w.add(new QLineEdit);
  ASSERT_TRUE(w.show());
  EXPECT_TRUE(memo->wordWrap());
  memo->setWordWrap(false);
  EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);

  memo->setFocus();
  QTest::keyClicks(memo, "kept");
  QTest::keyClick(memo, Qt::Key_Tab);
  EXPECT_TRUE(other->hasFocus()) << "Tab leaves the box";
  EXPECT_EQ(w.ds.field("NOTES").asText(), "kept");

  memo->setFocus();
  QTest::keyClicks(memo, " and dropped");
  QTest::keyClick(memo, Qt::Key_Escape);
  EXPECT_EQ(memo->toPlainText(), "kept");
  w.click(NavButton::Post);
  EXPECT_EQ(onDisk(t, "NOTES"), (std::vector<std::string>{"kept"}));
}

TEST(DbMemo, IsReadOnlyWhileTheRecordCannotChange) {
  PiecesTable t({{"A", "one"}});
  EditorWindow w(t);
  w.source.setAutoEdit(false);
  DbMemo* memo = boundMemo(w);
  ASSERT_TRUE(w.show());
  EXPECT_TRUE(memo->isReadOnly());
  memo->setFocus();
  QTest::keyClicks(memo, "x");
  EXPECT_EQ(memo->toPlainText(), "");
  w.click(NavButton::Edit);
  EXPECT_FALSE(memo->isReadOnly());
  QTest::keyClicks(memo, "x");
  w.click(NavButton::Post);
  EXPECT_EQ(onDisk(t, "NOTES"), (std::vector<std::string>{"x"}));
  EXPECT_TRUE(memo->isReadOnly());
}

}  // namespace

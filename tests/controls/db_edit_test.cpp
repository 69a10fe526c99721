// The bound edit box typed into as a user would, over a real table; the file is checked after.

#include <gtest/gtest.h>

#include <QLocale>
#include <QSignalSpy>
#include <QToolButton>

#include "controls/db_edit.h"
#include "tests/controls/editors_fixture.h"

using rf::controls::DbDisabledEdit;
using rf::controls::DbEdit;
using rf::controls::NavButton;
using rf::dataset::DatasetState;
using rf::test::EditorWindow;
using rf::test::onDisk;
using rf::test::PiecesTable;

namespace {

DbEdit* bound(EditorWindow& w, const char* field) {
  auto* e = w.add(new DbEdit);
  e->setDataSource(&w.source);
  e->setFieldName(field);
  return e;
}

TEST(DbEdit, ShowsTheFieldTakesAtMostItsWidthAndWritesOnEnter) {
  PiecesTable t({{"A", "one"}, {"B", "two"}});
  EditorWindow w(t);
  DbEdit* code = bound(w, "code");
  DbEdit* qty = bound(w, "QTY");
  ASSERT_TRUE(w.show());
  EXPECT_EQ(code->text(), "A");
  EXPECT_EQ(code->maxLength(), 8);
  EXPECT_GT(qty->maxLength(), 8) << "the width of a number is no limit of characters";

  code->setFocus();
  code->selectAll();
  QTest::keyClicks(code, "ABCDEFGHIJ");
  EXPECT_EQ(code->text(), "ABCDEFGH");
  EXPECT_EQ(w.ds.state(), DatasetState::Edit) << "typing puts the record into edit state";
  EXPECT_EQ(w.ds.field("CODE").asText(), "A") << "not written before the text is committed";
  QTest::keyClick(code, Qt::Key_Return);
  EXPECT_EQ(w.ds.field("CODE").asText(), "ABCDEFGH");

  w.click(NavButton::Next);
  EXPECT_EQ(code->text(), "B") << "the box follows the record";
  EXPECT_EQ(onDisk(t, "CODE"), (std::vector<std::string>{"ABCDEFGH", "B"}));
  w.ds.close();
  EXPECT_EQ(code->text(), "");
}

TEST(DbEdit, TextTypedButNotCommittedIsSavedByPostOrAMove) {
  for (NavButton b : {NavButton::Post, NavButton::Next, NavButton::Last}) {
    PiecesTable t({{"A", "one"}, {"B", "two"}});
    EditorWindow w(t);
    DbEdit* name = bound(w, "NAME");
    ASSERT_TRUE(w.show());
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "typed");
    ASSERT_TRUE(name->hasFocus()) << "the navigator's buttons take no focus: the box never hears it was left";
    w.click(b);
    EXPECT_TRUE(w.failures.empty());
    EXPECT_EQ(w.ds.state(), DatasetState::Browse);
    EXPECT_EQ(onDisk(t, "NAME"), (std::vector<std::string>{"typed", "two"})) << rf::controls::navButtonName(b).toStdString();
  }
}

TEST(DbEdit, ARefusedNumberKeepsTheFocusAndReachesTheUser) {
  PiecesTable t({{"A", "one"}});
  EditorWindow w(t);
  DbEdit* name = bound(w, "NAME");
  DbEdit* qty = bound(w, "QTY");
  ASSERT_TRUE(w.show());
  QSignalSpy failed(qty, &DbEdit::failed);

  name->setFocus();
  QTest::keyClick(name, Qt::Key_End);
  QTest::keyClicks(name, "s");
  qty->setFocus();
  QTest::keyClicks(qty, "1,5x");
  QTest::keyClick(qty, Qt::Key_Tab);  // leaving the box writes
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString(), "'1,5x' is not a valid floating point value for field 'QTY'");
  EXPECT_TRUE(qty->hasFocus());
  EXPECT_EQ(qty->selectedText(), "1,5x");
  EXPECT_EQ(w.ds.state(), DatasetState::Edit);
  EXPECT_EQ(w.ds.field("NAME").asText(), "ones") << "the other changes stay";

  // Post writes the box again: refused again, announced by the navigator, nothing saved.
  w.click(NavButton::Post);
  ASSERT_EQ(w.failures.size(), 1u);
  EXPECT_EQ(w.failures[0], "'1,5x' is not a valid floating point value for field 'QTY'");
  EXPECT_EQ(w.ds.state(), DatasetState::Edit);
  EXPECT_EQ(onDisk(t, "QTY"), (std::vector<std::string>{""}));

  QTest::keyClicks(qty, "2.5");  // replaces the selected text
  w.click(NavButton::Post);
  EXPECT_EQ(w.failures.size(), 1u);
  EXPECT_EQ(onDisk(t, "QTY"), (std::vector<std::string>{"2.5"}));
  EXPECT_EQ(onDisk(t, "NAME"), (std::vector<std::string>{"ones"}));
}

TEST(DbEdit, EscapeDropsWhatWasTyped) {
  PiecesTable t({{"A", "one"}});
  EditorWindow w(t);
  DbEdit* name = bound(w, "NAME");
  ASSERT_TRUE(w.show());
  name->setFocus();
  QTest::keyClicks(name, "xyz");
  QTest::keyClick(name, Qt::Key_Escape);
  EXPECT_EQ(name->text(), "one");
  w.click(NavButton::Post);
  EXPECT_EQ(onDisk(t, "NAME"), (std::vector<std::string>{"one"}));
}

TEST(DbEdit, WithoutAutoEditABrowsingRecordTakesNoTyping) {
  PiecesTable t({{"A", "one"}});
  EditorWindow w(t);
  w.source.setAutoEdit(false);
  DbEdit* name = bound(w, "NAME");
  ASSERT_TRUE(w.show());
  name->setFocus();
  QTest::keyClicks(name, "x");
  EXPECT_EQ(name->text(), "one");
  EXPECT_EQ(w.ds.state(), DatasetState::Browse);
  w.click(NavButton::Edit);
  QTest::keyClicks(name, "x");
  QTest::keyClick(name, Qt::Key_Return);
  EXPECT_EQ(w.ds.field("NAME").asText(), "xone");
}

TEST(DbEdit, MoneyReadsInTheCurrencyFormatExceptWhileTyped) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  rf::test::TempDir dir;
  rf::tables::Engine engine(dir.file("e.conf"));
  rf::tables::TableDef def;
  def.format = rf::tables::Format::Paradox;
  def.fields = {rf::test::pxField("Cost", rf::tables::FieldType::Money, '$')};
  {
    auto tb = engine.create(dir.file("costs.db"), def);
    for (double cost : {1234.5, 0.0}) {
      rf::tables::Record r = tb->blankRecord();
      if (cost != 0) tb->set(r, "Cost", rf::tables::Value::number(cost));
      tb->insert(r);
    }
  }
  rf::dataset::Dataset ds;
  ds.open(engine, {dir.file("costs.db"), {}, {}, {}, false, false});
  rf::dataset::DataSource source(&ds);
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* cost = new DbEdit;
  auto* other = new QLineEdit;
  layout->addWidget(other);  // takes the focus when the window opens
  layout->addWidget(cost);
  cost->setDataSource(&source);
  cost->setFieldName("Cost");
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(cost->text().toStdString(), "$1,234.50");
  cost->setFocus();
  EXPECT_EQ(cost->text().toStdString(), "1234.5") << "typing starts from the plain number";
  other->setFocus();
  EXPECT_EQ(cost->text().toStdString(), "$1,234.50");
  cost->setFocus();
  cost->selectAll();
  QTest::keyClicks(cost, "99.9");
  other->setFocus();
  EXPECT_EQ(cost->text().toStdString(), "$99.90");
  EXPECT_EQ(ds.field("Cost").asNumber(), 99.9);
  ds.next();
  EXPECT_EQ(cost->text().toStdString(), "") << "an empty field shows nothing, not $0.00";
  QLocale::setDefault(QLocale::c());
}

TEST(DbDisabledEdit, ShowsTheFieldAsTheRecordIsSavedAndIsNeverFocused) {
  PiecesTable t({{"A", "one"}});
  EditorWindow w(t);
  // As a before-post rule computes a field the user does not type.
  w.ds.beforePost = [](rf::dataset::Dataset& ds) { ds.field("QTY").setNumber(static_cast<double>(ds.field("NAME").asText().size())); };
  DbEdit* name = bound(w, "NAME");
  auto* qty = w.add(new DbDisabledEdit);
  qty->setDataSource(&w.source);
  qty->setFieldName("QTY");
  ASSERT_TRUE(w.show());
  EXPECT_FALSE(qty->isEnabled());
  EXPECT_EQ(qty->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(qty->text(), "");

  name->setFocus();
  QTest::keyClicks(name, "four");
  QTest::keyClick(name, Qt::Key_Tab);
  EXPECT_FALSE(qty->hasFocus());
  w.click(NavButton::Post);
  EXPECT_EQ(qty->text(), "7");
  EXPECT_EQ(onDisk(t, "QTY"), (std::vector<std::string>{"7"}));
}

}  // namespace

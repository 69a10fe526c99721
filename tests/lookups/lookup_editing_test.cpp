// Adding, editing, deleting and cancelling rows through a lookup screen's widgets, checked in
// the files as another program reads them; the grid's keyboard, closing with a change pending,
// refusals of the engine, and the table shared with the pick lists.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <algorithm>

#include "controls/lookup_dialog.h"
#include "data/data_module.h"
#include "tables/fault_file_system.h"
#include "tests/lookups/lookup_support.h"

using rf::controls::NavButton;
using rf::dataset::DatasetState;
using rf::testing::LookupApp;

namespace {

class LookupEditing : public LookupApp {
 protected:
  static QLineEdit* edit(rf::lookups::Tlookup& s, const char* field) {
    auto* e = qobject_cast<QLineEdit*>(s.recordView()->editor(QString::fromLatin1(field)));
    EXPECT_NE(e, nullptr) << field;
    return e;
  }
  static void type(rf::lookups::Tlookup& s, const char* field, const QString& text) {
    QLineEdit* e = edit(s, field);
    e->selectAll();
    QTest::keyClicks(e, text);
  }
  static void press(rf::lookups::Tlookup& s, NavButton b) { QTest::mouseClick(s.navigator()->button(b), Qt::LeftButton); }
  // Makes the screen the active window and gives `w` the focus, as a click would.
  static void focus(rf::lookups::Tlookup& s, QWidget* w) {
    QApplication::setActiveWindow(&s);
    w->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
  }
};

TEST_F(LookupEditing, AddEditCancelAndDeleteReachTheFile) {
  auto& s = open("fmScale");
  const QStringList before = storedPairs("tbScale", "I_SCALE", "SCDESC");
  ASSERT_FALSE(before.contains("Gn15=Gn15 - 1:22.5 on 16.5 mm"));

  press(s, NavButton::Insert);
  EXPECT_EQ(s.table().state(), DatasetState::Insert);
  type(s, "I_SCALE", "Gn15");
  type(s, "SCDESC", "Gn15 - 1:22.5 on 16.5 mm");
  press(s, NavButton::Post);
  EXPECT_EQ(s.table().state(), DatasetState::Browse);
  EXPECT_TRUE(storedPairs("tbScale", "I_SCALE", "SCDESC").contains("Gn15=Gn15 - 1:22.5 on 16.5 mm"));
  EXPECT_EQ(shown(s, 0), stored("tbScale", "I_SCALE")) << "the new row in index order";
  EXPECT_EQ(s.grid()->model()->index(s.grid()->currentIndex().row(), 0).data().toString(), "Gn15");

  // Typing edits the current row; moving away saves it.
  type(s, "SCDESC", "Gn15 - 15 in. gauge");
  EXPECT_EQ(s.table().state(), DatasetState::Edit);
  press(s, NavButton::First);
  EXPECT_TRUE(storedPairs("tbScale", "I_SCALE", "SCDESC").contains("Gn15=Gn15 - 15 in. gauge"));

  // Cancel drops a new row, typed or not.
  press(s, NavButton::Insert);
  type(s, "I_SCALE", "QQ");
  press(s, NavButton::Cancel);
  EXPECT_EQ(s.table().state(), DatasetState::Browse);
  EXPECT_FALSE(stored("tbScale", "I_SCALE").contains("QQ"));
  EXPECT_FALSE(shown(s, 0).contains("QQ"));

  // Delete asks; Cancel keeps the row, OK deletes it.
  ASSERT_TRUE(s.table().findKey(QStringLiteral("Gn15")));
  answer = false;
  press(s, NavButton::Delete);
  EXPECT_EQ(questions, QStringList{"Delete record?"});
  EXPECT_TRUE(stored("tbScale", "I_SCALE").contains("Gn15"));
  answer = true;
  press(s, NavButton::Delete);
  EXPECT_FALSE(stored("tbScale", "I_SCALE").contains("Gn15"));
  EXPECT_EQ(storedPairs("tbScale", "I_SCALE", "SCDESC"), before);
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(LookupEditing, GridDeletesFromTheKeyboardAfterAsking) {
  auto& s = open("fmCond");
  focus(s, s.grid());
  const QStringList before = stored("tbCond", "I_COND");
  s.grid()->setCurrentIndex(s.grid()->model()->index(2, 1));
  const QString code = s.table().field("I_COND").asText();
  ASSERT_EQ(code, before[2]);
  answer = false;
  QTest::keyClick(s.grid(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(questions, QStringList{"Delete record?"});
  EXPECT_EQ(stored("tbCond", "I_COND"), before);
  answer = true;
  QTest::keyClick(s.grid(), Qt::Key_Delete, Qt::ControlModifier);
  QStringList after = before;
  after.removeAt(2);
  EXPECT_EQ(stored("tbCond", "I_COND"), after);
  EXPECT_EQ(shown(s, 0), after);
}

TEST_F(LookupEditing, LeavingTheGridDropsAnUntouchedNewRowOnly) {
  auto& s = open("fmSloc");
  const QStringList before = stored("tbSloc", "I_SLOC");
  const int rows = s.grid()->model()->rowCount();
  QWidget* code = s.recordView()->editor("I_SLOC");

  // The Insert key starts a row in the grid; nobody types into it and the focus moves on.
  focus(s, s.grid());
  QTest::keyClick(s.grid(), Qt::Key_Insert);
  ASSERT_EQ(s.table().state(), DatasetState::Insert);
  focus(s, code);
  EXPECT_EQ(s.table().state(), DatasetState::Browse);
  EXPECT_EQ(s.grid()->model()->rowCount(), rows);

  // Typed into a cell, the row stays when the focus leaves, and is saved by Post.
  focus(s, s.grid());
  QTest::keyClick(s.grid(), Qt::Key_Insert);
  s.grid()->setCurrentIndex(s.grid()->model()->index(s.grid()->currentIndex().row(), 0));
  // The first key opens the cell's editor, which takes the rest.
  QTest::keyClick(s.grid(), 'S');
  QWidget* cell = QApplication::focusWidget();
  ASSERT_NE(cell, s.grid());
  ASSERT_TRUE(cell && s.grid()->isAncestorOf(cell));
  QTest::keyClicks(cell, "HELF9");
  focus(s, code);
  EXPECT_EQ(s.table().state(), DatasetState::Insert);
  press(s, NavButton::Post);
  EXPECT_TRUE(stored("tbSloc", "I_SLOC").contains("SHELF9"));

  // Whichever started the row, the navigator's Insert too.
  focus(s, s.grid());
  press(s, NavButton::Insert);
  ASSERT_EQ(s.table().state(), DatasetState::Insert);
  focus(s, code);
  EXPECT_EQ(s.table().state(), DatasetState::Browse);
  QStringList expected = before;
  expected << "SHELF9";
  QStringList now = stored("tbSloc", "I_SLOC");
  std::sort(expected.begin(), expected.end());
  std::sort(now.begin(), now.end());
  EXPECT_EQ(now, expected);
}

TEST_F(LookupEditing, ClosingKeepsAPendingChangeForTheNextShowing) {
  auto& s = open("fmClass");
  const QString key = s.table().field("I_CLASS").asText();
  const QStringList before = storedPairs("tbClass", "I_CLASS", "CLASSDESC");
  type(s, "CLASSDESC", "Still typing");
  ASSERT_EQ(s.table().state(), DatasetState::Edit);
  press(s, NavButton::Close);
  EXPECT_FALSE(s.isVisible());
  EXPECT_EQ(s.table().state(), DatasetState::Edit);
  EXPECT_EQ(storedPairs("tbClass", "I_CLASS", "CLASSDESC"), before) << "hiding saves nothing";

  app->main().findChild<QAction*>("class1")->trigger();
  EXPECT_TRUE(s.isVisible());
  EXPECT_EQ(s.table().state(), DatasetState::Edit);
  EXPECT_EQ(edit(s, "CLASSDESC")->text(), "Still typing");
  // The window's own close box does the same.
  s.close();
  EXPECT_FALSE(s.isVisible());
  EXPECT_EQ(s.table().state(), DatasetState::Edit);
  rf::app::Application::showModeless(&s);
  press(s, NavButton::Post);
  EXPECT_TRUE(storedPairs("tbClass", "I_CLASS", "CLASSDESC").contains(key + "=Still typing"));
}

TEST_F(LookupEditing, ALockedRowIsRefusedThroughTheErrorBoxAndStaysAsItWas) {
  auto& s = open("fmCouplers");
  ASSERT_TRUE(s.table().first());
  auto engine = collection.otherEngine();
  auto other = engine->open(rf::data::openRequestFor(rf::data::catalogueEntry("tbCouplers")));
  auto cursor = other->openCursor("I_COUPLER");
  ASSERT_TRUE(cursor->first());
  auto lock = other->lockRecord(cursor->bookmark());
  press(s, NavButton::Edit);
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(s.table().state(), DatasetState::Browse);
  EXPECT_TRUE(s.navigator()->button(NavButton::Edit)->isEnabled());
  lock.reset();
  press(s, NavButton::Edit);
  EXPECT_EQ(s.table().state(), DatasetState::Edit);
  EXPECT_EQ(errors.size(), 1);
}

TEST(LookupRefusal, AFailedSaveKeepsTheNewRowWithWhatWasTyped) {
  rf::testing::Collection c;
  rf::tables::FaultFileSystem faults(rf::tables::FileSystem::real());
  rf::tables::Engine engine(c.configPath(), faults);
  QStringList errors;
  rf::controls::setErrorPresenter([&errors](QWidget*, const QString& text) { errors << text; });
  {
    rf::app::Application app(engine);
    rf::lookups::Tlookup* s = nullptr;
    for (auto* screen : app.lookupScreens())
      if (screen->objectName() == "fmTrucks") s = screen;
    ASSERT_NE(s, nullptr);
    rf::app::Application::showModeless(s);
    QTest::mouseClick(s->navigator()->button(NavButton::Insert), Qt::LeftButton);
    auto* code = qobject_cast<QLineEdit*>(s->recordView()->editor("I_TRUCKS"));
    QTest::keyClicks(code, "ARCHBAR");
    faults.arm(rf::tables::FaultFileSystem::Op::Write, 1, rf::tables::FaultFileSystem::Action::Fail, 28, "trucks");
    QTest::mouseClick(s->navigator()->button(NavButton::Post), Qt::LeftButton);
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(s->table().state(), DatasetState::Insert);
    EXPECT_EQ(s->table().field("I_TRUCKS").asText(), "ARCHBAR");
    EXPECT_TRUE(s->navigator()->button(NavButton::Post)->isEnabled());
    faults.disarm();
    QTest::mouseClick(s->navigator()->button(NavButton::Post), Qt::LeftButton);
    EXPECT_EQ(s->table().state(), DatasetState::Browse);
  }
  rf::controls::setErrorPresenter({});
  auto other = c.otherEngine();
  auto t = other->open(rf::data::openRequestFor(rf::data::catalogueEntry("tbTrucks")));
  auto cursor = t->openCursor("I_TRUCKS");
  EXPECT_TRUE(cursor->seek({rf::tables::Value::text("ARCHBAR")}));
}

TEST_F(LookupEditing, ARowAddedHereIsOfferedAtOnceByAPickList) {
  auto& s = open("fmAbbrev");
  press(s, NavButton::Insert);
  type(s, "I_REPMK", "ZZRR");
  type(s, "ABDESC", "Zigzag Railroad");
  press(s, NavButton::Post);
  // A pick list over the same table object, made after the row was added, with no refresh.
  rf::controls::LookupDialog pick(&app->dmMain().table("tbAbbrev"), "I_REPMK");
  EXPECT_TRUE(pick.locate("ZZRR"));
  ASSERT_TRUE(pick.pickedValue().has_value());
  EXPECT_EQ(*pick.pickedValue(), "ZZRR");
  // Moving in the pick list moves the screen's row.
  ASSERT_TRUE(pick.search("B"));
  const QString picked = *pick.pickedValue();
  EXPECT_EQ(s.table().field("I_REPMK").asText(), picked);
  EXPECT_EQ(s.grid()->model()->index(s.grid()->currentIndex().row(), 0).data().toString(), picked);
  EXPECT_EQ(edit(s, "I_REPMK")->text(), picked);
}

TEST_F(LookupEditing, RefreshShowsWhatAnotherProgramAdded) {
  auto& s = open("fmProducts");
  const int rows = static_cast<int>(shown(s, 0).size());
  {
    auto engine = collection.otherEngine();
    auto other = engine->open(rf::data::openRequestFor(rf::data::catalogueEntry("tbProducts")));
    rf::tables::Record r = other->blankRecord();
    other->set(r, "LADING", rf::tables::Value::text("Aaa test lading"));
    other->insert(r);
  }
  press(s, NavButton::Refresh);
  const QStringList after = shown(s, 0);
  EXPECT_EQ(after.size(), rows + 1);
  EXPECT_EQ(after, stored("tbProducts", "LADING"));
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(LookupEditing, CategoriesStayInTheOrderTheyWereAdded) {
  auto& s = open("fmCat");
  const QStringList before = shown(s, 0);
  QStringList sorted = before;
  std::sort(sorted.begin(), sorted.end());
  ASSERT_NE(before, sorted) << "the delivered categories are not in alphabetical order";
  press(s, NavButton::Insert);
  type(s, "I_CAT", "AAA");
  type(s, "CATDESC", "First by name, last by entry");
  press(s, NavButton::Post);
  QStringList expected = before;
  expected << "AAA";
  EXPECT_EQ(stored("tbInvCat", "I_CAT"), expected);
  EXPECT_EQ(shown(s, 0), expected);
}

}  // namespace

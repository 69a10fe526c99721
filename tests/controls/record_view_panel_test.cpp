// The record view built from column lists, typed into as a user would; the file is checked after.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>

#include "controls/db_check_box.h"
#include "controls/db_date_edit.h"
#include "controls/db_memo.h"
#include "controls/record_view_panel.h"
#include "tests/controls/editors_fixture.h"

using rf::controls::ColumnList;
using rf::controls::DbCheckBox;
using rf::controls::DbDateEdit;
using rf::controls::DbEdit;
using rf::controls::DbMemo;
using rf::controls::NavButton;
using rf::controls::RecordViewPanel;
using rf::test::EditorWindow;
using rf::test::onDisk;
using rf::test::PiecesTable;

namespace {

const ColumnList kColumns = {{"CODE", 8, "Code:"}, {"Name", 20, "Piece name:"}, {"QTY", 0, ""}};

struct View {
  PiecesTable t{{"A", "one"}, {"B", "two"}};
  EditorWindow w{t};
  RecordViewPanel* panel = w.add(new RecordViewPanel);
  explicit View(const ColumnList& columns = kColumns) {
    panel->setColumns(columns);
    panel->setDataSource(&w.source);
  }
  template <class W = QWidget>
  W* find(const char* name) {
    return panel->findChild<W*>(name);
  }
};

TEST(RecordViewPanel, OneFieldPerLineWithRightAlignedLabelsAndWidthsInCharacters) {
  View v;
  v.w.window.resize(600, 300);
  ASSERT_TRUE(v.w.show());
  auto* code = v.find<DbEdit>("fldCODE");
  auto* name = v.find<DbEdit>("fldName");
  auto* qty = v.find<DbEdit>("fldQTY");
  ASSERT_TRUE(code && name && qty);
  EXPECT_EQ(v.panel->editor("name"), name);
  EXPECT_EQ(code->text(), "A");
  EXPECT_EQ(name->text(), "one");

  std::vector<std::pair<const char*, const char*>> labels = {{"lblCODE", "Code:"}, {"lblName", "Piece name:"}, {"lblQTY", "QTY"}};
  QLabel* first = v.find<QLabel>(labels[0].first);
  ASSERT_NE(first, nullptr);
  for (const auto& [object, text] : labels) {
    QLabel* l = v.find<QLabel>(object);
    ASSERT_NE(l, nullptr) << object;
    EXPECT_EQ(l->text(), text);
    EXPECT_EQ(l->geometry().right(), first->geometry().right()) << "one label column, right-aligned";
    EXPECT_LT(l->geometry().right(), code->x());
  }
  EXPECT_EQ(code->x(), name->x());
  EXPECT_LT(code->y(), name->y());
  EXPECT_LT(name->y(), qty->y());
  EXPECT_EQ(code->width(), v.panel->widthForChars(8));
  EXPECT_EQ(name->width(), v.panel->widthForChars(20));
  EXPECT_EQ(qty->width(), v.panel->widthForChars(10)) << "the field's display width";

  code->setFocus();
  QTest::keyClick(code, Qt::Key_Tab);
  EXPECT_TRUE(name->hasFocus()) << "tab order follows the list";
  QTest::keyClick(name, Qt::Key_End);
  QTest::keyClicks(name, " piece");
  v.w.click(NavButton::Next);
  EXPECT_EQ(name->text(), "two");
  EXPECT_EQ(onDisk(v.t, "NAME"), (std::vector<std::string>{"one piece", "two"}));
}

TEST(RecordViewPanel, WithoutAListEveryVisibleFieldWithAnEditorForItsType) {
  PiecesTable t({{"A", "one"}});
  EditorWindow w(t);
  w.ds.close();
  auto* panel = w.add(new RecordViewPanel);
  panel->setDataSource(&w.source);
  EXPECT_TRUE(panel->editors().isEmpty()) << "nothing to show before the dataset opens";
  w.ds.open(t.engine, t.request());
  w.ds.field("QTY").setVisible(false);
  w.ds.field("NAME").setDisplayLabel("Name");
  panel->setColumns({});  // built again for the changed fields
  ASSERT_TRUE(w.show());
  QStringList names;
  for (QWidget* e : panel->editors()) names << e->objectName();
  EXPECT_EQ(names, QStringList({"fldCODE", "fldNAME", "fldBOUGHT", "fldRUNS", "fldNOTES"}));
  EXPECT_EQ(panel->label("NAME")->text(), "Name");
  EXPECT_NE(qobject_cast<DbDateEdit*>(panel->editor("BOUGHT")), nullptr);
  EXPECT_NE(qobject_cast<DbCheckBox*>(panel->editor("RUNS")), nullptr);
  EXPECT_NE(qobject_cast<DbMemo*>(panel->editor("NOTES")), nullptr);

  auto* bought = qobject_cast<DbDateEdit*>(panel->editor("BOUGHT"));
  bought->setFocus();
  QTest::keyClicks(bought, "12/24/01");
  auto* runs = qobject_cast<DbCheckBox*>(panel->editor("RUNS"));
  runs->setFocus();
  QTest::keyClick(runs, Qt::Key_Space);
  w.click(NavButton::Post);
  EXPECT_EQ(onDisk(t, "BOUGHT"), (std::vector<std::string>{"12/24/2001"}));
  EXPECT_EQ(onDisk(t, "RUNS"), (std::vector<std::string>{"True"}));
}

TEST(RecordViewPanel, LabelsAboveWrapLeftToRightAcrossThePanel) {
  View v;
  v.w.nav->setButtons({NavButton::Post});  // leaves the window free to be narrow
  v.panel->setArrangement(RecordViewPanel::Arrangement::LabelsAbove);
  v.w.window.resize(900, 300);
  ASSERT_TRUE(v.w.show());
  QWidget* code = v.panel->editor("CODE");
  QWidget* name = v.panel->editor("NAME");
  QWidget* qty = v.panel->editor("QTY");
  auto at = [&](QWidget* w) { return w->mapTo(v.panel->widget(), QPoint(0, 0)); };
  QLabel* label = v.panel->label("CODE");
  EXPECT_EQ(at(label).x(), at(code).x()) << "the label stands above its editor";
  EXPECT_LT(at(label).y(), at(code).y());
  EXPECT_EQ(at(code).y(), at(name).y()) << "wide enough: one row";
  EXPECT_LT(at(code).x(), at(name).x());
  EXPECT_LT(at(name).x(), at(qty).x());

  // Narrower than the three together: the last one wraps into a second row at the left.
  const int room = v.panel->viewport()->width() - (at(qty).x() + qty->width()) + 10;
  v.w.window.resize(v.w.window.width() - room, 300);
  QTest::qWait(20);
  EXPECT_EQ(at(code).y(), at(name).y());
  EXPECT_GT(at(qty).y(), at(code).y() + code->height());
  EXPECT_EQ(at(qty).x(), at(code).x());
}

TEST(RecordViewPanel, AFieldCanHaveTheScreensOwnEditorAndAReadOnlyLine) {
  View v;
  auto* own = new QLineEdit;
  own->setObjectName("cboNames");
  v.panel->setEditor("NAME", own);
  v.panel->setReadOnly("CODE", true);
  ASSERT_TRUE(v.w.show());
  EXPECT_EQ(v.panel->editor("NAME"), own);
  EXPECT_EQ(own->objectName(), "cboNames");
  EXPECT_EQ(v.find<QWidget>("fldName"), nullptr);
  EXPECT_EQ(v.panel->label("NAME")->buddy(), own);
  v.panel->editor("CODE")->setFocus();
  QTest::keyClick(v.panel->editor("CODE"), Qt::Key_Tab);
  EXPECT_TRUE(own->hasFocus()) << "tab order follows the list";

  v.panel->setArrangement(RecordViewPanel::Arrangement::LabelsAbove);
  EXPECT_EQ(v.panel->editor("NAME"), own) << "kept when the panel is built again";

  auto* code = v.find<DbEdit>("fldCODE");
  code->setFocus();
  QTest::keyClicks(code, "X");
  EXPECT_EQ(code->text(), "A");
  EXPECT_EQ(v.w.ds.state(), rf::dataset::DatasetState::Browse);
}

}  // namespace

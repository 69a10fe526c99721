// The lookup combo box over real tables: a pick list opened by the button or the keys, on the
// lookup record of the code shown, whose pick lands in the bound field (cut to its width) and
// puts the record into edit state; closeUp tells a completed pick from a closing without one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "controls/db_grid.h"
#include "controls/lookup_combo_box.h"
#include "controls/lookup_dialog.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::controls::LookupComboBox;
using rf::controls::LookupDialog;
using rf::dataset::DataSource;
using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::test::PiecesTable;

namespace {

struct Screen {
  PiecesTable pieces{{"A", "one"}, {"B", "two"}};
  // The lookup table: codes in CODE, long names in NAME (longer than the bound CODE's 8).
  PiecesTable railroads{{"ATSF", "Santa Fe Railway"}, {"B", "Baltimore and Ohio"}, {"UP", "Union Pacific"}};
  Dataset ds;
  DataSource source{&ds};
  Dataset lookup;
  LookupComboBox combo;

  Screen() {
    ds.open(pieces.engine, pieces.request());
    lookup.open(railroads.engine, railroads.request(), "CODE");
    combo.setObjectName("fldRepMk");
    combo.setDataSource(&source);
    combo.setFieldName("CODE");
    combo.setLookup(&lookup, "CODE", {{"CODE", 7, "Repmk"}, {"NAME", 41, "Railroad"}});
    combo.resize(200, 30);
    combo.show();
  }
  // Acts inside the pick list once it runs its own loop.
  void whenOpen(std::function<void(LookupDialog&)> act) {
    QTimer::singleShot(0, &combo, [act] {
      auto* d = qobject_cast<LookupDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      act(*d);
    });
  }
  std::string lookupCode() { return lookup.field("CODE").asText().toStdString(); }
};

void ok(LookupDialog& d) { QTest::mouseClick(d.buttons()->button(QDialogButtonBox::Ok), Qt::LeftButton); }

TEST(LookupComboBox, NamesItsPartsAfterItself) {
  Screen s;
  EXPECT_EQ(s.combo.lineEdit()->objectName(), "fldRepMkEdit");
  EXPECT_EQ(s.combo.button()->objectName(), "fldRepMkButton");
  s.combo.setObjectName("fldScale");
  EXPECT_EQ(s.combo.findChild<QLineEdit*>("fldScaleEdit"), s.combo.lineEdit());
  EXPECT_EQ(s.combo.findChild<QToolButton*>("fldScaleButton"), s.combo.button());
  EXPECT_EQ(s.combo.text(), "A");
  s.ds.next();
  EXPECT_EQ(s.combo.text(), "B");
}

TEST(LookupComboBox, APickOpenedOnTheCodeShownWritesTheFieldAndEditsTheRecord) {
  Screen s;
  s.ds.next();  // the record's code "B" is a lookup row: the list opens on it
  QSignalSpy closed(&s.combo, &LookupComboBox::closeUp);
  QSignalSpy text(&s.combo, &LookupComboBox::textChanged);
  std::string openedOn;
  s.whenOpen([&](LookupDialog& d) {
    openedOn = s.lookupCode();
    EXPECT_EQ(d.windowTitle(), "Lookup");
    QTest::keyClicks(d.searchBox(), "u");
    ok(d);
  });
  QTest::mouseClick(s.combo.button(), Qt::LeftButton);
  EXPECT_EQ(openedOn, "B");
  ASSERT_EQ(closed.count(), 1);
  EXPECT_EQ(closed[0][0].toBool(), true);
  EXPECT_EQ(s.lookupCode(), "UP");
  EXPECT_EQ(s.ds.state(), DatasetState::Edit);
  EXPECT_EQ(s.ds.field("CODE").asText(), "UP");
  EXPECT_EQ(s.combo.text(), "UP");
  EXPECT_GE(text.count(), 1);
  EXPECT_EQ(s.pieces.onDisk(), (std::vector<std::string>{"A=one", "B=two"}));
  s.ds.post();
  EXPECT_EQ(s.pieces.onDisk(), (std::vector<std::string>{"A=one", "UP=two"}));

  // A lookup field wider than the bound one is cut to the bound field's width; a code typed
  // before the pick gives way to it. Alt+Down opens the list from the box.
  s.combo.setLookup(&s.lookup, "NAME", {{"CODE", 7, "Repmk"}, {"NAME", 41, "Railroad"}});
  s.combo.lineEdit()->setFocus();
  QTest::keyClick(s.combo.lineEdit(), Qt::Key_End);
  QTest::keyClicks(s.combo.lineEdit(), "X");
  EXPECT_EQ(s.combo.text(), "UPX");
  EXPECT_EQ(s.ds.state(), DatasetState::Edit);
  s.whenOpen([&](LookupDialog& d) {
    // Searched by the lookup field's column, the names.
    QTest::keyClicks(d.searchBox(), "santa");
    ok(d);
  });
  QTest::keyClick(s.combo.lineEdit(), Qt::Key_Down, Qt::AltModifier);
  ASSERT_EQ(closed.count(), 2);
  EXPECT_EQ(s.ds.field("CODE").asText(), "Santa Fe");
  EXPECT_EQ(s.combo.text(), "Santa Fe");
  s.ds.post();
  EXPECT_EQ(s.pieces.onDisk(), (std::vector<std::string>{"A=one", "Santa Fe=two"}));
}

TEST(LookupComboBox, ClosingWithoutAPickChangesNothing) {
  Screen s;
  QSignalSpy closed(&s.combo, &LookupComboBox::closeUp);
  // F4 opens the list too; Cancel after moving in it leaves the record alone, though the shared
  // lookup table stays where the user moved it.
  s.whenOpen([&](LookupDialog& d) {
    QTest::keyClicks(d.searchBox(), "up");
    QTest::mouseClick(d.buttons()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
  });
  s.combo.lineEdit()->setFocus();
  QTest::keyClick(s.combo.lineEdit(), Qt::Key_F4);
  ASSERT_EQ(closed.count(), 1);
  EXPECT_EQ(closed[0][0].toBool(), false);
  EXPECT_EQ(s.ds.state(), DatasetState::Browse);
  EXPECT_EQ(s.combo.text(), "A");
  EXPECT_EQ(s.lookupCode(), "UP");
}

TEST(LookupComboBox, ARefusedPickIsAnnouncedAndCountsAsNoPick) {
  Screen s;
  {
    // Another user deletes the record shown; the pick's edit is refused.
    auto other = s.pieces.engine.openPath(s.pieces.path);
    auto c = other->openCursor();
    ASSERT_TRUE(c->first());
    other->remove(c->bookmark());
  }
  QSignalSpy closed(&s.combo, &LookupComboBox::closeUp);
  QSignalSpy failed(&s.combo, &LookupComboBox::failed);
  s.whenOpen(ok);
  s.combo.dropDown();
  ASSERT_EQ(failed.count(), 1);
  EXPECT_FALSE(failed[0][0].toString().isEmpty());
  ASSERT_EQ(closed.count(), 1);
  EXPECT_EQ(closed[0][0].toBool(), false);
  EXPECT_EQ(s.pieces.onDisk(), (std::vector<std::string>{"B=two"}));

  // Without auto-edit a browsing record takes no pick.
  s.source.setAutoEdit(false);
  s.ds.first();
  s.whenOpen(ok);
  s.combo.dropDown();
  ASSERT_EQ(closed.count(), 2);
  EXPECT_EQ(closed[1][0].toBool(), false);
  EXPECT_EQ(s.ds.state(), DatasetState::Browse);
  EXPECT_EQ(s.ds.field("CODE").asText(), "B");
}

}  // namespace

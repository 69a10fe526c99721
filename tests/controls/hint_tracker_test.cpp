// The status line's hints: the control under the pointer (in any window) and the highlighted menu
// item, driven by the Enter/Leave events Qt sends as the pointer moves, and by QAction::hover().

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "controls/hint_tracker.h"
#include "controls/record_navigator.h"

using rf::controls::HintTracker;

namespace {

void enter(QWidget* w) {
  QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(w, &e);
}

void leave(QWidget* w) {
  QEvent e(QEvent::Leave);
  QApplication::sendEvent(w, &e);
}

TEST(Hints, LongAndShortParts) {
  struct Case {
    const char* hint;
    const char* shortPart;
    const char* longPart;
  };
  const Case cases[] = {
      {"Asset|Asset number of the item", "Asset", "Asset number of the item"},
      {"Move to first record", "Move to first record", "Move to first record"},
      {"", "", ""},
      {"|Only a long part", "", "Only a long part"},
      {"Short|", "Short", ""},
      {"a|b|c", "a", "b|c"},  // only the first bar divides
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rf::controls::shortHint(c.hint), c.shortPart) << c.hint;
    EXPECT_EQ(rf::controls::longHint(c.hint), c.longPart) << c.hint;
  }
}

TEST(Hints, ApplyHintLeavesTooltipsOffUnlessAsked) {
  QLineEdit edit;
  rf::controls::applyHint(&edit, "Mark|Reporting mark of the car");
  EXPECT_EQ(edit.statusTip(), "Mark|Reporting mark of the car");
  EXPECT_TRUE(edit.toolTip().isEmpty());
  rf::controls::applyHint(&edit, "Mark|Reporting mark of the car", true);
  EXPECT_EQ(edit.toolTip(), "Mark");
}

// A main window with a status bar and a separate dialog, each with hinted and unhinted controls.
struct Windows {
  QMainWindow main;
  QWidget* panel = new QWidget;
  QLineEdit* mark = new QLineEdit;     // hinted
  QLabel* caption = new QLabel("Mark");  // not hinted, inside the hinted panel
  QDialog dialog;
  QPushButton* ok = new QPushButton("OK", &dialog);
  QPushButton* plain = new QPushButton("Plain", &dialog);

  Windows() {
    auto* layout = new QHBoxLayout(panel);
    layout->addWidget(caption);
    layout->addWidget(mark);
    panel->setStatusTip("Car|The car's marks");
    mark->setStatusTip("Mark|Reporting mark of the car");
    main.setCentralWidget(panel);
    main.statusBar();
    ok->setStatusTip("OK|Keep the choice");
    plain->move(0, 40);
    main.show();
    dialog.show();
  }
};

TEST(HintTracker, FollowsThePointerThroughControlsOfEveryWindow) {
  HintTracker tracker;
  Windows w;
  QSignalSpy spy(&tracker, &HintTracker::hintChanged);

  // Into the main window, its panel, then the edit inside it: Qt enters outer widgets first.
  enter(&w.main);
  EXPECT_EQ(spy.count(), 0);  // the window itself has no hint: nothing changes
  enter(w.panel);
  EXPECT_EQ(tracker.hint(), "The car's marks");
  enter(w.mark);
  EXPECT_EQ(tracker.hint(), "Reporting mark of the car");
  // Qt's own status tip, the raw "Short|Long" text, does not reach the main window's status bar.
  EXPECT_TRUE(w.main.statusBar()->currentMessage().isEmpty());
  // Back out of the edit: the pointer is over the panel again.
  leave(w.mark);
  EXPECT_EQ(tracker.hint(), "The car's marks");
  // A control without a hint shows that of the control around it.
  enter(w.caption);
  EXPECT_EQ(tracker.hint(), "The car's marks");
  // Out of the window altogether: Qt leaves from the innermost widget outwards.
  leave(w.caption);
  leave(w.panel);
  EXPECT_EQ(tracker.hint(), "");
  leave(&w.main);
  EXPECT_EQ(tracker.hint(), "");

  // A dialog's controls are announced too, though Qt's status tips never reach the main window.
  enter(&w.dialog);
  enter(w.ok);
  EXPECT_EQ(tracker.hint(), "Keep the choice");
  leave(w.ok);
  enter(w.plain);
  EXPECT_EQ(tracker.hint(), "");

  // Each change was announced once, with the long part only.
  QStringList seen;
  for (const auto& args : spy) seen << args.at(0).toString();
  EXPECT_EQ(seen, (QStringList{"The car's marks", "Reporting mark of the car", "The car's marks", "", "Keep the choice", ""}));
}

TEST(HintTracker, AStaleLeaveDoesNotClearTheHintOfTheControlEntered) {
  HintTracker tracker;
  Windows w;
  enter(w.ok);
  enter(w.mark);  // entered before the dialog's button was told it was left
  leave(w.ok);
  EXPECT_EQ(tracker.hint(), "Reporting mark of the car");
}

TEST(HintTracker, AControlHiddenOrDeletedUnderThePointerTakesItsHintAlong) {
  HintTracker tracker;
  Windows w;
  enter(w.panel);
  enter(w.mark);
  w.mark->hide();
  EXPECT_EQ(tracker.hint(), "The car's marks");

  enter(w.ok);
  ASSERT_EQ(tracker.hint(), "Keep the choice");
  delete w.ok;
  EXPECT_EQ(tracker.hint(), "");
}

TEST(HintTracker, MenuItemsAnnounceTheirHintWhileHighlighted) {
  Windows w;
  QMenu* file = w.main.menuBar()->addMenu("&File");
  QAction* before = file->addAction("Open");
  before->setStatusTip("Open|Open a data directory");
  HintTracker tracker;  // made after the first item: it finds items that were already there
  QAction* after = file->addAction("Quit");
  after->setStatusTip("Quit the application");
  QAction* bare = file->addAction("About");

  enter(w.mark);
  ASSERT_EQ(tracker.hint(), "Reporting mark of the car");
  file->popup(QPoint(0, 0));
  before->hover();
  EXPECT_EQ(tracker.hint(), "Open a data directory");
  after->hover();
  EXPECT_EQ(tracker.hint(), "Quit the application");
  bare->hover();
  EXPECT_EQ(tracker.hint(), "");
  // The menu closes: the control under the pointer speaks again.
  after->hover();
  file->hide();
  EXPECT_EQ(tracker.hint(), "Reporting mark of the car");

  // Highlighting with the keyboard, as the menu itself does it.
  file->popup(QPoint(0, 0));
  file->setActiveAction(before);
  EXPECT_EQ(tracker.hint(), "Open a data directory");
  QTest::keyClick(file, Qt::Key_Down);
  EXPECT_EQ(file->activeAction(), after);
  EXPECT_EQ(tracker.hint(), "Quit the application");
  QTest::keyClick(file, Qt::Key_Escape);
  EXPECT_FALSE(file->isVisible());
  EXPECT_EQ(tracker.hint(), "Reporting mark of the car");

  // A context menu of the dialog, parented nowhere, is followed as well.
  QMenu context;
  QAction* copy = context.addAction("Copy");
  copy->setStatusTip("Copy|Copy the selection");
  copy->hover();
  EXPECT_EQ(tracker.hint(), "Copy the selection");
  // The pointer moving onto a control ends the item's hint.
  enter(w.ok);
  EXPECT_EQ(tracker.hint(), "Keep the choice");
}

TEST(HintTracker, TheNavigatorsButtonsSpeakWithoutTooltips) {
  HintTracker tracker;
  rf::controls::RecordNavigator nav;
  nav.show();
  QWidget* next = nav.button(rf::controls::NavButton::Next);
  ASSERT_NE(next, nullptr);
  enter(&nav);
  enter(next);
  EXPECT_EQ(tracker.hint(), "Move to next record");
  EXPECT_TRUE(next->toolTip().isEmpty());
  // The strip rebuilt under the pointer: the deleted button's hint goes.
  nav.setButtons({rf::controls::NavButton::First});
  EXPECT_EQ(tracker.hint(), "");
}

}  // namespace

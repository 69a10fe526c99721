// The running application: the screens made at start-up, the main window's menus, toolbar and
// status line, the Edit menu's clipboard commands, the about box, help, and closing.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "app/about_box.h"
#include "app/application.h"
#include "app/main_window.h"
#include "app/pending_changes.h"
#include "app_fixture.h"
#include "controls/command_runner.h"
#include "controls/hint_tracker.h"
#include "data/data_module.h"
#include "inventory/fm_inven_brw.h"
#include "inventory/fm_inven_edit.h"
#include "lookups/fm_trucks.h"

using rf::app::Application;
using rf::testing::Collection;

namespace {

QAction* item(rf::app::Tmain& m, const char* name) { return m.findChild<QAction*>(QString::fromLatin1(name)); }

TEST(MainWindow, MenusInOrderWithTheirCaptionsShortcutsAndHints) {
  Collection c;
  Application app(c.engine());
  auto& m = app.main();
  EXPECT_EQ(m.windowTitle(), "Railfolio Version 6.5");
  QStringList titles;
  for (QAction* a : m.menuBar()->actions())
    if (a->isVisible()) titles << a->text();
  // The reports menu joins once the reports exist.
  EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Help"}));

  QStringList file;
  for (QAction* a : m.fileMenu()->actions()) file << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
  EXPECT_EQ(file.join(' '),
            "ModelRailroadInventory1 - Abb1 cat1 CouplerLookupTable1 class1 cond1 mfgr1 scale1 "
            "StorageLocationLookupTable1 TruckLookuptable1 HobbyShops1 - Prefrences1 - DeleteRecords1 - FileExitItem");

  struct Case {
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    const char* hint;
  };
  for (const Case& k : {Case{"FileExitItem", "E&xit", {}, "Exit|Exit application"},
                        Case{"CutItem", "Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X),
                             "Cut|Cuts the selection and puts it on the Clipboard"},
                        Case{"CopyItem", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C),
                             "Copy|Copies the selection and puts it on the Clipboard"},
                        Case{"PasteItem", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), "Paste|Inserts Clipboard contents"},
                        Case{"HelpAboutItem", "&About...", {},
                             "About|Displays program information, version number, and copyright"},
                        Case{"Contents1", "&Contents", {}, ""}, Case{"Prefrences1", "&Preferences", {}, ""},
                        Case{"DeleteRecords1", "Delete Records", {}, ""}}) {
    SCOPED_TRACE(k.name);
    QAction* a = item(m, k.name);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(), k.caption);
    EXPECT_EQ(a->shortcut(), k.shortcut);
    EXPECT_EQ(a->statusTip(), k.hint);
  }
  // Pictures: the door on E&xit, none on Delete Records.
  EXPECT_FALSE(item(m, "FileExitItem")->icon().isNull());
  EXPECT_TRUE(item(m, "DeleteRecords1")->icon().isNull());
  EXPECT_FALSE(item(m, "FileExitItem")->icon().pixmap(64, 64).isNull()) << "the SVG pictures draw";
}

TEST(MainWindow, StatusLineShowsTheLongPartOfTheHighlightedItem) {
  Collection c;
  Application app(c.engine());
  rf::controls::HintTracker hints;
  QObject::connect(&hints, &rf::controls::HintTracker::hintChanged, &app.main(), &rf::app::Tmain::showHint);
  app.main().show();
  item(app.main(), "FileExitItem")->hover();
  EXPECT_EQ(app.main().statusBar()->currentMessage(), "Exit application");
}

TEST(MainWindow, ToolbarHasItsPictureButtons) {
  Collection c;
  Application app(c.engine());
  app.main().show();
  QStringList shown;
  for (auto* b : app.main().findChildren<QToolButton*>())
    if (b->isVisible() && b->parentWidget()->objectName() == "ToolBar") shown << b->objectName();
  // The report manager's button comes with the report manager.
  EXPECT_EQ(shown, (QStringList{"tbClose", "tbInvenBrw", "tbHelp"}));
  auto* inv = app.main().toolButton("tbInvenBrw");
  EXPECT_EQ(inv->size(), QSize(40, 40));
  EXPECT_TRUE(inv->text().isEmpty());
  EXPECT_TRUE(inv->toolTip().isEmpty());
}

TEST(MainWindow, ShowingTheBrowseScreenAgainBringsTheSameOneToTheFront) {
  Collection c;
  Application app(c.engine());
  app.main().show();
  EXPECT_FALSE(app.fmInvenBrw().isVisible()) << "only the main window shows at start";
  item(app.main(), "ModelRailroadInventory1")->trigger();
  ASSERT_TRUE(app.fmInvenBrw().isVisible());
  QTest::mouseClick(app.main().toolButton("tbInvenBrw"), Qt::LeftButton);
  EXPECT_TRUE(app.fmInvenBrw().isVisible());
  EXPECT_EQ(QApplication::topLevelWidgets().count(&app.fmInvenBrw()), 1);
}

TEST(MainWindow, EditScreenComesFromTheBrowseScreenAndShowsTheLookupScreens) {
  Collection c;
  Application app(c.engine());
  app.main().show();
  EXPECT_FALSE(app.fmInvenEdit().isVisible());
  app.fmInvenBrw().wwDBNavigator1EdScnClick();
  ASSERT_TRUE(app.fmInvenEdit().isVisible());
  EXPECT_EQ(app.fmInvenEdit().windowTitle(), "Model Railroad Inventory Edit");
  auto* trucks = app.fmInvenEdit().findChild<QAbstractButton*>("btnTrucks");
  ASSERT_NE(trucks, nullptr);
  QTest::mouseClick(trucks, Qt::LeftButton);
  EXPECT_TRUE(app.fmTrucks().isVisible());
}

TEST(MainWindow, ClipboardCommandsActOnTheFocusedTextControl) {
  Collection c;
  Application app(c.engine());
  auto& m = app.main();
  m.show();
  QWidget other;
  auto* edit = new QLineEdit(&other);
  other.show();
  QApplication::setActiveWindow(&other);
  QApplication::clipboard()->clear();
  edit->setFocus();
  QApplication::processEvents();
  QAction* cut = item(m, "CutItem");
  QAction* copy = item(m, "CopyItem");
  QAction* paste = item(m, "PasteItem");
  EXPECT_FALSE(cut->isEnabled());
  EXPECT_FALSE(paste->isEnabled());
  edit->setText("Big Boy");
  edit->setSelection(0, 3);
  EXPECT_TRUE(cut->isEnabled());
  EXPECT_TRUE(copy->isEnabled());
  cut->trigger();
  EXPECT_EQ(edit->text(), " Boy");
  EXPECT_EQ(QApplication::clipboard()->text(), "Big");
  EXPECT_TRUE(paste->isEnabled());
  edit->end(false);
  paste->trigger();
  EXPECT_EQ(edit->text(), " BoyBig");
  // With no text control focused, none of them has a target.
  auto* button = new QToolButton(&other);
  button->setFocusPolicy(Qt::StrongFocus);
  button->show();
  button->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(paste->isEnabled());
  paste->trigger();
  EXPECT_EQ(edit->text(), " BoyBig");
}

TEST(MainWindow, AboutBoxClosesOnEnter) {
  Collection c;
  Application app(c.engine());
  auto& about = app.FM_ABOUT();
  EXPECT_EQ(about.windowTitle(), "Railfolio About");
  QStringList lines;
  for (auto* l : about.findChildren<QLabel*>()) lines << l->text();
  EXPECT_TRUE(lines.contains("Railfolio [tm] v6.5"));
  about.show();
  QApplication::setActiveWindow(&about);
  QTest::keyClick(&about, Qt::Key_Return);
  EXPECT_FALSE(about.isVisible());
}

TEST(MainWindow, ClosingAsksOnlyWhenAChangeIsPending) {
  struct Case {
    rf::app::PendingAnswer answer;
    bool closes;
    const char* stored;  // the name in the file afterwards
  };
  for (const Case& k : {Case{rf::app::PendingAnswer::Save, true, "Saved Name"},
                        Case{rf::app::PendingAnswer::Discard, true, ""},
                        Case{rf::app::PendingAnswer::Keep, false, ""}}) {
    Collection c;
    Application app(c.engine());
    auto& options = app.dmMain().tbOptions();
    int asked = 0;
    auto ask = [&](QWidget*) {
      ++asked;
      return k.answer;
    };
    EXPECT_TRUE(rf::app::resolvePendingChanges(&app.main(), app.tables(), ask));
    EXPECT_EQ(asked, 0) << "nothing pending: no question";
    options.edit();
    options.field("NAME").setText("Saved Name");
    EXPECT_EQ(rf::app::resolvePendingChanges(&app.main(), app.tables(), ask), k.closes);
    EXPECT_EQ(asked, 1);
    auto engine = c.otherEngine();
    rf::tables::OpenRequest r;
    r.name = "OPTIONS.DBF";
    r.alias = "rf";
    auto t = engine->open(r);
    auto cur = t->openCursor();
    ASSERT_TRUE(cur->first());
    EXPECT_EQ(t->get(cur->record(), "NAME").asText(), k.stored);
  }
}

TEST(ErrorBox, FullStopRule) {
  struct Case {
    const char* message;
    const char* shown;
  };
  for (const Case& k : {Case{"Disk full", "Disk full."}, Case{"Disk full.", "Disk full."},
                        Case{"Key violation (Inven.DB)", "Key violation (Inven.DB)"}, Case{"Record 12", "Record 12."},
                        Case{"", ""}}) {
    EXPECT_EQ(rf::controls::errorBoxText(QString::fromLatin1(k.message)), QString::fromLatin1(k.shown)) << k.message;
  }
}

}  // namespace

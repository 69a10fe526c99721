// The thirteen lookup screens as the running application made them: caption, table, grid
// columns, record view, row order, the navigator strip, the File menu items and showing.
#include <QApplication>
#include <QEnterEvent>
#include <QHeaderView>
#include <QStatusBar>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <algorithm>

#include "app/main_window.h"
#include "controls/hint_tracker.h"
#include "data/data_module.h"
#include "tests/lookups/lookup_support.h"

using rf::controls::ColumnList;
using rf::controls::NavButton;
using rf::testing::LookupApp;
using rf::testing::nextTabStop;

namespace {

struct Screen {
  const char* name;
  const char* caption;
  const char* table;
  ColumnList grid;
  ColumnList recordView;  // empty: as the grid
};

const std::vector<Screen>& screens() {
  static const std::vector<Screen> all = {
      {"fmAbbrev", "Railroad Abbreviation (REPMK) Lookup Table", "tbAbbrev",
       {{"I_REPMK", 7, "Repmk"}, {"ABDESC", 52, "Railroad"}},
       {{"I_REPMK", 7, "Reporting Mark"}, {"ABDESC", 52, "Railroad"}}},
      {"fmClass", "Classification Code Lookup Table", "tbClass",
       {{"I_CLASS", 8, "Class:"}, {"CLASSDESC", 40, "Description:"}, {"CARSTYLE", 15, "Car Style:"}}, {}},
      {"fmCond", "Condition Code Lookup Table", "tbCond", {{"I_COND", 12, "Condition:"}, {"CONDESC", 40, "Description:"}}, {}},
      {"fmCat", "Category Code Lookup Table", "tbInvCat", {{"I_CAT", 8, "Category:"}, {"CATDESC", 40, "Description:"}}, {}},
      {"fmMfgr", "Manufacturer Lookup Table", "tbMfgr",
       {{"I_MFGR", 15, "Manufacturer:"}, {"MFNAME", 40, "Name:"}, {"MFADDR1", 30, "Address 1"}, {"MFADDR2", 30, "Address 2"},
        {"MFCITY", 25, "City:"}, {"MFSTATE", 10, "State:"}, {"MFZIP", 10, "Zip:"}, {"COUNTRY", 20, "Country:"},
        {"MFPHONE", 16, "Phone:"}, {"FAX", 16, "Fax:"}, {"EMAIL", 50, "Email:"}, {"MFWID", 10, "Walthers ID:"}},
       {}},
      {"fmScale", "Scale Lookup Table", "tbScale", {{"I_SCALE", 4, "Scale:"}, {"SCDESC", 40, "Description:"}}, {}},
      {"fmSloc", "Storage Location Lookup Table", "tbSloc", {{"I_SLOC", 10, "Location:"}, {"LOCATION", 40, "Description:"}}, {}},
      {"fmIndustry", "Industries", "tbIndustry",
       {{"LOCATION", 30, "Industry"}, {"CITY", 25, "City"}, {"STATE", 2, "State"}, {"CARCAP", 10, "Car Capacity"},
        {"LOCTYPE", 10, "Type"}, {"DIRECTION", 10, "Direction"}},
       {}},
      {"fmTowns", "Towns", "tbTowns",
       {{"CITY", 25, "City"}, {"STATE", 2, "State"}, {"ABCODE", 3, "Location Code"}, {"DIVISION", 15, "Division"}}, {}},
      {"fmProducts", "Products", "tbProducts", {{"LADING", 30, "Lading"}, {"CARTYPE", 10, "Car Type"}, {"COMMENTS", 10, "Comments"}}, {}},
      {"fmCouplers", "Coupler Code Lookup Table", "tbCouplers", {{"I_COUPLER", 12, "Coupler"}, {"I_COUPDESC", 35, "Description"}}, {}},
      {"fmTrucks", "Truck Code Lookup Table", "tbTrucks", {{"I_TRUCKS", 10, "Truck Code"}, {"I_TRKDESC", 30, "Description"}}, {}},
      {"fmShops", "Hobby Shops", "tbShops",
       {{"R_NAME", 40, "Shop Name"}, {"R_ADDR1", 40, "Address"}, {"R_ADDR2", 40, "Address"}, {"R_CITY", 30, "City"},
        {"R_STATE", 10, "State"}, {"R_ZIP", 10, "Zip"}, {"R_COUNTRY", 20, "Country"}, {"R_PHONE1", 14, "Pri Phone"},
        {"R_PHONE2", 14, "Sec Phone"}, {"R_FAX", 14, "Fax"}, {"R_EMAIL", 50, "Email"}, {"R_OWNER", 30, "Owner"},
        {"R_NMRA", 1, "NMRA"}, {"R_HOURS", 56, "Hours"}, {"R_MISC", 56, "Misc"}},
       {{"R_NAME", 40, "Shop Name"}, {"R_ADDR1", 40, "Address "}, {"R_ADDR2", 40, "Address"}, {"R_CITY", 30, "City"},
        {"R_STATE", 10, "State"}, {"R_ZIP", 10, "Zip"}, {"R_COUNTRY", 20, "Country"}, {"R_PHONE1", 14, "Pri Phone"},
        {"R_PHONE2", 14, "Sec Phone"}, {"R_FAX", 14, "Fax"}, {"R_EMAIL", 50, "Email"}, {"R_OWNER", 30, "Owner"},
        {"R_NMRA", 1, "NMRA"}, {"R_HOURS", 56, "Hours"}, {"R_MISC", 56, "Misc"}}},
  };
  return all;
}

class LookupScreens : public LookupApp {};


TEST_F(LookupScreens, EachShowsItsTableWithItsColumnsRecordViewAndOrder) {
  QStringList created;
  for (auto* s : app->lookupScreens()) created << s->objectName();
  // The order of creation: seven before the browse screen, five after the about box, shops last.
  EXPECT_EQ(created.join(' '),
            "fmAbbrev fmClass fmCond fmCat fmMfgr fmScale fmSloc fmIndustry fmTowns fmProducts fmCouplers fmTrucks fmShops");

  for (const Screen& k : screens()) {
    SCOPED_TRACE(k.name);
    rf::lookups::Tlookup& s = screen(QString::fromLatin1(k.name));
    EXPECT_FALSE(s.isVisible()) << "hidden until first shown";
    EXPECT_EQ(s.windowTitle(), k.caption);
    // The data module's own table object, not a copy.
    EXPECT_EQ(&s.table(), &app->dmMain().table(QString::fromLatin1(k.table)));
    EXPECT_EQ(s.grid()->dataSource()->dataset(), &s.table());
    EXPECT_EQ(s.navigator()->dataSource()->dataset(), &s.table());

    QAbstractItemModel* model = s.grid()->model();
    ASSERT_EQ(model->columnCount(), static_cast<int>(k.grid.size()));
    for (int c = 0; c < model->columnCount(); ++c) {
      EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), k.grid[c].title);
      // A column narrower than the header allows keeps the header's least width.
      EXPECT_EQ(s.grid()->columnWidth(c),
                std::max(s.grid()->columnPixels(k.grid[c].width), s.grid()->horizontalHeader()->minimumSectionSize()))
          << k.grid[c].field.toStdString();
    }
    // Every field of the table has its column.
    EXPECT_EQ(s.table().fields().size(), k.grid.size());

    const ColumnList& view = k.recordView.empty() ? k.grid : k.recordView;
    rf::controls::RecordViewPanel* panel = s.recordView();
    const QList<QWidget*> editors = panel->editors();
    ASSERT_EQ(editors.size(), static_cast<qsizetype>(view.size()));
    for (std::size_t i = 0; i < view.size(); ++i) {
      ASSERT_NE(panel->label(view[i].field), nullptr) << view[i].field.toStdString();
      EXPECT_EQ(panel->label(view[i].field)->text(), view[i].title);
      EXPECT_EQ(panel->editor(view[i].field), editors[static_cast<qsizetype>(i)]) << "listed in order";
      EXPECT_GE(editors[static_cast<qsizetype>(i)]->width(), panel->widthForChars(view[i].width));
    }

    // The grid lists the rows in the table's order, as another program reads them.
    EXPECT_EQ(shown(s, 0), stored(QString::fromLatin1(k.table), k.grid[0].field));
  }
}

TEST_F(LookupScreens, NavigatorHasElevenButtonsWithHintsAndNoTooltips) {
  for (auto* s : app->lookupScreens()) {
    SCOPED_TRACE(s->objectName().toStdString());
    rf::controls::RecordNavigator* nav = s->findChild<rf::controls::RecordNavigator*>("wwDBNavigator1");
    ASSERT_EQ(nav, s->navigator());
    const std::vector<NavButton> expected = {NavButton::First, NavButton::Prior,  NavButton::Next,    NavButton::Last,
                                             NavButton::Insert, NavButton::Edit,  NavButton::Cancel,  NavButton::Delete,
                                             NavButton::Post,  NavButton::Refresh, NavButton::Close};
    EXPECT_EQ(nav->buttons(), expected);
    for (NavButton b : expected) {
      QToolButton* w = nav->button(b);
      EXPECT_EQ(w->statusTip(), rf::controls::navButtonHint(b));
      EXPECT_TRUE(w->toolTip().isEmpty());
      EXPECT_EQ(w->size(), QSize(33, 33));
    }
    EXPECT_FALSE(nav->button(NavButton::Close)->icon().isNull());
  }
  EXPECT_EQ(rf::controls::navButtonHint(NavButton::Close), "Close this screen");
}

TEST_F(LookupScreens, TheButtonUnderThePointerShowsItsHintInTheStatusLine) {
  rf::controls::HintTracker hints;
  QObject::connect(&hints, &rf::controls::HintTracker::hintChanged, &app->main(), &rf::app::Tmain::showHint);
  auto& s = open("fmTowns");
  for (NavButton b : {NavButton::Next, NavButton::Delete, NavButton::Close}) {
    QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(s.navigator()->button(b), &e);
    EXPECT_EQ(app->main().statusBar()->currentMessage(), rf::controls::navButtonHint(b));
  }
}

TEST_F(LookupScreens, ButtonsFollowTheTableState) {
  auto& s = open("fmScale");
  auto* nav = s.navigator();
  auto on = [nav](NavButton b) { return nav->button(b)->isEnabled(); };
  auto press = [nav](NavButton b) { QTest::mouseClick(nav->button(b), Qt::LeftButton); };
  // The dataset tells the start and the end once a move found nothing beyond them.
  press(NavButton::First);
  press(NavButton::Prior);
  EXPECT_FALSE(on(NavButton::First));
  EXPECT_FALSE(on(NavButton::Prior));
  EXPECT_TRUE(on(NavButton::Next));
  EXPECT_TRUE(on(NavButton::Insert));
  EXPECT_TRUE(on(NavButton::Edit));
  EXPECT_TRUE(on(NavButton::Delete));
  EXPECT_TRUE(on(NavButton::Refresh));
  EXPECT_FALSE(on(NavButton::Post));
  EXPECT_FALSE(on(NavButton::Cancel));
  press(NavButton::Last);
  press(NavButton::Next);
  EXPECT_TRUE(on(NavButton::First));
  EXPECT_FALSE(on(NavButton::Next));
  EXPECT_FALSE(on(NavButton::Last));
  press(NavButton::Edit);
  EXPECT_FALSE(on(NavButton::Edit));
  EXPECT_TRUE(on(NavButton::Post));
  EXPECT_TRUE(on(NavButton::Cancel));
  EXPECT_TRUE(on(NavButton::Insert));
  EXPECT_TRUE(on(NavButton::Close));
  press(NavButton::Cancel);
  EXPECT_TRUE(on(NavButton::Edit));
  EXPECT_FALSE(on(NavButton::Post));
}

TEST_F(LookupScreens, FileMenuShowsEachScreenOnceAndBringsItToTheFront) {
  rf::app::Tmain& m = app->main();
  QStringList file;
  for (QAction* a : m.fileMenu()->actions()) file << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
  EXPECT_EQ(file.join(' '),
            "ModelRailroadInventory1 - Abb1 cat1 CouplerLookupTable1 class1 cond1 mfgr1 scale1 "
            "StorageLocationLookupTable1 TruckLookuptable1 HobbyShops1 - Prefrences1 - DeleteRecords1 - FileExitItem");
  struct Item {
    const char* action;
    const char* caption;
    const char* screen;
  };
  for (const Item& k : {Item{"Abb1", "Railroad Abbrevation Lookup", "fmAbbrev"}, Item{"cat1", "Category Lookup Table", "fmCat"},
                        Item{"CouplerLookupTable1", "Coupler Lookup Table", "fmCouplers"},
                        Item{"class1", "Class Lookup Table", "fmClass"}, Item{"cond1", "Condition Lookup Table", "fmCond"},
                        Item{"mfgr1", "Manufacturer Lookup Table", "fmMfgr"}, Item{"scale1", "Scale Lookup Table", "fmScale"},
                        Item{"StorageLocationLookupTable1", "Storage Location Lookup Table", "fmSloc"},
                        Item{"TruckLookuptable1", "Truck Lookup table", "fmTrucks"}, Item{"HobbyShops1", "Hobby Shops", "fmShops"}}) {
    SCOPED_TRACE(k.action);
    QAction* a = m.findChild<QAction*>(QString::fromLatin1(k.action));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(), k.caption);
    EXPECT_EQ(a->icon().isNull(), QString::fromLatin1(k.action) == "HobbyShops1") << "open folder but on Hobby Shops";
    auto& s = screen(QString::fromLatin1(k.screen));
    a->trigger();
    EXPECT_TRUE(s.isVisible());
    a->trigger();
    EXPECT_EQ(QApplication::topLevelWidgets().count(&s), 1);
    EXPECT_TRUE(s.isVisible());
  }
  // Industries, towns and products are reached from the edit screen only.
  EXPECT_FALSE(screen("fmIndustry").isVisible());
  EXPECT_FALSE(screen("fmTowns").isVisible());
  EXPECT_FALSE(screen("fmProducts").isVisible());
}

TEST_F(LookupScreens, LayoutNavigatorRecordViewGridAndTabOrder) {
  for (auto* s : app->lookupScreens()) {
    SCOPED_TRACE(s->objectName().toStdString());
    rf::app::Application::showModeless(s);
    QApplication::processEvents();
    const int nav = s->navigator()->parentWidget()->geometry().bottom();
    const QRect view = s->recordView()->geometry();
    const QRect grid = s->grid()->geometry();
    EXPECT_LE(nav, view.top());
    EXPECT_LE(view.bottom(), grid.top()) << "record view above the grid";
    EXPECT_GT(grid.height(), 60);
    // Tab from the grid goes to the record view's first field.
    EXPECT_EQ(nextTabStop(s->grid()), s->recordView()->editors().front());
    s->close();
  }
  EXPECT_EQ(screen("fmShops").grid()->height(), 254);
  EXPECT_EQ(screen("fmIndustry").recordView()->height(), 185);
  EXPECT_EQ(screen("fmScale").recordView()->height(), 121);
}

}  // namespace

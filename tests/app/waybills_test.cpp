// Waybills and the car card page, driven through the edit screen's pages on a collection of three
// cars; what they write is read back from the files with an engine of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <algorithm>

#include "app_fixture.h"
#include "controls/command_runner.h"
#include "controls/db_check_box.h"
#include "controls/db_edit.h"
#include "controls/db_grid.h"
#include "controls/db_memo.h"
#include "controls/lookup_combo_box.h"
#include "controls/lookup_dialog.h"
#include "controls/navigator_button.h"
#include "controls/record_navigator.h"
#include "data/data_module.h"
#include "data/table_catalogue.h"
#include "data/table_opener.h"
#include "inventory/fm_inven_brw.h"
#include "inventory/fm_inven_edit.h"
#include "operations/car_cards_page.h"
#include "operations/waybill_rules.h"
#include "operations/waybills_page.h"

using rf::controls::NavButton;
using rf::data::TdmMain;
using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::inventory::TfmInvenBrw;
using rf::inventory::TfmInvenEdit;
using rf::operations::WaybillsPage;
using rf::testing::Collection;
using rf::testing::whenModal;

namespace {

struct Car {
  const char* repmk;
  const char* repno;
  bool print;
};

// Asset numbers 1-3; the second car is marked for the car cards run, the others are not.
const Car kCars[] = {{"SP", "4449", false}, {"ATSF", "3751", true}, {"CBQ", "62011", false}};

// One stored waybill as another program reads it.
struct StoredWaybill {
  double number;
  double asset;
  QString repmk, repno, recLoc, shpLoc, receiver;
  bool empty, print;
};

class Waybills : public ::testing::Test {
 protected:
  void SetUp() override {
    rf::controls::setErrorPresenter([this](QWidget*, const QString& t) { errors << t; });
    dm = std::make_unique<TdmMain>(c.engine());
    b = std::make_unique<TfmInvenBrw>(*dm);
    for (const Car& car : kCars) {
      inv().insert();
      inv().edit();
      inv().field("I_REPMK").setText(car.repmk);
      inv().field("I_REPNO").setText(car.repno);
      inv().field("W_Print").setLogical(car.print);
      inv().post();
    }
    b->reloadGrid();
    inv().first();
    e = std::make_unique<TfmInvenEdit>(*b, *dm);
    e->setShowScreen([this](const QString& name) { shown << name; });
    e->pages().setCurrentWidget(&e->waybills());
    e->show();
    e->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(e.get()));
  }
  void TearDown() override {
    e.reset();
    b.reset();
    rf::controls::setErrorPresenter({});
  }

  Dataset& inv() { return b->tbInven(); }
  Dataset& way() { return b->tbWaybill(); }
  WaybillsPage& page() { return e->waybills(); }
  void press(NavButton which) { QTest::mouseClick(page().navigator()->button(which), Qt::LeftButton); }
  bool toCar(double asset) { return inv().findKey(QString::number(asset)); }
  double counter() {
    auto other = c.otherEngine();
    Dataset options;
    rf::data::openTable(options, *other, rf::data::catalogueEntry("tbOptions"));
    return options.field("NEXTWAYB").asNumber();
  }
  // Every waybill in the file, by waybill number.
  std::vector<StoredWaybill> stored() {
    auto other = c.otherEngine();
    Dataset ds;
    rf::data::openTable(ds, *other, rf::data::catalogueEntry("tbWaybill"));
    std::vector<StoredWaybill> all;
    for (bool on = ds.first(); on; on = ds.next()) {
      all.push_back({ds.field("Wayb_No").asNumber(), ds.field("Asset_no").asNumber(), ds.field("Repmk").asText(),
                     ds.field("Repno").asText(), ds.field("Rec_Loc").asText(), ds.field("Shp_loc").asText(),
                     ds.field("Receiver").asText(), ds.field("Empty").asLogical(),
                     ds.field("PrintWaybill").asLogical()});
    }
    std::sort(all.begin(), all.end(), [](const auto& x, const auto& y) { return x.number < y.number; });
    return all;
  }
  // The waybill numbers the page's grid lists, top to bottom.
  std::vector<double> listed() {
    std::vector<double> numbers;
    auto* model = page().grid()->model();
    for (int row = 0; row < model->rowCount(); ++row) numbers.push_back(model->index(row, 0).data().toDouble());
    return numbers;
  }
  // Opens the pick list of `combo` and picks the row `code`, or cancels it with an empty code.
  void pick(rf::controls::LookupComboBox* combo, const QString& code) {
    whenModal([code](QWidget* w) {
      auto* dialog = qobject_cast<rf::controls::LookupDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Lookup");
      if (code.isEmpty()) {
        dialog->reject();
        return;
      }
      EXPECT_TRUE(dialog->locate(code)) << code.toStdString();
      dialog->accept();
    });
    QTest::mouseClick(combo->button(), Qt::LeftButton);
  }

  Collection c;
  std::unique_ptr<TdmMain> dm;
  std::unique_ptr<TfmInvenBrw> b;
  std::unique_ptr<TfmInvenEdit> e;
  QStringList errors;
  QStringList shown;
};

TEST_F(Waybills, PagesControlsAndTabOrder) {
  QTabWidget& pages = e->pages();
  EXPECT_EQ(pages.tabText(pages.indexOf(&e->carCards())), " Car Cards ");
  EXPECT_EQ(pages.tabText(pages.indexOf(&e->waybills())), " Waybills ");

  auto& cards = e->carCards();
  EXPECT_EQ(cards.printMark()->text(), "Print Car Cards and Waybills");
  EXPECT_TRUE(cards.printMark()->captionLeft());
  EXPECT_EQ(cards.printMark()->field()->name(), "W_Print");
  auto* yardLabel = qobject_cast<QLabel*>(cards.findChild<QLabel*>());
  ASSERT_NE(yardLabel, nullptr);
  EXPECT_EQ(yardLabel->text(), "Home Yard Location:");
  EXPECT_EQ(yardLabel->buddy(), cards.homeYard());
  EXPECT_EQ(cards.tabChain(), (QList<QWidget*>{cards.printMark(), cards.homeYard()}));

  auto* group = page().findChild<QGroupBox*>(QStringLiteral("grpWaybill"));
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->title(), " Waybill ");
  rf::controls::RecordNavigator* nav = page().navigator();
  const std::vector<NavButton> buttons = {NavButton::First,  NavButton::Prior,  NavButton::Next, NavButton::Last,
                                          NavButton::Insert, NavButton::Delete, NavButton::Edit, NavButton::Post,
                                          NavButton::Cancel, NavButton::Refresh};
  EXPECT_EQ(nav->buttons(), buttons);
  for (NavButton bt : buttons) {
    EXPECT_EQ(nav->button(bt)->size(), QSize(25, 25));
    EXPECT_EQ(nav->button(bt)->toolTip(), rf::controls::navButtonHint(bt)) << "tooltips on this page";
  }
  EXPECT_EQ(nav->dataSource(), &b->dsWaybill());

  const QStringList titles = {"WAYB_NO",  "RECEIVER", "SHIPPER", "LADING",  "EMPTY",
                              "VIAROUTE", "CARINST",  "Rec_Loc", "Shp_loc", "PrintWaybill"};
  auto* model = page().grid()->model();
  ASSERT_EQ(model->columnCount(), titles.size());
  for (int col = 0; col < titles.size(); ++col)
    EXPECT_EQ(model->headerData(col, Qt::Horizontal).toString(), titles[col]);
  EXPECT_EQ(page().grid()->columnWidth(1), page().grid()->columnPixels(30));

  // Each field's label, in the page's tab order after the grid.
  const std::vector<std::pair<QWidget*, QString>> labelled = {
      {page().waybillNo(), "Waybill No:"}, {page().receiver(), "Reveiver:"}, {page().lading(), "Lading:"},
      {page().routing(), "Routing:"},      {page().shipper(), "Shipper:"}};
  for (const auto& [control, text] : labelled) {
    bool found = false;
    for (QLabel* l : group->findChildren<QLabel*>())
      if (l->buddy() == control || l->buddy() == control->focusProxy()) found = l->text() == text;
    EXPECT_TRUE(found) << text.toStdString();
  }
  EXPECT_FALSE(page().instructions()->wordWrap());
  EXPECT_EQ(page().receiver()->lookupDataset(), &dm->table("tbIndustry"));
  EXPECT_EQ(page().lading()->lookupDataset(), &dm->table("tbProducts"));
  EXPECT_EQ(page().shipper()->columns().at(0).title, "Industry");
  QList<QWidget*> chain = {page().grid(),   page().instructions(), page().waybillNo(), page().receiver(),
                           page().lading(), page().routing(),      page().shipper()};
  for (const auto& button : WaybillsPage::screenButtons())
    chain << page().findChild<QPushButton*>(QString::fromLatin1(button.objectName));
  EXPECT_EQ(page().tabChain(), chain);

  // The buttons under the group show their screens.
  for (const auto& button : WaybillsPage::screenButtons()) {
    auto* w = page().findChild<QPushButton*>(QString::fromLatin1(button.objectName));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->text(), QString::fromLatin1(button.caption));
    EXPECT_EQ(w->size(), QSize(106, 25));
    QTest::mouseClick(w, Qt::LeftButton);
  }
  EXPECT_EQ(shown, (QStringList{"fmIndustry", "fmProducts", "fmTowns"}));
}

TEST_F(Waybills, PrintMarkAndHomeYardAreStoredOnTheCar) {
  auto& cards = e->carCards();
  e->pages().setCurrentWidget(&cards);
  ASSERT_TRUE(toCar(1));
  EXPECT_FALSE(cards.printMark()->isChecked());
  QTest::mouseClick(cards.printMark(), Qt::LeftButton);
  EXPECT_EQ(inv().state(), DatasetState::Edit);
  cards.homeYard()->setFocus();
  QTest::keyClicks(cards.homeYard(), "Barstow Yard");
  inv().post();
  ASSERT_TRUE(toCar(2));
  EXPECT_TRUE(cards.printMark()->isChecked());
  QTest::mouseClick(cards.printMark(), Qt::LeftButton);
  inv().post();

  auto other = c.otherEngine();
  Dataset stored;
  rf::data::openTable(stored, *other, rf::data::catalogueEntry("tbInven"));
  ASSERT_TRUE(stored.findKey(QStringLiteral("1")));
  EXPECT_TRUE(stored.field("W_Print").asLogical());
  EXPECT_EQ(stored.field("W_HomeYard").asText(), "Barstow Yard");
  ASSERT_TRUE(stored.findKey(QStringLiteral("2")));
  EXPECT_FALSE(stored.field("W_Print").asLogical());
  EXPECT_FALSE(stored.field("W_Print").isNull()) << "cleared stores false";
}

TEST_F(Waybills, NewWaybillsAreNumberedAcrossCarsMarkedAndStoredAtOnce) {
  const double before = counter();
  // Two for the first car from the navigator, one for the second (marked for the car cards
  // run) from the grid's Insert key, one more for the first: numbers are shared by all cars.
  ASSERT_TRUE(toCar(1));
  press(NavButton::Insert);
  EXPECT_EQ(way().state(), DatasetState::Browse) << "stored before anything is typed";
  press(NavButton::Cancel);  // nothing to undo
  press(NavButton::Insert);
  ASSERT_TRUE(toCar(2));
  EXPECT_TRUE(listed().empty());
  page().grid()->setFocus();
  QTest::keyClick(page().grid(), Qt::Key_Insert);
  EXPECT_EQ(way().state(), DatasetState::Browse);
  EXPECT_EQ(listed(), (std::vector<double>{before + 3}));
  ASSERT_TRUE(toCar(1));
  press(NavButton::Insert);
  EXPECT_EQ(listed(), (std::vector<double>{before + 1, before + 2, before + 4}));
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

  EXPECT_EQ(counter(), before + 4);
  const auto all = stored();
  ASSERT_EQ(all.size(), 4u);
  const double cars[] = {1, 1, 2, 1};
  for (std::size_t i = 0; i < all.size(); ++i) {
    const StoredWaybill& w = all[i];
    EXPECT_EQ(w.number, before + 1 + static_cast<double>(i));
    EXPECT_EQ(w.asset, cars[i]);
    const Car& car = kCars[static_cast<int>(cars[i]) - 1];
    EXPECT_EQ(w.repmk, QString::fromLatin1(car.repmk));
    EXPECT_EQ(w.repno, QString::fromLatin1(car.repno));
    EXPECT_FALSE(w.empty);
    EXPECT_TRUE(w.print) << "whatever the car's own mark";
  }
}

TEST_F(Waybills, OverwrittenNumberMovesTheWaybillAndTheCarKeepsNoLinkToChanges) {
  ASSERT_TRUE(toCar(1));
  for (int i = 0; i < 3; ++i) press(NavButton::Insert);  // 1, 2, 3
  ASSERT_TRUE(way().first());
  page().waybillNo()->setFocus();
  page().waybillNo()->selectAll();
  QTest::keyClicks(page().waybillNo(), "10");
  press(NavButton::Post);
  QCoreApplication::processEvents();  // the grid reads its rows afresh once the post is over
  EXPECT_EQ(listed(), (std::vector<double>{2, 3, 10}));
  EXPECT_EQ(way().field("Wayb_No").asNumber(), 10) << "the saved waybill stays current";

  // A new mark and number on the car leave its waybills' copies as they were.
  inv().edit();
  inv().field("I_REPMK").setText("UP");
  inv().field("I_REPNO").setText("844");
  inv().post();
  // Another asset number separates the car from its waybills.
  inv().edit();
  inv().field("I_ASSET").setNumber(40);
  inv().post();
  EXPECT_TRUE(way().isEmpty());
  EXPECT_TRUE(listed().empty());
  // Deleting the second car leaves its waybill in the table.
  ASSERT_TRUE(toCar(2));
  press(NavButton::Insert);  // 4
  inv().remove();

  const auto all = stored();
  ASSERT_EQ(all.size(), 4u);
  for (const StoredWaybill& w : all) {
    if (w.asset == 1) {
      EXPECT_EQ(w.repmk, "SP");
      EXPECT_EQ(w.repno, "4449");
    } else {
      EXPECT_EQ(w.asset, 2);
      EXPECT_EQ(w.number, 4);
    }
  }
}

TEST(WaybillLocation, CityCommaBlankAndState) {
  Collection c;
  TdmMain dm(c.engine());
  Dataset& industry = dm.table("tbIndustry");
  const struct {
    const char* city;
    const char* state;
    const char* expected;
  } cases[] = {
      {"Barstow", "CA", "Barstow, CA"},
      {"", "AZ", ", AZ"},
      {"Kingman", "", "Kingman, "},
      {"", "", ", "},
      {"Twentyfive Characters Ab", "NM", "Twentyfive Characters Ab, NM"},
  };
  for (const auto& t : cases) {
    industry.insert();
    industry.field("LOCATION").setText(QStringLiteral("Test %1").arg(t.expected));
    industry.field("CITY").setText(t.city);
    industry.field("STATE").setText(t.state);
    EXPECT_EQ(rf::operations::industryLocation(industry), t.expected);
    EXPECT_LE(rf::operations::industryLocation(industry).size(), 30);
    industry.cancel();
  }
}

TEST_F(Waybills, PickedIndustriesFillTheirLocationsUntilSaved) {
  ASSERT_TRUE(toCar(2));
  press(NavButton::Insert);
  pick(page().receiver(), QStringLiteral("Kingman Lumber Yard"));
  EXPECT_EQ(way().state(), DatasetState::Edit);
  EXPECT_EQ(way().field("Receiver").asText(), "Kingman Lumber Yard");
  EXPECT_EQ(way().field("Rec_Loc").asText(), "Kingman, AZ");
  pick(page().shipper(), QStringLiteral("Barstow Ice Dock"));
  EXPECT_EQ(way().field("Shp_loc").asText(), "Barstow, CA");
  EXPECT_TRUE(stored().at(0).recLoc.isEmpty()) << "the fill does not save";
  press(NavButton::Post);
  // Closing the list without a pick changes nothing and, on a saved waybill, is no error.
  pick(page().receiver(), QString());
  EXPECT_EQ(way().state(), DatasetState::Browse);
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
  // A later pick replaces the location.
  pick(page().receiver(), QStringLiteral("Needles Team Track"));
  press(NavButton::Post);

  const auto all = stored();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].receiver, "Needles Team Track");
  EXPECT_EQ(all[0].recLoc, "Needles, CA");
  EXPECT_EQ(all[0].shpLoc, "Barstow, CA");
}

TEST_F(Waybills, RefusalsLeaveNoWaybillAndUseUpOnlyASavedNumber) {
  const double before = counter();
  ASSERT_TRUE(toCar(1));
  // The counter locked by another program: nothing numbered, nothing stored.
  {
    rf::testing::OptionsLock lock(c);
    press(NavButton::Insert);
  }
  ASSERT_EQ(errors.size(), 1);
  dm->tbOptions().cancel();
  EXPECT_EQ(way().state(), DatasetState::Browse);
  EXPECT_TRUE(stored().empty());
  EXPECT_EQ(counter(), before);

  // A number already taken by hand: the new waybill is refused and its number used up.
  press(NavButton::Insert);
  way().edit();
  way().field("Wayb_No").setNumber(before + 2);
  way().post();
  press(NavButton::Insert);
  EXPECT_EQ(errors.size(), 2);
  EXPECT_EQ(way().state(), DatasetState::Browse);
  EXPECT_EQ(counter(), before + 2);
  press(NavButton::Insert);
  EXPECT_EQ(listed(), (std::vector<double>{before + 2, before + 3}));

  // No car: the new row is refused before a number is used up.
  errors.clear();
  rf::dataset::FilterCriterion none;
  none.field = QStringLiteral("I_REPMK");
  none.value = QStringLiteral("NONE");
  inv().setFilter({none});
  ASSERT_TRUE(inv().isEmpty());
  press(NavButton::Insert);
  EXPECT_EQ(errors, QStringList{rf::operations::kNoCarForWaybill});
  EXPECT_EQ(counter(), before + 3);
  EXPECT_EQ(stored().size(), 2u);
}

}  // namespace

// The inventory browse screen driven through its navigator, grid, order selector and filter
// dialog on a sample collection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app_fixture.h"
#include "controls/command_runner.h"
#include "controls/db_grid.h"
#include "controls/filter_dialog.h"
#include "controls/order_selector.h"
#include "controls/record_navigator.h"
#include "data/data_module.h"
#include "inventory/fm_inven_brw.h"

using rf::controls::NavButton;
using rf::data::TdmMain;
using rf::dataset::DatasetState;
using rf::inventory::TfmInvenBrw;
using rf::testing::Collection;

namespace {

// Ten pieces, asset numbers 1-10, railroads in turn.
void addPieces(TfmInvenBrw& b) {
  auto& inv = b.tbInven();
  const char* marks[] = {"SP", "CBQ", "UP", "SP", "ATSF", "cbq", "UP", "SP", "BN", "CN"};
  for (const char* m : marks) {
    inv.insert();
    inv.edit();
    inv.field("I_REPMK").setText(m);
    inv.field("I_DESC").setText(QStringLiteral("car of %1").arg(m));
    inv.field("I_ACQD").setText(inv.field("I_ASSET").asNumber() < 5 ? "3/15/1998" : "7/4/2005");
    inv.post();
  }
  b.reloadGrid();
}

class Browse : public ::testing::Test {
 protected:
  void SetUp() override {
    rf::controls::setErrorPresenter([this](QWidget*, const QString& t) { errors << t; });
    dm = std::make_unique<TdmMain>(c.engine());
    b = std::make_unique<TfmInvenBrw>(*dm);
    addPieces(*b);
    b->show();
    QApplication::processEvents();
  }
  void TearDown() override { rf::controls::setErrorPresenter({}); }

  QToolButton* nav(NavButton which) { return b->navigator().button(which); }
  void press(NavButton which) { QTest::mouseClick(nav(which), Qt::LeftButton); }
  double asset() { return b->tbInven().field("I_ASSET").asNumber(); }
  // The asset numbers the grid shows, top to bottom.
  std::vector<int> gridAssets() {
    auto* model = b->grid().gridModel();
    while (model->canFetchMore({})) model->fetchMore({});
    std::vector<int> out;
    for (int r = 0; r < model->rowCount(); ++r) out.push_back(model->index(r, 0).data().toInt());
    return out;
  }

  Collection c;
  std::unique_ptr<TdmMain> dm;
  std::unique_ptr<TfmInvenBrw> b;
  QStringList errors;
};

TEST_F(Browse, ScreenAndGridLayout) {
  EXPECT_EQ(b->windowTitle(), "Model Railroad Inventory");
  std::vector<NavButton> expected = {NavButton::First,  NavButton::Prior,    NavButton::Next,   NavButton::Last,
                                     NavButton::Insert, NavButton::Edit,     NavButton::Cancel, NavButton::Bookmark,
                                     NavButton::GotoBookmark, NavButton::Delete, NavButton::Post, NavButton::Refresh,
                                     NavButton::Filter, NavButton::Close};
  EXPECT_EQ(b->navigator().buttons(), expected);
  EXPECT_TRUE(nav(NavButton::First)->toolTip().isEmpty()) << "no tooltips";
  EXPECT_EQ(nav(NavButton::Next)->statusTip(), "Move to next record");
  auto* model = b->grid().gridModel();
  ASSERT_EQ(model->columnCount(), 39);
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "I_ASSET");
  EXPECT_EQ(model->headerData(33, Qt::Horizontal).toString(), "I_Gain");
  EXPECT_EQ(model->headerData(38, Qt::Horizontal).toString(), "I_Photo");
  EXPECT_EQ(model->headerData(20, Qt::Horizontal, Qt::UserRole).toInt(), 59);
  auto* order = b->findChild<rf::controls::OrderSelector*>("wwKeyCombo1");
  ASSERT_NE(order, nullptr);
  EXPECT_EQ(order->currentText(), "PrimaryKey");
  EXPECT_EQ(order->itemText(0), "PrimaryKey");
  EXPECT_GT(order->count(), 1) << "the inventory's secondary indexes are offered";
}

TEST_F(Browse, InsertShowsTheStoredRecordAndCancelKeepsIt) {
  const double last = dm->tbOptions().field("NEXTASSET").asNumber();
  press(NavButton::Insert);
  EXPECT_EQ(asset(), last + 1);
  press(NavButton::Cancel);
  EXPECT_EQ(asset(), last + 1);
  auto rows = gridAssets();
  EXPECT_EQ(rows.back(), last + 1) << "at its place in the primary order";
  EXPECT_EQ(b->grid().currentIndex().row(), static_cast<int>(rows.size()) - 1);
}

TEST_F(Browse, DeleteAsksFirst) {
  for (bool ok : {false, true}) {
    QString asked;
    b->navigator().setConfirm([&](QWidget*, const QString& q) {
      asked = q;
      return ok;
    });
    press(NavButton::First);
    press(NavButton::Delete);
    EXPECT_EQ(asked, "Delete record?");
    EXPECT_EQ(b->tbInven().table().info().recordCount, ok ? 9u : 10u);
  }
  EXPECT_EQ(gridAssets().front(), 2);
  // Ctrl+Delete in the grid asks the same.
  int asked = 0;
  b->grid().setConfirm([&](QWidget*, const QString&) {
    ++asked;
    return true;
  });
  b->grid().setFocus();
  QTest::keyClick(&b->grid(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(b->tbInven().table().info().recordCount, 8u);
}

TEST_F(Browse, OrderChangeKeepsTheCurrentRecord) {
  auto* order = b->findChild<rf::controls::OrderSelector*>("wwKeyCombo1");
  const int railroad = order->findText("Railroad");
  ASSERT_GE(railroad, 0) << order->itemText(1).toStdString();
  b->tbInven().findKey(QStringLiteral("7"));
  order->setCurrentIndex(railroad);
  emit order->activated(railroad);
  EXPECT_EQ(asset(), 7);
  auto rows = gridAssets();
  EXPECT_NE(rows, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(rows[static_cast<std::size_t>(b->grid().currentIndex().row())], 7);
  order->setCurrentIndex(0);
  emit order->activated(0);
  EXPECT_EQ(asset(), 7);
  EXPECT_EQ(gridAssets(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(Browse, BookmarkToADeletedRecordIsDroppedQuietly) {
  b->tbInven().findKey(QStringLiteral("4"));
  press(NavButton::Bookmark);
  EXPECT_TRUE(nav(NavButton::GotoBookmark)->isEnabled());
  press(NavButton::Last);
  press(NavButton::GotoBookmark);
  EXPECT_EQ(asset(), 4);
  b->navigator().setConfirm([](QWidget*, const QString&) { return true; });
  press(NavButton::Delete);
  press(NavButton::Last);
  const double before = asset();
  press(NavButton::GotoBookmark);
  EXPECT_EQ(asset(), before);
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_FALSE(nav(NavButton::GotoBookmark)->isEnabled()) << "the bookmark is gone";
}

TEST_F(Browse, FilterDialogNarrowsTheList) {
  auto& dialog = b->wwFilterDialog1();
  struct Case {
    const char* field;
    const char* typed;
    bool caseSensitive;
    std::vector<int> shown;
  };
  const Case cases[] = {
      {"I_REPMK", "sp or cb", false, {1, 2, 4, 6, 8}},  // starts with, either word, any case
      {"I_REPMK", "CB", true, {2}},
      {"I_ACQD", "7/4/2005", false, {5, 6, 7, 8, 9, 10}},  // month/day/year
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.typed);
    QTimer::singleShot(0, [&] {
      EXPECT_EQ(dialog.windowTitle(), "Filter Inventory Records");
      dialog.clearAll();
      dialog.selectField(k.field);
      dialog.caseSensitiveBox()->setChecked(k.caseSensitive);
      dialog.valueEdit()->setText(k.typed);
      emit dialog.valueEdit()->textEdited(k.typed);
      dialog.accept();
    });
    press(NavButton::Filter);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_EQ(gridAssets(), k.shown);
    // The navigator moves only among them.
    press(NavButton::Last);
    EXPECT_EQ(asset(), k.shown.back());
  }
  // No criteria left: the filter is removed.
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(dialog.selectedField(), "I_REPMK") << "the field selected when it opens";
    dialog.clearAll();
    dialog.accept();
  });
  press(NavButton::Filter);
  EXPECT_EQ(gridAssets().size(), 10u);
}

TEST_F(Browse, PendingChangeStaysWhileTheScreenIsHidden) {
  b->tbInven().findKey(QStringLiteral("3"));
  b->tbInven().edit();
  b->tbInven().field("I_DESC").setText("changed while open");
  press(NavButton::Close);
  EXPECT_FALSE(b->isVisible());
  EXPECT_EQ(b->tbInven().state(), DatasetState::Edit);
  // Saved by the next move, whoever makes it.
  b->tbInven().next();
  ASSERT_TRUE(b->tbInven().findKey(QStringLiteral("3")));
  EXPECT_EQ(b->tbInven().field("I_DESC").asText(), "changed while open");
}

}  // namespace

// The inventory edit screen driven through its navigator, pages, pick lists and memo window on a
// sample collection, bound to the browse screen's table; what it writes is read back from the
// files with an engine of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "app_fixture.h"
#include "controls/command_runner.h"
#include "controls/db_grid.h"
#include "controls/db_radio_group.h"
#include "controls/filter_dialog.h"
#include "controls/lookup_combo_box.h"
#include "controls/lookup_dialog.h"
#include "controls/memo_dialog.h"
#include "controls/record_navigator.h"
#include "data/data_module.h"
#include "data/table_catalogue.h"
#include "data/table_opener.h"
#include "inventory/equipment_details_page.h"
#include "inventory/fm_inven_brw.h"
#include "inventory/fm_inven_edit.h"
#include "inventory/photo_page.h"
#include "inventory/db_img_aspct.h"

using rf::controls::NavButton;
using rf::data::TdmMain;
using rf::dataset::DatasetState;
using rf::inventory::TfmInvenBrw;
using rf::inventory::TfmInvenEdit;
using rf::testing::Collection;
using rf::testing::whenModal;

namespace {

struct Piece {
  const char* repmk;
  const char* repno;
  const char* desc;
  const char* eqtype;
  const char* trucks;
  const char* rmk3;
  const char* acquired;
  int photoWidth;  // 0: no photo
};

// Asset numbers 1-3, each field different from record to record.
const Piece kPieces[] = {
    {"SP", "4449", "GS-4 Northern", "0", "BETTEN", "first piece", "03/15/1998", 40},
    {"CBQ", "62011", "40 ft boxcar", "1", "ARCH", "", "07/04/2005", 0},
    {"ATSF", "3751", "Hudson", "3", "", "third piece", "", 24},
};

// A photo as the field stores it: a BMP file.
QByteArray bitmap(int width) {
  QImage image(width, 10, QImage::Format_RGB32);
  image.fill(Qt::darkRed);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "BMP");
  return bytes;
}

class EditScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    rf::controls::setErrorPresenter([this](QWidget*, const QString& t) { errors << t; });
    dm = std::make_unique<TdmMain>(c.engine());
    b = std::make_unique<TfmInvenBrw>(*dm);
    auto& inv = b->tbInven();
    for (const Piece& p : kPieces) {
      inv.insert();
      inv.edit();
      inv.field("I_REPMK").setText(p.repmk);
      inv.field("I_REPNO").setText(p.repno);
      inv.field("I_DESC").setText(p.desc);
      inv.field("I_EQTYPE").setText(p.eqtype);
      inv.field("I_TRUCKS").setText(p.trucks);
      inv.field("I_RMK3").setText(p.rmk3);
      inv.field("I_ACQD").setText(p.acquired);
      if (p.photoWidth) inv.field("I_Photo").setBytes(bitmap(p.photoWidth));
      inv.post();
    }
    b->reloadGrid();
    inv.first();
    e = std::make_unique<TfmInvenEdit>(*b, *dm);
    e->setShowScreen([this](const QString& name) { shown << name; });
    e->show();
    e->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(e.get()));
  }
  void TearDown() override {
    e.reset();
    b.reset();
    rf::controls::setErrorPresenter({});
  }

  template <typename W = QWidget>
  W* find(const char* name) {
    auto* w = e->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString text(const char* name) { return find<QLineEdit>(name)->text(); }
  QString label(const char* name) { return find<QLabel>(name)->text(); }
  void press(NavButton which) { QTest::mouseClick(e->navigator().button(which), Qt::LeftButton); }
  rf::dataset::Dataset& inv() { return b->tbInven(); }
  // Picks the lookup row holding `code` in the pick list the combo box opens.
  void pick(const char* combo, const QString& code) {
    whenModal([code](QWidget* w) {
      auto* dialog = qobject_cast<rf::controls::LookupDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Lookup");
      EXPECT_TRUE(dialog->locate(code)) << code.toStdString();
      dialog->accept();
    });
    QTest::mouseClick(find<rf::controls::LookupComboBox>(combo)->button(), Qt::LeftButton);
  }
  // The stored record with this asset number, read by another engine, as another program would.
  std::unique_ptr<rf::dataset::Dataset> stored(double asset) {
    other = c.otherEngine();
    auto ds = std::make_unique<rf::dataset::Dataset>();
    rf::data::openTable(*ds, *other, rf::data::catalogueEntry("tbInven"));
    EXPECT_TRUE(ds->findKey(QString::number(asset)));
    return ds;
  }

  Collection c;
  std::unique_ptr<TdmMain> dm;
  std::unique_ptr<TfmInvenBrw> b;
  std::unique_ptr<TfmInvenEdit> e;
  std::unique_ptr<rf::tables::Engine> other;
  QStringList errors;
  QStringList shown;
};

TEST_F(EditScreen, WindowNavigatorPagesAndLookupRow) {
  EXPECT_EQ(e->objectName(), "fmInvenEdit");
  EXPECT_EQ(e->windowTitle(), "Model Railroad Inventory Edit");
  const std::vector<NavButton> all(rf::controls::kAllNavButtons.begin(), rf::controls::kAllNavButtons.end());
  EXPECT_EQ(e->navigator().buttons(), all);
  EXPECT_EQ(e->navigator().dataSource(), &b->dsInven());
  EXPECT_EQ(e->navigator().button(NavButton::First)->size(), QSize(33, 33));
  EXPECT_TRUE(e->navigator().button(NavButton::Close)->toolTip().isEmpty()) << "no tooltips";
  EXPECT_EQ(e->navigator().button(NavButton::Close)->statusTip(), "Close this screen");

  QTabWidget& pages = e->pages();
  ASSERT_EQ(pages.count(), 5);
  EXPECT_EQ(pages.tabText(0), "Basic Data ");
  EXPECT_EQ(pages.tabText(1), " Equipment Details ");
  EXPECT_EQ(pages.tabText(2), " Model Photo ");
  EXPECT_EQ(pages.tabText(3), " Car Cards ");
  EXPECT_EQ(pages.tabText(4), " Waybills ");
  EXPECT_EQ(pages.currentIndex(), 0);

  // Hints go to the status line only; a control without one shows none.
  const std::pair<const char*, const char*> hints[] = {
      {"fldRepno", "Road Number"},     {"fldMfgrNo", "Manufacturer Part Number"}, {"fldAcqd", "Date Acquired"},
      {"fldCost", "Purchase Cost"},    {"fldVDate", "As of Date"},                {"fldValue", "Current Value"},
      {"fldDtSld", "Date Sold"},       {"fldDesc", ""},                           {"fldRepMk", ""}};
  for (auto [name, hint] : hints) {
    QWidget* w = find(name);
    EXPECT_EQ(w->statusTip(), hint) << name;
    EXPECT_TRUE(w->toolTip().isEmpty()) << name;
  }

  // Each lookup button shows its screen and leaves this one open.
  const std::pair<const char*, const char*> row[] = {
      {"BitBtn1", "fmAbbrev"}, {"btnCategory", "fmCat"},     {"btnClassification", "fmClass"},
      {"btnCondition", "fmCond"}, {"BitBtn5", "fmCouplers"}, {"btnMfgr", "fmMfgr"},
      {"btnScale", "fmScale"},  {"bntnSLoc", "fmSloc"},       {"btnTrucks", "fmTrucks"}};
  int left = -1;
  for (auto [button, screen] : row) {
    auto* w = find<QPushButton>(button);
    EXPECT_GT(w->x(), left) << button << " left to right";
    left = w->x();
    EXPECT_GE(w->width(), 72);
    EXPECT_GE(w->width(), w->fontMetrics().horizontalAdvance(w->text())) << button << " caption fits";
    QTest::mouseClick(w, Qt::LeftButton);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.takeLast(), screen);
  }
  EXPECT_TRUE(e->isVisible());

  press(NavButton::Close);
  EXPECT_FALSE(e->isVisible()) << "closing hides";
}

TEST_F(EditScreen, MovingReloadsEveryPageAndTheHeader) {
  auto expectShows = [&](const Piece& p, double asset) {
    SCOPED_TRACE(p.desc);
    EXPECT_EQ(text("fldAsset"), QString::number(asset));
    EXPECT_EQ(text("fldRepMkEdit"), p.repmk);
    EXPECT_EQ(text("fldRepno"), p.repno);
    EXPECT_EQ(text("fldDesc"), p.desc);
    EXPECT_EQ(text("fldAcqd"), p.acquired);
    EXPECT_EQ(text("fldTrucksEdit"), p.trucks);
    EXPECT_EQ(text("fldRmk3"), p.rmk3);
    auto* type = find<rf::controls::DbRadioGroup>("fldEqType");
    EXPECT_EQ(type->chosen(), QString(p.eqtype).toInt());
    auto& photo = e->modelPhoto().fldImage();
    EXPECT_EQ(photo.picture().width(), p.photoWidth ? p.photoWidth : 0);
    EXPECT_EQ(label("lblDesc"), p.desc);
    EXPECT_EQ(label("lblRoad"), p.repmk);
    EXPECT_EQ(label("lblRoadNo"), p.repno);
  };
  expectShows(kPieces[0], 1);
  press(NavButton::Next);
  expectShows(kPieces[1], 2);
  e->pages().setCurrentIndex(1);
  press(NavButton::Last);
  expectShows(kPieces[2], 3);
  // The browse screen moves the same record.
  QTest::mouseClick(b->navigator().button(NavButton::First), Qt::LeftButton);
  expectShows(kPieces[0], 1);
  EXPECT_EQ(e->pages().currentIndex(), 1) << "the page last chosen stays";

  // An emptied field empties its label.
  inv().edit();
  inv().field("I_REPNO").clear();
  inv().post();
  EXPECT_EQ(label("lblRoadNo"), "");
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(EditScreen, HeaderFollowsTheFieldOnceTypedTextIsWritten) {
  auto* desc = find<QLineEdit>("fldDesc");
  desc->setFocus();
  desc->selectAll();
  QTest::keyClicks(desc, "Big Boy");
  EXPECT_EQ(label("lblDesc"), kPieces[0].desc) << "the field still holds what it held";
  QTest::keyClick(desc, Qt::Key_Return);
  EXPECT_EQ(label("lblDesc"), "Big Boy");
  press(NavButton::Cancel);
  EXPECT_EQ(label("lblDesc"), kPieces[0].desc);

  // A pick changes the road at once.
  pick("fldRepMk", QStringLiteral("UP"));
  EXPECT_EQ(label("lblRoad"), "UP");
  // A long description is cut before the road instead of running under it.
  inv().field("I_DESC").setText(QString(20, QLatin1Char('W')));
  auto* lbl = find<QLabel>("lblDesc");
  EXPECT_LE(lbl->geometry().right(), find<QLabel>("lblRoad")->x());
  EXPECT_TRUE(lbl->text().startsWith("WW"));
}

TEST_F(EditScreen, ClosingKeepsAPendingChangeForTheNextMove) {
  auto* repno = find<QLineEdit>("fldRepno");
  repno->setFocus();
  repno->selectAll();
  QTest::keyClicks(repno, "4450");
  press(NavButton::Close);
  EXPECT_FALSE(e->isVisible());
  EXPECT_EQ(inv().state(), DatasetState::Edit) << "hiding the screen drops nothing";
  EXPECT_TRUE(b->navigator().button(NavButton::Post)->isEnabled()) << "both navigators follow the shared state";
  QTest::mouseClick(b->navigator().button(NavButton::Next), Qt::LeftButton);
  EXPECT_EQ(stored(1)->field("I_REPNO").asText(), "4450");
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(EditScreen, PickListsWriteTheCodeCutToTheField) {
  // A coupler code wider than the inventory's field.
  auto& couplers = dm->table("tbCouplers");
  couplers.insert();
  couplers.field("I_COUPLER").setText("KADEE-SCALE1");
  couplers.field("I_COUPDESC").setText("twelve characters");
  couplers.post();
  ASSERT_EQ(couplers.field("I_COUPLER").asText(), "KADEE-SCALE1");

  inv().edit();
  inv().field("I_MFGR").setText("ATLAS");
  inv().post();

  struct Case {
    const char* combo;
    const char* code;
    const char* field;
    const char* stored;
  };
  const Case cases[] = {
      {"fldCoupler", "KADEE-SCALE1", "I_COUPLER", "KADEE-SCAL"},
      {"fldImptr", "ARISTO-CRAFT", "I_IMPTR", "ARISTO-CRAFT"},
      {"fldRepMk", "CN", "I_REPMK", "CN"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.combo);
    pick(k.combo, QString::fromLatin1(k.code));
    EXPECT_EQ(inv().state(), DatasetState::Edit);
    EXPECT_EQ(inv().field(k.field).asText(), k.stored);
  }
  press(NavButton::Post);
  auto file = stored(1);
  for (const Case& k : cases) EXPECT_EQ(file->field(k.field).asText(), k.stored) << k.field;
  EXPECT_EQ(file->field("I_MFGR").asText(), "ATLAS") << "the importer pick leaves the manufacturer";
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(EditScreen, EquipmentTypeOptionsStoreTheirNumbers) {
  auto* type = find<rf::controls::DbRadioGroup>("fldEqType");
  ASSERT_EQ(type->count(), 4);
  const char* captions[] = {"Locomotive", "Freight", "Passenger", "Non-Revenur"};
  for (int i = 3; i >= 0; --i) {
    SCOPED_TRACE(captions[i]);
    EXPECT_EQ(type->button(i)->text(), captions[i]);
    QTest::mouseClick(type->button(i), Qt::LeftButton);
    press(NavButton::Post);
    EXPECT_EQ(stored(1)->field("I_EQTYPE").asNumber(), i);
  }
  // A value outside the four chooses none.
  inv().edit();
  inv().field("I_EQTYPE").setText("7");
  EXPECT_EQ(type->chosen(), -1);
  inv().field("I_EQTYPE").clear();
  EXPECT_EQ(type->chosen(), -1);
}

TEST_F(EditScreen, GainAndIncreaseFollowTheSaveAndNeverTakeTheFocus) {
  auto* gain = find<QLineEdit>("fldGain");
  auto* increase = find<QLineEdit>("fldIncrease");
  for (QLineEdit* w : {gain, increase}) {
    EXPECT_FALSE(w->isEnabled());
    EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
  }
  struct Case {
    const char* cost;
    const char* value;
    double increase;
    double gain;
  };
  const Case cases[] = {{"10", "15", 5, 50}, {"20", "15", -5, -25}, {"0.50", "1.25", 0.75, 150}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.cost);
    for (auto [name, typed] : {std::pair{"fldCost", k.cost}, std::pair{"fldValue", k.value}}) {
      auto* box = find<QLineEdit>(name);
      box->setFocus();
      box->selectAll();
      QTest::keyClicks(box, typed);
    }
    EXPECT_EQ(increase->text().toDouble(), 0.0) << "nothing before the save";
    press(NavButton::Post);
    EXPECT_DOUBLE_EQ(increase->text().toDouble(), k.increase);
    EXPECT_DOUBLE_EQ(gain->text().toDouble(), k.gain);
    auto file = stored(1);
    EXPECT_DOUBLE_EQ(file->field("I_Increase").asNumber(), k.increase);
    inv().edit();
    inv().field("I_COST").setNumber(0);
    inv().field("I_VALUE").setNumber(0);
    inv().post();
  }
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(EditScreen, TabOrderRunsThroughThePagesAndTheRemarksBottomUp) {
  auto tabFrom = [&](const char* start, std::vector<const char*> expected) {
    SCOPED_TRACE(start);
    QWidget* w = find(start);
    w->setFocus();
    ASSERT_TRUE(w->hasFocus());
    for (const char* name : expected) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      ASSERT_NE(QApplication::focusWidget(), nullptr);
      EXPECT_EQ(QApplication::focusWidget()->objectName(), name);
    }
  };
  // The equipment type takes one stop, at the chosen option (the first record's is Locomotive).
  tabFrom("fldRepMkEdit", {"fldRepno", "fldEqType0", "fldDesc", "fldScaleEdit", "fldCatEdit", "fldSubCat", "fldClassEdit",
                           "fldImptrEdit"});
  tabFrom("fldAcqd", {"fldCost", "fldVDate", "fldValue", "fldRNameEdit", "fldCondEdit", "fldSlocEdit", "fldDtSld"});
  tabFrom("fldImptrEdit", {"fldMfgrEdit", "fldMfgrNo", "fldAcqd"});
  e->pages().setCurrentIndex(1);
  tabFrom("fldLength", {"fldLocoChan", "fldUser1", "fldUser2", "fldFlag1", "fldFlag2", "BitBtn10", "fldRmk3", "fldRmk2",
                        "fldRmk1", "BitBtn1"});
  EXPECT_EQ(find<QLineEdit>("fldFlag1")->width(), 25);
}

TEST_F(EditScreen, DetailsWindowWritesOnOkOnly) {
  inv().edit();
  inv().field("I_DETAIL").setMemo("Weathered by hand.\r\nNew wheels.");
  inv().post();
  e->pages().setCurrentIndex(1);
  auto* details = find<QPushButton>("BitBtn10");
  auto* memo = e->equipmentDetails().memoDialog();
  EXPECT_EQ(memo->objectName(), "wwMemoDialog");

  whenModal([&](QWidget* w) {
    EXPECT_EQ(w, memo);
    EXPECT_EQ(w->windowTitle(), "Equipment Details");
    EXPECT_EQ(w->size(), QSize(561, 396));
    EXPECT_TRUE(memo->wordWrap());
    EXPECT_EQ(memo->editor()->toPlainText(), "Weathered by hand.\nNew wheels.");
    memo->editor()->setPlainText("thrown away");
    memo->reject();
  });
  QTest::mouseClick(details, Qt::LeftButton);
  EXPECT_EQ(inv().state(), DatasetState::Browse);
  EXPECT_EQ(inv().field("I_DETAIL").asMemo(), "Weathered by hand.\r\nNew wheels.");

  whenModal([&](QWidget*) {
    memo->editor()->setPlainText("Repainted.\nKadee couplers.");
    memo->accept();
  });
  QTest::mouseClick(details, Qt::LeftButton);
  EXPECT_EQ(inv().state(), DatasetState::Edit);
  press(NavButton::Post);
  EXPECT_EQ(stored(1)->field("I_DETAIL").asMemo(), "Repainted.\r\nKadee couplers.");
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(EditScreen, BookmarkOfItsOwnInsertAndFilter) {
  press(NavButton::Next);
  press(NavButton::Bookmark);
  QTest::mouseClick(b->navigator().button(NavButton::Last), Qt::LeftButton);
  QTest::mouseClick(b->navigator().button(NavButton::Bookmark), Qt::LeftButton);
  press(NavButton::First);
  press(NavButton::GotoBookmark);
  EXPECT_EQ(inv().field("I_ASSET").asNumber(), 2) << "this navigator's bookmark, not the browse screen's";
  QTest::mouseClick(b->navigator().button(NavButton::GotoBookmark), Qt::LeftButton);
  EXPECT_EQ(inv().field("I_ASSET").asNumber(), 3);

  // Insert numbers and stores the record; both screens show it.
  const double next = dm->tbOptions().field("NEXTASSET").asNumber() + 1;
  press(NavButton::Insert);
  EXPECT_EQ(text("fldAsset"), QString::number(next));
  EXPECT_EQ(label("lblDesc"), "");
  EXPECT_EQ(inv().state(), DatasetState::Browse);
  auto* model = b->grid().gridModel();
  while (model->canFetchMore({})) model->fetchMore({});
  EXPECT_EQ(model->rowCount(), 4);
  EXPECT_EQ(model->index(b->grid().currentIndex().row(), 0).data().toDouble(), next);
  EXPECT_TRUE(stored(next)->isOpen());

  // Filter opens the browse screen's one filter dialog.
  QWidget* opened = nullptr;
  whenModal([&](QWidget* w) {
    opened = w;
    w->close();
  });
  press(NavButton::Filter);
  EXPECT_EQ(opened, &b->wwFilterDialog1());
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(EditScreen, BrowseScreenAsksForItByButtonAndDoubleClick) {
  int asked = 0;
  QObject::connect(b.get(), &TfmInvenBrw::editScreenRequested, [&] { ++asked; });
  b->show();
  QApplication::processEvents();
  auto* button = b->navigator().findChild<QToolButton*>("navEditScreen");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->width(), 31);
  auto* filter = b->navigator().button(NavButton::Filter);
  auto* close = b->navigator().button(NavButton::Close);
  EXPECT_GT(button->x(), filter->x());
  EXPECT_LT(button->x(), close->x());
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(asked, 1);
  auto& grid = b->grid();
  const QModelIndex cell = grid.gridModel()->index(1, 2);
  const QPoint at = grid.visualRect(cell).center();
  ASSERT_TRUE(cell.isValid());
  ASSERT_TRUE(grid.viewport()->rect().contains(at));
  // QTest's double click on a widget is the second click's event alone: the first comes before.
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
  EXPECT_EQ(asked, 2);
}

}  // namespace

// The industries screen's own editors: the type and the direction offer their values and take
// typed text; the city is picked from the towns, moving the towns screen's row, and fills only
// the city.
#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "controls/lookup_combo_box.h"
#include "controls/lookup_dialog.h"
#include "data/data_module.h"
#include "lookups/db_combo_box.h"
#include "lookups/fm_industry.h"
#include "lookups/fm_towns.h"
#include "tests/lookups/lookup_support.h"

using rf::controls::LookupComboBox;
using rf::controls::LookupDialog;
using rf::controls::NavButton;
using rf::dataset::DatasetState;
using rf::lookups::DbComboBox;
using rf::testing::LookupApp;

namespace {

class IndustryEditors : public LookupApp {
 protected:
  void SetUp() override {
    LookupApp::SetUp();
    industry = &app->fmIndustry();
    rf::app::Application::showModeless(industry);
    ASSERT_TRUE(industry->table().findKey(QStringLiteral("Barstow Ice Dock")));
  }
  QStringList storedRow(const QString& location) const {
    const QStringList keys = stored("tbIndustry", "LOCATION");
    const qsizetype at = keys.indexOf(location);
    if (at < 0) return {};
    QStringList row;
    for (const char* f : {"LOCATION", "CITY", "STATE", "LOCTYPE", "DIRECTION"}) row << stored("tbIndustry", f)[at];
    return row;
  }
  rf::lookups::TfmIndustry* industry = nullptr;
};

QStringList items(const QComboBox* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
  return out;
}

TEST_F(IndustryEditors, StandInTheRecordViewInPlaceOfThePlainEdits) {
  auto* view = industry->recordView();
  auto* type = industry->findChild<DbComboBox*>("cboIndType");
  auto* direction = industry->findChild<DbComboBox*>("wwDBComboBox1");
  auto* towns = industry->findChild<LookupComboBox*>("cboTowns");
  ASSERT_TRUE(type && direction && towns);
  EXPECT_EQ(view->editor("LOCTYPE"), type);
  EXPECT_EQ(view->editor("DIRECTION"), direction);
  EXPECT_EQ(view->editor("CITY"), towns);
  EXPECT_EQ(items(type), (QStringList{"Industry", "Yard"}));
  EXPECT_EQ(items(direction), (QStringList{"Any", "Eastbound", "Westbound", "Northbound", "Southbound"}));
  for (auto* box : {type, direction}) {
    EXPECT_TRUE(box->isEditable());
    EXPECT_EQ(box->maxVisibleItems(), 8);
  }
  EXPECT_EQ(towns->lookupDataset(), &app->dmMain().table("tbTowns"));
  EXPECT_EQ(towns->lookupField(), "CITY");
  ASSERT_EQ(towns->columns().size(), 1u);
  EXPECT_EQ(towns->columns()[0].field, "CITY");
  EXPECT_EQ(towns->columns()[0].width, 25);
  EXPECT_EQ(towns->columns()[0].title, "City");
  // Tab walks the fields in their order, through the screen's own editors too.
  QWidget* at = view->editor("LOCATION");
  QStringList walked;
  for (int i = 0; i < 5; ++i) {
    at = rf::testing::nextTabStop(at);
    ASSERT_NE(at, nullptr);
    walked << at->objectName();
  }
  EXPECT_EQ(walked, (QStringList{"cboTowns", "fldSTATE", "fldCARCAP", "cboIndType", "wwDBComboBox1"}));
  // They show the current row.
  EXPECT_EQ(type->currentText(), "Industry");
  EXPECT_EQ(direction->currentText(), "Eastbound");
  EXPECT_EQ(towns->text(), "Barstow");
}

TEST_F(IndustryEditors, ChosenItemsAndTypedTextAreStored) {
  auto* type = industry->cboIndType();
  auto* direction = industry->wwDBComboBox1();
  // Down in the box chooses the next item: "Yard" after "Industry".
  QTest::keyClick(type, Qt::Key_Down);
  EXPECT_EQ(industry->table().state(), DatasetState::Edit);
  EXPECT_EQ(industry->table().field("LOCTYPE").asText(), "Yard");
  // Text that is no item is taken as typed.
  direction->lineEdit()->selectAll();
  QTest::keyClicks(direction->lineEdit(), "Up the hill");
  QTest::mouseClick(industry->navigator()->button(NavButton::Post), Qt::LeftButton);
  EXPECT_EQ(storedRow("Barstow Ice Dock"), (QStringList{"Barstow Ice Dock", "Barstow", "CA", "Yard", "Up the hil"}))
      << "cut to the field's ten characters";
  EXPECT_TRUE(errors.isEmpty());
  // Another row shows its own values.
  QTest::mouseClick(industry->navigator()->button(NavButton::First), Qt::LeftButton);
  EXPECT_EQ(direction->currentText(), industry->table().field("DIRECTION").asText());
}

TEST_F(IndustryEditors, PickingATownMovesTheTownsScreenAndFillsOnlyTheCity) {
  auto* towns = industry->cboTowns();
  auto& fmTowns = app->fmTowns();
  rf::app::Application::showModeless(&fmTowns);
  QString seenInTowns;
  int townsRow = -1;
  QTimer::singleShot(0, industry, [&] {
    auto* d = qobject_cast<LookupDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "Lookup");
    EXPECT_TRUE(d->search("King"));
    // The pick list moves the shared towns table, and with it the towns screen's row.
    seenInTowns = fmTowns.table().field("CITY").asText();
    townsRow = fmTowns.grid()->currentIndex().row();
    d->accept();
  });
  QTest::mouseClick(towns->button(), Qt::LeftButton);
  EXPECT_EQ(seenInTowns, "Kingman");
  EXPECT_EQ(fmTowns.grid()->model()->index(townsRow, 0).data().toString(), "Kingman");
  EXPECT_EQ(industry->table().state(), DatasetState::Edit);
  EXPECT_EQ(industry->table().field("CITY").asText(), "Kingman");
  EXPECT_EQ(industry->table().field("STATE").asText(), "CA") << "the state is the user's to type";
  QTest::mouseClick(industry->navigator()->button(NavButton::Post), Qt::LeftButton);
  EXPECT_EQ(storedRow("Barstow Ice Dock"), (QStringList{"Barstow Ice Dock", "Kingman", "CA", "Industry", "Eastbound"}));
}

}  // namespace

// The Preferences screen driven through its boxes and its OK button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "app_fixture.h"
#include "controls/command_runner.h"
#include "controls/db_edit.h"
#include "data/counter.h"
#include "data/data_module.h"
#include "data/fm_pref.h"

using rf::data::TdmMain;
using rf::data::TfmPref;
using rf::dataset::DatasetState;
using rf::testing::Collection;

namespace {

class Preferences : public ::testing::Test {
 protected:
  void SetUp() override {
    rf::controls::setErrorPresenter([this](QWidget*, const QString& text) { errors << text; });
  }
  void TearDown() override { rf::controls::setErrorPresenter({}); }

  rf::controls::DbEdit* box(TfmPref& p, const char* field) {
    return p.findChild<rf::controls::DbEdit*>(QStringLiteral("fld") + QString::fromLatin1(field));
  }
  // What another program reads from the options file.
  QString stored(Collection& c, const char* field) {
    auto engine = c.otherEngine();
    rf::tables::OpenRequest r;
    r.name = "OPTIONS.DBF";
    r.alias = "rf";
    auto t = engine->open(r);
    auto cur = t->openCursor();
    if (!cur->first()) return QStringLiteral("<no record>");
    return QString::fromStdString(t->get(cur->record(), field).asText());
  }

  QStringList errors;
};

TEST_F(Preferences, ScreenLayout) {
  Collection c;
  TdmMain dm(c.engine());
  TfmPref p(dm);
  EXPECT_EQ(p.windowTitle(), "Preferences");
  EXPECT_EQ(p.size(), QSize(297, 325));
  EXPECT_EQ(p.minimumSize(), p.maximumSize());
  EXPECT_TRUE(p.okButton()->isDefault());
  EXPECT_EQ(p.okButton()->objectName(), "OKBtn");
  // Tab order: OK, then the five boxes from top to bottom.
  QWidget* w = p.okButton();
  for (const char* f : {"NAME", "ADDRESS", "CITYSTZIP", "PHONE", "NEXTASSET"}) {
    w = w->nextInFocusChain();
    while (w && w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    EXPECT_EQ(w, box(p, f)) << f;
  }
  EXPECT_EQ(box(p, "NAME")->width(), 169);
  EXPECT_EQ(box(p, "NEXTASSET")->width(), 45);
  EXPECT_EQ(box(p, "NAME")->maxLength(), 25);
  EXPECT_EQ(box(p, "PHONE")->maxLength(), 17);
  p.show();
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), p.okButton());
}

TEST_F(Preferences, OkSavesWhatWasTypedAndEnterPressesOk) {
  Collection c;
  TdmMain dm(c.engine());
  TfmPref p(dm);
  p.show();
  box(p, "NAME")->setFocus();
  QTest::keyClicks(box(p, "NAME"), "Casey Jones");
  EXPECT_EQ(dm.tbOptions().state(), DatasetState::Edit);
  box(p, "NEXTASSET")->setFocus();
  box(p, "NEXTASSET")->selectAll();
  QTest::keyClicks(box(p, "NEXTASSET"), "100");
  QTest::keyClick(box(p, "NEXTASSET"), Qt::Key_Return);
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
  EXPECT_FALSE(p.isVisible());
  EXPECT_EQ(dm.tbOptions().state(), DatasetState::Browse);
  EXPECT_EQ(stored(c, "NAME"), "Casey Jones");
  EXPECT_EQ(stored(c, "NEXTASSET"), "100");
  // The next number handed out is one more than the typed one.
  EXPECT_EQ(rf::data::raiseCounter(dm.tbOptions(), rf::data::kAssetCounter), 101);
}

TEST_F(Preferences, CloseBoxKeepsTheChangePendingForTheNextCounter) {
  Collection c;
  TdmMain dm(c.engine());
  TfmPref p(dm);
  p.show();
  box(p, "NAME")->setFocus();
  QTest::keyClicks(box(p, "NAME"), "Pat");
  p.close();
  EXPECT_EQ(dm.tbOptions().state(), DatasetState::Edit);
  EXPECT_EQ(stored(c, "NAME"), "");
  p.show();
  EXPECT_EQ(box(p, "NAME")->text(), "Pat");
  p.close();
  rf::data::raiseCounter(dm.tbOptions(), rf::data::kAssetCounter);
  EXPECT_EQ(stored(c, "NAME"), "Pat");
}

TEST_F(Preferences, NotANumberIsRefusedAndTheBoxKeepsTheFocus) {
  Collection c;
  TdmMain dm(c.engine());
  TfmPref p(dm);
  p.show();
  QApplication::setActiveWindow(&p);
  auto* counter = box(p, "NEXTASSET");
  counter->setFocus();
  counter->selectAll();
  QTest::keyClicks(counter, "12x");
  QTest::mouseClick(p.okButton(), Qt::LeftButton);
  ASSERT_FALSE(errors.isEmpty());
  // Ending in a quote, which sorts before ".", the message gets no full stop.
  EXPECT_EQ(errors.last(), "'12x' is not a valid floating point value for field 'NEXTASSET'");
  EXPECT_TRUE(p.isVisible());
  EXPECT_EQ(dm.tbOptions().state(), DatasetState::Edit);
  EXPECT_EQ(QApplication::focusWidget(), counter);
  EXPECT_EQ(counter->selectedText(), "12x");
  // An empty text makes the counter blank.
  counter->clear();
  QTest::keyClick(counter, Qt::Key_Return);
  EXPECT_FALSE(p.isVisible());
  EXPECT_EQ(stored(c, "NEXTASSET"), "");
}

TEST_F(Preferences, EmptyOptionsTableGetsItsRecordOnOk) {
  Collection c;
  rf::tables::OpenRequest r;
  r.name = "OPTIONS.DBF";
  r.alias = "rf";
  c.engine().empty(r);
  TdmMain dm(c.engine());
  TfmPref p(dm);
  p.show();
  box(p, "PHONE")->setFocus();
  QTest::keyClicks(box(p, "PHONE"), "555-0100");
  EXPECT_EQ(dm.tbOptions().state(), DatasetState::Insert);
  QTest::mouseClick(p.okButton(), Qt::LeftButton);
  EXPECT_EQ(stored(c, "PHONE"), "555-0100");
}

}  // namespace

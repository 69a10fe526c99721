// The filter dialog over a real table, filled in by keys and clicks: the fields it offers and
// their order, value and range criteria with their choices, the summary, clearing, and what OK
// and Cancel leave on the dataset.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "controls/filter_dialog.h"
#include "tests/dataset/dataset_fixtures.h"

using rf::controls::FilterDialog;
using rf::controls::FilterSettings;
using rf::dataset::Dataset;
using rf::dataset::FilterCriterion;
using rf::test::PiecesTable;
using rf::test::walk;

namespace {

// A check box or radio button takes a click on its indicator or text only, not anywhere in its
// (stretched) width: click where the indicator is.
void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }

struct Piece {
  const char* code;
  const char* name;
  double qty;
  rf::tables::Date bought;
};

struct Fixture {
  PiecesTable t;
  Dataset ds;
  FilterDialog dialog;

  Fixture() {
    const std::vector<Piece> pieces = {
        {"A", "Boxcar", 1, rf::test::ymd(2019, 5, 1)},   {"B", "tank car", 3, rf::test::ymd(2020, 2, 29)},
        {"C", "Caboose", 5, rf::test::ymd(2020, 12, 31)}, {"D", "boxcar, 40 ft", 8, rf::test::ymd(2021, 1, 1)},
        {"E", "", 2, rf::test::ymd(2020, 7, 4)},
    };
    {
      auto table = t.engine.openPath(t.path);
      for (const Piece& p : pieces) {
        auto r = table->blankRecord();
        table->set(r, "CODE", rf::tables::Value::text(p.code));
        table->set(r, "NAME", rf::tables::Value::text(p.name));
        table->set(r, "QTY", rf::tables::Value::number(p.qty));
        table->set(r, "BOUGHT", rf::tables::Value::date(p.bought));
        table->insert(r);
      }
    }
    ds.open(t.engine, t.request());
    dialog.setDataset(&ds);
    FilterSettings s;
    s.caption = "Filter Pieces";
    s.fields = {"qty", "Name", "bought", "code", "NOSUCH"};
    s.selectedField = "name";
    dialog.setSettings(s);
    dialog.show();
  }
  void pick(const char* field) {
    const auto items = dialog.fieldList()->findItems(field, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << field;
    QTest::mouseClick(dialog.fieldList()->viewport(), Qt::LeftButton, {},
                      dialog.fieldList()->visualItemRect(items[0]).center());
    ASSERT_EQ(dialog.selectedField(), field);
  }
  void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    if (text.isEmpty())
      QTest::keyClick(edit, Qt::Key_Delete);
    else
      QTest::keyClicks(edit, text);
  }
  void clickOk() { QTest::mouseClick(dialog.buttons()->button(QDialogButtonBox::Ok), Qt::LeftButton); }
  std::vector<std::string> summary() {
    std::vector<std::string> out;
    for (int i = 0; i < dialog.summary()->count(); ++i) out.push_back(dialog.summary()->item(i)->text().toStdString());
    return out;
  }
  std::vector<std::string> codes() { return walk(ds, "CODE"); }
};

TEST(FilterDialog, OffersTheSettingsFieldsInTheChosenOrder) {
  Fixture f;
  EXPECT_EQ(f.dialog.windowTitle(), "Filter Pieces");
  EXPECT_TRUE(f.dialog.isModal());
  // Field number order, names as the table spells them, unknown names left out.
  EXPECT_EQ(f.dialog.listedFields(), (QStringList{"CODE", "NAME", "QTY", "BOUGHT"}));
  EXPECT_EQ(f.dialog.selectedField(), "NAME");
  EXPECT_TRUE(f.dialog.orderByNumberButton()->isChecked());
  click(f.dialog.orderByNameButton());
  EXPECT_EQ(f.dialog.listedFields(), (QStringList{"BOUGHT", "CODE", "NAME", "QTY"}));
  EXPECT_EQ(f.dialog.selectedField(), "NAME") << "the field chosen stays chosen";
  click(f.dialog.orderByNumberButton());
  EXPECT_EQ(f.dialog.listedFields(), (QStringList{"CODE", "NAME", "QTY", "BOUGHT"}));

  // By name from the settings; every field when none are listed.
  FilterSettings s = f.dialog.settings();
  s.fields.clear();
  s.order = FilterSettings::FieldOrder::ByName;
  s.selectedField = "RUNS";
  f.dialog.setSettings(s);
  EXPECT_EQ(f.dialog.listedFields(), (QStringList{"BOUGHT", "CODE", "NAME", "NOTES", "QTY", "RUNS"}));
  EXPECT_EQ(f.dialog.selectedField(), "RUNS");
  EXPECT_TRUE(f.dialog.orderByNameButton()->isChecked());
}

TEST(FilterDialog, ValueCriteriaWithTheirWordsMatchesAndCase) {
  Fixture f;
  // The settings' defaults for a new value criterion.
  EXPECT_TRUE(f.dialog.startsWithButton()->isChecked());
  EXPECT_FALSE(f.dialog.caseSensitiveBox()->isChecked());
  EXPECT_EQ(f.dialog.pages()->currentIndex(), FilterDialog::kValuePage);
  struct Case {
    const char* typed;
    bool caseSensitive;
    std::vector<std::string> codes;
    const char* summary;
  };
  const std::vector<Case> cases = {
      {"box", false, {"A", "D"}, "NAME starts with \"box\""},
      {"box or tank", false, {"A", "B", "D"}, "NAME starts with \"box or tank\""},
      {"null or cab", false, {"C", "E"}, "NAME starts with \"null or cab\""},
      {"box", true, {"D"}, "NAME starts with \"box\" (case-sensitive)"},
  };
  for (const Case& c : cases) {
    f.pick("NAME");
    if (f.dialog.caseSensitiveBox()->isChecked() != c.caseSensitive) click(f.dialog.caseSensitiveBox());
    f.typeInto(f.dialog.valueEdit(), c.typed);
    EXPECT_EQ(f.summary(), std::vector<std::string>{c.summary}) << c.typed;
    f.clickOk();
    EXPECT_FALSE(f.dialog.isVisible());
    EXPECT_TRUE(f.ds.isFiltered());
    EXPECT_EQ(f.codes(), c.codes) << c.typed;
    f.dialog.show();
    // Opened again, it shows what it set.
    EXPECT_EQ(f.dialog.valueEdit()->text(), c.typed);
    EXPECT_EQ(f.dialog.caseSensitiveBox()->isChecked(), c.caseSensitive);
  }
  click(f.dialog.caseSensitiveBox());
  // Exact and anywhere; the word "and" joins two conditions on the field.
  f.typeInto(f.dialog.valueEdit(), "boxcar");
  click(f.dialog.exactButton());
  EXPECT_EQ(f.summary(), std::vector<std::string>{"NAME is \"boxcar\""});
  f.clickOk();
  EXPECT_EQ(f.codes(), (std::vector<std::string>{"A"}));
  f.dialog.show();
  EXPECT_TRUE(f.dialog.exactButton()->isChecked());
  click(f.dialog.anywhereButton());
  f.typeInto(f.dialog.valueEdit(), "CA");
  f.clickOk();
  EXPECT_EQ(f.codes(), (std::vector<std::string>{"A", "B", "C", "D"}));

  // A default match of the screen's own applies to a field's first value.
  f.dialog.show();
  FilterSettings s = f.dialog.settings();
  s.defaultMatch = FilterCriterion::Match::Anywhere;
  s.selectedField = "CODE";
  f.dialog.setSettings(s);
  EXPECT_TRUE(f.dialog.anywhereButton()->isChecked());
  f.typeInto(f.dialog.valueEdit(), "b or d");
  EXPECT_EQ(f.summary(), (std::vector<std::string>{"NAME contains \"CA\"", "CODE contains \"b or d\""}));
  f.clickOk();
  EXPECT_EQ(f.codes(), (std::vector<std::string>{"B", "D"}));
}

TEST(FilterDialog, RangesOfNumbersAndMonthDayYearDatesAndClearing) {
  Fixture f;
  f.pick("QTY");
  QTest::mouseClick(f.dialog.pages()->tabBar(), Qt::LeftButton, {},
                    f.dialog.pages()->tabBar()->tabRect(FilterDialog::kRangePage).center());
  f.typeInto(f.dialog.fromEdit(), "2");
  f.typeInto(f.dialog.toEdit(), "5");
  f.pick("BOUGHT");
  f.dialog.pages()->setCurrentIndex(FilterDialog::kRangePage);
  f.typeInto(f.dialog.fromEdit(), "1/1/2020");
  EXPECT_EQ(f.summary(), (std::vector<std::string>{"QTY from 2 to 5", "BOUGHT from 1/1/2020"}));
  f.clickOk();
  EXPECT_EQ(f.codes(), (std::vector<std::string>{"B", "C", "E"}));

  // Back on a field, the dialog shows its range on the range page.
  f.dialog.show();
  f.pick("QTY");
  EXPECT_EQ(f.dialog.pages()->currentIndex(), FilterDialog::kRangePage);
  EXPECT_EQ(f.dialog.fromEdit()->text(), "2");
  f.typeInto(f.dialog.toEdit(), "");
  f.pick("BOUGHT");
  f.typeInto(f.dialog.toEdit(), "12/31/20");  // two-digit years below 50 are 2000-2049
  EXPECT_EQ(f.summary(), (std::vector<std::string>{"QTY from 2", "BOUGHT from 1/1/2020 to 12/31/20"}));
  f.clickOk();
  EXPECT_EQ(f.codes(), (std::vector<std::string>{"B", "C", "E"}));

  // A value typed for a field replaces its range; Clear takes the selected field's criterion.
  f.dialog.show();
  f.pick("QTY");
  f.dialog.pages()->setCurrentIndex(FilterDialog::kValuePage);
  f.typeInto(f.dialog.valueEdit(), "3 or 8");
  EXPECT_TRUE(f.dialog.fromEdit()->text().isEmpty());
  EXPECT_EQ(f.summary(), (std::vector<std::string>{"QTY starts with \"3 or 8\"", "BOUGHT from 1/1/2020 to 12/31/20"}));
  f.pick("BOUGHT");
  QTest::mouseClick(f.dialog.clearButton(), Qt::LeftButton);
  EXPECT_TRUE(f.dialog.toEdit()->text().isEmpty());
  EXPECT_EQ(f.summary(), (std::vector<std::string>{"QTY starts with \"3 or 8\""}));
  f.clickOk();
  EXPECT_EQ(f.codes(), (std::vector<std::string>{"B", "D"}));

  // No criteria left: OK removes the filter.
  f.dialog.show();
  QTest::mouseClick(f.dialog.clearAllButton(), Qt::LeftButton);
  EXPECT_TRUE(f.summary().empty());
  QSignalSpy applied(&f.dialog, &FilterDialog::applied);
  f.clickOk();
  EXPECT_EQ(applied.count(), 1);
  EXPECT_FALSE(f.ds.isFiltered());
  EXPECT_EQ(f.codes(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
}

TEST(FilterDialog, CancelDropsTheChangesAndARefusedValueKeepsTheDialogOpen) {
  Fixture f;
  f.typeInto(f.dialog.valueEdit(), "tank");
  QTest::keyClick(f.dialog.valueEdit(), Qt::Key_Return);  // OK is the default button
  EXPECT_FALSE(f.dialog.isVisible());
  ASSERT_EQ(f.codes(), (std::vector<std::string>{"B"}));

  // Through exec(), as the screens open it: a change then Cancel.
  QTimer::singleShot(0, &f.dialog, [&] {
    f.typeInto(f.dialog.valueEdit(), "box");
    QTest::mouseClick(f.dialog.buttons()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
  });
  f.dialog.hide();
  EXPECT_EQ(f.dialog.exec(), QDialog::Rejected);
  EXPECT_EQ(f.codes(), (std::vector<std::string>{"B"}));
  f.dialog.show();
  EXPECT_EQ(f.dialog.valueEdit()->text(), "tank");

  // A number that is none: announced with the platform's message, the dialog stays open and
  // the dataset keeps its filter.
  QSignalSpy failed(&f.dialog, &FilterDialog::failed);
  f.pick("QTY");
  f.typeInto(f.dialog.valueEdit(), "lots");
  f.clickOk();
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString(), "'lots' is not a valid floating point value for field 'QTY'");
  EXPECT_TRUE(f.dialog.isVisible());
  EXPECT_EQ(f.codes(), (std::vector<std::string>{"B"}));
  f.dialog.reject();

  // The filter cleared elsewhere (or the table closed): the dialog opens with no criteria.
  f.ds.clearFilter();
  f.dialog.show();
  f.pick("NAME");
  EXPECT_TRUE(f.summary().empty());
  EXPECT_TRUE(f.dialog.valueEdit()->text().isEmpty());
}

}  // namespace

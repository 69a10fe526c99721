// The memo window answered as a user would: typing, OK or Cancel; the memo file is checked after.

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "controls/memo_dialog.h"
#include "tables/error.h"
#include "tests/controls/editors_fixture.h"

using rf::controls::MemoDialog;
using rf::dataset::DataSource;
using rf::dataset::Dataset;
using rf::dataset::DatasetState;
using rf::test::onDisk;
using rf::test::PiecesTable;

namespace {

struct Window {
  PiecesTable t{{"A", "one"}, {"B", "two"}};
  Dataset ds;
  DataSource source{&ds};
  MemoDialog dialog;
  std::string shown;  // what the box showed when the window opened

  Window() {
    {
      auto table = t.engine.openPath(t.path);
      auto c = table->openCursor();
      c->first();
      auto r = c->record();
      table->set(r, "NOTES", rf::tables::Value::text("old\r\nline"));
      table->update(r);
    }
    ds.open(t.engine, t.request());
    dialog.setWindowTitle("Equipment Details");
    dialog.setDataSource(&source);
    dialog.setFieldName("notes");
  }
  // Once the window is up: types `typed` at the end of the text and presses `button`.
  bool answer(const char* typed, QDialogButtonBox::StandardButton button) {
    QTimer::singleShot(0, [this, typed, button] {
      shown = dialog.editor()->toPlainText().toStdString();
      QTest::keyClick(dialog.editor(), Qt::Key_End, Qt::ControlModifier);
      QTest::keyClicks(dialog.editor(), typed);
      QTest::mouseClick(dialog.buttons()->button(button), Qt::LeftButton);
    });
    return dialog.execute();
  }
};

TEST(MemoDialog, OkWritesTheTextIntoTheFieldInEditState) {
  Window w;
  EXPECT_EQ(w.dialog.windowTitle(), "Equipment Details");
  w.dialog.setWordWrap(true);
  EXPECT_TRUE(w.dialog.wordWrap());
  EXPECT_EQ(w.dialog.editor()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  ASSERT_TRUE(w.answer(" added", QDialogButtonBox::Ok));
  EXPECT_EQ(w.shown, "old\nline");
  EXPECT_TRUE(w.dialog.isModal());
  EXPECT_EQ(w.ds.state(), DatasetState::Edit);
  EXPECT_EQ(w.ds.field("NOTES").asText(), "old\r\nline added");
  EXPECT_EQ(onDisk(w.t, "NOTES"), (std::vector<std::string>{"old\r\nline", ""})) << "saved with the next post";
  w.ds.post();
  EXPECT_EQ(onDisk(w.t, "NOTES"), (std::vector<std::string>{"old\r\nline added", ""}));
}

TEST(MemoDialog, CancelChangesNothing) {
  Window w;
  EXPECT_FALSE(w.answer(" typed", QDialogButtonBox::Cancel));
  EXPECT_EQ(w.ds.state(), DatasetState::Browse);
  EXPECT_EQ(w.ds.field("NOTES").asText(), "old\r\nline");

  // Nor on a record being edited: its other changes and the memo stay as they were.
  w.ds.edit();
  w.ds.field("NAME").setText("changed");
  EXPECT_FALSE(w.answer(" typed", QDialogButtonBox::Cancel));
  EXPECT_EQ(w.ds.state(), DatasetState::Edit);
  EXPECT_EQ(w.ds.field("NOTES").asText(), "old\r\nline");
  EXPECT_EQ(w.ds.field("NAME").asText(), "changed");
}

TEST(MemoDialog, ARefusalOnOkReachesTheCaller) {
  Window w;
  // Another user deletes the record while the window is open.
  QTimer::singleShot(0, [&w] {
    auto other = w.t.engine.openPath(w.t.path);
    auto c = other->openCursor();
    c->first();
    other->remove(c->bookmark());
    QTest::mouseClick(w.dialog.buttons()->button(QDialogButtonBox::Ok), Qt::LeftButton);
  });
  try {
    w.dialog.execute();
    FAIL() << "the deleted record was written";
  } catch (const rf::tables::TableError& e) {
    EXPECT_TRUE(std::string(e.what()).ends_with("pieces.dbf: Record/Key deleted")) << e.what();
  }
  EXPECT_EQ(w.ds.state(), DatasetState::Browse);
  EXPECT_EQ(onDisk(w.t, "CODE"), (std::vector<std::string>{"B"}));
}

}  // namespace

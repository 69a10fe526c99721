// Walking a Paradox table of many blocks again and again: the guard against a looping block
// chain counts only the steps since the last jump, so sound tables never look damaged.
#include <gtest/gtest.h>

#include "tables/engine.h"
#include "tables/no_sync_file_system.h"
#include "tests/support/test_support.h"

using namespace rf::tables;

TEST(ParadoxCursorWalk, RepeatedWalksOverManyBlocksStaySound) {
  rf::test::TempDir dir;
  NoSyncFileSystem fs;  // the walk is the point, not the disk
  Engine engine(dir.file("engine.conf"), fs);
  TableDef def;
  def.format = Format::Paradox;
  def.version = 7;
  def.primaryKeyFields = 1;
  FieldDef id;
  id.name = "Id";
  id.type = FieldType::Integer;
  id.native = 'I';
  FieldDef name;
  name.name = "Name";
  name.type = FieldType::Text;
  name.native = 'A';
  name.width = 60;
  def.fields = {id, name};
  auto t = engine.create(dir.file("WALK.DB"), def);
  constexpr int kRecords = 3000;  // some fifty blocks
  for (int i = 1; i <= kRecords; ++i) {
    Record r = t->blankRecord();
    t->set(r, "Id", Value::number(i));
    t->set(r, "Name", Value::text("piece " + std::to_string(i)));
    t->insert(r);
  }
  auto c = t->openCursor();
  const Bookmark middle = [&] {
    c->first();
    for (int i = 1; i < kRecords / 2; ++i) c->next();
    return c->bookmark();
  }();
  // Forward walks restarted by first(), a bookmark and a seek, then backward walks from last().
  for (int round = 0; round < 4; ++round) {
    int seen = 0;
    for (bool ok = c->first(); ok; ok = c->next()) ++seen;
    EXPECT_EQ(seen, kRecords);
    ASSERT_TRUE(c->gotoBookmark(middle));
    seen = 0;
    for (bool ok = true; ok; ok = c->next()) ++seen;
    EXPECT_EQ(seen, kRecords - kRecords / 2 + 1);
    ASSERT_TRUE(c->seek({Value::number(10)}));
    seen = 0;
    for (bool ok = true; ok; ok = c->next()) ++seen;
    EXPECT_EQ(seen, kRecords - 9);
    seen = 0;
    for (bool ok = c->last(); ok; ok = c->prior()) ++seen;
    EXPECT_EQ(seen, kRecords);
  }
}

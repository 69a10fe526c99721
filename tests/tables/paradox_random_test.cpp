// Random sequences of inserts, edits (of keys too) and deletes against a sorted reference, with
// the engine's own check after every step: block splits, emptied blocks given back, index trees
// growing to three levels and shrinking to none, secondary indexes kept in step.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <tuple>

#include "tables/engine.h"
#include "tables/error.h"
#include "tables/no_sync_file_system.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using rf::test::TempDir;

namespace {


FieldDef field(const std::string& name, FieldType type, char native, int width = 0) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.native = native;
  f.width = width;
  return f;
}

struct Row {
  int num;
  std::string name;
  std::string memo;
};

// The number of levels the tree index at `path` has (header byte 0x20).
int indexLevels(const std::string& path) {
  std::uint8_t b[0x21] = {};
  auto f = FileSystem::real().open(path, OpenMode::ReadOnly);
  f->readExact(0, b, "the header");
  return b[0x20];
}

}  // namespace

TEST(ParadoxRandom, KeyedTableMatchesASortedReference) {
  NoSyncFileSystem fs;
  TempDir dir;
  // Version 5 caps blocks at 4 KB: with ~1 KB records (three a block) and 261-byte index entries
  // (fifteen a block) the table splits every few records and its .PX reaches three levels at 226
  // data blocks.
  TableDef def;
  def.format = Format::Paradox;
  def.version = 5;
  def.primaryKeyFields = 1;
  def.fields = {field("Key", FieldType::Text, 'A', 255), field("Num", FieldType::Integer, 'S'),
                field("Name", FieldType::Text, 'A', 40),  field("Pad", FieldType::Text, 'A', 250),
                field("Pad2", FieldType::Text, 'A', 250), field("Pad3", FieldType::Text, 'A', 240),
                field("Memo", FieldType::Memo, 'M', 10)};
  def.indexes = {IndexDef{"ByNum", "", {"Num", "Name"}}, IndexDef{"", "", {"Name"}}};
  std::string path = dir.file("RAND.DB");
  auto t = createParadoxTable(fs, path, def);
  std::map<std::string, Row> ref;
  std::minstd_rand rng(20240611);
  auto keyOf = [&](unsigned n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "K%05u", n);
    return std::string(buf);
  };
  auto write = [&](Record& r, const std::string& key, const Row& row) {
    t->set(r, "Key", Value::text(key));
    t->set(r, "Num", Value::number(row.num));
    t->set(r, "Name", Value::text(row.name));
    t->set(r, "Pad", Value::text("p" + key));
    t->set(r, "Memo", row.memo.empty() ? Value::blank() : Value::text(row.memo));
  };
  auto randomRow = [&] {
    Row row{static_cast<int>(rng() % 40), "n" + std::to_string(rng() % 60), ""};
    if (rng() % 3 == 0) row.memo = std::string(rng() % 3000, static_cast<char>('a' + rng() % 26));
    return row;
  };
  auto bookmarkOf = [&](const std::string& key) {
    auto c = t->openCursor();
    EXPECT_TRUE(c->seek({Value::text(key)}));
    return c->bookmark();
  };
  auto verifyOrders = [&] {
    auto c = t->openCursor();
    auto it = ref.begin();
    for (bool ok = c->first(); ok; ok = c->next(), ++it) {
      ASSERT_NE(it, ref.end());
      ASSERT_EQ(t->get(c->record(), "Key").asText(), it->first);
      ASSERT_EQ(t->get(c->record(), "Num").asNumber(), it->second.num);
      ASSERT_EQ(t->get(c->record(), "Memo").asText(), it->second.memo);
    }
    ASSERT_EQ(it, ref.end());
    std::vector<std::tuple<int, std::string, std::string>> byNum;
    for (const auto& [k, r] : ref) byNum.emplace_back(r.num, r.name, k);
    std::sort(byNum.begin(), byNum.end());
    auto n = t->openCursor("ByNum");
    std::size_t i = 0;
    for (bool ok = n->first(); ok; ok = n->next(), ++i) {
      ASSERT_LT(i, byNum.size());
      ASSERT_EQ(t->get(n->record(), "Key").asText(), std::get<2>(byNum[i]));
    }
    ASSERT_EQ(i, byNum.size());
  };

  int maxLevels = 0;
  const int kSteps = 1500;
  for (int step = 0; step < kSteps; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    bool growing = step < kSteps * 2 / 3;
    auto dice = static_cast<unsigned>(rng() % 100);
    std::string key = keyOf(static_cast<unsigned>(rng() % 4000));
    if (dice < (growing ? 60u : 10u)) {
      Row row = randomRow();
      Record r = t->blankRecord();
      write(r, key, row);
      if (ref.count(key)) {
        EXPECT_THROW(t->insert(r), TableError);
      } else {
        t->insert(r);
        ref[key] = row;
      }
    } else if (ref.empty()) {
      continue;
    } else {
      auto it = ref.begin();
      std::advance(it, static_cast<long>(rng() % ref.size()));
      std::string existing = it->first;
      auto c = t->openCursor();
      ASSERT_TRUE(c->seek({Value::text(existing)}));
      Record r = c->record();
      if (dice < (growing ? 80u : 30u)) {
        Row row = randomRow();
        write(r, existing, row);
        t->update(r);
        ref[existing] = row;
      } else if (dice < (growing ? 88u : 40u)) {
        // A new key: the record moves; onto a taken key it is refused.
        Row row = it->second;
        t->set(r, "Key", Value::text(key));
        if (ref.count(key)) {
          EXPECT_THROW(t->update(r), TableError);
        } else {
          t->update(r);
          ref.erase(existing);
          ref[key] = row;
        }
      } else {
        t->remove(bookmarkOf(existing));
        ref.erase(existing);
      }
    }
    ASSERT_EQ(t->info().recordCount, ref.size());
    CheckReport report = t->check();
    ASSERT_TRUE(report.ok()) << report.problems[0];
    maxLevels = std::max(maxLevels, indexLevels(dir.file("RAND.PX")));
    if (step % 200 == 0) verifyOrders();
  }
  verifyOrders();
  EXPECT_EQ(maxLevels, 3);

  // Down to nothing and up again.
  while (!ref.empty()) {
    t->remove(bookmarkOf(ref.begin()->first));
    ref.erase(ref.begin());
  }
  EXPECT_EQ(indexLevels(dir.file("RAND.PX")), 0);
  ASSERT_TRUE(t->check().ok());
  for (unsigned i = 0; i < 50; ++i) {
    Record r = t->blankRecord();
    Row row = randomRow();
    write(r, keyOf(i * 7), row);
    t->insert(r);
    ref[keyOf(i * 7)] = row;
  }
  ASSERT_TRUE(t->check().ok());
  verifyOrders();
}

TEST(ParadoxRandom, UnkeyedTableKeepsRecordOrder) {
  NoSyncFileSystem fs;
  TempDir dir;
  TableDef def;
  def.format = Format::Paradox;
  def.fields = {field("Seq", FieldType::Integer, 'I'), field("Text", FieldType::Text, 'A', 255),
                field("More", FieldType::Text, 'A', 255), field("Blob", FieldType::Binary, 'B', 4)};
  auto t = createParadoxTable(fs, dir.file("LOG.DB"), def);
  std::vector<std::pair<int, std::size_t>> ref;  // sequence number, blob size
  std::minstd_rand rng(7);
  int next = 0;
  for (int step = 0; step < 900; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    auto dice = static_cast<unsigned>(rng() % 100);
    if (dice < 55 || ref.empty()) {
      Record r = t->blankRecord();
      std::size_t blob = rng() % 2 ? rng() % 6000 : 0;
      t->set(r, "Seq", Value::number(next));
      t->set(r, "Text", Value::text(std::string(rng() % 255, 't')));
      t->set(r, "Blob", blob ? Value::bytes(Bytes(blob, static_cast<std::uint8_t>(next))) : Value::blank());
      t->insert(r);
      ref.emplace_back(next++, blob);
    } else {
      std::size_t at = rng() % ref.size();
      auto c = t->openCursor();
      ASSERT_TRUE(c->first());
      for (std::size_t i = 0; i < at; ++i) ASSERT_TRUE(c->next());
      ASSERT_EQ(t->get(c->record(), "Seq").asNumber(), ref[at].first);
      if (dice < 75) {
        Record r = c->record();
        std::size_t blob = rng() % 9000;
        t->set(r, "Blob", Value::bytes(Bytes(blob, 0x5A)));
        t->update(r);
        ref[at].second = blob;
      } else {
        t->remove(c->bookmark());
        ref.erase(ref.begin() + static_cast<long>(at));
      }
    }
    CheckReport report = t->check();
    ASSERT_TRUE(report.ok()) << report.problems[0];
  }
  auto c = t->openCursor();
  std::size_t i = 0;
  for (bool ok = c->first(); ok; ok = c->next(), ++i) {
    ASSERT_LT(i, ref.size());
    EXPECT_EQ(t->get(c->record(), "Seq").asNumber(), ref[i].first);
    EXPECT_EQ(t->get(c->record(), "Blob").asBytes().size(), ref[i].second);
  }
  EXPECT_EQ(i, ref.size());
}

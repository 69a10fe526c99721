// Malformed xBase files: every kind of damage is reported as an error naming the file (or by
// the integrity check), never a crash, an out-of-bounds read or a wrong row.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "tables/engine.h"
#include "tables/error.h"
#include "tables/file_names.h"
#include "tests/support/test_support.h"
#include "tests/support/xbase_builders.h"

using namespace rf::tables;
using rf::test::TempDir;

namespace {

// Three records with memos in a dBASE IV table with an MDX, or FoxPro with a CDX.
void makeTable(const std::string& path, Format f) {
  Engine e(directoryOf(path) + "/e.conf");
  auto t = e.create(path, rf::test::piecesDef(f));
  for (int i = 0; i < 3; ++i) {
    Record r = t->blankRecord();
    t->set(r, "CODE", Value::text("C" + std::to_string(i)));
    t->set(r, "QTY", Value::number(i));
    t->set(r, "NOTES", Value::text(std::string(700, static_cast<char>('a' + i))));
    t->insert(r);
  }
}

// Opens, checks and reads everything; returns "open failed", "check failed" or "ok".
std::string exercise(const std::string& path, Format f) {
  Engine e(directoryOf(path) + "/e.conf");
  std::unique_ptr<Table> t;
  try {
    t = e.openPath(path, f, true);
  } catch (const TableError& err) {
    EXPECT_FALSE(err.file().empty()) << err.what();
    return "open failed";
  }
  bool readFailed = false;
  try {
    for (const auto& ix : std::vector<std::string>{"", "CODE", "QTY"}) {
      auto c = t->openCursor(ix);
      for (bool ok = c->first(); ok; ok = c->next())
        for (std::size_t i = 0; i < t->schema().size(); ++i) t->get(c->record(), static_cast<int>(i));
    }
  } catch (const TableError& err) {
    readFailed = true;
    EXPECT_NE(std::string(err.what()).find(baseName(withoutExtension(path))), std::string::npos) << err.what();
  }
  CheckReport rep = t->check();
  if (!rep.ok()) return "check failed";
  EXPECT_FALSE(readFailed) << "reading failed but the check passed";
  return "ok";
}

void patch(const std::string& path, std::size_t at, std::vector<std::uint8_t> bytes) {
  auto b = rf::test::readFileBytes(path);
  ASSERT_LE(at + bytes.size(), b.size());
  std::memcpy(b.data() + at, bytes.data(), bytes.size());
  rf::test::writeFileBytes(path, b);
}

}  // namespace

TEST(XbaseCorrupt, BadHeadersAreRefusedOrReported) {
  struct Case {
    const char* name;
    std::function<void(const std::string& dir)> damage;
    const char* expected;
  };
  auto dbf = [](const std::string& d) { return d + "/pieces.dbf"; };
  const Case cases[] = {
      {"record length 1", [&](auto d) { patch(dbf(d), 10, {1, 0}); }, "open failed"},
      {"record length huge", [&](auto d) { patch(dbf(d), 10, {0xFF, 0xFF}); }, "open failed"},
      {"header length past the file", [&](auto d) { patch(dbf(d), 8, {0xFF, 0xFF}); }, "open failed"},
      {"header length inside the fields", [&](auto d) { patch(dbf(d), 8, {40, 0}); }, "open failed"},
      {"unknown field type", [&](auto d) { patch(dbf(d), 32 + 11, {'X'}); }, "open failed"},
      {"field wider than the record", [&](auto d) { patch(dbf(d), 32 + 16, {250}); }, "open failed"},
      {"no version we know", [&](auto d) { patch(dbf(d), 0, {0x77}); }, "open failed"},
      {"record count past the data", [&](auto d) { patch(dbf(d), 4, {0xFF, 0xFF, 0xFF, 0x0F}); }, "check failed"},
      {"memo file missing", [&](auto d) { std::filesystem::remove(d + "/pieces.dbt"); }, "open failed"},
      {"memo pointer past the end", [&](auto d) {
         // NOTES is the last field (10 digits) of the first record.
         auto b = rf::test::readFileBytes(dbf(d));
         std::size_t header = b[8] | (b[9] << 8), reclen = b[10] | (b[11] << 8);
         patch(dbf(d), header + reclen - 10, std::vector<std::uint8_t>({' ', ' ', ' ', ' ', '9', '9', '9', '9', '9', '9'}));
       }, "check failed"},
      {"index not matching the table", [&](auto d) {
         auto b = rf::test::readFileBytes(dbf(d));
         std::size_t header = b[8] | (b[9] << 8);
         patch(dbf(d), header + 1, {'Z', 'Z'});  // CODE of the first record changed behind the index
       }, "check failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    makeTable(dir.file("pieces.dbf"), Format::Dbase);
    c.damage(dir.path());
    EXPECT_EQ(exercise(dir.file("pieces.dbf"), Format::Dbase), c.expected);
  }
}

TEST(XbaseCorrupt, IndexThatNoLongerMatchesNeverYieldsAWrongRow) {
  TempDir dir;
  makeTable(dir.file("pieces.dbf"), Format::Dbase);
  auto b = rf::test::readFileBytes(dir.file("pieces.dbf"));
  std::size_t header = b[8] | (b[9] << 8);
  patch(dir.file("pieces.dbf"), header + 1, {'Z', 'Z'});
  Engine e(dir.file("e.conf"));
  auto t = e.openPath(dir.file("pieces.dbf"));
  auto c = t->openCursor("CODE");
  ASSERT_TRUE(c->seek({Value::text("C0")}) || true);
  for (bool ok = c->first(); ok; ok = c->next())
    EXPECT_NE(t->get(c->record(), "CODE").asText(), "ZZ") << "a row the index does not describe";
}

// Every file cut at many points: the engine refuses or reports, and never reads out of bounds
// (the sanitizer build runs this too).
TEST(XbaseCorrupt, TruncationSweep) {
  for (Format f : {Format::Dbase, Format::FoxPro}) {
    TempDir base;
    makeTable(base.file("pieces.dbf"), f);
    for (const char* ext : {".dbf", f == Format::Dbase ? ".dbt" : ".fpt", f == Format::Dbase ? ".mdx" : ".cdx"}) {
      std::string victim = std::string("pieces") + ext;
      auto whole = rf::test::readFileBytes(base.file(victim));
      for (std::size_t cut = 0; cut < whole.size(); cut += (cut < 300 ? 1 : 97)) {
        SCOPED_TRACE(victim + " cut at " + std::to_string(cut));
        TempDir dir;
        for (const auto& entry : std::filesystem::directory_iterator(base.path()))
          rf::test::copyFile(entry.path().string(), dir.file(entry.path().filename().string()));
        std::filesystem::resize_file(dir.file(victim), cut);
        std::string result = exercise(dir.file("pieces.dbf"), f);
        if (std::string(ext) == ".dbf" && cut < 32) {
          EXPECT_EQ(result, "open failed");
        }
      }
    }
  }
}

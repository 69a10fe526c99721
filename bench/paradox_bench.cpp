// Paradox tables at inventory scale: a generated 39-field table of 100,000 records, a memo on
// every record and a 50 KB photo on one in ten, with a secondary index on the reporting mark and
// road number. Measured: full scans with and without the blobs against a raw read of the same
// bytes, seeks by primary key and by the secondary index, keyed insert+post and edit+post of an
// indexed field against SQLite doing the same (rollback journal, synchronous FULL), and Debian's
// pxlib scanning the same table without its blobs.
//
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true for medians.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "tables/engine.h"
#include "tables/error.h"
#include "tables/no_sync_file_system.h"

#ifdef RF_HAVE_PXLIB
extern "C" {
#include <paradox.h>
}
#endif

using namespace rf::tables;
namespace fsys = std::filesystem;

namespace {

constexpr int kRecords = 100000;

struct Column {
  const char* name;
  FieldType type;
  char native;
  int width;
};

const Column kColumns[] = {
    {"I_ASSET", FieldType::Number, 'N', 8},     {"I_EQTYPE", FieldType::Integer, 'S', 2},
    {"I_CAT", FieldType::Text, 'A', 10},         {"I_SUBCAT", FieldType::Text, 'A', 10},
    {"I_CLASS", FieldType::Text, 'A', 10},       {"I_REPMK", FieldType::Text, 'A', 6},
    {"I_REPNO", FieldType::Text, 'A', 8},        {"I_SCALE", FieldType::Text, 'A', 4},
    {"I_DESC", FieldType::Text, 'A', 40},        {"I_PAINT", FieldType::Text, 'A', 20},
    {"I_MFGR", FieldType::Text, 'A', 20},        {"I_MFGRNO", FieldType::Text, 'A', 15},
    {"I_IMPTR", FieldType::Text, 'A', 20},       {"I_ACQD", FieldType::Date, 'D', 4},
    {"I_COST", FieldType::Money, '$', 8},        {"I_VALUE", FieldType::Money, '$', 8},
    {"I_VDATE", FieldType::Date, 'D', 4},        {"I_COND", FieldType::Text, 'A', 10},
    {"I_SLOC", FieldType::Text, 'A', 20},        {"R_NAME", FieldType::Text, 'A', 30},
    {"I_RMK1", FieldType::Text, 'A', 30},        {"I_RMK2", FieldType::Text, 'A', 30},
    {"I_RMK3", FieldType::Text, 'A', 30},        {"I_TRUCKS", FieldType::Text, 'A', 10},
    {"I_COUPLER", FieldType::Text, 'A', 10},     {"I_LENGTH", FieldType::Number, 'N', 8},
    {"I_WEIGHT", FieldType::Number, 'N', 8},     {"I_USER1", FieldType::Text, 'A', 20},
    {"I_FLAG1", FieldType::Text, 'A', 1},        {"I_USER2", FieldType::Text, 'A', 20},
    {"I_FLAG2", FieldType::Text, 'A', 1},        {"I_DTSLD", FieldType::Date, 'D', 4},
    {"I_DETAIL", FieldType::Memo, 'M', 1},       {"I_Gain", FieldType::Money, '$', 8},
    {"I_Increase", FieldType::Money, '$', 8},    {"I_LocoChan", FieldType::Text, 'A', 10},
    {"W_HomeYard", FieldType::Text, 'A', 20},    {"W_Print", FieldType::Logical, 'L', 1},
    {"I_Photo", FieldType::Binary, 'G', 0},
};
static_assert(sizeof kColumns / sizeof kColumns[0] == 39);

const char* kMarks[] = {"ATSF", "BN", "CB&Q", "DRGW", "GN", "MILW", "NP", "PRR", "SP", "UP"};

struct Fixture {
  std::string dir;
  std::string table;
  std::string sqlite;
  std::uint32_t blockSize = 0;
  double nextAsset = kRecords + 1;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void fill(Table& t, Record& r, int asset, std::minstd_rand& rng, bool photo) {
  char buf[64];
  t.set(r, "I_ASSET", Value::number(asset));
  t.set(r, "I_EQTYPE", Value::number(static_cast<double>(rng() % 40)));
  t.set(r, "I_CAT", Value::text("Freight"));
  t.set(r, "I_CLASS", Value::text("Boxcar"));
  t.set(r, "I_REPMK", Value::text(kMarks[rng() % 10]));
  std::snprintf(buf, sizeof buf, "%06u", static_cast<unsigned>(rng() % 1000000));
  t.set(r, "I_REPNO", Value::text(buf));
  t.set(r, "I_SCALE", Value::text("HO"));
  std::snprintf(buf, sizeof buf, "40 ft boxcar, car %d", asset);
  t.set(r, "I_DESC", Value::text(buf));
  t.set(r, "I_MFGR", Value::text("Athearn"));
  t.set(r, "I_ACQD", Value::date(Date{std::chrono::year{1990 + static_cast<int>(rng() % 30)}, std::chrono::month{1}, std::chrono::day{15}}));
  t.set(r, "I_COST", Value::number(static_cast<double>(rng() % 10000) / 100));
  t.set(r, "I_VALUE", Value::number(static_cast<double>(rng() % 20000) / 100));
  t.set(r, "I_LENGTH", Value::number(40.5));
  t.set(r, "W_Print", Value::logical(rng() % 2));
  t.set(r, "I_DETAIL", Value::text("Weathered, kadee couplers, metal wheels; bought at the " + std::to_string(asset % 97) +
                                       "th swap meet. " + std::string(rng() % 300, '.')));
  if (photo) t.set(r, "I_Photo", Value::bytes(Bytes(50 * 1024, static_cast<std::uint8_t>(asset))));
}

void sqliteExec(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", err ? err : "?");
    std::exit(1);
  }
}

void build() {
  Fixture& f = fixture();
  char tmpl[] = "/tmp/railfolio-bench-XXXXXX";
  if (!::mkdtemp(tmpl)) std::exit(1);
  f.dir = tmpl;
  f.table = f.dir + "/INVEN.DB";
  f.sqlite = f.dir + "/inven.sqlite";
  TableDef def;
  def.format = Format::Paradox;
  def.primaryKeyFields = 1;
  for (const auto& c : kColumns) {
    FieldDef d;
    d.name = c.name;
    d.type = c.type;
    d.native = c.native;
    d.width = c.width;
    def.fields.push_back(d);
  }
  def.indexes = {IndexDef{"ByRoad", "", {"I_REPMK", "I_REPNO"}}};
  // Building the table is not what is measured; every measured change goes through the real,
  // syncing, file system.
  NoSyncFileSystem quick;
  {
    auto t = createParadoxTable(quick, f.table, def);
    std::minstd_rand rng(1);
    for (int i = 1; i <= kRecords; ++i) {
      Record r = t->blankRecord();
      fill(*t, r, i, rng, i % 10 == 0);
      t->insert(r);
    }
  }
  std::uint8_t h[6];
  FileSystem::real().open(f.table, OpenMode::ReadOnly)->readExact(0, h, "the header");
  f.blockSize = h[5] * 1024u;

  sqlite3* db = nullptr;
  sqlite3_open(f.sqlite.c_str(), &db);
  std::string create = "CREATE TABLE inven (I_ASSET REAL PRIMARY KEY";
  for (std::size_t i = 1; i < 39; ++i) create += std::string(", ") + kColumns[i].name;
  create += ")";
  sqliteExec(db, create);
  sqliteExec(db, "CREATE INDEX byroad ON inven (I_REPMK, I_REPNO)");
  sqliteExec(db, "BEGIN");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO inven (I_ASSET, I_REPMK, I_REPNO, I_DESC, I_DETAIL, I_Photo) VALUES (?,?,?,?,?,?)", -1, &st, nullptr);
  std::minstd_rand rng(1);
  Bytes photo(50 * 1024, 7);
  for (int i = 1; i <= kRecords; ++i) {
    sqlite3_bind_double(st, 1, i);
    sqlite3_bind_text(st, 2, kMarks[rng() % 10], -1, SQLITE_STATIC);
    std::string no = std::to_string(rng() % 1000000);
    sqlite3_bind_text(st, 3, no.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 4, "40 ft boxcar", -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 5, "Weathered, kadee couplers, metal wheels", -1, SQLITE_STATIC);
    if (i % 10 == 0) sqlite3_bind_blob(st, 6, photo.data(), static_cast<int>(photo.size()), SQLITE_STATIC);
    else sqlite3_bind_null(st, 6);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqliteExec(db, "COMMIT");
  sqlite3_close(db);
  // Nothing built may still be on its way to the disk when the syncing changes are measured.
  ::sync();
}

std::uint64_t rawRead(const std::string& path, std::size_t chunk) {
  int fd = ::open(path.c_str(), O_RDONLY);
  std::vector<std::uint8_t> buf(chunk);
  std::uint64_t sum = 0;
  off_t at = 0;
  for (ssize_t n; (n = ::pread(fd, buf.data(), buf.size(), at)) > 0; at += n)
    for (ssize_t i = 0; i < n; i += 512) sum += buf[static_cast<std::size_t>(i)];
  ::close(fd);
  return sum;
}

void BM_RawReadTable(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(rawRead(fixture().table, fixture().blockSize));
}

void BM_RawReadTableAndBlobs(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(rawRead(fixture().table, fixture().blockSize));
    benchmark::DoNotOptimize(rawRead(fixture().dir + "/INVEN.MB", 1 << 16));
  }
}

void BM_ScanWithoutBlobs(benchmark::State& state) {
  auto t = openParadoxTable(FileSystem::real(), fixture().table, OpenOptions{true, false, {}});
  int cost = t->schema().find("I_COST");
  for (auto _ : state) {
    auto c = t->openCursor();
    double sum = 0;
    for (bool ok = c->first(); ok; ok = c->next()) sum += t->get(c->record(), cost).asNumber();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

#ifdef RF_HAVE_PXLIB
// Debian's pxlib walking the same table and reading the same field; it never opens the .MB
// (pxlib 0.6.8 crashes on blob files), so this is its scan of a blob-free table.
void BM_PxlibScanWithoutBlobs(benchmark::State& state) {
  pxdoc_t* doc = PX_new();
  if (!doc || PX_open_file(doc, fixture().table.c_str()) < 0) {
    state.SkipWithError("pxlib cannot open the table");
    return;
  }
  int records = PX_get_num_records(doc);
  int fields = PX_get_num_fields(doc);
  int offset = 0, width = 0;
  for (int i = 0; i < fields; ++i) {
    pxfield_t* f = PX_get_field(doc, i);
    if (std::string(f->px_fname) == "I_COST") {
      width = f->px_flen;
      break;
    }
    offset += f->px_flen;
  }
  std::vector<char> rec(static_cast<std::size_t>(PX_get_recordsize(doc)));
  for (auto _ : state) {
    double sum = 0;
    for (int r = 0; r < records; ++r) {
      if (!PX_get_record(doc, r, rec.data())) continue;
      double v = 0;
      if (PX_get_data_double(doc, rec.data() + offset, width, &v) > 0) sum += v;
    }
    benchmark::DoNotOptimize(sum);
  }
  PX_close(doc);
  PX_delete(doc);
  state.SetItemsProcessed(state.iterations() * records);
}
#endif

void BM_ScanWithBlobs(benchmark::State& state) {
  auto t = openParadoxTable(FileSystem::real(), fixture().table, OpenOptions{true, false, {}});
  int memo = t->schema().find("I_DETAIL"), photo = t->schema().find("I_Photo");
  for (auto _ : state) {
    auto c = t->openCursor();
    std::size_t bytes = 0;
    for (bool ok = c->first(); ok; ok = c->next()) {
      bytes += t->get(c->record(), memo).asText().size();
      bytes += t->get(c->record(), photo).asBytes().size();
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_SeekPrimaryKey(benchmark::State& state) {
  auto t = openParadoxTable(FileSystem::real(), fixture().table, OpenOptions{true, false, {}});
  auto c = t->openCursor();
  std::minstd_rand rng(3);
  for (auto _ : state) benchmark::DoNotOptimize(c->seek({Value::number(static_cast<double>(1 + rng() % kRecords))}));
}

void BM_SeekSecondaryIndex(benchmark::State& state) {
  auto t = openParadoxTable(FileSystem::real(), fixture().table, OpenOptions{true, false, {}});
  auto c = t->openCursor("ByRoad");
  std::minstd_rand rng(4);
  char no[16];
  for (auto _ : state) {
    std::snprintf(no, sizeof no, "%06u", static_cast<unsigned>(rng() % 1000000));
    benchmark::DoNotOptimize(c->seek({Value::text(kMarks[rng() % 10]), Value::text(no)}));
  }
}

void BM_InsertAndPost(benchmark::State& state) {
  auto t = openParadoxTable(FileSystem::real(), fixture().table, OpenOptions{});
  std::minstd_rand rng(5);
  for (auto _ : state) {
    Record r = t->blankRecord();
    fill(*t, r, static_cast<int>(fixture().nextAsset++), rng, false);
    t->insert(r);
  }
}

void BM_EditIndexedFieldAndPost(benchmark::State& state) {
  auto t = openParadoxTable(FileSystem::real(), fixture().table, OpenOptions{});
  auto c = t->openCursor();
  std::minstd_rand rng(6);
  char no[16];
  for (auto _ : state) {
    c->seek({Value::number(static_cast<double>(1 + rng() % kRecords))});
    Record r = c->record();
    std::snprintf(no, sizeof no, "%06u", static_cast<unsigned>(rng() % 1000000));
    t->set(r, "I_REPNO", Value::text(no));
    t->update(r);
  }
}

sqlite3* openSqlite() {
  sqlite3* db = nullptr;
  sqlite3_open(fixture().sqlite.c_str(), &db);
  sqliteExec(db, "PRAGMA journal_mode=DELETE");
  sqliteExec(db, "PRAGMA synchronous=FULL");
  return db;
}

void BM_SqliteInsert(benchmark::State& state) {
  sqlite3* db = openSqlite();
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO inven (I_ASSET, I_REPMK, I_REPNO, I_DESC, I_DETAIL) VALUES (?,?,?,?,?)", -1, &st, nullptr);
  std::minstd_rand rng(5);
  static double asset = 10 * kRecords;
  for (auto _ : state) {
    sqlite3_bind_double(st, 1, asset++);
    sqlite3_bind_text(st, 2, kMarks[rng() % 10], -1, SQLITE_STATIC);
    std::string no = std::to_string(rng() % 1000000);
    sqlite3_bind_text(st, 3, no.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 4, "40 ft boxcar", -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 5, "Weathered, kadee couplers, metal wheels", -1, SQLITE_STATIC);
    if (sqlite3_step(st) != SQLITE_DONE) state.SkipWithError("insert failed");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
}

void BM_SqliteEditIndexedField(benchmark::State& state) {
  sqlite3* db = openSqlite();
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "UPDATE inven SET I_REPNO = ? WHERE I_ASSET = ?", -1, &st, nullptr);
  std::minstd_rand rng(6);
  for (auto _ : state) {
    std::string no = std::to_string(rng() % 1000000);
    sqlite3_bind_text(st, 1, no.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(st, 2, static_cast<double>(1 + rng() % kRecords));
    if (sqlite3_step(st) != SQLITE_DONE) state.SkipWithError("update failed");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
}

}  // namespace

BENCHMARK(BM_RawReadTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanWithoutBlobs)->Unit(benchmark::kMillisecond);
#ifdef RF_HAVE_PXLIB
BENCHMARK(BM_PxlibScanWithoutBlobs)->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_RawReadTableAndBlobs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanWithBlobs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekPrimaryKey)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SeekSecondaryIndex)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InsertAndPost)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_SqliteInsert)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_EditIndexedFieldAndPost)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_SqliteEditIndexedField)->Unit(benchmark::kMillisecond)->Iterations(300);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  try {
    build();
  } catch (const TableError& e) {
    std::fprintf(stderr, "building the table failed: %s\n", e.what());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fsys::remove_all(fixture().dir, ec);
  return 0;
}

// The xBase engine against the raw read of the same bytes, Perl XBase and SQLite, on generated
// 100,000-record tables: dBASE (.DBT memo, two .MDX tags) and FoxPro (.FPT memo, two .CDX tags).
//
//   ./build/bench/xbase_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// The tables are generated once under the system's temporary directory and reused.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

#include "tables/engine.h"
#include "tables/fault_file_system.h"
#include "tables/file_system.h"

using namespace rf::tables;
namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 100000;

std::string dataDir() {
  static std::string dir = [] {
    auto d = fs::temp_directory_path() / "railfolio-bench-xbase";
    fs::create_directories(d);
    return d.string();
  }();
  return dir;
}

FieldDef field(const char* name, FieldType t, int w = 0, int d = 0) {
  FieldDef f;
  f.name = name;
  f.type = t;
  f.width = w;
  f.decimals = d;
  f.native = 0;
  return f;
}

TableDef inventoryDef(Format f) {
  TableDef d;
  d.format = f;
  d.fields = {field("ASSET", FieldType::Number, 10), field("REPMK", FieldType::Text, 6),
              field("REPNO", FieldType::Text, 6),   field("DESCR", FieldType::Text, 20),
              field("COST", FieldType::Number, 10, 2), field("ACQD", FieldType::Date),
              field("NOTES", FieldType::Memo)};
  d.indexes = {{"ASSET", "ASSET", {}, false, false}, {"ROAD", "REPMK+REPNO", {}, false, false}};
  return d;
}

const char* kMarks[] = {"ATSF", "BN", "CB&Q", "CNW", "CP", "D&RGW", "GN", "MILW", "NP", "PRR", "SP", "UP"};

void fill(Table& t, Record& r, int i) {
  t.set(r, "ASSET", Value::number(i));
  t.set(r, "REPMK", Value::text(kMarks[i % 12]));
  t.set(r, "REPNO", Value::text(std::to_string(100000 - i)));
  t.set(r, "DESCR", Value::text("40ft boxcar " + std::to_string(i % 97)));
  t.set(r, "COST", Value::number(10 + (i % 5000) / 100.0));
  t.set(r, "ACQD", Value::date(Date{std::chrono::year{1990 + i % 30}, std::chrono::month{1 + unsigned(i % 12)},
                                    std::chrono::day{1 + unsigned(i % 28)}}));
  t.set(r, "NOTES", Value::text("Weathered, Kadee couplers, metal wheels. Bought at the show, lot " + std::to_string(i)));
}

// Path of the generated table of that family, made on first use.
std::string table(Format f) {
  std::string path = dataDir() + (f == Format::Dbase ? "/inv_dbase.dbf" : "/inv_fox.dbf");
  std::string mark = path + ".complete";
  if (fs::exists(mark)) return path;
  for (const char* ext : {".dbf", ".dbt", ".mdx", ".fpt", ".cdx"}) fs::remove(path.substr(0, path.size() - 4) + ext);
  Engine engine(dataDir() + "/engine.conf");
  engine.create(path, inventoryDef(f));
  OpenOptions bulk;
  bulk.bulkLoad = true;
  auto t = openXbaseTable(FileSystem::real(), path, f, bulk);
  for (int i = 1; i <= kRecords; ++i) {
    Record r = t->blankRecord();
    fill(*t, r, i);
    t->insert(r);
  }
  t.reset();
  std::FILE* m = std::fopen(mark.c_str(), "w");
  if (m) std::fclose(m);
  return path;
}

Format formatOf(const benchmark::State& s) { return s.range(0) == 0 ? Format::Dbase : Format::FoxPro; }

// Every live record in record order, as a screen's model walks them: the record's bytes are
// touched as the raw read touches them.
void BM_Scan(benchmark::State& state) {
  auto t = openXbaseTable(FileSystem::real(), table(formatOf(state)), formatOf(state), OpenOptions{true, false, {}});
  for (auto _ : state) {
    std::uint64_t sum = 0;
    auto c = t->openCursor();
    for (bool ok = c->first(); ok; ok = c->next()) sum += c->record().image()[1];
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// The same walk reading one number field of each record as a value.
void BM_ScanDecodingAField(benchmark::State& state) {
  auto t = openXbaseTable(FileSystem::real(), table(formatOf(state)), formatOf(state), OpenOptions{true, false, {}});
  int asset = t->schema().find("ASSET");
  for (auto _ : state) {
    double sum = 0;
    auto c = t->openCursor();
    for (bool ok = c->first(); ok; ok = c->next()) sum += t->get(c->record(), asset).asNumber();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// The walk in the order of a tag.
void BM_ScanByIndex(benchmark::State& state) {
  auto t = openXbaseTable(FileSystem::real(), table(formatOf(state)), formatOf(state), OpenOptions{true, false, {}});
  for (auto _ : state) {
    std::uint64_t n = 0;
    auto c = t->openCursor("ROAD");
    for (bool ok = c->first(); ok; ok = c->next()) n += c->record().image()[1];
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_RawRead(benchmark::State& state) {
  auto f = FileSystem::real().open(table(formatOf(state)), OpenMode::ReadOnly);
  std::vector<std::uint8_t> buf(64 * 1024);
  for (auto _ : state) {
    std::uint64_t sum = 0, at = 0;
    for (std::size_t n; (n = f->readAt(at, buf)) > 0; at += n)
      for (std::size_t i = 0; i < n; i += 64) sum += buf[i];
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_SeekByIndex(benchmark::State& state) {
  auto t = openXbaseTable(FileSystem::real(), table(formatOf(state)), formatOf(state), OpenOptions{true, false, {}});
  auto c = t->openCursor("ASSET");
  std::mt19937 rng(1);
  auto pick = [&] { return static_cast<double>(1 + rng() % kRecords); };
  for (auto _ : state) {
    bool found = c->seek({Value::number(pick())});
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations());
}

// Saves on a copy of the generated table, through a counting (never failing) file layer.
struct Writable {
  explicit Writable(Format f) : counting(FileSystem::real()) {
    std::string src = table(f);
    std::string stem = src.substr(0, src.size() - 4);
    dest = dataDir() + (f == Format::Dbase ? "/work_dbase" : "/work_fox");
    for (const char* ext : {".dbf", ".dbt", ".mdx", ".fpt", ".cdx"})
      if (fs::exists(stem + ext)) fs::copy_file(stem + ext, dest + ext, fs::copy_options::overwrite_existing);
    t = openXbaseTable(counting, dest + ".dbf", f, OpenOptions{});
  }
  FaultFileSystem counting;
  std::string dest;
  std::unique_ptr<Table> t;
};

void BM_InsertPost(benchmark::State& state) {
  Writable w(formatOf(state));
  int i = kRecords;
  std::uint64_t syncs = w.counting.count(FaultFileSystem::Op::Sync);
  for (auto _ : state) {
    Record r = w.t->blankRecord();
    fill(*w.t, r, ++i);
    w.t->insert(r);
  }
  state.counters["syncs_per_save"] =
      static_cast<double>(w.counting.count(FaultFileSystem::Op::Sync) - syncs) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations());
}

void BM_EditPost(benchmark::State& state) {
  Writable w(formatOf(state));
  auto c = w.t->openCursor("ASSET");
  std::mt19937 rng(2);
  std::uint64_t syncs = w.counting.count(FaultFileSystem::Op::Sync);
  for (auto _ : state) {
    c->seek({Value::number(static_cast<double>(1 + rng() % kRecords))});
    Record r = c->record();
    w.t->set(r, "COST", Value::number(static_cast<double>(rng() % 10000) / 100.0));
    w.t->set(r, "REPNO", Value::text(std::to_string(rng() % 999999)));  // moves it in the ROAD tag
    w.t->update(r);
  }
  state.counters["syncs_per_save"] =
      static_cast<double>(w.counting.count(FaultFileSystem::Op::Sync) - syncs) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations());
}

void BM_PerlXbaseScan(benchmark::State& state) {
  std::string cmd = "dbf_dump --fs , " + table(formatOf(state)) + " > /dev/null 2>&1";
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("dbf_dump failed");
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// SQLite with a rollback journal and synchronous=FULL, the same columns and two indexes.
struct Sqlite {
  Sqlite() {
    std::string path = dataDir() + "/inv.sqlite";
    bool fresh = !fs::exists(path + ".complete");
    if (fresh) fs::remove(path);
    sqlite3_open(path.c_str(), &db);
    exec("PRAGMA journal_mode=DELETE");
    exec("PRAGMA synchronous=FULL");
    if (fresh) {
      exec("CREATE TABLE inv(asset REAL, repmk TEXT, repno TEXT, descr TEXT, cost REAL, acqd TEXT, notes TEXT)");
      exec("CREATE INDEX inv_asset ON inv(asset)");
      exec("CREATE INDEX inv_road ON inv(repmk, repno)");
      exec("BEGIN");
      sqlite3_stmt* s = prepare("INSERT INTO inv VALUES(?,?,?,?,?,?,?)");
      for (int i = 1; i <= kRecords; ++i) insert(s, i);
      sqlite3_finalize(s);
      exec("COMMIT");
      std::FILE* m = std::fopen((path + ".complete").c_str(), "w");
      if (m) std::fclose(m);
    }
  }
  ~Sqlite() { sqlite3_close(db); }
  void exec(const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
  sqlite3_stmt* prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    return s;
  }
  void insert(sqlite3_stmt* s, int i) {
    std::string repno = std::to_string(100000 - i), descr = "40ft boxcar " + std::to_string(i % 97);
    std::string notes = "Weathered, Kadee couplers, metal wheels. Bought at the show, lot " + std::to_string(i);
    sqlite3_bind_double(s, 1, i);
    sqlite3_bind_text(s, 2, kMarks[i % 12], -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 3, repno.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 4, descr.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(s, 5, 10 + (i % 5000) / 100.0);
    sqlite3_bind_text(s, 6, "19990101", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 7, notes.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  sqlite3* db = nullptr;
};

void BM_SqliteInsert(benchmark::State& state) {
  Sqlite q;
  sqlite3_stmt* s = q.prepare("INSERT INTO inv VALUES(?,?,?,?,?,?,?)");
  int i = 2 * kRecords;
  for (auto _ : state) q.insert(s, ++i);
  sqlite3_finalize(s);
  state.SetItemsProcessed(state.iterations());
}

void BM_SqliteEdit(benchmark::State& state) {
  Sqlite q;
  sqlite3_stmt* s = q.prepare("UPDATE inv SET cost=?, repno=? WHERE asset=?");
  std::mt19937 rng(2);
  for (auto _ : state) {
    std::string repno = std::to_string(rng() % 999999);
    sqlite3_bind_double(s, 1, static_cast<double>(rng() % 10000) / 100.0);
    sqlite3_bind_text(s, 2, repno.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(s, 3, static_cast<double>(1 + rng() % kRecords));
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  state.SetItemsProcessed(state.iterations());
}

void families(benchmark::internal::Benchmark* b) { b->ArgName("fox")->Arg(0)->Arg(1); }

}  // namespace

BENCHMARK(BM_RawRead)->Apply(families)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan)->Apply(families)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanDecodingAField)->Apply(families)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanByIndex)->Apply(families)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PerlXbaseScan)->Apply(families)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekByIndex)->Apply(families)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InsertPost)->Apply(families)->Iterations(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditPost)->Apply(families)->Iterations(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteInsert)->Iterations(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteEdit)->Iterations(300)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

// The screens' data layer at collection scale: a Paradox inventory of 100,000 records (eleven
// text, number, money and date fields, a secondary index on reporting mark and road number) and
// a waybill table of 100,000 records keyed by (Asset_no, Wayb_No), ten for each of the first
// 10,000 inventory records. Measured as a screen meets them: a dataset, its grid model and an
// offscreen QTableView opened and the first page painted; one page scrolled; the order switched
// to the secondary index; a filter that passes about 1% of the records until 30 rows show; the
// master moved with its waybills following (datasets alone, and with a grid over the detail);
// and the memory taken by opening the grid and fetching every row to the end.
//
// Run with --benchmark_repetitions=3 --benchmark_report_aggregates_only=true for medians. The
// memory figures come from getrusage's high-water mark, which only ever rises: they are taken
// once per process, before any other benchmark, in a process whose tables were built by a
// child (so building them does not raise the mark). Run the program several times for medians.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractSlider>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

#include "controls/dataset_table_model.h"
#include "dataset/dataset.h"
#include "tables/engine.h"
#include "tables/error.h"
#include "tables/no_sync_file_system.h"

using namespace rf::tables;
using rf::controls::DatasetTableModel;
using rf::dataset::Dataset;
using rf::dataset::FilterCriterion;
namespace fsys = std::filesystem;

namespace {

constexpr int kInventory = 100000;
constexpr int kMasters = 10000;
constexpr int kWaybillsPerMaster = 10;
constexpr int kManufacturers = 100;  // one in a hundred records carries each: the 1% filter

const char* kMarks[] = {"ATSF", "BN", "CB&Q", "DRGW", "GN", "MILW", "NP", "PRR", "SP", "UP"};

struct Fixture {
  std::string dir;
  std::string inventory;
  std::string waybills;
  // The one-shot memory probe (kilobytes of ru_maxrss).
  long rssBeforeKb = 0;
  long rssOpenedKb = 0;
  long rssScrolledKb = 0;
  int rowsFetched = 0;
  std::size_t bookmarkBytes = 0;
  std::string probeError;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

FieldDef field(const char* name, FieldType type, char native, int width = 0) {
  FieldDef d;
  d.name = name;
  d.type = type;
  d.native = native;
  d.width = width;
  return d;
}

Date dateOf(int year, unsigned month, unsigned day) {
  return Date{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
}

void buildInventory(FileSystem& fs) {
  TableDef def;
  def.format = Format::Paradox;
  def.primaryKeyFields = 1;
  def.fields = {field("I_ASSET", FieldType::Number, 'N'),      field("I_REPMK", FieldType::Text, 'A', 6),
                field("I_REPNO", FieldType::Text, 'A', 8),     field("I_DESC", FieldType::Text, 'A', 40),
                field("I_MFGR", FieldType::Text, 'A', 20),     field("I_SCALE", FieldType::Text, 'A', 4),
                field("I_COST", FieldType::Money, '$', 8),     field("I_VALUE", FieldType::Money, '$', 8),
                field("I_ACQD", FieldType::Date, 'D', 4),      field("I_SLOC", FieldType::Text, 'A', 20),
                field("I_COND", FieldType::Text, 'A', 10)};
  def.indexes = {IndexDef{"ByRoad", "", {"I_REPMK", "I_REPNO"}}};
  auto t = createParadoxTable(fs, fixture().inventory, def);
  std::minstd_rand rng(1);
  char buf[64];
  for (int i = 1; i <= kInventory; ++i) {
    Record r = t->blankRecord();
    t->set(r, "I_ASSET", Value::number(i));
    t->set(r, "I_REPMK", Value::text(kMarks[rng() % 10]));
    std::snprintf(buf, sizeof buf, "%06u", static_cast<unsigned>(rng() % 1000000));
    t->set(r, "I_REPNO", Value::text(buf));
    std::snprintf(buf, sizeof buf, "40 ft boxcar, car %d", i);
    t->set(r, "I_DESC", Value::text(buf));
    std::snprintf(buf, sizeof buf, "M%02u Models", static_cast<unsigned>(rng() % kManufacturers));
    t->set(r, "I_MFGR", Value::text(buf));
    t->set(r, "I_SCALE", Value::text("HO"));
    t->set(r, "I_COST", Value::number(static_cast<double>(rng() % 10000) / 100));
    t->set(r, "I_VALUE", Value::number(static_cast<double>(rng() % 20000) / 100));
    t->set(r, "I_ACQD", Value::date(dateOf(1990 + static_cast<int>(rng() % 30), 1 + static_cast<unsigned>(rng() % 12), 15)));
    t->set(r, "I_SLOC", Value::text("Shelf " + std::to_string(rng() % 50)));
    t->set(r, "I_COND", Value::text(rng() % 2 ? "New" : "Used"));
    t->insert(r);
  }
}

void buildWaybills(FileSystem& fs) {
  TableDef def;
  def.format = Format::Paradox;
  def.primaryKeyFields = 2;
  def.fields = {field("Asset_no", FieldType::Number, 'N'),     field("Wayb_No", FieldType::Number, 'N'),
                field("Shp_loc", FieldType::Text, 'A', 20),    field("Cons_loc", FieldType::Text, 'A', 20),
                field("Lading", FieldType::Text, 'A', 20),     field("Route", FieldType::Text, 'A', 30),
                field("W_Date", FieldType::Date, 'D', 4),      field("Empty", FieldType::Logical, 'L', 1)};
  auto t = createParadoxTable(fs, fixture().waybills, def);
  std::minstd_rand rng(2);
  for (int a = 1; a <= kMasters; ++a)
    for (int n = 1; n <= kWaybillsPerMaster; ++n) {
      Record r = t->blankRecord();
      t->set(r, "Asset_no", Value::number(a));
      t->set(r, "Wayb_No", Value::number(a * 100 + n));
      t->set(r, "Shp_loc", Value::text("Yard " + std::to_string(rng() % 40)));
      t->set(r, "Cons_loc", Value::text("Industry " + std::to_string(rng() % 200)));
      t->set(r, "Lading", Value::text(rng() % 3 ? "Lumber" : "Grain"));
      t->set(r, "Route", Value::text("Via the east main"));
      t->set(r, "W_Date", Value::date(dateOf(2000 + static_cast<int>(rng() % 20), 6, 1)));
      t->set(r, "Empty", Value::logical(rng() % 2));
      t->insert(r);
    }
}

// Built in a child process, so that whatever building takes never shows in this process's
// memory high-water mark.
bool build() {
  Fixture& f = fixture();
  char tmpl[] = "/tmp/railfolio-dataset-bench-XXXXXX";
  if (!::mkdtemp(tmpl)) return false;
  f.dir = tmpl;
  f.inventory = f.dir + "/Inven.DB";
  f.waybills = f.dir + "/Waybill.DB";
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    try {
      NoSyncFileSystem quick;
      buildInventory(quick);
      buildWaybills(quick);
    } catch (const TableError& e) {
      std::fprintf(stderr, "building the tables failed: %s\n", e.what());
      ::_exit(1);
    }
    ::_exit(0);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return false;
  ::sync();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

Engine& engine() {
  static Engine e(fixture().dir + "/e.conf");
  return e;
}

OpenRequest request(const std::string& path) { return {path, {}, {}, {}, false, false}; }

long maxRssKb() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;  // kilobytes on Linux
}

// Counts the paints of a view's viewport.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// What the view does by itself once the event loop runs: the delayed layout, fetching while the
// last row is inside the viewport, and the paint of what shows (once: the view's own paint).
void settle(QTableView& view, const DatasetTableModel& model, PaintCounter& counter) {
  const int paintsBefore = counter.paints;
  for (int pass = 0; pass < 50; ++pass) {
    const int before = model.rowCount();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    if (pass >= 2 && model.rowCount() == before && counter.paints > paintsBefore) return;
  }
  view.viewport()->repaint();
}

// A screen's grid: a view over a model over the dataset, sized like a screen's.
struct Grid {
  DatasetTableModel model;
  PaintCounter counter;
  QTableView view;

  explicit Grid(Dataset& ds) : model(&ds) {
    view.resize(1000, 700);
    view.setModel(&model);
    view.viewport()->installEventFilter(&counter);
    view.show();
    settle();
  }
  void settle() { ::settle(view, model, counter); }
  QString cell(int row, int column) const { return model.data(model.index(row, column)).toString(); }
};

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void BM_OpenGridFirstPage(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = Clock::now();
    {
      Dataset ds;
      ds.open(engine(), request(fixture().inventory));
      Grid grid(ds);
      state.SetIterationTime(seconds(start));
      if (grid.cell(0, 0) != "1") state.SkipWithError("the first page does not start with asset 1");
      state.counters["rows_fetched"] = grid.model.rowCount();
    }
  }
}

void BM_ScrollOnePage(benchmark::State& state) {
  Dataset ds;
  ds.open(engine(), request(fixture().inventory));
  Grid grid(ds);
  QScrollBar* bar = grid.view.verticalScrollBar();
  for (auto _ : state) {
    const auto start = Clock::now();
    const int was = bar->value();
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    grid.settle();
    state.SetIterationTime(seconds(start));
    if (bar->value() == was) bar->setValue(0);  // at the end: from the top again
  }
  state.counters["rows_fetched"] = grid.model.rowCount();
}

void BM_OrderToSecondaryIndex(benchmark::State& state) {
  Dataset ds;
  ds.open(engine(), request(fixture().inventory));
  Grid grid(ds);
  for (auto _ : state) {
    const auto start = Clock::now();
    ds.setIndexName("ByRoad");
    grid.model.reload();
    grid.settle();
    state.SetIterationTime(seconds(start));
    if (grid.cell(0, 1) != "ATSF") state.SkipWithError("the secondary order does not start with ATSF");
    ds.setIndexName(Dataset::kPrimaryKey);
    grid.model.reload();
    grid.settle();
  }
}

void BM_FilterFirst30Rows(benchmark::State& state) {
  Dataset ds;
  ds.open(engine(), request(fixture().inventory));
  Grid grid(ds);
  FilterCriterion byMaker;
  byMaker.field = "I_MFGR";
  byMaker.value = "M07";
  for (auto _ : state) {
    const auto start = Clock::now();
    ds.setFilter({byMaker});
    grid.model.reload();
    grid.settle();
    while (grid.model.rowCount() < 30 && grid.model.canFetchMore({})) grid.model.fetchMore({});
    state.SetIterationTime(seconds(start));
    if (grid.model.rowCount() < 30 || !grid.cell(29, 4).startsWith("M07"))
      state.SkipWithError("the filter did not give 30 rows of its maker");
    // Back to the whole table through a fresh open: the engine's Paradox cursor counts the
    // blocks it steps forward across jumps back to the first record (ParadoxCursor::finishMove
    // is never reset by first(), seek() or gotoBookmark()), so after walking more blocks in
    // all than the table has it reports a loop in the block chain of a sound table.
    ds.close();
    ds.open(engine(), request(fixture().inventory));
    grid.model.reload();
    grid.settle();
  }
}

// The master steps through its first records (each has its ten waybills); the detail follows.
void BM_MasterMoveDetailFollows(benchmark::State& state) {
  Dataset master;
  master.open(engine(), request(fixture().inventory));
  Dataset detail;
  detail.open(engine(), request(fixture().waybills));
  detail.setMaster(&master, {"I_ASSET"});
  const bool withGrid = state.range(0) != 0;
  std::unique_ptr<Grid> grid;
  if (withGrid) grid = std::make_unique<Grid>(detail);
  for (auto _ : state) {
    const auto start = Clock::now();
    if (!master.next()) master.first();
    if (grid) {
      grid->model.reload();
      grid->settle();
    }
    state.SetIterationTime(seconds(start));
    if (detail.field("Asset_no").asNumber() != master.field("I_ASSET").asNumber())
      state.SkipWithError("the detail did not follow its master");
  }
  if (grid) state.counters["detail_rows"] = grid->model.rowCount();
}

// Opens the inventory in a grid model and fetches every row as a scrolling view would.
void probeMemory() {
  Fixture& f = fixture();
  try {
    f.rssBeforeKb = maxRssKb();
    Dataset ds;
    ds.open(engine(), request(f.inventory));
    DatasetTableModel model(&ds);
    while (model.canFetchMore({}) && model.rowCount() < DatasetTableModel::kFetchBatch) model.fetchMore({});
    for (int c = 0; c < model.columnCount(); ++c) (void)model.data(model.index(0, c));
    f.rssOpenedKb = maxRssKb();
    while (model.canFetchMore({})) model.fetchMore({});
    // The last page read, as a view scrolled to the end paints it.
    for (int r = std::max(0, model.rowCount() - 30); r < model.rowCount(); ++r)
      for (int c = 0; c < model.columnCount(); ++c) (void)model.data(model.index(r, c));
    f.rssScrolledKb = maxRssKb();
    f.rowsFetched = model.rowCount();
    f.bookmarkBytes = ds.bookmark().size();
  } catch (const TableError& e) {
    f.probeError = e.what();
  }
}

void BM_MemoryOpenAndScrollToEnd(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(f.rowsFetched);
  if (!f.probeError.empty()) {
    state.SkipWithError(f.probeError.c_str());
    return;
  }
  if (f.rowsFetched != kInventory) state.SkipWithError("the model did not reach the last record");
  state.counters["rows"] = f.rowsFetched;
  state.counters["maxrss_open_kb"] = static_cast<double>(f.rssOpenedKb - f.rssBeforeKb);
  state.counters["maxrss_scroll_kb"] = static_cast<double>(f.rssScrolledKb - f.rssOpenedKb);
  // What the model keeps per row by design: one bookmark string (and its heap bytes when it
  // does not fit inside the string).
  const std::size_t heap = f.bookmarkBytes >= sizeof(std::string) / 2 ? f.bookmarkBytes + 1 : 0;
  state.counters["model_kept_kb"] = static_cast<double>(f.rowsFetched * (sizeof(std::string) + heap)) / 1024.0;
}

}  // namespace

BENCHMARK(BM_MemoryOpenAndScrollToEnd)->Iterations(1);
BENCHMARK(BM_OpenGridFirstPage)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollOnePage)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrderToSecondaryIndex)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterFirst30Rows)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MasterMoveDetailFollows)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1000);

int main(int argc, char** argv) {
  // Before Qt starts any thread: the tables are built by a forked child.
  if (!build()) {
    std::fprintf(stderr, "building the tables failed\n");
    return 1;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  probeMemory();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fsys::remove_all(fixture().dir, ec);
  return 0;
}

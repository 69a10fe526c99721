// The edit screen on its " Waybills " page over 10,000 cars with 10 waybills each (100,000 in
// all): moving from car to car with the page shown (the detail range, the grid read afresh and
// painted), jumping to a car by its asset number, and adding a waybill (counter and record saved).
// The collection is made once and kept in the temporary folder for later runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>
#include <filesystem>
#include <memory>
#include <random>

#include "controls/db_grid.h"
#include "data/data_module.h"
#include "inventory/fm_inven_brw.h"
#include "inventory/fm_inven_edit.h"
#include "operations/waybills_page.h"
#include "tables/engine.h"
#include "tools/railfolio_sample/collection_builder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCars = 10000;
constexpr int kWaybillsPerCar = 10;

struct World {
  std::string dir;
  std::unique_ptr<rf::tables::Engine> engine;
  std::unique_ptr<rf::data::TdmMain> dm;
  std::unique_ptr<rf::inventory::TfmInvenBrw> browse;
  std::unique_ptr<rf::inventory::TfmInvenEdit> edit;
};

World& world() {
  static World w = [] {
    World out;
    out.dir = (fs::temp_directory_path() / "railfolio-waybill-bench-10k").string();
    if (!fs::exists(fs::path(out.dir) / "Inven.DB")) {
      fs::remove_all(out.dir);
      rf::sample::SampleOptions o;
      o.outDir = out.dir;
      o.dataDir = RF_DELIVERED_DATA_DIR;
      o.count = kCars;
      o.photos = 0;
      o.waybills = kWaybillsPerCar;
      rf::sample::buildCollection(o);
    }
    out.engine = std::make_unique<rf::tables::Engine>(out.dir + "/bench-engine.conf");
    out.engine->config().setAlias("rf", out.dir);
    fs::current_path(out.dir);
    out.dm = std::make_unique<rf::data::TdmMain>(*out.engine);
    out.browse = std::make_unique<rf::inventory::TfmInvenBrw>(*out.dm);
    out.edit = std::make_unique<rf::inventory::TfmInvenEdit>(*out.browse, *out.dm);
    out.edit->pages().setCurrentWidget(&out.edit->waybills());
    out.edit->resize(900, 600);
    out.edit->show();
    QApplication::processEvents();
    return out;
  }();
  return w;
}

// The page drawn, not only scheduled.
void paint(World& w) {
  QApplication::processEvents();
  w.edit->waybills().grid()->viewport()->repaint();
}

void BM_NextCarWaybillsShown(benchmark::State& state) {
  World& w = world();
  auto& inv = w.browse->tbInven();
  inv.first();
  std::int64_t rows = 0;
  for (auto _ : state) {
    if (!inv.next()) inv.first();
    paint(w);
    rows += w.edit->waybills().grid()->model()->rowCount();
  }
  state.counters["rows_per_car"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_NextCarWaybillsShown)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_JumpToCarWaybillsShown(benchmark::State& state) {
  World& w = world();
  auto& inv = w.browse->tbInven();
  std::mt19937 random(7);
  std::uniform_int_distribution<int> asset(1, kCars);
  for (auto _ : state) {
    inv.findKey(QString::number(asset(random)));
    paint(w);
  }
}
BENCHMARK(BM_JumpToCarWaybillsShown)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_AddWaybill(benchmark::State& state) {
  World& w = world();
  auto& way = w.browse->tbWaybill();
  w.browse->tbInven().first();
  for (auto _ : state) {
    way.insert();
    paint(w);
  }
  // The added waybills go again (outside the timing), so every run starts from the same collection.
  while (!way.isEmpty() && way.last() && way.field(QStringLiteral("Wayb_No")).asNumber() > kCars * kWaybillsPerCar)
    way.remove();
}
BENCHMARK(BM_AddWaybill)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  world();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The screens go before the application object does.
  world().edit.reset();
  world().browse.reset();
  world().dm.reset();
  return 0;
}

// The edit screen on its " Waybills " page over 10,000 cars with 10 waybills each (100,000 in
// all): moving from car to car with the page shown (the detail range, the grid read afresh and
// painted), jumping to a car by its asset number, and adding a waybill (counter and record saved).
// The collection is made once and kept in the temporary folder for later runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>
#include <memory>
#include <random>

#include "bench/bench_collection.h"
#include "controls/db_grid.h"
#include "inventory/fm_inven_brw.h"
#include "inventory/fm_inven_edit.h"
#include "operations/waybills_page.h"

namespace {

constexpr int kCars = 10000;
constexpr int kWaybillsPerCar = 10;

struct World : rf::bench::BenchCollection {
  std::unique_ptr<rf::inventory::TfmInvenBrw> browse;
  std::unique_ptr<rf::inventory::TfmInvenEdit> edit;
};

World& world() {
  static World w = [] {
    World out;
    rf::sample::SampleOptions o;
    o.count = kCars;
    o.photos = 0;
    o.waybills = kWaybillsPerCar;
    static_cast<rf::bench::BenchCollection&>(out) = rf::bench::openBenchCollection("railfolio-waybill-bench-10k", o);
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
  // The screens go before the application object does.
  return rf::bench::runScreenBenchmarks(argc, argv, [] { world(); }, [] {
    world().edit.reset();
    world().browse.reset();
    world().dm.reset();
  });
}

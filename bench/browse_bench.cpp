// The inventory browse screen on a collection of 100,000 pieces: opening it (first page shown),
// scrolling a page, switching the order to a secondary index and back, setting a filter.
// The collection is made once and kept in the temporary folder for later runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>

#include "bench/bench_collection.h"
#include "controls/db_grid.h"
#include "inventory/fm_inven_brw.h"

namespace {

constexpr int kPieces = 100000;

using World = rf::bench::BenchCollection;

World& world() {
  static World w = [] {
    rf::sample::SampleOptions o;
    o.count = kPieces;
    o.photos = 0;
    return rf::bench::openBenchCollection("railfolio-browse-bench-100k", o);
  }();
  return w;
}

void showAndPaint(QWidget& w) {
  w.show();
  QApplication::processEvents();
}

void BM_OpenBrowseScreen(benchmark::State& state) {
  World& w = world();
  for (auto _ : state) {
    rf::inventory::TfmInvenBrw browse(*w.dm);
    browse.resize(1280, 800);
    showAndPaint(browse);
    benchmark::DoNotOptimize(browse.grid().gridModel()->rowCount());
    state.PauseTiming();
    browse.hide();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenBrowseScreen)->Unit(benchmark::kMillisecond);

struct OpenScreen {
  rf::inventory::TfmInvenBrw browse{*world().dm};
  OpenScreen() {
    browse.resize(1280, 800);
    showAndPaint(browse);
  }
};

void BM_ScrollPage(benchmark::State& state) {
  OpenScreen s;
  QScrollBar* bar = s.browse.grid().verticalScrollBar();
  for (auto _ : state) {
    if (bar->value() >= bar->maximum()) bar->setValue(0);
    bar->setValue(bar->value() + bar->pageStep());
    QApplication::processEvents();
  }
}
BENCHMARK(BM_ScrollPage)->Unit(benchmark::kMillisecond);

void BM_Reorder(benchmark::State& state) {
  OpenScreen s;
  auto& inv = s.browse.tbInven();
  bool secondary = false;
  for (auto _ : state) {
    secondary = !secondary;
    inv.setIndexName(secondary ? QStringLiteral("Railroad") : rf::dataset::Dataset::kPrimaryKey);
    s.browse.reloadGrid();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_Reorder)->Unit(benchmark::kMillisecond);

void BM_Filter(benchmark::State& state) {
  OpenScreen s;
  auto& inv = s.browse.tbInven();
  rf::dataset::FilterCriterion byRoad;
  byRoad.field = QStringLiteral("I_REPMK");
  byRoad.value = QStringLiteral("SP");  // one railroad of some fifty
  for (auto _ : state) {
    inv.setFilter({byRoad});
    s.browse.reloadGrid();
    QApplication::processEvents();
    state.PauseTiming();
    inv.clearFilter();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Filter)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return rf::bench::runScreenBenchmarks(argc, argv, [] { world(); });
}

// The photo page moving record to record through 750 pieces that each hold a 5 MB photo (a
// 24-bit bitmap of 1400 x 1248), shown on screen: each move reads, decodes, scales and paints one
// photo. Beside it the same moves with the page hidden, which read nothing.
// 750, not 1,000: a Paradox blob file ends at 4 GB (its blob addresses are 32-bit offsets), and
// 1,000 photos of 5 MB do not fit into one; the engine refuses the 800th or so.
// The collection is made once and kept in the temporary folder for later runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <filesystem>
#include <memory>

#include "bench/bench_collection.h"
#include "inventory/db_img_aspct.h"
#include "inventory/fm_inven_brw.h"
#include "inventory/photo_page.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPieces = 750;
constexpr int kPhotoWidth = 1400;
constexpr int kPhotoHeight = 1248;

// A photo of its own for each piece, so no move finds the bytes of the one before.
QByteArray photo(int n) {
  QImage img(kPhotoWidth, kPhotoHeight, QImage::Format_RGB888);
  img.fill(QColor::fromHsv((n * 37) % 360, 160, 200));
  QPainter p(&img);
  p.setPen(QPen(Qt::black, 9));
  for (int x = n % 50; x < kPhotoWidth; x += 50) p.drawLine(x, 0, kPhotoWidth - x, kPhotoHeight);
  p.end();
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "BMP");
  return bytes;
}

struct World : rf::bench::BenchCollection {
  std::unique_ptr<rf::inventory::TfmInvenBrw> browse;
};

World& world() {
  static World w = [] {
    World out;
    const char* const kDone = "photos-complete";
    rf::sample::SampleOptions o;
    o.count = kPieces;
    o.photos = 0;
    static_cast<rf::bench::BenchCollection&>(out) = rf::bench::openBenchCollection("railfolio-photo-bench-750", o, kDone);
    const fs::path done = fs::path(out.dir) / kDone;
    out.browse = std::make_unique<rf::inventory::TfmInvenBrw>(*out.dm);
    if (!fs::exists(done)) {
      auto& inv = out.browse->tbInven();
      int n = 0;
      for (bool more = inv.first(); more; more = inv.next()) {
        inv.edit();
        inv.field(QStringLiteral("I_Photo")).setBytes(photo(n++));
        inv.post();
      }
      std::FILE* f = std::fopen(done.string().c_str(), "w");
      if (f) std::fclose(f);
    }
    return out;
  }();
  return w;
}

void move(rf::dataset::Dataset& inv) {
  if (!inv.next()) inv.first();
}

void BM_MovePhotoShown(benchmark::State& state) {
  World& w = world();
  auto& inv = w.browse->tbInven();
  rf::inventory::PhotoPage page(&w.browse->dsInven());
  page.resize(537 + 144, 319);
  page.show();
  QApplication::processEvents();
  inv.first();
  const int before = page.fldImage().reads();
  for (auto _ : state) {
    move(inv);
    QApplication::processEvents();
    page.fldImage().repaint();  // the photo drawn, not only scheduled
  }
  state.counters["reads_per_move"] =
      static_cast<double>(page.fldImage().reads() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_MovePhotoShown)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_MovePhotoHidden(benchmark::State& state) {
  World& w = world();
  auto& inv = w.browse->tbInven();
  rf::inventory::PhotoPage page(&w.browse->dsInven());
  page.resize(537 + 144, 319);
  inv.first();
  for (auto _ : state) {
    move(inv);
    QApplication::processEvents();
  }
  state.counters["reads"] = page.fldImage().reads();
}
BENCHMARK(BM_MovePhotoHidden)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  // The screen goes before the application object does.
  return rf::bench::runScreenBenchmarks(argc, argv, [] { world(); }, [] {
    world().browse.reset();
    world().dm.reset();
  });
}

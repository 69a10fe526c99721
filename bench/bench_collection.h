#pragma once
// What the screen benchmarks share: a generated collection folder kept in the temporary folder
// between runs (generating 100,000 pieces takes half a minute), opened as the application opens a
// collection (the alias "rf" and the working directory on it, the data module over it), and the
// offscreen Qt application the benchmarks run in.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "data/data_module.h"
#include "tables/engine.h"
#include "tools/railfolio_sample/collection_builder.h"

namespace rf::bench {

struct BenchCollection {
  std::string dir;
  std::unique_ptr<tables::Engine> engine;
  std::unique_ptr<data::TdmMain> dm;
};

// The folder `name` in the temporary folder, made afresh with `options` unless it holds `marker`
// (a file the finished collection has), then opened.
inline BenchCollection openBenchCollection(const std::string& name, sample::SampleOptions options,
                                           const std::string& marker = "Inven.DB") {
  namespace fs = std::filesystem;
  BenchCollection c;
  c.dir = (fs::temp_directory_path() / name).string();
  if (!fs::exists(fs::path(c.dir) / marker)) {
    fs::remove_all(c.dir);
    options.outDir = c.dir;
    options.dataDir = RF_DELIVERED_DATA_DIR;
    sample::buildCollection(options);
  }
  c.engine = std::make_unique<tables::Engine>(c.dir + "/bench-engine.conf");
  c.engine->config().setAlias("rf", c.dir);
  fs::current_path(c.dir);
  c.dm = std::make_unique<data::TdmMain>(*c.engine);
  return c;
}

// Runs the benchmarks in an offscreen application: `setUp` before the first (so making the
// collection is not timed), `tearDown` after the last, while the application still stands.
inline int runScreenBenchmarks(int argc, char** argv, const std::function<void()>& setUp,
                               const std::function<void()>& tearDown = {}) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  setUp();
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  if (tearDown) tearDown();
  return 0;
}

}  // namespace rf::bench

#include "app_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <unistd.h>

namespace rf::testing {

namespace fs = std::filesystem;

namespace {

bool inWorkingDirectory(const fs::path& p) {
  std::string stem = p.stem().string();
  for (auto& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return stem == "INVEN" || stem == "SHOPS";
}

}  // namespace

Collection::Collection(bool split) {
  dataDir_ = temp_.file("data");
  workDir_ = split ? temp_.file("work") : dataDir_;
  fs::create_directories(dataDir_);
  fs::create_directories(workDir_);
  for (const auto& entry : fs::directory_iterator(RF_DELIVERED_DATA)) {
    if (!entry.is_regular_file()) continue;
    const fs::path to = fs::path(split && inWorkingDirectory(entry.path()) ? workDir_ : dataDir_) / entry.path().filename();
    fs::copy_file(entry.path(), to);
  }
  config_ = temp_.file("engine.conf");
  engine_ = std::make_unique<tables::Engine>(config_);
  engine_->config().setAlias("rf", dataDir_);
  previousDir_ = fs::current_path().string();
  fs::current_path(workDir_);
}

Collection::~Collection() {
  std::error_code ec;
  fs::current_path(previousDir_, ec);
}

std::unique_ptr<tables::Engine> Collection::otherEngine() const { return std::make_unique<tables::Engine>(config_); }

OptionsLock::OptionsLock(const Collection& c) : engine_(c.otherEngine()) {
  tables::OpenRequest r;
  r.name = "OPTIONS.DBF";
  r.alias = "rf";
  table_ = engine_->open(r);
  auto cursor = table_->openCursor();
  if (!cursor->first()) throw std::runtime_error("the options table has no record to lock");
  lock_ = table_->lockRecord(cursor->bookmark());
}

OptionsLock::~OptionsLock() { release(); }

void OptionsLock::release() { lock_.reset(); }

void whenModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    act(modal);
  });
}

}  // namespace rf::testing

#include "tables/fault_file_system.h"

#include <signal.h>
#include <unistd.h>

#include "tables/error.h"

namespace rf::tables {

namespace {

class FaultFile final : public File {
 public:
  FaultFile(FaultFileSystem& fs, std::unique_ptr<File> inner) : fs_(fs), inner_(std::move(inner)) {}

  std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> buf) override { return inner_->readAt(offset, buf); }

  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    std::uint64_t partial = data.size();
    fs_.before(FaultFileSystem::Op::Write, path(), data.size(), &partial);
    if (partial < data.size()) {
      // A kill in the middle of a write: part of the bytes reach the file, then the process dies.
      inner_->writeAt(offset, data.subspan(0, static_cast<std::size_t>(partial)));
      ::kill(::getpid(), SIGKILL);
      ::pause();
    }
    inner_->writeAt(offset, data);
  }
  std::uint64_t size() override { return inner_->size(); }
  void truncate(std::uint64_t size) override {
    fs_.before(FaultFileSystem::Op::Truncate, path(), 0, nullptr);
    inner_->truncate(size);
  }
  void sync() override {
    fs_.before(FaultFileSystem::Op::Sync, path(), 0, nullptr);
    inner_->sync();
  }
  void reserve(std::uint64_t size) override { inner_->reserve(size); }
  bool tryLock(std::uint64_t o, std::uint64_t l, LockMode m) override { return inner_->tryLock(o, l, m); }
  void unlock(std::uint64_t o, std::uint64_t l) override { inner_->unlock(o, l); }
  const std::string& path() const override { return inner_->path(); }

 private:
  FaultFileSystem& fs_;
  std::unique_ptr<File> inner_;
};

}  // namespace

void FaultFileSystem::arm(Op op, std::uint64_t n, Action action, int errnum, std::string pathFilter) {
  armed_ = true;
  forGood_ = false;
  op_ = op;
  at_ = counts_[static_cast<int>(op)] + n;
  action_ = action;
  errnum_ = errnum;
  filter_ = std::move(pathFilter);
}

void FaultFileSystem::disarm() {
  armed_ = false;
  forGood_ = false;
}

void FaultFileSystem::before(Op op, const std::string& path, std::uint64_t bytes, std::uint64_t* partial) {
  if (!filter_.empty() && path.find(filter_) == std::string::npos) return;
  std::uint64_t n = ++counts_[static_cast<int>(op)];
  if (forGood_ && op == op_) throwIo(path, "injected failure", errnum_);
  if (!armed_ || op != op_ || n != at_) return;
  switch (action_) {
    case Action::Fail:
      armed_ = false;
      throwIo(path, "injected failure", errnum_);
    case Action::FailForGood:
      forGood_ = true;
      throwIo(path, "injected failure", errnum_);
    case Action::Kill:
      if (partial && bytes > 1) *partial = bytes / 2;
      else {
        ::kill(::getpid(), SIGKILL);
        ::pause();
      }
      return;
  }
}

std::unique_ptr<File> FaultFileSystem::open(const std::string& path, OpenMode mode) {
  return std::make_unique<FaultFile>(*this, inner_.open(path, mode));
}

void FaultFileSystem::rename(const std::string& from, const std::string& to) {
  before(Op::Rename, to, 0, nullptr);
  inner_.rename(from, to);
}

}  // namespace rf::tables

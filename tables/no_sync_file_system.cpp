#include "tables/no_sync_file_system.h"

namespace rf::tables {

namespace {

class NoSyncFile final : public File {
 public:
  explicit NoSyncFile(std::unique_ptr<File> f) : f_(std::move(f)) {}
  std::size_t readAt(std::uint64_t o, std::span<std::uint8_t> b) override { return f_->readAt(o, b); }
  void writeAt(std::uint64_t o, std::span<const std::uint8_t> d) override { f_->writeAt(o, d); }
  std::uint64_t size() override { return f_->size(); }
  void truncate(std::uint64_t s) override { f_->truncate(s); }
  void sync() override {}
  void reserve(std::uint64_t) override {}
  bool tryLock(std::uint64_t o, std::uint64_t l, LockMode m) override { return f_->tryLock(o, l, m); }
  void unlock(std::uint64_t o, std::uint64_t l) override { f_->unlock(o, l); }
  const std::string& path() const override { return f_->path(); }

 private:
  std::unique_ptr<File> f_;
};

}  // namespace

std::unique_ptr<File> NoSyncFileSystem::open(const std::string& path, OpenMode mode) {
  return std::make_unique<NoSyncFile>(real().open(path, mode));
}

}  // namespace rf::tables

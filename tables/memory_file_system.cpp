#include "tables/memory_file_system.h"

#include <algorithm>
#include <cstring>

#include "tables/error.h"
#include "tables/file_names.h"

namespace rf::tables {

struct MemoryFileSystem::State {
  struct Lock {
    const void* owner;
    std::uint64_t start, length;
    LockMode mode;
  };
  struct Data {
    std::vector<std::uint8_t> bytes;
    std::vector<Lock> locks;
  };
  std::map<std::string, std::shared_ptr<Data>> files;
};

namespace {

// Memory files refuse sizes past this, so a fuzzed header can't make them allocate gigabytes.
constexpr std::uint64_t kMaxSize = 256u << 20;

class MemoryFile final : public File {
 public:
  using Data = MemoryFileSystem::State::Data;
  MemoryFile(std::shared_ptr<Data> d, std::string path, bool writable)
      : d_(std::move(d)), path_(std::move(path)), writable_(writable) {}
  ~MemoryFile() override {
    auto& l = d_->locks;
    l.erase(std::remove_if(l.begin(), l.end(), [this](const auto& k) { return k.owner == this; }), l.end());
  }

  std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> buf) override {
    if (offset >= d_->bytes.size()) return 0;
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), d_->bytes.size() - offset));
    if (n) std::memcpy(buf.data(), d_->bytes.data() + offset, n);
    return n;
  }
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    if (!writable_) throwIo(path_, "cannot write", 9 /* EBADF */);
    if (offset + data.size() > kMaxSize) throwIo(path_, "cannot write", 27 /* EFBIG */);
    if (data.empty()) return;
    if (offset + data.size() > d_->bytes.size()) d_->bytes.resize(static_cast<std::size_t>(offset + data.size()));
    std::memcpy(d_->bytes.data() + offset, data.data(), data.size());
  }
  std::uint64_t size() override { return d_->bytes.size(); }
  void truncate(std::uint64_t size) override {
    if (!writable_) throwIo(path_, "cannot set the file size", 9);
    if (size > kMaxSize) throwIo(path_, "cannot set the file size", 27);
    d_->bytes.resize(static_cast<std::size_t>(size));
  }
  void sync() override {}
  void reserve(std::uint64_t) override {}
  bool tryLock(std::uint64_t start, std::uint64_t length, LockMode mode) override {
    for (const auto& k : d_->locks) {
      if (k.owner == this) continue;
      bool overlap = k.start < start + length && start < k.start + k.length;
      if (overlap && (mode == LockMode::Exclusive || k.mode == LockMode::Exclusive)) return false;
    }
    unlock(start, length);
    d_->locks.push_back({this, start, length, mode});
    return true;
  }
  void unlock(std::uint64_t start, std::uint64_t length) override {
    auto& l = d_->locks;
    l.erase(std::remove_if(l.begin(), l.end(),
                           [&](const auto& k) { return k.owner == this && k.start == start && k.length == length; }),
            l.end());
  }
  const std::string& path() const override { return path_; }

 private:
  std::shared_ptr<Data> d_;
  std::string path_;
  bool writable_;
};

}  // namespace

MemoryFileSystem::MemoryFileSystem() : state_(std::make_shared<State>()) {}
MemoryFileSystem::~MemoryFileSystem() = default;

std::unique_ptr<File> MemoryFileSystem::open(const std::string& path, OpenMode mode) {
  auto it = state_->files.find(path);
  switch (mode) {
    case OpenMode::ReadWrite:
    case OpenMode::ReadOnly:
      if (it == state_->files.end()) throwError(ErrorKind::NotFound, path, "file not found");
      break;
    case OpenMode::Create:
      if (it == state_->files.end()) it = state_->files.emplace(path, std::make_shared<State::Data>()).first;
      it->second->bytes.clear();
      break;
    case OpenMode::OpenOrCreate:
      if (it == state_->files.end()) it = state_->files.emplace(path, std::make_shared<State::Data>()).first;
      break;
    case OpenMode::CreateExclusive:
      if (it != state_->files.end()) throwError(ErrorKind::InvalidInput, path, "file exists");
      it = state_->files.emplace(path, std::make_shared<State::Data>()).first;
      break;
  }
  return std::make_unique<MemoryFile>(it->second, path, mode != OpenMode::ReadOnly);
}

bool MemoryFileSystem::exists(const std::string& path) { return state_->files.count(path) > 0; }
void MemoryFileSystem::remove(const std::string& path) { state_->files.erase(path); }

void MemoryFileSystem::rename(const std::string& from, const std::string& to) {
  auto it = state_->files.find(from);
  if (it == state_->files.end()) throwError(ErrorKind::NotFound, from, "file not found");
  auto data = it->second;
  state_->files.erase(it);
  state_->files[to] = std::move(data);
}

std::vector<std::string> MemoryFileSystem::list(const std::string& directory) {
  std::vector<std::string> names;
  std::string dir = directory == "." ? "" : directory;
  for (const auto& [p, d] : state_->files)
    if (directoryOf(p) == dir) names.push_back(baseName(p));
  return names;
}

bool MemoryFileSystem::isDirectory(const std::string& path) {
  std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
  for (const auto& [p, d] : state_->files)
    if (p.rfind(prefix, 0) == 0) return true;
  return false;
}

void MemoryFileSystem::put(const std::string& path, std::vector<std::uint8_t> bytes) {
  auto d = std::make_shared<State::Data>();
  d->bytes = std::move(bytes);
  state_->files[path] = std::move(d);
}

std::vector<std::uint8_t> MemoryFileSystem::get(const std::string& path) const {
  auto it = state_->files.find(path);
  return it == state_->files.end() ? std::vector<std::uint8_t>{} : it->second->bytes;
}

}  // namespace rf::tables

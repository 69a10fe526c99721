#pragma once
// Files held in memory: for fuzzing the readers without touching the disk, and for tests that
// want a file system they can inspect. Locks follow the same rules as the real ones (per open
// file, shared and exclusive byte ranges) within this one object.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tables/file_system.h"

namespace rf::tables {

class MemoryFileSystem final : public FileSystem {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;

  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
  bool exists(const std::string& path) override;
  void remove(const std::string& path) override;
  void rename(const std::string& from, const std::string& to) override;
  std::vector<std::string> list(const std::string& directory) override;
  bool isDirectory(const std::string& path) override;
  void syncDirectory(const std::string&) override {}

  // Direct access for tests.
  void put(const std::string& path, std::vector<std::uint8_t> bytes);
  std::vector<std::uint8_t> get(const std::string& path) const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace rf::tables

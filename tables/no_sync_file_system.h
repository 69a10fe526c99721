#pragma once
// The operating system's files without waiting for the disk: for filling tables that are only
// built to be read (tests, benchmarks). Every change stays all-or-nothing against a killed
// process; only durability against power loss is given up.

#include <memory>

#include "tables/file_system.h"

namespace rf::tables {

class NoSyncFileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
  bool exists(const std::string& p) override { return real().exists(p); }
  void remove(const std::string& p) override { real().remove(p); }
  void rename(const std::string& a, const std::string& b) override { real().rename(a, b); }
  std::vector<std::string> list(const std::string& d) override { return real().list(d); }
  bool isDirectory(const std::string& p) override { return real().isDirectory(p); }
  void syncDirectory(const std::string&) override {}
};

}  // namespace rf::tables

#include "tables/paradox_lock_files.h"

#include "tables/error.h"
#include "tables/file_names.h"
#include "tables/schema.h"

namespace rf::tables {

std::vector<std::string> paradoxLockFilesIn(FileSystem& fs, const std::string& dir) {
  std::vector<std::string> found;
  std::vector<std::string> names;
  try {
    names = fs.list(dir.empty() ? "." : dir);
  } catch (const TableError&) {
    return found;
  }
  for (const char* wanted : {"PDOXUSRS.NET", "PARADOX.LCK", "PDOXUSRS.LCK"})
    for (const auto& n : names)
      if (equalsNoCase(n, wanted)) found.push_back(n);
  return found;
}

std::string paradoxLockFileInUse(FileSystem& fs, const std::string& dir) {
  for (const auto& name : paradoxLockFilesIn(fs, dir)) {
    std::string path = joinPath(dir, name);
    try {
      // Opened only to test for locks: nothing is written. A file we may not write is tested
      // for an exclusive holder only.
      std::unique_ptr<File> f;
      LockMode mode = LockMode::Exclusive;
      try {
        f = fs.open(path, OpenMode::ReadWrite);
      } catch (const TableError&) {
        f = fs.open(path, OpenMode::ReadOnly);
        mode = LockMode::Shared;
      }
      if (!f->tryLock(0, 0, mode)) return name;
      f->unlock(0, 0);
    } catch (const TableError&) {
      // Unreadable: it says nothing about a live user.
    }
  }
  return {};
}

}  // namespace rf::tables

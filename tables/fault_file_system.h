#pragma once
// A FileSystem that wraps another and fails or kills on command, for the crash and fault tests.
// Operations are counted across all files it opened; a rule fires on the Nth counted operation.

#include <cstdint>
#include <memory>
#include <string>

#include "tables/file_system.h"

namespace rf::tables {

class FaultFileSystem final : public FileSystem {
 public:
  enum class Op { Write, Sync, Truncate, Rename };
  enum class Action {
    Fail,        // throw Io with `errnum`
    FailForGood, // that operation and every later one of that kind fail
    Kill,        // write part of the bytes (for writes), then kill the process with SIGKILL
  };

  explicit FaultFileSystem(FileSystem& inner) : inner_(inner) {}

  // Arms one rule: the `n`th (1-based, counted from now) operation of kind `op` triggers
  // `action`. Only paths containing `pathFilter` count (empty: all).
  void arm(Op op, std::uint64_t n, Action action, int errnum = 28 /* ENOSPC */,
           std::string pathFilter = {});
  void disarm();
  std::uint64_t count(Op op) const { return counts_[static_cast<int>(op)]; }

  // Called by the files it opened.
  void before(Op op, const std::string& path, std::uint64_t bytes, std::uint64_t* partial);

  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
  bool exists(const std::string& path) override { return inner_.exists(path); }
  void remove(const std::string& path) override { inner_.remove(path); }
  void rename(const std::string& from, const std::string& to) override;
  std::vector<std::string> list(const std::string& d) override { return inner_.list(d); }
  bool isDirectory(const std::string& p) override { return inner_.isDirectory(p); }
  void syncDirectory(const std::string& d) override { inner_.syncDirectory(d); }

 private:
  FileSystem& inner_;
  std::uint64_t counts_[4] = {0, 0, 0, 0};
  bool armed_ = false;
  Op op_ = Op::Write;
  std::uint64_t at_ = 0;
  Action action_ = Action::Fail;
  int errnum_ = 28;
  std::string filter_;
  bool forGood_ = false;
};

}  // namespace rf::tables

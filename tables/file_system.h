#pragma once
// All file access of the engine goes through these two interfaces, so tests can put a
// fault-injecting or crashing layer under any table (see fault_file_system.h). The only
// implementation that calls the operating system is in posix_file_system.cpp.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace rf::tables {

enum class LockMode { Shared, Exclusive };

class File {
 public:
  virtual ~File() = default;

  // Reads up to buf.size() bytes at `offset`; returns how many were read (fewer only at the end
  // of the file). Throws Io on failure.
  virtual std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> buf) = 0;
  // Writes all of `data` at `offset`, growing the file when needed. Throws Io on failure.
  virtual void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
  virtual std::uint64_t size() = 0;
  virtual void truncate(std::uint64_t size) = 0;
  // Makes everything written so far durable (data and size).
  virtual void sync() = 0;
  // Allocates disk space up to `size` without changing the file's size, so that a later write
  // that grows the file cannot fail for want of space. Best effort where unsupported.
  virtual void reserve(std::uint64_t size) = 0;

  // Byte-range locks owned by this open file (not by the process): two opens of one file in
  // the same process exclude each other, and a lock dies with the process. Never blocks;
  // returns false when another holder conflicts.
  virtual bool tryLock(std::uint64_t offset, std::uint64_t length, LockMode mode) = 0;
  virtual void unlock(std::uint64_t offset, std::uint64_t length) = 0;

  virtual const std::string& path() const = 0;

  // Reads exactly buf.size() bytes or throws Corrupt naming `what` (a short file).
  void readExact(std::uint64_t offset, std::span<std::uint8_t> buf, const char* what);
};

enum class OpenMode {
  ReadWrite,       // existing file, read and write
  ReadOnly,        // existing file, read only
  Create,          // create or truncate, read and write
  OpenOrCreate,    // open, creating an empty file when missing; never truncates
  CreateExclusive  // create; fails when the file exists
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Throws NotFound when an existing file is asked for and missing, Io otherwise.
  virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode) = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual void remove(const std::string& path) = 0;  // no error when missing
  // Replaces `to` by `from` atomically.
  virtual void rename(const std::string& from, const std::string& to) = 0;
  // Names (not paths) of the entries of a directory; throws NotFound when it does not exist.
  virtual std::vector<std::string> list(const std::string& directory) = 0;
  virtual bool isDirectory(const std::string& path) = 0;
  // Makes a rename or remove in the directory durable.
  virtual void syncDirectory(const std::string& directory) = 0;

  // The operating system's files.
  static FileSystem& real();
};

}  // namespace rf::tables

#pragma once
// All-or-nothing changes across a table's files, shared safely between processes.
//
// The journal is a redo log beside the table ("<table file>-journal"). A change is collected in
// a Transaction, appended to the journal as one checksummed record, synced (the commit point:
// one sync per save), and then written to the table's files. The journal keeps every committed
// change since the last checkpoint in commit order, so replaying it from the start over the
// files - in whatever state a killed writer left them - always gives the committed state:
// replay is idempotent and is done, under the commit lock, whenever a table is opened and the
// journal is not empty. A checkpoint syncs the files the journal names and empties it; it runs
// when the journal grows past a limit and when the last writer closes.
//
// The commit lock (one byte of the table's main file, at an offset the format chooses) is held
// for the whole life of a Transaction, so a writer reads headers and index pages, decides and
// writes without another process changing them in between.

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tables/file_system.h"

namespace rf::tables {

class Journal;

class Transaction {
 public:
  Transaction(Transaction&&) noexcept;
  Transaction& operator=(Transaction&&) = delete;
  ~Transaction();  // an uncommitted transaction is dropped; the lock is released

  // Stages a write or a size change; nothing reaches the file before commit().
  void write(File& f, std::uint64_t offset, std::span<const std::uint8_t> data);
  void truncate(File& f, std::uint64_t size);
  // Reads as the file will be after commit: staged writes and size changes overlay the file.
  std::size_t read(File& f, std::uint64_t offset, std::span<std::uint8_t> buf);
  void readExact(File& f, std::uint64_t offset, std::span<std::uint8_t> buf, const char* what);
  std::uint64_t size(File& f);
  bool empty() const { return files_.empty(); }

  // Makes the change durable and applies it. Throws Io (nothing changed) when the journal cannot
  // be written or synced. When applying to the files fails after the commit point, throws Io
  // saying the change is kept in the journal: it is completed when the table is next opened.
  void commit();

 private:
  friend class Journal;
  explicit Transaction(Journal& j);
  // What the file will look like: the original bytes below `keep`, staged extents over them,
  // and `size` in all.
  struct Staged {
    std::uint64_t originalSize = 0;
    std::uint64_t keep = 0;  // original bytes at or past this offset were truncated away
    std::uint64_t size = 0;
    std::map<std::uint64_t, std::vector<std::uint8_t>> extents;  // non-overlapping
  };
  Staged& staged(File& f);
  Journal* journal_;
  std::map<File*, Staged> files_;
  std::vector<File*> order_;  // files in the order they were first touched
  bool done_ = false;
};

class Journal {
 public:
  // `lockFile`/`lockOffset`: the byte that serialises writers of this table.
  Journal(FileSystem& fs, std::string tablePath, File& lockFile, std::uint64_t lockOffset);
  ~Journal();

  static std::string pathFor(const std::string& tablePath) { return tablePath + "-journal"; }

  // Takes the commit lock, waiting up to `timeoutMs` (then throws Locked naming the table).
  Transaction begin(int timeoutMs = 3000);

  // Replays a non-empty journal (taking the lock) and empties it. Returns true when it replayed
  // anything. Call before reading any header of the table.
  bool recover();
  // Syncs every file the journal names and empties the journal (taking the lock).
  void checkpoint();

  // Files named in journals are resolved against this directory.
  const std::string& directory() const { return dir_; }
  // Counts, for tests and benchmarks: syncs issued by commits.
  std::uint64_t syncCount() const { return syncs_; }

  // Bulk loading of a new table: commits stay all-or-nothing against a killed process, but skip
  // the sync, so they are durable against power loss only from the next checkpoint (at the
  // latest when the table is closed).
  void setSyncOnCommit(bool on) { syncOnCommit_ = on; }

  // Journals larger than this are checkpointed after a commit.
  static constexpr std::uint64_t kCheckpointBytes = 4u << 20;

 private:
  friend class Transaction;
  void lock(int timeoutMs);
  void unlock();
  File& journalFile();
  void commit(Transaction& t);
  bool replayLocked();
  void checkpointLocked();

  FileSystem& fs_;
  std::string tablePath_;
  std::string dir_;
  std::string path_;
  File& lockFile_;
  std::uint64_t lockOffset_;
  std::unique_ptr<File> file_;
  bool locked_ = false;
  std::uint64_t syncs_ = 0;
  bool syncOnCommit_ = true;
  bool directorySynced_ = false;
};

// Reads through a transaction when there is one (so staged writes are seen), else straight from
// the file: the one way format code reads, whether it is inside a change or not.
struct FileView {
  File& file;
  Transaction* tx;
  std::size_t read(std::uint64_t offset, std::span<std::uint8_t> buf) const {
    return tx ? tx->read(file, offset, buf) : file.readAt(offset, buf);
  }
  std::uint64_t size() const { return tx ? tx->size(file) : file.size(); }
};

}  // namespace rf::tables

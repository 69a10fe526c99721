#pragma once
// The Table of the Paradox family: a .DB with its primary index (.PX), blob file (.MB) and
// secondary indexes (.Xnn/.Ynn, .XGn/.YGn), versions 3 to 7 read, 4, 5 and 7 written.
//
// Bookmarks: a keyed table's bookmark is the record's primary key as stored (so it survives
// every other change); an unkeyed table's is its position in record order (8 bytes) followed by
// its contents: a record that moved because records before it were deleted is found again by
// its contents, searching back and then forward from the position.
//
// Every change is one journal transaction over all the table's files; the commit lock is
// paradox::kCommitLock on the .DB (see paradox_locks.h).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tables/codepage.h"
#include "tables/engine.h"
#include "tables/error.h"
#include "tables/journal.h"
#include "tables/paradox_blob_file.h"
#include "tables/paradox_block_chain.h"
#include "tables/paradox_collation.h"
#include "tables/paradox_field_codec.h"
#include "tables/paradox_header.h"
#include "tables/paradox_record_store.h"
#include "tables/paradox_secondary_index.h"
#include "tables/paradox_tree_index.h"
#include "tables/table.h"

namespace rf::tables::paradox {

class ParadoxTable final : public Table {
 public:
  ParadoxTable(FileSystem& fs, const std::string& path, const OpenOptions& options);
  ~ParadoxTable() override;

  const std::string& path() const override { return path_; }
  TableInfo info() override;
  const Schema& schema() const override { return schema_; }
  std::vector<IndexInfo> indexes() const override;

  std::unique_ptr<Cursor> openCursor(const std::string& index) override;
  std::unique_ptr<Cursor> openCursorOnFields(const std::vector<std::string>& fields) override;

  Value get(const Record& r, int field) override;
  bool hasValue(const Record& r, int field) override;
  void set(Record& r, int field, const Value& v) override;
  using Table::get;
  using Table::set;
  Record blankRecord() override;

  std::unique_ptr<RecordLock> lockRecord(const Bookmark& b) override;
  Bookmark insert(Record& r) override;
  Bookmark update(Record& r) override;
  void remove(const Bookmark& b) override;
  void empty() override;
  void refresh() override;
  CheckReport check() override;

  // ---- for cursors ----
  std::uint64_t generation() const { return generation_; }
  bool keyed() const { return header_.keyFields > 0; }
  RecordStore& store() { return *store_; }
  SecondaryIndex* secondary(std::size_t i) { return secondaries_[i].get(); }
  const KeyOrder& primaryOrder() const { return pkOrder_; }
  std::size_t keyLength() const { return pkOrder_.length(); }
  std::uint16_t recordSize() const { return header_.recordSize; }
  const FieldCodec& codec() const { return *codec_; }
  const FieldLayout& layout(int field) const { return layouts_[static_cast<std::size_t>(field)]; }
  // The table record a secondary index entry names (Corrupt when there is none).
  std::vector<std::uint8_t> recordOfEntry(SecondaryIndex& s, const std::uint8_t* entry);
  Bookmark bookmarkOf(const std::uint8_t* rec, std::uint64_t ordinal) const;
  // Finds an unkeyed record by position and contents; returns its position and ordinal.
  struct Found {
    RecordStore::Pos pos;
    std::uint64_t ordinal;
  };
  std::optional<Found> findUnkeyed(const BlockIo& io, std::uint64_t ordinal, const std::uint8_t* image);
  // The record at an ordinal of an unkeyed table (nullopt past the end).
  std::optional<RecordStore::Pos> positionOfOrdinal(const BlockIo& io, std::uint64_t ordinal);
  static std::uint64_t ordinalOf(const Bookmark& b);

 private:
  void openFiles(const OpenOptions& options);
  void openPrimaryIndex();
  void openBlobFile();
  void openSecondaries();
  std::unique_ptr<File> openCompanion(const std::string& path);
  void reloadState(const BlockIo& io);
  void clearReadCaches();
  void requireWritable();
  // Runs one change: begins a transaction, reloads the state, runs `body`, writes everything
  // back and commits.
  template <class Body>
  auto write(Body&& body);
  void finishWrite(const BlockIo& io);
  void endOperation();

  std::optional<RecordStore::Pos> locate(const BlockIo& io, const Bookmark& b);
  void requireNoForeignLock(const Bookmark& b, std::vector<std::uint64_t>& taken);
  void assignAutoIncrement(std::uint8_t* rec);
  // Stores the pending blob values of `r` into `rec`; `old` is the stored record an update
  // replaces (nullptr for an insert).
  void writeBlobs(const BlockIo& io, std::uint8_t* rec, const std::uint8_t* old, const Record& r);
  void releaseBlobs(const BlockIo& io, const std::uint8_t* rec);
  void storeBlob(const BlockIo& io, int field, std::uint8_t* rec, const Bytes& data, bool replacing);
  Bytes readBlob(const BlockIo& io, int field, const std::uint8_t* rec);
  void ensureBlobFile(const BlockIo& io);
  // Secondary index upkeep.
  void addEntries(const BlockIo& io, const std::uint8_t* rec, std::uint16_t block);
  void removeEntries(const BlockIo& io, const std::uint8_t* rec, std::uint16_t block);
  void moveHints(const BlockIo& io, const RecordStore::Change& change);
  void checkUnique(const BlockIo& io, SecondaryIndex& s, const std::uint8_t* entry);

  void checkChain(RecordStore& store, const std::string& what, CheckReport& report,
                  std::vector<std::vector<std::uint8_t>>* records, std::vector<std::uint16_t>* blocks);
  void checkTree(RecordStore& store, CheckReport& report);

  FileSystem& fs_;
  std::string path_;
  std::string dir_;
  bool readOnly_ = false;
  bool exclusive_ = false;
  bool lockable_ = true;
  std::unique_ptr<File> dbFile_;
  ParadoxHeader header_;
  Schema schema_;
  std::vector<FieldLayout> layouts_;
  std::vector<std::string> fieldNames_;
  std::unique_ptr<CodePage> codePage_;
  std::unique_ptr<FieldCodec> codec_;
  std::unique_ptr<Collation> collation_;
  KeyOrder pkOrder_;
  std::unique_ptr<BlockChain> dbChain_;
  std::unique_ptr<File> pxFile_;
  std::unique_ptr<BlockChain> pxChain_;
  std::unique_ptr<TreeIndex> pxTree_;
  bool pxUsable_ = false;
  std::unique_ptr<RecordStore> store_;
  std::string mbPath_;
  std::unique_ptr<File> mbFile_;
  std::unique_ptr<BlobFile> mb_;
  std::vector<std::unique_ptr<SecondaryIndex>> secondaries_;
  struct BrokenIndex {
    IndexInfo info;
    ErrorKind kind;  // why it could not be opened
  };
  std::vector<BrokenIndex> brokenIndexes_;  // index files that could not be opened
  std::string pxProblem_;  // why the primary index is not used
  std::string mbProblem_;  // why the blob file is not used
  std::unique_ptr<Journal> journal_;
  std::uint32_t autoIncrement_ = 0;
  bool autoIncrementChanged_ = false;
  std::uint64_t generation_ = 1;
  std::uint64_t lastOrdinal_ = 0;  // of the unkeyed record locate() found last
  std::vector<std::string> openProblems_;
  std::string liveLockFile_;  // a lock file of the classic engine held by a live program
  struct LockState {
    std::map<std::uint64_t, int> held;
  };
  std::shared_ptr<LockState> locks_;
};

}  // namespace rf::tables::paradox

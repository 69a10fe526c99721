#pragma once
// The Table of the dBASE and FoxPro families: a .DBF with its memo file (.DBT/.FPT) and its
// index file(s) (.MDX / .CDX).

#include <memory>
#include <string>
#include <vector>

#include "tables/codepage.h"
#include "tables/engine.h"
#include "tables/index_file.h"
#include "tables/journal.h"
#include "tables/key_expression.h"
#include "tables/memo_file.h"
#include "tables/table.h"
#include "tables/xbase_field_codec.h"
#include "tables/xbase_header.h"
#include "tables/xbase_locks.h"

namespace rf::tables {

class XbaseTable final : public Table {
 public:
  XbaseTable(FileSystem& fs, const std::string& path, Format format, const OpenOptions& options);
  ~XbaseTable() override;

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

  // For cursors.
  struct Tag {
    IndexFile* file;
    int number;  // within its file
    IndexInfo info;
    std::unique_ptr<KeyExpression> key;
    std::unique_ptr<KeyExpression> filter;
  };
  std::uint32_t recordCount() const { return header_.recordCount; }
  // Reads record `recno` (1-based) into `out`; false when it is past the end.
  bool readRecord(std::uint32_t recno, std::vector<std::uint8_t>& out);
  // Reads `count` records from `recno` on into `buf` (for scans); returns how many were read.
  std::uint32_t readRecords(std::uint32_t recno, std::uint32_t count, std::vector<std::uint8_t>& buf);
  std::uint16_t recordLength() const { return header_.recordLength; }
  // Bumped by every change this object commits or notices on refresh(): cursors drop what they
  // cached when it moves.
  std::uint64_t generation() const { return generation_; }
  Tag& tagByIndex(std::size_t i) { return tags_[i]; }
  // The stored key of a record image for tag `t` (nullopt when its FOR clause excludes it).
  std::optional<std::string> keyOf(const Tag& t, const std::uint8_t* record) const;
  // The key prefix made from values for the leading terms of tag `t`.
  std::string keyPrefix(const Tag& t, const std::vector<Value>& values);
  static std::uint32_t recnoOf(const Bookmark& b);
  static Bookmark bookmarkOf(std::uint32_t recno);

 private:
  void openCompanions(const OpenOptions& options);
  void addTags(IndexFile& file);
  void requireWritable();
  // Under a transaction: re-reads the header and the companions' headers.
  void refreshLocked(Transaction& tx);
  void writeBlobs(Transaction& tx, Record& r, const std::vector<std::uint8_t>* old);
  void updateKeys(Transaction& tx, const std::vector<std::uint8_t>* old, const std::vector<std::uint8_t>& now,
                  std::uint32_t recno);
  void checkUnique(Tag& t, const std::string& key, std::uint32_t recno);
  void writeHeaderCount(Transaction& tx, std::uint32_t count);
  std::uint64_t recordOffset(std::uint32_t recno) const {
    return header_.headerLength + static_cast<std::uint64_t>(recno - 1) * header_.recordLength;
  }

  FileSystem& fs_;
  std::string path_;
  Format format_;
  bool readOnly_;
  bool exclusive_;
  XbaseLockScheme locks_;
  std::unique_ptr<File> file_;
  XbaseHeader header_;
  Schema schema_;
  std::unique_ptr<CodePage> codePage_;
  std::unique_ptr<XbaseFieldCodec> codec_;
  std::unique_ptr<File> memoFile_;
  std::unique_ptr<MemoFile> memo_;
  std::vector<std::unique_ptr<File>> indexFiles_;
  std::vector<std::unique_ptr<IndexFile>> indexes_;
  std::vector<Tag> tags_;
  std::unique_ptr<Journal> journal_;
  std::uint64_t generation_ = 1;
  std::vector<std::string> openProblems_;  // found on open, reported by check()
};

}  // namespace rf::tables

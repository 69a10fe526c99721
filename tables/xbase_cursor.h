#pragma once
// Cursors over an xBase table: record order, and the order of an index tag. Deleted records
// and index entries that do not match their record (an index edited behind our back) are
// passed over, so a cursor never returns a wrong row.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tables/index_file.h"
#include "tables/table.h"

namespace rf::tables {

class XbaseTable;

class XbaseRecordCursor final : public Cursor {
 public:
  explicit XbaseRecordCursor(XbaseTable& table) : t_(table) {}

  bool first() override;
  bool last() override;
  bool next() override;
  bool prior() override;
  bool eof() const override { return eof_; }
  bool bof() const override { return bof_; }
  bool valid() const override { return recno_ != 0; }
  const Record& record() const override { return record_; }
  Bookmark bookmark() const override;
  bool gotoBookmark(const Bookmark& b) override;
  bool seek(const std::vector<Value>& key) override;
  void setRange(const std::vector<Value>& key) override;
  void refresh() override;

 private:
  // Loads record `recno` when it is live; false otherwise.
  bool load(std::uint32_t recno, bool forward);
  // Scans from `from` in one direction for a live record.
  bool scan(std::uint32_t from, bool forward);

  XbaseTable& t_;
  std::uint32_t recno_ = 0;
  bool eof_ = false, bof_ = false;
  Record record_;
  std::vector<std::uint8_t> buf_;
  std::uint32_t bufStart_ = 0, bufCount_ = 0;
  std::uint64_t bufGeneration_ = 0;
};

class XbaseTagCursor final : public Cursor {
 public:
  XbaseTagCursor(XbaseTable& table, std::size_t tag);

  bool first() override;
  bool last() override;
  bool next() override;
  bool prior() override;
  bool eof() const override { return eof_; }
  bool bof() const override { return bof_; }
  bool valid() const override { return recno_ != 0; }
  const Record& record() const override { return record_; }
  Bookmark bookmark() const override;
  bool gotoBookmark(const Bookmark& b) override;
  bool seek(const std::vector<Value>& key) override;
  void setRange(const std::vector<Value>& key) override;
  void refresh() override;

 private:
  bool inRange(const TagEntry& e) const;
  // Accepts the iterator's entry when it is in range and its record is live and matches.
  bool accept();
  // Steps the iterator until an acceptable entry; false at the end (or out of range).
  bool settle(bool forward);
  void land();
  // Puts the iterator back on the current entry after a failed move or a change.
  void restore();

  XbaseTable& t_;
  std::size_t tag_;
  std::unique_ptr<TagIterator> it_;
  std::optional<std::string> range_;
  std::uint32_t recno_ = 0;
  std::string key_;
  bool eof_ = false, bof_ = false;
  Record record_;
  std::vector<std::uint8_t> scratch_;
  std::uint64_t generation_ = 0;
};

}  // namespace rf::tables

#pragma once
// An open table and its cursors: the engine's API for every family (dBASE, FoxPro, Paradox).
//
// A Table object is one open of one table file with its memo/blob and index files. It is used
// from one thread. Other processes (and other Table objects on the same files) may read and
// write at the same time: every change takes the table's commit lock, re-reads what it needs
// and is all-or-nothing across the files it touches (see journal.h).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/schema.h"
#include "tables/value.h"

namespace rf::tables {

// Opaque position of a record that survives other records' changes: a record number for the
// xBase family, the primary key (or record number of an unkeyed table) for Paradox.
using Bookmark = std::string;

// The image of one record. Fields are read and written through Table::get / Table::set, which
// know the format; memo and binary values set on a record stay pending until it is saved.
class Record {
 public:
  Record() = default;
  explicit Record(std::vector<std::uint8_t> image) : image_(std::move(image)) {}

  std::vector<std::uint8_t>& image() { return image_; }
  const std::vector<std::uint8_t>& image() const { return image_; }
  const Bookmark& bookmark() const { return bookmark_; }
  void setBookmark(std::string_view b) { bookmark_.assign(b); }

  // Blob values assigned since the record was read, by field index.
  struct Pending {
    int field;
    Value value;
  };
  std::vector<Pending>& pending() { return pending_; }
  const std::vector<Pending>& pending() const { return pending_; }
  const Value* pendingFor(int field) const;
  void setPending(int field, Value v);

 private:
  std::vector<std::uint8_t> image_;
  Bookmark bookmark_;
  std::vector<Pending> pending_;
};

class Cursor {
 public:
  virtual ~Cursor() = default;

  // Moves; each returns true when it lands on a record. Moving past the last (first) record
  // returns false, sets eof() (bof()) and leaves the cursor on the last (first) record.
  // On an empty table (or range) every move returns false and both eof() and bof() are true.
  virtual bool first() = 0;
  virtual bool last() = 0;
  virtual bool next() = 0;
  virtual bool prior() = 0;
  virtual bool eof() const = 0;
  virtual bool bof() const = 0;
  // True while the cursor stands on a record.
  virtual bool valid() const = 0;

  // The current record (valid() must be true).
  virtual const Record& record() const = 0;
  virtual Bookmark bookmark() const = 0;
  // Returns false (and leaves the position as it was) when the record no longer exists or lies
  // outside the range.
  virtual bool gotoBookmark(const Bookmark& b) = 0;

  // Index order only (throw InvalidInput in record order). `key` gives values for the leading
  // key fields (or, for an expression tag, the leading terms of the expression; a single value
  // for a non-concatenated expression). Positions on the first entry whose key is >= the given
  // prefix; returns true when that entry's leading parts equal it.
  virtual bool seek(const std::vector<Value>& key) = 0;
  // Restricts the cursor to entries whose leading parts equal `key` (an empty vector lifts the
  // restriction), then positions on the first of them.
  virtual void setRange(const std::vector<Value>& key) = 0;

  // Re-reads the current record from the files (after another writer); when it is gone, moves
  // to the next one (or the prior at the end).
  virtual void refresh() = 0;
};

// A held record lock; released when destroyed.
class RecordLock {
 public:
  virtual ~RecordLock() = default;
};

struct TableInfo {
  Format format = Format::Dbase;
  int version = 0;                // the version byte (xBase) or file version id (Paradox)
  std::string versionName;        // e.g. "dBASE IV with memo", "Visual FoxPro", "Paradox 7"
  std::uint64_t recordCount = 0;  // live records
  int codePage = 0;               // Windows/DOS code page number; 0 unknown
  std::string memoFile;           // path, empty when none
  std::vector<std::string> indexFiles;
};

struct CheckReport {
  std::vector<std::string> problems;  // each names the file and where
  bool ok() const { return problems.empty(); }
};

class Table {
 public:
  virtual ~Table() = default;

  virtual const std::string& path() const = 0;
  virtual TableInfo info() = 0;
  virtual const Schema& schema() const = 0;
  // In the file's order (Paradox: primary first, then secondaries by file name).
  virtual std::vector<IndexInfo> indexes() const = 0;

  // A cursor in record order (Paradox: primary-key order for keyed tables) when `index` is
  // empty, else in the order of the named index (case-insensitive). Throws NotFound for an
  // unknown name and Unsupported for an index the engine cannot evaluate.
  virtual std::unique_ptr<Cursor> openCursor(const std::string& index = {}) = 0;
  // A cursor in the order of an index whose leading key fields are `fields` (the index "on"
  // those fields); throws NotFound when there is none.
  virtual std::unique_ptr<Cursor> openCursorOnFields(const std::vector<std::string>& fields) = 0;

  // Field access on a record of this table.
  virtual Value get(const Record& r, int field) = 0;
  // Whether the field holds a value, answered from the record itself where the format allows:
  // a memo or blob is not read from its file (a grid shows a mark for a 5 MB photo without
  // loading it).
  virtual bool hasValue(const Record& r, int field) { return !get(r, field).isBlank(); }
  // Converts and stores; text is cut to the field's width. Throws InvalidInput for a value the
  // field cannot hold (characters outside the code page, a number that does not fit, ...).
  virtual void set(Record& r, int field, const Value& v) = 0;
  Value get(const Record& r, std::string_view field) { return get(r, schema().require(field, path())); }
  void set(Record& r, std::string_view field, const Value& v) { set(r, schema().require(field, path()), v); }

  // A record with every field blank.
  virtual Record blankRecord() = 0;

  // Locks the record for editing (throws Locked when another holder has it).
  virtual std::unique_ptr<RecordLock> lockRecord(const Bookmark& b) = 0;
  // Saves a new record; returns its bookmark (also set on `r`). Throws KeyViolation for a
  // duplicate unique key and writes nothing then.
  virtual Bookmark insert(Record& r) = 0;
  // Saves `r` over the record at `r.bookmark()`; returns the (possibly new) bookmark.
  virtual Bookmark update(Record& r) = 0;
  // Deletes (xBase: marks deleted, never shown again) the record.
  virtual void remove(const Bookmark& b) = 0;
  // Removes every record, memo and index entry; keeps the fields and index definitions. Needs
  // exclusive use: throws Locked while another open of the table exists.
  virtual void empty() = 0;

  // Re-reads header and index state after another writer.
  virtual void refresh() = 0;
  // Checks the table, its memo/blob file and every index against each other.
  virtual CheckReport check() = 0;
};

}  // namespace rf::tables

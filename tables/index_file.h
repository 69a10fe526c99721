#pragma once
// A multi-tag index file of an xBase table: the production .MDX of dBASE or the compound .CDX of
// FoxPro. Keys arrive already encoded by encode(); the index keeps (key, record number) entries
// of each tag in key order, duplicates in record-number order. Reads go straight to the file;
// every change goes through a Transaction.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tables/journal.h"
#include "tables/key_expression.h"
#include "tables/table.h"

namespace rf::tables {

struct TagSpec {
  std::string name;           // upper case, at most 10 characters
  std::string expression;
  std::string forExpression;  // empty: every record
  char keyType = 'C';         // 'C', 'N', 'D'
  int keyLength = 0;          // bytes of a stored key
  bool unique = false;
  bool descending = false;
};

struct TagEntry {
  std::string key;  // encoded, keyLength bytes
  std::uint32_t recno = 0;
  bool operator==(const TagEntry&) const = default;
};

// Ordered walk over one tag. A fresh iterator stands before the first entry.
class TagIterator {
 public:
  virtual ~TagIterator() = default;
  virtual bool first() = 0;
  virtual bool last() = 0;
  // Positions on the first entry ordered at or after (key, recno); recno 0 means the first entry
  // with that key or after. `key` may be shorter than the key length: it is then a prefix.
  virtual bool seek(std::string_view key, std::uint32_t recno) = 0;
  virtual bool next() = 0;
  virtual bool prior() = 0;
  virtual bool valid() const = 0;
  virtual const TagEntry& entry() const = 0;
};

class IndexFile {
 public:
  virtual ~IndexFile() = default;

  virtual int tagCount() const = 0;
  virtual const TagSpec& tag(int i) const = 0;

  // The stored form of a key of tag `tag` (text padded to the key length, numbers and dates in
  // the format's encoding).
  virtual std::string encode(int tag, const KeyValue& key) const = 0;
  // Orders two stored keys (or a prefix against a key) of tag `tag`: <0, 0, >0. Descending tags
  // reverse it. A prefix compares equal to keys that start with it.
  virtual int compare(int tag, std::string_view a, std::string_view b) const = 0;

  virtual std::unique_ptr<TagIterator> iterate(int tag) = 0;

  virtual void insert(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) = 0;
  // Throws Corrupt when the entry is not there.
  virtual void remove(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) = 0;
  // Every tag emptied; tag definitions kept.
  virtual void clear(Transaction& tx) = 0;
  virtual void refresh() = 0;
  // Structural check of every tag (node layout, order, links); problems are appended.
  virtual void check(CheckReport& report) = 0;
  virtual const std::string& path() const = 0;
};

// The two formats. `file` stays owned by the caller.
std::unique_ptr<IndexFile> openMdx(File& file);
// As openMdx(file), with the table header's language driver (DBF byte 29): character keys are
// kept in its order when the MDX header names no driver of its own.
std::unique_ptr<IndexFile> openMdx(File& file, std::uint8_t tableLanguageDriver);
std::unique_ptr<IndexFile> openCdx(File& file);
// Write a new index file with empty tags (the file is empty). For the MDX, `tableName` goes in
// the header.
void createMdx(File& file, std::string_view tableName, const std::vector<TagSpec>& tags);
void createCdx(File& file, const std::vector<TagSpec>& tags);

}  // namespace rf::tables

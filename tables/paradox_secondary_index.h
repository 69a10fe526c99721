#pragma once
// One secondary index of a keyed Paradox table: the .Xnn (one field) or .XGn (named, any number
// of fields) file and its .Ynn/.YGn tree.
//
// The .Xnn file is itself a keyed block file: its records hold the indexed fields, the table's
// primary key fields and a Short "Blk Num" (the table block that holds the record, kept exact),
// sorted by all but the last. Order flags (header 0x55, as this engine reads them): 0x01 case
// insensitive, 0x10 descending, 0x20 unique. Indexes the original does not maintain on every
// change (file types 3 and 6, whose records carry record numbers instead of the primary key)
// are listed but not used or kept.

#include <memory>
#include <string>
#include <vector>

#include "tables/paradox_block_chain.h"
#include "tables/paradox_collation.h"
#include "tables/paradox_header.h"
#include "tables/paradox_record_store.h"
#include "tables/paradox_tree_index.h"
#include "tables/schema.h"

namespace rf::tables::paradox {

class SecondaryIndex {
 public:
  // What an index needs to know of its table.
  struct TableShape {
    std::vector<HeaderField> fields;  // of the .DB
    std::vector<std::string> names;   // the same in UTF-8
    int keyFields = 0;
    const Collation* collation = nullptr;
    const CodePage* codePage = nullptr;
  };

  // Opens the index files `xPath` (and the tree `yPath`, empty when missing). Problems with an
  // index that the table can live without are kept in info().problem with usable false.
  SecondaryIndex(FileSystem& fs, const std::string& xPath, const std::string& yPath, const TableShape& table,
                 bool readOnly);

  const IndexInfo& info() const { return info_; }
  bool usable() const { return info_.usable; }
  bool maintained() const { return maintained_; }
  const std::vector<int>& fields() const { return secFields_; }
  std::size_t secCount() const { return secFields_.size(); }

  File& xFile() { return *xFile_; }
  File* yFile() { return yFile_.get(); }
  RecordStore& store() { return *store_; }
  TreeIndex& tree() { return *tree_; }
  const KeyOrder& order() const { return order_; }
  // Layout of index record field i (indexed fields, then primary key fields, then Blk Num).
  const FieldLayout& layout(std::size_t i) const { return layouts_[i]; }
  std::uint16_t recordSize() const { return recordSize_; }
  std::size_t keyLength() const { return recordSize_ - 2u; }
  std::uint32_t pkOffset() const { return pkOffset_; }

  // The index record of table record `rec` held in table block `block`.
  void entryOf(const std::uint8_t* rec, std::uint16_t block, std::uint8_t* out) const;
  std::uint16_t hintOf(const std::uint8_t* entry) const;
  void setHint(std::uint8_t* entry, std::uint16_t block) const;

  void load(const BlockIo& io);
  void clearReadCache();
  // Takes the index out of use because its files are damaged or out of date.
  void markDamaged(const std::string& why) {
    fail(why);
    damaged_ = true;
  }
  bool damaged() const { return damaged_; }
  // The change counters, moved on with the table's (see ParadoxTable::finishWrite).
  void bumpCounters(const BlockIo& io, int delta);
  void mirrorAutoIncrement(const BlockIo& io, std::uint32_t value);

 private:
  void fail(const std::string& why);

  IndexInfo info_;
  bool maintained_ = false;
  bool damaged_ = false;
  std::vector<int> secFields_;  // table field index of each indexed field
  std::vector<std::uint32_t> tableOffsets_;  // where each indexed field lies in a table record
  std::vector<FieldLayout> layouts_;
  std::uint16_t recordSize_ = 0;
  std::uint32_t pkOffset_ = 0;
  KeyOrder order_;
  std::unique_ptr<File> xFile_;
  std::unique_ptr<File> yFile_;
  std::unique_ptr<BlockChain> xChain_;
  std::unique_ptr<BlockChain> yChain_;
  std::unique_ptr<TreeIndex> tree_;
  std::unique_ptr<RecordStore> store_;
};

// The file name a new index gets: TABLE.Xnn (nn the 1-based field number in hex) for an
// unnamed single-field index, TABLE.XGn for a named one (n = 0-9, then A-Z).
std::string secondaryIndexExtension(bool composite, int fieldNumberOrSlot);

}  // namespace rf::tables::paradox

#pragma once
// The records of a block file, kept the way the original engine keeps them.
//
// Keyed (a .DB with a .PX, or a secondary .Xnn with its .Ynn): records sorted by key inside each
// block and blocks chained in key order; a new record goes into the block whose first key is the
// last one at or below its key; a full block is split in two halves, except that a record added
// past the end of the last block starts a new block. Unkeyed: records in the order they came,
// added to the last block. Both: a record removed closes the gap; an emptied block leaves the
// chain and is given back, except the head block, which takes over the records of the block
// after it (so that the chain always starts at block 1).

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "tables/paradox_block_chain.h"
#include "tables/paradox_collation.h"
#include "tables/paradox_tree_index.h"

namespace rf::tables::paradox {

class RecordStore {
 public:
  // `tree` and `order` are null for an unkeyed store; `tree` alone may be null for a keyed store
  // whose index is missing or out of date (then it can be read but not changed).
  RecordStore(BlockChain& data, TreeIndex* tree, const KeyOrder* order);

  BlockChain& data() { return data_; }
  TreeIndex* tree() { return tree_; }
  const KeyOrder* order() const { return order_; }
  bool keyed() const { return order_ != nullptr; }
  std::uint16_t recordSize() const { return data_.recordSize(); }

  struct Pos {
    std::uint16_t block = 0;
    int index = 0;
  };
  // The first record whose leading `parts` key parts are >= `key` (> with `upper`); nullopt
  // past the end.
  std::optional<Pos> lowerBound(const BlockIo& io, const std::uint8_t* key, std::size_t parts, bool upper = false);
  // The record with exactly this key.
  std::optional<Pos> find(const BlockIo& io, const std::uint8_t* key);
  // The record with this key when it lies in `block` (a hint).
  std::optional<Pos> findIn(const BlockIo& io, std::uint16_t block, const std::uint8_t* key);

  struct Change {
    std::uint16_t landed = 0;  // block that holds the new record
    // Records that moved to another block: image and their new block.
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint16_t>> moved;
  };
  // Keyed: KeyViolation (nothing changed) when the key is taken.
  Change insert(const BlockIo& io, const std::uint8_t* rec);
  // Unkeyed: after the last record.
  Change append(const BlockIo& io, const std::uint8_t* rec);
  // The record at `pos` gets `rec` (a keyed store's key must stay the same).
  void replaceAt(const BlockIo& io, Pos pos, const std::uint8_t* rec);
  Change removeAt(const BlockIo& io, Pos pos);

  // Writes the changed blocks and the header counts.
  void flush(const BlockIo& io);
  void endOperation();
  void clear(const BlockIo& io);

 private:
  int countOf(const Block& b) const { return data_.countOf(b); }
  int lowerIn(const Block& b, int n, const std::uint8_t* key, std::size_t parts, bool upper = false) const;
  TreeIndex::Path pathOf(const BlockIo& io, const std::uint8_t* firstKey);

  BlockChain& data_;
  TreeIndex* tree_;
  const KeyOrder* order_;
};

}  // namespace rf::tables::paradox

#pragma once
// The tree index of a block file: the .PX of a keyed table, the .Ynn/.YGn of a secondary index.
//
// Each entry is the key of the first record of a block below, then three encoded 16-bit numbers:
// that block's number, a count, and 0. Level 1 entries point at data blocks (one entry per data
// block, the count being its records); higher levels point at index blocks of the level below
// and hold the sum of their counts. The header gives the root block (0x1E) and the number of
// levels (0x20); an empty index has root 1, no levels and no blocks. The header's record count
// is the number of entries on all levels.
//
// The index blocks are chained root first, then each level in key order down to the leaves: the
// original engine does not depend on this chain, and readers that walk it (pxlib) take the first
// block for the level above the leaves. Counts above the leaves are kept at 32767 at most.

#include <cstdint>
#include <vector>

#include "tables/paradox_block_chain.h"
#include "tables/paradox_collation.h"

namespace rf::tables::paradox {

// 16-bit numbers in index entries and "Blk Num" fields: big-endian with the top bit flipped,
// read unsigned.
void encodeWord(std::uint8_t* p, std::uint32_t v);
std::uint16_t decodeWord(const std::uint8_t* p);

class TreeIndex {
 public:
  // `order` compares the keys at the start of the entries (its length is the key length).
  TreeIndex(BlockChain& chain, const KeyOrder& order);

  BlockChain& chain() { return chain_; }
  std::size_t keyLength() const { return order_.length(); }
  std::size_t entrySize() const { return chain_.recordSize(); }
  std::uint16_t root() const { return root_; }
  int levels() const { return levels_; }
  bool empty() const { return levels_ == 0; }

  // Root, levels and the chain's counts from the header.
  void load(const BlockIo& io);
  void store(const BlockIo& io) const;

  struct Step {
    std::uint16_t block;
    int index;
  };
  using Path = std::vector<Step>;  // root first; back() is in a leaf block

  // The path to the leaf entry of the last data block whose first key is below `key` (strict)
  // or at most `key`; the first entry when there is none. Empty for an empty index.
  Path find(const BlockIo& io, const std::uint8_t* key, std::size_t parts, bool strict);
  std::uint16_t dataBlockAt(const BlockIo& io, const Path& path);

  // The first entry of an empty index.
  void insertFirst(const BlockIo& io, const std::uint8_t* key, std::uint16_t dataBlock, int count);
  // Sets the key and count of the leaf entry at `path` and corrects the levels above.
  void setLeaf(const BlockIo& io, const Path& path, const std::uint8_t* key, int count);
  // Adds a leaf entry for a new data block right after the entry at `path`.
  void insertAfter(const BlockIo& io, const Path& path, const std::uint8_t* key, std::uint16_t dataBlock, int count);
  // Removes the leaf entry at `path` (its data block is gone).
  void remove(const BlockIo& io, const Path& path);
  // Back to an empty index.
  void clear(const BlockIo& io);

  void flush(const BlockIo& io) { chain_.flush(io); }
  void endOperation() { chain_.endOperation(); }

  // For readers and the check: entries of an index block.
  const std::uint8_t* keyAt(const Block& b, int i) const { return b.record(i, chain_.recordSize()); }
  std::uint16_t blockAt(const Block& b, int i) const { return decodeWord(keyAt(b, i) + keyLength()); }
  int countAt(const Block& b, int i) const { return decodeWord(keyAt(b, i) + keyLength() + 2); }

  static constexpr int kMaxLevels = 16;
  static constexpr int kMaxCount = 32767;

 private:
  int choose(const Block& b, int n, const std::uint8_t* key, std::size_t parts, bool strict) const;
  void writeEntry(Block& b, int i, const std::uint8_t* key, std::uint16_t block, int count);
  // Key and count an entry pointing at block `child` should hold.
  void summary(const BlockIo& io, std::uint16_t child, std::vector<std::uint8_t>& key, int& count);
  void insertEntry(const BlockIo& io, const Path& path, int depth, int pos, const std::vector<std::uint8_t>& entry);
  void refreshEntry(const BlockIo& io, std::uint16_t parent, int index, std::uint16_t child);
  // Recomputes the entries along `path` from depth `from` - 1 up to the root.
  void fixUp(const BlockIo& io, const Path& path, int from);

  BlockChain& chain_;
  const KeyOrder& order_;
  std::uint16_t root_ = 1;
  int levels_ = 0;
};

}  // namespace rf::tables::paradox

#pragma once
// The blocks of one Paradox file (.DB, .PX, .Xnn, .Ynn, ...): a header, then fixed-size blocks
// numbered from 1, each starting with next, previous and "add-data size" ((records - 1) *
// record size, -record size when empty). The blocks in use form one doubly linked chain from
// the header's first block (0x0E) to its last (0x10); 0x0A counts them, 0x0C counts all blocks
// of the file. Blocks given back form a singly linked free list from header 0x4D; the last
// block of the file is cut off instead.
//
// Reads outside a transaction go through a small cache that the owner clears whenever the file
// may have changed; inside a transaction every block is read through the transaction (so staged
// writes are seen) into a per-operation set that is written back by flush().

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "tables/journal.h"

namespace rf::tables::paradox {

// Where reads come from and writes go: the files themselves, or a transaction.
class BlockIo {
 public:
  BlockIo() = default;
  explicit BlockIo(Transaction& tx) : tx_(&tx) {}
  bool writing() const { return tx_ != nullptr; }
  Transaction* tx() const { return tx_; }
  std::size_t read(File& f, std::uint64_t offset, std::span<std::uint8_t> buf) const;
  void readExact(File& f, std::uint64_t offset, std::span<std::uint8_t> buf, const char* what) const;
  void write(File& f, std::uint64_t offset, std::span<const std::uint8_t> data) const;
  void truncate(File& f, std::uint64_t size) const;
  std::uint64_t size(File& f) const;

 private:
  Transaction* tx_ = nullptr;
};

struct Block {
  std::uint16_t number = 0;
  std::vector<std::uint8_t> bytes;
  std::size_t available = 0;         // bytes the file holds of it (a last block may be short)
  std::size_t dirtyFrom = SIZE_MAX;  // byte range to write back
  std::size_t dirtyTo = 0;

  std::uint16_t next() const;
  std::uint16_t prev() const;
  void setNext(std::uint16_t n);
  void setPrev(std::uint16_t n);
  // Raw record count from the add-data size (may be out of range in a damaged file).
  long rawCount(std::uint16_t recordSize) const;
  void setCount(int count, std::uint16_t recordSize);
  std::uint8_t* record(int i, std::uint16_t recordSize) { return bytes.data() + 6 + static_cast<std::size_t>(i) * recordSize; }
  const std::uint8_t* record(int i, std::uint16_t recordSize) const {
    return bytes.data() + 6 + static_cast<std::size_t>(i) * recordSize;
  }
  void touch(std::size_t from, std::size_t to);
  void touchAll() { touch(0, bytes.size()); }
  bool dirty() const { return dirtyFrom < dirtyTo; }
};

class BlockChain {
 public:
  BlockChain(File& file, std::uint16_t headerSize, std::uint32_t blockSize, std::uint16_t recordSize);

  File& file() { return file_; }
  const std::string& path() const { return file_.path(); }
  std::uint16_t recordSize() const { return recordSize_; }
  std::uint32_t blockSize() const { return blockSize_; }
  std::uint16_t headerSize() const { return headerSize_; }
  int capacity() const { return capacity_; }
  std::uint64_t blockOffset(std::uint16_t n) const {
    return headerSize_ + static_cast<std::uint64_t>(n - 1) * blockSize_;
  }

  struct Counts {
    std::uint32_t records = 0;
    std::uint16_t used = 0;
    std::uint16_t total = 0;
    std::uint16_t first = 0;
    std::uint16_t last = 0;
    std::uint16_t freeHead = 0;
    bool operator==(const Counts&) const = default;
  };
  Counts counts;

  // Reads the header's counts (checked against the file's size).
  void loadCounts(const BlockIo& io);
  void storeCounts(const BlockIo& io) const;

  std::shared_ptr<Block> get(const BlockIo& io, std::uint16_t n);
  // The record count of a block of the chain; Corrupt when the header of the block is broken.
  int countOf(const Block& b) const;
  // A new, empty, unlinked block (from the free list or added at the end).
  std::shared_ptr<Block> allocate(const BlockIo& io);
  // Gives an unlinked block back.
  void release(const BlockIo& io, std::uint16_t n);
  // Links `n` after `after` (0: at the head).
  void linkAfter(const BlockIo& io, std::uint16_t after, std::uint16_t n);
  void unlink(const BlockIo& io, std::uint16_t n);
  // Writes the blocks changed in this operation.
  void flush(const BlockIo& io);
  void endOperation() { op_.clear(); }
  void clearReadCache() { cache_.clear(); }

  // Back to a file of header only (inside a transaction).
  void clear(const BlockIo& io);

 private:
  File& file_;
  std::uint16_t headerSize_;
  std::uint32_t blockSize_;
  std::uint16_t recordSize_;
  int capacity_;
  std::map<std::uint16_t, std::shared_ptr<Block>> op_;
  std::unordered_map<std::uint16_t, std::shared_ptr<Block>> cache_;
  std::size_t cacheLimit_;
};

}  // namespace rf::tables::paradox

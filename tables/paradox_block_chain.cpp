#include "tables/paradox_block_chain.h"

#include <algorithm>
#include <cstring>

#include "tables/error.h"
#include "tables/paradox_format.h"

namespace rf::tables::paradox {

std::size_t BlockIo::read(File& f, std::uint64_t offset, std::span<std::uint8_t> buf) const {
  return tx_ ? tx_->read(f, offset, buf) : f.readAt(offset, buf);
}

void BlockIo::readExact(File& f, std::uint64_t offset, std::span<std::uint8_t> buf, const char* what) const {
  if (read(f, offset, buf) != buf.size()) throwCorrupt(f.path(), std::string("the file ends inside ") + what, offset);
}

void BlockIo::write(File& f, std::uint64_t offset, std::span<const std::uint8_t> data) const {
  if (!tx_) throwError(ErrorKind::InvalidInput, f.path(), "write outside a transaction");
  tx_->write(f, offset, data);
}

void BlockIo::truncate(File& f, std::uint64_t size) const {
  if (!tx_) throwError(ErrorKind::InvalidInput, f.path(), "write outside a transaction");
  tx_->truncate(f, size);
}

std::uint64_t BlockIo::size(File& f) const { return tx_ ? tx_->size(f) : f.size(); }

std::uint16_t Block::next() const { return le16(bytes.data()); }
std::uint16_t Block::prev() const { return le16(bytes.data() + 2); }
void Block::setNext(std::uint16_t n) {
  putLe16(bytes.data(), n);
  touch(0, 2);
}
void Block::setPrev(std::uint16_t n) {
  putLe16(bytes.data() + 2, n);
  touch(2, 4);
}
long Block::rawCount(std::uint16_t recordSize) const {
  auto add = static_cast<std::int16_t>(le16(bytes.data() + 4));
  if (add < 0) return add == -static_cast<int>(recordSize) ? 0 : -1;
  if (add % recordSize) return -1;
  return add / recordSize + 1;
}
void Block::setCount(int count, std::uint16_t recordSize) {
  int add = (count - 1) * static_cast<int>(recordSize);
  putLe16(bytes.data() + 4, static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(add))));
  touch(4, 6);
}
void Block::touch(std::size_t from, std::size_t to) {
  dirtyFrom = std::min(dirtyFrom, from);
  dirtyTo = std::max(dirtyTo, std::min(to, bytes.size()));
}

BlockChain::BlockChain(File& file, std::uint16_t headerSize, std::uint32_t blockSize, std::uint16_t recordSize)
    : file_(file),
      headerSize_(headerSize),
      blockSize_(blockSize),
      recordSize_(recordSize),
      capacity_(static_cast<int>((blockSize - kBlockHeader) / recordSize)),
      cacheLimit_(std::max<std::size_t>(64, (8u << 20) / blockSize)) {}

void BlockChain::loadCounts(const BlockIo& io) {
  std::uint8_t h[0x50];
  io.readExact(file_, 0, h, "the header");
  Counts c;
  c.records = le32(h + hdr::kRecords);
  c.used = le16(h + hdr::kUsedBlocks);
  c.total = le16(h + hdr::kFileBlocks);
  c.first = le16(h + hdr::kFirstBlock);
  c.last = le16(h + hdr::kLastBlock);
  c.freeHead = le16(h + hdr::kFirstFreeBlock);
  std::uint64_t size = io.size(file_);
  std::uint64_t room = size < headerSize_ ? 0 : (size - headerSize_ + blockSize_ - 1) / blockSize_;
  if (c.total > room)
    throwCorrupt(path(),
                 "the header counts " + std::to_string(c.total) + " blocks but the file holds " + std::to_string(room),
                 hdr::kFileBlocks);
  if (c.first > c.total || c.last > c.total || c.used > c.total || c.freeHead > c.total)
    throwCorrupt(path(), "the header names a block past the end of the file", hdr::kFirstBlock);
  counts = c;
}

void BlockChain::storeCounts(const BlockIo& io) const {
  // One write of the header's fixed part: the counters other parts of a change set in it (change
  // counts, autoincrement, index root) then merge into the same extent of the transaction.
  std::uint8_t h[0x50];
  io.readExact(file_, 0, h, "the header");
  putLe32(h + hdr::kRecords, counts.records);
  putLe16(h + hdr::kUsedBlocks, counts.used);
  putLe16(h + hdr::kFileBlocks, counts.total);
  putLe16(h + hdr::kFirstBlock, counts.first);
  putLe16(h + hdr::kLastBlock, counts.last);
  putLe16(h + hdr::kMaxBlocks, counts.total);
  putLe16(h + hdr::kFirstFreeBlock, counts.freeHead);
  io.write(file_, hdr::kRecords, std::span<const std::uint8_t>(h + hdr::kRecords, hdr::kFirstFreeBlock + 2 - hdr::kRecords));
}

std::shared_ptr<Block> BlockChain::get(const BlockIo& io, std::uint16_t n) {
  if (n == 0 || n > counts.total)
    throwCorrupt(path(), "block " + std::to_string(n) + " is referred to but the file has " +
                             std::to_string(counts.total) + " blocks");
  if (io.writing()) {
    auto it = op_.find(n);
    if (it != op_.end()) return it->second;
  } else {
    auto it = cache_.find(n);
    if (it != cache_.end()) return it->second;
  }
  auto b = std::make_shared<Block>();
  b->number = n;
  b->bytes.resize(blockSize_);
  // A short last block (see readParadoxHeader) reads as zeros past the end of the file.
  b->available = io.read(file_, blockOffset(n), b->bytes);
  if (b->available < kBlockHeader)
    throwCorrupt(path(), "block " + std::to_string(n) + " lies past the end of the file", blockOffset(n));
  if (io.writing()) {
    op_.emplace(n, b);
  } else {
    if (cache_.size() >= cacheLimit_) cache_.clear();
    cache_.emplace(n, b);
  }
  return b;
}

int BlockChain::countOf(const Block& b) const {
  long c = b.rawCount(recordSize_);
  if (c < 0 || c > capacity_)
    throwCorrupt(path(), "block " + std::to_string(b.number) + " holds an impossible record count",
                 blockOffset(b.number) + 4);
  if (kBlockHeader + static_cast<std::size_t>(c) * recordSize_ > b.available)
    throwCorrupt(path(), "block " + std::to_string(b.number) + " is cut short by the end of the file",
                 blockOffset(b.number) + b.available);
  return static_cast<int>(c);
}

std::shared_ptr<Block> BlockChain::allocate(const BlockIo& io) {
  std::uint16_t n;
  if (counts.freeHead) {
    n = counts.freeHead;
    auto freed = get(io, n);
    std::uint16_t next = freed->next();
    if (next > counts.total || next == n)
      throwCorrupt(path(), "the free block list is broken at block " + std::to_string(n), blockOffset(n));
    counts.freeHead = next;
  } else {
    if (counts.total >= kMaxBlocksInFile)
      throwError(ErrorKind::InvalidInput, path(), "the table is full: a Paradox file holds at most 65535 blocks");
    n = ++counts.total;
  }
  auto b = std::make_shared<Block>();
  b->number = n;
  b->bytes.assign(blockSize_, 0);
  b->available = blockSize_;
  b->setCount(0, recordSize_);
  b->touchAll();
  op_[n] = b;
  return b;
}

void BlockChain::release(const BlockIo& io, std::uint16_t n) {
  if (n == counts.total) {
    op_.erase(n);
    --counts.total;
    io.truncate(file_, blockOffset(n));
    return;
  }
  auto b = get(io, n);
  std::fill(b->bytes.begin(), b->bytes.end(), 0);
  b->setNext(counts.freeHead);
  b->setPrev(0);
  b->setCount(0, recordSize_);
  b->touchAll();
  counts.freeHead = n;
}

void BlockChain::linkAfter(const BlockIo& io, std::uint16_t after, std::uint16_t n) {
  auto b = get(io, n);
  std::uint16_t next;
  if (after == 0) {
    next = counts.first;
    counts.first = n;
  } else {
    auto a = get(io, after);
    next = a->next();
    a->setNext(n);
  }
  b->setPrev(after);
  b->setNext(next);
  if (next) get(io, next)->setPrev(n);
  else counts.last = n;
  ++counts.used;
}

void BlockChain::unlink(const BlockIo& io, std::uint16_t n) {
  auto b = get(io, n);
  std::uint16_t p = b->prev(), x = b->next();
  if (p) get(io, p)->setNext(x);
  else counts.first = x;
  if (x) get(io, x)->setPrev(p);
  else counts.last = p;
  if (counts.used) --counts.used;
}

void BlockChain::flush(const BlockIo& io) {
  for (auto& [n, b] : op_) {
    if (!b->dirty()) continue;
    io.write(file_, blockOffset(n) + b->dirtyFrom,
             std::span<const std::uint8_t>(b->bytes.data() + b->dirtyFrom, b->dirtyTo - b->dirtyFrom));
    b->dirtyFrom = SIZE_MAX;
    b->dirtyTo = 0;
  }
}

void BlockChain::clear(const BlockIo& io) {
  op_.clear();
  cache_.clear();
  counts = Counts{};
  io.truncate(file_, headerSize_);
}

}  // namespace rf::tables::paradox

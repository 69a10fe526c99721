#include "tables/paradox_tree_index.h"

#include <algorithm>
#include <cstring>

#include "tables/error.h"
#include "tables/paradox_format.h"

namespace rf::tables::paradox {

void encodeWord(std::uint8_t* p, std::uint32_t v) {
  std::uint32_t u = (v & 0xFFFF) ^ 0x8000;
  p[0] = static_cast<std::uint8_t>(u >> 8);
  p[1] = static_cast<std::uint8_t>(u);
}

std::uint16_t decodeWord(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(((p[0] << 8) | p[1]) ^ 0x8000);
}

TreeIndex::TreeIndex(BlockChain& chain, const KeyOrder& order) : chain_(chain), order_(order) {}

void TreeIndex::load(const BlockIo& io) {
  chain_.loadCounts(io);
  std::uint8_t b[3];
  io.readExact(chain_.file(), hdr::kIndexRoot, b, "the header");
  root_ = le16(b);
  levels_ = b[2];
  if (levels_ > kMaxLevels) throwCorrupt(chain_.path(), "the index claims " + std::to_string(levels_) + " levels", hdr::kIndexLevels);
  if (levels_ > 0 && (root_ == 0 || root_ > chain_.counts.total))
    throwCorrupt(chain_.path(), "the index root lies past the end of the file", hdr::kIndexRoot);
}

void TreeIndex::store(const BlockIo& io) const {
  chain_.storeCounts(io);
  std::uint8_t b[3];
  putLe16(b, root_);
  b[2] = static_cast<std::uint8_t>(levels_);
  io.write(chain_.file(), hdr::kIndexRoot, b);
}

int TreeIndex::choose(const Block& b, int n, const std::uint8_t* key, std::size_t parts, bool strict) const {
  int lo = 0, hi = n;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    int c = order_.compare(keyAt(b, mid), key, parts);
    if (strict ? c < 0 : c <= 0) lo = mid + 1;
    else hi = mid;
  }
  return lo > 0 ? lo - 1 : 0;
}

TreeIndex::Path TreeIndex::find(const BlockIo& io, const std::uint8_t* key, std::size_t parts, bool strict) {
  Path path;
  if (levels_ == 0) return path;
  std::uint16_t node = root_;
  for (int level = levels_; level >= 1; --level) {
    auto b = chain_.get(io, node);
    int n = chain_.countOf(*b);
    if (n == 0)
      throwCorrupt(chain_.path(), "index block " + std::to_string(node) + " is empty", chain_.blockOffset(node));
    int i = choose(*b, n, key, parts, strict);
    path.push_back({node, i});
    if (level > 1) {
      node = blockAt(*b, i);
      if (node == 0 || node > chain_.counts.total)
        throwCorrupt(chain_.path(), "index block " + std::to_string(b->number) + " points past the end",
                     chain_.blockOffset(b->number) + 6 + static_cast<std::uint64_t>(i) * entrySize());
    }
  }
  return path;
}

std::uint16_t TreeIndex::dataBlockAt(const BlockIo& io, const Path& path) {
  auto b = chain_.get(io, path.back().block);
  return blockAt(*b, path.back().index);
}

void TreeIndex::writeEntry(Block& b, int i, const std::uint8_t* key, std::uint16_t block, int count) {
  std::uint8_t* p = b.record(i, chain_.recordSize());
  std::uint8_t e[512];
  std::size_t kl = keyLength();
  std::memcpy(e, key, kl);
  encodeWord(e + kl, block);
  encodeWord(e + kl + 2, static_cast<std::uint32_t>(std::clamp(count, 0, kMaxCount)));
  encodeWord(e + kl + 4, 0);
  if (std::memcmp(p, e, entrySize()) == 0) return;
  std::memcpy(p, e, entrySize());
  std::size_t at = static_cast<std::size_t>(p - b.bytes.data());
  b.touch(at, at + entrySize());
}

void TreeIndex::summary(const BlockIo& io, std::uint16_t child, std::vector<std::uint8_t>& key, int& count) {
  auto c = chain_.get(io, child);
  int n = chain_.countOf(*c);
  if (n == 0) throwCorrupt(chain_.path(), "index block " + std::to_string(child) + " is empty", chain_.blockOffset(child));
  key.assign(keyAt(*c, 0), keyAt(*c, 0) + keyLength());
  long sum = 0;
  for (int i = 0; i < n; ++i) sum += countAt(*c, i);
  count = static_cast<int>(std::min<long>(sum, kMaxCount));
}

void TreeIndex::refreshEntry(const BlockIo& io, std::uint16_t parent, int index, std::uint16_t child) {
  std::vector<std::uint8_t> key;
  int count = 0;
  summary(io, child, key, count);
  auto p = chain_.get(io, parent);
  writeEntry(*p, index, key.data(), child, count);
}

void TreeIndex::fixUp(const BlockIo& io, const Path& path, int from) {
  for (int k = from - 1; k >= 0; --k)
    refreshEntry(io, path[static_cast<std::size_t>(k)].block, path[static_cast<std::size_t>(k)].index,
                 path[static_cast<std::size_t>(k) + 1].block);
}

void TreeIndex::insertFirst(const BlockIo& io, const std::uint8_t* key, std::uint16_t dataBlock, int count) {
  auto b = chain_.allocate(io);
  chain_.linkAfter(io, 0, b->number);
  writeEntry(*b, 0, key, dataBlock, count);
  b->setCount(1, chain_.recordSize());
  chain_.counts.records = 1;
  root_ = b->number;
  levels_ = 1;
}

void TreeIndex::setLeaf(const BlockIo& io, const Path& path, const std::uint8_t* key, int count) {
  auto leaf = chain_.get(io, path.back().block);
  writeEntry(*leaf, path.back().index, key, blockAt(*leaf, path.back().index), count);
  fixUp(io, path, static_cast<int>(path.size()) - 1);
}

void TreeIndex::insertAfter(const BlockIo& io, const Path& path, const std::uint8_t* key, std::uint16_t dataBlock,
                            int count) {
  std::vector<std::uint8_t> before;
  {
    auto leaf = chain_.get(io, path.back().block);
    before.assign(keyAt(*leaf, path.back().index), keyAt(*leaf, path.back().index) + keyLength());
  }
  std::vector<std::uint8_t> entry(entrySize());
  std::memcpy(entry.data(), key, keyLength());
  encodeWord(entry.data() + keyLength(), dataBlock);
  encodeWord(entry.data() + keyLength() + 2, static_cast<std::uint32_t>(std::clamp(count, 0, kMaxCount)));
  encodeWord(entry.data() + keyLength() + 4, 0);
  insertEntry(io, path, static_cast<int>(path.size()) - 1, path.back().index + 1, entry);
  // Splits keep the entries of both halves exact; the levels above the highest split lie on the
  // path to the entry before the new one.
  Path fresh = find(io, before.data(), order_.partCount(), false);
  fixUp(io, fresh, static_cast<int>(fresh.size()) - 1);
}

void TreeIndex::insertEntry(const BlockIo& io, const Path& path, int depth, int pos,
                            const std::vector<std::uint8_t>& entry) {
  const std::size_t es = entrySize();
  const std::uint16_t rs = chain_.recordSize();
  std::uint16_t bn = path[static_cast<std::size_t>(depth)].block;
  auto b = chain_.get(io, bn);
  int n = chain_.countOf(*b);
  if (n < chain_.capacity()) {
    std::memmove(b->record(pos + 1, rs), b->record(pos, rs), static_cast<std::size_t>(n - pos) * es);
    std::memcpy(b->record(pos, rs), entry.data(), es);
    b->setCount(n + 1, rs);
    b->touch(6 + static_cast<std::size_t>(pos) * es, 6 + static_cast<std::size_t>(n + 1) * es);
    ++chain_.counts.records;
    return;
  }
  // Full. An entry added after the last one of the level (a table filled in key order) starts a
  // new block and leaves this one full; otherwise the block is split in halves.
  bool rightmost = pos == n;
  for (int k = 0; rightmost && k < depth; ++k) {
    const Step& s = path[static_cast<std::size_t>(k)];
    rightmost = s.index == chain_.countOf(*chain_.get(io, s.block)) - 1;
  }
  auto nb = chain_.allocate(io);
  chain_.linkAfter(io, bn, nb->number);
  if (rightmost) {
    std::memcpy(nb->record(0, rs), entry.data(), es);
    nb->setCount(1, rs);
  } else {
    std::vector<std::uint8_t> all(static_cast<std::size_t>(n + 1) * es);
    std::memcpy(all.data(), b->record(0, rs), static_cast<std::size_t>(pos) * es);
    std::memcpy(all.data() + static_cast<std::size_t>(pos) * es, entry.data(), es);
    std::memcpy(all.data() + static_cast<std::size_t>(pos + 1) * es, b->record(pos, rs),
                static_cast<std::size_t>(n - pos) * es);
    int left = (n + 1) / 2, right = n + 1 - left;
    std::memcpy(b->record(0, rs), all.data(), static_cast<std::size_t>(left) * es);
    b->setCount(left, rs);
    b->touch(6, 6 + static_cast<std::size_t>(left) * es);
    std::memcpy(nb->record(0, rs), all.data() + static_cast<std::size_t>(left) * es, static_cast<std::size_t>(right) * es);
    nb->setCount(right, rs);
  }
  nb->touchAll();
  ++chain_.counts.records;

  std::vector<std::uint8_t> key;
  int count = 0;
  if (depth == 0) {
    auto r = chain_.allocate(io);
    chain_.linkAfter(io, 0, r->number);
    summary(io, bn, key, count);
    writeEntry(*r, 0, key.data(), bn, count);
    summary(io, nb->number, key, count);
    writeEntry(*r, 1, key.data(), nb->number, count);
    r->setCount(2, rs);
    chain_.counts.records += 2;
    root_ = r->number;
    ++levels_;
    if (levels_ > kMaxLevels) throwError(ErrorKind::InvalidInput, chain_.path(), "the index has grown too deep");
    return;
  }
  const Step& up = path[static_cast<std::size_t>(depth) - 1];
  refreshEntry(io, up.block, up.index, bn);
  summary(io, nb->number, key, count);
  std::vector<std::uint8_t> parentEntry(es);
  std::memcpy(parentEntry.data(), key.data(), keyLength());
  encodeWord(parentEntry.data() + keyLength(), nb->number);
  encodeWord(parentEntry.data() + keyLength() + 2, static_cast<std::uint32_t>(count));
  encodeWord(parentEntry.data() + keyLength() + 4, 0);
  insertEntry(io, path, depth - 1, up.index + 1, parentEntry);
}

void TreeIndex::remove(const BlockIo& io, const Path& path) {
  const std::size_t es = entrySize();
  const std::uint16_t rs = chain_.recordSize();
  int depth = static_cast<int>(path.size()) - 1;
  while (true) {
    const Step& s = path[static_cast<std::size_t>(depth)];
    auto b = chain_.get(io, s.block);
    int n = chain_.countOf(*b);
    if (s.index >= n) throwCorrupt(chain_.path(), "index entry to remove is missing", chain_.blockOffset(s.block));
    std::memmove(b->record(s.index, rs), b->record(s.index + 1, rs), static_cast<std::size_t>(n - 1 - s.index) * es);
    b->setCount(n - 1, rs);
    b->touch(6 + static_cast<std::size_t>(s.index) * es, 6 + static_cast<std::size_t>(n) * es);
    if (chain_.counts.records) --chain_.counts.records;
    if (n - 1 > 0) {
      fixUp(io, path, depth);
      break;
    }
    chain_.unlink(io, s.block);
    chain_.release(io, s.block);
    if (depth == 0) {
      levels_ = 0;
      root_ = 1;
      return;
    }
    --depth;
  }
  while (levels_ > 1) {
    auto r = chain_.get(io, root_);
    if (chain_.countOf(*r) != 1) break;
    std::uint16_t child = blockAt(*r, 0);
    std::uint16_t old = root_;
    chain_.unlink(io, old);
    chain_.release(io, old);
    if (chain_.counts.records) --chain_.counts.records;
    root_ = child;
    --levels_;
  }
}

void TreeIndex::clear(const BlockIo& io) {
  chain_.clear(io);
  root_ = 1;
  levels_ = 0;
}

}  // namespace rf::tables::paradox

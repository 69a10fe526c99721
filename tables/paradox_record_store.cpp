#include "tables/paradox_record_store.h"

#include <cstring>

#include "tables/error.h"

namespace rf::tables::paradox {

namespace {
constexpr std::size_t kAllParts = 1000;
}

RecordStore::RecordStore(BlockChain& data, TreeIndex* tree, const KeyOrder* order)
    : data_(data), tree_(tree), order_(order) {}

int RecordStore::lowerIn(const Block& b, int n, const std::uint8_t* key, std::size_t parts, bool upper) const {
  const std::uint16_t rs = recordSize();
  int lo = 0, hi = n;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    int c = order_->compare(b.record(mid, rs), key, parts);
    if (upper ? c <= 0 : c < 0) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

std::optional<RecordStore::Pos> RecordStore::lowerBound(const BlockIo& io, const std::uint8_t* key, std::size_t parts,
                                                        bool upper) {
  const std::uint16_t rs = recordSize();
  std::uint16_t bn;
  if (tree_) {
    if (tree_->empty()) return std::nullopt;
    auto path = tree_->find(io, key, parts, !upper);
    bn = tree_->dataBlockAt(io, path);
  } else {
    // No usable index: walk the chain to the first block whose last record reaches the key.
    bn = data_.counts.first;
    int steps = 0;
    while (bn) {
      if (++steps > data_.counts.total)
        throwCorrupt(data_.path(), "the block chain loops back on itself", data_.blockOffset(bn));
      auto b = data_.get(io, bn);
      int n = countOf(*b);
      int c = n ? order_->compare(b->record(n - 1, rs), key, parts) : -1;
      if (upper ? c > 0 : c >= 0) break;
      bn = b->next();
    }
    if (!bn) return std::nullopt;
  }
  int steps = 0;
  while (bn) {
    if (++steps > data_.counts.total + 1)
      throwCorrupt(data_.path(), "the block chain loops back on itself", data_.blockOffset(bn));
    auto b = data_.get(io, bn);
    int n = countOf(*b);
    int i = steps == 1 ? lowerIn(*b, n, key, parts, upper) : 0;
    if (i < n) return Pos{bn, i};
    bn = b->next();
  }
  return std::nullopt;
}

std::optional<RecordStore::Pos> RecordStore::find(const BlockIo& io, const std::uint8_t* key) {
  auto pos = lowerBound(io, key, kAllParts);
  if (!pos) return std::nullopt;
  auto b = data_.get(io, pos->block);
  if (order_->compare(b->record(pos->index, recordSize()), key) != 0) return std::nullopt;
  return pos;
}

std::optional<RecordStore::Pos> RecordStore::findIn(const BlockIo& io, std::uint16_t block, const std::uint8_t* key) {
  if (block == 0 || block > data_.counts.total) return std::nullopt;
  auto b = data_.get(io, block);
  long n = b->rawCount(recordSize());
  if (n <= 0 || n > data_.capacity()) return std::nullopt;
  int i = lowerIn(*b, static_cast<int>(n), key, kAllParts);
  if (i < n && order_->compare(b->record(i, recordSize()), key) == 0) return Pos{block, i};
  return std::nullopt;
}

TreeIndex::Path RecordStore::pathOf(const BlockIo& io, const std::uint8_t* firstKey) {
  return tree_->find(io, firstKey, kAllParts, false);
}

RecordStore::Change RecordStore::insert(const BlockIo& io, const std::uint8_t* rec) {
  if (!tree_) throwError(ErrorKind::Corrupt, data_.path(), "the primary index is missing or out of date");
  const std::uint16_t rs = recordSize();
  Change change;
  if (tree_->empty()) {
    if (data_.counts.first != 0)
      throwCorrupt(data_.path(), "the index is empty but the table has blocks", 0x0E);
    auto b = data_.allocate(io);
    data_.linkAfter(io, 0, b->number);
    std::memcpy(b->record(0, rs), rec, rs);
    b->setCount(1, rs);
    tree_->insertFirst(io, rec, b->number, 1);
    ++data_.counts.records;
    change.landed = b->number;
    return change;
  }
  auto path = tree_->find(io, rec, kAllParts, false);
  std::uint16_t bn = tree_->dataBlockAt(io, path);
  auto b = data_.get(io, bn);
  int n = countOf(*b);
  int pos = lowerIn(*b, n, rec, kAllParts);
  if (pos < n && order_->compare(b->record(pos, rs), rec) == 0)
    throwError(ErrorKind::KeyViolation, data_.path(), "Key violation: a record with this key already exists");

  if (n < data_.capacity()) {
    std::memmove(b->record(pos + 1, rs), b->record(pos, rs), static_cast<std::size_t>(n - pos) * rs);
    std::memcpy(b->record(pos, rs), rec, rs);
    b->setCount(n + 1, rs);
    b->touch(6 + static_cast<std::size_t>(pos) * rs, 6 + static_cast<std::size_t>(n + 1) * rs);
    tree_->setLeaf(io, path, b->record(0, rs), n + 1);
    change.landed = bn;
  } else if (bn == data_.counts.last && pos == n) {
    auto nb = data_.allocate(io);
    data_.linkAfter(io, bn, nb->number);
    std::memcpy(nb->record(0, rs), rec, rs);
    nb->setCount(1, rs);
    tree_->insertAfter(io, path, rec, nb->number, 1);
    change.landed = nb->number;
  } else {
    std::vector<std::uint8_t> all(static_cast<std::size_t>(n + 1) * rs);
    std::memcpy(all.data(), b->record(0, rs), static_cast<std::size_t>(pos) * rs);
    std::memcpy(all.data() + static_cast<std::size_t>(pos) * rs, rec, rs);
    std::memcpy(all.data() + static_cast<std::size_t>(pos + 1) * rs, b->record(pos, rs),
                static_cast<std::size_t>(n - pos) * rs);
    int left = (n + 1) / 2, right = n + 1 - left;
    auto nb = data_.allocate(io);
    data_.linkAfter(io, bn, nb->number);
    std::memcpy(b->record(0, rs), all.data(), static_cast<std::size_t>(left) * rs);
    b->setCount(left, rs);
    b->touch(6, 6 + static_cast<std::size_t>(left) * rs);
    std::memcpy(nb->record(0, rs), all.data() + static_cast<std::size_t>(left) * rs, static_cast<std::size_t>(right) * rs);
    nb->setCount(right, rs);
    for (int j = left; j <= n; ++j) {
      if (j == pos) continue;
      const std::uint8_t* r = all.data() + static_cast<std::size_t>(j) * rs;
      change.moved.emplace_back(std::vector<std::uint8_t>(r, r + rs), nb->number);
    }
    change.landed = pos < left ? bn : nb->number;
    tree_->setLeaf(io, path, b->record(0, rs), left);
    tree_->insertAfter(io, path, nb->record(0, rs), nb->number, right);
  }
  ++data_.counts.records;
  return change;
}

RecordStore::Change RecordStore::append(const BlockIo& io, const std::uint8_t* rec) {
  const std::uint16_t rs = recordSize();
  Change change;
  std::shared_ptr<Block> b;
  int n = 0;
  if (data_.counts.last) {
    b = data_.get(io, data_.counts.last);
    n = countOf(*b);
  }
  if (!b || n >= data_.capacity()) {
    auto nb = data_.allocate(io);
    data_.linkAfter(io, b ? b->number : 0, nb->number);
    b = nb;
    n = 0;
  }
  std::memcpy(b->record(n, rs), rec, rs);
  b->setCount(n + 1, rs);
  b->touch(6 + static_cast<std::size_t>(n) * rs, 6 + static_cast<std::size_t>(n + 1) * rs);
  ++data_.counts.records;
  change.landed = b->number;
  return change;
}

void RecordStore::replaceAt(const BlockIo& io, Pos pos, const std::uint8_t* rec) {
  const std::uint16_t rs = recordSize();
  auto b = data_.get(io, pos.block);
  if (pos.index >= countOf(*b)) throwCorrupt(data_.path(), "record to replace is missing", data_.blockOffset(pos.block));
  std::memcpy(b->record(pos.index, rs), rec, rs);
  b->touch(6 + static_cast<std::size_t>(pos.index) * rs, 6 + static_cast<std::size_t>(pos.index + 1) * rs);
}

RecordStore::Change RecordStore::removeAt(const BlockIo& io, Pos pos) {
  if (keyed() && !tree_) throwError(ErrorKind::Corrupt, data_.path(), "the primary index is missing or out of date");
  const std::uint16_t rs = recordSize();
  Change change;
  auto b = data_.get(io, pos.block);
  int n = countOf(*b);
  if (pos.index >= n) throwCorrupt(data_.path(), "record to remove is missing", data_.blockOffset(pos.block));
  std::vector<std::uint8_t> oldFirst(b->record(0, rs), b->record(0, rs) + rs);
  TreeIndex::Path path;
  if (keyed()) {
    path = pathOf(io, oldFirst.data());
    if (path.empty() || tree_->dataBlockAt(io, path) != pos.block)
      throwCorrupt(tree_->chain().path(), "the index does not lead to block " + std::to_string(pos.block));
  }
  std::memmove(b->record(pos.index, rs), b->record(pos.index + 1, rs), static_cast<std::size_t>(n - 1 - pos.index) * rs);
  std::memset(b->record(n - 1, rs), 0, rs);
  b->setCount(n - 1, rs);
  b->touch(6 + static_cast<std::size_t>(pos.index) * rs, 6 + static_cast<std::size_t>(n) * rs);
  if (data_.counts.records) --data_.counts.records;
  if (n - 1 > 0) {
    if (keyed()) tree_->setLeaf(io, path, b->record(0, rs), n - 1);
    return change;
  }
  if (pos.block == data_.counts.first && b->next() != 0) {
    std::uint16_t nxNumber = b->next();
    auto nx = data_.get(io, nxNumber);
    int m = countOf(*nx);
    if (m == 0) throwCorrupt(data_.path(), "block " + std::to_string(nxNumber) + " of the chain is empty",
                             data_.blockOffset(nxNumber));
    if (keyed()) {
      auto path2 = pathOf(io, nx->record(0, rs));
      if (tree_->dataBlockAt(io, path2) != nxNumber)
        throwCorrupt(tree_->chain().path(), "the index does not lead to block " + std::to_string(nxNumber));
      tree_->remove(io, path2);
    }
    std::memcpy(b->record(0, rs), nx->record(0, rs), static_cast<std::size_t>(m) * rs);
    b->setCount(m, rs);
    b->touch(6, 6 + static_cast<std::size_t>(m) * rs);
    for (int j = 0; j < m; ++j) {
      const std::uint8_t* r = nx->record(j, rs);
      change.moved.emplace_back(std::vector<std::uint8_t>(r, r + rs), pos.block);
    }
    data_.unlink(io, nxNumber);
    data_.release(io, nxNumber);
    if (keyed()) {
      auto again = pathOf(io, oldFirst.data());
      tree_->setLeaf(io, again, b->record(0, rs), m);
    }
    return change;
  }
  data_.unlink(io, pos.block);
  data_.release(io, pos.block);
  if (keyed()) tree_->remove(io, path);
  return change;
}

void RecordStore::flush(const BlockIo& io) {
  data_.flush(io);
  data_.storeCounts(io);
  if (tree_) {
    tree_->flush(io);
    tree_->store(io);
  }
}

void RecordStore::endOperation() {
  data_.endOperation();
  if (tree_) tree_->endOperation();
}

void RecordStore::clear(const BlockIo& io) {
  data_.clear(io);
  if (tree_) tree_->clear(io);
}

}  // namespace rf::tables::paradox

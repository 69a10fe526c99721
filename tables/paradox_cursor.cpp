#include "tables/paradox_cursor.h"

#include <cstring>

#include "tables/error.h"
#include "tables/paradox_table.h"

namespace rf::tables::paradox {

ParadoxCursor::ParadoxCursor(ParadoxTable& table, SecondaryIndex* index)
    : table_(table), index_(index), gen_(table.generation()) {}

RecordStore& ParadoxCursor::store() { return index_ ? index_->store() : table_.store(); }
const KeyOrder& ParadoxCursor::order() const { return index_ ? index_->order() : table_.primaryOrder(); }
bool ParadoxCursor::keyedOrder() const { return index_ != nullptr || table_.keyed(); }
std::uint16_t ParadoxCursor::entrySize() { return store().recordSize(); }

const std::uint8_t* ParadoxCursor::entryAt(Pos p) {
  if (!block_ || block_->number != p.block) block_ = store().data().get(BlockIo(), p.block);
  if (p.index >= store().data().countOf(*block_))
    throwCorrupt(store().data().path(), "a record position lies past its block", store().data().blockOffset(p.block));
  return block_->record(p.index, entrySize());
}

bool ParadoxCursor::inRange(const std::uint8_t* entry) const {
  return rangeParts_ == 0 || order().compare(entry, range_.data(), rangeParts_) == 0;
}

void ParadoxCursor::land(Pos p, std::uint64_t ordinal) {
  const std::uint8_t* e = entryAt(p);
  if (index_) {
    entry_.assign(e, e + entrySize());
    record_.image() = table_.recordOfEntry(*index_, entry_.data());
  } else {
    record_.image().assign(e, e + entrySize());  // reuses the buffer of the last record
  }
  pos_ = p;
  ordinal_ = ordinal;
  record_.pending().clear();
  record_.setBookmark(table_.bookmarkOf(record_.image().data(), ordinal));
  on_ = true;
  fresh_ = false;
  between_ = false;
  eof_ = bof_ = false;
}

void ParadoxCursor::setEmpty() {
  on_ = false;
  between_ = false;
  fresh_ = false;
  eof_ = bof_ = true;
  record_ = Record();
}

std::optional<ParadoxCursor::Pos> ParadoxCursor::firstPos() {
  BlockChain& d = store().data();
  std::uint16_t bn = d.counts.first;
  for (int steps = 0; bn; ++steps) {
    if (steps > d.counts.total) throwCorrupt(d.path(), "the block chain loops back on itself", d.blockOffset(bn));
    auto b = d.get(BlockIo(), bn);
    if (d.countOf(*b) > 0) return Pos{bn, 0};
    bn = b->next();
  }
  return std::nullopt;
}

std::optional<ParadoxCursor::Pos> ParadoxCursor::lastPos() {
  BlockChain& d = store().data();
  std::uint16_t bn = d.counts.last;
  for (int steps = 0; bn; ++steps) {
    if (steps > d.counts.total) throwCorrupt(d.path(), "the block chain loops back on itself", d.blockOffset(bn));
    auto b = d.get(BlockIo(), bn);
    int n = d.countOf(*b);
    if (n > 0) return Pos{bn, n - 1};
    bn = b->prev();
  }
  return std::nullopt;
}

std::optional<ParadoxCursor::Pos> ParadoxCursor::nextPos(Pos p) {
  BlockChain& d = store().data();
  auto b = block_ && block_->number == p.block ? block_ : d.get(BlockIo(), p.block);
  if (p.index + 1 < d.countOf(*b)) return Pos{p.block, p.index + 1};
  std::uint16_t bn = b->next(), from = p.block;
  for (int steps = 0; bn; ++steps) {
    if (steps > d.counts.total || bn == p.block)
      throwCorrupt(d.path(), "the block chain loops back on itself", d.blockOffset(bn));
    auto nb = d.get(BlockIo(), bn);
    if (nb->prev() != from)
      throwCorrupt(d.path(), "block " + std::to_string(bn) + " does not link back to block " + std::to_string(from),
                   d.blockOffset(bn) + 2);
    if (d.countOf(*nb) > 0) return Pos{bn, 0};
    from = bn;
    bn = nb->next();
  }
  return std::nullopt;
}

std::optional<ParadoxCursor::Pos> ParadoxCursor::priorPos(Pos p) {
  BlockChain& d = store().data();
  if (p.index > 0) return Pos{p.block, p.index - 1};
  auto b = block_ && block_->number == p.block ? block_ : d.get(BlockIo(), p.block);
  std::uint16_t bn = b->prev(), from = p.block;
  for (int steps = 0; bn; ++steps) {
    if (steps > d.counts.total || bn == p.block)
      throwCorrupt(d.path(), "the block chain loops back on itself", d.blockOffset(bn));
    auto pb = d.get(BlockIo(), bn);
    if (pb->next() != from)
      throwCorrupt(d.path(), "block " + std::to_string(bn) + " does not link on to block " + std::to_string(from),
                   d.blockOffset(bn));
    int n = d.countOf(*pb);
    if (n > 0) return Pos{bn, n - 1};
    from = bn;
    bn = pb->prev();
  }
  return std::nullopt;
}

std::optional<ParadoxCursor::Pos> ParadoxCursor::rangeFirst() {
  if (!rangeParts_) return firstPos();
  auto p = store().lowerBound(BlockIo(), range_.data(), rangeParts_);
  if (p && inRange(entryAt(*p))) return p;
  return std::nullopt;
}

std::optional<ParadoxCursor::Pos> ParadoxCursor::rangeLast() {
  if (!rangeParts_) return lastPos();
  auto after = store().lowerBound(BlockIo(), range_.data(), rangeParts_, true);
  auto p = after ? priorPos(*after) : lastPos();
  if (p && inRange(entryAt(*p))) return p;
  return std::nullopt;
}

void ParadoxCursor::sync() {
  if (gen_ == table_.generation()) return;
  gen_ = table_.generation();
  block_.reset();
  if (!on_ || between_) {
    // Nothing to find again: a pending neighbour is stale too, so start over from the ends.
    if (between_) {
      between_ = false;
      on_ = false;
      fresh_ = true;
    }
    return;
  }
  BlockIo io;
  if (keyedOrder()) {
    std::vector<std::uint8_t> was(current(), current() + entrySize());
    auto p = store().lowerBound(io, was.data(), order().partCount());
    if (p && order().compare(entryAt(*p), was.data()) == 0) {
      land(*p, 0);
      return;
    }
    between_ = true;
    pending_ = p;
    return;
  }
  auto f = table_.findUnkeyed(io, ordinal_, record_.image().data());
  if (f) {
    land(f->pos, f->ordinal);
    return;
  }
  between_ = true;
  pending_ = table_.positionOfOrdinal(io, ordinal_);
  pendingOrdinal_ = ordinal_;
}

void ParadoxCursor::startRun() {
  // A jump starts a new run: only block changes made step by step since it can form a loop.
  blockSteps_ = 0;
  runDirection_ = 0;
}

bool ParadoxCursor::finishMove(std::optional<Pos> p, std::uint64_t ordinal, bool forward) {
  // A run of block changes in one direction longer than the file has blocks can only be a loop
  // in the chain (one that is consistent in both directions, so nextPos/priorPos let it pass).
  if (p && on_ && p->block != pos_.block) {
    int dir = forward ? 1 : -1;
    if (dir != runDirection_) {
      runDirection_ = dir;
      blockSteps_ = 0;
    }
    if (++blockSteps_ > store().data().counts.total + 1u)
      throwCorrupt(store().data().path(), "the block chain loops back on itself", store().data().blockOffset(p->block));
  }
  if (p && inRange(entryAt(*p))) {
    land(*p, ordinal);
    return true;
  }
  if (between_) {
    // The record the cursor stood on is gone and there is nothing further: stand on the end.
    auto end = forward ? rangeLast() : rangeFirst();
    if (!end) {
      setEmpty();
      return false;
    }
    land(*end, forward ? table_.store().data().counts.records - 1 : 0);
  }
  if (!on_) {
    setEmpty();
    return false;
  }
  eof_ = forward;
  bof_ = !forward;
  return false;
}

bool ParadoxCursor::first() {
  startRun();
  sync();
  auto p = rangeFirst();
  if (!p) {
    setEmpty();
    return false;
  }
  land(*p, 0);
  return true;
}

bool ParadoxCursor::last() {
  startRun();
  sync();
  auto p = rangeLast();
  if (!p) {
    setEmpty();
    return false;
  }
  std::uint64_t count = table_.store().data().counts.records;
  land(*p, count ? count - 1 : 0);
  return true;
}

bool ParadoxCursor::next() {
  sync();
  if (fresh_) return first();
  if (!on_) return false;
  if (between_) return finishMove(pending_, pendingOrdinal_, true);
  return finishMove(nextPos(pos_), ordinal_ + 1, true);
}

bool ParadoxCursor::prior() {
  sync();
  if (fresh_) return last();
  if (!on_) return false;
  if (between_) {
    auto p = pending_ ? priorPos(*pending_) : lastPos();
    std::uint64_t o = pending_ ? (pendingOrdinal_ ? pendingOrdinal_ - 1 : 0)
                               : (table_.store().data().counts.records ? table_.store().data().counts.records - 1 : 0);
    return finishMove(p, o, false);
  }
  return finishMove(priorPos(pos_), ordinal_ ? ordinal_ - 1 : 0, false);
}

const Record& ParadoxCursor::record() const {
  if (!on_) throwError(ErrorKind::InvalidInput, table_.path(), "the cursor stands on no record");
  return record_;
}

Bookmark ParadoxCursor::bookmark() const { return record().bookmark(); }

bool ParadoxCursor::gotoBookmark(const Bookmark& b) {
  startRun();
  sync();
  BlockIo io;
  std::optional<Pos> p;
  std::uint64_t ordinal = 0;
  if (!table_.keyed()) {
    if (b.size() != 8u + table_.recordSize()) return false;
    auto f = table_.findUnkeyed(io, ParadoxTable::ordinalOf(b), reinterpret_cast<const std::uint8_t*>(b.data()) + 8);
    if (!f) return false;
    p = f->pos;
    ordinal = f->ordinal;
  } else {
    if (b.size() != table_.keyLength()) return false;
    auto pk = reinterpret_cast<const std::uint8_t*>(b.data());
    auto at = table_.store().find(io, pk);
    if (!at) return false;
    if (index_) {
      auto blk = table_.store().data().get(io, at->block);
      std::vector<std::uint8_t> e(index_->recordSize());
      index_->entryOf(blk->record(at->index, table_.recordSize()), at->block, e.data());
      p = index_->store().find(io, e.data());
      if (!p) throwCorrupt(index_->info().file, "the index has no entry for a record of the table");
    } else {
      p = at;
    }
  }
  if (!inRange(entryAt(*p))) return false;
  land(*p, ordinal);
  return true;
}

std::vector<std::uint8_t> ParadoxCursor::encodeKey(const std::vector<Value>& values) {
  if (!keyedOrder()) throwError(ErrorKind::InvalidInput, table_.path(), "a table without a primary key has no key order to seek in");
  if (values.size() > order().partCount())
    throwError(ErrorKind::InvalidInput, table_.path(), "more key values than the index has fields");
  std::vector<std::uint8_t> buf(entrySize(), 0);
  for (std::size_t i = 0; i < values.size(); ++i) {
    int field;
    FieldLayout l;
    if (index_) {
      field = i < index_->secCount() ? index_->fields()[i] : static_cast<int>(i - index_->secCount());
      l = index_->layout(i);
    } else {
      field = static_cast<int>(i);
      l = table_.layout(field);
    }
    table_.codec().encode(l, buf.data(), values[i], table_.schema()[static_cast<std::size_t>(field)].name);
  }
  return buf;
}

bool ParadoxCursor::seek(const std::vector<Value>& key) {
  startRun();
  std::vector<std::uint8_t> k = encodeKey(key);
  sync();
  if (key.empty()) return first();
  auto p = store().lowerBound(BlockIo(), k.data(), key.size());
  if (p && !inRange(entryAt(*p))) {
    p = order().compare(entryAt(*p), range_.data(), rangeParts_) < 0 ? rangeFirst() : std::nullopt;
  }
  if (!p) {
    auto end = rangeLast();
    if (!end) {
      setEmpty();
      return false;
    }
    land(*end, 0);
    eof_ = true;
    return false;
  }
  land(*p, 0);
  return order().compare(current(), k.data(), key.size()) == 0;
}

void ParadoxCursor::setRange(const std::vector<Value>& key) {
  if (key.empty()) {
    range_.clear();
    rangeParts_ = 0;
  } else {
    range_ = encodeKey(key);
    rangeParts_ = key.size();
  }
  first();
}

void ParadoxCursor::refresh() {
  table_.refresh();
  sync();
  if (!between_) {
    if (on_) land(pos_, ordinal_);
    return;
  }
  if (!finishMove(pending_, pendingOrdinal_, true) && on_) eof_ = true;
}

}  // namespace rf::tables::paradox

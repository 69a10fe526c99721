// Changes to a Paradox table: insert, update, remove, empty. Each runs as one journal
// transaction over the .DB, .PX, .MB and every secondary index file, and either all of it
// reaches the files or none of it does.

#include <cstring>

#include "tables/error.h"
#include "tables/file_names.h"
#include "tables/paradox_format.h"
#include "tables/paradox_locks.h"
#include "tables/paradox_table.h"

namespace rf::tables::paradox {

namespace {

// Releases record lock bytes taken for the length of one change.
struct TakenLocks {
  File& file;
  std::vector<std::uint64_t> offsets;
  ~TakenLocks() {
    for (auto o : offsets) file.unlock(o, 1);
  }
};

}  // namespace

void ParadoxTable::requireWritable() {
  if (readOnly_ || !lockable_) throwError(ErrorKind::InvalidInput, path_, "Table is open read-only");
  if (header_.version < 5)
    throwError(ErrorKind::Unsupported, path_, "Paradox 3 tables are read, not written, by this engine");
  if (!liveLockFile_.empty())
    throwError(ErrorKind::Locked, path_,
               "The classic Paradox engine is using this directory (" + liveLockFile_ + " is locked); the table cannot be changed now");
  if (keyed() && !pxUsable_)
    throw TableError(ErrorKind::Corrupt, path_, pxProblem_ + "; the table cannot be changed until the index is rebuilt");
  for (const auto& s : secondaries_)
    if (s->damaged()) throw TableError(ErrorKind::Corrupt, s->info().file, s->info().problem + "; the table cannot be changed until the index is rebuilt");
  for (const auto& b : brokenIndexes_) throw TableError(b.kind, b.info.file, b.info.problem);
  if (!mbProblem_.empty()) throw TableError(ErrorKind::Corrupt, mbPath_, mbProblem_);
}

template <class Body>
auto ParadoxTable::write(Body&& body) {
  requireWritable();
  bool committing = false;
  try {
    auto tx = journal_->begin();
    BlockIo io(tx);
    reloadState(io);
    auto result = body(io);
    finishWrite(io);
    committing = true;
    tx.commit();
    endOperation();
    clearReadCaches();
    ++generation_;
    return result;
  } catch (...) {
    endOperation();
    try {
      // A failure after the commit point left the change in the journal: complete it now, so
      // that this object never writes on top of half of it.
      if (committing) journal_->recover();
      reloadState(BlockIo());
    } catch (...) {
    }
    clearReadCaches();
    ++generation_;
    throw;
  }
}

void ParadoxTable::endOperation() {
  store_->endOperation();
  if (pxTree_) pxTree_->endOperation();
  for (auto& s : secondaries_)
    if (s->maintained() && s->yFile()) s->store().endOperation();
}

void ParadoxTable::finishWrite(const BlockIo& io) {
  store_->flush(io);
  for (auto& s : secondaries_)
    if (s->maintained() && s->usable()) s->store().flush(io);
  if (mb_) mb_->flush(io);

  // The change counters: the .DB's 0x2D moves on and the index files' follow it by the same step,
  // so whatever relation the original engine keeps between them holds (see paradox_tree_index.h).
  std::uint8_t c = 0;
  io.readExact(*dbFile_, hdr::kChangeCount1, std::span<std::uint8_t>(&c, 1), "the header");
  std::uint8_t next = static_cast<std::uint8_t>(c + 1);
  if (next < 2) next = 2;  // the original reads an index as out of date below 2
  int delta = static_cast<std::uint8_t>(next - c);
  io.write(*dbFile_, hdr::kChangeCount1, std::span<const std::uint8_t>(&next, 1));
  if (pxFile_) {
    std::uint8_t p = 0;
    io.readExact(*pxFile_, hdr::kIndexChange, std::span<std::uint8_t>(&p, 1), "the header");
    p = static_cast<std::uint8_t>(p + delta);
    io.write(*pxFile_, hdr::kIndexChange, std::span<const std::uint8_t>(&p, 1));
  }
  for (auto& s : secondaries_)
    if (s->maintained() && s->usable()) s->bumpCounters(io, delta);
  if (autoIncrementChanged_) {
    std::uint8_t ai[4];
    putLe32(ai, autoIncrement_);
    io.write(*dbFile_, hdr::kAutoIncrement, ai);
    for (auto& s : secondaries_)
      if (s->maintained() && s->usable()) s->mirrorAutoIncrement(io, autoIncrement_);
  }
}

std::optional<RecordStore::Pos> ParadoxTable::locate(const BlockIo& io, const Bookmark& b) {
  if (keyed()) {
    if (b.size() != keyLength()) return std::nullopt;
    return store_->find(io, reinterpret_cast<const std::uint8_t*>(b.data()));
  }
  if (b.size() != 8u + header_.recordSize) return std::nullopt;
  auto f = findUnkeyed(io, ordinalOf(b), reinterpret_cast<const std::uint8_t*>(b.data()) + 8);
  if (!f) return std::nullopt;
  lastOrdinal_ = f->ordinal;
  return f->pos;
}

void ParadoxTable::assignAutoIncrement(std::uint8_t* rec) {
  for (const auto& l : layouts_) {
    if (l.code != kAutoIncrement) continue;
    std::uint8_t* p = rec + l.offset;
    if (allZero(p, 4)) {
      if (autoIncrement_ >= 0x7FFFFFFF) throwError(ErrorKind::InvalidInput, path_, "the autoincrement field has run out of numbers");
      ++autoIncrement_;
      encodeInt(p, autoIncrement_, 4);
      autoIncrementChanged_ = true;
    } else {
      std::int64_t v = decodeInt(p, 4);
      if (v > static_cast<std::int64_t>(autoIncrement_)) {
        autoIncrement_ = static_cast<std::uint32_t>(v);
        autoIncrementChanged_ = true;
      }
    }
  }
}

void ParadoxTable::ensureBlobFile(const BlockIo& io) {
  if (mb_) return;
  if (mbPath_.empty() || fs_.exists(mbPath_))
    throwError(ErrorKind::Corrupt, mbPath_.empty() ? path_ : mbPath_, "the blob file is damaged");
  // A new blob file starts as its header alone, written before the change that first uses it.
  auto f = fs_.open(mbPath_, OpenMode::CreateExclusive);
  f->writeAt(0, BlobFile::emptyHeader());
  f->sync();
  fs_.syncDirectory(dir_);
  mbFile_ = std::move(f);
  mb_ = std::make_unique<BlobFile>(*mbFile_);
  mb_->load(io);
}

namespace {
// Graphic and OLE values carry an 8-byte prefix in the blob file (found by experiment: 01 00 00,
// then 01 for a graphic or 02 for OLE, then the length of what follows); the record's leader
// holds the value without it.
Bytes withPrefix(std::uint8_t code, const Bytes& data) {
  if (code != kGraphic && code != kOle) return data;
  Bytes out(8 + data.size());
  out[0] = 1;
  out[3] = code == kGraphic ? 1 : 2;
  putLe32(out.data() + 4, static_cast<std::uint32_t>(data.size()));
  std::memcpy(out.data() + 8, data.data(), data.size());
  return out;
}
}  // namespace

void ParadoxTable::storeBlob(const BlockIo& io, int field, std::uint8_t* rec, const Bytes& data, bool replacing) {
  const FieldLayout& l = layout(field);
  std::uint8_t* p = rec + l.offset;
  const std::size_t leader = l.length - kBlobDescriptor;
  std::memset(p, 0, l.length);
  if (data.empty()) return;
  if (data.size() <= leader) {
    std::memcpy(p, data.data(), data.size());
    writeBlobRef(p, l.length, BlobRef{0, static_cast<std::uint32_t>(data.size()), 0});
    return;
  }
  ensureBlobFile(io);
  std::uint16_t mod = replacing ? mb_->bumpModCount() : mb_->modCount();
  BlobRef ref = mb_->write(io, withPrefix(l.code, data), mod);
  std::memcpy(p, data.data(), leader);
  writeBlobRef(p, l.length, ref);
}

void ParadoxTable::writeBlobs(const BlockIo& io, std::uint8_t* rec, const std::uint8_t* old, const Record& r) {
  for (std::size_t f = 0; f < layouts_.size(); ++f) {
    const FieldLayout& l = layouts_[f];
    if (!isBlobCode(l.code)) continue;
    const int field = static_cast<int>(f);
    const Value* pending = r.pendingFor(field);
    if (!pending) {
      if (old) {
        // Unchanged: the stored reference stays, whatever the record's copy says.
        std::memcpy(rec + l.offset, old + l.offset, l.length);
        continue;
      }
      // A new record copied from another must not share that record's blob.
      BlobRef ref = readBlobRef(rec + l.offset, l.length);
      if (ref.inLeader() || ref.length == 0) continue;
      Bytes data = readBlob(io, field, rec);
      storeBlob(io, field, rec, data, false);
      continue;
    }
    if (old) {
      BlobRef was = readBlobRef(old + l.offset, l.length);
      if (!was.inLeader() && was.length) {
        if (!mb_) throwError(ErrorKind::Corrupt, mbPath_, "the blob file is missing or damaged");
        mb_->release(io, was);
      }
    }
    Bytes data;
    if (pending->kind() == Value::Kind::Text) {
      std::string bytes = codePage_->fromUtf8(pending->asText(), fieldNames_[f]);
      data.assign(bytes.begin(), bytes.end());
    } else if (!pending->isBlank()) {
      data = pending->asBytes();
    }
    storeBlob(io, field, rec, data, old != nullptr);
  }
}

void ParadoxTable::releaseBlobs(const BlockIo& io, const std::uint8_t* rec) {
  for (const auto& l : layouts_) {
    if (!isBlobCode(l.code)) continue;
    BlobRef ref = readBlobRef(rec + l.offset, l.length);
    if (ref.inLeader() || !ref.length) continue;
    if (!mb_) throwError(ErrorKind::Corrupt, mbPath_, "the blob file is missing or damaged");
    mb_->release(io, ref);
  }
}

void ParadoxTable::checkUnique(const BlockIo& io, SecondaryIndex& s, const std::uint8_t* entry) {
  auto p = s.store().lowerBound(io, entry, s.secCount());
  if (!p) return;
  auto b = s.store().data().get(io, p->block);
  if (s.order().compare(b->record(p->index, s.recordSize()), entry, s.secCount()) == 0)
    throwError(ErrorKind::KeyViolation, s.info().file,
               "Key violation: index " + s.info().name + " allows each value only once");
}

void ParadoxTable::addEntries(const BlockIo& io, const std::uint8_t* rec, std::uint16_t block) {
  for (auto& s : secondaries_) {
    if (!s->maintained() || !s->usable()) continue;
    std::vector<std::uint8_t> e(s->recordSize());
    s->entryOf(rec, block, e.data());
    if (s->info().unique) checkUnique(io, *s, e.data());
    try {
      s->store().insert(io, e.data());
    } catch (const TableError& err) {
      if (err.kind() != ErrorKind::KeyViolation) throw;
      throwCorrupt(s->info().file, "the index already holds an entry for a new record");
    }
  }
}

void ParadoxTable::removeEntries(const BlockIo& io, const std::uint8_t* rec, std::uint16_t block) {
  for (auto& s : secondaries_) {
    if (!s->maintained() || !s->usable()) continue;
    std::vector<std::uint8_t> e(s->recordSize());
    s->entryOf(rec, block, e.data());
    auto pos = s->store().find(io, e.data());
    if (!pos) throwCorrupt(s->info().file, "the index has no entry for a record of the table");
    s->store().removeAt(io, *pos);
  }
}

void ParadoxTable::moveHints(const BlockIo& io, const RecordStore::Change& change) {
  if (change.moved.empty()) return;
  for (auto& s : secondaries_) {
    if (!s->maintained() || !s->usable()) continue;
    std::vector<std::uint8_t> e(s->recordSize());
    for (const auto& [image, block] : change.moved) {
      s->entryOf(image.data(), block, e.data());
      auto pos = s->store().find(io, e.data());
      if (!pos) throwCorrupt(s->info().file, "the index has no entry for a record of the table");
      s->store().replaceAt(io, *pos, e.data());
    }
  }
}

Bookmark ParadoxTable::insert(Record& r) {
  if (r.image().size() != header_.recordSize)
    throwError(ErrorKind::InvalidInput, path_, "the record does not belong to this table");
  auto [rec, bookmark] = write([&](const BlockIo& io) {
    std::vector<std::uint8_t> image = r.image();
    assignAutoIncrement(image.data());
    writeBlobs(io, image.data(), nullptr, r);
    auto change = keyed() ? store_->insert(io, image.data()) : store_->append(io, image.data());
    addEntries(io, image.data(), change.landed);
    moveHints(io, change);
    Bookmark b = bookmarkOf(image.data(), dbChain_->counts.records - 1);
    return std::make_pair(std::move(image), std::move(b));
  });
  r.image() = std::move(rec);
  r.pending().clear();
  r.setBookmark(bookmark);
  return bookmark;
}

Bookmark ParadoxTable::update(Record& r) {
  if (r.image().size() != header_.recordSize)
    throwError(ErrorKind::InvalidInput, path_, "the record does not belong to this table");
  if (r.bookmark().empty()) throwError(ErrorKind::InvalidInput, path_, "the record has not been saved yet");
  TakenLocks taken{*dbFile_, {}};
  if (!readOnly_ && lockable_) requireNoForeignLock(r.bookmark(), taken.offsets);
  auto [rec, bookmark] = write([&](const BlockIo& io) {
    auto pos = locate(io, r.bookmark());
    if (!pos) throwError(ErrorKind::NotFound, path_, "Record was deleted by another user");
    std::uint64_t ordinal = keyed() ? 0 : lastOrdinal_;
    const std::uint16_t rs = header_.recordSize;
    auto blk = dbChain_->get(io, pos->block);
    std::vector<std::uint8_t> old(blk->record(pos->index, rs), blk->record(pos->index, rs) + rs);
    std::vector<std::uint8_t> image = r.image();
    for (const auto& l : layouts_)
      if (l.code == kAutoIncrement && allZero(image.data() + l.offset, 4))
        std::memcpy(image.data() + l.offset, old.data() + l.offset, 4);
    assignAutoIncrement(image.data());
    writeBlobs(io, image.data(), old.data(), r);
    bool keyChanged = keyed() && std::memcmp(image.data(), old.data(), keyLength()) != 0;
    if (!keyChanged) {
      store_->replaceAt(io, *pos, image.data());
      for (auto& s : secondaries_) {
        if (!s->maintained() || !s->usable()) continue;
        std::vector<std::uint8_t> before(s->recordSize()), after(s->recordSize());
        s->entryOf(old.data(), pos->block, before.data());
        s->entryOf(image.data(), pos->block, after.data());
        if (std::memcmp(before.data(), after.data(), s->recordSize()) == 0) continue;
        auto at = s->store().find(io, before.data());
        if (!at) throwCorrupt(s->info().file, "the index has no entry for a record of the table");
        s->store().removeAt(io, *at);
        if (s->info().unique) checkUnique(io, *s, after.data());
        s->store().insert(io, after.data());
      }
    } else {
      removeEntries(io, old.data(), pos->block);
      moveHints(io, store_->removeAt(io, *pos));
      auto change = store_->insert(io, image.data());
      addEntries(io, image.data(), change.landed);
      moveHints(io, change);
    }
    Bookmark b = bookmarkOf(image.data(), ordinal);
    return std::make_pair(std::move(image), std::move(b));
  });
  r.image() = std::move(rec);
  r.pending().clear();
  r.setBookmark(bookmark);
  return bookmark;
}

void ParadoxTable::remove(const Bookmark& b) {
  TakenLocks taken{*dbFile_, {}};
  if (!readOnly_ && lockable_) requireNoForeignLock(b, taken.offsets);
  write([&](const BlockIo& io) {
    auto pos = locate(io, b);
    if (!pos) throwError(ErrorKind::NotFound, path_, "Record was deleted by another user");
    const std::uint16_t rs = header_.recordSize;
    auto blk = dbChain_->get(io, pos->block);
    std::vector<std::uint8_t> old(blk->record(pos->index, rs), blk->record(pos->index, rs) + rs);
    removeEntries(io, old.data(), pos->block);
    moveHints(io, store_->removeAt(io, *pos));
    releaseBlobs(io, old.data());
    return 0;
  });
}

void ParadoxTable::empty() {
  requireWritable();
  if (!exclusive_ && !dbFile_->tryLock(kOpenLock, 1, LockMode::Exclusive))
    throwError(ErrorKind::Locked, path_, "Table is in use by another user; emptying it needs exclusive use");
  struct Downgrade {
    ParadoxTable& t;
    ~Downgrade() {
      if (!t.exclusive_) t.dbFile_->tryLock(kOpenLock, 1, LockMode::Shared);
    }
  } downgrade{*this};
  write([&](const BlockIo& io) {
    store_->clear(io);
    for (auto& s : secondaries_)
      if (s->maintained() && s->usable()) s->store().clear(io);
    if (mb_) mb_->clear(io);
    return 0;
  });
}

}  // namespace rf::tables::paradox

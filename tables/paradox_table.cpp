#include "tables/paradox_table.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "tables/error.h"
#include "tables/file_names.h"
#include "tables/paradox_cursor.h"
#include "tables/paradox_format.h"
#include "tables/paradox_lock_files.h"
#include "tables/paradox_locks.h"

namespace rf::tables {

std::unique_ptr<Table> openParadoxTable(FileSystem& fs, const std::string& path, const OpenOptions& options) {
  return std::make_unique<paradox::ParadoxTable>(fs, path, options);
}

}  // namespace rf::tables

namespace rf::tables::paradox {

namespace {

class ParadoxRecordLock final : public RecordLock {
 public:
  ParadoxRecordLock(std::weak_ptr<void> owner, std::map<std::uint64_t, int>* held, File* file, std::uint64_t offset)
      : owner_(std::move(owner)), held_(held), file_(file), offset_(offset) {}
  ~ParadoxRecordLock() override {
    if (owner_.expired()) return;  // the table is gone, and its file with its locks
    auto it = held_->find(offset_);
    if (it == held_->end()) return;
    if (--it->second == 0) {
      held_->erase(it);
      file_->unlock(offset_, 1);
    }
  }

 private:
  std::weak_ptr<void> owner_;
  std::map<std::uint64_t, int>* held_;
  File* file_;
  std::uint64_t offset_;
};

std::string identityOf(const Bookmark& b, bool keyed) { return keyed || b.size() < 8 ? b : b.substr(8); }

}  // namespace

ParadoxTable::ParadoxTable(FileSystem& fs, const std::string& path, const OpenOptions& options)
    : fs_(fs), path_(path), dir_(directoryOf(path)), readOnly_(options.readOnly), exclusive_(options.exclusive) {
  locks_ = std::make_shared<LockState>();
  openFiles(options);
}

ParadoxTable::~ParadoxTable() = default;

std::unique_ptr<File> ParadoxTable::openCompanion(const std::string& p) {
  return fs_.open(p, readOnly_ || !lockable_ ? OpenMode::ReadOnly : OpenMode::ReadWrite);
}

void ParadoxTable::openFiles(const OpenOptions&) {
  try {
    dbFile_ = fs_.open(path_, OpenMode::ReadWrite);
  } catch (const TableError& e) {
    // A read-only open of a file we may not write still works, without the locks that need a
    // writable descriptor.
    if (!readOnly_ || e.kind() == ErrorKind::NotFound) throw;
    dbFile_ = fs_.open(path_, OpenMode::ReadOnly);
    lockable_ = false;
  }
  if (exclusive_ && !lockable_)
    throwError(ErrorKind::Locked, path_, "Table cannot be opened exclusively: the file is read-only");
  if (!dbFile_->tryLock(kOpenLock, 1, exclusive_ ? LockMode::Exclusive : LockMode::Shared))
    throwError(ErrorKind::Locked, path_,
               exclusive_ ? "Table is in use by another user: it cannot be opened exclusively"
                          : "Table is in exclusive use by another user");
  journal_ = std::make_unique<Journal>(fs_, path_, *dbFile_, kCommitLock);
  if (lockable_) journal_->recover();
  // A writer in another process applies its change to the table, its indexes and its blob file
  // one file after the other; read meanwhile, they would disagree (an index counting a record the
  // table does not have yet) and the index would be taken for damaged. The commit lock keeps
  // writers out while the open reads them.
  std::optional<Transaction> reading;
  if (lockable_) reading.emplace(journal_->begin());

  header_ = readParadoxHeader(*dbFile_);
  if (header_.fileType != kKeyedDb && header_.fileType != kUnkeyedDb)
    throwCorrupt(path_, "not a Paradox table (file type " + std::to_string(header_.fileType) + ")", hdr::kFileType);
  if (header_.fileType == kUnkeyedDb) header_.keyFields = 0;
  if (header_.fileType == kKeyedDb && header_.keyFields == 0)
    throwCorrupt(path_, "a keyed table without key fields", hdr::kKeyFields);

  int cp = header_.version < 5 ? 437 : header_.codePage;
  if (!CodePage::isSupported(cp)) {
    openProblems_.push_back(path_ + ": code page " + std::to_string(cp) + " is not known; text is read as Windows-1252");
    cp = 1252;
  }
  codePage_ = std::make_unique<CodePage>(cp);
  codec_ = std::make_unique<FieldCodec>(*codePage_, path_);
  bool binary = header_.sortOrderName.empty() ? header_.sortOrder == 0 : Collation::isBinaryOrder(header_.sortOrderName);
  collation_ = std::make_unique<Collation>(*codePage_, binary);

  std::vector<FieldDef> defs;
  std::vector<KeyPart> keyParts;
  for (std::size_t i = 0; i < header_.fields.size(); ++i) {
    const auto& hf = header_.fields[i];
    layouts_.push_back(hf.layout);
    FieldDef d;
    d.name = codePage_->toUtf8(hf.rawName);
    d.type = fieldTypeOfCode(hf.layout.code);
    d.native = letterOfCode(hf.layout.code);
    d.width = isBlobCode(hf.layout.code) ? hf.layout.length - static_cast<int>(kBlobDescriptor) : hf.layout.length;
    d.decimals = hf.layout.code == kBcd ? hf.layout.size : 0;
    d.offset = hf.layout.offset;
    fieldNames_.push_back(d.name);
    defs.push_back(std::move(d));
    if (static_cast<int>(i) < header_.keyFields) {
      if (isBlobCode(hf.layout.code)) throwCorrupt(path_, "a blob field is part of the primary key", hdr::kKeyFields);
      keyParts.push_back({hf.layout.offset, hf.layout.length, hf.layout.code == kAlpha, false, false});
    }
  }
  schema_ = Schema(std::move(defs));
  pkOrder_ = KeyOrder(std::move(keyParts), collation_.get());
  dbChain_ = std::make_unique<BlockChain>(*dbFile_, header_.headerSize, header_.blockSize(), header_.recordSize);
  dbChain_->loadCounts(BlockIo());
  autoIncrement_ = header_.autoIncrement;

  openPrimaryIndex();
  store_ = std::make_unique<RecordStore>(*dbChain_, keyed() && pxUsable_ ? pxTree_.get() : nullptr,
                                         keyed() ? &pkOrder_ : nullptr);
  openBlobFile();
  openSecondaries();
  if (!readOnly_) liveLockFile_ = paradoxLockFileInUse(fs_, dir_);
}

void ParadoxTable::openPrimaryIndex() {
  if (!keyed()) return;
  auto px = findCompanion(fs_, path_, ".PX");
  if (!px) {
    pxProblem_ = path_ + ": the primary index (.PX) is missing";
    openProblems_.push_back(pxProblem_);
    return;
  }
  try {
    pxFile_ = openCompanion(*px);
    ParadoxHeader ph = readParadoxHeader(*pxFile_);
    bool fits = ph.fileType == kPrimaryIndex && ph.fields.size() == static_cast<std::size_t>(header_.keyFields) &&
                ph.recordSize == keyLength() + kIndexTail;
    for (std::size_t i = 0; fits && i < ph.fields.size(); ++i)
      fits = ph.fields[i].layout.code == layouts_[i].code && ph.fields[i].layout.size == layouts_[i].size;
    if (!fits) throwCorrupt(*px, "does not hold the primary key of " + path_, 0);
    pxChain_ = std::make_unique<BlockChain>(*pxFile_, ph.headerSize, ph.blockSize(), ph.recordSize);
    pxTree_ = std::make_unique<TreeIndex>(*pxChain_, pkOrder_);
    pxTree_->load(BlockIo());
  } catch (const TableError& e) {
    if (e.kind() != ErrorKind::Corrupt) throw;
    openProblems_.push_back(e.what());
    pxProblem_ = e.what();
    pxTree_.reset();
    return;
  }
  // Cheap agreement test: the root's counts add up to the table's records.
  std::string why;
  if (pxTree_->empty()) {
    if (dbChain_->counts.records || dbChain_->counts.used) why = "it is empty but the table is not";
  } else {
    auto root = pxChain_->get(BlockIo(), pxTree_->root());
    int n = pxChain_->countOf(*root);
    long sum = 0;
    bool clamped = false;
    for (int i = 0; i < n; ++i) {
      int c = pxTree_->countAt(*root, i);
      clamped = clamped || c >= TreeIndex::kMaxCount;
      sum += c;
    }
    if (!clamped && sum != static_cast<long>(dbChain_->counts.records))
      why = "it counts " + std::to_string(sum) + " records, the table has " + std::to_string(dbChain_->counts.records);
  }
  if (!why.empty()) {
    pxProblem_ = *px + ": the primary index is out of date: " + why;
    openProblems_.push_back(pxProblem_);
    return;
  }
  pxUsable_ = true;
}

void ParadoxTable::openBlobFile() {
  bool hasBlobs = std::any_of(layouts_.begin(), layouts_.end(), [](const FieldLayout& l) { return isBlobCode(l.code); });
  auto mb = findCompanion(fs_, path_, ".MB");
  std::string ext = extensionOf(path_);
  mbPath_ = mb ? *mb : withoutExtension(path_) + (ext == ".db" ? ".mb" : ".MB");
  if (!mb) return;
  if (!hasBlobs && fs_.exists(*mb)) {
    // A blob file without blob fields (left by a restructure): not ours to touch.
    mbPath_.clear();
    return;
  }
  try {
    mbFile_ = openCompanion(*mb);
    mb_ = std::make_unique<BlobFile>(*mbFile_);
    mb_->load(BlockIo());
  } catch (const TableError& e) {
    if (e.kind() != ErrorKind::Corrupt) throw;
    openProblems_.push_back(e.what());
    mbProblem_ = e.what();
    mb_.reset();
  }
}

void ParadoxTable::openSecondaries() {
  std::vector<std::string> names;
  try {
    names = fs_.list(dir_.empty() ? "." : dir_);
  } catch (const TableError&) {
    return;
  }
  const std::string stem = upperAscii(baseName(withoutExtension(path_)));
  auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
  std::vector<std::string> found;
  for (const auto& n : names) {
    std::string u = upperAscii(n);
    if (u.size() != stem.size() + 4 || u.compare(0, stem.size() + 2, stem + ".X") != 0) continue;
    char a = u[stem.size() + 2], b = u[stem.size() + 3];
    bool single = isHex(a) && isHex(b);
    bool composite = a == 'G' && std::isalnum(static_cast<unsigned char>(b));
    if (single || composite) found.push_back(n);
  }
  std::sort(found.begin(), found.end(), [](const std::string& x, const std::string& y) { return upperAscii(x) < upperAscii(y); });

  SecondaryIndex::TableShape shape;
  shape.fields = header_.fields;
  shape.names = fieldNames_;
  shape.keyFields = header_.keyFields;
  shape.collation = collation_.get();
  shape.codePage = codePage_.get();
  for (const auto& n : found) {
    std::string xPath = joinPath(dir_, n);
    std::string yName = n;
    char& x = yName[stem.size() + 1];
    x = x == 'x' ? 'y' : 'Y';
    auto yPath = findNoCase(fs_, dir_, yName);
    try {
      auto s = std::make_unique<SecondaryIndex>(fs_, xPath, yPath ? *yPath : std::string(), shape, readOnly_ || !lockable_);
      if (s->usable() && s->store().data().counts.records != dbChain_->counts.records)
        s->markDamaged("it counts " + std::to_string(s->store().data().counts.records) + " records, the table has " +
                        std::to_string(dbChain_->counts.records) + " (out of date)");
      if (s->maintained() && !keyed()) s->markDamaged("a maintained index on a table without a primary key");
      secondaries_.push_back(std::move(s));
    } catch (const TableError& e) {
      if (e.kind() != ErrorKind::Corrupt && e.kind() != ErrorKind::Unsupported) throw;
      // Known by its field when the file name says which (TABLE.Xnn), else by its file.
      IndexInfo broken;
      broken.name = n;
      char a = upperAscii(n)[stem.size() + 2], b = upperAscii(n)[stem.size() + 3];
      if (a != 'G') {
        int number = std::stoi(std::string{a, b}, nullptr, 16);
        if (number >= 1 && number <= static_cast<int>(fieldNames_.size())) {
          broken.name = fieldNames_[static_cast<std::size_t>(number - 1)];
          broken.fields = {number - 1};
        }
      }
      broken.file = xPath;
      broken.usable = false;
      broken.problem = e.what();
      brokenIndexes_.push_back({broken, e.kind()});
    }
  }
}

void ParadoxTable::reloadState(const BlockIo& io) {
  std::uint8_t head[hdr::kFileType + 2];
  io.readExact(*dbFile_, 0, head, "the header");
  if (std::memcmp(head, header_.fixed.data(), sizeof head) != 0)
    throwError(ErrorKind::Corrupt, path_, "the table was restructured by another program; open it again");
  dbChain_->loadCounts(io);
  std::uint8_t ai[4];
  io.readExact(*dbFile_, hdr::kAutoIncrement, ai, "the header");
  autoIncrement_ = le32(ai);
  autoIncrementChanged_ = false;
  if (pxTree_) pxTree_->load(io);
  if (mb_) mb_->load(io);
  for (auto& s : secondaries_)
    if (s->maintained() && s->yFile()) s->load(io);
  clearReadCaches();
}

void ParadoxTable::clearReadCaches() {
  dbChain_->clearReadCache();
  if (mb_) mb_->clearReadCache();
  if (pxChain_) pxChain_->clearReadCache();
  for (auto& s : secondaries_) s->clearReadCache();
}

TableInfo ParadoxTable::info() {
  TableInfo i;
  i.format = Format::Paradox;
  i.version = header_.version;
  i.versionName = versionName(header_.version);
  i.recordCount = dbChain_->counts.records;
  // The file's own code page number, also when this engine reads its text through a stand-in.
  i.codePage = header_.version < 5 ? 437 : header_.codePage;
  if (mb_) i.memoFile = mbPath_;
  if (pxFile_) i.indexFiles.push_back(pxFile_->path());
  for (auto& s : secondaries_) {
    i.indexFiles.push_back(s->xFile().path());
    if (s->yFile()) i.indexFiles.push_back(s->yFile()->path());
  }
  return i;
}

std::vector<IndexInfo> ParadoxTable::indexes() const {
  std::vector<IndexInfo> out;
  if (keyed()) {
    IndexInfo p;
    p.primary = true;
    p.unique = true;
    p.file = pxFile_ ? pxFile_->path() : withoutExtension(path_) + ".PX";
    for (int i = 0; i < header_.keyFields; ++i) {
      p.fields.push_back(i);
      if (!p.expression.empty()) p.expression += ',';
      p.expression += fieldNames_[static_cast<std::size_t>(i)];
    }
    p.usable = pxUsable_;
    if (!pxUsable_) p.problem = "the primary index is missing or out of date";
    out.push_back(p);
  }
  for (const auto& s : secondaries_) out.push_back(s->info());
  for (const auto& b : brokenIndexes_) out.push_back(b.info);
  return out;
}

std::unique_ptr<Cursor> ParadoxTable::openCursor(const std::string& index) {
  if (index.empty()) return std::make_unique<ParadoxCursor>(*this, nullptr);
  for (auto& s : secondaries_) {
    if (!equalsNoCase(s->info().name, index)) continue;
    if (!s->usable())
      throwError(s->damaged() ? ErrorKind::Corrupt : ErrorKind::Unsupported, s->info().file, s->info().problem);
    return std::make_unique<ParadoxCursor>(*this, s.get());
  }
  for (const auto& b : brokenIndexes_)
    if (equalsNoCase(b.info.name, index)) throwError(b.kind, b.info.file, b.info.problem);
  throwError(ErrorKind::NotFound, path_, "Index does not exist: " + index);
}

std::unique_ptr<Cursor> ParadoxTable::openCursorOnFields(const std::vector<std::string>& fields) {
  std::vector<int> wanted;
  for (const auto& f : fields) wanted.push_back(schema_.require(f, path_));
  auto leads = [&](const std::vector<int>& have) {
    if (wanted.empty() || have.size() < wanted.size()) return false;
    return std::equal(wanted.begin(), wanted.end(), have.begin());
  };
  if (keyed()) {
    std::vector<int> pk;
    for (int i = 0; i < header_.keyFields; ++i) pk.push_back(i);
    if (leads(pk)) return std::make_unique<ParadoxCursor>(*this, nullptr);
  }
  for (auto& s : secondaries_) {
    if (!s->usable()) continue;
    std::vector<int> all = s->fields();
    for (int i = 0; i < header_.keyFields; ++i) all.push_back(i);
    if (leads(all)) return std::make_unique<ParadoxCursor>(*this, s.get());
  }
  std::string list;
  for (const auto& f : fields) list += (list.empty() ? "" : ", ") + f;
  throwError(ErrorKind::NotFound, path_, "No index on the fields " + list);
}

Bytes ParadoxTable::readBlob(const BlockIo& io, int field, const std::uint8_t* rec) {
  const FieldLayout& l = layout(field);
  const std::uint8_t* p = rec + l.offset;
  BlobRef ref = readBlobRef(p, l.length);
  const std::size_t leader = l.length - kBlobDescriptor;
  if (ref.length == 0) return {};
  if (ref.inLeader()) {
    if (ref.length > leader)
      throwCorrupt(path_, "field " + fieldNames_[static_cast<std::size_t>(field)] + " claims " +
                              std::to_string(ref.length) + " bytes in a leader of " + std::to_string(leader));
    return Bytes(p, p + ref.length);
  }
  if (!mb_) {
    if (!mbProblem_.empty()) throw TableError(ErrorKind::Corrupt, mbPath_, mbProblem_);
    throwError(ErrorKind::Corrupt, mbPath_.empty() ? path_ : mbPath_, "the blob file is missing");
  }
  Bytes data = mb_->read(io, ref);
  if ((l.code == kGraphic || l.code == kOle) && data.size() >= 8 && le32(data.data() + 4) == data.size() - 8)
    data.erase(data.begin(), data.begin() + 8);
  return data;
}

Value ParadoxTable::get(const Record& r, int field) {
  if (field < 0 || field >= static_cast<int>(layouts_.size()))
    throwError(ErrorKind::InvalidInput, path_, "no field number " + std::to_string(field));
  if (r.image().size() != header_.recordSize)
    throwError(ErrorKind::InvalidInput, path_, "the record does not belong to this table");
  const FieldLayout& l = layout(field);
  if (!isBlobCode(l.code)) return codec_->decode(l, r.image().data());
  if (const Value* p = r.pendingFor(field)) return *p;
  Bytes data = readBlob(BlockIo(), field, r.image().data());
  if (data.empty()) return Value::blank();
  if (l.code == kMemo || l.code == kFormattedMemo) {
    std::string_view raw(reinterpret_cast<const char*>(data.data()), data.size());
    bool ascii = std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b < 0x80; });
    return Value::text(ascii ? std::string(raw) : codePage_->toUtf8(raw));
  }
  return Value::bytes(std::move(data));
}

bool ParadoxTable::hasValue(const Record& r, int field) {
  if (field < 0 || field >= static_cast<int>(layouts_.size()) || r.image().size() != header_.recordSize ||
      !isBlobCode(layout(field).code))
    return Table::hasValue(r, field);
  if (const Value* p = r.pendingFor(field)) return !p->isBlank();
  const FieldLayout& l = layout(field);
  return readBlobRef(r.image().data() + l.offset, l.length).length != 0;
}

void ParadoxTable::set(Record& r, int field, const Value& v) {
  if (field < 0 || field >= static_cast<int>(layouts_.size()))
    throwError(ErrorKind::InvalidInput, path_, "no field number " + std::to_string(field));
  if (r.image().size() != header_.recordSize)
    throwError(ErrorKind::InvalidInput, path_, "the record does not belong to this table");
  const FieldLayout& l = layout(field);
  const std::string& name = fieldNames_[static_cast<std::size_t>(field)];
  if (!isBlobCode(l.code)) {
    codec_->encode(l, r.image().data(), v, name);
    return;
  }
  if (v.isBlank()) {
    r.setPending(field, Value::blank());
  } else if (l.code == kMemo || l.code == kFormattedMemo) {
    std::string text = v.asText();
    codePage_->fromUtf8(text, name);  // refuse what the code page cannot hold now, not at the save
    r.setPending(field, text.empty() ? Value::blank() : Value::text(std::move(text)));
  } else {
    const Bytes& b = v.asBytes();
    r.setPending(field, b.empty() ? Value::blank() : Value::bytes(b));
  }
}

Record ParadoxTable::blankRecord() { return Record(std::vector<std::uint8_t>(header_.recordSize, 0)); }

std::unique_ptr<RecordLock> ParadoxTable::lockRecord(const Bookmark& b) {
  if (b.empty()) throwError(ErrorKind::InvalidInput, path_, "no record to lock");
  if (!lockable_) throwError(ErrorKind::InvalidInput, path_, "the table is open read-only");
  std::uint64_t offset = recordLockOffset(identityOf(b, keyed()));
  int& n = locks_->held[offset];
  if (n == 0 && !dbFile_->tryLock(offset, 1, LockMode::Exclusive)) {
    locks_->held.erase(offset);
    throwError(ErrorKind::Locked, path_, "Record locked by another user");
  }
  ++n;
  return std::make_unique<ParadoxRecordLock>(std::weak_ptr<void>(locks_), &locks_->held, dbFile_.get(), offset);
}

void ParadoxTable::requireNoForeignLock(const Bookmark& b, std::vector<std::uint64_t>& taken) {
  if (!lockable_) return;
  std::uint64_t offset = recordLockOffset(identityOf(b, keyed()));
  if (locks_->held.count(offset)) return;
  if (!dbFile_->tryLock(offset, 1, LockMode::Exclusive))
    throwError(ErrorKind::Locked, path_, "Record locked by another user");
  taken.push_back(offset);
}

void ParadoxTable::refresh() {
  if (lockable_) {
    auto tx = journal_->begin();
    BlockIo io(tx);
    reloadState(io);
  } else {
    reloadState(BlockIo());
  }
  ++generation_;
  if (!readOnly_) liveLockFile_ = paradoxLockFileInUse(fs_, dir_);
}

Bookmark ParadoxTable::bookmarkOf(const std::uint8_t* rec, std::uint64_t ordinal) const {
  if (keyed()) return Bookmark(reinterpret_cast<const char*>(rec), keyLength());
  Bookmark b(8, '\0');
  for (int i = 0; i < 8; ++i) b[static_cast<std::size_t>(i)] = static_cast<char>(ordinal >> (8 * i));
  b.append(reinterpret_cast<const char*>(rec), header_.recordSize);
  return b;
}

std::uint64_t ParadoxTable::ordinalOf(const Bookmark& b) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0 && b.size() >= 8; --i) v = (v << 8) | static_cast<unsigned char>(b[static_cast<std::size_t>(i)]);
  return v;
}

std::optional<RecordStore::Pos> ParadoxTable::positionOfOrdinal(const BlockIo& io, std::uint64_t ordinal) {
  std::uint16_t bn = dbChain_->counts.first;
  std::uint64_t before = 0;
  int steps = 0;
  std::uint8_t h[kBlockHeader];
  while (bn) {
    if (++steps > dbChain_->counts.total)
      throwCorrupt(path_, "the block chain loops back on itself", dbChain_->blockOffset(bn));
    if (bn > dbChain_->counts.total) throwCorrupt(path_, "the block chain leads past the end", 0);
    io.readExact(*dbFile_, dbChain_->blockOffset(bn), h, "a block header");
    Block probe;
    probe.number = bn;
    probe.bytes.assign(h, h + kBlockHeader);
    probe.available = dbChain_->blockSize();  // only the header is read here; get() checks the rest
    int n = dbChain_->countOf(probe);
    if (ordinal < before + static_cast<std::uint64_t>(n)) return RecordStore::Pos{bn, static_cast<int>(ordinal - before)};
    before += static_cast<std::uint64_t>(n);
    bn = probe.next();
  }
  return std::nullopt;
}

std::optional<ParadoxTable::Found> ParadoxTable::findUnkeyed(const BlockIo& io, std::uint64_t ordinal,
                                                            const std::uint8_t* image) {
  const std::uint16_t rs = header_.recordSize;
  std::uint64_t count = dbChain_->counts.records;
  if (count == 0) return std::nullopt;
  std::uint64_t start = std::min<std::uint64_t>(ordinal, count - 1);
  auto pos = positionOfOrdinal(io, start);
  if (!pos) return std::nullopt;
  // Back from the position (records before it were deleted), then forward.
  RecordStore::Pos p = *pos;
  std::uint64_t o = start;
  while (true) {
    auto b = dbChain_->get(io, p.block);
    if (std::memcmp(b->record(p.index, rs), image, rs) == 0) return Found{p, o};
    if (o == 0) break;
    --o;
    if (p.index > 0) {
      --p.index;
    } else {
      std::uint16_t prev = b->prev();
      if (!prev) break;
      auto pb = dbChain_->get(io, prev);
      p = {prev, dbChain_->countOf(*pb) - 1};
      if (p.index < 0) break;
    }
  }
  p = *pos;
  o = start;
  while (true) {
    auto b = dbChain_->get(io, p.block);
    int n = dbChain_->countOf(*b);
    if (++p.index >= n) {
      if (!b->next()) break;
      p = {b->next(), 0};
    }
    ++o;
    auto nb = dbChain_->get(io, p.block);
    if (dbChain_->countOf(*nb) == 0) break;
    if (std::memcmp(nb->record(p.index, rs), image, rs) == 0) return Found{p, o};
  }
  return std::nullopt;
}

std::vector<std::uint8_t> ParadoxTable::recordOfEntry(SecondaryIndex& s, const std::uint8_t* entry) {
  const std::uint8_t* pk = entry + s.pkOffset();
  BlockIo io;
  auto pos = store_->findIn(io, s.hintOf(entry), pk);
  if (!pos) pos = store_->find(io, pk);
  if (!pos) throwCorrupt(s.info().file, "an index entry names a record the table does not hold");
  auto b = dbChain_->get(io, pos->block);
  const std::uint8_t* r = b->record(pos->index, header_.recordSize);
  return std::vector<std::uint8_t>(r, r + header_.recordSize);
}

}  // namespace rf::tables::paradox

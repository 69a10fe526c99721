#include "tables/xbase_table.h"

#include <algorithm>
#include <cstring>

#include "tables/engine.h"
#include "tables/error.h"
#include "tables/file_names.h"
#include "tables/xbase_cursor.h"

namespace rf::tables {

namespace {

class ImageFields final : public RecordFields {
 public:
  ImageFields(const XbaseHeader& h, const std::uint8_t* image) : h_(h), image_(image) {}
  std::string_view raw(int field) const override {
    const auto& f = h_.fields[static_cast<std::size_t>(field)];
    return {reinterpret_cast<const char*>(image_ + f.offset), static_cast<std::size_t>(f.width)};
  }
  bool deleted() const override { return image_[0] == '*'; }

 private:
  const XbaseHeader& h_;
  const std::uint8_t* image_;
};

class XbaseRecordLock final : public RecordLock {
 public:
  XbaseRecordLock(File& f, std::uint64_t at) : f_(f), at_(at) {}
  ~XbaseRecordLock() override { f_.unlock(at_, 1); }

 private:
  File& f_;
  std::uint64_t at_;
};

}  // namespace

std::uint32_t XbaseTable::recnoOf(const Bookmark& b) {
  if (b.size() != 4) throwError(ErrorKind::InvalidInput, {}, "not a bookmark of this table");
  std::uint32_t r;
  std::memcpy(&r, b.data(), 4);
  return r;
}

Bookmark XbaseTable::bookmarkOf(std::uint32_t recno) { return Bookmark(reinterpret_cast<const char*>(&recno), 4); }

XbaseTable::XbaseTable(FileSystem& fs, const std::string& path, Format format, const OpenOptions& options)
    : fs_(fs),
      path_(path),
      format_(format),
      readOnly_(options.readOnly),
      exclusive_(options.exclusive),
      locks_(XbaseLockScheme::dbase()) {
  file_ = fs_.open(path_, readOnly_ ? OpenMode::ReadOnly : OpenMode::ReadWrite);
  // The family decides the lock offsets; a FoxPro version byte makes a table FoxPro even when
  // opened as dBASE.
  std::uint8_t v = 0;
  file_->readAt(0, std::span(&v, 1));
  bool fox = format_ == Format::FoxPro || v == 0x30 || v == 0x31 || v == 0x32 || v == 0xF5 || v == 0xFB;
  if (!fox && (v == 0x03 || v == 0x83)) {
    // Plain version bytes are shared by dBASE and FoxPro: a structural .CDX beside the table and
    // no .MDX says FoxPro wrote it.
    std::uint8_t flags = 0;
    file_->readAt(28, std::span(&flags, 1));
    fox = (flags & 0x01) && findCompanion(fs_, path_, ".CDX") && !findCompanion(fs_, path_, ".MDX");
  }
  if (fox) {
    format_ = Format::FoxPro;
    locks_ = XbaseLockScheme::foxpro();
  }
  if (exclusive_) {
    if (!file_->tryLock(locks_.tableStart, locks_.tableLength, LockMode::Exclusive))
      throwError(ErrorKind::Locked, path_, "Table is in use by another user and cannot be opened exclusively");
  } else if (!file_->tryLock(locks_.openByte(), 1, LockMode::Shared)) {
    throwError(ErrorKind::Locked, path_, "Table is opened exclusively by another user");
  }
  journal_ = std::make_unique<Journal>(fs_, path_, *file_, locks_.append);
  journal_->setSyncOnCommit(!options.bulkLoad);
  if (!readOnly_) journal_->recover();

  header_ = XbaseHeader::read(*file_, fox);
  schema_ = Schema(header_.fields);
  int cp = codePageOfLanguageDriver(header_.languageDriver);
  // No language driver: Windows-written files are the common case, and 1252 maps every byte.
  codePage_ = std::make_unique<CodePage>(cp && CodePage::isSupported(cp) ? cp : 1252);
  codec_ = std::make_unique<XbaseFieldCodec>(header_, *codePage_, path_);
  openCompanions(options);
}

XbaseTable::~XbaseTable() = default;

void XbaseTable::openCompanions(const OpenOptions& options) {
  OpenMode mode = readOnly_ ? OpenMode::ReadOnly : OpenMode::ReadWrite;
  if (header_.hasMemoFields()) {
    bool fox = format_ == Format::FoxPro;
    auto memoPath = findCompanion(fs_, path_, fox ? ".FPT" : ".DBT");
    if (!memoPath) throwError(ErrorKind::NotFound, path_, std::string("memo file ") + baseName(withoutExtension(path_)) + (fox ? ".FPT" : ".DBT") + " not found");
    memoFile_ = fs_.open(*memoPath, mode);
    MemoFlavor flavor = fox ? MemoFlavor::FoxPro : header_.version == 0x83 ? MemoFlavor::Dbase3 : MemoFlavor::Dbase4;
    memo_ = MemoFile::open(*memoFile_, flavor);
  }
  if (header_.flags & 0x01) {
    bool fox = format_ == Format::FoxPro;
    auto indexPath = findCompanion(fs_, path_, fox ? ".CDX" : ".MDX");
    if (indexPath) {
      indexFiles_.push_back(fs_.open(*indexPath, mode));
      indexes_.push_back(fox ? openCdx(*indexFiles_.back()) : openMdx(*indexFiles_.back(), header_.languageDriver));
    } else {
      openProblems_.push_back(path_ + ": the header says a production index exists, but " +
                              baseName(withoutExtension(path_)) + (fox ? ".CDX" : ".MDX") + " is missing");
    }
  }
  if (!options.indexFile.empty()) {
    bool known = false;
    for (const auto& f : indexFiles_) known = known || f->path() == options.indexFile;
    if (!known) {
      indexFiles_.push_back(fs_.open(options.indexFile, mode));
      bool mdx = equalsNoCase(extensionOf(options.indexFile), ".mdx");
      indexes_.push_back(mdx ? openMdx(*indexFiles_.back(), header_.languageDriver) : openCdx(*indexFiles_.back()));
    }
  }
  for (auto& idx : indexes_) addTags(*idx);
}

void XbaseTable::addTags(IndexFile& file) {
  for (int i = 0; i < file.tagCount(); ++i) {
    const TagSpec& spec = file.tag(i);
    Tag t;
    t.file = &file;
    t.number = i;
    t.info.name = spec.name;
    t.info.file = file.path();
    t.info.expression = spec.expression;
    t.info.forExpression = spec.forExpression;
    t.info.unique = spec.unique;
    t.info.descending = spec.descending;
    try {
      // dBASE 7 stores its binary integers differently from FoxPro: the expression must know.
      bool level7 = header_.level7 && format_ != Format::FoxPro;
      t.key = std::make_unique<KeyExpression>(KeyExpression::parse(spec.expression, schema_, level7));
      if (t.key->type() == 'L')
        throwError(ErrorKind::Unsupported, file.path(), "keys of logical expressions (\"" + spec.expression + "\") are not supported");
      if (!spec.forExpression.empty())
        t.filter = std::make_unique<KeyExpression>(KeyExpression::parse(spec.forExpression, schema_, level7));
      t.info.fields = t.key->termFields();
    } catch (const TableError& e) {
      t.key.reset();
      t.filter.reset();
      t.info.usable = false;
      t.info.problem = e.what();
    }
    tags_.push_back(std::move(t));
  }
}

TableInfo XbaseTable::info() {
  TableInfo i;
  i.format = format_;
  i.version = header_.version;
  i.versionName = header_.versionName();
  std::uint64_t live = 0;
  std::vector<std::uint8_t> buf;
  for (std::uint32_t r = 1; r <= header_.recordCount;) {
    std::uint32_t n = readRecords(r, 4096, buf);
    if (n == 0) break;
    for (std::uint32_t k = 0; k < n; ++k)
      if (buf[static_cast<std::size_t>(k) * header_.recordLength] != '*') ++live;
    r += n;
  }
  i.recordCount = live;
  i.codePage = codePage_->number();
  if (memoFile_) i.memoFile = memoFile_->path();
  for (const auto& f : indexFiles_) i.indexFiles.push_back(f->path());
  return i;
}

std::vector<IndexInfo> XbaseTable::indexes() const {
  std::vector<IndexInfo> out;
  for (const auto& t : tags_) out.push_back(t.info);
  return out;
}

std::unique_ptr<Cursor> XbaseTable::openCursor(const std::string& index) {
  if (index.empty()) return std::make_unique<XbaseRecordCursor>(*this);
  for (std::size_t i = 0; i < tags_.size(); ++i) {
    if (!equalsNoCase(tags_[i].info.name, index)) continue;
    if (!tags_[i].info.usable)
      throwError(ErrorKind::Unsupported, tags_[i].info.file, "index tag " + tags_[i].info.name + " cannot be used: " + tags_[i].info.problem);
    return std::make_unique<XbaseTagCursor>(*this, i);
  }
  throwError(ErrorKind::NotFound, path_, "Index '" + index + "' not found");
}

std::unique_ptr<Cursor> XbaseTable::openCursorOnFields(const std::vector<std::string>& fields) {
  std::vector<int> wanted;
  for (const auto& f : fields) wanted.push_back(schema_.require(f, path_));
  for (const auto& t : tags_) {
    if (!t.info.usable || t.info.fields.size() < wanted.size() || wanted.empty()) continue;
    if (std::equal(wanted.begin(), wanted.end(), t.info.fields.begin())) return openCursor(t.info.name);
  }
  std::string names;
  for (const auto& f : fields) names += (names.empty() ? "" : ", ") + f;
  throwError(ErrorKind::NotFound, path_, "No index on field(s) " + names);
}

Value XbaseTable::get(const Record& r, int field) {
  if (field < 0 || static_cast<std::size_t>(field) >= schema_.size())
    throwError(ErrorKind::InvalidInput, path_, "field number out of range");
  if (r.image().size() != header_.recordLength) throwError(ErrorKind::InvalidInput, path_, "record of another table");
  if (!codec_->isBlob(field)) return codec_->decode(r.image().data(), field);
  if (const Value* p = r.pendingFor(field)) return *p;
  if (codec_->isNull(r.image().data(), field)) return Value::blank();
  std::uint32_t block = codec_->memoBlock(r.image().data(), field);
  if (block == 0 || !memo_) return Value::blank();
  MemoFile::Memo m = memo_->read(block);
  const FieldDef& f = schema_[static_cast<std::size_t>(field)];
  if (f.type == FieldType::Memo && !f.binaryText) {
    std::string_view bytes(reinterpret_cast<const char*>(m.data.data()), m.data.size());
    return Value::text(codePage_->toUtf8(bytes));
  }
  if (f.type == FieldType::Memo) return Value::text(std::string(m.data.begin(), m.data.end()));
  return Value::bytes(std::move(m.data));
}

bool XbaseTable::hasValue(const Record& r, int field) {
  if (field < 0 || static_cast<std::size_t>(field) >= schema_.size() || r.image().size() != header_.recordLength ||
      !codec_->isBlob(field))
    return Table::hasValue(r, field);
  if (const Value* p = r.pendingFor(field)) return !p->isBlank();
  if (codec_->isNull(r.image().data(), field)) return false;
  return memo_ && codec_->memoBlock(r.image().data(), field) != 0;
}

void XbaseTable::set(Record& r, int field, const Value& v) {
  if (field < 0 || static_cast<std::size_t>(field) >= schema_.size())
    throwError(ErrorKind::InvalidInput, path_, "field number out of range");
  if (r.image().size() != header_.recordLength) throwError(ErrorKind::InvalidInput, path_, "record of another table");
  const FieldDef& f = schema_[static_cast<std::size_t>(field)];
  if (!codec_->isBlob(field)) {
    codec_->encode(r.image().data(), field, v);
    return;
  }
  if (f.type == FieldType::Memo) {
    if (!v.isBlank() && v.kind() != Value::Kind::Text)
      throwError(ErrorKind::InvalidInput, path_, "field '" + f.name + "' takes text");
    if (!v.isBlank() && !f.binaryText) codePage_->fromUtf8(v.asText(), f.name);  // refuse now, not at save
  } else if (!v.isBlank() && v.kind() != Value::Kind::Bytes) {
    throwError(ErrorKind::InvalidInput, path_, "field '" + f.name + "' takes binary data");
  }
  r.setPending(field, v);
}

Record XbaseTable::blankRecord() { return Record(codec_->blankRecord()); }

bool XbaseTable::readRecord(std::uint32_t recno, std::vector<std::uint8_t>& out) {
  if (recno < 1 || recno > header_.recordCount) return false;
  out.resize(header_.recordLength);
  return file_->readAt(recordOffset(recno), out) == out.size();
}

std::uint32_t XbaseTable::readRecords(std::uint32_t recno, std::uint32_t count, std::vector<std::uint8_t>& buf) {
  if (recno < 1 || recno > header_.recordCount) return 0;
  count = std::min(count, header_.recordCount - recno + 1);
  buf.resize(static_cast<std::size_t>(count) * header_.recordLength);
  std::size_t got = file_->readAt(recordOffset(recno), buf);
  return static_cast<std::uint32_t>(got / header_.recordLength);
}

std::optional<std::string> XbaseTable::keyOf(const Tag& t, const std::uint8_t* record) const {
  ImageFields fields(header_, record);
  if (t.filter && !t.filter->test(fields, *codePage_)) return std::nullopt;
  return t.file->encode(t.number, t.key->evaluate(fields, *codePage_));
}

std::string XbaseTable::keyPrefix(const Tag& t, const std::vector<Value>& values) {
  if (values.empty()) throwError(ErrorKind::InvalidInput, path_, "no key values given");
  const auto& terms = t.key->termFields();
  if (!terms.empty() && values.size() <= terms.size()) {
    std::vector<std::uint8_t> rec = codec_->blankRecord();
    for (std::size_t i = 0; i < values.size(); ++i) codec_->encode(rec.data(), terms[i], values[i]);
    ImageFields fields(header_, rec.data());
    if (values.size() >= terms.size()) return t.file->encode(t.number, t.key->evaluate(fields, *codePage_));
    KeyValue kv = t.key->evaluateLeading(fields, static_cast<int>(values.size()), *codePage_);
    return kv.text;
  }
  if (values.size() != 1) throwError(ErrorKind::InvalidInput, path_, "index " + t.info.name + " takes one key value");
  KeyValue kv;
  kv.type = t.key->type();
  if (kv.type == 'C') kv.text = codePage_->fromUtf8(values[0].asText());
  else if (kv.type == 'D') kv.number = static_cast<double>(julianDay(values[0].asDate()));
  else kv.number = values[0].asNumber();
  return t.file->encode(t.number, kv);
}

void XbaseTable::requireWritable() {
  if (readOnly_) throwError(ErrorKind::InvalidInput, path_, "Table is open read-only");
  for (const auto& t : tags_)
    if (!t.info.usable)
      throwError(ErrorKind::Unsupported, t.info.file,
                 "Cannot keep index tag " + t.info.name + " up to date (" + t.info.problem + "); the table is not changed");
}

void XbaseTable::refreshLocked(Transaction& tx) {
  std::uint8_t b[4];
  tx.readExact(*file_, 4, b, "the table header");
  std::uint32_t count = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  std::uint64_t size = tx.size(*file_);
  std::uint64_t fits = size >= header_.headerLength ? (size - header_.headerLength) / header_.recordLength : 0;
  header_.recordCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, fits));
  if (memo_) memo_->refresh();
  for (auto& idx : indexes_) idx->refresh();
  ++generation_;
}

void XbaseTable::writeHeaderCount(Transaction& tx, std::uint32_t count) {
  auto cd = encodeCountAndDate(count);
  tx.write(*file_, 1, cd);
}

void XbaseTable::writeBlobs(Transaction& tx, Record& r, const std::vector<std::uint8_t>* old) {
  for (const auto& p : r.pending()) {
    const FieldDef& f = schema_[static_cast<std::size_t>(p.field)];
    std::uint32_t previous = old ? codec_->memoBlock(old->data(), p.field) : 0;
    if (old && codec_->isNull(old->data(), p.field)) previous = 0;
    std::uint32_t block = 0;
    bool isEmpty = p.value.isBlank() || (p.value.kind() == Value::Kind::Text && p.value.asText().empty()) ||
                   (p.value.kind() == Value::Kind::Bytes && p.value.asBytes().empty());
    if (!isEmpty) {
      if (!memo_) throwError(ErrorKind::NotFound, path_, "table has no memo file");
      if (f.type == FieldType::Memo) {
        std::string bytes = f.binaryText ? p.value.asText() : codePage_->fromUtf8(p.value.asText(), f.name);
        block = memo_->write(tx, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 1, previous);
      } else {
        block = memo_->write(tx, p.value.asBytes(), 0, previous);
      }
    } else if (previous && memo_) {
      memo_->release(tx, previous);
    }
    codec_->setMemoBlock(r.image().data(), p.field, block);
    if (f.nullable) codec_->setNull(r.image().data(), p.field, p.value.isBlank());
  }
}

void XbaseTable::checkUnique(Tag& t, const std::string& key, std::uint32_t recno) {
  auto it = t.file->iterate(t.number);
  std::vector<std::uint8_t> other;
  for (bool ok = it->seek(key, 0); ok && t.file->compare(t.number, it->entry().key, key) == 0; ok = it->next()) {
    std::uint32_t r = it->entry().recno;
    if (r == recno || !readRecord(r, other) || other[0] == '*') continue;
    throwError(ErrorKind::KeyViolation, path_, "Key violation: index " + t.info.name + " already holds this value (record " + std::to_string(r) + ")");
  }
}

void XbaseTable::updateKeys(Transaction& tx, const std::vector<std::uint8_t>* old, const std::vector<std::uint8_t>& now,
                            std::uint32_t recno) {
  for (auto& t : tags_) {
    std::optional<std::string> before = old ? keyOf(t, old->data()) : std::nullopt;
    std::optional<std::string> after = keyOf(t, now.data());
    if (before == after) continue;
    if (after && t.info.unique) checkUnique(t, *after, recno);
    if (before) t.file->remove(tx, t.number, *before, recno);
    if (after) t.file->insert(tx, t.number, *after, recno);
  }
}

std::unique_ptr<RecordLock> XbaseTable::lockRecord(const Bookmark& b) {
  std::uint32_t recno = recnoOf(b);
  std::uint64_t at = locks_.recordBase - recno;
  if (!file_->tryLock(at, 1, LockMode::Exclusive))
    throwError(ErrorKind::Locked, path_, "Record locked by another user (record " + std::to_string(recno) + ")");
  return std::make_unique<XbaseRecordLock>(*file_, at);
}

Bookmark XbaseTable::insert(Record& r) {
  requireWritable();
  if (r.image().size() != header_.recordLength) throwError(ErrorKind::InvalidInput, path_, "record of another table");
  auto tx = journal_->begin();
  refreshLocked(tx);
  if (header_.recordCount == 0xFFFFFFFFu) throwError(ErrorKind::InvalidInput, path_, "table is full");
  std::uint32_t recno = header_.recordCount + 1;
  Record work = r;
  work.image()[0] = ' ';
  writeBlobs(tx, work, nullptr);
  updateKeys(tx, nullptr, work.image(), recno);
  std::uint64_t at = recordOffset(recno);
  tx.write(*file_, at, work.image());
  const std::uint8_t eof = 0x1A;
  tx.write(*file_, at + header_.recordLength, std::span(&eof, 1));
  writeHeaderCount(tx, recno);
  tx.commit();
  header_.recordCount = recno;
  ++generation_;
  r.image() = std::move(work.image());
  r.pending().clear();
  r.setBookmark(bookmarkOf(recno));
  return r.bookmark();
}

Bookmark XbaseTable::update(Record& r) {
  requireWritable();
  if (r.image().size() != header_.recordLength) throwError(ErrorKind::InvalidInput, path_, "record of another table");
  std::uint32_t recno = recnoOf(r.bookmark());
  auto tx = journal_->begin();
  refreshLocked(tx);
  if (recno < 1 || recno > header_.recordCount) throwError(ErrorKind::NotFound, path_, "Record " + std::to_string(recno) + " does not exist");
  std::vector<std::uint8_t> old(header_.recordLength);
  tx.readExact(*file_, recordOffset(recno), old, "a record");
  if (old[0] == '*') throwError(ErrorKind::NotFound, path_, "Record " + std::to_string(recno) + " was deleted by another user");
  Record work = r;
  work.image()[0] = ' ';
  writeBlobs(tx, work, &old);
  updateKeys(tx, &old, work.image(), recno);
  tx.write(*file_, recordOffset(recno), work.image());
  writeHeaderCount(tx, header_.recordCount);
  tx.commit();
  ++generation_;
  r.image() = std::move(work.image());
  r.pending().clear();
  return r.bookmark();
}

void XbaseTable::remove(const Bookmark& b) {
  if (readOnly_) throwError(ErrorKind::InvalidInput, path_, "Table is open read-only");
  std::uint32_t recno = recnoOf(b);
  auto tx = journal_->begin();
  refreshLocked(tx);
  if (recno < 1 || recno > header_.recordCount) throwError(ErrorKind::NotFound, path_, "Record " + std::to_string(recno) + " does not exist");
  std::uint8_t flag;
  tx.readExact(*file_, recordOffset(recno), std::span(&flag, 1), "a record");
  if (flag == '*') return;  // already gone: deleting twice changes nothing
  // Deleted records keep their index entries and memos, as dBASE and FoxPro do until a pack;
  // every cursor passes over them.
  flag = '*';
  tx.write(*file_, recordOffset(recno), std::span(&flag, 1));
  writeHeaderCount(tx, header_.recordCount);
  tx.commit();
  ++generation_;
}

void XbaseTable::empty() {
  if (readOnly_) throwError(ErrorKind::InvalidInput, path_, "Table is open read-only");
  if (!exclusive_ && !file_->tryLock(locks_.tableStart, locks_.tableLength, LockMode::Exclusive))
    throwError(ErrorKind::Locked, path_, "Table is in use by another user and cannot be emptied");
  struct Restore {
    XbaseTable& t;
    ~Restore() {
      if (t.exclusive_) return;
      t.file_->unlock(t.locks_.tableStart, t.locks_.tableLength);
      t.file_->tryLock(t.locks_.openByte(), 1, LockMode::Shared);
    }
  } restore{*this};
  auto tx = journal_->begin();
  refreshLocked(tx);
  tx.truncate(*file_, header_.headerLength);
  const std::uint8_t eof = 0x1A;
  tx.write(*file_, header_.headerLength, std::span(&eof, 1));
  writeHeaderCount(tx, 0);
  if (memo_) memo_->clear(tx);
  for (auto& idx : indexes_) idx->clear(tx);
  tx.commit();
  header_.recordCount = 0;
  ++generation_;
}

void XbaseTable::refresh() {
  XbaseHeader fresh = XbaseHeader::read(*file_, format_ == Format::FoxPro);
  if (fresh.recordLength != header_.recordLength || fresh.fields.size() != header_.fields.size())
    throwCorrupt(path_, "the table's structure was changed by another program");
  header_.recordCount = fresh.recordCount;
  if (memo_) memo_->refresh();
  for (auto& idx : indexes_) idx->refresh();
  ++generation_;
}

CheckReport XbaseTable::check() {
  CheckReport report;
  report.problems = openProblems_;
  std::uint64_t size = file_->size();
  std::uint8_t b[4];
  file_->readExact(4, b, "the table header");
  std::uint32_t stored = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  std::uint64_t needed = header_.headerLength + static_cast<std::uint64_t>(stored) * header_.recordLength;
  if (size < needed)
    report.problems.push_back(path_ + ": the header counts " + std::to_string(stored) + " records but the file holds only " +
                              std::to_string((size - header_.headerLength) / header_.recordLength));
  header_.recordCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(stored, (size - header_.headerLength) / header_.recordLength));

  std::vector<std::uint32_t> used;
  std::vector<std::vector<TagEntry>> expected(tags_.size());
  std::vector<std::uint8_t> buf;
  for (std::uint32_t r = 1; r <= header_.recordCount;) {
    std::uint32_t n = readRecords(r, 2048, buf);
    if (n == 0) break;
    for (std::uint32_t k = 0; k < n; ++k) {
      const std::uint8_t* rec = buf.data() + static_cast<std::size_t>(k) * header_.recordLength;
      std::uint32_t recno = r + k;
      if (rec[0] != ' ' && rec[0] != '*')
        report.problems.push_back(path_ + ": record " + std::to_string(recno) + " has an invalid deletion flag");
      for (std::size_t f = 0; f < schema_.size(); ++f)
        if (codec_->isBlob(static_cast<int>(f)) && !codec_->isNull(rec, static_cast<int>(f))) {
          std::uint32_t block = codec_->memoBlock(rec, static_cast<int>(f));
          if (block) used.push_back(block);
        }
      for (std::size_t t = 0; t < tags_.size(); ++t) {
        if (!tags_[t].info.usable) continue;
        try {
          if (auto key = keyOf(tags_[t], rec)) expected[t].push_back({*key, recno});
        } catch (const TableError& e) {
          report.problems.push_back(path_ + ": record " + std::to_string(recno) + ": " + e.what());
        }
      }
    }
    r += n;
  }
  if (memo_) memo_->check(used, report);
  else if (!used.empty()) report.problems.push_back(path_ + ": records point into a memo file that does not exist");
  for (auto& idx : indexes_) idx->check(report);

  for (std::size_t t = 0; t < tags_.size(); ++t) {
    Tag& tag = tags_[t];
    if (!tag.info.usable) continue;
    auto& want = expected[t];
    std::stable_sort(want.begin(), want.end(), [&](const TagEntry& a, const TagEntry& c) {
      int cmp = tag.file->compare(tag.number, a.key, c.key);
      return cmp != 0 ? cmp < 0 : a.recno < c.recno;
    });
    std::vector<TagEntry> have;
    try {
      auto it = tag.file->iterate(tag.number);
      for (bool ok = it->first(); ok; ok = it->next()) {
        have.push_back(it->entry());
        if (have.size() > want.size() + 1000000) break;
      }
    } catch (const TableError& e) {
      report.problems.push_back(e.what());
      continue;
    }
    std::string where = tag.info.file + ": index tag " + tag.info.name;
    // Entries with equal keys may legitimately come in another record order.
    auto byKeyThenRec = [&](const TagEntry& a, const TagEntry& c) {
      int cmp = tag.file->compare(tag.number, a.key, c.key);
      return cmp != 0 ? cmp < 0 : a.recno < c.recno;
    };
    bool ordered = std::is_sorted(have.begin(), have.end(), [&](const TagEntry& a, const TagEntry& c) {
      return tag.file->compare(tag.number, a.key, c.key) < 0;
    });
    if (!ordered) {
      // dBASE and TDbf sort text keys by the language driver's collation; such a tag reads as
      // stored, but this engine's byte order would misplace keys it adds.
      report.problems.push_back(where + " is not in byte order (sorted by a language-driver collation, or damaged): "
                                "it is read as stored, but changes to the table would misplace its keys");
      continue;
    }
    std::stable_sort(have.begin(), have.end(), byKeyThenRec);
    auto same = [&](const TagEntry& a, const TagEntry& c) {
      return a.recno == c.recno && tag.file->compare(tag.number, a.key, c.key) == 0;
    };
    std::size_t i = 0;
    while (i < have.size() && i < want.size() && same(have[i], want[i])) ++i;
    if (i == have.size() && i == want.size()) continue;
    if (i < want.size() && (i >= have.size() || byKeyThenRec(want[i], have[i])))
      report.problems.push_back(where + " is out of date: the entry for record " + std::to_string(want[i].recno) + " is missing");
    else if (i < have.size())
      report.problems.push_back(where + " is out of date: it holds an entry for record " + std::to_string(have[i].recno) +
                                " that does not match the table");
  }
  return report;
}

std::unique_ptr<Table> openXbaseTable(FileSystem& fs, const std::string& path, Format format, const OpenOptions& options) {
  return std::make_unique<XbaseTable>(fs, path, format, options);
}

}  // namespace rf::tables

#include "tables/paradox_secondary_index.h"

#include <cstdio>
#include <cstring>

#include "tables/error.h"
#include "tables/paradox_format.h"

namespace rf::tables::paradox {

std::string secondaryIndexExtension(bool composite, int n) {
  char buf[8];
  if (composite) {
    const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::snprintf(buf, sizeof buf, ".XG%c", digits[n % 36]);
  } else {
    std::snprintf(buf, sizeof buf, ".X%02X", n & 0xFF);
  }
  return buf;
}

void SecondaryIndex::fail(const std::string& why) {
  info_.usable = false;
  if (info_.problem.empty()) info_.problem = info_.file + ": " + why;
}

SecondaryIndex::SecondaryIndex(FileSystem& fs, const std::string& xPath, const std::string& yPath,
                               const TableShape& table, bool readOnly) {
  info_.file = xPath;
  xFile_ = fs.open(xPath, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite);
  ParadoxHeader x = readParadoxHeader(*xFile_);
  const bool composite = x.fileType == kCompositeIncrementing || x.fileType == kCompositeNonIncrementing;
  maintained_ = x.fileType == kSecondaryIncrementing || x.fileType == kCompositeIncrementing;
  if (!maintained_ && x.fileType != kSecondaryNonIncrementing && x.fileType != kCompositeNonIncrementing)
    throwCorrupt(xPath, "not a secondary index file (file type " + std::to_string(x.fileType) + ")", hdr::kFileType);

  const int tableFields = static_cast<int>(table.fields.size());
  const int pk = table.keyFields;
  const int tail = maintained_ ? 1 : 3;  // Blk Num; or Tup No, Blk Num, Tup Offset
  const int sec = static_cast<int>(x.fields.size()) - tail - (maintained_ ? pk : 0);
  if (sec < 1) throwCorrupt(xPath, "the index holds no indexed field", hdr::kNumFields);
  for (int i = 0; i < sec; ++i) {
    int number = i < static_cast<int>(x.fieldNumbers.size()) ? (x.fieldNumbers[static_cast<std::size_t>(i)] & 0x7FFF)
                 : i == 0                                     ? x.indexFieldNumber
                                                              : 0;
    if (number < 1 || number > tableFields)
      throwCorrupt(xPath, "the index names field " + std::to_string(number) + " of a table of " +
                              std::to_string(tableFields) + " fields", hdr::kIndexFieldNumber);
    secFields_.push_back(number - 1);
    tableOffsets_.push_back(table.fields[static_cast<std::size_t>(number - 1)].layout.offset);
  }
  info_.fields = secFields_;
  for (int f : secFields_) {
    if (!info_.expression.empty()) info_.expression += ',';
    info_.expression += table.names[static_cast<std::size_t>(f)];
  }
  if (composite) info_.name = table.codePage ? table.codePage->toUtf8(x.indexName) : x.indexName;
  else info_.name = table.names[static_cast<std::size_t>(secFields_[0])];
  info_.unique = (x.direction & kDirUnique) != 0;
  info_.descending = (x.direction & kDirDescending) != 0;
  if (!maintained_) {
    fail("an index the table does not keep up to date (not maintained); rebuild it with the original engine");
    return;
  }

  // The index record must be the indexed fields, the primary key, and Blk Num.
  auto same = [](const FieldLayout& a, const FieldLayout& b) { return a.code == b.code && a.size == b.size; };
  for (int i = 0; i < sec; ++i)
    if (!same(x.fields[static_cast<std::size_t>(i)].layout, table.fields[static_cast<std::size_t>(secFields_[static_cast<std::size_t>(i)])].layout))
      throwCorrupt(xPath, "indexed field " + std::to_string(i + 1) + " does not match the table's field", hdr::kFieldsLong);
  for (int i = 0; i < pk; ++i)
    if (!same(x.fields[static_cast<std::size_t>(sec + i)].layout, table.fields[static_cast<std::size_t>(i)].layout))
      throwCorrupt(xPath, "the primary key fields in the index do not match the table's", hdr::kFieldsLong);
  if (x.fields.back().layout.code != kShort) throwCorrupt(xPath, "the index record does not end in Blk Num", hdr::kFieldsLong);
  for (const auto& f : x.fields) layouts_.push_back(f.layout);
  recordSize_ = x.recordSize;
  pkOffset_ = layouts_[static_cast<std::size_t>(sec)].offset;

  std::vector<KeyPart> parts;
  for (int i = 0; i < sec + pk; ++i) {
    const FieldLayout& l = layouts_[static_cast<std::size_t>(i)];
    KeyPart p;
    p.offset = l.offset;
    p.length = l.length;
    p.alpha = l.code == kAlpha;
    p.descending = i < sec && info_.descending;
    p.ignoreCase = i < sec && (x.direction & kDirCaseInsensitive);
    parts.push_back(p);
  }
  order_ = KeyOrder(std::move(parts), table.collation);

  if (yPath.empty()) {
    fail("its tree file (.Y" + xPath.substr(xPath.size() - 2) + ") is missing");
    damaged_ = true;
    return;
  }
  yFile_ = fs.open(yPath, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite);
  ParadoxHeader y = readParadoxHeader(*yFile_);
  if (y.fileType != (composite ? kCompositeIndexOfIndex : kSecondaryIndexOfIndex) ||
      y.recordSize != keyLength() + kIndexTail)
    throwCorrupt(yPath, "does not belong to " + xPath, hdr::kRecordSize);

  xChain_ = std::make_unique<BlockChain>(*xFile_, x.headerSize, x.blockSize(), x.recordSize);
  yChain_ = std::make_unique<BlockChain>(*yFile_, y.headerSize, y.blockSize(), y.recordSize);
  tree_ = std::make_unique<TreeIndex>(*yChain_, order_);
  store_ = std::make_unique<RecordStore>(*xChain_, tree_.get(), &order_);
  load(BlockIo());
}

void SecondaryIndex::load(const BlockIo& io) {
  if (!store_) return;
  xChain_->loadCounts(io);
  tree_->load(io);
}

void SecondaryIndex::clearReadCache() {
  if (xChain_) xChain_->clearReadCache();
  if (yChain_) yChain_->clearReadCache();
}

void SecondaryIndex::entryOf(const std::uint8_t* rec, std::uint16_t block, std::uint8_t* out) const {
  // Field i of the index copies the table field it indexes; the primary key is the table
  // record's leading bytes.
  for (std::size_t i = 0; i < secFields_.size(); ++i) std::memcpy(out + layouts_[i].offset, rec + tableOffsets_[i], layouts_[i].length);
  std::memcpy(out + pkOffset_, rec, keyLength() - pkOffset_);
  setHint(out, block);
}

std::uint16_t SecondaryIndex::hintOf(const std::uint8_t* entry) const { return decodeWord(entry + keyLength()); }

void SecondaryIndex::setHint(std::uint8_t* entry, std::uint16_t block) const { encodeWord(entry + keyLength(), block); }

void SecondaryIndex::bumpCounters(const BlockIo& io, int delta) {
  if (!store_) return;
  std::uint8_t b = 0;
  io.readExact(*xFile_, hdr::kChangeCount1, std::span<std::uint8_t>(&b, 1), "the header");
  b = static_cast<std::uint8_t>(b + delta);
  io.write(*xFile_, hdr::kChangeCount1, std::span<const std::uint8_t>(&b, 1));
  io.readExact(*yFile_, hdr::kIndexChange, std::span<std::uint8_t>(&b, 1), "the header");
  b = static_cast<std::uint8_t>(b + delta);
  io.write(*yFile_, hdr::kIndexChange, std::span<const std::uint8_t>(&b, 1));
}

void SecondaryIndex::mirrorAutoIncrement(const BlockIo& io, std::uint32_t value) {
  if (!store_) return;
  std::uint8_t b[4];
  putLe32(b, value);
  io.write(*xFile_, hdr::kAutoIncrement, b);
}

}  // namespace rf::tables::paradox

#include "tables/paradox_header.h"

#include <algorithm>
#include <cstring>

#include "tables/error.h"

namespace rf::tables::paradox {

namespace {

bool dataLikeType(std::uint8_t t) {
  return t == kKeyedDb || t == kUnkeyedDb || t == kSecondaryNonIncrementing || t == kSecondaryIncrementing ||
         t == kCompositeNonIncrementing || t == kCompositeIncrementing;
}

bool secondaryType(std::uint8_t t) {
  return t == kSecondaryNonIncrementing || t == kSecondaryIncrementing || t == kCompositeNonIncrementing ||
         t == kCompositeIncrementing;
}

std::size_t tableNameLength(std::uint8_t version) { return version >= 0x0C ? 261 : 79; }

// The size byte a fixed-size type must have; 0 when the size varies.
int fixedSize(std::uint8_t code) {
  switch (code) {
    case kDate: case kLong: case kTime: case kAutoIncrement: return 4;
    case kShort: return 2;
    case kMoney: case kNumber: case kTimestamp: return 8;
    case kLogical: return 1;
    default: return 0;
  }
}

constexpr std::uint32_t kFakeBase = 0x6BE00000;  // where the header would sit in the original's memory

}  // namespace

bool ParadoxHeader::isDataLike() const { return dataLikeType(fileType); }

bool ParadoxHeader::isIndexOfIndex() const {
  return fileType == kPrimaryIndex || fileType == kSecondaryIndexOfIndex || fileType == kCompositeIndexOfIndex;
}

ParadoxHeader readParadoxHeader(File& file) {
  const std::string& path = file.path();
  const std::uint64_t fileSize = file.size();
  if (fileSize < hdr::kFieldsShort) throwCorrupt(path, "the file is too short for a Paradox header", 0);

  ParadoxHeader h;
  std::uint8_t fixed[hdr::kFieldsLong] = {};
  std::size_t fixedLen = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, sizeof fixed));
  file.readExact(0, std::span<std::uint8_t>(fixed, fixedLen), "the header");
  h.fixed.assign(fixed, fixed + fixedLen);

  h.recordSize = le16(fixed + hdr::kRecordSize);
  h.headerSize = le16(fixed + hdr::kHeaderSize);
  h.fileType = fixed[hdr::kFileType];
  h.blockKb = fixed[hdr::kBlockSize];
  h.records = le32(fixed + hdr::kRecords);
  h.usedBlocks = le16(fixed + hdr::kUsedBlocks);
  h.fileBlocks = le16(fixed + hdr::kFileBlocks);
  h.firstBlock = le16(fixed + hdr::kFirstBlock);
  h.lastBlock = le16(fixed + hdr::kLastBlock);
  h.indexFieldNumber = fixed[hdr::kIndexFieldNumber];
  h.indexRoot = le16(fixed + hdr::kIndexRoot);
  h.indexLevels = fixed[hdr::kIndexLevels];
  h.numFields = le16(fixed + hdr::kNumFields);
  h.keyFields = le16(fixed + hdr::kKeyFields);
  h.sortOrder = fixed[hdr::kSortOrder];
  h.version = fixed[hdr::kVersion];
  h.autoIncrement = le32(fixed + hdr::kAutoIncrement);
  h.firstFree = le16(fixed + hdr::kFirstFreeBlock);
  h.direction = fixed[hdr::kIndexDirection];

  if (h.fileType > kCompositeIncrementing)
    throwCorrupt(path, "unknown Paradox file type " + std::to_string(h.fileType), hdr::kFileType);
  if (h.blockKb < 1 || h.blockKb > 32)
    throwCorrupt(path, "block size of " + std::to_string(h.blockKb) + " KB is not a Paradox block size",
                 hdr::kBlockSize);
  if (h.version < 3 || h.version > 15)
    throwCorrupt(path, "unknown Paradox file version " + std::to_string(h.version), hdr::kVersion);
  if (h.headerSize < hdr::kFieldsShort || h.headerSize > fileSize)
    throwCorrupt(path,
                 "header size " + std::to_string(h.headerSize) + " does not fit the file of " +
                     std::to_string(fileSize) + " bytes",
                 hdr::kHeaderSize);
  if (h.recordSize == 0 || h.recordSize + kBlockHeader > h.blockSize())
    throwCorrupt(path, "record size " + std::to_string(h.recordSize) + " does not fit a block", hdr::kRecordSize);
  if (h.numFields == 0 || h.numFields > 255)
    throwCorrupt(path, "field count " + std::to_string(h.numFields) + " is out of range", hdr::kNumFields);
  if (h.keyFields > h.numFields)
    throwCorrupt(path, "more key fields than fields", hdr::kKeyFields);

  const bool dataLike = h.isDataLike();
  const bool dataHeader = h.hasDataHeader();
  if (dataHeader && (fixedLen < hdr::kFieldsLong || h.headerSize < hdr::kFieldsLong))
    throwCorrupt(path, "the header is too short for its version", hdr::kHeaderSize);
  std::uint32_t encryption = dataHeader ? le32(fixed + hdr::kEncryption2) : le32(fixed + hdr::kEncryption1);
  if (encryption != 0)
    throwError(ErrorKind::Unsupported, path, "the table is encrypted (password protected); this engine cannot read it");
  if (dataHeader) h.codePage = le16(fixed + hdr::kCodePage);

  // The variable part: read once, bounded by the header size checked above.
  std::vector<std::uint8_t> all(h.headerSize);
  file.readExact(0, all, "the header");
  const std::size_t end = all.size();
  std::size_t pos = dataHeader ? hdr::kFieldsLong : hdr::kFieldsShort;
  if (pos + 2u * h.numFields > end) throwCorrupt(path, "the field list runs past the header", pos);

  std::uint32_t offset = 0;
  for (std::uint16_t i = 0; i < h.numFields; ++i, pos += 2) {
    HeaderField f;
    f.layout.code = all[pos];
    f.layout.size = all[pos + 1];
    std::string which = "field " + std::to_string(i + 1);
    if (!isKnownCode(f.layout.code))
      throwCorrupt(path, which + " has the unknown type code " + std::to_string(f.layout.code), pos);
    int fs = fixedSize(f.layout.code);
    bool badSize = fs ? f.layout.size != fs
                      : f.layout.code == kBcd ? f.layout.size > 32
                      : isBlobCode(f.layout.code) ? f.layout.size < kBlobDescriptor
                                                  : f.layout.size == 0;
    if (badSize)
      throwCorrupt(path, which + " of type " + std::string(1, letterOfCode(f.layout.code)) +
                             " has the impossible size " + std::to_string(f.layout.size), pos + 1);
    f.layout.length = static_cast<std::uint16_t>(fieldLength(f.layout.code, f.layout.size));
    f.layout.offset = offset;
    offset += f.layout.length;
    h.fields.push_back(std::move(f));
  }
  std::uint32_t expected = h.recordSize;
  if (h.isIndexOfIndex()) expected = h.recordSize < kIndexTail ? 0 : h.recordSize - static_cast<std::uint32_t>(kIndexTail);
  if (offset != expected)
    throwCorrupt(path,
                 "the fields take " + std::to_string(offset) + " bytes but the record size is " +
                     std::to_string(h.recordSize),
                 hdr::kRecordSize);

  pos += 4;
  if (dataLike) pos += 4u * h.numFields;
  std::size_t nameLen = tableNameLength(h.version);
  if (pos + nameLen > end) {
    // Some writers leave the name short in index files; only the data files must hold it all.
    if (dataLike) throwCorrupt(path, "the table name runs past the header", pos);
    nameLen = pos < end ? end - pos : 0;
  }
  {
    const char* s = reinterpret_cast<const char*>(all.data() + pos);
    h.tableName.assign(s, strnlen(s, nameLen));
  }
  pos += nameLen;

  if (dataLike) {
    for (auto& f : h.fields) {
      auto nul = std::find(all.begin() + static_cast<std::ptrdiff_t>(pos), all.end(), 0);
      if (nul == all.end()) throwCorrupt(path, "the field names run past the header", pos);
      f.rawName.assign(all.begin() + static_cast<std::ptrdiff_t>(pos), nul);
      pos = static_cast<std::size_t>(nul - all.begin()) + 1;
    }
    if (h.version >= 5) {
      if (pos + 2u * h.numFields > end) throwCorrupt(path, "the field numbers run past the header", pos);
      for (std::uint16_t i = 0; i < h.numFields; ++i, pos += 2) h.fieldNumbers.push_back(le16(&all[pos]));
      auto readString = [&](std::string& out) {
        auto nul = std::find(all.begin() + static_cast<std::ptrdiff_t>(std::min(pos, end)), all.end(), 0);
        out.assign(all.begin() + static_cast<std::ptrdiff_t>(std::min(pos, end)), nul);
        pos = static_cast<std::size_t>(nul - all.begin()) + 1;
      };
      readString(h.sortOrderName);
      if (secondaryType(h.fileType) && pos < end) readString(h.indexName);
    }
  }

  // Counts against the file: nothing later may trust a block number past the end. The original
  // engine may leave the last block of an index short (seen: a 2 KB block cut at 1 KB), so a
  // block counts as present when it starts inside the file.
  std::uint64_t room = (fileSize - h.headerSize + h.blockSize() - 1) / h.blockSize();
  if (h.fileBlocks > room)
    throwCorrupt(path,
                 "the header counts " + std::to_string(h.fileBlocks) + " blocks but the file holds " +
                     std::to_string(room),
                 hdr::kFileBlocks);
  if (h.usedBlocks > h.fileBlocks) throwCorrupt(path, "more blocks in use than in the file", hdr::kUsedBlocks);
  if (h.firstBlock > h.fileBlocks) throwCorrupt(path, "the first block lies past the end", hdr::kFirstBlock);
  if (h.lastBlock > h.fileBlocks) throwCorrupt(path, "the last block lies past the end", hdr::kLastBlock);
  if (h.firstFree > h.fileBlocks) throwCorrupt(path, "the first free block lies past the end", hdr::kFirstFreeBlock);
  std::uint64_t capacity = static_cast<std::uint64_t>(h.usedBlocks) * static_cast<std::uint64_t>(h.recordsPerBlock());
  if (h.records > capacity)
    throwCorrupt(path,
                 "the header counts " + std::to_string(h.records) + " records, more than " +
                     std::to_string(h.usedBlocks) + " blocks hold",
                 hdr::kRecords);
  if (h.isIndexOfIndex() && h.indexLevels > 0 && (h.indexRoot == 0 || h.indexRoot > h.fileBlocks))
    throwCorrupt(path, "the index root lies past the end", hdr::kIndexRoot);
  return h;
}

std::vector<std::uint8_t> buildParadoxHeader(const HeaderPlan& plan) {
  std::vector<std::uint8_t> h(plan.headerSize, 0);
  const std::uint8_t t = plan.fileType;
  const bool dataLike = dataLikeType(t);
  const bool indexOfIndex = t == kPrimaryIndex || t == kSecondaryIndexOfIndex || t == kCompositeIndexOfIndex;
  const bool dataHeader = dataLike && plan.version >= 5;
  const std::size_t n = plan.fields.size();
  std::uint32_t recordSize = 0;
  for (const auto& f : plan.fields) recordSize += f.layout.length;
  if (indexOfIndex) recordSize += kIndexTail;

  auto need = [&](std::size_t upTo) {
    if (upTo > h.size())
      throwError(ErrorKind::InvalidInput, plan.tableName, "the field names do not fit the table header");
  };
  need(hdr::kFieldsLong);
  putLe16(&h[hdr::kRecordSize], recordSize);
  putLe16(&h[hdr::kHeaderSize], plan.headerSize);
  h[hdr::kFileType] = t;
  h[hdr::kBlockSize] = plan.blockKb;
  putLe16(&h[hdr::kWord12], plan.word12);
  h[hdr::kIndexFieldNumber] = plan.indexFieldNumber;
  if (t == kKeyedDb) {
    putLe32(&h[0x16], kFakeBase - 100);
    putLe32(&h[0x1A], kFakeBase - 500);
  }
  if (indexOfIndex) putLe16(&h[hdr::kIndexRoot], 1);  // what the original writes for an empty index
  putLe16(&h[hdr::kNumFields], static_cast<std::uint32_t>(n));
  putLe16(&h[hdr::kKeyFields], plan.keyFields);
  if (dataHeader) putLe32(&h[hdr::kEncryption1], 0xFF00FF00u);
  h[hdr::kSortOrder] = plan.sortOrder;
  if (indexOfIndex) h[hdr::kIndexChange] = plan.changeCount;
  if (dataLike) {
    h[hdr::kChangeCount1] = plan.changeCount;
    h[hdr::kChangeCount2] = 1;
    h[0x3E] = 0x1F;
    h[0x3F] = 0x0F;
    h[0x56] = 0x20;
  }
  const std::size_t fieldsAt = dataHeader ? hdr::kFieldsLong : hdr::kFieldsShort;
  putLe32(&h[0x30], kFakeBase + static_cast<std::uint32_t>(fieldsAt + 2 * n));
  putLe32(&h[0x34], kFakeBase + static_cast<std::uint32_t>(fieldsAt));
  h[hdr::kVersion] = plan.version;
  h[hdr::kIndexDirection] = plan.direction;
  if (dataHeader) {
    putLe16(&h[hdr::kFileVersion2], 0x0100u | plan.version);
    putLe16(&h[hdr::kFileVersion3], 0x0100u | plan.version);
    putLe16(&h[hdr::kHiFieldId], static_cast<std::uint32_t>(n + 1));
    putLe16(&h[hdr::kCodePage], plan.codePage);
    h[0x6C] = 1;
    h[0x6D] = 1;
    if (t == kKeyedDb || t == kUnkeyedDb) putLe16(&h[0x70], 1);
  }

  std::size_t pos = fieldsAt;
  need(pos + 2 * n + 4);
  for (const auto& f : plan.fields) {
    h[pos++] = f.layout.code;
    h[pos++] = f.layout.size;
  }
  const std::size_t nameLen = tableNameLength(plan.version);
  std::uint32_t namesAt = kFakeBase + static_cast<std::uint32_t>(pos + 4 + (dataLike ? 4 * n : 0) + nameLen);
  putLe32(&h[pos], kFakeBase + static_cast<std::uint32_t>(pos + 4 + (dataLike ? 4 * n : 0)));
  pos += 4;
  if (dataLike) {
    need(pos + 4 * n);
    for (const auto& f : plan.fields) {
      putLe32(&h[pos], namesAt);
      namesAt += static_cast<std::uint32_t>(f.rawName.size() + 1);
      pos += 4;
    }
  }
  need(pos + nameLen);
  std::memcpy(&h[pos], plan.tableName.data(), std::min(plan.tableName.size(), nameLen - 1));
  pos += nameLen;
  if (dataLike) {
    for (const auto& f : plan.fields) {
      need(pos + f.rawName.size() + 1);
      std::memcpy(&h[pos], f.rawName.data(), f.rawName.size());
      pos += f.rawName.size() + 1;
    }
    if (plan.version >= 5) {
      need(pos + 2 * n);
      for (std::size_t i = 0; i < n; ++i, pos += 2)
        putLe16(&h[pos], i < plan.fieldNumbers.size() ? plan.fieldNumbers[i] : static_cast<std::uint32_t>(i + 1));
      need(pos + plan.sortOrderName.size() + 1);
      std::memcpy(&h[pos], plan.sortOrderName.data(), plan.sortOrderName.size());
      pos += plan.sortOrderName.size() + 1;
      if (secondaryType(t)) {
        need(pos + plan.indexName.size() + 1);
        std::memcpy(&h[pos], plan.indexName.data(), plan.indexName.size());
        pos += plan.indexName.size() + 1;
      }
    }
  }
  putLe16(&h[hdr::kRealHeaderSize], static_cast<std::uint32_t>(pos));
  if (dataHeader) putLe16(&h[0x66], static_cast<std::uint32_t>(pos - 0x58));
  return h;
}

}  // namespace rf::tables::paradox

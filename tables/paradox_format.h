#pragma once
// Fixed facts of the Paradox file family (.DB, .PX, .Xnn/.Ynn, .XGn/.YGn, .MB) that several parts
// of the engine share: field type codes, file types, header offsets and the byte order helpers.
//
// Control structures (headers, block headers, blob descriptors) are little-endian; field data
// inside records is big-endian with the sign bit flipped (see paradox_field_codec.h).

#include <cstdint>
#include <cstring>
#include <string>

#include "tables/schema.h"

namespace rf::tables::paradox {

// Field type codes as stored in the header's field list.
enum FieldCode : std::uint8_t {
  kAlpha = 0x01,
  kDate = 0x02,
  kShort = 0x03,
  kLong = 0x04,
  kMoney = 0x05,
  kNumber = 0x06,
  kLogical = 0x09,
  kMemo = 0x0C,
  kBinary = 0x0D,
  kFormattedMemo = 0x0E,
  kOle = 0x0F,
  kGraphic = 0x10,
  kTime = 0x14,
  kTimestamp = 0x15,
  kAutoIncrement = 0x16,
  kBcd = 0x17,
  kBytes = 0x18,
};

// File types at header offset 4.
enum FileType : std::uint8_t {
  kKeyedDb = 0,
  kPrimaryIndex = 1,
  kUnkeyedDb = 2,
  kSecondaryNonIncrementing = 3,  // .Xnn of a non-maintained index
  kSecondaryIndexOfIndex = 4,     // .Ynn
  kSecondaryIncrementing = 5,     // .Xnn of a maintained index
  kCompositeNonIncrementing = 6,  // .XGn, non-maintained
  kCompositeIndexOfIndex = 7,     // .YGn
  kCompositeIncrementing = 8,     // .XGn, maintained
};

// Header offsets (common part).
namespace hdr {
constexpr std::size_t kRecordSize = 0x00;
constexpr std::size_t kHeaderSize = 0x02;
constexpr std::size_t kFileType = 0x04;
constexpr std::size_t kBlockSize = 0x05;  // in KB
constexpr std::size_t kRecords = 0x06;
constexpr std::size_t kUsedBlocks = 0x0A;
constexpr std::size_t kFileBlocks = 0x0C;
constexpr std::size_t kFirstBlock = 0x0E;
constexpr std::size_t kLastBlock = 0x10;
constexpr std::size_t kWord12 = 0x12;
constexpr std::size_t kIndexFieldNumber = 0x15;
constexpr std::size_t kIndexRoot = 0x1E;
constexpr std::size_t kIndexLevels = 0x20;
constexpr std::size_t kNumFields = 0x21;
constexpr std::size_t kKeyFields = 0x23;
constexpr std::size_t kEncryption1 = 0x25;
constexpr std::size_t kSortOrder = 0x29;
constexpr std::size_t kIndexChange = 0x2C;   // .PX/.Ynn: follows the data file's 0x2D
constexpr std::size_t kChangeCount1 = 0x2D;  // data files
constexpr std::size_t kChangeCount2 = 0x2E;
constexpr std::size_t kVersion = 0x39;
constexpr std::size_t kMaxBlocks = 0x3A;
constexpr std::size_t kAutoIncrement = 0x49;  // the last value handed out
constexpr std::size_t kFirstFreeBlock = 0x4D;
constexpr std::size_t kRealHeaderSize = 0x51;
constexpr std::size_t kIndexDirection = 0x55;  // secondary .Xnn/.XGn: order flags
constexpr std::size_t kFileVersion2 = 0x58;    // data header of 4.x and later data files
constexpr std::size_t kFileVersion3 = 0x5A;
constexpr std::size_t kEncryption2 = 0x5C;
constexpr std::size_t kUpdateTime = 0x60;
constexpr std::size_t kHiFieldId = 0x64;
constexpr std::size_t kCodePage = 0x6A;
constexpr std::size_t kFieldsShort = 0x58;  // field list of 3.x tables and .PX/.Ynn files
constexpr std::size_t kFieldsLong = 0x78;   // field list of 4.x and later .DB/.Xnn files
}  // namespace hdr

// Secondary index order flags (header 0x55) as this engine reads and writes them.
constexpr std::uint8_t kDirCaseInsensitive = 0x01;
constexpr std::uint8_t kDirDescending = 0x10;
constexpr std::uint8_t kDirUnique = 0x20;

constexpr std::size_t kBlockHeader = 6;   // next, previous, add-data size
constexpr std::size_t kIndexTail = 6;     // block number, record count, 0 after the key of a .PX entry
constexpr std::size_t kBlobDescriptor = 10;
constexpr std::uint32_t kMaxBlocksInFile = 0xFFFF;

inline std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void putLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Bytes a field of `code` with header size byte `size` takes in a record (BCD is always 17).
int fieldLength(std::uint8_t code, std::uint8_t size);
bool isBlobCode(std::uint8_t code);
bool isKnownCode(std::uint8_t code);
// The Paradox type letter ('A', 'D', 'S', ...).
char letterOfCode(std::uint8_t code);
// Code of a letter; 0 when unknown.
std::uint8_t codeOfLetter(char letter);
FieldType fieldTypeOfCode(std::uint8_t code);
// Oldest file version id (header 0x39) that has the type.
int minimumVersionOfCode(std::uint8_t code);
// "Paradox 7" and the like for a version id.
std::string versionName(int versionId);

}  // namespace rf::tables::paradox

#pragma once
// The header of every file of the Paradox family.
//
// Layout: a fixed part to 0x58 (common to all files), a data part to 0x78 in .DB and .Xnn/.XGn
// files of version 4 and later, then sequentially: the field type/size pairs, a 4-byte pointer,
// 4-byte field name pointers (.DB and .Xnn/.XGn only), the table name (79 bytes; 261 in
// version 7), and in .DB and .Xnn/.XGn files the NUL-terminated field names, then (version 4
// and later) one 16-bit number per field and the NUL-terminated sort order name; a secondary
// index file ends with its NUL-terminated name.
//
// Found by experiment on real files: in a secondary index the field numbers list the table's
// 1-based field numbers of the indexed fields first, then the positions of the remaining fields
// of the index record (the primary key fields and "Blk Num"); a number may carry 0x8000 (seen
// on the field of a descending index). A single-field index has an empty name and is named by
// its file (.Xnn, nn the field number in hex) and header byte 0x15.

#include <cstdint>
#include <string>
#include <vector>

#include "tables/file_system.h"
#include "tables/paradox_field_codec.h"
#include "tables/paradox_format.h"

namespace rf::tables::paradox {

struct HeaderField {
  FieldLayout layout;
  std::string rawName;  // in the file's code page
};

struct ParadoxHeader {
  std::uint16_t recordSize = 0;
  std::uint16_t headerSize = 0;
  std::uint8_t fileType = 0;
  std::uint8_t blockKb = 0;
  std::uint32_t records = 0;
  std::uint16_t usedBlocks = 0;
  std::uint16_t fileBlocks = 0;
  std::uint16_t firstBlock = 0;
  std::uint16_t lastBlock = 0;
  std::uint16_t firstFree = 0;
  std::uint8_t indexFieldNumber = 0;
  std::uint16_t indexRoot = 0;
  std::uint8_t indexLevels = 0;
  std::uint16_t numFields = 0;
  std::uint16_t keyFields = 0;
  std::uint8_t sortOrder = 0;
  std::uint8_t version = 0;
  std::uint32_t autoIncrement = 0;
  std::uint8_t direction = 0;
  std::uint16_t codePage = 0;  // 0 when the file has none
  std::vector<HeaderField> fields;
  std::string tableName;
  std::vector<std::uint16_t> fieldNumbers;
  std::string sortOrderName;
  std::string indexName;
  std::vector<std::uint8_t> fixed;  // the first 0x78 bytes (or fewer) as read

  std::uint32_t blockSize() const { return static_cast<std::uint32_t>(blockKb) * 1024u; }
  bool isDataLike() const;  // .DB or .Xnn/.XGn: records with field names
  bool hasDataHeader() const { return isDataLike() && version >= 5; }
  bool isIndexOfIndex() const;  // .PX, .Ynn, .YGn
  int recordsPerBlock() const { return static_cast<int>((blockSize() - kBlockHeader) / recordSize); }
};

// Reads and checks the header of `file` (Corrupt naming the file and offset when malformed,
// Unsupported when encrypted). Allocates nothing sized by an unchecked field.
ParadoxHeader readParadoxHeader(File& file);

// What a new file's header is made of; everything else is derived.
struct HeaderPlan {
  std::uint8_t fileType = kUnkeyedDb;
  std::uint8_t version = 0x0C;
  std::uint8_t blockKb = 4;
  std::uint16_t headerSize = 0x800;
  std::uint16_t keyFields = 0;
  std::uint8_t sortOrder = 0;
  std::string sortOrderName = "ascii";
  std::uint16_t codePage = 1252;
  std::vector<HeaderField> fields;  // layouts and names (names unused for .PX/.Ynn)
  std::string tableName;            // e.g. "INVEN.DB"
  std::vector<std::uint16_t> fieldNumbers;  // empty: 1..n
  std::string indexName;
  std::uint8_t indexFieldNumber = 0;
  std::uint8_t direction = 0;
  std::uint16_t word12 = 3;
  std::uint8_t changeCount = 2;
};
// The header block of a new, empty file. Throws InvalidInput when it does not fit headerSize.
std::vector<std::uint8_t> buildParadoxHeader(const HeaderPlan& plan);

}  // namespace rf::tables::paradox

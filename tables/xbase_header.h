#pragma once
// The .DBF header and field descriptors of dBASE III/IV/7, FoxPro 2.x and Visual FoxPro.

#include <cstdint>
#include <string>
#include <vector>

#include "tables/file_system.h"
#include "tables/schema.h"

namespace rf::tables {

struct XbaseHeader {
  std::uint8_t version = 0x03;
  int updateYear = 0, updateMonth = 1, updateDay = 1;  // as read (year normalised to 4 digits)
  std::uint32_t recordCount = 0;
  std::uint16_t headerLength = 0;
  std::uint16_t recordLength = 0;
  std::uint8_t flags = 0;           // byte 28: 0x01 production MDX / structural CDX, 0x02 memo (VFP)
  std::uint8_t languageDriver = 0;  // byte 29
  bool level7 = false;              // dBASE 7: 48-byte descriptors
  bool foxpro = false;              // FoxPro / Visual FoxPro family (by version or declaration)
  bool visualFoxPro = false;        // 0x30-0x32: 4-byte memo pointers, backlink
  std::vector<FieldDef> fields;

  bool hasMemoFields() const;
  std::string versionName() const;

  // Reads and validates the header of `file` (record length against the fields, header length
  // and record count against the file size). `foxproDeclared`: the table was declared FoxPro.
  static XbaseHeader read(File& file, bool foxproDeclared);
  // The bytes of the header for a new table (with terminator, backlink and EOF handling left to
  // the caller).
  std::vector<std::uint8_t> encode() const;
};

// The record count and last-update date, bytes 1-7, for a header rewritten on every save.
std::vector<std::uint8_t> encodeCountAndDate(std::uint32_t recordCount);

}  // namespace rf::tables

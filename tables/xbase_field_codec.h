#pragma once
// Field values inside an xBase record image: decoding to Value and encoding from it, memo block
// pointers, and Visual FoxPro's null flags.

#include <cstdint>
#include <string_view>
#include <vector>

#include "tables/codepage.h"
#include "tables/value.h"
#include "tables/xbase_header.h"

namespace rf::tables {

class XbaseFieldCodec {
 public:
  XbaseFieldCodec(const XbaseHeader& header, const CodePage& codePage, std::string path);

  bool isBlob(int field) const;
  // A value stored in the record (not a memo/binary field).
  Value decode(const std::uint8_t* record, int field) const;
  // Stores `v` in the record image. Throws InvalidInput for a value the field cannot hold.
  void encode(std::uint8_t* record, int field, const Value& v) const;

  // Memo/binary fields: the block the record points at, 0 for none.
  std::uint32_t memoBlock(const std::uint8_t* record, int field) const;
  void setMemoBlock(std::uint8_t* record, int field, std::uint32_t block) const;

  bool isNull(const std::uint8_t* record, int field) const;
  void setNull(std::uint8_t* record, int field, bool null) const;

  // A record image with every field blank (live).
  std::vector<std::uint8_t> blankRecord() const;

 private:
  const XbaseHeader& h_;
  const CodePage& cp_;
  std::string path_;
  int nullFlagsField_ = -1;
  std::vector<int> nullBit_;  // per field: bit in _NullFlags, or -1
};

}  // namespace rf::tables

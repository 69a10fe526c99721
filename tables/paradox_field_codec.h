#pragma once
// Field data of Paradox records: how each type is stored and how it maps to a Value.
//
// Numbers (Short, Long, Autoincrement, Date, Time) are big-endian with the sign bit flipped, so
// that the stored bytes sort like the values and all-zero bytes mean blank. Doubles (Number,
// Money, Timestamp) set the sign bit of a value >= 0 and invert every byte of a negative one.
// Dates count days with 0001-01-01 = 1; a Timestamp counts milliseconds on the same base; a Time
// counts milliseconds since midnight. Logical: 0x80 false, 0x81 true, 0 blank.
//
// BCD (17 bytes, found by experiment on real files): byte 0 holds 0x80 for a value >= 0, a
// constant 0x40 and the number of decimals in its low six bits; 32 digit nibbles follow, most
// significant first, the last `decimals` of them after the decimal point; a negative value
// stores every nibble as 15 - digit. All 17 bytes zero are blank. Writers leave noise nibbles
// (values above 9) past the precision of a double; they are ignored.

#include <cstdint>
#include <optional>
#include <string>

#include "tables/codepage.h"
#include "tables/value.h"

namespace rf::tables::paradox {

struct FieldLayout {
  std::uint8_t code = 0;
  std::uint8_t size = 0;     // the header's size byte (BCD: decimals)
  std::uint16_t length = 0;  // bytes in the record
  std::uint32_t offset = 0;  // within the record
};

bool allZero(const std::uint8_t* p, std::size_t n);

void encodeInt(std::uint8_t* p, std::int64_t v, int bytes);
std::int64_t decodeInt(const std::uint8_t* p, int bytes);
void encodeDouble(std::uint8_t* p, double v);
double decodeDouble(const std::uint8_t* p);
// nullopt for blank.
std::optional<double> decodeBcd(const std::uint8_t* p);
// False when the value does not fit 32 - decimals integer digits.
bool encodeBcd(std::uint8_t* p, double v, int decimals);

constexpr std::int64_t kMsPerDay = 86400000;

// Reference to a blob kept in a record: the 10 bytes after the leader.
struct BlobRef {
  std::uint32_t offset = 0;  // .MB offset with the slot index in the low byte; 0: in the leader
  std::uint32_t length = 0;
  std::uint16_t mod = 0;
  bool inLeader() const { return offset == 0; }
};
BlobRef readBlobRef(const std::uint8_t* field, int fieldLength);
void writeBlobRef(std::uint8_t* field, int fieldLength, const BlobRef& ref);

class FieldCodec {
 public:
  FieldCodec(const CodePage& cp, std::string path) : cp_(cp), path_(std::move(path)) {}

  // The value of a non-blob field of record `rec`.
  Value decode(const FieldLayout& f, const std::uint8_t* rec) const;
  // Stores `v` into a non-blob field; text is cut to the width, values the field cannot hold
  // throw InvalidInput naming `name`.
  void encode(const FieldLayout& f, std::uint8_t* rec, const Value& v, const std::string& name) const;

  std::string textOf(const std::uint8_t* p, std::size_t n) const;
  // UTF-8 text to code page bytes cut to `width` characters' worth of bytes.
  std::string bytesOf(const std::string& utf8, std::size_t width, const std::string& name) const;
  const CodePage& codePage() const { return cp_; }

 private:
  const CodePage& cp_;
  std::string path_;
};

}  // namespace rf::tables::paradox

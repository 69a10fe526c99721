#pragma once
// The order of Paradox keys.
//
// Every field type but Alpha is stored so that its bytes sort like its values (see
// paradox_field_codec.h), so those compare byte by byte. Alpha fields follow the table's sort
// order: "ascii" compares the code page bytes. The other orders ("intl", "ANSII850", "ANSIINTL",
// "DBWINUS0", ...) are dictionary orders whose exact tables are not published; this engine
// approximates them by comparing letters without regard to case or accents first (punctuation,
// then digits, then letters), and the bytes second. New tables are written in "ascii" order, so
// the approximation only matters for keyed tables brought in with another order; check()
// reports keys that are out of this order.

#include <cstdint>
#include <string>
#include <vector>

#include "tables/codepage.h"

namespace rf::tables::paradox {

class Collation {
 public:
  // `binary` for the "ascii" order.
  Collation(const CodePage& cp, bool binary);
  static bool isBinaryOrder(const std::string& sortOrderName);

  // Compares two Alpha fields of `n` bytes. `ignoreCase` for case-insensitive secondary indexes.
  int compare(const std::uint8_t* a, const std::uint8_t* b, std::size_t n, bool ignoreCase) const;
  bool binary() const { return binary_; }

 private:
  bool binary_;
  std::uint16_t weight_[256];  // case- and accent-free weight
  std::uint8_t upper_[256];
};

struct KeyPart {
  std::uint32_t offset = 0;
  std::uint16_t length = 0;
  bool alpha = false;
  bool descending = false;
  bool ignoreCase = false;
};

// The leading fields of a record (or of an index entry) that form its key.
class KeyOrder {
 public:
  KeyOrder() = default;
  KeyOrder(std::vector<KeyPart> parts, const Collation* collation);

  std::size_t length() const { return length_; }
  std::size_t partCount() const { return parts_.size(); }
  const std::vector<KeyPart>& parts() const { return parts_; }
  // Compares the first `parts` parts of two keys (all when parts exceeds the count).
  int compare(const std::uint8_t* a, const std::uint8_t* b, std::size_t parts = 1000) const;

 private:
  std::vector<KeyPart> parts_;
  const Collation* collation_ = nullptr;
  std::size_t length_ = 0;
};

}  // namespace rf::tables::paradox

#pragma once
// The stored form of CDX keys. Text is padded with spaces; numbers and dates are 8-byte
// big-endian doubles (dates as the Julian day) with the sign bit set for values >= 0 and every
// bit inverted for negative ones; 4-byte keys (Visual FoxPro integer fields) are the big-endian
// integer with its sign bit flipped. All of these sort correctly bytewise. A tag over a nullable
// field prefixes each key with a marker byte (0x80 for a value).
//
// The file does not record a tag's key type, yet leaves need it: the trailing bytes a leaf drops
// are spaces for text and zero bytes for the binary encodings.

#include <string>
#include <string_view>
#include <vector>

#include "tables/key_expression.h"

namespace rf::tables::cdx {

struct KeyShape {
  char type = 'C';  // 'C', 'N', 'D'
  int keyLength = 0;
  bool nullable = false;
  int valueLength() const { return keyLength - (nullable ? 1 : 0); }
};

inline char fillFor(char type) { return type == 'C' ? ' ' : '\0'; }

// Throws InvalidInput (NaN, a fraction or an overflow for an integer key) or Unsupported (a
// numeric key length the format does not define), naming `path` and `tag`.
std::string encodeKey(const KeyShape& shape, const KeyValue& value, const std::string& path,
                      const std::string& tag);

// A guess at the key type from the expression and from sample keys (the bytes each key stores
// before its trailing filler, null marker removed). Used when opening a file; the engine's own
// evaluation of the expression corrects it through encode().
char inferKeyType(std::string_view expression, int valueLength,
                  const std::vector<std::string>& samples);

}  // namespace rf::tables::cdx

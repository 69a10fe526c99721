#pragma once
// The order of character keys in an MDX: dBASE keeps them in the order of the table's language
// driver, a weight for each byte compared byte by byte. Drivers not listed (0, the 'ascii'
// DBWINUS0 = 0x57, DB437US0, DB850US0, ...) order by the bytes themselves.

#include <cstdint>

namespace rf::tables::mdx {

// 256 weights, or nullptr for byte order.
const std::uint8_t* collationWeights(std::uint8_t languageDriver);
// The driver's name ("DBWINWE0"), or nullptr when it orders by bytes.
const char* collationName(std::uint8_t languageDriver);

}  // namespace rf::tables::mdx

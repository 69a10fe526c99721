#pragma once
// CRC-32 (IEEE), for the journal's record checksums.

#include <cstddef>
#include <cstdint>

namespace rf::tables {

std::uint32_t crc32(const std::uint8_t* data, std::size_t n, std::uint32_t seed = 0);

}  // namespace rf::tables

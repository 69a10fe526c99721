#include "tables/crc32.h"

#include <array>

namespace rf::tables {

namespace {
std::array<std::uint32_t, 256> makeTable() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}
}  // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t n, std::uint32_t seed) {
  static const auto table = makeTable();
  std::uint32_t c = ~seed;
  for (std::size_t i = 0; i < n; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return ~c;
}

}  // namespace rf::tables

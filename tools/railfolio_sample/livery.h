#pragma once
// The colours a railroad's equipment is painted in, for the paint field and the drawn photos.

#include <cstdint>
#include <string>

namespace rf::sample {

struct Livery {
  std::string name;         // what goes into I_PAINT (at most 20 characters)
  std::uint32_t body = 0;   // 0xRRGGBB
  std::uint32_t accent = 0;
  std::uint32_t lettering = 0;
};

// Locomotives, passenger cars and cabooses carry the road's own scheme; freight cars the common
// freight colours (reefers yellow, tank cars black). A mark without a known scheme gets a plain
// one picked from its letters, so a road always looks the same.
Livery liveryFor(const std::string& reportingMark, int equipmentType, const std::string& carClass);

}  // namespace rf::sample

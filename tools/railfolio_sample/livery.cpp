#include "tools/railfolio_sample/livery.h"

#include <array>

namespace rf::sample {

namespace {

struct RoadScheme {
  const char* mark;
  Livery scheme;
};

// Well-known schemes of the seeded roads, by their usual names.
const std::array<RoadScheme, 20> kRoadSchemes{{
    {"ATSF", {"Warbonnet", 0xB22222, 0xC0C0C0, 0xFFD700}},
    {"UP", {"Armour Yellow", 0xF2C318, 0x8A8D8F, 0xC8102E}},
    {"SP", {"Bloody Nose", 0x6E6E6E, 0xD2391E, 0xFFFFFF}},
    {"BN", {"Cascade Green", 0x2E6B3A, 0xF2F2F2, 0xFFFFFF}},
    {"BNSF", {"Heritage II", 0xF36F21, 0x3C3C3C, 0xF2C318}},
    {"PRR", {"Brunswick Green", 0x1F3B2B, 0xC9A227, 0xC9A227}},
    {"NYC", {"Lightning Stripe", 0x3C3F42, 0xA8A8A8, 0xFFFFFF}},
    {"CN", {"Zebra Stripe", 0x1A1A1A, 0xE03C31, 0xFFFFFF}},
    {"CP", {"Action Red", 0xC8102E, 0x4D4D4D, 0xFFFFFF}},
    {"CSXT", {"Bright Future", 0x1D3C6E, 0xF2C318, 0xFFFFFF}},
    {"NS", {"Thoroughbred", 0x141414, 0xFFFFFF, 0xFFFFFF}},
    {"CR", {"Conrail Blue", 0x1B4F9C, 0xFFFFFF, 0xFFFFFF}},
    {"GN", {"Empire Builder", 0xE86B1F, 0x1E4D2B, 0xF2C318}},
    {"MILW", {"Orange and Black", 0xE36C1D, 0x1A1A1A, 0xFFFFFF}},
    {"CNW", {"Yellow and Green", 0xF2C318, 0x2E6B3A, 0x1A1A1A}},
    {"DRGW", {"Black Widow", 0x1A1A1A, 0xC0C0C0, 0xF2A900}},
    {"BO", {"Royal Blue", 0x1F3D7A, 0x9FA6AD, 0xFFFFFF}},
    {"CO", {"Enchanted Blue", 0x1C3F8C, 0xF2C318, 0xF2C318}},
    {"AMTK", {"Phase III", 0xC0C0C0, 0x1D3C6E, 0xC8102E}},
    {"MEC", {"Harvest Gold", 0xD9A521, 0x2E6B3A, 0x2E6B3A}},
}};

const std::array<Livery, 5> kFreightSchemes{{
    {"Boxcar red", 0x7B2D1F, 0x5A1F14, 0xFFFFFF},
    {"Mineral red", 0x8B3A2A, 0x5A1F14, 0xFFFFFF},
    {"Black", 0x202020, 0x3A3A3A, 0xFFFFFF},
    {"Grey", 0x8A8D8F, 0x5C5F61, 0x1A1A1A},
    {"Reefer yellow", 0xE8B923, 0x7B2D1F, 0x1A1A1A},
}};

const std::array<Livery, 6> kPlainSchemes{{
    {"Maroon", 0x6B1E2E, 0xD9A521, 0xFFFFFF},
    {"Pullman green", 0x2F3B2A, 0xB5A264, 0xFFFFFF},
    {"Blue and grey", 0x2B4C7E, 0x9FA6AD, 0xFFFFFF},
    {"Red and silver", 0xA31F24, 0xC0C0C0, 0xFFFFFF},
    {"Green and yellow", 0x2E6B3A, 0xF2C318, 0xFFFFFF},
    {"Black and white", 0x1A1A1A, 0xF2F2F2, 0xFFFFFF},
}};

std::size_t letterSum(const std::string& s) {
  std::size_t sum = 0;
  for (unsigned char c : s) sum = sum * 31 + c;
  return sum;
}

}  // namespace

Livery liveryFor(const std::string& reportingMark, int equipmentType, const std::string& carClass) {
  const std::size_t h = letterSum(reportingMark);
  if (equipmentType == 1) {
    if (carClass == "RS" || carClass == "RP") return kFreightSchemes[4];
    if (carClass == "TM") return kFreightSchemes[2];
    return kFreightSchemes[h % 4];
  }
  for (const auto& road : kRoadSchemes)
    if (reportingMark == road.mark) return road.scheme;
  return kPlainSchemes[h % kPlainSchemes.size()];
}

}  // namespace rf::sample

#include "tools/railfolio_sample/piece_maker.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tools/railfolio_sample/sample_options.h"

namespace rf::sample {

struct PieceMaker::Kind {
  int eqType;
  const char* category;
  const char* carClass;
  const char* description;  // at most 20 characters: I_DESC
  double prototypeFeet;
  double costLow, costHigh;  // in dollars, for an HO model; other scales scale it
  double weight;             // how often the kind turns up
};

namespace {

// Prototype lengths are over the couplers, rounded; prices are the usual range for a
// ready-to-run HO model.
const std::array<PieceMaker::Kind, 26>& allKinds();

struct ScaleFacts {
  const char* code;
  double ratio;
  double share;      // how much of a typical collection is in this scale
  double priceFactor;
};

const std::array<ScaleFacts, 12> kScales{{
    {"HO", 87.1, 50, 1.0}, {"N", 160, 22, 0.9},   {"O", 48, 8, 2.5},     {"S", 64, 3, 1.8},
    {"G", 22.5, 4, 4.0},   {"Z", 220, 2, 1.6},    {"TT", 120, 1, 1.1},   {"OO", 76.2, 3, 1.0},
    {"HOn3", 87.1, 3, 2.2}, {"Sn3", 64, 1, 2.6}, {"On30", 48, 2, 1.7},  {"1", 32, 1, 5.0},
}};

const ScaleFacts* factsOf(const std::string& scale) {
  for (const auto& f : kScales)
    if (scale == f.code) return &f;
  return nullptr;
}

// Which scales a maker is known for; the first scale fits best.
struct MakerScales {
  const char* code;
  const char* scales;  // blank-separated
};
const std::array<MakerScales, 27> kMakerScales{{
    {"ACCURAIL", "HO"},        {"ARISTO-CRAFT", "G"},      {"ATHEARN", "HO N"},
    {"ATLAS", "HO N O"},       {"BACHMANN", "HO N On30 G"}, {"BOWSER", "HO"},
    {"BROADWAY", "HO N S"},    {"FLEISCHMANN", "HO N"},    {"HORNBY", "OO"},
    {"INTERMOUNTAIN", "HO N"}, {"KADEE", "HO"},            {"KATO", "N HO"},
    {"LGB", "G"},              {"LIFE-LIKE", "HO N"},      {"LIONEL", "O S"},
    {"MARKLIN", "HO Z 1"},     {"MICRO-TRAINS", "N Z"},    {"MTH", "O HO"},
    {"OVERLAND", "HO HOn3 Sn3"}, {"PIKO", "HO G TT"},      {"RAPIDO", "HO N"},
    {"RIVAROSSI", "HO"},       {"ROCO", "HO TT"},          {"SCALETRAINS", "HO N"},
    {"TRIX", "HO N"},          {"USA TRAINS", "G"},        {"WALTHERS", "HO"},
}};

bool makerFits(const std::string& maker, const std::string& scale) {
  for (const auto& m : kMakerScales) {
    if (maker != m.code) continue;
    std::string list = std::string(" ") + m.scales + " ";
    return list.find(" " + scale + " ") != std::string::npos;
  }
  return false;
}

const std::array<const char*, 14> kRemarks{{
    "Weathered by the owner", "Metal wheelsets fitted", "Body-mounted couplers",
    "DCC decoder installed", "Sound decoder installed", "Custom painted and lettered",
    "Repainted by a previous owner", "Detail parts added", "Original box included",
    "Needs new couplers", "Runs smoothly", "Kitbashed from two models",
    "Limited run", "Bought at a train show",
}};

bool contains(const std::vector<std::string>& list, const char* key) {
  return std::find(list.begin(), list.end(), key) != list.end();
}

// Marks of companies that own cars but run no trains, and of passenger-only roads.
const std::array<const char*, 4> kCarOwners{{"TTX", "GATX", "UTLX", "PFE"}};
const std::array<const char*, 2> kPassengerOnly{{"AMTK", "VIA"}};

template <std::size_t n>
bool oneOf(const std::string& mark, const std::array<const char*, n>& marks) {
  for (const char* m : marks)
    if (mark == m) return true;
  return false;
}

double cents(double v) { return std::round(v * 100) / 100; }
double tenths(double v) { return std::round(v * 10) / 10; }

tables::Date dateFromDays(std::int64_t days) { return tables::civilFromDays(days); }

}  // namespace

namespace {
const std::array<PieceMaker::Kind, 26>& allKinds() {
  static const std::array<PieceMaker::Kind, 26> kinds{{
      {0, "DIESEL", "ROAD", "GP9 road switcher", 56, 60, 180, 5},
      {0, "DIESEL", "ROAD", "SD40-2 diesel", 68, 90, 250, 4},
      {0, "DIESEL", "ROAD", "F7A cab unit", 51, 70, 220, 3},
      {0, "DIESEL", "ROAD", "ES44AC diesel", 74, 120, 300, 2},
      {0, "DIESEL", "SWITCHER", "SW1500 switcher", 45, 50, 160, 2},
      {0, "STEAM", "ROAD", "2-8-2 Mikado", 80, 150, 450, 2},
      {0, "STEAM", "ROAD", "4-8-4 Northern", 100, 200, 600, 1},
      {0, "STEAM", "SWITCHER", "0-6-0 switcher", 50, 90, 300, 1},
      {0, "ELECTRIC", "ROAD", "GG1 electric", 80, 150, 400, 1},
      {1, "FREIGHT", "XM", "40 ft boxcar", 44, 12, 40, 10},
      {1, "FREIGHT", "XM", "50 ft boxcar", 55, 15, 45, 7},
      {1, "FREIGHT", "XML", "50 ft boxcar, DF", 55, 18, 48, 3},
      {1, "FREIGHT", "RS", "40 ft reefer", 44, 15, 45, 5},
      {1, "FREIGHT", "RP", "57 ft mech. reefer", 62, 25, 55, 2},
      {1, "FREIGHT", "FM", "53 ft flat car", 58, 12, 35, 4},
      {1, "FREIGHT", "GB", "52 ft gondola", 57, 12, 38, 4},
      {1, "FREIGHT", "HT", "2-bay hopper", 37, 12, 35, 6},
      {1, "FREIGHT", "LO", "3-bay covered hopper", 58, 15, 45, 5},
      {1, "FREIGHT", "TM", "8,000 gal tank car", 40, 15, 45, 4},
      {1, "FREIGHT", "SM", "40 ft stock car", 44, 15, 40, 2},
      {2, "PASSENGR", "COACH", "85 ft coach", 85, 35, 120, 4},
      {2, "PASSENGR", "SLEEPER", "10-6 sleeper", 85, 40, 130, 2},
      {2, "PASSENGR", "DINER", "Dining car", 85, 40, 130, 1},
      {2, "PASSENGR", "BAGGAGE", "Baggage car", 73, 30, 110, 1},
      {3, "CABOOSE", "NE", "Cupola caboose", 36, 20, 60, 3},
      {3, "MOW", "MW", "Work train crane", 50, 30, 90, 1},
  }};
  return kinds;
}
}  // namespace

PieceMaker::PieceMaker(const SeedLists& seeds, SampleRandom& random) : seeds_(seeds), random_(random) {
  for (const auto& k : allKinds()) {
    bool known = (seeds.categories.empty() || contains(seeds.categories, k.category)) &&
                 (seeds.classes.empty() || contains(seeds.classes, k.carClass));
    if (!known) continue;
    kinds_.push_back(&k);
    kindWeights_.push_back(k.weight);
  }
  if (kinds_.empty())
    throw SampleUsageError("INVCAT.DBF and CLASS.DBF share no category and class the generator knows");
}

const PieceMaker::Kind& PieceMaker::pickKind() { return *kinds_[random_.weighted(kindWeights_)]; }

std::string PieceMaker::pickMark(const Kind& kind) {
  // Tank cars, reefers and flat cars often belong to the car companies; a railroad's own
  // equipment carries its mark; passenger-only roads own no freight cars.
  const std::string carClass = kind.carClass;
  const char* owner = nullptr;
  if (carClass == "TM") owner = random_.chance(0.5) ? "GATX" : "UTLX";
  else if (carClass == "RS" || carClass == "RP") owner = "PFE";
  else if (carClass == "FM" || carClass == "FC") owner = "TTX";
  if (owner && random_.chance(0.4) && contains(seeds_.railroads, owner)) return owner;
  std::vector<const std::string*> roads;
  for (const auto& m : seeds_.railroads) {
    if (oneOf(m, kCarOwners)) continue;
    if (kind.eqType == 1 && oneOf(m, kPassengerOnly)) continue;
    roads.push_back(&m);
  }
  if (roads.empty()) return random_.pick(seeds_.railroads);
  return *roads[random_.below(roads.size())];
}

std::string PieceMaker::pickScale() {
  std::vector<double> weights;
  for (const auto& s : seeds_.scales) {
    const ScaleFacts* f = factsOf(s);
    weights.push_back(f ? f->share : 1.0);
  }
  return seeds_.scales[random_.weighted(weights)];
}

const Manufacturer& PieceMaker::pickManufacturer(const std::string& scale) {
  std::vector<double> weights;
  bool any = false;
  for (const auto& m : seeds_.manufacturers) {
    bool fits = makerFits(m.code, scale);
    any = any || fits;
    weights.push_back(fits ? 1.0 : 0.0);
  }
  if (!any) return random_.pick(seeds_.manufacturers);
  return seeds_.manufacturers[random_.weighted(weights)];
}

std::string PieceMaker::pickCoupler(const std::string& scale, int eqType) {
  if (seeds_.couplers.empty()) return {};
  const char* preferred = nullptr;
  if (scale == "N" || scale == "Z") preferred = random_.chance(0.7) ? "MT1015" : "RAPIDO";
  else if (scale == "O" || scale == "S" || scale == "1") preferred = "LIONEL";
  else if (scale == "G") preferred = random_.chance(0.5) ? "KADEE5" : "HORNHOOK";
  else if (eqType == 0) preferred = random_.chance(0.6) ? "KADEE5" : "MCHENRY";
  else {
    static const std::array<const char*, 5> ho{{"KADEE5", "KADEE58", "KADEE148", "MCHENRY", "ACCUMATE"}};
    preferred = random_.chance(0.1) ? "HORNHOOK" : ho[random_.below(ho.size())];
  }
  if (contains(seeds_.couplers, preferred)) return preferred;
  return random_.pick(seeds_.couplers);
}

std::string PieceMaker::pickTrucks(const Kind& kind) {
  if (seeds_.trucks.empty()) return {};
  const char* preferred = nullptr;
  switch (kind.eqType) {
    case 0:
      if (std::string(kind.category) != "DIESEL") return {};
      preferred = kind.prototypeFeet > 60 ? "FLEXICOIL" : "BLOMBERG";
      break;
    case 2: preferred = random_.chance(0.5) ? "PULLMAN6" : "GSC4"; break;
    default: {
      static const std::array<const char*, 5> freight{{"BETTEND", "ASF-A3", "BARBER-S2", "ROLLER", "ARCHBAR"}};
      preferred = freight[random_.weighted({5, 3, 3, 4, 1})];
    }
  }
  if (contains(seeds_.trucks, preferred)) return preferred;
  return random_.pick(seeds_.trucks);
}

Piece PieceMaker::make(double asset) {
  Piece p;
  const Kind& kind = pickKind();
  p.asset = asset;
  p.eqType = kind.eqType;
  p.category = kind.category;
  p.carClass = kind.carClass;
  p.description = kind.description;
  p.mark = pickMark(kind);
  p.livery = liveryFor(p.mark, p.eqType, p.carClass);
  p.paint = p.livery.name;
  const bool loco = p.eqType == 0;
  p.roadNumber = std::to_string(loco ? random_.between(100, 9999) : random_.between(1000, 999999));
  p.scale = pickScale();
  const ScaleFacts* scale = factsOf(p.scale);
  const double ratio = scale ? scale->ratio : 87.1;
  const double priceFactor = scale ? scale->priceFactor : 1.0;

  const Manufacturer& maker = pickManufacturer(p.scale);
  p.manufacturer = maker.code;
  p.manufacturerName = maker.name.empty() ? maker.code : maker.name;
  p.manufacturerNumber = std::to_string(random_.between(1000, 99999));
  const bool brass = (p.scale == "HO" || p.scale == "HOn3" || p.scale == "Sn3") && random_.chance(0.04);
  p.subCategory = brass ? "BRASS" : random_.chance(0.15) ? "KIT" : "RTR";
  if (brass) {
    for (const auto& m : seeds_.manufacturers)
      if (m.code == "OVERLAND") p.importer = m.code;
  }

  // Acquired 1980-2025, valued some time after, never past mid-2026.
  const std::int64_t from = tables::daysFromCivil(tables::Date{std::chrono::year{1980}, std::chrono::January, std::chrono::day{1}});
  const std::int64_t to = tables::daysFromCivil(tables::Date{std::chrono::year{2025}, std::chrono::December, std::chrono::day{31}});
  const std::int64_t lastValued = tables::daysFromCivil(tables::Date{std::chrono::year{2026}, std::chrono::June, std::chrono::day{30}});
  const std::int64_t acquired = from + static_cast<std::int64_t>(random_.below(static_cast<std::uint64_t>(to - from + 1)));
  p.acquired = dateFromDays(acquired);
  p.valued = dateFromDays(std::min(lastValued, acquired + random_.between(0, 15 * 365)));

  double cost = random_.between(kind.costLow, kind.costHigh) * priceFactor * (brass ? 3.0 : 1.0);
  if (p.subCategory == "KIT") cost *= 0.6;
  p.cost = cents(cost);
  // Most pieces keep about their price; collectors' pieces gain, worn ones lose.
  double factor = random_.chance(0.1) ? random_.between(1.5, 3.0) : random_.between(0.6, 1.3);
  p.value = random_.chance(0.03) ? p.cost : cents(p.cost * factor);

  static const std::vector<double> conditionWeights{3, 2, 5, 5, 4, 2, 1, 0.5, 0.5};
  std::vector<double> cw;
  for (std::size_t i = 0; i < seeds_.conditions.size(); ++i) cw.push_back(i < conditionWeights.size() ? conditionWeights[i] : 1.0);
  p.condition = seeds_.conditions[random_.weighted(cw)];
  p.location = random_.pick(seeds_.locations);
  if (!seeds_.shops.empty() && random_.chance(0.6)) p.shop = random_.pick(seeds_.shops);

  const int remarkCount = static_cast<int>(random_.weighted({3, 5, 2, 1}));
  for (int i = 0; i < remarkCount; ++i) p.remarks[i] = kRemarks[random_.below(kRemarks.size())];

  p.trucks = pickTrucks(kind);
  p.couplers = pickCoupler(p.scale, p.eqType);
  // Model length in inches; weight in ounces after the usual rule of an ounce plus half an ounce
  // per inch in HO, scaled with the model's cross-section for the other scales (scaling with
  // the volume makes large-scale cars far too heavy).
  p.length = tenths(kind.prototypeFeet * 12.0 / ratio);
  const double section = std::pow(87.1 / ratio, 2.0);
  p.weight = tenths((1.0 + 0.5 * kind.prototypeFeet * 12.0 / 87.1) * section * (loco ? 2.5 : 1.0));

  if (loco && random_.chance(0.6)) {
    p.user1 = "DCC";
    p.flag1 = "Y";
    p.locoChannel = p.roadNumber.substr(p.roadNumber.size() > 4 ? p.roadNumber.size() - 4 : 0);
  }
  if (random_.chance(0.03)) p.sold = dateFromDays(std::min(lastValued, acquired + random_.between(30, 10 * 365)));

  if (p.eqType == 1 || p.eqType == 3) {
    std::vector<const Industry*> yards;
    for (const auto& i : seeds_.industries)
      if (i.yard) yards.push_back(&i);
    if (!yards.empty()) p.homeYard = yards[random_.below(yards.size())]->name;
    p.printCard = random_.chance(0.25);
  }

  p.details = "Prototype: " + p.mark + " " + p.description + " No. " + p.roadNumber + ".\r\n" +
              "Model: " + p.scale + " scale by " + p.manufacturerName + ", catalogue number " +
              p.manufacturerNumber + (p.subCategory == "KIT" ? ", built from a kit" : "") + ".\r\n" +
              "Painted " + p.paint + "; condition " + p.condition + ".";
  if (!p.trucks.empty()) p.details += "\r\nTrucks: " + p.trucks + ".";
  deriveGain(p);
  return p;
}

void deriveGain(Piece& p) {
  p.increase = p.value - p.cost;
  p.gain = (p.increase != 0 && p.cost != 0) ? p.increase / p.cost * 100 : 0;
}

}  // namespace rf::sample

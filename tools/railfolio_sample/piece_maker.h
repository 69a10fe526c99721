#pragma once
// One made-up piece of a sample collection: plausible values for every inventory field, drawn
// from the seed rows.

#include <optional>
#include <string>

#include "tables/value.h"
#include "tools/railfolio_sample/livery.h"
#include "tools/railfolio_sample/sample_random.h"
#include "tools/railfolio_sample/seed_lists.h"

namespace rf::sample {

struct Piece {
  double asset = 0;
  int eqType = 0;  // 0 locomotive, 1 freight, 2 passenger, 3 non-revenue
  std::string category, subCategory, carClass, mark, roadNumber, scale, description, paint;
  std::string manufacturer, manufacturerNumber, importer;
  tables::Date acquired;
  double cost = 0, value = 0;
  tables::Date valued;
  std::string condition, location, shop;
  std::string remarks[3];
  std::string trucks, couplers;
  double length = 0, weight = 0;
  std::string user1, flag1;
  std::optional<tables::Date> sold;
  std::string details;
  double gain = 0, increase = 0;
  std::string locoChannel, homeYard;
  bool printCard = false;
  Livery livery;
  std::string manufacturerName;
};

class PieceMaker {
 public:
  struct Kind;  // a sort of equipment: locomotive, boxcar, coach, ...

  // The kinds of equipment whose category and class the seed rows lack are left out; throws
  // SampleUsageError when none is left.
  PieceMaker(const SeedLists& seeds, SampleRandom& random);

  Piece make(double asset);

 private:
  const Kind& pickKind();
  std::string pickMark(const Kind& kind);
  std::string pickScale();
  const Manufacturer& pickManufacturer(const std::string& scale);
  std::string pickCoupler(const std::string& scale, int eqType);
  std::string pickTrucks(const Kind& kind);

  const SeedLists& seeds_;
  SampleRandom& random_;
  std::vector<const Kind*> kinds_;
  std::vector<double> kindWeights_;
};

// The rule the inventory applies on every save: increase = value - cost, and the gain as a
// percentage of the cost when both are non-zero (0 otherwise).
void deriveGain(Piece& p);

}  // namespace rf::sample

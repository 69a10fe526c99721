#pragma once
// Waybills of a sample collection: none to three per freight car, between industries of the
// seed rows, carrying a lading that suits the car.

#include <string>
#include <vector>

#include "tools/railfolio_sample/piece_maker.h"

namespace rf::sample {

struct Waybill {
  double number = 0;
  std::string receiver, shipper, lading, via, instructions, receiverTown, shipperTown;
  bool empty = false;
  bool print = false;
  double asset = 0;
  std::string mark, roadNumber;
};

class WaybillMaker {
 public:
  WaybillMaker(const SeedLists& seeds, SampleRandom& random);

  // The waybills of `piece`, numbered on from `lastNumber`; none for a piece that is not a
  // freight car or when the seed rows hold fewer than two industries.
  std::vector<Waybill> make(const Piece& piece, double lastNumber);

 private:
  const SeedLists& seeds_;
  SampleRandom& random_;
  std::vector<const Industry*> industries_;  // not yards: the places that ship and receive
};

}  // namespace rf::sample

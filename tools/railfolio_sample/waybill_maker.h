#pragma once
// Waybills of a sample collection: none to three per freight car, between industries of the
// seed rows, carrying a lading that suits the car; or, when asked, a fixed number for every piece.

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
  // `perPiece` below 0: the sample's own mix; otherwise that many for every piece.
  WaybillMaker(const SeedLists& seeds, SampleRandom& random, int perPiece = -1);

  // The waybills of `piece`, numbered on from `lastNumber`; none for a piece that is not a
  // freight car or when the seed rows hold fewer than two industries.
  std::vector<Waybill> make(const Piece& piece, double lastNumber);

 private:
  const SeedLists& seeds_;
  SampleRandom& random_;
  int perPiece_;
  std::vector<const Industry*> industries_;  // not yards: the places that ship and receive
};

}  // namespace rf::sample

#include "tools/railfolio_sample/waybill_maker.h"

#include <array>

namespace rf::sample {

WaybillMaker::WaybillMaker(const SeedLists& seeds, SampleRandom& random, int perPiece)
    : seeds_(seeds), random_(random), perPiece_(perPiece) {
  for (const auto& i : seeds.industries)
    if (!i.yard) industries_.push_back(&i);
  if (industries_.size() < 2)
    for (const auto& i : seeds.industries) industries_.push_back(&i);
}

std::vector<Waybill> WaybillMaker::make(const Piece& piece, double lastNumber) {
  std::vector<Waybill> out;
  if (industries_.size() < 2 || (perPiece_ < 0 && piece.eqType != 1)) return out;
  const int count = perPiece_ >= 0 ? perPiece_ : static_cast<int>(random_.weighted({3, 4, 2, 1}));

  std::vector<const Product*> fitting;
  for (const auto& p : seeds_.products)
    if (p.carType == piece.carClass || (piece.carClass == "XML" && p.carType == "XM")) fitting.push_back(&p);
  if (fitting.empty())
    for (const auto& p : seeds_.products) fitting.push_back(&p);

  static const std::array<const char*, 4> kInstructions{{
      "Spot at the door", "Hold for unloading", "Return empty to shipper", "Do not hump",
  }};
  for (int i = 0; i < count; ++i) {
    Waybill w;
    w.number = lastNumber + 1 + i;
    const Industry* shipper = industries_[random_.below(industries_.size())];
    const Industry* receiver = shipper;
    while (receiver == shipper) receiver = industries_[random_.below(industries_.size())];
    w.shipper = shipper->name;
    w.shipperTown = shipper->city;
    w.receiver = receiver->name;
    w.receiverTown = receiver->city;
    w.empty = random_.chance(0.15) || fitting.empty();
    if (!w.empty) w.lading = fitting[random_.below(fitting.size())]->lading;
    if (random_.chance(0.4)) {
      std::vector<const Industry*> yards;
      for (const auto& y : seeds_.industries)
        if (y.yard) yards.push_back(&y);
      if (!yards.empty()) w.via = "Via " + yards[random_.below(yards.size())]->name;
    }
    if (random_.chance(0.3)) w.instructions = kInstructions[random_.below(kInstructions.size())];
    w.print = random_.chance(0.5);
    w.asset = piece.asset;
    w.mark = piece.mark;
    w.roadNumber = piece.roadNumber;
    out.push_back(std::move(w));
  }
  return out;
}

}  // namespace rf::sample

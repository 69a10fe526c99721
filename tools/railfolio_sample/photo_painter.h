#pragma once
// The photos of a sample collection: a side view of the piece in its road's colours, drawn
// with Qt and stored as the bytes of a BMP file, the form the photo field holds.

#include <cstdint>
#include <vector>

#include "tools/railfolio_sample/piece_maker.h"

namespace rf::sample {

constexpr int kPhotoWidth = 320;
constexpr int kPhotoHeight = 160;

// An 8-bit BMP of kPhotoWidth x kPhotoHeight. Needs no display and no QGuiApplication: it draws
// shapes only, no text.
std::vector<std::uint8_t> paintPhoto(const Piece& piece);

}  // namespace rf::sample

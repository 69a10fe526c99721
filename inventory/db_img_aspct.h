#pragma once
// `TDBImageAsp` (module DBImgAspct): the inventory's photo control. The field holds one Windows
// bitmap as a complete BMP file, optionally behind an 8-byte picture header that is skipped on
// reading; a changed picture is always written as a bare BMP file. A picture larger than the
// control is scaled down keeping its proportions, a smaller one keeps its own size, and it is
// centred on the control's background colour.
//
// The fitting uses the area inside the sunken border, where the picture is drawn, rather than the
// control's outer size: a centred picture then sits in the middle of what the user sees and a
// fitted one loses no edge pixels under the border.

#include <QRect>
#include <QSize>

#include "controls/db_image.h"

namespace rf::inventory {

// Where a picture of `picture` pixels goes in an area of `area` pixels: reduced (width first,
// then height, each keeping the proportions) until it fits, never enlarged, and centred when
// `centre` is on. An empty picture size means no picture: the whole area.
QRect fitRect(QSize picture, QSize area, bool centre = true);

// The bytes of a BMP file inside a photo field's bytes: past the 8-byte picture header when the
// field starts with one (count 1, type 0x0100, size of what follows), otherwise all of them.
QByteArray bitmapBytes(const QByteArray& field);

class TDBImageAsp : public controls::DbImage {
  Q_OBJECT

 public:
  explicit TDBImageAsp(QWidget* parent = nullptr);

  // The fitting rectangle in the control's coordinates (the whole inner area without a picture).
  QRect fittingRect() const { return pictureRect(); }

 protected:
  QImage decode(const QByteArray& bytes) const override;
  QByteArray encode(const QImage& image) const override;
  QRect pictureRect() const override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace rf::inventory

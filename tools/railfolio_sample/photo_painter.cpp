#include "tools/railfolio_sample/photo_painter.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace rf::sample {

namespace {

QColor rgb(std::uint32_t v) { return QColor::fromRgb(static_cast<QRgb>(v)); }

void wheelsAndTrucks(QPainter& p, const QRectF& body, bool locomotive, bool steam) {
  const QColor iron(40, 40, 40);
  p.setPen(Qt::NoPen);
  p.setBrush(iron);
  const qreal y = body.bottom() + 2;
  if (steam) {
    // Drivers under the boiler, a small leading and trailing wheel.
    const qreal r = 13;
    for (int i = 0; i < 4; ++i) p.drawEllipse(QPointF(body.left() + 70 + i * 30, y + r - 4), r, r);
    p.drawEllipse(QPointF(body.left() + 35, y + 6), 7, 7);
    p.drawEllipse(QPointF(body.right() - 20, y + 6), 7, 7);
    p.setPen(QPen(QColor(150, 150, 150), 3));
    p.drawLine(QPointF(body.left() + 70, y + 9), QPointF(body.left() + 160, y + 9));
    return;
  }
  const qreal inset = locomotive ? 30 : 24;
  for (qreal cx : {body.left() + inset, body.right() - inset}) {
    p.setBrush(iron);
    p.drawRect(QRectF(cx - 22, y, 44, 8));
    p.drawEllipse(QPointF(cx - 12, y + 10), 7, 7);
    p.drawEllipse(QPointF(cx + 12, y + 10), 7, 7);
    if (locomotive) p.drawEllipse(QPointF(cx, y + 10), 7, 7);
  }
}

// Short strokes where the road's name and number would be lettered.
void lettering(QPainter& p, const QRectF& area, const QColor& colour, std::size_t marks) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  const qreal w = 9, gap = 4;
  const qreal total = static_cast<qreal>(marks) * (w + gap) - gap;
  qreal x = area.center().x() - total / 2;
  for (std::size_t i = 0; i < marks; ++i, x += w + gap) p.drawRect(QRectF(x, area.top(), w, area.height()));
}

}  // namespace

std::vector<std::uint8_t> paintPhoto(const Piece& piece) {
  QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
  image.fill(QColor(198, 222, 240));  // sky
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);

  // Ground, ballast, rails, ties.
  p.fillRect(QRectF(0, 118, kPhotoWidth, 42), QColor(120, 140, 90));
  p.fillRect(QRectF(0, 128, kPhotoWidth, 14), QColor(140, 130, 120));
  for (int x = 4; x < kPhotoWidth; x += 14) p.fillRect(QRectF(x, 130, 8, 5), QColor(90, 70, 50));
  p.fillRect(QRectF(0, 126, kPhotoWidth, 3), QColor(110, 110, 110));

  const QColor body = rgb(piece.livery.body);
  const QColor accent = rgb(piece.livery.accent);
  const QColor letters = rgb(piece.livery.lettering);
  const bool steam = piece.category == "STEAM";
  QRectF shell(30, 62, 260, 48);

  if (piece.eqType == 0 && steam) {
    shell = QRectF(20, 70, 250, 40);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 30));
    p.drawRoundedRect(QRectF(40, 66, 150, 34), 14, 14);         // boiler
    p.drawRect(QRectF(190, 52, 50, 48));                         // cab
    p.drawRect(QRectF(60, 46, 14, 22));                          // stack
    p.setBrush(accent);
    p.drawRect(QRectF(186, 46, 58, 8));                          // cab roof
    p.drawRect(QRectF(40, 98, 200, 4));                          // running board
    lettering(p, QRectF(196, 70, 40, 8), letters, 3);
  } else if (piece.eqType == 0) {
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRect(QRectF(30, 60, 260, 46));
    p.setBrush(accent);
    p.drawRect(QRectF(30, 90, 260, 10));                         // stripe
    p.drawRect(QRectF(60, 52, 60, 8));                           // fans
    p.setBrush(QColor(200, 225, 240));
    p.drawRect(QRectF(246, 66, 16, 12));                         // cab windows
    p.drawRect(QRectF(266, 66, 16, 12));
    lettering(p, QRectF(40, 72, 180, 10), letters, std::min<std::size_t>(piece.mark.size() + 4, 10));
    shell = QRectF(30, 60, 260, 48);
  } else if (piece.carClass == "TM") {
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(30, 64, 260, 40), 20, 20);          // tank
    p.drawRect(QRectF(145, 56, 30, 10));                          // dome
    p.setBrush(accent);
    p.drawRect(QRectF(30, 104, 260, 4));
    lettering(p, QRectF(60, 78, 200, 8), letters, piece.mark.size() + 5);
  } else if (piece.carClass == "HT" || piece.carClass == "LO" || piece.carClass == "GB" || piece.carClass == "FM" ||
             piece.carClass == "FC") {
    const qreal top = piece.carClass == "FM" || piece.carClass == "FC" ? 94 : 70;
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRect(QRectF(30, top, 260, 108 - top));
    p.setPen(QPen(accent, 2));
    for (int x = 50; x < 290; x += 26) p.drawLine(QPointF(x, top + 2), QPointF(x, 106));  // ribs
    if (piece.carClass == "LO") {
      p.setPen(Qt::NoPen);
      p.setBrush(body.darker(120));
      p.drawRect(QRectF(28, top - 6, 264, 6));  // roof with its hatches
    }
    if (piece.carClass == "HT" || piece.carClass == "LO") {
      p.setPen(Qt::NoPen);
      p.setBrush(body.darker(130));
      QPainterPath bays;
      bays.moveTo(90, 108);
      bays.lineTo(120, 120);
      bays.lineTo(200, 120);
      bays.lineTo(230, 108);
      p.drawPath(bays);
    }
    if (top < 90) lettering(p, QRectF(60, 78, 200, 8), letters, piece.mark.size() + 5);
  } else {
    // Boxcars, reefers, stock cars, covered hoppers, passenger cars, cabooses.
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRect(shell);
    p.setBrush(body.darker(120));
    p.drawRect(QRectF(shell.left() - 2, shell.top() - 6, shell.width() + 4, 6));  // roof
    if (piece.eqType == 2) {
      p.setBrush(QColor(220, 230, 235));
      for (int x = 50; x < 280; x += 22) p.drawRect(QRectF(x, 70, 14, 12));    // windows
      p.setBrush(accent);
      p.drawRect(QRectF(shell.left(), 92, shell.width(), 6));
    } else if (piece.eqType == 3) {
      p.setBrush(body);
      p.drawRect(QRectF(130, 44, 60, 18));                                       // cupola
      p.setBrush(QColor(220, 230, 235));
      p.drawRect(QRectF(140, 48, 14, 10));
      p.drawRect(QRectF(166, 48, 14, 10));
      lettering(p, QRectF(60, 80, 200, 8), letters, piece.mark.size() + 4);
    } else {
      p.setPen(QPen(body.darker(140), 2));
      p.drawRect(QRectF(135, 66, 50, 42));                                        // door
      lettering(p, QRectF(45, 72, 80, 8), letters, piece.mark.size());
      lettering(p, QRectF(195, 72, 80, 8), letters, 4);
    }
  }
  wheelsAndTrucks(p, QRectF(shell.left(), shell.top(), shell.width(), 108 - shell.top()), piece.eqType == 0, steam);
  p.end();

  // 8 bits a pixel keeps a photo near 50 KB; the few flat colours survive the palette.
  QImage indexed = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  indexed.save(&buffer, "BMP");
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace rf::sample

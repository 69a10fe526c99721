#include "inventory/db_img_aspct.h"

#include <QBuffer>
#include <QPainter>
#include <QRegion>
#include <QtEndian>
#include <cfenv>
#include <cmath>
#include <stdexcept>

namespace rf::inventory {

namespace {

// Proportional scaling as the old control did it: the quotient first, then the product, in
// extended precision, rounded to the nearest integer with ties to the even one (so 0.5 x 633
// gives 316 and 0.5 x 635 gives 318).
int scaled(int target, int from, int other) {
  const long double v = static_cast<long double>(target) / static_cast<long double>(from) * static_cast<long double>(other);
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const long double r = std::nearbyintl(v);
  std::fesetround(saved);
  return static_cast<int>(r);
}

constexpr int kHeaderSize = 8;

}  // namespace

QRect fitRect(QSize picture, QSize area, bool centre) {
  const int W = area.width();
  const int H = area.height();
  if (picture.width() <= 0 || picture.height() <= 0) return QRect(0, 0, W, H);
  int w = picture.width();
  int h = picture.height();
  if (w > W) {
    h = scaled(W, w, h);
    w = W;
  }
  if (h > H) {
    w = scaled(H, h, w);
    h = H;
  }
  QRect r(0, 0, w, h);
  if (centre) r.translate((W - w) / 2, (H - h) / 2);
  return r;
}

QByteArray bitmapBytes(const QByteArray& field) {
  if (field.size() < kHeaderSize) return field;
  const auto* p = reinterpret_cast<const uchar*>(field.constData());
  const quint16 count = qFromLittleEndian<quint16>(p);
  const quint16 type = qFromLittleEndian<quint16>(p + 2);
  const quint32 size = qFromLittleEndian<quint32>(p + 4);
  if (count == 1 && type == 0x0100 && size == static_cast<quint64>(field.size() - kHeaderSize))
    return field.sliced(kHeaderSize);
  return field;
}

TDBImageAsp::TDBImageAsp(QWidget* parent) : controls::DbImage(parent) {}

QImage TDBImageAsp::decode(const QByteArray& bytes) const {
  const QByteArray bmp = bitmapBytes(bytes);
  // Only a Windows bitmap is a picture here: a PNG or JPEG that Qt would happily read is refused,
  // as the programs sharing the file could not show it.
  QImage image;
  if (bmp.startsWith("BM")) image = QImage::fromData(bmp, "BMP");
  if (image.isNull()) throw std::runtime_error("Bitmap image is not valid");
  return image;
}

QByteArray TDBImageAsp::encode(const QImage& image) const {
  // Qt writes an alpha channel as a 32-bit bitmap that older readers show black; the photo has
  // no use for transparency.
  const QImage opaque = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!opaque.save(&buffer, "BMP")) throw std::runtime_error("Bitmap image is not valid");
  return bytes;
}

QRect TDBImageAsp::pictureRect() const {
  const QRect inner = contentsRect();
  const QImage p = picture();
  if (p.isNull()) return inner;
  return fitRect(p.size(), inner.size()).translated(inner.topLeft());
}

void TDBImageAsp::paintEvent(QPaintEvent* event) {
  controls::DbImage::paintEvent(event);
  if (!hasPicture()) return;
  QPainter painter(this);
  painter.setClipRegion(QRegion(contentsRect()).subtracted(QRegion(pictureRect())));
  painter.fillRect(contentsRect(), palette().color(QPalette::Base));
}

}  // namespace rf::inventory

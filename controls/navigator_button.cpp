#include "controls/navigator_button.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace rf::controls {

QString navButtonName(NavButton b) {
  switch (b) {
    case NavButton::First: return QStringLiteral("First");
    case NavButton::Prior: return QStringLiteral("Prior");
    case NavButton::Next: return QStringLiteral("Next");
    case NavButton::Last: return QStringLiteral("Last");
    case NavButton::Insert: return QStringLiteral("Insert");
    case NavButton::Edit: return QStringLiteral("Edit");
    case NavButton::Cancel: return QStringLiteral("Cancel");
    case NavButton::Bookmark: return QStringLiteral("Bookmark");
    case NavButton::GotoBookmark: return QStringLiteral("GotoBookmark");
    case NavButton::Delete: return QStringLiteral("Delete");
    case NavButton::Post: return QStringLiteral("Post");
    case NavButton::Refresh: return QStringLiteral("Refresh");
    case NavButton::Filter: return QStringLiteral("Filter");
    case NavButton::Close: return QStringLiteral("Close");
  }
  return {};
}

QString navButtonHint(NavButton b) {
  switch (b) {
    case NavButton::First: return QStringLiteral("Move to first record");
    case NavButton::Prior: return QStringLiteral("Move to prior record");
    case NavButton::Next: return QStringLiteral("Move to next record");
    case NavButton::Last: return QStringLiteral("Move to last record");
    case NavButton::Insert: return QStringLiteral("Insert new record");
    case NavButton::Edit: return QStringLiteral("Edit current record");
    case NavButton::Cancel: return QStringLiteral("Cancel changes made to current record");
    case NavButton::Bookmark: return QStringLiteral("Bookmark current record");
    case NavButton::GotoBookmark: return QStringLiteral("Go back to saved bookmark");
    case NavButton::Delete: return QStringLiteral("Delete current record");
    case NavButton::Post: return QStringLiteral("Post changes of current record");
    case NavButton::Refresh: return QStringLiteral("Refresh the contents of the dataset");
    case NavButton::Filter: return QStringLiteral("Filter the dataset");
    case NavButton::Close: return QStringLiteral("Close this screen");
  }
  return {};
}

bool isMoveButton(NavButton b) {
  return b == NavButton::First || b == NavButton::Prior || b == NavButton::Next || b == NavButton::Last;
}

namespace {

// A triangle pointing left or right inside the 16x16 square, its flat side at x.
QPolygonF arrow(double x, bool right) {
  const double tip = right ? x + 6 : x - 6;
  return QPolygonF({QPointF(x, 3), QPointF(tip, 8), QPointF(x, 13)});
}

}  // namespace

QIcon navButtonIcon(NavButton b) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(40, 40, 40);
  p.setPen(QPen(ink, 1.5));
  p.setBrush(ink);
  switch (b) {
    case NavButton::First:
      p.drawLine(QPointF(4, 3), QPointF(4, 13));
      p.drawPolygon(arrow(12, false));
      break;
    case NavButton::Prior: p.drawPolygon(arrow(11, false)); break;
    case NavButton::Next: p.drawPolygon(arrow(5, true)); break;
    case NavButton::Last:
      p.drawPolygon(arrow(4, true));
      p.drawLine(QPointF(12, 3), QPointF(12, 13));
      break;
    case NavButton::Insert:
      p.setPen(QPen(ink, 2.5));
      p.drawLine(QPointF(8, 3), QPointF(8, 13));
      p.drawLine(QPointF(3, 8), QPointF(13, 8));
      break;
    case NavButton::Delete:
      p.setPen(QPen(ink, 2.5));
      p.drawLine(QPointF(3, 8), QPointF(13, 8));
      break;
    case NavButton::Edit:
      p.setPen(QPen(ink, 2));
      p.drawLine(QPointF(4, 12), QPointF(12, 4));
      p.drawLine(QPointF(3, 13), QPointF(5, 13));
      break;
    case NavButton::Post:
      p.setPen(QPen(QColor(0, 120, 0), 2.5));
      p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(7, 12), QPointF(13, 4)}));
      break;
    case NavButton::Cancel:
      p.setPen(QPen(QColor(170, 0, 0), 2.5));
      p.drawLine(QPointF(4, 4), QPointF(12, 12));
      p.drawLine(QPointF(12, 4), QPointF(4, 12));
      break;
    case NavButton::Bookmark:
    case NavButton::GotoBookmark: {
      QPainterPath flag;
      flag.moveTo(5, 2);
      flag.lineTo(11, 2);
      flag.lineTo(11, 14);
      flag.lineTo(8, 11);
      flag.lineTo(5, 14);
      flag.closeSubpath();
      if (b == NavButton::GotoBookmark) p.setBrush(Qt::NoBrush);
      p.drawPath(flag);
      break;
    }
    case NavButton::Refresh:
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(3, 3, 10, 10), 30 * 16, 300 * 16);
      p.setBrush(ink);
      p.drawPolygon(QPolygonF({QPointF(11, 1), QPointF(14, 5), QPointF(10, 6)}));
      break;
    case NavButton::Filter:
      p.drawPolygon(QPolygonF({QPointF(2, 3), QPointF(14, 3), QPointF(9, 9), QPointF(9, 14), QPointF(7, 13), QPointF(7, 9)}));
      break;
    case NavButton::Close:
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(3, 3, 10, 10));
      p.drawLine(QPointF(6, 6), QPointF(10, 10));
      p.drawLine(QPointF(10, 6), QPointF(6, 10));
      break;
  }
  p.end();
  return QIcon(pm);
}

}  // namespace rf::controls

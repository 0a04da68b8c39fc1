#include "app/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace murmex {

QImage DrawProgramIcon(int size) {
  QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  QLinearGradient plate(0, 0, 0, s);
  plate.setColorAt(0, QColor(40, 52, 80));
  plate.setColorAt(1, QColor(8, 10, 18));
  p.setBrush(plate);
  p.setPen(QPen(QColor(0, 130, 205), s / 32));
  p.drawRoundedRect(QRectF(s / 32, s / 32, s - s / 16, s - s / 16), s / 6, s / 6);

  // Left half: a ragged, noisy trace; right half: the same wave cleaned.
  QPainterPath wave;
  const int steps = 64;
  for (int i = 0; i <= steps; ++i) {
    const qreal t = static_cast<qreal>(i) / steps;
    const qreal clean = std::sin(t * 2 * M_PI * 1.5);
    const qreal noise = t < 0.5 ? 0.35 * std::sin(i * 2.7) * std::cos(i * 1.3) : 0.0;
    const QPointF point(s * (0.14 + 0.72 * t), s * (0.5 - 0.26 * (clean + noise)));
    if (i == 0)
      wave.moveTo(point);
    else
      wave.lineTo(point);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 60, 60), s / 20, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setClipRect(QRectF(0, 0, s / 2, s));
  p.drawPath(wave);
  p.setPen(QPen(QColor(80, 210, 255), s / 20, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setClipRect(QRectF(s / 2, 0, s / 2, s));
  p.drawPath(wave);
  return icon;
}

QCursor MakeProgramCursor() {
  const int size = 32;
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  // An arrow with a small circular "cycle" mark: these buttons step through choices.
  QPainterPath arrow;
  arrow.moveTo(1, 1);
  arrow.lineTo(1, 19);
  arrow.lineTo(6, 14);
  arrow.lineTo(10, 22);
  arrow.lineTo(13, 21);
  arrow.lineTo(9, 13);
  arrow.lineTo(16, 13);
  arrow.closeSubpath();
  p.setPen(QPen(Qt::black, 1.2));
  p.setBrush(QColor(0, 190, 255));
  p.drawPath(arrow);
  p.setPen(QPen(QColor(255, 255, 255), 2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(17, 17, 11, 11), 30 * 16, 300 * 16);
  return QCursor(picture, 1, 1);
}

}  // namespace murmex

#include "app/widgets/led.h"

#include <QPainter>
#include <QRadialGradient>

namespace murmex {

TLed::TLed(const QColor& offColor, const QColor& onColor, QWidget* parent)
    : QWidget(parent), offColor_(offColor), onColor_(onColor) {}

void TLed::SetOn(bool on) {
  if (on == on_) return;
  on_ = on;
  update();
}

void TLed::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF lamp = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
  const QColor base = on_ ? onColor_ : offColor_;
  QRadialGradient glow(lamp.center() - QPointF(lamp.width() / 5, lamp.height() / 5), lamp.width() / 1.4);
  glow.setColorAt(0, base.lighter(on_ ? 170 : 130));
  glow.setColorAt(1, base.darker(on_ ? 110 : 140));
  p.setBrush(glow);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.drawEllipse(lamp);
}

}  // namespace murmex

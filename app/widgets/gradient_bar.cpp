#include "app/widgets/gradient_bar.h"

#include <QLinearGradient>
#include <QPainter>

namespace murmex {

TGradientBar::TGradientBar(const QColor& from, const QColor& to, Qt::Orientation direction, QWidget* parent)
    : QWidget(parent), from_(from), to_(to), direction_(direction) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TGradientBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRectF r(rect());
  // A vertical axis runs upwards from its foot, a horizontal one rightwards.
  QLinearGradient shade = direction_ == Qt::Vertical ? QLinearGradient(r.bottomLeft(), r.topLeft())
                                                       : QLinearGradient(r.topLeft(), r.topRight());
  shade.setColorAt(0, from_);
  shade.setColorAt(1, to_);
  p.fillRect(r, shade);
}

}  // namespace murmex

#include "app/widgets/smooth_progress_bar.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "app/widgets/skin.h"

namespace murmex {

TSmoothProgressBar::TSmoothProgressBar(QWidget* parent) : QWidget(parent) { setFont(skin::ArialFont(11)); }

void TSmoothProgressBar::SetMaximum(double maximum) {
  maximum_ = maximum;
  update();
}

void TSmoothProgressBar::SetPosition(double position) {
  if (position == position_) return;
  position_ = position;
  update();
}

void TSmoothProgressBar::SetShowValue(bool show) {
  showValue_ = show;
  update();
}

QString TSmoothProgressBar::ValueText() const {
  if (!showValue_) return {};
  const double percent = maximum_ > 0 ? position_ * 100.0 / maximum_ : 0.0;
  return QString::asprintf("%.0f%%", percent);
}

void TSmoothProgressBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect();
  p.fillRect(frame, QColor(14, 14, 18));
  p.setPen(QColor(64, 66, 78));
  p.drawRect(frame.adjusted(0, 0, -1, -1));
  const double fraction = maximum_ > 0 ? std::clamp(position_ / maximum_, 0.0, 1.0) : 0.0;
  const QRectF inner = QRectF(frame).adjusted(1, 1, -1, -1);
  const QRectF filled(inner.left(), inner.top(), inner.width() * fraction, inner.height());
  if (filled.width() > 0) {
    QLinearGradient shade(inner.topLeft(), inner.topRight());
    const bool lit = isEnabled();
    shade.setColorAt(0, lit ? QColor(0, 60, 140) : QColor(50, 50, 60));
    shade.setColorAt(1, lit ? QColor(0, 190, 255) : QColor(110, 110, 120));
    p.fillRect(filled, shade);
  }
  const QString text = ValueText();
  if (text.isEmpty()) return;
  p.setFont(font());
  p.setPen(skin::kCaptionWhite);
  p.drawText(frame, Qt::AlignCenter, text);
}

void TSmoothProgressBar::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TSmoothProgressBar::mouseReleaseEvent(QMouseEvent* event) { emit mouseUp(event->position().toPoint().x()); }

}  // namespace murmex

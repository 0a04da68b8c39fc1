#include "app/widgets/smooth_progress_bar.h"

#include <QKeyEvent>
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

void TSmoothProgressBar::ShowNote(const QString& note) {
  note_ = note;
  update();
}

void TSmoothProgressBar::ClearNote() { ShowNote(QString()); }

void TSmoothProgressBar::SetSeekable(bool seekable) { setFocusPolicy(seekable ? Qt::TabFocus : Qt::NoFocus); }

QString TSmoothProgressBar::ValueText() const {
  if (!showValue_) return {};
  if (!note_.isEmpty()) return note_;
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
  if (!text.isEmpty()) {
    p.setFont(skin::FitToWidth(font(), text, frame.width() - 4));
    p.setPen(skin::kCaptionWhite);
    p.drawText(frame, Qt::AlignCenter, text);
  }
  if (hasFocus()) skin::DrawFocusRing(p, frame);
}

void TSmoothProgressBar::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TSmoothProgressBar::mouseReleaseEvent(QMouseEvent* event) { emit mouseUp(event->position().toPoint().x()); }

void TSmoothProgressBar::keyPressEvent(QKeyEvent* event) {
  constexpr double kStep = 0.02;
  constexpr double kPage = 0.1;
  const double at = maximum_ > 0 ? std::clamp(position_ / maximum_, 0.0, 1.0) : 0.0;
  double to = 0;
  switch (event->key()) {
    case Qt::Key_Left: case Qt::Key_Down: to = at - kStep; break;
    case Qt::Key_Right: case Qt::Key_Up: to = at + kStep; break;
    case Qt::Key_PageDown: to = at - kPage; break;
    case Qt::Key_PageUp: to = at + kPage; break;
    case Qt::Key_Home: to = 0; break;
    case Qt::Key_End: to = 1; break;
    default: QWidget::keyPressEvent(event); return;
  }
  emit keySeek(static_cast<int>(std::clamp(to, 0.0, 1.0) * width()));
}

}  // namespace murmex

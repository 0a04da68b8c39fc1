#include "app/widgets/track_bar.h"

#include <QLinearGradient>
#include <algorithm>
#include <cmath>
#include <QMouseEvent>
#include <QPainter>

#include "app/widgets/skin.h"

namespace murmex {

TTrackBar::TTrackBar(QWidget* parent) : QAbstractSlider(parent) {
  setOrientation(Qt::Horizontal);
  setFocusPolicy(Qt::StrongFocus);
}

int TTrackBar::KnobLeft() const {
  const int travel = width() - kKnobWidth;
  const int span = maximum() - minimum();
  if (span <= 0 || travel <= 0) return 0;
  return static_cast<int>(static_cast<long long>(value() - minimum()) * travel / span);
}

int TTrackBar::ValueAt(int x) const {
  const int travel = width() - kKnobWidth;
  if (travel <= 0) return minimum();
  const double fraction = std::clamp((x - kKnobWidth / 2.0) / travel, 0.0, 1.0);
  return minimum() + static_cast<int>(std::lround(fraction * (maximum() - minimum())));
}

void TTrackBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const int mid = height() / 2;
  const QRectF groove(kKnobWidth / 2.0, mid - 2, width() - kKnobWidth, 4);
  p.setPen(QPen(QColor(70, 72, 84), 1));
  p.setBrush(QColor(18, 18, 22));
  p.drawRoundedRect(groove, 2, 2);
  const QRectF filled(groove.left(), groove.top(), KnobLeft(), groove.height());
  p.setPen(Qt::NoPen);
  p.setBrush(isEnabled() ? QColor(0, 130, 205) : QColor(60, 60, 60));
  p.drawRoundedRect(filled, 2, 2);

  const QRectF knob(KnobLeft() + 0.5, 3.5, kKnobWidth - 1, height() - 7);
  QLinearGradient shade(knob.topLeft(), knob.topRight());
  shade.setColorAt(0, isEnabled() ? QColor(200, 205, 220) : QColor(110, 110, 110));
  shade.setColorAt(1, isEnabled() ? QColor(90, 96, 116) : QColor(60, 60, 60));
  p.setBrush(shade);
  p.setPen(QPen(QColor(30, 30, 36), 1));
  p.drawRoundedRect(knob, 2, 2);
  if (hasFocus()) skin::DrawFocusRing(p, rect());
}

void TTrackBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) setValue(ValueAt(event->position().toPoint().x()));
  event->accept();
}

void TTrackBar::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) setValue(ValueAt(event->position().toPoint().x()));
}

}  // namespace murmex

#include "app/widgets/bitmap_check_box.h"

#include <QAccessible>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include "app/widgets/skin.h"

namespace murmex {

TBitmapCheckBox::TBitmapCheckBox(const QString& caption, QWidget* parent)
    : TPressableControl(parent), caption_(caption) {
  setFont(skin::FormFont(11));
}

void TBitmapCheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  update();
  QAccessible::State moved;
  moved.checked = true;
  QAccessibleStateChangeEvent notice(this, moved);
  QAccessible::updateAccessibility(&notice);
  emit changed(checked_);
}

void TBitmapCheckBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const int box = 11;
  const QRectF frame(1.5, (height() - box) / 2.0, box, box);
  QLinearGradient shade(frame.topLeft(), frame.bottomLeft());
  if (checked_) {
    shade.setColorAt(0, QColor(120, 220, 255));
    shade.setColorAt(1, QColor(0, 110, 190));
  } else {
    shade.setColorAt(0, QColor(60, 62, 72));
    shade.setColorAt(1, QColor(24, 25, 30));
  }
  p.setBrush(shade);
  p.setPen(QPen(QColor(110, 114, 130), 1));
  p.drawRoundedRect(frame, 2, 2);
  const QColor ink = isEnabled() ? QColor(255, 255, 255) : QColor(110, 110, 110);
  p.setPen(ink);
  const QRect captionArea(box + 6, 0, width() - box - 6, height());
  p.setFont(skin::FitToWidth(font(), caption_, captionArea.width() - 1));
  p.drawText(captionArea, Qt::AlignVCenter | Qt::AlignLeft, caption_);
  if (hasFocus()) skin::DrawFocusRing(p, rect());
}

void TBitmapCheckBox::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TBitmapCheckBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) SetChecked(!checked_);
}

}  // namespace murmex

#include "app/widgets/skin_label.h"

#include <QPainter>

#include "app/widgets/skin.h"

namespace murmex {

TSkinLabel::TSkinLabel(QWidget* parent) : QWidget(parent) {
  setFont(skin::ArialFont(11));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  resize(sizeHint());
}

void TSkinLabel::SetText(const QString& text) {
  text_ = text;
  resize(sizeHint());
  update();
}

QSize TSkinLabel::sizeHint() const {
  const QFontMetrics metrics(font());
  // One extra pixel each way for the shadow.
  return {std::max(1, metrics.horizontalAdvance(text_) + 1), metrics.height() + 1};
}

void TSkinLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  const QRect area = rect().adjusted(0, 0, -1, -1);
  p.setPen(QColor(0, 40, 70));
  p.drawText(area.translated(1, 1), Qt::AlignLeft | Qt::AlignTop, text_);
  p.setPen(QColor(0, 190, 255));
  p.drawText(area, Qt::AlignLeft | Qt::AlignTop, text_);
}

}  // namespace murmex

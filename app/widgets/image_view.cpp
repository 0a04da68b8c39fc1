#include "app/widgets/image_view.h"

#include <QPainter>

namespace murmex {

TImageView::TImageView(QWidget* parent) : QWidget(parent) {}

void TImageView::SetImage(const QImage& image) {
  image_ = image;
  update();
}

void TImageView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (image_.isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(rect(), image_);
}

}  // namespace murmex

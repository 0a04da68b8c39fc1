#include "app/widgets/image_button.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace murmex {

TImageButton::TImageButton(QWidget* parent, skin::Glyph glyph) : TPressableControl(parent), glyph_(glyph) {
  setFont(skin::ArialFont(11));
  setAttribute(Qt::WA_Hover);
}

void TImageButton::Press() {
  if (isEnabled()) emit clicked();
}

void TImageButton::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void TImageButton::SetCaptionColor(const QColor& color) {
  captionColor_ = color;
  update();
  emit captionColorChanged(color);
}

void TImageButton::RebuildPictures() {
  if (size().isEmpty()) return;
  normalPicture_ = skin::GlyphButtonPicture(size(), glyph_, skin::ButtonLook::Normal);
  hoverPicture_ = skin::GlyphButtonPicture(size(), glyph_, skin::ButtonLook::Hover);
}

void TImageButton::resizeEvent(QResizeEvent*) { RebuildPictures(); }

void TImageButton::paintEvent(QPaintEvent*) {
  if (normalPicture_.isNull()) RebuildPictures();
  QPainter p(this);
  const bool lit = hovered_ && isEnabled();
  p.drawPixmap(rect(), lit ? hoverPicture_ : normalPicture_);
  if (!caption_.isEmpty()) {
    p.setFont(font());
    p.setPen(captionColor_);
    // A pressed button shifts its caption by one pixel so the press is felt.
    p.drawText(rect().translated(pressed_ ? 1 : 0, pressed_ ? 1 : 0), Qt::AlignCenter, caption_);
  }
  if (hasFocus()) skin::DrawFocusRing(p, rect());
}

void TImageButton::enterEvent(QEnterEvent*) {
  hovered_ = true;
  update();
}

void TImageButton::leaveEvent(QEvent*) {
  hovered_ = false;
  pressed_ = false;
  update();
}

void TImageButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = true;
  update();
}

void TImageButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  update();
  if (rect().contains(event->position().toPoint())) emit clicked();
}

void TImageButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) pressed_ = false;
  TPressableControl::changeEvent(event);
}

}  // namespace murmex
